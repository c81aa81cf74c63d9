#include "generation/plan/planners.h"
#include "settings/settings.h"

namespace mivo {

void planSingleFolder(const Settings& settings, const std::vector<GalleryEntry>& /*rows*/,
                      RunPlan& plan) {
    plan.top.page = settings.gstrIndexPath;
    plan.top.subFolder = settings.gstrHtmlPath;
    plan.top.setting = translatable("Indexファイル");
    if (!hasPageName(settings.gstrIndexPath)) {
        plan.refusal = kMessNoIndexPath;
        return;
    }
    if (settings.gstrPicPath.empty()) {
        plan.refusal = kMessNoPicPath;
        return;
    }
    Album& album = *plan.root;
    album.place.page = settings.gstrIndexPath;
    album.place.subFolder = settings.gstrHtmlPath;
    AlbumJob& job = album.job;
    job.name = settings.TextTitleS;
    job.picPath = settings.gstrPicPath;
    job.useThumbnails = settings.useThumbnailFolder();
    job.samPath = job.useThumbnails ? settings.gstrSamPath : std::string();
    job.link1Name = settings.TextLinkName[1];
    job.link1Url = settings.TextLinkURL[1];
    job.link2Name = settings.TextLinkName[2];
    job.link2Url = settings.TextLinkURL[2];
    job.useFilelist = settings.CheckUseFileList;
    job.strictFilelist = true;
    job.makeCopies = settings.CheckReduce && !job.useThumbnails;
    job.media = settings.CheckMedia && job.makeCopies;
    job.livePhotos = job.media && settings.CheckLivePhoto;
    job.originals = settings.PublishOriginals;
    job.startName = settings.gstrStartName;
}

} // namespace mivo
