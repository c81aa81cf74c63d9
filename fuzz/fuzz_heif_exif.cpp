// Any bytes as a HEIC or AVIF file: finding the EXIF or the XMP item from the file's boxes must
// neither crash nor read outside them, and an item it finds lies inside the file. The same bytes
// as a QuickTime file and as a TIFF structure: the content identifiers of a Live Photo's video
// and still (its Apple maker note) are read from them alike.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "generation/pictures/exif_info.h"
#include "generation/pictures/heif_exif.h"
#include "generation/pictures/live_photo.h"
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
        mivo::readAppleContentIdentifier(reinterpret_cast<const unsigned char*>(block.data()),
                                         block.size());
    }
    if (mivo::readMotionContentIdentifierFromBytes(file).size() > 128 ||
        mivo::readAppleContentIdentifier(data, size).size() > 128) {
        std::abort();
    }
    if (mivo::readHeifXmpBlockFromBytes(file, block) == mivo::HeifExif::Found) {
        if (block.size() > size) {
            std::abort();
        }
        mivo::xmpDescription(block);
    }
    return 0;
}
