// Any bytes as a picture file: the header reader must neither crash nor read outside them, a
// size it reports must be a real one, and reading the file in chunks must give the same
// answer as reading the bytes in memory, and so must a walk over parts read on demand (as the
// io_uring reader does). The captions met on the way, and those of the same bytes read as a
// PNG or WebP, are bounded, valid UTF-8.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "common/codepage.h"
#include "generation/pictures/picture_caption.h"
#include "generation/pictures/picture_header.h"

namespace {

/// A file of its own for the process, removed when the fuzzer exits.
struct PictureFile {
    std::string path;
    PictureFile()
        : path((std::filesystem::temp_directory_path() /
                ("mivo_fuzz_picture_" + std::to_string(::getpid()) + ".jpg"))
                   .string()) {}
    ~PictureFile() { std::remove(path.c_str()); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    long width = 0;
    long height = 0;
    const bool ok = mivo::readPictureSizeFromBytes(data, size, width, height);
    if (ok && (width <= 0 || height <= 0)) {
        std::abort();
    }
    // Reading the shooting data on the way must not change the size found.
    long exifWidth = 0;
    long exifHeight = 0;
    mivo::ExifInfo exif;
    if (mivo::readPictureSizeFromBytes(data, size, exifWidth, exifHeight, &exif) != ok ||
        (ok && (exifWidth != width || exifHeight != height))) {
        std::abort();
    }

    // Parts read on demand, each read 4 KiB at least, short where the bytes end.
    std::vector<mivo::FilePart> parts;
    std::uint64_t end = std::numeric_limits<std::uint64_t>::max();
    mivo::FileWant want{true, 0, 4096};
    long partsWidth = 0;
    long partsHeight = 0;
    mivo::ExifInfo partsExif;
    bool partsOk = false;
    for (int reads = 0; want.needed; ++reads) {
        if (reads > 10000) {
            std::abort(); // a walk that never ends
        }
        const std::size_t count = std::max<std::size_t>(want.count, 4096);
        mivo::FilePart part{want.pos, {}};
        if (want.pos < size) {
            const auto from = static_cast<std::size_t>(want.pos);
            part.bytes.assign(data + from, data + std::min(size, from + count));
        }
        if (part.bytes.size() < count) {
            end = want.pos + part.bytes.size();
        }
        parts.push_back(std::move(part));
        partsExif = mivo::ExifInfo{};
        want = mivo::readPictureSizeFromParts(parts, end, partsWidth, partsHeight, &partsExif,
                                              partsOk);
    }
    if (partsOk != ok || (ok && (partsWidth != width || partsHeight != height)) ||
        partsExif.model != exif.model || partsExif.dateTaken != exif.dateTaken ||
        partsExif.exposure != exif.exposure || partsExif.caption != exif.caption) {
        std::abort();
    }

    // A caption is text to show: never longer than its bound, never invalid UTF-8. The same
    // bytes as a PNG or WebP file go through the chunk reader.
    for (const std::string& caption :
         {exif.caption, mivo::readPictureCaptionFromBytes(
                            std::string_view(reinterpret_cast<const char*>(data), size))}) {
        if (mivo::sanitizeUtf8(caption) != caption ||
            caption.size() > mivo::kCaptionMostChars * 4) {
            std::abort();
        }
    }

    static const PictureFile file;
    // A fresh file each time: truncating one that holds data makes ext4 flush it on close.
    std::remove(file.path.c_str());
    std::FILE* out = std::fopen(file.path.c_str(), "wb");
    if (out == nullptr) {
        return 0;
    }
    const bool written = std::fwrite(data, 1, size, out) == size;
    if (std::fclose(out) != 0 || !written) {
        return 0;
    }
    long fileWidth = 0;
    long fileHeight = 0;
    const bool fileOk = mivo::readPictureSize(file.path, fileWidth, fileHeight);
    if (fileOk != ok || (ok && (fileWidth != width || fileHeight != height))) {
        std::abort();
    }
    return 0;
}
