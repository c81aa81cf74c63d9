#pragma once

#include <optional>
#include <string>

#include "generation/pictures/picture_measure.h"
#include "generation/plan/album.h"
#include "generation/plan/item.h"

namespace mivo {

/// True when mainGetPicInfo takes the size from the picture file: filelist.csv is not used
/// for the gallery, or it lacks a width or a height column.
bool picInfoReadsFile(const PagePlan& pages, bool useFilelist);

/// True when filelist.csv gives the item a caption the pages show: a field of its row, other
/// than the width and height columns, that holds more than digits and blanks.
bool filelistGivesCaption(const PagePlan& pages, bool useFilelist, const ClassFileData& file);

/// Starts reading the headers of a gallery's pictures into `slot` when its list table needs
/// them: for the sizes, or for the shooting data that stands in the same header. The reader,
/// or nullptr when the table reads nothing. `workers` and `threads` as for PictureMeasurer.
PictureMeasurer* startListTableReads(std::optional<PictureMeasurer>& slot, const PagePlan& pages,
                                     const AlbumJob& job, const PictureList& pictures, int workers,
                                     ReaderThreads* threads = nullptr);

/// The display name of `item` (its name without extension) in `outFileName`, and its pixel
/// size and shooting data into the item, from the header a PictureMeasurer read
/// (`sourceSize`). The size is 0 by 0 when filelist.csv supplies it (flag "1" and both column
/// numbers set), and also when the picture cannot be measured (then a level-4
/// "PicInfoError [path]" line is logged). When the pages show shooting data, the item gets
/// what the header held, even when filelist.csv gives the size.
void mainGetPicInfo(const PagePlan& pages, bool useFilelist, const MeasuredSize& sourceSize,
                    Item& item, std::string& outFileName);

} // namespace mivo
