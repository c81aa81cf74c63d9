#pragma once

#include <string>
#include <string_view>

namespace mivo {

/// Where the EXIF block of a HEIF file (HEIC, HEIF, AVIF) lies: found from the file's item
/// boxes alone, without starting an image library or decoding anything.
enum class HeifExif {
    Found,   // `block` holds the item's bytes ("Exif\0\0" and the TIFF structure, or the
             // TIFF structure, behind the item's 4-byte offset)
    None,    // a HEIF file without such an item
    Unknown, // not laid out as this reader knows (or not readable): ask the image library
};

/// The EXIF item and the XMP packet of one HEIF file, each as readHeifExifBlock and
/// readHeifXmpBlock give it.
struct HeifItems {
    HeifExif exif = HeifExif::Unknown;
    std::string exifBlock;
    HeifExif xmp = HeifExif::Unknown;
    std::string xmpPacket;
};

/// Reads the EXIF item of the HEIF file `path` and, with `xmp`, its XMP packet, through one
/// open and one read of the boxes at its start, then one read per item found. Anything but a
/// regular file is Unknown; without `xmp`, so is the packet.
HeifItems readHeifItems(const std::string& path, bool xmp);
/// The same for a whole file held in memory.
HeifItems readHeifItemsFromBytes(std::string_view file, bool xmp);

/// Reads the EXIF item of the HEIF file `path` (two reads: the boxes at its start, the item).
HeifExif readHeifExifBlock(const std::string& path, std::string& block);
/// The same for a whole file held in memory.
HeifExif readHeifExifBlockFromBytes(std::string_view file, std::string& block);

/// Reads the XMP packet of the HEIF file `path` the same way: the `mime` item whose content
/// type is application/rdf+xml, where photo managers and phones keep a picture's description.
/// Found: `block` holds the packet as it stands in the file.
HeifExif readHeifXmpBlock(const std::string& path, std::string& block);
/// The same for a whole file held in memory.
HeifExif readHeifXmpBlockFromBytes(std::string_view file, std::string& block);

} // namespace mivo
