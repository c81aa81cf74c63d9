#include "generation/run/output_paths.h"

#include <filesystem>
#include <system_error>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/plan/page_text.h"
#include "generation/run/run_messages.h"

namespace mivo {

namespace {

/// The folder part of a page path (its last part is always taken as the file name).
std::string pageFolder(const std::string& pagePath) {
    std::string folder;
    std::string name;
    cmSplitPath(pagePath, true, kPathSeparator, folder, name);
    return folder;
}

/// Makes one level of folder unless something of that name is there already. A file in the
/// way counts as a folder that cannot be made: the pages could never be written into it.
bool makeGalleryFolder(const std::string& folder) {
    if (pathExists(folder)) {
        return isFolder(folder);
    }
    std::error_code ec;
    std::filesystem::create_directory(folder, ec);
    return !ec && isFolder(folder);
}

bool getMakePath(RunStatus& status, const AlbumPlace& place, OutputPaths& pagePaths) {
    std::string folder;
    if (place.ownFolder) {
        // Its planner refused settings without the page; looked at again all the same.
        if (!hasPageName(place.page)) {
            mainSetStatus(status, true, kMessNoMenuPath, 0, 0);
            return false;
        }
        std::string base = pageFolder(place.page);
        if (!place.subFolder.empty()) {
            base = cmAddPath(base, place.subFolder, kPathSeparator);
        }
        folder = normalizedPath(cmAddPath(base, place.folderName, kPathSeparator));
        if (!makeGalleryFolder(folder)) {
            cmWriteLog("mainGetMakePath", 4, "MakeFolderError [" + folder + "]");
            mainSetStatus(status, true, cannotMakeFolderMessage(folder), 0, 0);
            return false;
        }
        pagePaths.strIndexPath = cmAddPath(folder, "index.html", kPathSeparator);
    } else {
        if (!hasPageName(place.page)) {
            mainSetStatus(status, true, kMessNoIndexPath, 0, 0);
            return false;
        }
        // "." and ".." steps are resolved first, so every link below is made between the
        // folders the pages really land in.
        pagePaths.strIndexPath = normalizedPath(place.page);
        folder = pageFolder(pagePaths.strIndexPath);
        if (!place.subFolder.empty()) {
            folder = normalizedPath(cmAddPath(folder, place.subFolder, kPathSeparator));
        }
    }
    pagePaths.strListPath = cmAddPath(folder, "list.html", kPathSeparator);
    pagePaths.strPictPath = cmAddPath(folder, "pict.html", kPathSeparator);
    if (place.ownFolder) {
        pagePaths.strIndexLink = "./index.html";
        pagePaths.strListLink = "./list.html";
        pagePaths.strPictLink = "./pict.html";
    } else {
        pagePaths.strIndexLink = relativeLink(pagePaths.strPictPath, pagePaths.strIndexPath);
        pagePaths.strListLink = relativeLink(pagePaths.strIndexPath, pagePaths.strListPath);
        pagePaths.strPictLink = relativeLink(pagePaths.strIndexPath, pagePaths.strPictPath);
    }
    return true;
}

/// pageFolder's split, without its log.
std::string quietFolderOf(const std::string& path) {
    const std::size_t last = path.rfind(kPathSeparator);
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

} // namespace

std::string quietPageFolder(const AlbumPlace& place) {
    if (place.ownFolder) {
        std::string base = quietFolderOf(place.page);
        if (!place.subFolder.empty()) {
            base = cmAddPath(base, place.subFolder, kPathSeparator);
        }
        return normalizedPath(cmAddPath(base, place.folderName, kPathSeparator));
    }
    std::string folder = quietFolderOf(normalizedPath(place.page));
    if (!place.subFolder.empty()) {
        folder = normalizedPath(cmAddPath(folder, place.subFolder, kPathSeparator));
    }
    return folder;
}

bool mainGetMakePath(RunStatus& status, Album& album) {
    cmWriteLog("mainGetMakePath", 1,
               "▽Start Method▽\r\ninintNo=[" + std::to_string(album.job.number) + "]");
    const bool ok = getMakePath(status, album.place, album.paths);
    cmWriteLog("mainGetMakePath", 1, std::string("△End Method△ ") + boolText(ok));
    return ok;
}

} // namespace mivo
