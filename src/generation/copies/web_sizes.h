#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "generation/copies/copy_folders.h"
#include "generation/copies/copy_record.h"
#include "generation/copies/media_tools.h"
#include "generation/copies/picture_resize.h"
#include "generation/plan/album_result.h"
#include "generation/plan/item.h"
#include "generation/plan/item_kind.h"

namespace mivo {

struct CopyCheck;

/// What happened to the items of one album.
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
    // The copies, web videos and record written, replaced and removed (a file written and
    // removed again in the same run, as the half of a copy that failed, is in none).
    Manifest files;
};

/// Called on the calling thread for every item in listing order, once its copies are ready
/// (made, kept, failed or skipped with `error` naming why): the item's `copy` says which. The
/// report passed to makeWebSizes is up to date at each call.
using WebCopyProgress =
    std::function<void(std::size_t index, const Item& item, const std::string& error)>;

/// How one album's copies are made.
struct CopyJob {
    std::string pageFolder; // the album's page folder: its copy folders go inside
    ResizeRequest request;
    int workers = 0; // threads that reduce: 0, or more than the cores, gives one per core
    // With tools.media, HEIC, PNG... pictures and videos get copies too; those that cannot
    // have them are left out (WebCopy::leftOut).
    MediaTools tools;
    std::function<bool()> stopRequested; // asked between items; a running ffmpeg is stopped
    WebCopyProgress progress;
    // The clock the copy folders' times are set against (fileClockNow when empty).
    std::function<std::int64_t()> clock;
    // What was read of the album ahead of it, taken when it still holds (copyCheckHolds).
    const CopyCheck* ahead = nullptr;
};

/// Brings the copies of the album's `items` up to date in its copy folders, and gives every
/// item its `copy`. A copy is made when the record has none, when the item's size or
/// modification time changed, when the sizes asked for changed, when a copy file is missing,
/// or when an earlier try did not finish or failed. Copies recorded for items that are gone
/// are deleted; a file Mivo did not make is never replaced or deleted (its item shows its
/// original instead). Temporary files of a run that was killed are removed. Items are reduced
/// by the job's workers; results come back in listing order. Once `stopRequested` says so,
/// no further item is started. false with `folderError` when the copy folders cannot be made
/// (every item then failed). When the folders hold exactly the copies on record and their
/// times have settled, the record is stamped with them, and a later run that finds them so
/// does not list them.
bool makeWebSizes(const CopyJob& job, PictureList& items, WebSizesReport& report,
                  std::string& folderError);

} // namespace mivo
