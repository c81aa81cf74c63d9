#include "generation/run/output_paths.h"

#include <filesystem>
#include <system_error>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/plan/page_text.h"
#include "generation/run/run_messages.h"

namespace mivo {

bool hasPageName(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::string folder;
    std::string name;
    cmSplitPath(path, true, kPathSeparator, folder, name);
    return !name.empty();
}

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

bool getMakePath(RunStatus& status, const GalleryJob& job, OutputPaths& pagePaths) {
    const PagePlan& s = job.pages;
    std::string folder;
    if (job.menu) {
        if (!hasPageName(s.menuPath)) {
            mainSetStatus(status, true, kMessNoMenuPath, 0, 0);
            return false;
        }
        std::string base = pageFolder(s.menuPath);
        if (!s.menuHtmlPath.empty()) {
            base = cmAddPath(base, s.menuHtmlPath, kPathSeparator);
        }
        folder = normalizedPath(cmAddPath(base, formatThreeDigits(job.number), kPathSeparator));
        if (!makeGalleryFolder(folder)) {
            cmWriteLog("mainGetMakePath", 4, "MakeFolderError [" + folder + "]");
            mainSetStatus(status, true, cannotMakeFolderMessage(folder), 0, 0);
            return false;
        }
        pagePaths.strIndexPath = cmAddPath(folder, "index.html", kPathSeparator);
    } else {
        if (!hasPageName(s.indexPath)) {
            mainSetStatus(status, true, kMessNoIndexPath, 0, 0);
            return false;
        }
        // "." and ".." steps are resolved first, so every link below is made between the
        // folders the pages really land in.
        pagePaths.strIndexPath = normalizedPath(s.indexPath);
        folder = pageFolder(pagePaths.strIndexPath);
        if (!s.htmlPath.empty()) {
            folder = normalizedPath(cmAddPath(folder, s.htmlPath, kPathSeparator));
        }
    }
    pagePaths.strListPath = cmAddPath(folder, "list.html", kPathSeparator);
    pagePaths.strPictPath = cmAddPath(folder, "pict.html", kPathSeparator);
    if (job.menu) {
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

} // namespace

bool mainGetMakePath(RunStatus& status, const GalleryJob& job, OutputPaths& pagePaths) {
    cmWriteLog("mainGetMakePath", 1,
               "▽Start Method▽\r\ninintNo=[" + std::to_string(job.number) + "]");
    const bool ok = getMakePath(status, job, pagePaths);
    cmWriteLog("mainGetMakePath", 1, std::string("△End Method△ ") + boolText(ok));
    return ok;
}

} // namespace mivo
