#include "generation/make_run.h"

#include <string>
#include <vector>

#include "common/log.h"
#include "common/text.h"
#include "generation/check.h"
#include "generation/file_data.h"
#include "generation/make_context.h"
#include "generation/output_paths.h"
#include "generation/page_failure.h"
#include "generation/pages.h"
#include "generation/run_messages.h"

namespace mivo {

namespace {

const char* const kMessMaking = "作成中です";
const char* const kMessDone = "完了しました";
const char* const kMessFailed = "作成に失敗しました";
const char* const kMessNoFolder = "フォルダの指定がありません";

std::string galleryLink(std::size_t number) {
    return "../" + cmFormat000(static_cast<long long>(number)) + "/index.html";
}

/// The path settings a run cannot do without; shows what is missing and gives false.
bool havePathSettings(MakeContext& ctx) {
    const MakeSettings& s = ctx.settings;
    if (s.menuMode()) {
        if (!cmHasPageName(s.gstrMenuPath)) {
            mainSetStatus(ctx.status, true, kMessNoMenuPath, 0, 0);
            return false;
        }
        return true;
    }
    if (!cmHasPageName(s.gstrIndexPath)) {
        mainSetStatus(ctx.status, true, kMessNoIndexPath, 0, 0);
        return false;
    }
    if (s.gstrPicPath.empty()) {
        mainSetStatus(ctx.status, true, kMessNoPicPath, 0, 0);
        return false;
    }
    return true;
}

bool runSingle(MakeContext& ctx) {
    const MakeSettings& s = ctx.settings;
    ctx.state.gstrFilelistHead.assign(1, std::string());
    const std::string useFilelist = std::to_string(s.CheckUseFileList);
    std::vector<std::string> flags(1, useFilelist);
    if (!havePathSettings(ctx)) {
        return false;
    }

    const std::string samPath = s.OptionSamH == 0 ? std::string() : s.gstrSamPath;
    PictureList pictures;
    const bool checked = mainCheckMake(ctx, 0, true, s.gstrPicPath, samPath, flags[0], pictures);
    // A filelist.csv that was asked for but could not be used stops the run too; its own
    // message stays in the status line.
    if (!checked || flags[0] != useFilelist) {
        return false;
    }

    mainSetStatus(ctx.status, true, kMessMaking, 0, 0);
    OutputPaths paths;
    if (!mainGetMakePath(ctx, 0, paths)) {
        return false;
    }
    bool ok = false;
    mainMakeListHtml(ctx, flags[0], 0, s.gstrPicPath, paths.strListPath, paths.strIndexLink,
                     s.TextTitleS, s.TextLinkName[1], s.TextLinkURL[1], s.TextLinkName[2],
                     s.TextLinkURL[2], ctx.state.picEntries, pictures, ok);
    if (!ok) {
        mainSetStatus(ctx.status, true, kMessFailed, 0, 0);
        return false;
    }
    mainMakeIndexHtml(ctx, paths.strIndexPath, paths.strListLink, paths.strPictLink, s.TextTitleS,
                      ctx.state.picEntries);
    // The list page rescaled the bar to its pictures.
    ctx.status.setBarMax(100);
    mainSetStatus(ctx.status, false, "", 1, 90);
    mainMakePictHtml(ctx, 0, paths.strPictPath, paths.strIndexLink, s.TextLinkName[1],
                     s.TextLinkURL[1], s.TextLinkName[2], s.TextLinkURL[2], flags[0]);
    mainSetStatus(ctx.status, true, kMessDone, 1, 100);
    return true;
}

bool runMenu(MakeContext& ctx) {
    const MakeSettings& s = ctx.settings;
    const std::vector<GalleryEntry>& rows = ctx.rows;
    const std::size_t n = rows.size();
    if (n == 0) {
        mainSetStatus(ctx.status, true, kMessNoFolder, 0, 0);
        return false;
    }
    ctx.state.gstrFilelistHead.assign(n, std::string());
    std::vector<std::string> flags(n);
    if (!havePathSettings(ctx)) {
        return false;
    }

    std::vector<PictureList> galleries(n);
    for (std::size_t i = 1; i <= n; ++i) {
        const GalleryEntry& row = rows[i - 1];
        flags[i - 1] = std::to_string(s.CheckUseFileList);
        if (!mainCheckMake(ctx, static_cast<int>(i), true, row.strPicPath, row.strSamPath,
                           flags[i - 1], galleries[i - 1])) {
            mainSetStatus(ctx.status, true, ctx.status.messageText() + " [" + row.strListName + "]",
                          0, 0);
            return false;
        }
    }

    mainSetStatus(ctx.status, true, kMessMaking, 1, 5);
    ctx.state.gstrMenuItem.assign(n, std::string());
    for (std::size_t i = 1; i <= n; ++i) {
        const auto number = static_cast<int>(i);
        const GalleryEntry& row = rows[i - 1];
        OutputPaths paths;
        if (!mainGetMakePath(ctx, number, paths)) {
            return false;
        }
        std::string link1Name;
        std::string link1Url;
        std::string link2Name;
        std::string link2Url;
        if (i > 1) {
            link1Name = rows[i - 2].strListName;
            link1Url = galleryLink(i - 1);
        }
        if (i < n) {
            link2Name = rows[i].strListName;
            link2Url = galleryLink(i + 1);
        }
        bool ok = false;
        mainMakeListHtml(ctx, flags[i - 1], number, row.strPicPath, paths.strListPath,
                         paths.strIndexLink, row.strListName, link1Name, link1Url, link2Name,
                         link2Url, ctx.state.picEntries, galleries[i - 1], ok);
        if (!ok) {
            mainSetStatus(ctx.status, true, std::string(kMessFailed) + " [" + row.strListName + "]",
                          0, 0);
            return false;
        }
        mainMakeIndexHtml(ctx, paths.strIndexPath, paths.strListLink, paths.strPictLink,
                          row.strListName, ctx.state.picEntries);
        mainMakePictHtml(ctx, static_cast<int>(i - 1), paths.strPictPath, paths.strIndexLink,
                         link1Name, link1Url, link2Name, link2Url, flags[i - 1]);
        // This gallery's pictures are written; free them before the next gallery.
        galleries[i - 1].clear();
    }
    mainMakeMenuHtml(ctx);
    mainSetStatus(ctx.status, true, kMessDone, 1, 100);
    return true;
}

} // namespace

bool runMake(const MakeSettings& settings, const std::vector<GalleryEntry>& rows,
             StatusSink& status) {
    cmWriteLog("CommandMake_Click", 1, "▽Start Method▽");
    status.setBarMin(0);
    status.setBarMax(100);
    status.setBarValue(0);
    clearPageFailure();
    RunState state;
    MakeContext ctx{settings, status, state, rows};
    const bool done = settings.menuMode() ? runMenu(ctx) : runSingle(ctx);
    cmWriteLog("CommandMake_Click", 1, "△End Method△");
    return done;
}

} // namespace mivo
