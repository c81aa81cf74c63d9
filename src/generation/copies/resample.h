#pragma once

#include "generation/pictures/pixels.h"

namespace mivo {

/// `in` shrunk to `width` x `height` (each at most the input's) with a Lanczos3 kernel
/// stretched over the shrink, one edge after the other; a shrink of 4 or more is started with
/// a box average, as libvips does. Rows go through one at a time: memory beyond `out` is one
/// row. `out`'s buffer is reused: a worker keeps one per copy from picture to picture.
void shrinkPixels(const Pixels& in, int width, int height, Pixels& out);

/// `in` turned upright by EXIF orientation 1 to 8 (any other value: left as it is).
void orientPixels(const Pixels& in, int orientation, Pixels& out);

} // namespace mivo
