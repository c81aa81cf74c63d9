#pragma once

#include <functional>

#include "generation/plan/album.h"

namespace mivo {

/// Puts an album's items in the order they were taken: a JPEG's EXIF DateTimeOriginal, a
/// video's creation date (when ffprobe is at hand), else the file's modification time; items
/// of the same date, and items whose date cannot be read (last), keep their name order. Sets
/// each item's orderDate and the album's (its earliest item). `stopRequested` ends a probe.
void orderItemsByDate(Album& album, const std::function<bool()>& stopRequested);

/// Puts an album's checked children in the order of their dates (an album's date is the
/// earliest of its items and albums), ties and undated albums as named; the album's own date
/// becomes the earliest of its items' and its children's.
void orderChildrenByDate(Album& album);

} // namespace mivo
