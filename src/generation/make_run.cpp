#include "generation/make_run.h"

#include <optional>
#include <string>
#include <vector>

#include "common/log.h"
#include "common/text.h"
#include "generation/check.h"
#include "generation/file_data.h"
#include "generation/gallery_copies.h"
#include "generation/gallery_job.h"
#include "generation/make_context.h"
#include "generation/output_paths.h"
#include "generation/pages.h"
#include "generation/picture_info.h"
#include "generation/picture_measure.h"
#include "generation/run_lock.h"
#include "generation/run_messages.h"

namespace mivo {

namespace {

const char* const kMessMaking = "作成中です";
const char* const kMessDone = "完了しました";
const char* const kMessFailed = "作成に失敗しました";
const char* const kMessNoFolder = "フォルダの指定がありません";
const char* const kMessStopped = "中止しました";

/// The user asked to stop: nothing more is started. Remembered so the end says so.
bool stopping(MakeContext& ctx) {
    if (ctx.status.stopRequested()) {
        ctx.state.stopped = true;
    }
    return ctx.state.stopped;
}

/// The path settings a run cannot do without; shows what is missing and gives false.
bool havePathSettings(MakeContext& ctx) {
    const Settings& s = ctx.settings;
    if (s.menuMode()) {
        if (!hasPageName(s.gstrMenuPath)) {
            mainSetStatus(ctx.status, true, kMessNoMenuPath, 0, 0);
            return false;
        }
        return true;
    }
    if (!hasPageName(s.gstrIndexPath)) {
        mainSetStatus(ctx.status, true, kMessNoIndexPath, 0, 0);
        return false;
    }
    if (s.gstrPicPath.empty()) {
        mainSetStatus(ctx.status, true, kMessNoPicPath, 0, 0);
        return false;
    }
    return true;
}

/// "作成に失敗しました", with the gallery's name in menu mode.
void showFailed(MakeContext& ctx, const GalleryJob& job) {
    mainSetStatus(ctx.status, true,
                  job.menu ? std::string(kMessFailed) + " [" + job.name + "]" : kMessFailed, 0, 0);
}

/// The list, index and picture pages of one checked gallery. false (with the failure shown)
/// when a page was not written.
bool makeGallery(MakeContext& ctx, const GalleryJob& job, const PictureList& pictures) {
    OutputPaths paths;
    if (stopping(ctx) || !mainGetMakePath(ctx, job, paths)) {
        return false;
    }
    makeGalleryCopies(ctx, job, paths, pictures);
    // The headers are read while the list page is started.
    std::optional<PictureMeasurer> measurer;
    ctx.measurer = startListTableReads(measurer, ctx, job, pictures);
    bool ok = false;
    mainMakeListHtml(ctx, job, paths, pictures, ctx.state.picEntries, ok);
    ctx.measurer = nullptr;
    // A list page abandoned half-way leaves the other pages as they were too.
    if (stopping(ctx)) {
        return false;
    }
    if (!ok || !mainMakeIndexHtml(ctx, job, paths, ctx.state.picEntries)) {
        showFailed(ctx, job);
        return false;
    }
    if (stopping(ctx)) {
        return false;
    }
    if (!job.menu) {
        // The list page rescaled the bar to its pictures.
        ctx.status.setBarMax(100);
        mainSetStatus(ctx.status, false, "", 1, 90);
    }
    if (!mainMakePictHtml(ctx, job, paths)) {
        showFailed(ctx, job);
        return false;
    }
    return true;
}

/// The folders a run writes its pages into: the top page's folder and the page folder below
/// it. Holds them against other runs; false (with the busy folder shown) when one is taken.
bool lockPageFolders(MakeContext& ctx, RunLock& lock) {
    const Settings& s = ctx.settings;
    const std::string top = pageFolderOf(s.menuMode() ? s.gstrMenuPath : s.gstrIndexPath);
    std::string busy;
    if (!lock.take({top, pageFolderOf(s)}, busy)) {
        mainSetStatus(ctx.status, true, messFolderBusy(busy), 0, 0);
        ctx.state.failure = messFolderBusy(busy);
        return false;
    }
    return true;
}

bool runSingle(MakeContext& ctx, GalleryJob& job) {
    ctx.state.gstrFilelistHead.assign(1, std::string());
    if (!havePathSettings(ctx)) {
        return false;
    }
    PictureList pictures;
    const bool checked = mainCheckMake(ctx, job, true, pictures);
    // A filelist.csv that was asked for but could not be used stops the run too; its own
    // message stays in the status line.
    if (!checked || job.useFilelist != ctx.settings.CheckUseFileList) {
        return false;
    }
    RunLock lock;
    if (!lockPageFolders(ctx, lock)) {
        return false;
    }
    mainSetStatus(ctx.status, true, kMessMaking, 0, 0);
    return makeGallery(ctx, job, pictures);
}

bool runMenu(MakeContext& ctx, std::vector<GalleryJob>& jobs) {
    const std::size_t n = jobs.size();
    if (n == 0) {
        mainSetStatus(ctx.status, true, kMessNoFolder, 0, 0);
        return false;
    }
    ctx.state.gstrFilelistHead.assign(n, std::string());
    if (!havePathSettings(ctx)) {
        return false;
    }
    std::vector<PictureList> galleries(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (stopping(ctx)) {
            return false;
        }
        if (!mainCheckMake(ctx, jobs[i], true, galleries[i])) {
            mainSetStatus(ctx.status, true, ctx.status.messageText() + " [" + jobs[i].name + "]", 0,
                          0);
            return false;
        }
    }
    RunLock lock;
    if (!lockPageFolders(ctx, lock)) {
        return false;
    }
    mainSetStatus(ctx.status, true, kMessMaking, 1, 5);
    ctx.state.gstrMenuItem.assign(n, std::string());
    for (std::size_t i = 0; i < n; ++i) {
        if (!makeGallery(ctx, jobs[i], galleries[i])) {
            return false;
        }
        // This gallery's pictures are written; free them before the next gallery.
        galleries[i].clear();
    }
    if (stopping(ctx)) {
        return false;
    }
    if (!mainMakeMenuHtml(ctx)) {
        mainSetStatus(ctx.status, true, kMessFailed, 0, 0);
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
    RunState state;
    MakeContext ctx{settings, files, status, state, rows, pictureWorkers};
    std::vector<GalleryJob> jobs = planGalleries(settings, rows);
    bool done = settings.menuMode() ? runMenu(ctx, jobs) : runSingle(ctx, jobs.front());
    if (done && state.copyFailures > 0) {
        // Every page is written, the pictures without copies show their originals; but a copy
        // that could not be made is a failure the user must hear of.
        done = false;
        state.failure = copyFailureText(state.copyFailure, state.copyFailures);
        mainSetStatus(ctx.status, true,
                      state.copyFailedGallery.empty()
                          ? std::string(kMessFailed)
                          : std::string(kMessFailed) + " [" + state.copyFailedGallery + "]",
                      0, 0);
    } else if (done) {
        mainSetStatus(ctx.status, true, kMessDone, 1, 100);
    } else if (state.stopped) {
        mainSetStatus(ctx.status, true, kMessStopped, 0, 0);
    }
    cmWriteLog("CommandMake_Click", 1, "△End Method△");
    return MakeResult{done, state.stopped, state.failure};
}

} // namespace mivo
