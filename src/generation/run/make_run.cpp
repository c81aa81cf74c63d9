#include "generation/run/make_run.h"

#include <optional>
#include <string>
#include <vector>

#include "common/log.h"
#include "common/text.h"
#include "common/translate.h"
#include "generation/copies/gallery_copies.h"
#include "generation/pages/pages.h"
#include "generation/pictures/picture_info.h"
#include "generation/pictures/picture_measure.h"
#include "generation/plan/gallery_job.h"
#include "generation/plan/gallery_result.h"
#include "generation/plan/item.h"
#include "generation/plan/run_services.h"
#include "generation/run/check.h"
#include "generation/run/output_paths.h"
#include "generation/run/run_ending.h"
#include "generation/run/run_lock.h"
#include "generation/run/run_messages.h"

namespace mivo {

namespace {

// Logged as they are, shown in the user's language (mainSetStatus).
const char* const kMessMaking = translatable("作成中です");
const char* const kMessDone = translatable("完了しました");
const char* const kMessFailed = translatable("作成に失敗しました");
const char* const kMessNoFolder = translatable("フォルダの指定がありません");
const char* const kMessStopped = translatable("中止しました");

/// A message of the run with the menu gallery it is about: "... [name]".
UserText withGallery(const UserText& message, const std::string& name) {
    return userText("%1 [%2]", {message, name});
}

/// A gallery that passed its check: its pictures and filelist.csv's heading.
struct CheckedGallery {
    PictureList pictures;
    std::string filelistHead;
};

/// How the run stands between its steps.
struct RunProgress {
    bool stopped = false; // the user stopped the run
    std::string failure;  // the page that was not written and why, once a page failed
    ItemNotes items;      // what the galleries' copies left out or could not make
};

/// The user asked to stop: nothing more is started. Remembered so the end says so.
bool stopping(const RunServices& run, RunProgress& progress) {
    if (run.status.stopRequested()) {
        progress.stopped = true;
    }
    return progress.stopped;
}

/// The path settings a run cannot do without; shows what is missing and gives false.
bool havePathSettings(const RunServices& run, const RunPlan& plan) {
    const PagePlan& pages = plan.pages;
    if (pages.menuMode) {
        if (!hasPageName(pages.menuPath)) {
            mainSetStatus(run.status, true, kMessNoMenuPath, 0, 0);
            return false;
        }
        return true;
    }
    if (!hasPageName(pages.indexPath)) {
        mainSetStatus(run.status, true, kMessNoIndexPath, 0, 0);
        return false;
    }
    if (plan.galleries.front().picPath.empty()) {
        mainSetStatus(run.status, true, kMessNoPicPath, 0, 0);
        return false;
    }
    return true;
}

/// "作成に失敗しました", with the gallery's name in menu mode.
UserText failedText(const GalleryJob& job) {
    return job.menu ? withGallery(userText(kMessFailed), job.name) : userText(kMessFailed);
}

/// The list, index and picture pages of one checked gallery, with its reduced copies first.
/// What it wrote is in `result`; false (with the failure shown) when a page was not written or
/// the run was stopped.
bool makeGallery(const RunServices& run, const GalleryJob& job, CheckedGallery& checked,
                 RunProgress& progress, GalleryResult& result) {
    OutputPaths paths;
    if (stopping(run, progress) || !mainGetMakePath(run.status, job, paths)) {
        return false;
    }
    // What this machine lacks is told once per run, whichever gallery meets it first.
    result.items.missing = progress.items.missing;
    makeGalleryCopies(run, job, paths, checked.pictures, result.items);
    progress.items.add(result.items);
    // What cannot be shown (a video without ffmpeg, a file that is not what its name says)
    // is not in the gallery at all.
    dropLeftOut(checked.pictures);
    // The headers are read while the list page is started.
    std::optional<PictureMeasurer> measurer;
    PictureRows rows(job, checked.pictures,
                     startListTableReads(measurer, job, checked.pictures, run.pictureWorkers));
    ListTableResult table;
    bool ok = false;
    mainMakeListHtml(run, job, paths, rows, table, ok, result.failure);
    result.menuItem = table.menuItem;
    // A list page abandoned half-way leaves the other pages as they were too.
    if (stopping(run, progress)) {
        return false;
    }
    if (!ok ||
        !mainMakeIndexHtml(run, job, paths, table.pictures, checked.pictures, result.failure)) {
        mainSetStatus(run.status, true, failedText(job), 0, 0);
        return false;
    }
    if (stopping(run, progress)) {
        return false;
    }
    if (!job.menu) {
        // The list page rescaled the bar to its pictures.
        run.status.setBarMax(100);
        mainSetStatus(run.status, false, "", 1, 90);
    }
    if (!mainMakePictHtml(run, job, paths, checked.filelistHead, result.failure)) {
        mainSetStatus(run.status, true, failedText(job), 0, 0);
        return false;
    }
    result.written = true;
    return true;
}

/// The folders a run writes its pages into: the top page's folder and the page folder below
/// it. Holds them against other runs; false (with the busy folder shown) when one is taken.
bool lockPageFolders(const RunServices& run, const PagePlan& pages, RunLock& lock,
                     RunProgress& progress) {
    std::string busy;
    if (!lock.take({pageFolderOf(topPageOf(pages)), pageFolderOf(pages)}, busy)) {
        const UserText message = messFolderBusy(busy);
        mainSetStatus(run.status, true, message, 0, 0);
        progress.failure = message.shown;
        return false;
    }
    return true;
}

/// Checks every gallery of the run, in order; false (with the refusal shown) at the first
/// that fails.
bool checkGalleries(const RunServices& run, RunPlan& plan, std::vector<CheckedGallery>& checked,
                    RunProgress& progress) {
    checked.resize(plan.galleries.size());
    for (std::size_t i = 0; i < plan.galleries.size(); ++i) {
        GalleryJob& job = plan.galleries[i];
        if (job.menu && stopping(run, progress)) {
            return false;
        }
        if (!mainCheckMake(run, job, true, checked[i].pictures, checked[i].filelistHead)) {
            if (job.menu) {
                mainSetStatus(run.status, true, withGallery(run.status.message(), job.name), 0, 0);
            }
            return false;
        }
    }
    return true;
}

/// Checks and writes every gallery, then the menu page in menu mode. `results` gets one
/// element per gallery written or tried.
bool makeGalleries(const RunServices& run, RunPlan& plan, RunProgress& progress,
                   std::vector<GalleryResult>& results) {
    const bool menu = plan.pages.menuMode;
    if (menu && plan.galleries.empty()) {
        mainSetStatus(run.status, true, kMessNoFolder, 0, 0);
        return false;
    }
    if (!havePathSettings(run, plan)) {
        return false;
    }
    std::vector<CheckedGallery> checked;
    if (!checkGalleries(run, plan, checked, progress)) {
        return false;
    }
    RunLock lock;
    if (!lockPageFolders(run, plan.pages, lock, progress)) {
        return false;
    }
    if (menu) {
        mainSetStatus(run.status, true, kMessMaking, 1, 5);
    } else {
        mainSetStatus(run.status, true, kMessMaking, 0, 0);
    }
    results.reserve(plan.galleries.size());
    for (std::size_t i = 0; i < plan.galleries.size(); ++i) {
        GalleryResult& result = results.emplace_back();
        const bool written = makeGallery(run, plan.galleries[i], checked[i], progress, result);
        if (!result.failure.empty()) {
            progress.failure = result.failure;
        }
        if (!written) {
            return false;
        }
        // This gallery's pictures are written; free them before the next gallery.
        checked[i].pictures.clear();
    }
    if (!menu) {
        return true;
    }
    if (stopping(run, progress)) {
        return false;
    }
    if (!mainMakeMenuHtml(run, plan.pages, plan.galleries, results, progress.failure)) {
        mainSetStatus(run.status, true, kMessFailed, 0, 0);
        return false;
    }
    return true;
}

} // namespace

MakeResult runMake(const Settings& settings, const std::vector<GalleryEntry>& rows,
                   const ProgramFiles& files, StatusSink& sink, int pictureWorkers) {
    cmWriteLog("CommandMake_Click", 1, "▽Start Method▽");
    RunStatus status(&sink);
    status.setBarMax(100);
    status.setBarValue(0);
    const RunServices run{files, status, pictureWorkers};
    RunPlan plan = planRun(settings, rows);
    RunProgress progress;
    std::vector<GalleryResult> results;
    bool done = makeGalleries(run, plan, progress, results);

    // Copies that could not be made: every page is written, the pictures without copies show
    // their originals; but it is a failure the user must hear of, with what the run left out.
    const ItemNotes& items = progress.items;
    std::string failedGallery;
    for (std::size_t i = 0; i < results.size() && failedGallery.empty(); ++i) {
        if (!results[i].items.failed.empty() && plan.galleries[i].menu) {
            failedGallery = plan.galleries[i].name;
        }
    }
    if (done && !items.failed.empty()) {
        done = false;
        progress.failure = copyFailureText(items);
        const UserText failed = failedGallery.empty()
                                    ? userText(kMessFailed)
                                    : withGallery(userText(kMessFailed), failedGallery);
        mainSetStatus(status, true, endingWithItems(failed, items), 0, 0);
    } else if (done) {
        mainSetStatus(status, true, endingWithItems(userText(kMessDone), items), 1, 100);
    } else if (progress.stopped) {
        mainSetStatus(status, true, kMessStopped, 0, 0);
    } else if (!items.empty()) {
        // A page failed after the copies: its failure stays, and the items are said too.
        mainSetStatus(status, true, endingWithItems(status.message(), items), 0, 0);
    }
    MakeResult result{done, progress.stopped, progress.failure, {}};
    if (!progress.stopped) {
        result.items = itemDetails(items);
    }
    cmWriteLog("CommandMake_Click", 1, "△End Method△");
    return result;
}

} // namespace mivo
