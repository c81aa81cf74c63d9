#pragma once

#include <optional>
#include <string>

#include "generation/exif_info.h"
#include "generation/file_data.h"
#include "generation/gallery_job.h"
#include "generation/make_context.h"
#include "generation/picture_measure.h"

namespace mivo {

/// True when mainGetPicInfo takes the size from the picture file: filelist.csv is not used
/// for the gallery, or it lacks a width or a height column.
bool picInfoReadsFile(const Settings& settings, bool useFilelist);

/// Starts reading the headers of a gallery's pictures into `slot` when its list table needs
/// them: for the sizes, or for the shooting data that stands in the same header. The reader,
/// or nullptr when the table reads nothing.
PictureMeasurer* startListTableReads(std::optional<PictureMeasurer>& slot, const MakeContext& ctx,
                                     const GalleryJob& job, const PictureList& pictures);

/// Display name (file name without extension) and pixel size of a picture. The size is "0"
/// and "0" when filelist.csv supplies it (flag "1" and both column numbers set), and also when
/// the picture cannot be measured (then a level-4 "PicInfoError [path]" line is logged).
/// With `exifInfo` the picture's header is read even when filelist.csv gives the size, and the
/// shooting data found on the way is handed back.
void mainGetPicInfo(const MakeContext& ctx, const std::string& instrFilePath, bool useFilelist,
                    std::string& outFileName, std::string& outstrWidth, std::string& outstrHeight,
                    ExifInfo* exifInfo = nullptr);

/// The same with the file already read by a PictureMeasurer (`sourceSize`; its size is used only
/// when picInfoReadsFile): the same results and the same log lines, written by the caller's
/// thread.
void mainGetPicInfo(const MakeContext& ctx, const std::string& instrFilePath, bool useFilelist,
                    const MeasuredSize& sourceSize, std::string& outFileName,
                    std::string& outstrWidth, std::string& outstrHeight,
                    ExifInfo* exifInfo = nullptr);

} // namespace mivo
