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

} // namespace mivo
