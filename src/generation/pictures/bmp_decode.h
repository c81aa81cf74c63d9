#pragma once

#include <cstddef>
#include <string>

#include "generation/pictures/pixels.h"

namespace mivo {

/// Decodes the Windows bitmap in `data` into `out`: 3 bands (RGB; a grey palette gives three
/// equal bands), rows top-down. It reads the core (OS/2 1.x) header and the info header with
/// its V2 to V5 extensions; 1, 4 and 8 bits through a palette, 16 and 32 bits plain or with
/// bit masks, 24 bits, and RLE8/RLE4. A palette index past the palette the file holds is black;
/// pixels an RLE picture leaves unwritten (after a delta, an early end of line or of the
/// bitmap, or data that simply stops) take the first palette entry. An alpha mask (V3 header
/// and later, bit-mask pictures) is composited onto white, as a page shows such a picture. A
/// colour space or profile in a V4/V5 header is not applied.
///
/// Refused (false, a short English reason in `error`, `out` left as it was): anything that is
/// not a BMP this reads, a header cut short, a width or height of 0 or below, JPEG or PNG
/// inside, a top-down RLE picture, uncompressed rows that the file does not hold in full (only
/// the last row's padding may be missing), and pictures over 100 million pixels or 65535
/// pixels a side. Every refusal comes before `out` is allocated, and nothing outside
/// [data, data + size) is read.
bool decodeBmp(const unsigned char* data, std::size_t size, Pixels& out, std::string& error);

} // namespace mivo
