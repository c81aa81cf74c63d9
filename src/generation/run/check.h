#pragma once

#include <string>

#include "generation/plan/album.h"
#include "generation/plan/item.h"
#include "generation/plan/run_services.h"

namespace mivo {

/// Checks one album before it is built: template guards (the run's `top` page and page
/// folder), its picture folder, which it lists into `album.items` (one Item per picture or
/// video), thumbnails and (when the album uses it) filelist.csv. Each refusal shows its message
/// and gives false. album.job.useFilelist comes back false when filelist.csv is not used;
/// album.filelistHead gets its heading when it is.
bool mainCheckMake(const RunServices& run, const TopPage& top, Album& album, bool inblnChackIndex);

/// The template guards alone, for a run whose top page is not an album's own (a folder tree's
/// albums are checked without them, the top page once). Shows its refusal and gives false.
bool checkTopPage(const RunServices& run, const TopPage& top);

} // namespace mivo
