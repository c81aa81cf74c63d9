#pragma once

#include <optional>
#include <string>

#include "generation/pictures/exif_info.h"
#include "generation/pictures/picture_measure.h"
#include "generation/plan/file_data.h"
#include "generation/plan/gallery_job.h"

namespace mivo {

/// True when mainGetPicInfo takes the size from the picture file: filelist.csv is not used
/// for the gallery, or it lacks a width or a height column.
bool picInfoReadsFile(const PagePlan& pages, bool useFilelist);

/// Starts reading the headers of a gallery's pictures into `slot` when its list table needs
/// them: for the sizes, or for the shooting data that stands in the same header. The reader,
/// or nullptr when the table reads nothing. `workers` as for PictureMeasurer.
PictureMeasurer* startListTableReads(std::optional<PictureMeasurer>& slot, const GalleryJob& job,
                                     const PictureList& pictures, int workers);

/// Display name (file name without extension) and pixel size of a picture, the file already
/// read by a PictureMeasurer (`sourceSize`). The size is 0 by 0 when filelist.csv supplies it
/// (flag "1" and both column numbers set), and also when the picture cannot be measured (then
/// a level-4 "PicInfoError [path]" line is logged). With `exifInfo` the shooting data found in
/// the header is handed back, even when filelist.csv gives the size.
void mainGetPicInfo(const PagePlan& pages, const std::string& instrFilePath, bool useFilelist,
                    const MeasuredSize& sourceSize, std::string& outFileName, long long& width,
                    long long& height, ExifInfo* exifInfo = nullptr);

} // namespace mivo
