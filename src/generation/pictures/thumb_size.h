#pragma once

#include <string>

namespace mivo {

/// The smallest and largest side of the thumbnail box, in pixels.
inline constexpr long long kBoxSideMin = 1;
inline constexpr long long kBoxSideMax = 100000;

/// A side of the thumbnail box clamped to kBoxSideMin..kBoxSideMax.
long long thumbnailBoxSide(long long side);

/// A width and a height in pixels.
struct PixelSize {
    long long width = 0;
    long long height = 0;
    bool operator==(const PixelSize&) const = default;
};

/// A picture of width × height (both above 0) scaled into the box in whole percent, each side
/// rounded half to even. A picture so large that the whole-percent step rounds to 0 is scaled
/// by the exact ratio instead; no side is ever below 1, and no step can overflow whatever the
/// picture's size.
PixelSize scaledSize(long long width, long long height, long long boxWidth, long long boxHeight);

} // namespace mivo
