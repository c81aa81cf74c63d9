#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "generation/copies/copy_folder.h"
#include "generation/copies/copy_names.h"
#include "generation/copies/picture_resize.h"

namespace mivo {

/// The routine the copier's log lines are written under.
inline constexpr const char* kCopierLog = "makeWebSizes";

/// The record of what Mivo made, inside thumbs/. Only the copies it lists are ever replaced or
/// deleted. It is a journal: a picture is entered before its copies are written and again
/// once they are in place, so a run killed at any point leaves every file it made on record.
inline constexpr const char* kWebSizesRecord = ".mivo-copies";

/// The animation copy of a big moving GIF: a muted MP4, named with this extension added; of a
/// big moving WebP: an animated WebP at the display size.
inline constexpr const char* kAnimationMp4 = "mp4";
inline constexpr const char* kAnimationWebp = "webp";

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
    // The camera's offset from UTC that dateTaken is in ("+09:00") and its model, each "" when
    // the video does not say, or when its line was written by a version that did not keep them.
    std::string timeZone;
    std::string model;
    // A Live Photo's motion made while its still is shown: its web video alone, no poster
    // copies (its sizes 0), since the still's copies show it everywhere. Lines of earlier
    // versions say nothing of it: their motions have posters.
    bool motion = false;
    // A big moving picture's animation copy in view/, by the extension its name gets ("mp4",
    // "webp");
    // "" for none, and for a line written by a version that made none.
    std::string animation;
    // The copies' names: 0 the usual ones, 2, 3... the variant taken because another item of
    // the folder has the usual ones (copyNamesOf).
    int variant = 0;
    // Its thumbnails have WebP copies beside the JPEGs (webpThumbName). Records of earlier
    // versions have none: their pictures are made again once, when WebP can be written.
    bool webp = false;

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

/// The whole record: its first line, then one line per item in name order.
std::string recordText(const CopyRecord& record);

/// True for a name the record can hold: a plain name without a tab or a line end.
bool fitsRecord(const std::string& name);

/// The names of the copies a record line says were made for `name`.
CopyNames recordedNames(const std::string& name, const MadeCopies& made);

/// The text field of a line: a video's "z=<time zone>;m=<model>", a picture's "a=<animation>"
/// (a picture without an animation copy has none), each value with every byte that could end
/// the field, the line or a value (controls, blanks, bytes beyond ASCII, "%", ";", "=")
/// written as "%XX"; and back, false for a field that is not so written. Keys it does not know
/// are passed over, so that later versions may add some.
std::string recordTextField(const MadeCopies& made);
bool readRecordTextField(std::string_view field, MadeCopies& made);

/// "YYYY:MM:DD hh:mm:ss" as the number YYYYMMDDhhmmss the record keeps, and back; 0 and "" for
/// a date that is not so written.
long long dateNumber(const std::string& date);
std::string dateText(long long number);

/// What one copy folder's own status said when a run saw it hold exactly the copies on record:
/// its inode, its modification and change times (nanoseconds since the epoch) and how many
/// entries it held. A name added, removed or renamed in the folder changes both times.
struct FolderStamp {
    std::uint64_t inode = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    std::uint64_t entries = 0;

    bool operator==(const FolderStamp&) const = default;
};

/// The stamps of thumbs/, thumbs/2x/ and view/, in that order.
using FolderStamps = std::array<FolderStamp, 3>;

/// The line that stamps the copy folders, added after the record's last. It begins with a
/// tab, as no picture's line does: earlier versions pass over it.
std::string folderStampsLine(const FolderStamps& stamps);
/// The stamps a record's text ends with: true only when its last line, whole, is a stamp line.
/// Any line after it (a journal's) or a rewritten record leaves the folders unstamped.
bool readFolderStamps(std::string_view text, FolderStamps& stamps);

/// Which file the record is, and when it last changed: two reads of a record whose file is
/// the same read the same lines.
struct RecordFile {
    bool found = false; // a regular file (not a link)
    bool other = false; // something else has the record's name: there is no record
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t bytes = 0;
    std::int64_t modified = 0; // nanoseconds since the epoch
    std::int64_t changed = 0;

    bool operator==(const RecordFile&) const = default;
};

/// A record as read, with nothing logged: what it holds, the folder stamps it ends with, the
/// names it holds that lead outside the copy folders (`ignored`), and which file it was.
struct RecordRead {
    CopyRecord record;
    std::optional<FolderStamps> stamps;
    std::vector<std::string> ignored;
    RecordFile file;
};

/// Reads the record in the open thumbnail folder `folderFd`; absent or unreadable is empty.
/// Safe on any thread: it reads one file and writes and logs nothing.
RecordRead readRecordAt(int folderFd);
/// Which file the record in the open thumbnail folder `folderFd` is now.
RecordFile recordFileAt(int folderFd);
/// Logs the names a record holds that lead outside the copy folders, as reading it does.
void logIgnoredNames(const CopyFolder& thumbs, const std::vector<std::string>& ignored);

/// Reads the record of the open thumbnail folder; absent or unreadable is empty. Names it holds
/// that lead outside the copy folders are logged and left alone. `stamps`, when given, gets
/// the folder stamps the record ends with, or nothing.
CopyRecord readRecord(const CopyFolder& thumbs, std::optional<FolderStamps>* stamps = nullptr);

/// Adds `line` (whole lines) at the end of the record in the open thumbnail folder, in place:
/// the folder itself is not changed. false when the record is not there or cannot be written.
bool appendToRecord(const CopyFolder& thumbs, std::string_view line);

/// The record file, open for appending: lines are added as copies are claimed and finished.
/// Several workers append at once; each append is one write of whole lines.
class Journal {
  public:
    /// Opens (or makes) the record in the open thumbnail folder; a new record gets its first
    /// line, an old one a line end, so that a line a killed run left unfinished stays apart.
    explicit Journal(const CopyFolder& thumbs);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    bool ok() const { return fd_ >= 0 && error_.empty(); }
    const std::string& error() const { return error_; }

    /// Appends whole lines in one write, so a run killed meanwhile leaves them whole or absent.
    bool append(const std::string& lines);
    /// Something was appended this run.
    bool written() const { return written_; }

  private:
    int fd_ = -1;
    std::string error_;
    bool written_ = false;
    std::mutex mutex_;
};

} // namespace mivo
