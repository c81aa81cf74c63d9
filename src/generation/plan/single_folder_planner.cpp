#include "generation/plan/planners.h"
#include "settings/settings.h"

namespace mivo {

void planSingleFolder(const Settings& settings, const std::vector<GalleryEntry>& /*rows*/,
                      RunPlan& plan) {
    if (!planTopAlbum(settings, plan)) {
        return;
    }
    AlbumJob& job = plan.root->job;
    job.picPath = settings.gstrPicPath;
    job.useThumbnails = settings.useThumbnailFolder();
    job.samPath = job.useThumbnails ? settings.gstrSamPath : std::string();
    job.useFilelist = settings.CheckUseFileList;
    job.makeCopies = settings.CheckReduce && !job.useThumbnails;
    job.media = settings.CheckMedia && job.makeCopies;
    job.livePhotos = job.media && settings.CheckLivePhoto;
    job.originals = settings.PublishOriginals;
}

} // namespace mivo
