#include "generation/page_failure.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace mivo {

namespace {
std::string gstrPageFailure;

int errorAt(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status)) {
        return EISDIR;
    }
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        return EINVAL;
    }
    return ec ? ec.value() : EIO;
}
} // namespace

void notePageFailure(const std::string& pagePath, int errorNumber) {
    const int code = errorNumber != 0 ? errorNumber : errorAt(pagePath);
    gstrPageFailure = pagePath + ": " + std::generic_category().message(code);
}

const std::string& lastPageFailure() {
    return gstrPageFailure;
}

void clearPageFailure() {
    gstrPageFailure.clear();
}

} // namespace mivo
