#include "generation/run/date_order.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <string>

#include "generation/copies/video_tools.h"
#include "generation/pictures/picture_caption.h"
#include "generation/pictures/picture_header.h"

namespace mivo {

namespace {

/// "YYYY-MM-DD hh:mm:ss" of a file's modification time in local time, as cameras write theirs;
/// "" when the file cannot be read.
std::string fileTime(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    std::tm local{};
    const std::time_t seconds = st.st_mtim.tv_sec;
    if (::localtime_r(&seconds, &local) == nullptr) {
        return {};
    }
    std::array<char, 32> text{};
    const std::size_t n = std::strftime(text.data(), text.size(), "%Y-%m-%d %H:%M:%S", &local);
    return std::string(text.data(), n);
}

/// EXIF style "YYYY:MM:DD hh:mm:ss" as the pages write dates.
std::string fromExifStyle(std::string date) {
    if (date.size() >= 10 && date[4] == ':' && date[7] == ':') {
        date[4] = '-';
        date[7] = '-';
    }
    return date;
}

/// Dated before undated, then the earlier first.
bool earlier(const std::string& a, const std::string& b) {
    if (a.empty() != b.empty()) {
        return b.empty();
    }
    return a < b;
}

} // namespace

void orderItemsByDate(Album& album, const std::function<bool()>& stopRequested) {
    VideoPrograms programs;
    bool lookedForPrograms = false;
    for (Item& item : album.items) {
        std::string date;
        if (item.kind == ItemKind::Video) {
            if (!lookedForPrograms) {
                programs = findVideoPrograms();
                lookedForPrograms = true;
            }
            VideoFacts facts;
            std::string error;
            if (programs.ok() && probeVideo(programs, item.path, facts, error, stopRequested)) {
                date = fromExifStyle(facts.dateTaken);
            }
        } else {
            long width = 0;
            long height = 0;
            ExifInfo exif;
            if (readPictureSize(item.path, width, height, &exif)) {
                date = exif.dateTaken;
            }
            if (date.empty()) {
                // HEIC, AVIF, PNG, WebP and TIFF keep theirs outside the header walk.
                date = readPictureDateTaken(item.path);
            }
        }
        item.orderDate = date.empty() ? fileTime(item.path) : date;
    }
    album.items.sortBy(
        [](const Item& a, const Item& b) { return earlier(a.orderDate, b.orderDate); });
    album.orderDate.clear();
    for (const Item& item : album.items) {
        if (earlier(item.orderDate, album.orderDate)) {
            album.orderDate = item.orderDate;
        }
    }
}

void orderChildrenByDate(Album& album) {
    std::stable_sort(album.children.begin(), album.children.end(),
                     [](const std::unique_ptr<Album>& a, const std::unique_ptr<Album>& b) {
                         return earlier(a->orderDate, b->orderDate);
                     });
    if (!album.children.empty() && earlier(album.children.front()->orderDate, album.orderDate)) {
        album.orderDate = album.children.front()->orderDate;
    }
}

} // namespace mivo
