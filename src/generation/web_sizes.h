#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "generation/file_data.h"
#include "generation/picture_resize.h"

namespace mivo {

/// Folders Mivo owns beside a gallery's pages: thumbnails at 1x (thumbs/), at 2x (thumbs/2x/)
/// and display copies (view/).
inline constexpr const char* kThumbFolder = "thumbs";
inline constexpr const char* kThumb2xFolder = "2x";
inline constexpr const char* kViewFolder = "view";
/// The record of what Mivo made, inside thumbs/. Only the copies it lists are ever deleted.
inline constexpr const char* kWebSizesRecord = ".mivo-copies";

/// What the record keeps of one picture: the picture as it was when its copies were made, the
/// sizes they were made for, and their pixel sizes (ok false: the picture could not be read).
struct MadeCopies {
    std::uintmax_t pictureBytes = 0;
    std::int64_t pictureTime = 0; // modification time, nanoseconds since the epoch
    ResizeRequest request;
    bool ok = false;
    ResizedSizes sizes;

    bool operator==(const MadeCopies&) const = default;
};

/// The record, by picture file name.
using CopyRecord = std::map<std::string, MadeCopies>;

/// Reads the record of `thumbFolder`; an absent or unreadable record is empty.
CopyRecord readCopyRecord(const std::string& thumbFolder);
/// Writes the record (under a temporary name, then renamed); false when it cannot.
bool writeCopyRecord(const std::string& thumbFolder, const CopyRecord& record);

/// The file name of a picture's copies: the picture's own name for a JPEG, the name with
/// ".jpg" added for other kinds (the copies are always JPEG).
std::string copyFileName(const std::string& pictureName);

/// One picture's copies as the pages use them.
struct WebCopy {
    bool ok = false;          // false: the page shows the original, as without copies
    bool madeThisRun = false; // made now, not kept from an earlier run
    std::string fileName;
    ResizedSizes sizes;
};

/// What happened to the pictures of one gallery.
struct WebSizesReport {
    std::size_t made = 0;    // pictures whose copies were made this time
    std::size_t kept = 0;    // pictures whose copies were up to date
    std::size_t failed = 0;  // pictures that could not be read or written
    std::size_t removed = 0; // pictures gone from the folder whose copies were deleted
};

/// Called on the calling thread for every picture in listing order, once its copies are
/// ready (made, kept, or failed with `error` naming why).
using WebCopyProgress = std::function<void(std::size_t index, const ClassFileData& picture,
                                           const WebCopy& copy, const std::string& error)>;

/// Brings the copies of `pictures` (in `picFolder`) in `pageFolder` up to date. A copy is made
/// when the record has none, when the picture's size or modification time changed, when the
/// sizes asked for changed, or when a copy file is missing. Copies recorded for pictures that
/// are gone are deleted; a file Mivo did not make is never replaced or deleted (its picture
/// shows its original instead). Pictures are reduced by `workers` threads (0, or more than
/// the cores: one per core); results come back in listing order. `copies` gets one element per
/// picture. false when the folders cannot be made (every picture then shows its original).
bool makeWebSizes(const std::string& picFolder, const PictureList& pictures,
                  const std::string& pageFolder, const ResizeRequest& request, int workers,
                  std::vector<WebCopy>& copies, WebSizesReport& report,
                  const WebCopyProgress& progress);

} // namespace mivo
