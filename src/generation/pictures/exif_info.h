#pragma once

#include <cstddef>
#include <string>

#include "generation/plan/item.h"

namespace mivo {

/// Reads the shooting data from the TIFF structure of an EXIF block (the bytes after
/// "Exif\0\0"): IFD0 and the Exif sub-IFD it points to. Values that are damaged or point
/// outside the block are left out. false when the bytes are no TIFF structure.
bool readExifInfo(const unsigned char* tiff, std::size_t size, ExifInfo& out);

/// The same from the first `size` bytes of a block of `blockSize` bytes, so that a long block
/// (a maker note, an embedded thumbnail) need not be read whole. `complete` is false when a
/// value the shooting data needs lies past the bytes given: read the whole block and ask again.
bool readExifInfo(const unsigned char* tiff, std::size_t size, std::size_t blockSize, ExifInfo& out,
                  bool& complete);

/// The ContentIdentifier (tag 0x0011) of an Apple maker note ("Apple iOS") in the TIFF
/// structure of an EXIF block: the identifier a phone gives a Live Photo's still and its
/// video alike. "" when there is none, or it is not one line of printable ASCII.
std::string readAppleContentIdentifier(const unsigned char* tiff, std::size_t size);

} // namespace mivo
