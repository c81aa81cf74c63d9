#pragma once

#include <cstddef>

#include "generation/copies/copy_geometry.h"
#include "generation/copies/resample.h"

namespace mivo {

/// What the markers before a JPEG's first scan say about decoding it.
struct JpegLayout {
    PictureSize stored;   // as the frame header has it, before orientation
    int components = 0;   // 1 grey, 3 colour, 4 CMYK/YCCK
    int precision = 0;    // bits per sample
    bool huffman = false; // baseline, extended or progressive Huffman coding (what TurboJPEG reads)
    bool colourProfile = false; // an ICC profile (APP2) is embedded
    int orientation = 1;        // EXIF orientation from the first APP1 Exif block, 1 when none

    /// True when the fast path renders it exactly as libvips would: 8-bit grey or YCbCr/RGB
    /// with no colour profile to apply. Anything else (CMYK, a profile, 12-bit, arithmetic
    /// coding) is libvips's to do.
    bool direct() const {
        return huffman && precision == 8 && (components == 1 || components == 3) &&
               !colourProfile && stored.width > 0 && stored.height > 0;
    }
};

/// Reads the markers of the JPEG in `data` up to its first scan. false when it is no JPEG or
/// the markers are damaged.
bool readJpegLayout(const unsigned char* data, std::size_t size, JpegLayout& layout);

/// Opens libjpeg-turbo's TurboJPEG library once per process; false when it is not there.
bool startJpegLibrary();

/// Decodes the JPEG in `data` at `eighths`/8 of its size into `out` (3 bands, or 1 for a grey
/// picture), as stored (not turned by its orientation). false on any error or warning (a
/// damaged or truncated file): the caller hands such pictures to libvips, which decides as it
/// always did.
bool decodeJpegScaled(const unsigned char* data, std::size_t size, const JpegLayout& layout,
                      int eighths, Pixels& out);

} // namespace mivo
