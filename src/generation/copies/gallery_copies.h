#pragma once

#include <string>
#include <vector>

#include "generation/copies/web_sizes.h"
#include "generation/plan/gallery_job.h"
#include "generation/plan/gallery_result.h"
#include "generation/plan/item.h"
#include "generation/plan/run_services.h"

namespace mivo {

/// Brings the copies of a gallery's items up to date beside its pages when the gallery makes
/// them, giving each item its `copy`; the items keep none otherwise. Shows each item in the
/// status line as the list page does, and logs at level 4 every item without copies. `notes` gets
/// the copies that could not be made, the items that cannot be shown and those shown from their
/// originals, each with why; what this machine lacks for them is shown once per run
/// (`notes.missing` holds what was shown already).
void makeGalleryCopies(const RunServices& run, const GalleryJob& job, const OutputPaths& paths,
                       PictureList& items, ItemNotes& notes);

/// Takes the items left out (no copies that could show them) out of the gallery; false
/// (nothing changed) when none was.
bool dropLeftOut(PictureList& items);

/// The folder of a page: the gallery's pages (list, picture) and its copy folders share it.
std::string pageFolderOf(const std::string& pagePath);

/// A link for a srcset candidate: blanks and commas, which separate candidates, encoded.
std::string srcsetLink(const std::string& link);

} // namespace mivo
