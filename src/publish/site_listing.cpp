#include "publish/site_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "common/system_reason.h"

namespace mivo {

namespace {

/// "<site>/<path>: <reason>".
std::string failureAt(const std::string& root, const std::string& path, int code) {
    std::string text = root;
    text += '/';
    text += path;
    text += ": ";
    text += systemReasonText(code);
    return text;
}

bool holdsLineBreak(const std::string& name) {
    return name.find_first_of("\r\n") != std::string::npos;
}

/// Lists the folder open as `fd` (taken over and closed), `prefix` being its relative path
/// with a trailing "/" (empty for the site itself).
using Entries = std::vector<std::pair<std::string, std::string>>;

/// "size seconds.nanoseconds": what rsync's quick check compares.
std::string stampOf(const struct stat& st) {
    char nanoseconds[16];
    std::snprintf(nanoseconds, sizeof nanoseconds, "%09ld", static_cast<long>(st.st_mtim.tv_nsec));
    return std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." + nanoseconds;
}

bool listFolder(int fd, const std::string& prefix, const std::string& root, SiteListing& listing,
                Entries& entries, std::string& error) {
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        error = failureAt(root, prefix, errno);
        ::close(fd);
        return false;
    }
    std::vector<std::string> folders;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name.front() == '.') {
            continue;
        }
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue; // gone since the listing
        }
        const std::string path = prefix + name;
        if (S_ISLNK(st.st_mode)) {
            listing.links.push_back(path);
        } else if (holdsLineBreak(name)) {
            listing.unnamable.push_back(path);
        } else if (S_ISDIR(st.st_mode)) {
            folders.push_back(name);
        } else if (S_ISREG(st.st_mode)) {
            entries.emplace_back(path, stampOf(st));
            listing.bytes += static_cast<std::uint64_t>(st.st_size);
        }
        errno = 0;
    }
    const int readError = errno;
    bool ok = readError == 0;
    if (!ok) {
        error = failureAt(root, prefix, readError);
    }
    for (const std::string& name : folders) {
        if (!ok) {
            break;
        }
        const int child =
            ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) {
            error = failureAt(root, prefix + name, errno);
            ok = false;
            break;
        }
        ok = listFolder(child, prefix + name + "/", root, listing, entries, error);
    }
    ::closedir(dir);
    return ok;
}

} // namespace

bool listSite(const std::string& folder, SiteListing& listing, std::string& error) {
    listing = SiteListing{};
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = folder + ": " + systemReasonText(errno);
        return false;
    }
    Entries entries;
    if (!listFolder(fd, "", folder, listing, entries, error)) {
        return false;
    }
    std::sort(entries.begin(), entries.end());
    listing.files.reserve(entries.size());
    listing.stamps.reserve(entries.size());
    for (auto& [path, stamp] : entries) {
        listing.files.push_back(std::move(path));
        listing.stamps.push_back(std::move(stamp));
    }
    std::sort(listing.links.begin(), listing.links.end());
    std::sort(listing.unnamable.begin(), listing.unnamable.end());
    return true;
}

bool isPublishablePath(const std::string& path) {
    if (path.empty() || holdsLineBreak(path)) {
        return false;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('/', start);
        const std::size_t length = (end == std::string::npos ? path.size() : end) - start;
        if (length == 0 || path[start] == '.') {
            return false;
        }
        if (end == std::string::npos) {
            return true;
        }
        start = end + 1;
    }
}

} // namespace mivo
