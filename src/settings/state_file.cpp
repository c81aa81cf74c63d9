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

void setError(std::string* outError, const std::string& text) {
    if (outError != nullptr) {
        *outError = text;
    }
}

} // namespace

std::string cmStateFileTarget(const std::string& path) {
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

TextEncoding cmStateFileEncoding(std::string_view utf8) {
    return cmFitsCp932(utf8) ? TextEncoding::Cp932 : TextEncoding::Utf8Bom;
}

bool cmReplaceStateFile(const std::string& path, std::string_view bytes, std::string* outError) {
    const std::string target = cmStateFileTarget(path);
    if (isWriteProtected(target)) {
        // The reason is logged as it is, and translated where the window shows it.
        setError(outError, translatable("読み取り専用のファイルです"));
        errno = EACCES;
        return false;
    }
    errno = 0;
    // The settings files may be links the user keeps elsewhere: write what they point at.
    if (!cmReplaceFileAtomic(target, bytes, LinkPolicy::Follow)) {
        const int reason = errno;
        setError(outError, reason != 0 ? std::strerror(reason) : translatable("書き込めません"));
        errno = reason;
        return false;
    }
    return true;
}

bool cmWriteStateFile(const std::string& path, std::string_view utf8, std::string* outError) {
    const TextEncoding encoding = cmStateFileEncoding(utf8);
    std::string bytes;
    if (encoding == TextEncoding::Utf8Bom) {
        bytes.assign(kUtf8Bom);
    }
    cmAppendEncodedText(bytes, utf8, encoding, Cp932Fallback::Question);
    return cmReplaceStateFile(path, bytes, outError);
}

} // namespace mivo
