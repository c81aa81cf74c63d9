#pragma once

#include <string>

#include "generation/plan/album.h"
#include "generation/plan/album_result.h"

namespace mivo {

/// The folder of a self-contained site's originals, in the page folder.
inline constexpr const char* kOriginalsFolder = "originals";
/// Where in it the thumbnails of a thumbnail folder go.
inline constexpr const char* kOriginalThumbnailsFolder = "thumbnails";
/// Its record of the files Mivo placed there: name, and the size and time of the original.
inline constexpr const char* kOriginalsRecord = ".mivo-originals";

/// Brings the page folder's (the folder of `listPage`) originals/ in step with what the album's
/// pages link, by `job.originals`: each original a page links placed there (a hard link where the
/// file system allows, else a reflink or a copy), made only when missing or changed, its item
/// marked `originalInSite`; a file placed before whose item is gone (or no longer linked) removed.
/// Files Mivo did not place there are never replaced or removed: their items are linked where
/// they are and named in `notes.notPlaced`, as are pictures that are symbolic links out of the
/// picture folder. The thumbnails of a thumbnail folder go to originals/thumbnails/ the same
/// way (`thumbnailInSite`). What changed goes into `files`. Nothing is placed when the picture
/// folder already lies in the page folder.
void placeOriginals(const AlbumJob& job, const std::string& listPage, PictureList& items,
                    ItemNotes& notes, Manifest& files);

} // namespace mivo
