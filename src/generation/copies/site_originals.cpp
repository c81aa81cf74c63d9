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
bool place(const std::string& source, const std::string& target, const std::string& temporary,
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

void placeOriginals(const AlbumJob& job, const std::string& pageFolder, PictureList& items,
                    ItemNotes& notes, Manifest& files) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].originalInSite = false;
    }
    const std::string folder = cmAddPath(pageFolder, kOriginalsFolder, kPathSeparator);
    const std::string recordPath = cmAddPath(folder, kOriginalsRecord, kPathSeparator);
    std::error_code ec;
    const bool recorded = fs::is_regular_file(recordPath, ec);
    if (job.originals == kOriginalsLinked && !recorded) {
        return; // nothing placed before, nothing to place
    }
    cmWriteLog(kRoutine, 1, "▽Start Method▽");
    const Record before = loadRecord(recordPath);
    Record now;
    const std::string pictures = fs::weakly_canonical(job.picPath, ec).string();
    const std::string pages = fs::weakly_canonical(pageFolder, ec).string();
    // Pictures already in the site are linked where they are.
    const bool inSite = !pictures.empty() && (pictures == pages || within(pages, pictures));
    if (job.originals != kOriginalsLinked && !inSite) {
        fs::create_directories(folder, ec);
        for (std::size_t i = 0; i < items.size(); ++i) {
            Item& item = items[i];
            if (!linksOriginal(job, item)) {
                continue;
            }
            // A picture folder may come from a stranger: a link out of it is not followed.
            const std::string source = fs::canonical(item.path, ec).string();
            if (ec || !within(pictures, source)) {
                notes.notPlaced.push_back(
                    {item.path, translatable("画像フォルダの外を指すリンクです")});
                cmWriteLog(kRoutine, 4, "<" + item.path + "> OutsideLink");
                continue;
            }
            Stamp stamp;
            if (!stampOf(source, stamp)) {
                continue;
            }
            const std::string target = cmAddPath(folder, item.name(), kPathSeparator);
            struct stat there {};
            const bool exists = ::lstat(target.c_str(), &there) == 0;
            const auto old = before.find(item.name());
            if (exists && old == before.end()) {
                // The user's own file: kept, and the item linked where it is.
                notes.notPlaced.push_back(
                    {item.path, translatable("サイトのフォルダに同じ名前のファイルがあります") +
                                    std::string(": ") + target});
                cmWriteLog(kRoutine, 4, "<" + target + "> NotMivos");
                continue;
            }
            if (exists && old->second == stamp && S_ISREG(there.st_mode) &&
                there.st_size == stamp.size) {
                item.originalInSite = true;
                now[item.name()] = stamp;
                continue;
            }
            std::string error;
            if (!place(source, target,
                       cmAddPath(folder, "." + item.name() + ".part", kPathSeparator), error)) {
                notes.notPlaced.push_back({item.path, error});
                std::string line = "<" + target + "> ";
                line += error;
                cmWriteLog(kRoutine, 4, line);
                continue;
            }
            item.originalInSite = true;
            now[item.name()] = stamp;
            (exists ? files.replaced : files.written).push_back(manifestPath(target));
        }
    }
    // What was placed before and is not linked any more goes; nothing else there does.
    for (const auto& [name, stamp] : before) {
        if (now.count(name) != 0) {
            continue;
        }
        const std::string target = cmAddPath(folder, name, kPathSeparator);
        struct stat there {};
        if (::lstat(target.c_str(), &there) == 0 && S_ISREG(there.st_mode) &&
            ::unlink(target.c_str()) == 0) {
            files.removed.push_back(manifestPath(target));
        }
    }
    if (now.empty()) {
        ::unlink(recordPath.c_str());
        ::rmdir(folder.c_str()); // only when nothing of the user's is left in it
    } else if (now != before && !replaceFileAtomic(recordPath, recordText(now))) {
        cmWriteLog(kRoutine, 4, "RecordWriteError [" + recordPath + "]");
    }
    cmWriteLog(kRoutine, 1, "△End Method△");
}

} // namespace mivo
