// The originals of a self-contained site: placed in the page folder's originals/ and kept in
// step with the album, as the copies are.

#include "generation/copies/site_originals.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <utility>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "common/text_file.h"
#include "common/translate.h"

namespace mivo {

namespace {

namespace fs = std::filesystem;

constexpr const char* kRoutine = "placeOriginals";

/// What an original was when it was placed.
struct Stamp {
    long long size = 0;
    long long mtimeNs = 0;
    bool operator==(const Stamp&) const = default;
};

using Record = std::map<std::string, Stamp>;

/// Names may hold anything but '/' and NUL: tabs and line ends are escaped in the record.
std::string escapeName(const std::string& name) {
    std::string out;
    for (const char c : name) {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4U];
            out += kHex[byte & 15U];
        } else {
            out += c;
        }
    }
    return out;
}

std::string unescapeName(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

Record loadRecord(const std::string& path) {
    Record record;
    std::string bytes;
    if (!readFileBytes(path, bytes)) {
        return record;
    }
    std::istringstream lines(bytes);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t first = line.find('\t');
        const std::size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
        if (second == std::string::npos) {
            continue;
        }
        Stamp stamp;
        if (!parseWholeNumber(line.substr(first + 1, second - first - 1), stamp.size) ||
            !parseWholeNumber(line.substr(second + 1), stamp.mtimeNs)) {
            continue;
        }
        record[unescapeName(line.substr(0, first))] = stamp;
    }
    return record;
}

std::string recordText(const Record& record) {
    std::string text;
    for (const auto& [name, stamp] : record) {
        text += escapeName(name) + "\t" + std::to_string(stamp.size) + "\t" +
                std::to_string(stamp.mtimeNs) + "\n";
    }
    return text;
}

bool stampOf(const std::string& path, Stamp& stamp) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    stamp.size = info.st_size;
    stamp.mtimeNs = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return true;
}

/// true when `path` lies in `folder` (both canonical).
bool within(const std::string& folder, const std::string& path) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (folder.back() == '/' || path[folder.size()] == '/');
}

/// A reflink of `source` as the new file `target`, where the file system shares blocks.
bool reflink(const std::string& source, const std::string& target) {
    const int from = ::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (from < 0) {
        return false;
    }
    const int to = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool done = false;
    if (to >= 0) {
        done = ::ioctl(to, FICLONE, from) == 0;
        ::close(to);
        if (!done) {
            ::unlink(target.c_str());
        }
    }
    ::close(from);
    return done;
}

/// `source` placed as `target`: a hard link, else a reflink, else a copy, made under a
/// temporary name and renamed into place. false with `error` when none could be made.
bool placeFile(const std::string& source, const std::string& target, const std::string& temporary,
               std::string& error) {
    ::unlink(temporary.c_str());
    bool made = ::link(source.c_str(), temporary.c_str()) == 0;
    if (!made) {
        made = reflink(source, temporary);
    }
    if (!made) {
        std::error_code ec;
        made = fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, ec);
        if (!made) {
            error = ec.message();
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

/// What the pages link of the item: its original, unless a copy stands for it.
bool linksOriginal(const AlbumJob& job, const Item& item) {
    if (job.originals == kOriginalsInSite) {
        return true;
    }
    const WebCopy* copy = item.shownCopy();
    return copy == nullptr || (item.kind == ItemKind::Video && copy->webVideoName.empty());
}

} // namespace

namespace {

/// Places files in originals/ and keeps the record of what it placed.
class Placer {
  public:
    Placer(std::string folder, Record before, ItemNotes& notes, Manifest& files)
        : folder_(std::move(folder)), before_(std::move(before)), notes_(notes), files_(files) {}

    /// Places `path` as `key` (a name, or "thumbnails/<name>"): true when the site holds it.
    /// `allowed` is the folder its real path must lie in; `item` is named when it cannot be.
    bool place(const std::string& key, const std::string& path, const std::string& allowed,
               const std::string& item) {
        // A picture folder may come from a stranger: a link out of it is not followed.
        std::error_code ec;
        const std::string source = fs::canonical(path, ec).string();
        if (ec || !within(allowed, source)) {
            notes_.notPlaced.push_back({item, translatable("画像フォルダの外を指すリンクです")});
            cmWriteLog(kRoutine, 4, "<" + path + "> OutsideLink");
            return false;
        }
        Stamp stamp;
        if (!stampOf(source, stamp)) {
            return false;
        }
        const std::string target = cmAddPath(folder_, key, kPathSeparator);
        struct stat there {};
        const bool exists = ::lstat(target.c_str(), &there) == 0;
        const auto old = before_.find(key);
        if (exists && old == before_.end()) {
            // The user's own file: kept, and the item linked where it is.
            notes_.notPlaced.push_back(
                {item, translatable("サイトのフォルダに同じ名前のファイルがあります") +
                           std::string(": ") + target});
            cmWriteLog(kRoutine, 4, "<" + target + "> NotMivos");
            return false;
        }
        if (exists && old->second == stamp && S_ISREG(there.st_mode) &&
            there.st_size == stamp.size) {
            now_[key] = stamp;
            return true;
        }
        std::string folder;
        std::string name;
        cmSplitPath(target, true, kPathSeparator, folder, name);
        fs::create_directories(folder, ec);
        std::string error;
        if (!placeFile(source, target, cmAddPath(folder, "." + name + ".part", kPathSeparator),
                       error)) {
            notes_.notPlaced.push_back({item, error});
            std::string line = "<" + target + "> ";
            line += error;
            cmWriteLog(kRoutine, 4, line);
            return false;
        }
        now_[key] = stamp;
        (exists ? files_.replaced : files_.written).push_back(manifestPath(target));
        return true;
    }

    /// What was placed before and is not linked any more goes; nothing else there does.
    /// Then the record is written (or removed with the folders, when they hold nothing).
    void finish(const std::string& recordPath) {
        for (const auto& [key, stamp] : before_) {
            if (now_.count(key) != 0) {
                continue;
            }
            const std::string target = cmAddPath(folder_, key, kPathSeparator);
            struct stat there {};
            if (::lstat(target.c_str(), &there) == 0 && S_ISREG(there.st_mode) &&
                ::unlink(target.c_str()) == 0) {
                files_.removed.push_back(manifestPath(target));
            }
        }
        const std::string thumbnails = cmAddPath(folder_, kThumbnailsKey, kPathSeparator);
        if (now_.empty()) {
            ::unlink(recordPath.c_str());
            // Only when nothing of the user's is left in them.
            ::rmdir(thumbnails.c_str());
            ::rmdir(folder_.c_str());
        } else {
            ::rmdir(thumbnails.c_str());
            if (now_ != before_ && !replaceFileAtomic(recordPath, recordText(now_))) {
                cmWriteLog(kRoutine, 4, "RecordWriteError [" + recordPath + "]");
            }
        }
    }

    static constexpr const char* kThumbnailsKey = kOriginalThumbnailsFolder;

  private:
    std::string folder_;
    Record before_;
    Record now_;
    ItemNotes& notes_;
    Manifest& files_;
};

/// `path` made canonical; "" when it cannot be.
std::string canonicalOf(const std::string& path) {
    std::error_code ec;
    std::string canonical = fs::weakly_canonical(path, ec).string();
    return ec ? std::string() : canonical;
}

} // namespace

void placeOriginals(const AlbumJob& job, const std::string& listPage, PictureList& items,
                    ItemNotes& notes, Manifest& files) {
    // Split without cmSplitPath, whose trace in the log would change every run's log.
    const std::string pageFolder = fs::path(listPage).parent_path().string();
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].originalInSite = false;
        items[i].thumbnailInSite = false;
    }
    const std::string folder = cmAddPath(pageFolder, kOriginalsFolder, kPathSeparator);
    const std::string recordPath = cmAddPath(folder, kOriginalsRecord, kPathSeparator);
    std::error_code ec;
    const bool recorded = fs::is_regular_file(recordPath, ec);
    if (job.originals == kOriginalsLinked && !recorded) {
        return; // nothing placed before, nothing to place
    }
    cmWriteLog(kRoutine, 1, "▽Start Method▽");
    Placer placer(folder, loadRecord(recordPath), notes, files);
    const std::string pages = canonicalOf(pageFolder);
    // Folders already in the site are linked where they are.
    const auto outside = [&pages](const std::string& canonical) {
        return !canonical.empty() && canonical != pages && !within(pages, canonical);
    };
    const std::string pictures = canonicalOf(job.picPath);
    const std::string thumbnails = job.useThumbnails ? canonicalOf(job.samPath) : std::string();
    if (job.originals != kOriginalsLinked) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            Item& item = items[i];
            if (outside(pictures) && linksOriginal(job, item)) {
                item.originalInSite = placer.place(item.name(), item.path, pictures, item.path);
            }
            // A thumbnail folder's thumbnails are linked by the list as the originals are.
            if (outside(thumbnails)) {
                const std::string thumbnail = cmAddPath(job.samPath, item.name(), kPathSeparator);
                item.thumbnailInSite =
                    placer.place(std::string(Placer::kThumbnailsKey) + "/" + item.name(), thumbnail,
                                 thumbnails, thumbnail);
            }
        }
    }
    placer.finish(recordPath);
    cmWriteLog(kRoutine, 1, "△End Method△");
}

} // namespace mivo
