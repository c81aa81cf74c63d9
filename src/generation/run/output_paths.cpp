#include "generation/run/output_paths.h"

#include <filesystem>
#include <system_error>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/plan/page_text.h"
#include "generation/run/run_messages.h"

namespace mivo {

bool cmHasPageName(const std::string& path) {
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
    if (cmExists(folder)) {
        return cmIsFolder(folder);
    }
    std::error_code ec;
    std::filesystem::create_directory(folder, ec);
    return !ec && cmIsFolder(folder);
}

bool getMakePath(RunStatus& status, const GalleryJob& job, OutputPaths& outPaths) {
    const PagePlan& s = job.pages;
    std::string folder;
    if (job.menu) {
        if (!cmHasPageName(s.menuPath)) {
            mainSetStatus(status, true, kMessNoMenuPath, 0, 0);
            return false;
        }
        std::string base = pageFolder(s.menuPath);
        if (!s.menuHtmlPath.empty()) {
            base = cmAddPath(base, s.menuHtmlPath, kPathSeparator);
        }
        folder = normalizedPath(cmAddPath(base, cmFormat000(job.number), kPathSeparator));
        if (!makeGalleryFolder(folder)) {
            cmWriteLog("mainGetMakePath", 4, "MakeFolderError [" + folder + "]");
            mainSetStatus(status, true, cmMessCannotMakeFolder(folder), 0, 0);
            return false;
        }
        outPaths.strIndexPath = cmAddPath(folder, "index.html", kPathSeparator);
    } else {
        if (!cmHasPageName(s.indexPath)) {
            mainSetStatus(status, true, kMessNoIndexPath, 0, 0);
            return false;
        }
        // "." and ".." steps are resolved first, so every link below is made between the
        // folders the pages really land in.
        outPaths.strIndexPath = normalizedPath(s.indexPath);
        folder = pageFolder(outPaths.strIndexPath);
        if (!s.htmlPath.empty()) {
            folder = normalizedPath(cmAddPath(folder, s.htmlPath, kPathSeparator));
        }
    }
    outPaths.strListPath = cmAddPath(folder, "list.html", kPathSeparator);
    outPaths.strPictPath = cmAddPath(folder, "pict.html", kPathSeparator);
    if (job.menu) {
        outPaths.strIndexLink = "./index.html";
        outPaths.strListLink = "./list.html";
        outPaths.strPictLink = "./pict.html";
    } else {
        outPaths.strIndexLink = relativeLink(outPaths.strPictPath, outPaths.strIndexPath);
        outPaths.strListLink = relativeLink(outPaths.strIndexPath, outPaths.strListPath);
        outPaths.strPictLink = relativeLink(outPaths.strIndexPath, outPaths.strPictPath);
    }
    return true;
}

} // namespace

bool mainGetMakePath(RunStatus& status, const GalleryJob& job, OutputPaths& outPaths) {
    cmWriteLog("mainGetMakePath", 1,
               "▽Start Method▽\r\ninintNo=[" + std::to_string(job.number) + "]");
    const bool ok = getMakePath(status, job, outPaths);
    cmWriteLog("mainGetMakePath", 1, std::string("△End Method△ ") + cmBoolText(ok));
    return ok;
}

} // namespace mivo
