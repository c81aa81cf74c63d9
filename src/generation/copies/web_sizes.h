#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "generation/copies/copy_folders.h"
#include "generation/copies/copy_record.h"
#include "generation/copies/media_tools.h"
#include "generation/copies/picture_resize.h"
#include "generation/plan/file_data.h"
#include "generation/plan/item_kind.h"

namespace mivo {

/// One picture's copies as the pages use them.
struct WebCopy {
    bool ok = false;          // false: the page shows the original, as without copies
    bool madeThisRun = false; // made now, not kept from an earlier run
    bool failed = false;      // could not be made (a write that failed, or an unreadable
                              // JPEG, GIF or BMP picture without the media option)
    bool notReduced = false;  // shown from its original: its copies' names are not Mivo's
    std::string fileName;
    ResizedSizes sizes;
    ItemKind kind = ItemKind::Picture;
    // A HEIC, PNG... picture or a video without copies cannot be shown, nor, with the media
    // option, a picture of any kind that cannot be read: it is left out of the gallery.
    // `missing` names what this machine lacks when that is why ("ffmpeg", "HEIF").
    bool leftOut = false;
    std::string missing;
    // A video's: its length, the web video in view/ ("" when the original plays as it is), its
    // MIME type and the date it was taken (EXIF style "YYYY:MM:DD hh:mm:ss", or "").
    long long durationMs = 0;
    std::string webVideoName;
    std::string webVideoType;
    std::string dateTaken;
};

/// What happened to the pictures of one gallery.
struct WebSizesReport {
    std::size_t toMake = 0;  // pictures whose copies this run set out to make
    std::size_t made = 0;    // pictures whose copies were made this time
    std::size_t kept = 0;    // pictures whose copies were up to date
    std::size_t failed = 0;  // pictures whose copies could not be made
    std::size_t skipped = 0; // pictures whose copy names are taken by the user's own files, or
                             // whose names the record cannot hold
    std::size_t removed = 0; // pictures gone from the folder whose copies were deleted
    std::size_t leftOut = 0; // HEIC, PNG... pictures and videos that cannot be shown
    bool stopped = false;    // asked to stop: pictures not reached keep their originals
};

/// Called on the calling thread for every picture in listing order, once its copies are
/// ready (made, kept, failed or skipped with `error` naming why). The report passed to
/// makeWebSizes is up to date at each call.
using WebCopyProgress = std::function<void(std::size_t index, const ClassFileData& picture,
                                           const WebCopy& copy, const std::string& error)>;

/// Brings the copies of `pictures` (in `picFolder`) in `pageFolder` up to date. A copy is made
/// when the record has none, when the picture's size or modification time changed, when the
/// sizes asked for changed, when a copy file is missing, or when an earlier try did not finish
/// or failed. Copies recorded for pictures that are gone are deleted; a file Mivo did not make
/// is never replaced or deleted (its picture shows its original instead). Temporary files of a
/// run that was killed are removed. Pictures are reduced by `workers` threads (0, or more than
/// the cores: one per core); results come back in listing order. Once `stopRequested` says so,
/// no further picture is started and a running ffmpeg is stopped. `copies` gets one element
/// per picture. false with `folderError` when the copy folders cannot be made (every picture
/// then failed). With `tools.media`, HEIC, PNG... pictures and videos get copies too; those
/// that cannot have them are left out (WebCopy::leftOut).
bool makeWebSizes(const std::string& picFolder, const PictureList& pictures,
                  const std::string& pageFolder, const ResizeRequest& request, int workers,
                  std::vector<WebCopy>& copies, WebSizesReport& report,
                  const WebCopyProgress& progress, std::string& folderError,
                  const std::function<bool()>& stopRequested = {},
                  const MediaTools& tools = MediaTools());

} // namespace mivo
