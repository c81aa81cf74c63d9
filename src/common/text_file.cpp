#include "common/text_file.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
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

/// Makes sure the rename reaches the disk; a folder that cannot be synced is no failure.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::vector<std::string> cmSplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
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

bool cmReadFileBytes(const std::string& path, std::string& outBytes) {
    outBytes.clear();
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
        outBytes = std::move(bytes);
    }
    return ok;
}

bool cmReadTextLines(const std::string& path, std::vector<std::string>& outLines,
                     TextEncoding* outEncoding) {
    outLines.clear();
    std::string bytes;
    if (!cmReadFileBytes(path, bytes)) {
        return false;
    }
    outLines = cmSplitLines(cmDecodeText(bytes, outEncoding));
    return true;
}

bool cmAppendFileBytes(const std::string& path, std::string_view bytes) {
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

bool AtomicFile::open(const std::string& targetPath) {
    discard();
    failed_ = false;
    std::string target = targetPath;
    // Replacing a symbolic link writes the file it points at, so the link stays a link.
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(target.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    const std::size_t slash = target.rfind('/');
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        return false;
    }
    // ".<name>.tmp-XXXXXX" must still be a legal file name when <name> is already long.
    constexpr std::size_t kMaxName = NAME_MAX - 12;
    if (name.size() > kMaxName) {
        name.resize(kMaxName);
    }
    const std::string prefix =
        (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + "." + name +
        ".tmp-";
    // Created like any new file (0666 less the umask); O_EXCL keeps other files safe.
    int fd = -1;
    std::string temp;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = prefix + randomSuffix();
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST && errno != EINTR) {
            return false;
        }
    }
    if (fd < 0) {
        return false;
    }
    // The new file keeps the permission bits of the one it replaces.
    if (exists && ::fchmod(fd, st.st_mode & 07777) != 0) {
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    target_ = target;
    temp_ = temp;
    return true;
}

void AtomicFile::write(std::string_view bytes) {
    if (file_ == nullptr) {
        failed_ = true;
        return;
    }
    if (failed_ || bytes.empty()) {
        return;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        failed_ = true;
    }
}

bool AtomicFile::commit() {
    if (file_ == nullptr) {
        return false;
    }
    bool ok = !failed_ && std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
    if (std::fclose(file_) != 0) {
        ok = false;
    }
    file_ = nullptr;
    if (ok && std::rename(temp_.c_str(), target_.c_str()) != 0) {
        ok = false;
    }
    if (ok) {
        const std::size_t slash = target_.rfind('/');
        syncFolder(slash == std::string::npos ? std::string(".")
                   : slash == 0               ? std::string("/")
                                              : target_.substr(0, slash));
    } else {
        ::unlink(temp_.c_str());
    }
    temp_.clear();
    target_.clear();
    failed_ = false;
    return ok;
}

void AtomicFile::discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    target_.clear();
}

bool cmReplaceFileAtomic(const std::string& path, std::string_view bytes) {
    AtomicFile file;
    if (!file.open(path)) {
        return false;
    }
    file.write(bytes);
    return file.commit();
}

} // namespace mivo
