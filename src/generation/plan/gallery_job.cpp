#include "generation/plan/gallery_job.h"

#include "common/paths.h"
#include "common/text.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"

namespace mivo {

namespace {

std::string galleryLink(std::size_t number) {
    return "../" + formatThreeDigits(static_cast<long long>(number)) + "/index.html";
}

/// The folder part of a page path (its last part is always taken as the file name); the root
/// for a page right below it.
std::string folderOfPage(const std::string& pagePath) {
    std::string folder;
    std::string name;
    cmSplitPath(pagePath, true, kPathSeparator, folder, name);
    return folder.empty() ? std::string(kPathSeparator) : folder;
}

PagePlan planPages(const Settings& s) {
    PagePlan p;
    p.title = s.TextTitle;
    p.titleS = s.TextTitleS;
    p.body = s.TextBody;
    p.link0Name = s.TextLinkName[0];
    p.link0Url = s.TextLinkURL[0];
    p.slideTime = s.TextSlideTime;
    p.slideShow = s.CheckSlideShow;
    p.startWithList = s.OptionStart == 0;
    p.startName = s.gstrStartName;
    p.columns = s.TextAllListWidth;
    p.thumbWidth = s.TextSamWidth;
    p.thumbHeight = s.TextSamHeight;
    p.filelistWidthColumn = s.TextFilelistWidth;
    p.filelistHeightColumn = s.TextFilelistHeight;
    p.shootingData = s.CheckExif;
    p.menuMode = s.menuMode();
    p.menuPath = s.gstrMenuPath;
    p.menuHtmlPath = s.gstrMenuHtmlPath;
    p.indexPath = s.gstrIndexPath;
    p.htmlPath = s.gstrHtmlPath;
    return p;
}

} // namespace

const std::string& topPageOf(const PagePlan& pages) {
    return pages.menuMode ? pages.menuPath : pages.indexPath;
}

std::string pageFolderOf(const PagePlan& pages) {
    const std::string topFolder = folderOfPage(normalizedPath(topPageOf(pages)));
    const std::string& htmlPath = pages.menuMode ? pages.menuHtmlPath : pages.htmlPath;
    return normalizedPath(htmlPath.empty() ? topFolder
                                           : cmAddPath(topFolder, htmlPath, kPathSeparator));
}

std::string pageFolderOf(const Settings& settings) {
    return pageFolderOf(planPages(settings));
}

RunPlan planRun(const Settings& settings, const std::vector<GalleryEntry>& rows) {
    RunPlan run;
    run.pages = planPages(settings);
    run.useFilelist = settings.CheckUseFileList;
    std::vector<GalleryJob>& jobs = run.galleries;
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
        job.makeCopies = settings.CheckReduce && !job.useThumbnails;
        job.media = settings.CheckMedia && job.makeCopies;
        job.pages = run.pages;
        jobs.push_back(std::move(job));
        return run;
    }
    const std::size_t n = rows.size();
    jobs.reserve(n);
    for (std::size_t i = 1; i <= n; ++i) {
        const GalleryEntry& row = rows[i - 1];
        GalleryJob job;
        job.menu = true;
        job.number = static_cast<int>(i);
        job.galleries = static_cast<int>(n);
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
        job.pages = run.pages;
        jobs.push_back(std::move(job));
    }
    return run;
}

} // namespace mivo
