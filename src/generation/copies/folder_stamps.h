#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "generation/copies/copy_folder.h"
#include "generation/copies/copy_folders.h"
#include "generation/copies/copy_record.h"

namespace mivo {

/// How far a folder's times must lie behind the clock before they are stamped. A change made
/// within the same tick of the clock the file system stamps with leaves a folder's times as
/// they were; once they are older than any such tick (two seconds covers the coarsest, a FAT
/// card's), every later change gives them new values.
inline constexpr std::int64_t kSettledNs = 2'000'000'000;

/// The clock files are stamped with, in nanoseconds since the epoch.
std::int64_t fileClockNow();

/// The inode and times of thumbs/, thumbs/2x/ and view/ (`entries` left 0). true when each
/// could be asked and every time lies at least kSettledNs before `now`, read before asking.
bool statCopyFolders(const CopyFolderSet& folders, std::int64_t now, FolderStamps& stamps);

/// What each of the three folders holds when it holds exactly the copies `record` names as
/// made: thumbs/ the record file and the folder 2x/ too. Names made once each.
std::array<std::vector<FolderEntry>, 3> recordedContents(const CopyRecord& record);

/// How many entries recordedContents gives each folder, without making the names.
std::array<std::uint64_t, 3> recordedCounts(const CopyRecord& record);

/// True when `stamps`, which the record `record` ends with, still hold for the folders as
/// `seen` now: nothing was added, removed or renamed in them since, and the record still names
/// as many copies as they held then.
bool stampsHold(const FolderStamps& stamps, const FolderStamps& seen, const CopyRecord& record);

} // namespace mivo
