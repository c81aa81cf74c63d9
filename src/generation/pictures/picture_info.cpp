#include "generation/pictures/picture_info.h"

#include "common/log.h"
#include "common/paths.h"

namespace mivo {

bool picInfoReadsFile(const PagePlan& pages, bool useFilelist) {
    // Without a width or a height column in filelist.csv the size has to come from the file.
    return !useFilelist || pages.filelistWidthColumn == 0 || pages.filelistHeightColumn == 0;
}

PictureMeasurer* startListTableReads(std::optional<PictureMeasurer>& slot, const GalleryJob& job,
                                     const PictureList& pictures, int workers) {
    const bool shootingData = job.pages.shootingData;
    if (pictures.empty() || !(picInfoReadsFile(job.pages, job.useFilelist) || shootingData)) {
        return nullptr;
    }
    return &slot.emplace(job.picPath, pictures, workers, shootingData);
}

void mainGetPicInfo(const PagePlan& pages, const std::string& instrFilePath, bool useFilelist,
                    const MeasuredSize& sourceSize, std::string& outFileName, long long& width,
                    long long& height, ExifInfo* exifInfo) {
    // Once per picture: the messages are built only for a log that takes them.
    const bool log = logWants(1);
    if (log) {
        cmWriteLog("mainGetPicInfo", 1, "▽Start Method▽\r\ninstrFilePath=[" + instrFilePath + "]");
    }

    std::string folder;
    std::string name;
    cmSplitPath(instrFilePath, true, kPathSeparator, folder, name);
    outFileName = cmCutExt(name);

    width = 0;
    height = 0;
    if (exifInfo != nullptr) {
        // The size may come from filelist.csv; the header is still where the shooting data is.
        *exifInfo = sourceSize.exif;
    }
    if (picInfoReadsFile(pages, useFilelist)) {
        if (sourceSize.ok) {
            width = sourceSize.width;
            height = sourceSize.height;
        } else {
            // The gallery is still built; the thumbnail table falls back to its box size.
            cmWriteLog("mainGetPicInfo", 4, "PicInfoError [" + instrFilePath + "]");
        }
    }

    if (log) {
        cmWriteLog("mainGetPicInfo", 1,
                   "△End Method△\r\noutFileName=[" + outFileName + "]\r\noutstrWidth=[" +
                       std::to_string(width) + "]\r\noutstrHeight=[" + std::to_string(height) +
                       "]");
    }
}

} // namespace mivo
