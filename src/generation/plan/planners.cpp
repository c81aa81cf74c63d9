#include "generation/plan/planners.h"

#include "settings/gallery_list.h"
#include "settings/settings.h"

namespace mivo {

RunPlan planRun(const Settings& settings, const std::vector<GalleryEntry>& rows) {
    RunPlan plan;
    PagePlan& p = plan.pages;
    p.title = settings.TextTitle;
    p.titleS = settings.TextTitleS;
    p.body = settings.TextBody;
    p.link0Name = settings.TextLinkName[0];
    p.link0Url = settings.TextLinkURL[0];
    p.slideTime = settings.TextSlideTime;
    p.slideShow = settings.CheckSlideShow;
    p.startWithList = settings.OptionStart == 0;
    p.columns = settings.TextAllListWidth;
    p.thumbWidth = settings.TextSamWidth;
    p.thumbHeight = settings.TextSamHeight;
    p.filelistWidthColumn = settings.TextFilelistWidth;
    p.filelistHeightColumn = settings.TextFilelistHeight;
    p.shootingData = settings.CheckExif;
    // A tree's albums show the dates their items were taken.
    p.readsShootingData = settings.CheckExif || settings.treeMode();
    p.fileCaptions = settings.CheckCaption;
    const Planner planner = settings.menuMode()   ? planGalleryList
                            : settings.treeMode() ? planFolderTree
                                                  : planSingleFolder;
    planner(settings, rows, plan);
    return plan;
}

bool planTopAlbum(const Settings& settings, RunPlan& plan) {
    plan.top.page = settings.gstrIndexPath;
    plan.top.subFolder = settings.gstrHtmlPath;
    plan.top.setting = translatable("Indexファイル");
    if (!hasPageName(settings.gstrIndexPath)) {
        plan.refusal = kMessNoIndexPath;
        return false;
    }
    if (settings.gstrPicPath.empty()) {
        plan.refusal = kMessNoPicPath;
        return false;
    }
    Album& root = *plan.root;
    root.place.page = settings.gstrIndexPath;
    root.place.subFolder = settings.gstrHtmlPath;
    AlbumJob& job = root.job;
    job.name = settings.TextTitleS;
    job.link1Name = settings.TextLinkName[1];
    job.link1Url = settings.TextLinkURL[1];
    job.link2Name = settings.TextLinkName[2];
    job.link2Url = settings.TextLinkURL[2];
    job.startName = settings.gstrStartName;
    job.strictFilelist = true;
    return true;
}

} // namespace mivo
