#pragma once

#include "generation/pictures/pixels.h"

namespace mivo {

/// Pixels someone else owns, laid out as in Pixels (rows without gaps, 1 or 3 bands).
struct PixelView {
    const unsigned char* data = nullptr;
    int width = 0;
    int height = 0;
    int bands = 3;
};

/// `in` shrunk to `width` x `height` (each at most the input's) with a Lanczos3 kernel
/// stretched over the shrink, one edge after the other; a shrink of 4 or more is started with
/// a box average, as libvips does. Rows go through one at a time: memory beyond `out` is one
/// row. `out`'s buffer is reused: a worker keeps one per copy from picture to picture.
void shrinkPixels(const PixelView& in, int width, int height, Pixels& out);
void shrinkPixels(const Pixels& in, int width, int height, Pixels& out);

/// `in` turned upright by EXIF orientation 1 to 8 (any other value: left as it is).
void orientPixels(const Pixels& in, int orientation, Pixels& out);

} // namespace mivo
