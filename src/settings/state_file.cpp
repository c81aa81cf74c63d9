#include "settings/state_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "common/text_file.h"
#include "common/translate.h"

namespace mivo {

namespace {

/// True when the file exists and its mode keeps this user from writing it. Root passes every
/// access check, so for root the mode bits decide: no write bit for anyone means read-only.
bool isWriteProtected(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    if (::geteuid() == 0) {
        return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    }
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

void setError(std::string* errorText, const std::string& text) {
    if (errorText != nullptr) {
        *errorText = text;
    }
}

} // namespace

std::string stateFileTarget(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::path(path), ec) || ec) {
        return path;
    }
    // A dangling link is replaced at its target's place too, as long as that can be named.
    const auto target = std::filesystem::weakly_canonical(std::filesystem::path(path), ec);
    if (ec || target.empty()) {
        return path;
    }
    return target.string();
}

TextEncoding stateFileEncoding(std::string_view utf8) {
    return fitsCp932(utf8) ? TextEncoding::Cp932 : TextEncoding::Utf8Bom;
}

bool replaceStateFile(const std::string& path, std::string_view bytes, std::string* errorText) {
    const std::string target = stateFileTarget(path);
    if (isWriteProtected(target)) {
        // The reason is logged as it is, and translated where the window shows it.
        setError(errorText, translatable("読み取り専用のファイルです"));
        errno = EACCES;
        return false;
    }
    errno = 0;
    // The settings files may be links the user keeps elsewhere: write what they point at.
    if (!replaceFileAtomic(target, bytes, LinkPolicy::Follow)) {
        const int reason = errno;
        setError(errorText, reason != 0 ? std::strerror(reason) : translatable("書き込めません"));
        errno = reason;
        return false;
    }
    return true;
}

bool writeStateFile(const std::string& path, std::string_view utf8, std::string* errorText) {
    const TextEncoding encoding = stateFileEncoding(utf8);
    std::string bytes;
    if (encoding == TextEncoding::Utf8Bom) {
        bytes.assign(kUtf8Bom);
    }
    appendEncodedText(bytes, utf8, encoding, Cp932Fallback::Question);
    return replaceStateFile(path, bytes, errorText);
}

} // namespace mivo
