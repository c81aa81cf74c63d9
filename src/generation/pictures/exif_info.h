#pragma once

#include <cstddef>
#include <string>

namespace mivo {

/// The shooting data a picture's EXIF block holds, as texts ready to show; "" when absent.
struct ExifInfo {
    std::string dateTaken;   // "2025-04-05 06:07:08"
    std::string model;       // camera model
    std::string lens;        // lens model
    std::string exposure;    // "1/250 s", "2 s"
    std::string fNumber;     // "f/2.8"
    std::string iso;         // "ISO 400"
    std::string focalLength; // "35 mm"

    bool empty() const {
        return dateTaken.empty() && model.empty() && lens.empty() && exposure.empty() &&
               fNumber.empty() && iso.empty() && focalLength.empty();
    }
};

/// Reads the shooting data from the TIFF structure of an EXIF block (the bytes after
/// "Exif\0\0"): IFD0 and the Exif sub-IFD it points to. Values that are damaged or point
/// outside the block are left out. false when the bytes are no TIFF structure.
bool readExifInfo(const unsigned char* tiff, std::size_t size, ExifInfo& out);

/// The same from the first `size` bytes of a block of `blockSize` bytes, so that a long block
/// (a maker note, an embedded thumbnail) need not be read whole. `complete` is false when a
/// value the shooting data needs lies past the bytes given: read the whole block and ask again.
bool readExifInfo(const unsigned char* tiff, std::size_t size, std::size_t blockSize, ExifInfo& out,
                  bool& complete);

} // namespace mivo
