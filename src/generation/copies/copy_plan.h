#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "generation/copies/copy_folders.h"
#include "generation/copies/copy_names.h"
#include "generation/copies/copy_record.h"
#include "generation/copies/media_tools.h"
#include "generation/copies/resize_pool.h"
#include "generation/copies/web_sizes.h"
#include "generation/plan/item.h"

namespace mivo {

/// The names of this run's copies, one set per item: no two items share one, whatever their
/// names.
struct ItemCopyNames {
    std::vector<int> variants;    // each item's variant (copyVariants)
    std::vector<CopyNames> names; // each item's copy names
    NameList assigned;            // every copy and web video name of this run's items
};

/// The animation copy the item gets, by its name's extension, when it moves and is too big to
/// be shown moving from its original: kAnimationMp4 for a GIF when this machine has ffmpeg,
/// kAnimationWebp for a WebP when the image library writes animated WebP; "" for none.
std::string animationWanted(const Item& item, const MediaTools& tools);

/// The copy names of the album's items (in listing order).
ItemCopyNames nameCopies(const PictureList& items, const MediaTools& tools);

/// Every name the record holds: Mivo's, so this item or another may replace it. Worked out
/// the first time one is asked for, which a run with nothing changed never does.
class RecordNames {
  public:
    explicit RecordNames(const CopyRecord& record) : record_(record) {}
    bool contains(const std::string& name) const;

  private:
    const CopyRecord& record_;
    mutable NameList names_;
    mutable bool listed_ = false;
};

/// A picture's size in bytes and modification time (nanoseconds since the epoch), as its file
/// says; found false when it is not a regular file that can be asked.
struct PictureStamp {
    bool found = false;
    std::uintmax_t bytes = 0;
    std::int64_t time = 0;
};

/// The stamps of the album's items, in listing order. Safe on any thread: it only asks files.
std::vector<PictureStamp> stampPictures(const PictureList& items);

/// What a run does for each item of an album, decided before any work starts.
struct CopyPlan {
    std::vector<ResizeTask> tasks;   // the items whose copies are made
    std::vector<std::size_t> taskOf; // each item's task, SIZE_MAX for none
    std::vector<std::string> errors; // why an item gets no copies
    std::vector<bool> unreadable;    // read in vain before, and unchanged since
    CopyRecord after;                // the record as the items kept leave it
};

/// With the media option a picture of any kind that cannot be read is left out, as a HEIC or
/// a video is; without it a JPEG, GIF or BMP that cannot be reduced fails the run.
bool leftOutWhenUnreadable(const MediaTools& tools, ItemKind kind);

/// What the pages show of a video, from its record line.
void takeVideoFacts(const std::string& name, const MadeCopies& made, WebCopy& copy);

/// What the pages show of a picture's animation copy (`names.webVideo`): its name and type.
void takeAnimation(const CopyNames& names, WebCopy& copy);

/// What each of the album's items needs: its copies kept as the record and the copy folders
/// (`present`) have them, made (a task), or none, and why. Each item's `copy` gets what is
/// known before any work: the copies' names, kept copies, and why an item gets none. The
/// pictures are stamped now, or taken as `stamped` (one per item) says.
CopyPlan planCopies(PictureList& items, const ItemCopyNames& names, const CopyRecord& before,
                    const RecordNames& ownNames, const FolderContents& present,
                    const ResizeRequest& request, const MediaTools& tools,
                    const std::vector<PictureStamp>* stamped = nullptr);

} // namespace mivo
