#pragma once

#include <string>
#include <string_view>

#include "generation/plan/item.h"

namespace mivo {

/// The longest video taken as a still's motion: a phone's Live Photo lasts about three
/// seconds; a clip of its own is longer.
constexpr long long kLongestMotionMs = 4500;

/// The length in milliseconds a QuickTime or MP4 file's movie header (moov/mvhd) gives, read
/// from its box headers alone. false when the file is not laid out so (or cannot be read).
bool readQuickTimeDuration(const std::string& path, long long& ms);
/// The same for a whole file held in memory.
bool readQuickTimeDurationFromBytes(std::string_view file, long long& ms);

/// Makes each Live Photo one item: a HEIC, HEIF or JPEG still and a MOV or MP4 video of the
/// same name (letter case ignored), exactly one of each, whose movie header says it lasts
/// kLongestMotionMs or less. The video becomes the still's `motion` and leaves the list.
void pairLivePhotos(PictureList& items);

} // namespace mivo
