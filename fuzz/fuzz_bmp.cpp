// Any bytes as a BMP file: the decoder must neither crash nor read outside them, a picture it
// decodes must be as large as its header says (and as the header reader measures it), and
// every pixel of it must be written: decoding into a buffer of zeros and into one of 0xFF
// bytes gives the same picture.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "generation/pictures/bmp_decode.h"
#include "generation/pictures/picture_header.h"

namespace {

// A few bytes of RLE may claim up to 100 million pixels, all of which the decoder then fills:
// such pictures would slow the fuzzer to a crawl, so from them only what is refused for size
// (more pixels, or a longer side) is fuzzed.
constexpr long kMostPixels = 1L << 16;

bool decodeOver(const std::uint8_t* data, std::size_t size, std::size_t bytes, unsigned char fill,
                mivo::Pixels& out) {
    out.data.assign(bytes, fill);
    std::string error;
    return mivo::decodeBmp(data, size, out, error);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    long width = 0;
    long height = 0;
    const bool measured = mivo::readPictureSizeFromBytes(data, size, width, height);
    if (measured && width <= 65535 && height <= 65535 && width * height > kMostPixels &&
        width * height <= 100'000'000) {
        return 0;
    }
    mivo::Pixels first;
    std::string error;
    if (!mivo::decodeBmp(data, size, first, error)) {
        if (error.empty() || first.width != 0 || !first.data.empty()) {
            std::abort(); // a refusal says why and leaves the picture alone
        }
        return 0;
    }
    // The size the pages print is the size decoded.
    const std::size_t bytes = first.data.size();
    if (!measured || width != first.width || height != first.height || first.bands != 3 ||
        bytes != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) {
        std::abort();
    }
    mivo::Pixels zeros;
    mivo::Pixels ones;
    if (!decodeOver(data, size, bytes, 0x00, zeros) || !decodeOver(data, size, bytes, 0xFF, ones) ||
        zeros.data != ones.data) {
        std::abort();
    }
    return 0;
}
