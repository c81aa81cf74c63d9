#include "generation/pictures/picture_info.h"

#include <memory>

#include "common/log.h"
#include "common/paths.h"

namespace mivo {

bool picInfoReadsFile(const PagePlan& pages, bool useFilelist) {
    // Without a width or a height column in filelist.csv the size has to come from the file.
    return !useFilelist || pages.filelistWidthColumn == 0 || pages.filelistHeightColumn == 0;
}

PictureMeasurer* startListTableReads(std::optional<PictureMeasurer>& slot, const PagePlan& pages,
                                     const AlbumJob& job, const PictureList& pictures,
                                     int workers) {
    const bool shootingData = pages.readsShootingData;
    if (pictures.empty() || !(picInfoReadsFile(pages, job.useFilelist) || shootingData)) {
        return nullptr;
    }
    return &slot.emplace(job.picPath, pictures, workers, shootingData);
}

void mainGetPicInfo(const PagePlan& pages, bool useFilelist, const MeasuredSize& sourceSize,
                    Item& item, std::string& outFileName) {
    // Once per picture: the messages are built only for a log that takes them.
    const bool log = logWants(1);
    if (log) {
        cmWriteLog("mainGetPicInfo", 1, "▽Start Method▽\r\ninstrFilePath=[" + item.path + "]");
    }

    // The display name from the path, as this routine always took it: its trace (cmSplitPath's
    // lines) is part of the log users compare between versions.
    std::string folder;
    std::string name;
    cmSplitPath(item.path, true, kPathSeparator, folder, name);
    outFileName = cmCutExt(name);
    item.width = 0;
    item.height = 0;
    // The size may come from filelist.csv; the header is still where the shooting data is.
    item.shooting.reset();
    if (pages.readsShootingData && !sourceSize.exif.empty()) {
        item.shooting = std::make_unique<ExifInfo>(sourceSize.exif);
    }
    if (picInfoReadsFile(pages, useFilelist)) {
        if (sourceSize.ok) {
            item.width = sourceSize.width;
            item.height = sourceSize.height;
        } else {
            // The gallery is still built; the thumbnail table falls back to its box size.
            cmWriteLog("mainGetPicInfo", 4, "PicInfoError [" + item.path + "]");
        }
    }

    if (log) {
        cmWriteLog("mainGetPicInfo", 1,
                   "△End Method△\r\noutFileName=[" + outFileName + "]\r\noutstrWidth=[" +
                       std::to_string(item.width) + "]\r\noutstrHeight=[" +
                       std::to_string(item.height) + "]");
    }
}

} // namespace mivo
