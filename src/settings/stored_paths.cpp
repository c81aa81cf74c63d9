#include "settings/stored_paths.h"

#include <filesystem>
#include <system_error>

#include "common/paths.h"

namespace mivo {

std::string settingsFolderOf(const std::string& stateFilePath) {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(stateFilePath).parent_path();
    const std::filesystem::path absolute =
        std::filesystem::absolute(folder.empty() ? std::filesystem::path(".") : folder, ec);
    return normalizedPath(ec ? folder.string() : absolute.string());
}

std::string resolveStoredPath(const std::string& stored, const std::string& settingsFolder) {
    // Taken from the working folder, a relative path would make the pages land wherever the
    // program happened to be started from.
    if (stored.empty() || stored.front() == '/' || settingsFolder.empty()) {
        return stored;
    }
    return normalizedPath(cmAddPath(settingsFolder, stored, kPathSeparator));
}

void resolveGalleryPaths(std::vector<GalleryEntry>& rows, const std::string& settingsFolder) {
    for (GalleryEntry& row : rows) {
        row.strPicPath = resolveStoredPath(row.strPicPath, settingsFolder);
        row.strSamPath = resolveStoredPath(row.strSamPath, settingsFolder);
    }
}

} // namespace mivo
