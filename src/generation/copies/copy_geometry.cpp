#include "generation/copies/copy_geometry.h"

#include <algorithm>
#include <cmath>

namespace mivo {

PictureSize fitInside(long width, long height, long boxWidth, long boxHeight) {
    if (width < 1 || height < 1) {
        return {std::max(width, 1L), std::max(height, 1L)};
    }
    const double shrink =
        std::max({static_cast<double>(width) / static_cast<double>(std::max(boxWidth, 1L)),
                  static_cast<double>(height) / static_cast<double>(std::max(boxHeight, 1L)), 1.0});
    const auto edge = [shrink](long value) {
        return std::max(std::lround(static_cast<double>(value) / shrink), 1L);
    };
    return {edge(width), edge(height)};
}

PictureSize decodeNeed(PictureSize copy) {
    return {copy.width * 2, copy.height * 2};
}

long scaledEdge(long edge, int eighths) {
    return (edge * eighths + 7) / 8;
}

int decodeEighths(PictureSize picture, PictureSize needed) {
    // 5/8 to 7/8 decode slower than full size: past 4/8, 8/8.
    for (int eighths = 1; eighths <= 4; ++eighths) {
        if (scaledEdge(picture.width, eighths) >= needed.width &&
            scaledEdge(picture.height, eighths) >= needed.height) {
            return eighths;
        }
    }
    return 8;
}

} // namespace mivo
