// Any bytes as the start of a picture file: the header reader must neither crash nor read
// outside them, and a size it reports must be a real one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "generation/picture_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    long width = 0;
    long height = 0;
    if (mivo::cmReadPictureSizeFromBytes(data, size, width, height) &&
        (width <= 0 || height <= 0)) {
        std::abort();
    }
    return 0;
}
