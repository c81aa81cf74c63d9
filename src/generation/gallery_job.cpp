#include "generation/gallery_job.h"

#include "common/text.h"

namespace mivo {

namespace {

std::string galleryLink(std::size_t number) {
    return "../" + formatThreeDigits(static_cast<long long>(number)) + "/index.html";
}

} // namespace

std::vector<GalleryJob> planGalleries(const Settings& settings,
                                      const std::vector<GalleryEntry>& rows) {
    std::vector<GalleryJob> jobs;
    if (!settings.menuMode()) {
        GalleryJob job;
        job.name = settings.TextTitleS;
        job.picPath = settings.gstrPicPath;
        job.useThumbnails = settings.useThumbnailFolder();
        job.samPath = job.useThumbnails ? settings.gstrSamPath : std::string();
        job.link1Name = settings.TextLinkName[1];
        job.link1Url = settings.TextLinkURL[1];
        job.link2Name = settings.TextLinkName[2];
        job.link2Url = settings.TextLinkURL[2];
        job.useFilelist = settings.CheckUseFileList;
        jobs.push_back(std::move(job));
        return jobs;
    }
    const std::size_t n = rows.size();
    jobs.reserve(n);
    for (std::size_t i = 1; i <= n; ++i) {
        const GalleryEntry& row = rows[i - 1];
        GalleryJob job;
        job.menu = true;
        job.number = static_cast<int>(i);
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
        jobs.push_back(std::move(job));
    }
    return jobs;
}

} // namespace mivo
