#include "generation/picture_info.h"

#include "common/log.h"
#include "common/paths.h"

namespace mivo {

bool picInfoReadsFile(const Settings& settings, bool useFilelist) {
    // Without a width or a height column in filelist.csv the size has to come from the file.
    return !useFilelist || settings.TextFilelistWidth == 0 || settings.TextFilelistHeight == 0;
}

PictureMeasurer* startListTableReads(std::optional<PictureMeasurer>& slot, const MakeContext& ctx,
                                     const GalleryJob& job, const PictureList& pictures) {
    const Settings& s = ctx.settings;
    if (pictures.empty() || !(picInfoReadsFile(s, job.useFilelist) || s.CheckExif)) {
        return nullptr;
    }
    return &slot.emplace(job.picPath, pictures, ctx.pictureWorkers, s.CheckExif);
}

void mainGetPicInfo(const MakeContext& ctx, const std::string& instrFilePath, bool useFilelist,
                    std::string& outFileName, std::string& outstrWidth, std::string& outstrHeight,
                    ExifInfo* exifInfo) {
    MeasuredSize size;
    if (picInfoReadsFile(ctx.settings, useFilelist) || exifInfo != nullptr) {
        size = measurePictureFile(instrFilePath, exifInfo != nullptr);
    }
    mainGetPicInfo(ctx, instrFilePath, useFilelist, size, outFileName, outstrWidth, outstrHeight,
                   exifInfo);
}

void mainGetPicInfo(const MakeContext& ctx, const std::string& instrFilePath, bool useFilelist,
                    const MeasuredSize& sourceSize, std::string& outFileName,
                    std::string& outstrWidth, std::string& outstrHeight, ExifInfo* exifInfo) {
    // Once per picture: the messages are built only for a log that takes them.
    const bool log = logWants(1);
    if (log) {
        cmWriteLog("mainGetPicInfo", 1, "▽Start Method▽\r\ninstrFilePath=[" + instrFilePath + "]");
    }

    std::string folder;
    std::string name;
    cmSplitPath(instrFilePath, true, kPathSeparator, folder, name);
    outFileName = cmCutExt(name);

    outstrWidth = "0";
    outstrHeight = "0";
    if (exifInfo != nullptr) {
        // The size may come from filelist.csv; the header is still where the shooting data is.
        *exifInfo = sourceSize.exif;
    }
    if (picInfoReadsFile(ctx.settings, useFilelist)) {
        if (sourceSize.ok) {
            outstrWidth = std::to_string(sourceSize.width);
            outstrHeight = std::to_string(sourceSize.height);
        } else {
            // The gallery is still built; the thumbnail table falls back to its box size.
            cmWriteLog("mainGetPicInfo", 4, "PicInfoError [" + instrFilePath + "]");
        }
    }

    if (log) {
        cmWriteLog("mainGetPicInfo", 1,
                   "△End Method△\r\noutFileName=[" + outFileName + "]\r\noutstrWidth=[" +
                       outstrWidth + "]\r\noutstrHeight=[" + outstrHeight + "]");
    }
}

} // namespace mivo
