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

/// The content identifier a phone writes into a Live Photo's video (the QuickTime key
/// "com.apple.quicktime.content.identifier"), read from the box headers alone; "" when none.
std::string readMotionContentIdentifier(const std::string& path);
std::string readMotionContentIdentifierFromBytes(std::string_view file);
/// The same identifier in its still: the ContentIdentifier of the Apple maker note in the
/// EXIF block of a JPEG, HEIC or HEIF file; "" when none.
std::string readStillContentIdentifier(const std::string& path);

/// Makes each Live Photo one item: a HEIC, HEIF or JPEG still and a MOV or MP4 video of the
/// same name (letter case ignored), exactly one of each, whose movie header says it lasts
/// kLongestMotionMs or less; then, among the stills and short videos left, a still and a video
/// that carry the same content identifier, exactly one of each. The video becomes the
/// still's `motion` and leaves the list.
void pairLivePhotos(PictureList& items);

} // namespace mivo
