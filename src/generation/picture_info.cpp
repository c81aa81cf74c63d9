#include "generation/picture_info.h"

#include "common/log.h"
#include "common/paths.h"

namespace mivo {

bool picInfoReadsFile(const MakeSettings& settings, const std::string& instrFilelistFlag) {
    // Without a width or a height column in filelist.csv the size has to come from the file.
    return instrFilelistFlag == "0" || settings.TextFilelistWidth == "0" ||
           settings.TextFilelistHeight == "0";
}

void mainGetPicInfo(const MakeContext& ctx, const std::string& instrFilePath,
                    const std::string& instrFilelistFlag, std::string& outFileName,
                    std::string& outstrWidth, std::string& outstrHeight) {
    MeasuredSize size;
    if (picInfoReadsFile(ctx.settings, instrFilelistFlag)) {
        size = measurePictureFile(instrFilePath);
    }
    mainGetPicInfo(ctx, instrFilePath, instrFilelistFlag, size, outFileName, outstrWidth,
                   outstrHeight);
}

void mainGetPicInfo(const MakeContext& ctx, const std::string& instrFilePath,
                    const std::string& instrFilelistFlag, const MeasuredSize& inSize,
                    std::string& outFileName, std::string& outstrWidth, std::string& outstrHeight) {
    cmWriteLog("mainGetPicInfo", 1, "▽Start Method▽\r\ninstrFilePath=[" + instrFilePath + "]");

    std::string folder;
    std::string name;
    cmSplitPath(instrFilePath, true, kPathSeparator, folder, name);
    outFileName = cmCutExt(name);

    outstrWidth = "0";
    outstrHeight = "0";
    if (picInfoReadsFile(ctx.settings, instrFilelistFlag)) {
        if (inSize.ok) {
            outstrWidth = std::to_string(inSize.width);
            outstrHeight = std::to_string(inSize.height);
        } else {
            // The gallery is still built; the thumbnail table falls back to its box size.
            cmWriteLog("mainGetPicInfo", 4, "PicInfoError [" + instrFilePath + "]");
        }
    }

    cmWriteLog("mainGetPicInfo", 1,
               "△End Method△\r\noutFileName=[" + outFileName + "]\r\noutstrWidth=[" + outstrWidth +
                   "]\r\noutstrHeight=[" + outstrHeight + "]");
}

} // namespace mivo
