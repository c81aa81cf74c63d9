#include "common/program.h"

#include <filesystem>
#include <system_error>

#include "common/paths.h"
#include "mivo_version.h"

namespace fs = std::filesystem;

namespace mivo {

std::string locateProgramFolder() {
    std::error_code ec;
    const fs::path exe = fs::canonical("/proc/self/exe", ec);
    if (!ec && exe.has_parent_path()) {
        return exe.parent_path().string();
    }
    const fs::path current = fs::current_path(ec);
    return ec ? std::string(".") : current.string();
}

std::string versionText() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

std::string iniFilePath(const std::string& programFolder) {
    return cmAddPath(programFolder, std::string(kAppTitle) + ".ini", kPathSeparator);
}

std::string listFilePath(const std::string& programFolder) {
    return cmAddPath(programFolder, std::string(kAppTitle) + ".csv", kPathSeparator);
}

std::string logFilePath(const std::string& programFolder) {
    return cmAddPath(programFolder, std::string(kAppTitle) + ".log", kPathSeparator);
}

} // namespace mivo
