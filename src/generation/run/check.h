#pragma once

#include <string>

#include "generation/plan/gallery_job.h"
#include "generation/plan/item.h"
#include "generation/plan/run_services.h"

namespace mivo {

/// Checks one gallery before it is built: template guards, page folder, pictures, thumbnails
/// and (when the job uses it) filelist.csv. Each refusal shows its message and gives false.
/// job.useFilelist comes back false when filelist.csv cannot be used; `filelistHead` gets
/// its heading when it can.
bool mainCheckMake(const RunServices& run, GalleryJob& job, bool inblnChackIndex,
                   PictureList& outcolFileDatas, std::string& filelistHead);

} // namespace mivo
