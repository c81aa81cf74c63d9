#include "generation/copies/copy_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>

#include "common/system_reason.h"
#include "common/translate.h"

namespace mivo {

namespace {

constexpr std::string_view kTemporaryMark = ".part-";
constexpr std::size_t kSuffixLength = 6;

std::string randomSuffix() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 engine(std::random_device{}());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string suffix;
    for (std::size_t i = 0; i < kSuffixLength; ++i) {
        suffix.push_back(kLetters[pick(engine)]);
    }
    return suffix;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd, bytes.data(), bytes.size());
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
    return true;
}

std::string joined(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

std::string systemErrorText(int code) {
    return systemReasonText(code);
}

bool isPlainFileName(std::string_view name) {
    // One pass over the bytes: asked for every name of every record read.
    return !name.empty() && name != "." && name != ".." &&
           std::none_of(name.begin(), name.end(), [](char c) { return c == '/' || c == '\0'; });
}

bool isCopyTemporaryName(std::string_view name) {
    if (name.size() < 1 + 1 + kTemporaryMark.size() + kSuffixLength || name.front() != '.') {
        return false;
    }
    const std::size_t mark = name.size() - kSuffixLength - kTemporaryMark.size();
    return name.substr(mark, kTemporaryMark.size()) == kTemporaryMark;
}

CopyFolder::~CopyFolder() {
    close();
}

void CopyFolder::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool CopyFolder::openExisting(const std::string& path, std::string& error) {
    close();
    path_ = path;
    fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
        error = path + ": " + systemErrorText(errno);
        return false;
    }
    return true;
}

bool CopyFolder::openInside(const CopyFolder& parent, const std::string& name, std::string& error) {
    close();
    path_ = joined(parent.path(), name);
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    // Opened first: on a re-run the folder is there, and made only when it is not.
    fd_ = ::openat(parent.fd(), name.c_str(), kFlags);
    if (fd_ < 0 && errno == ENOENT) {
        if (::mkdirat(parent.fd(), name.c_str(), 0777) != 0 && errno != EEXIST) {
            error = path_ + ": " + systemErrorText(errno);
            return false;
        }
        fd_ = ::openat(parent.fd(), name.c_str(), kFlags);
    }
    if (fd_ < 0) {
        // A link in the folder's place gives ELOOP: say what is really wrong.
        struct stat st {};
        const int reason = errno == ELOOP || (::fstatat(parent.fd(), name.c_str(), &st,
                                                        AT_SYMLINK_NOFOLLOW) == 0 &&
                                              S_ISLNK(st.st_mode))
                               ? ELOOP
                               : errno;
        error =
            path_ + ": " +
            (reason == ELOOP ? std::string(translatable("フォルダではなくシンボリックリンクです"))
                             : systemErrorText(reason));
        return false;
    }
    return true;
}

bool CopyFolder::list(std::vector<FolderEntry>& entries) const {
    entries.clear();
    // Read straight from the open folder, from its start: no descriptor of its own to open,
    // check and close for every listing. Only *at calls use fd_ besides, and they ignore the
    // offset.
    if (::lseek(fd_, 0, SEEK_SET) != 0) {
        return false;
    }
    alignas(dirent64) char buffer[32768];
    for (;;) {
        const ssize_t got = ::getdents64(fd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            const std::string_view name(entry->d_name);
            if (name == "." || name == "..") {
                continue;
            }
            bool regular = entry->d_type == DT_REG;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat st {};
                regular = ::fstatat(fd_, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISREG(st.st_mode);
            }
            entries.push_back({std::string(name), regular});
        }
    }
}

bool CopyFolder::writeFile(const std::string& name, std::string_view bytes,
                           std::string& error) const {
    // O_EXCL and O_NOFOLLOW: the temporary file is always new, never a name that was there.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = "." + name + std::string(kTemporaryMark) + randomSuffix();
        fd =
            ::openat(fd_, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST && errno != EINTR) {
            break;
        }
    }
    if (fd < 0) {
        error = joined(path_, name) + ": " + systemErrorText(errno);
        return false;
    }
    bool ok = writeAll(fd, bytes);
    int reason = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    // renameat replaces whatever has the name, a link included, and never follows it.
    if (ok && ::renameat(fd_, temp.c_str(), fd_, name.c_str()) != 0) {
        ok = false;
        reason = errno;
    }
    if (!ok) {
        ::unlinkat(fd_, temp.c_str(), 0);
        error = joined(path_, name) + ": " + systemErrorText(reason);
    }
    return ok;
}

bool CopyFolder::removeFile(const std::string& name, std::string& error, bool* removed) const {
    if (::unlinkat(fd_, name.c_str(), 0) == 0) {
        if (removed != nullptr) {
            *removed = true;
        }
        return true;
    }
    if (errno != ENOENT) {
        error = joined(path_, name) + ": " + systemErrorText(errno);
        return false;
    }
    return true;
}

} // namespace mivo
