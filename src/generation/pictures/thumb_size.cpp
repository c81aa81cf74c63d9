#include "generation/pictures/thumb_size.h"

#include <algorithm>

#include "common/text.h"

namespace mivo {

namespace {

// Whole-number results of the scaling stay far below this; it only keeps a double that is
// out of range from reaching the integer conversion.
constexpr double kSideLimit = 1e15;

long long roundSide(double value) {
    return std::max(1LL, cmRoundHalfEven(std::min(value, kSideLimit)));
}

} // namespace

long long thumbnailBoxSide(long long side) {
    return std::clamp(side, kBoxSideMin, kBoxSideMax);
}

std::string scaledSizeAttributes(long long width, long long height, long long boxWidth,
                                 long long boxHeight) {
    const double w = static_cast<double>(width);
    const double h = static_cast<double>(height);
    const double bw = static_cast<double>(boxWidth);
    const double bh = static_cast<double>(boxHeight);
    // One division of two whole numbers, so an exact half is seen as one.
    const long long rate = std::min(cmRoundHalfEven(bw * 100 / w), cmRoundHalfEven(bh * 100 / h));
    long long outWidth = 0;
    long long outHeight = 0;
    if (rate >= 1) {
        outWidth = roundSide(w * static_cast<double>(rate) / 100);
        outHeight = roundSide(h * static_cast<double>(rate) / 100);
    } else {
        const double scale = std::min(bw / w, bh / h);
        outWidth = roundSide(w * scale);
        outHeight = roundSide(h * scale);
    }
    return "width=" + std::to_string(outWidth) + " height=" + std::to_string(outHeight);
}

} // namespace mivo
