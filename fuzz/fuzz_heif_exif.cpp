// Any bytes as a HEIC or AVIF file: finding the EXIF or the XMP item from the file's boxes must
// neither crash nor read outside them, and an item it finds lies inside the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "generation/pictures/exif_info.h"
#include "generation/pictures/heif_exif.h"
#include "generation/pictures/picture_caption.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    std::string block;
    if (mivo::readHeifExifBlockFromBytes(file, block) == mivo::HeifExif::Found) {
        if (block.size() > size) {
            std::abort();
        }
        mivo::ExifInfo info;
        mivo::readExifInfo(reinterpret_cast<const unsigned char*>(block.data()), block.size(),
                           info);
    }
    if (mivo::readHeifXmpBlockFromBytes(file, block) == mivo::HeifExif::Found) {
        if (block.size() > size) {
            std::abort();
        }
        mivo::xmpDescription(block);
    }
    return 0;
}
