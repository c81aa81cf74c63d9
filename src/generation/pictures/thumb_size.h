#pragma once

namespace mivo {

/// The smallest and largest side of the thumbnail box, in pixels.
inline constexpr long long kBoxSideMin = 1;
inline constexpr long long kBoxSideMax = 100000;

/// A width and a height in pixels.
struct PixelSize {
    long long width = 0;
    long long height = 0;
    bool operator==(const PixelSize&) const = default;
};

/// The size a full-size picture of width × height shows at as its own thumbnail, in the box
/// boxWidth × boxHeight (each side clamped to kBoxSideMin..kBoxSideMax): scaled into the box in
/// whole percent, each side rounded half to even; a picture so large that the whole-percent
/// step rounds to 0 is scaled by the exact ratio instead. No side is ever below 1, and no step
/// can overflow whatever the picture's size. A picture of unknown size (a side of 0 or below)
/// shows at the box's size.
PixelSize thumbnailSize(long long width, long long height, long long boxWidth, long long boxHeight);

} // namespace mivo
