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
/// With `outExif`, the shooting data of the picture's first EXIF block is read in the same
/// walk (left empty when there is none).
bool cmReadPictureSize(const std::string& path, long& outWidth, long& outHeight,
                       ExifInfo* outExif = nullptr);

/// The same for the file `name` of the folder open as `folderFd` (AT_FDCWD: `name` is a path),
/// opened relative to it and read without a stat. With `outOnDisk`, *outOnDisk is set when the
/// file's first bytes were not in the page cache (or the file system cannot tell), so a
/// caller learns that reads wait on the disk. With `fromDisk` the kernel reads ahead nothing:
/// from a disk, read-ahead would fetch the bytes between the EXIF start and the frame header
/// that are never looked at (measured: 15-25 % of a cold run).
bool cmReadPictureSizeAt(int folderFd, const char* name, long& outWidth, long& outHeight,
                         ExifInfo* outExif = nullptr, bool* outOnDisk = nullptr,
                         bool fromDisk = false);

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
/// part and walk again; otherwise outOk, the size and the shooting data are what
/// cmReadPictureSizeAt gives for the same file.
FileWant cmReadPictureSizeFromParts(const std::vector<FilePart>& parts, std::uint64_t fileEnd,
                                    long& outWidth, long& outHeight, ExifInfo* outExif,
                                    bool& outOk);

/// The same on bytes already in memory (the start of the file, or all of it).
bool cmReadPictureSizeFromBytes(const unsigned char* data, std::size_t size, long& outWidth,
                                long& outHeight, ExifInfo* outExif = nullptr);

} // namespace mivo
