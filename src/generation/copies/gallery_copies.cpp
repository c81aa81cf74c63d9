#include "generation/copies/gallery_copies.h"

#include <algorithm>

#include "common/log.h"
#include "common/paths.h"
#include "common/translate.h"
#include "generation/pictures/moving_picture.h"
#include "generation/plan/status.h"

namespace mivo {

namespace {

// Display copies: long enough for a large screen, far smaller than a camera's pictures.
constexpr long long kViewEdge = 2048;

// Puts an item without copies on the list the end of the run names, and in the log in the
// words the user reads there.
void noteItem(const std::string& path, const WebCopy& copy, const std::string& error,
              const std::string& folderError, ItemNotes& notes) {
    if (copy.failed) {
        // The run goes on, and fails at its end naming it.
        if (notes.firstFailure.empty()) {
            notes.firstFailure = folderError.empty() ? path + ": " + error : error;
        }
        notes.failed.push_back({path, error});
        cmWriteLog("makeGalleryCopies", 4,
                   "<" + path + "> " + translatable("縮小画像を作成できません") + ": " + error);
    } else if (copy.leftOut) {
        notes.leftOut.push_back({path, error});
        cmWriteLog("makeGalleryCopies", 4,
                   "<" + path + "> " + translatable("載せませんでした") + ": " + error);
    } else if (copy.notReduced) {
        notes.notReduced.push_back({path, error});
        cmWriteLog("makeGalleryCopies", 4,
                   "<" + path + "> " + translatable("元の画像のまま載せます") + ": " + error);
    }
}

} // namespace

std::string pageFolderOf(const std::string& pagePath) {
    std::string folder;
    std::string name;
    cmSplitPath(pagePath, true, kPathSeparator, folder, name);
    return folder;
}

void makeGalleryCopies(const RunServices& run, const PagePlan& pages, Album& album,
                       AlbumResult& result, const CopyCheck* ahead) {
    const AlbumJob& job = album.job;
    PictureList& items = album.items;
    ItemNotes& notes = result.items;
    if (!job.makeCopies || items.empty()) {
        return;
    }
    cmWriteLog("makeGalleryCopies", 1, "▽Start Method▽");
    CopyJob copyJob;
    copyJob.pageFolder = pageFolderOf(album.paths.strListPath);
    copyJob.request.boxWidth = pages.thumbWidth;
    copyJob.request.boxHeight = pages.thumbHeight;
    copyJob.request.viewEdge = kViewEdge;
    copyJob.workers = run.pictureWorkers;
    copyJob.ahead = ahead;
    // ffmpeg makes the web videos and the animation copies of big moving GIFs.
    const bool bigMoving = std::any_of(items.begin(), items.end(), [](const Item& item) {
        return item.moves && item.bytes > kSmallMovingPicture;
    });
    if (job.media || bigMoving) {
        copyJob.tools.media = job.media;
        copyJob.tools.video = findVideoPrograms();
    }
    copyJob.stopRequested = [&run] { return run.status.stopRequested(); };
    const std::string n = std::to_string(items.size());
    // The bar counts the copies made of the copies to make, then goes back to where it was.
    const double barMax = run.status.barMax();
    const double barValue = run.status.barValue();
    WebSizesReport report;
    std::size_t tried = 0;
    std::string folderError;
    copyJob.progress = [&](std::size_t i, const Item& item, const std::string& error) {
        const WebCopy& copy = *item.copy;
        if (!copy.ok && !report.stopped) {
            noteItem(item.path, copy, error, folderError, notes);
        }
        if (!copy.missing.empty() && notes.missing.insert(copy.missing).second) {
            mainSetStatus(run.status, true,
                          userText(translatable("%1 がないため、読めない画像・動画は載せません"),
                                   {copy.missing}),
                          0, 0);
        }
        if (!copy.madeThisRun && !copy.failed) {
            return; // kept or left alone: nothing was done that the status should show
        }
        const std::string text =
            cmCutExt(item.name()) + " (" + std::to_string(i + 1) + "/" + n + ")";
        if (report.toMake == 0) {
            mainSetStatus(run.status, true, text, 0, 0);
            return;
        }
        if (++tried == 1) {
            run.status.setBarMax(static_cast<double>(report.toMake));
        }
        mainSetStatus(run.status, true, text, 1, static_cast<int>(tried));
    };
    makeWebSizes(copyJob, items, report, folderError);
    result.files.add(report.files);
    if (tried > 0) {
        run.status.setBarMax(barMax);
        run.status.setBarValue(barValue);
    }
    cmWriteLog("makeGalleryCopies", 3,
               "made " + std::to_string(report.made) + ", kept " + std::to_string(report.kept) +
                   ", failed " + std::to_string(report.failed) + ", skipped " +
                   std::to_string(report.skipped) + ", removed " + std::to_string(report.removed) +
                   (job.media ? ", left out " + std::to_string(report.leftOut) : std::string()));
    cmWriteLog("makeGalleryCopies", 1, "△End Method△");
}

bool dropLeftOut(PictureList& items) {
    return items.removeIf([](const Item& item) { return item.copy && item.copy->leftOut; });
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
