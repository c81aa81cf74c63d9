#pragma once

#include <memory>
#include <string>
#include <vector>

#include "generation/copies/copy_folder.h"
#include "generation/copies/copy_plan.h"
#include "generation/copies/copy_record.h"
#include "generation/plan/item.h"

namespace mivo {

/// What the copier reads of an album before it decides anything: its record, its copies' names
/// and its pictures' stamps. Read for the album after the one whose pages are being made, on
/// another thread: it reads files only, and writes and logs nothing. The copier takes it when
/// it still holds (copyCheckHolds), and reads everything again when it does not.
struct CopyCheck {
    // What it was read for: the items' names, paths, kinds and sizes (copyCheckItems).
    std::shared_ptr<const PictureList> items;
    bool ready = false; // false: an item's copy names need the album's tools (a big moving
                        // picture's animation copy), which are found with the album
    RecordRead record;
    ItemCopyNames names;
    std::vector<PictureStamp> stamps;
};

/// Copies of what the copier (and the list table's header reads) read of `items`: names,
/// paths, kinds and sizes, taken on the thread that owns them.
PictureList copyCheckItems(const PictureList& items);

/// Whether `copy` (copyCheckItems) is still what `items` hold, one for one in order.
bool sameItems(const PictureList& copy, const PictureList& items);

/// Reads the check of the album whose items `items` (copyCheckItems) are, and whose pages go
/// to `pageFolder`. Nothing is made: without the album's thumbnail folder there is no record.
CopyCheck readCopyCheck(const std::string& pageFolder, std::shared_ptr<const PictureList> items);

/// Whether `check` is what reading now would give: it was read for these same items, in
/// order, and the record in `thumbs` is still the file it read.
bool copyCheckHolds(const CopyCheck& check, const PictureList& items, const CopyFolder& thumbs);

} // namespace mivo
