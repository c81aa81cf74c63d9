#pragma once

#include <string>

#include "generation/file_data.h"
#include "generation/gallery_job.h"
#include "generation/make_context.h"

namespace mivo {

/// Checks one gallery before it is built: template guards, page folder, pictures, thumbnails
/// and (when the job uses it) filelist.csv. Each refusal shows its message and gives false.
/// job.useFilelist comes back false when filelist.csv cannot be used.
bool mainCheckMake(MakeContext& ctx, GalleryJob& job, bool inblnChackIndex,
                   PictureList& outcolFileDatas);

/// The folder of the top page's other pages: the folder of the index page (single mode) or of
/// the menu page, joined with the relative page folder setting.
std::string pageFolderOf(const Settings& settings);

} // namespace mivo
