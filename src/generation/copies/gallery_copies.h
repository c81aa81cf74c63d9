#pragma once

#include <string>
#include <vector>

#include "generation/copies/web_sizes.h"
#include "generation/plan/album.h"
#include "generation/plan/album_result.h"
#include "generation/plan/item.h"
#include "generation/plan/run_services.h"

namespace mivo {

/// Brings the copies of an album's items up to date beside its pages when the album makes
/// them, giving each item its `copy`; the items keep none otherwise. Shows each item in the
/// status line as the list page does, and logs at level 4 every item without copies.
/// `result.items` gets the copies that could not be made, the items that cannot be shown and
/// those shown from their originals, each with why; what this machine lacks for them is shown
/// once per run (`result.items.missing` holds what was shown already). `result.files` gets
/// the copies, web videos and record written, replaced and removed. `ahead`: what was read of
/// the album before it came (readCopyCheck), taken where it still holds.
void makeGalleryCopies(const RunServices& run, const PagePlan& pages, Album& album,
                       AlbumResult& result, const CopyCheck* ahead = nullptr);

/// Takes the items left out (no copies that could show them) out of the album; false
/// (nothing changed) when none was.
bool dropLeftOut(PictureList& items);

/// The folder of a page: the gallery's pages (list, picture) and its copy folders share it.
std::string pageFolderOf(const std::string& pagePath);

/// A link for a srcset candidate: blanks and commas, which separate candidates, encoded.
std::string srcsetLink(const std::string& link);

} // namespace mivo
