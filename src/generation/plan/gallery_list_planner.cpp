#include "common/text.h"
#include "generation/plan/planners.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"

namespace mivo {

namespace {

std::string galleryLink(std::size_t number) {
    return "../" + formatThreeDigits(static_cast<long long>(number)) + "/index.html";
}

} // namespace

void planGalleryList(const Settings& settings, const std::vector<GalleryEntry>& rows,
                     RunPlan& plan) {
    plan.top.page = settings.gstrMenuPath;
    plan.top.subFolder = settings.gstrMenuHtmlPath;
    plan.top.setting = translatable("メニューファイル");
    if (rows.empty()) {
        plan.refusal = kMessNoFolder;
        return;
    }
    if (!hasPageName(settings.gstrMenuPath)) {
        plan.refusal = kMessNoMenuPath;
        return;
    }
    Album& root = *plan.root;
    root.showsFolder = false;
    root.childrenPage = settings.gstrMenuPath;
    root.childrenSubFolder = settings.gstrMenuHtmlPath;
    const std::size_t n = rows.size();
    root.children.reserve(n);
    for (std::size_t i = 1; i <= n; ++i) {
        const GalleryEntry& row = rows[i - 1];
        Album& album = root.addChild();
        album.place.ownFolder = true;
        album.place.page = root.childrenPage;
        album.place.subFolder = root.childrenSubFolder;
        album.place.folderName = formatThreeDigits(static_cast<long long>(i));
        AlbumJob& job = album.job;
        job.number = static_cast<int>(i);
        job.barShares = static_cast<int>(n);
        job.name = row.strListName;
        job.picPath = row.strPicPath;
        job.useThumbnails = !row.strSamPath.empty();
        job.samPath = row.strSamPath;
        if (i > 1) {
            job.link1Name = rows[i - 2].strListName;
            job.link1Url = galleryLink(i - 1);
        }
        if (i < n) {
            job.link2Name = rows[i].strListName;
            job.link2Url = galleryLink(i + 1);
        }
        job.useFilelist = settings.CheckUseFileList;
        job.makeCopies = settings.CheckReduce && !job.useThumbnails;
        job.media = settings.CheckMedia && job.makeCopies;
        job.livePhotos = job.media && settings.CheckLivePhoto;
        job.originals = settings.PublishOriginals;
        job.namesAreText = true;
        job.upPage = root.childrenPage;
    }
}

} // namespace mivo
