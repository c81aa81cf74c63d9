#pragma once

#include <string_view>

namespace mivo {

/// The average brightness of an 8-bit RGB PNG as ffmpeg writes it with `-compression_level 0
/// -pred none` (stored deflate blocks, no row filters), as the luma of 8-bit video: black is
/// 16, white 235. False when the PNG is anything else (compressed, filtered, interlaced, not
/// 8-bit RGB, cut short): its brightness is then not known.
bool storedPngBrightness(std::string_view png, double& brightness);

} // namespace mivo
