#pragma once

#include <cstddef>
#include <string>

#include "generation/exif_info.h"

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

/// The same on bytes already in memory (the start of the file, or all of it).
bool cmReadPictureSizeFromBytes(const unsigned char* data, std::size_t size, long& outWidth,
                                long& outHeight, ExifInfo* outExif = nullptr);

} // namespace mivo
