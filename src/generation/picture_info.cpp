#include "generation/picture_info.h"

#include "common/log.h"
#include "common/paths.h"
#include "generation/picture_header.h"

namespace mivo {

void mainGetPicInfo(const MakeContext& ctx, const std::string& instrFilePath, bool inblnFilelist,
                    std::string& outFileName, std::string& outstrWidth, std::string& outstrHeight,
                    ExifInfo* outExif) {
    cmWriteLog("mainGetPicInfo", 1, "▽Start Method▽\r\ninstrFilePath=[" + instrFilePath + "]");

    std::string folder;
    std::string name;
    cmSplitPath(instrFilePath, true, kPathSeparator, folder, name);
    outFileName = cmCutExt(name);

    // Without a width or a height column in filelist.csv the size has to come from the file.
    const bool measure = !inblnFilelist || ctx.settings.TextFilelistWidth == 0 ||
                         ctx.settings.TextFilelistHeight == 0;
    outstrWidth = "0";
    outstrHeight = "0";
    if (outExif != nullptr) {
        *outExif = ExifInfo();
    }
    if (measure) {
        long width = 0;
        long height = 0;
        if (cmReadPictureSize(instrFilePath, width, height, outExif)) {
            outstrWidth = std::to_string(width);
            outstrHeight = std::to_string(height);
        } else {
            // The gallery is still built; the thumbnail table falls back to its box size.
            cmWriteLog("mainGetPicInfo", 4, "PicInfoError [" + instrFilePath + "]");
        }
    } else if (outExif != nullptr) {
        // The size comes from filelist.csv; the header is still the one place the shooting
        // data stands.
        long width = 0;
        long height = 0;
        cmReadPictureSize(instrFilePath, width, height, outExif);
    }

    cmWriteLog("mainGetPicInfo", 1,
               "△End Method△\r\noutFileName=[" + outFileName + "]\r\noutstrWidth=[" + outstrWidth +
                   "]\r\noutstrHeight=[" + outstrHeight + "]");
}

} // namespace mivo
