#include "common/text_file.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mivo {

namespace {

/// Writes all bytes to a descriptor, going on after short writes and interruptions.
bool writeAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, p, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

/// Six letters or digits for a temporary name; differs between calls, threads and processes.
std::string randomSuffix() {
    thread_local std::uint64_t counter = 0;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    int local = 0;
    std::uint64_t x = mix(++counter ^ (static_cast<std::uint64_t>(getpid()) << 32) ^
                          static_cast<std::uint64_t>(now.tv_nsec) ^
                          (static_cast<std::uint64_t>(now.tv_sec) << 20) ^
                          reinterpret_cast<std::uintptr_t>(&local));
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += kChars[x % 62];
        x /= 62;
    }
    return suffix;
}

constexpr std::size_t kWriteBuffer = 256 * 1024;
constexpr std::size_t kSuffixLength = 6;

/// ".<name>.tmp-": the temporary files of a target are named this and six letters or digits.
std::string temporaryBase(std::string name) {
    // The whole name must still be a legal file name when <name> is already long.
    constexpr std::size_t kMaxName = NAME_MAX - 12;
    if (name.size() > kMaxName) {
        name.resize(kMaxName);
    }
    return "." + name + ".tmp-";
}

bool isTemporaryName(std::string_view name, std::string_view base) {
    if (name.size() != base.size() + kSuffixLength || name.substr(0, base.size()) != base) {
        return false;
    }
    for (const char c : name.substr(base.size())) {
        const bool alnum =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alnum) {
            return false;
        }
    }
    return true;
}

/// A writer holds an exclusive lock on its named temporary file until the file is renamed; the
/// kernel lets it go when the process dies. false when the file was taken for stale (and
/// removed) before the lock was had.
bool lockAsLive(int fd) {
    struct stat st {};
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0;
}

/// Removes the temporary files `base`XXXXXX in `folder` that no live writer holds: what a run
/// killed part-way left behind.
void removeStaleTemporaries(const std::string& folder, const std::string& base) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!isTemporaryName(entry->d_name, base)) {
            continue;
        }
        const int fd =
            ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(dirFd, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(dir);
}

/// An unnamed file (O_TMPFILE) can be given a name through /proc, or by root without it.
bool canLinkUnnamedFiles() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0 || ::geteuid() == 0;
    return can;
}

/// Makes sure the rename reaches the disk; a folder that cannot be synced is no failure.
void syncFolderOf(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        // One pass over the bytes: find_first_of searches the two terminators once per byte.
        std::size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
            ++end;
        }
        if (end == text.size()) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') {
            ++start;
        }
    }
    return lines;
}

bool readFileBytes(const std::string& path, std::string& contents) {
    contents.clear();
    // O_NONBLOCK: opening a FIFO must not hang; only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (ok) {
        contents = std::move(bytes);
    }
    return ok;
}

bool readTextLines(const std::string& path, std::vector<std::string>& fileLines,
                   TextEncoding* detectedEncoding) {
    fileLines.clear();
    std::string bytes;
    if (!readFileBytes(path, bytes)) {
        return false;
    }
    fileLines = splitLines(decodeText(bytes, detectedEncoding));
    return true;
}

bool appendFileBytes(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    const bool written = writeAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    return written && closed;
}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::open(const std::string& targetPath, LinkPolicy links) {
    discard();
    failed_ = false;
    std::string target = targetPath;
    struct stat st {};
    bool exists = ::lstat(target.c_str(), &st) == 0;
    bool replacesLink = false;
    if (exists && S_ISLNK(st.st_mode)) {
        if (links == LinkPolicy::Follow) {
            // The file the link points at is written, so the link stays a link.
            if (char* resolved = ::realpath(target.c_str(), nullptr)) {
                target = resolved;
                std::free(resolved);
            }
            exists = ::stat(target.c_str(), &st) == 0;
        } else {
            // The rename puts the new file in the link's place; whatever the link points at
            // is never opened. A link has no permission bits of its own worth keeping.
            replacesLink = true;
            exists = false;
        }
    }
    const std::size_t slash = target.rfind('/');
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        return false;
    }
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : target.substr(0, slash);
    const std::string base = temporaryBase(name);
    const std::string prefix =
        (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + base;
    removeStaleTemporaries(folder, base);

    int fd = -1;
    std::string temp;
    bool unnamed = false;
    if (canLinkUnnamedFiles()) {
        // Created like any new file (0666 less the umask), with no name until it is complete.
        fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        unnamed = fd >= 0;
        // Locked too: between its link and its rename it has a temporary name.
        if (unnamed) {
            ::flock(fd, LOCK_EX | LOCK_NB);
        }
    }
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = prefix + randomSuffix();
        // O_EXCL keeps other files safe: a name that is taken, a link included, is never
        // opened. O_NOFOLLOW says the same once more.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST && errno != EINTR) {
            return false;
        }
        if (fd >= 0 && !lockAsLive(fd)) {
            // Another run took it for stale between its creation and the lock: start again.
            ::close(fd);
            fd = -1;
        }
    }
    if (fd < 0) {
        return false;
    }
    // The new file keeps the permission bits of the one it replaces.
    if (exists && ::fchmod(fd, st.st_mode & 07777) != 0) {
        ::close(fd);
        if (!unnamed) {
            ::unlink(temp.c_str());
        }
        return false;
    }
    fd_ = fd;
    unnamed_ = unnamed;
    replacesLink_ = replacesLink;
    target_ = target;
    prefix_ = prefix;
    temp_ = unnamed ? std::string() : temp;
    buffer_.clear();
    buffer_.reserve(kWriteBuffer);
    written_ = 0;
    return true;
}

bool AtomicFile::flush() {
    if (buffer_.empty()) {
        return true;
    }
    const bool ok = writeAll(fd_, buffer_);
    if (ok) {
        // Start writing this part to the disk now, so the sync at the commit has less to wait
        // for; a file system that cannot is no failure.
        ::sync_file_range(fd_, static_cast<off_t>(written_), static_cast<off_t>(buffer_.size()),
                          SYNC_FILE_RANGE_WRITE);
        written_ += buffer_.size();
    }
    buffer_.clear();
    return ok;
}

void AtomicFile::write(std::string_view bytes) {
    if (fd_ < 0) {
        failed_ = true;
        return;
    }
    if (failed_ || bytes.empty()) {
        return;
    }
    if (buffer_.size() + bytes.size() > kWriteBuffer && !flush()) {
        fail();
        return;
    }
    if (bytes.size() >= kWriteBuffer) {
        if (!writeAll(fd_, bytes)) {
            fail();
        }
        written_ += bytes.size();
        return;
    }
    buffer_.append(bytes);
}

void AtomicFile::fail() {
    failed_ = true;
    error_ = errno;
}

/// Gives the unnamed file the hidden temporary name (the target itself cannot be replaced by a
/// link). Either link call may be refused: the first needs /proc, the second a capability.
bool AtomicFile::linkTemporary() {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = prefix_ + randomSuffix();
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp_.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            ::linkat(fd_, "", AT_FDCWD, temp_.c_str(), AT_EMPTY_PATH) == 0) {
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    temp_.clear();
    return false;
}

bool AtomicFile::commit(bool syncFolder) {
    if (fd_ < 0) {
        return false;
    }
    if (completeWrite() && ::fsync(fd_) != 0) {
        fail();
    }
    return place(syncFolder);
}

bool AtomicFile::completeWrite() {
    if (fd_ < 0) {
        return false;
    }
    if (!failed_ && !flush()) {
        fail();
    }
    return !failed_;
}

bool AtomicFile::syncData() {
    if (fd_ < 0 || failed_) {
        return false;
    }
    if (::fdatasync(fd_) != 0) {
        fail();
        return false;
    }
    return true;
}

bool AtomicFile::place(bool syncFolder) {
    if (fd_ < 0) {
        return false;
    }
    // The caller gets to see the reason of the step that failed, a write long before included.
    bool ok = !failed_;
    int reason = error_;
    if (ok && unnamed_ && !linkTemporary()) {
        ok = false;
        reason = errno;
    }
    if (ok && std::rename(temp_.c_str(), target_.c_str()) != 0) {
        ok = false;
        reason = errno;
    }
    if (!ok && !temp_.empty()) {
        ::unlink(temp_.c_str());
    }
    // Closed only now: the lock marks the temporary file as live until it is renamed or
    // removed. The sync has already reported any write error, so closing cannot fail the page.
    ::close(fd_);
    fd_ = -1;
    if (ok && syncFolder) {
        const std::size_t slash = target_.rfind('/');
        syncFolderOf(slash == std::string::npos ? std::string(".")
                     : slash == 0               ? std::string("/")
                                                : target_.substr(0, slash));
    }
    temp_.clear();
    prefix_.clear();
    target_.clear();
    buffer_.clear();
    failed_ = false;
    error_ = 0;
    unnamed_ = false;
    replacesLink_ = false;
    if (!ok && reason != 0) {
        errno = reason;
    }
    return ok;
}

void AtomicFile::discard() {
    if (fd_ >= 0) {
        // Removed while still locked, so no other run takes it for its own stale file.
        if (!unnamed_ && !temp_.empty()) {
            ::unlink(temp_.c_str());
        }
        ::close(fd_);
        fd_ = -1;
    }
    unnamed_ = false;
    replacesLink_ = false;
    temp_.clear();
    prefix_.clear();
    target_.clear();
    buffer_.clear();
}

bool replaceFileAtomic(const std::string& path, std::string_view bytes, LinkPolicy links) {
    AtomicFile file;
    if (!file.open(path, links)) {
        return false;
    }
    file.write(bytes);
    return file.commit();
}

} // namespace mivo
