#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "generation/pictures/copy_names.h"
#include "generation/pictures/picture_resize.h"
#include "generation/pictures/video_tools.h"
#include "generation/plan/file_data.h"
#include "generation/plan/item_kind.h"

namespace mivo {

/// Folders Mivo owns beside a gallery's pages: thumbnails at 1x (thumbs/), at 2x (thumbs/2x/)
/// and display copies (view/).
inline constexpr const char* kThumbFolder = "thumbs";
inline constexpr const char* kThumb2xFolder = "2x";
inline constexpr const char* kViewFolder = "view";
/// The record of what Mivo made, inside thumbs/. Only the copies it lists are ever replaced or
/// deleted. It is a journal: a picture is entered before its copies are written and again
/// once they are in place, so a run killed at any point leaves every file it made on record.
inline constexpr const char* kWebSizesRecord = ".mivo-copies";

/// What the record keeps of one picture: the picture as it was when its copies were made, the
/// sizes they were made for, and their pixel sizes. ok false: the copy names are Mivo's but
/// hold no finished copies (being made when a run ended, or failed): they are made again.
struct MadeCopies {
    std::uintmax_t pictureBytes = 0;
    std::int64_t pictureTime = 0; // modification time, nanoseconds since the epoch
    ResizeRequest request;
    bool ok = false;
    // A HEIC, PNG... picture or a video that could not be read (not what its name says): not
    // tried again while it stays as it was. It has no copies.
    bool unreadable = false;
    ResizedSizes sizes;
    // A video's copies are its poster's; beside them the record keeps what its pages need, so
    // that a run with nothing changed reads no video.
    bool video = false;
    long long durationMs = 0;
    bool webVideoMade = false; // view/<name>.mp4 is Mivo's; false: the original plays as it is
    long long dateTaken = 0;   // from the container, as the number YYYYMMDDhhmmss; 0: none
    // The copies' names: 0 the usual ones, 2, 3... the variant taken because another item of
    // the folder has the usual ones (copyNamesOf).
    int variant = 0;

    bool operator==(const MadeCopies&) const = default;
};

/// The record, by picture file name.
using CopyRecord = std::map<std::string, MadeCopies>;

/// Reads a record's text; a later line of a picture stands over an earlier one. A line that
/// is not whole (a run ended while writing it) or names a file outside the folder (a "/", "."
/// or "..") is left out; `ignored` gets such names.
CopyRecord parseCopyRecord(std::string_view text, std::vector<std::string>* ignored = nullptr);
/// One line of the record.
std::string copyRecordLine(const std::string& name, const MadeCopies& made);
/// The first line of every record.
std::string copyRecordHeader();

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

/// What a gallery that shows more than JPEG, GIF and BMP needs, found once per run.
struct MediaTools {
    bool media = false; // HEIC, PNG... pictures and videos are in the list
    VideoPrograms video;
    // The image library reads HEIC, HEIF and AVIF; asked the first time a HEIF picture needs
    // copies, since starting the library costs a run that has nothing to make.
    mutable std::optional<bool> heif;

    /// What this machine lacks for the item `name` of kind `kind`, or "" when nothing.
    std::string missingFor(ItemKind kind, const std::string& name) const;
};

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
