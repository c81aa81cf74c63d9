#include "generation/gallery_copies.h"

#include "common/log.h"
#include "common/paths.h"
#include "generation/status.h"

namespace mivo {

namespace {

// Display copies: long enough for a large screen, far smaller than a camera's pictures.
constexpr long long kViewEdge = 2048;

} // namespace

bool galleryMakesCopies(const Settings& settings, const GalleryJob& job) {
    return settings.CheckReduce && !job.useThumbnails;
}

std::string pageFolderOf(const std::string& pagePath) {
    std::string folder;
    std::string name;
    cmSplitPath(pagePath, true, kPathSeparator, folder, name);
    return folder;
}

void makeGalleryCopies(MakeContext& ctx, const GalleryJob& job, const OutputPaths& paths,
                       const PictureList& pictures) {
    ctx.state.webCopies.clear();
    if (!galleryMakesCopies(ctx.settings, job) || pictures.empty()) {
        return;
    }
    cmWriteLog("makeGalleryCopies", 1, "▽Start Method▽");
    ResizeRequest request;
    request.boxWidth = ctx.settings.TextSamWidth;
    request.boxHeight = ctx.settings.TextSamHeight;
    request.viewEdge = kViewEdge;
    const std::string n = std::to_string(pictures.size());
    WebSizesReport report;
    makeWebSizes(
        job.picPath, pictures, pageFolderOf(paths.strListPath), request, ctx.pictureWorkers,
        ctx.state.webCopies, report,
        [&](std::size_t i, const ClassFileData& picture, const WebCopy& copy,
            const std::string& error) {
            if (!copy.ok) {
                const std::string path = cmAddPath(job.picPath, picture.strName, kPathSeparator);
                cmWriteLog("makeGalleryCopies", 4, "<" + path + "> " + error);
            } else if (!copy.madeThisRun) {
                return; // kept from an earlier run: nothing was done that the status should show
            }
            mainSetStatus(ctx.status, true,
                          cmCutExt(picture.strName) + " (" + std::to_string(i + 1) + "/" + n + ")",
                          0, 0);
        });
    cmWriteLog("makeGalleryCopies", 3,
               "made " + std::to_string(report.made) + ", kept " + std::to_string(report.kept) +
                   ", failed " + std::to_string(report.failed) + ", removed " +
                   std::to_string(report.removed));
    cmWriteLog("makeGalleryCopies", 1, "△End Method△");
}

const WebCopy* galleryCopy(const MakeContext& ctx, std::size_t index) {
    const std::vector<WebCopy>& copies = ctx.state.webCopies;
    if (index >= copies.size() || !copies[index].ok) {
        return nullptr;
    }
    return &copies[index];
}

std::string srcsetLink(const std::string& link) {
    std::string out;
    out.reserve(link.size());
    for (const char c : link) {
        if (c == ' ') {
            out.append("%20");
        } else if (c == ',') {
            out.append("%2C");
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace mivo
