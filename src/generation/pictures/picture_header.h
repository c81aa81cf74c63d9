#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "generation/pictures/exif_info.h"

namespace mivo {

/// Pixel size of a JPEG, GIF or BMP picture read from its header only (no pixel data is
/// decoded). JPEG sizes follow the EXIF orientation: orientations 5 to 8 give width and height
/// swapped, as a browser shows them. false when the file cannot be read or measured.
/// With `exifInfo`, the shooting data of the picture's first EXIF block is read in the same
/// walk (left empty when there is none).
bool readPictureSize(const std::string& path, long& pictureWidth, long& pictureHeight,
                     ExifInfo* exifInfo = nullptr);

/// The same for the file `name` of the folder open as `folderFd` (AT_FDCWD: `name` is a path),
/// opened relative to it and read without a stat. With `onDisk`, *onDisk is set when the
/// file's first bytes were not in the page cache (or the file system cannot tell), so a
/// caller learns that reads wait on the disk. With `fromDisk` the kernel reads ahead nothing:
/// from a disk, read-ahead would fetch the bytes between the EXIF start and the frame header
/// that are never looked at (measured: 15-25 % of a cold run).
bool readPictureSizeAt(int folderFd, const char* name, long& pictureWidth, long& pictureHeight,
                       ExifInfo* exifInfo = nullptr, bool* onDisk = nullptr, bool fromDisk = false);

/// A run of a file's bytes, read from `start` (fewer than asked where the file ends).
struct FilePart {
    std::uint64_t start = 0;
    std::vector<unsigned char> bytes;
};

/// The bytes a header walk needs next: `count` at `pos` (when `needed`).
struct FileWant {
    bool needed = false;
    std::uint64_t pos = 0;
    std::size_t count = 0;
};

/// The same walk over the parts of a file read so far, for a reader that fetches the bytes
/// itself (many files at once). `fileEnd` is the file's length once a read came back short,
/// else UINT64_MAX. When the result says `needed`, read (at least) those bytes, add them as a
/// part and walk again; otherwise ok, the size and the shooting data are what
/// readPictureSizeAt gives for the same file.
FileWant readPictureSizeFromParts(const std::vector<FilePart>& parts, std::uint64_t fileEnd,
                                  long& pictureWidth, long& pictureHeight, ExifInfo* exifInfo,
                                  bool& ok);

/// The same on bytes already in memory (the start of the file, or all of it).
bool readPictureSizeFromBytes(const unsigned char* data, std::size_t size, long& pictureWidth,
                              long& pictureHeight, ExifInfo* exifInfo = nullptr);

} // namespace mivo
