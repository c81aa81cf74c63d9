#include "generation/pictures/picture_info.h"

#include "common/log.h"
#include "common/paths.h"

namespace mivo {

bool picInfoReadsFile(const PagePlan& pages, bool inblnFilelist) {
    // Without a width or a height column in filelist.csv the size has to come from the file.
    return !inblnFilelist || pages.filelistWidthColumn == 0 || pages.filelistHeightColumn == 0;
}

PictureMeasurer* startListTableReads(std::optional<PictureMeasurer>& slot, const GalleryJob& job,
                                     const PictureList& pictures, int workers) {
    const bool shootingData = job.pages.shootingData;
    if (pictures.empty() || !(picInfoReadsFile(job.pages, job.useFilelist) || shootingData)) {
        return nullptr;
    }
    return &slot.emplace(job.picPath, pictures, workers, shootingData);
}

void mainGetPicInfo(const PagePlan& pages, const std::string& instrFilePath, bool inblnFilelist,
                    const MeasuredSize& inSize, std::string& outFileName, long long& width,
                    long long& height, ExifInfo* outExif) {
    // Once per picture: the messages are built only for a log that takes them.
    const bool log = cmLogWants(1);
    if (log) {
        cmWriteLog("mainGetPicInfo", 1, "▽Start Method▽\r\ninstrFilePath=[" + instrFilePath + "]");
    }

    std::string folder;
    std::string name;
    cmSplitPath(instrFilePath, true, kPathSeparator, folder, name);
    outFileName = cmCutExt(name);

    width = 0;
    height = 0;
    if (outExif != nullptr) {
        // The size may come from filelist.csv; the header is still where the shooting data is.
        *outExif = inSize.exif;
    }
    if (picInfoReadsFile(pages, inblnFilelist)) {
        if (inSize.ok) {
            width = inSize.width;
            height = inSize.height;
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
