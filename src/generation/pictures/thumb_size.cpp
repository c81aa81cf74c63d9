#include "generation/pictures/thumb_size.h"

#include <algorithm>

#include "common/text.h"

namespace mivo {

namespace {

// Whole-number results of the scaling stay far below this; it only keeps a double that is
// out of range from reaching the integer conversion.
constexpr double kSideLimit = 1e15;

long long roundSide(double value) {
    return std::max(1LL, roundHalfEven(std::min(value, kSideLimit)));
}

} // namespace

PixelSize thumbnailSize(long long width, long long height, long long boxWidth,
                        long long boxHeight) {
    const PixelSize box{std::clamp(boxWidth, kBoxSideMin, kBoxSideMax),
                        std::clamp(boxHeight, kBoxSideMin, kBoxSideMax)};
    // An empty, unreadable or zero size cannot be scaled: show it at the box size.
    if (width <= 0 || height <= 0) {
        return box;
    }
    const double w = static_cast<double>(width);
    const double h = static_cast<double>(height);
    const double bw = static_cast<double>(box.width);
    const double bh = static_cast<double>(box.height);
    // One division of two whole numbers, so an exact half is seen as one.
    const long long rate = std::min(roundHalfEven(bw * 100 / w), roundHalfEven(bh * 100 / h));
    if (rate >= 1) {
        return {roundSide(w * static_cast<double>(rate) / 100),
                roundSide(h * static_cast<double>(rate) / 100)};
    }
    const double scale = std::min(bw / w, bh / h);
    return {roundSide(w * scale), roundSide(h * scale)};
}

} // namespace mivo
