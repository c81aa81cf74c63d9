#include "generation/pictures/header_ring.h"
#include "generation/pictures/picture_header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits>
#include <linux/magic.h>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace mivo {
namespace {

using Bytes = std::vector<unsigned char>;

// kBaselineJpeg: 40x30, baseline, written by an encoder
const Bytes kBaselineJpeg = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
    0x00, 0x01, 0x00, 0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x10, 0x0B, 0x0C, 0x0E, 0x0C, 0x0A, 0x10,
    0x0E, 0x0D, 0x0E, 0x12, 0x11, 0x10, 0x13, 0x18, 0x28, 0x1A, 0x18, 0x16, 0x16, 0x18, 0x31, 0x23,
    0x25, 0x1D, 0x28, 0x3A, 0x33, 0x3D, 0x3C, 0x39, 0x33, 0x38, 0x37, 0x40, 0x48, 0x5C, 0x4E, 0x40,
    0x44, 0x57, 0x45, 0x37, 0x38, 0x50, 0x6D, 0x51, 0x57, 0x5F, 0x62, 0x67, 0x68, 0x67, 0x3E, 0x4D,
    0x71, 0x79, 0x70, 0x64, 0x78, 0x5C, 0x65, 0x67, 0x63, 0xFF, 0xDB, 0x00, 0x43, 0x01, 0x11, 0x12,
    0x12, 0x18, 0x15, 0x18, 0x2F, 0x1A, 0x1A, 0x2F, 0x63, 0x42, 0x38, 0x42, 0x63, 0x63, 0x63, 0x63,
    0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63,
    0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63,
    0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0xFF, 0xC0,
    0x00, 0x11, 0x08, 0x00, 0x1E, 0x00, 0x28, 0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11,
    0x01, 0xFF, 0xC4, 0x00, 0x16, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x05, 0xFF, 0xC4, 0x00, 0x15, 0x10, 0x01, 0x01,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12,
    0xFF, 0xC4, 0x00, 0x15, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0xFF, 0xC4, 0x00, 0x16, 0x11, 0x01, 0x01, 0x01, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14, 0x01, 0xFF,
    0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00, 0xC2, 0xA2, 0x91,
    0xA2, 0x88, 0xD5, 0x55, 0x2D, 0x45, 0x23, 0x45, 0x11, 0x95, 0x2D, 0x42, 0x34, 0x11, 0x95, 0x21,
    0x45, 0x23, 0x45, 0x2B, 0x24, 0xC4, 0xCD, 0x5A, 0xB5, 0x14, 0x8D, 0x14, 0x49, 0x85, 0x5A, 0xB5,
    0x08, 0xD0, 0x49, 0x85, 0x5A, 0xFF, 0xD9,
};
// kProgressiveJpeg: 40x30, progressive, written by an encoder
const Bytes kProgressiveJpeg = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
    0x00, 0x01, 0x00, 0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x10, 0x0B, 0x0C, 0x0E, 0x0C, 0x0A, 0x10,
    0x0E, 0x0D, 0x0E, 0x12, 0x11, 0x10, 0x13, 0x18, 0x28, 0x1A, 0x18, 0x16, 0x16, 0x18, 0x31, 0x23,
    0x25, 0x1D, 0x28, 0x3A, 0x33, 0x3D, 0x3C, 0x39, 0x33, 0x38, 0x37, 0x40, 0x48, 0x5C, 0x4E, 0x40,
    0x44, 0x57, 0x45, 0x37, 0x38, 0x50, 0x6D, 0x51, 0x57, 0x5F, 0x62, 0x67, 0x68, 0x67, 0x3E, 0x4D,
    0x71, 0x79, 0x70, 0x64, 0x78, 0x5C, 0x65, 0x67, 0x63, 0xFF, 0xDB, 0x00, 0x43, 0x01, 0x11, 0x12,
    0x12, 0x18, 0x15, 0x18, 0x2F, 0x1A, 0x1A, 0x2F, 0x63, 0x42, 0x38, 0x42, 0x63, 0x63, 0x63, 0x63,
    0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63,
    0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63,
    0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0xFF, 0xC2,
    0x00, 0x11, 0x08, 0x00, 0x1E, 0x00, 0x28, 0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11,
    0x01, 0xFF, 0xC4, 0x00, 0x16, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x04, 0xFF, 0xC4, 0x00, 0x15, 0x01, 0x01, 0x01,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05,
    0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x10, 0x03, 0x10, 0x00, 0x00, 0x01, 0xC0, 0x82,
    0xAD, 0xA0, 0x5A, 0x04, 0x21, 0x5A, 0x65, 0xA0, 0x5A, 0x07, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40,
    0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x05, 0x02, 0x27, 0xFF, 0xC4, 0x00, 0x15, 0x11,
    0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x13, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x03, 0x01, 0x01, 0x3F, 0x01, 0xAA, 0xAA, 0xAA, 0xAA,
    0xAF, 0xFF, 0xC4, 0x00, 0x15, 0x11, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x13, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x02, 0x01, 0x01,
    0x3F, 0x01, 0x8A, 0x28, 0xA4, 0x92, 0x4F, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0xFF, 0xDA, 0x00,
    0x08, 0x01, 0x01, 0x00, 0x06, 0x3F, 0x02, 0x27, 0xFF, 0xC4, 0x00, 0x15, 0x10, 0x01, 0x01, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0xFF,
    0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x3F, 0x21, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA,
    0xAA, 0xAA, 0xAA, 0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x00, 0x00,
    0x10, 0xF3, 0xCF, 0x00, 0x00, 0x0F, 0xFF, 0xC4, 0x00, 0x16, 0x11, 0x01, 0x01, 0x01, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x10, 0xFF, 0xDA,
    0x00, 0x08, 0x01, 0x03, 0x01, 0x01, 0x3F, 0x10, 0xD1, 0x4A, 0x53, 0xFF, 0xC4, 0x00, 0x16, 0x11,
    0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x11, 0x10, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x02, 0x01, 0x01, 0x3F, 0x10, 0xD1, 0x29, 0x4B,
    0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x3F, 0x10,
    0x20, 0x00, 0x00, 0x7F, 0xFF, 0xD9,
};

constexpr std::size_t kSofOffset = 0x9E; // FF C0 of both fixtures

class TempFolder {
  public:
    TempFolder() {
        static std::atomic<int> counter{0};
        path_ =
            std::filesystem::temp_directory_path() /
            ("mivo_picture_header_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string write(const std::string& name, const Bytes& bytes) const {
        const std::string full = (path_ / name).string();
        std::ofstream out(full, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return full;
    }
    std::string path() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

void put16(Bytes& out, unsigned value, bool little) {
    if (little) {
        out.push_back(static_cast<unsigned char>(value & 0xFF));
        out.push_back(static_cast<unsigned char>(value >> 8));
    } else {
        out.push_back(static_cast<unsigned char>(value >> 8));
        out.push_back(static_cast<unsigned char>(value & 0xFF));
    }
}
void put32(Bytes& out, std::uint32_t value, bool little) {
    if (little) {
        put16(out, value & 0xFFFF, true);
        put16(out, value >> 16, true);
    } else {
        put16(out, value >> 16, false);
        put16(out, value & 0xFFFF, false);
    }
}

struct ExifOptions {
    bool little = true;
    unsigned orientation = 6; // 0: no orientation tag
    unsigned orientationType = 3;
    std::size_t segmentSize = 60 * 1024; // whole APP1 segment, marker included
    Bytes thumbnail;                     // JPEG kept in IFD1
    std::size_t modelAt = 0; // not 0: a Model tag whose text lies this far into the TIFF data
};

constexpr char kFarModel[] = "Far Camera";

/// An APP1 EXIF segment as cameras write it: IFD0 (Make, Orientation), IFD1 pointing at a
/// thumbnail JPEG, then filler up to the requested size (maker notes).
Bytes exifSegment(const ExifOptions& o) {
    Bytes tiff;
    tiff.push_back(o.little ? 'I' : 'M');
    tiff.push_back(o.little ? 'I' : 'M');
    put16(tiff, 42, o.little);
    put32(tiff, 8, o.little);
    const unsigned ifd0Count = (o.orientation != 0 ? 2 : 1) + (o.modelAt != 0 ? 1 : 0);
    const std::uint32_t ifd1 = 8 + 2 + 12 * ifd0Count + 4;
    put16(tiff, ifd0Count, o.little);
    put16(tiff, 0x010F, o.little); // Make, ASCII "Cam"
    put16(tiff, 2, o.little);
    put32(tiff, 4, o.little);
    tiff.insert(tiff.end(), {'C', 'a', 'm', 0});
    if (o.modelAt != 0) {
        put16(tiff, 0x0110, o.little); // Model, ASCII, far into the block
        put16(tiff, 2, o.little);
        put32(tiff, sizeof kFarModel, o.little);
        put32(tiff, static_cast<std::uint32_t>(o.modelAt), o.little);
    }
    if (o.orientation != 0) {
        put16(tiff, 0x0112, o.little);
        put16(tiff, o.orientationType, o.little);
        put32(tiff, 1, o.little);
        put16(tiff, o.orientation, o.little);
        put16(tiff, 0, o.little);
    }
    put32(tiff, ifd1, o.little);
    const std::uint32_t thumbAt = ifd1 + 2 + 24 + 4;
    put16(tiff, 2, o.little);
    put16(tiff, 0x0201, o.little);
    put16(tiff, 4, o.little);
    put32(tiff, 1, o.little);
    put32(tiff, thumbAt, o.little);
    put16(tiff, 0x0202, o.little);
    put16(tiff, 4, o.little);
    put32(tiff, 1, o.little);
    put32(tiff, static_cast<std::uint32_t>(o.thumbnail.size()), o.little);
    put32(tiff, 0, o.little);
    tiff.insert(tiff.end(), o.thumbnail.begin(), o.thumbnail.end());

    Bytes seg;
    seg.reserve(10 + tiff.size());
    seg = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    seg.insert(seg.end(), tiff.begin(), tiff.end());
    if (seg.size() < o.segmentSize) {
        seg.resize(o.segmentSize, 0x5A);
    }
    if (o.modelAt != 0) {
        std::copy(kFarModel, kFarModel + sizeof kFarModel, seg.begin() + 10 + o.modelAt);
    }
    const std::size_t length = seg.size() - 2;
    seg[2] = static_cast<unsigned char>(length >> 8);
    seg[3] = static_cast<unsigned char>(length & 0xFF);
    return seg;
}

/// A JPEG whose frame header says another size: a thumbnail that must never be measured.
Bytes thumbnailJpeg() {
    Bytes thumb = kBaselineJpeg;
    thumb[kSofOffset + 5] = 0x00; // height 120
    thumb[kSofOffset + 6] = 0x78;
    thumb[kSofOffset + 7] = 0x00; // width 160
    thumb[kSofOffset + 8] = 0xA0;
    return thumb;
}

/// The picture with `segments` inserted right after its SOI.
Bytes withSegments(const Bytes& jpeg, const Bytes& segments) {
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), segments.begin(), segments.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

struct Size {
    bool ok = false;
    long width = -1;
    long height = -1;
};

Size measure(const Bytes& bytes) {
    Size s;
    s.ok = readPictureSizeFromBytes(bytes.data(), bytes.size(), s.width, s.height);
    return s;
}

Size measureFile(const std::string& path) {
    Size s;
    s.ok = readPictureSize(path, s.width, s.height);
    return s;
}

/// The same file by its name in its folder, the way the workers of a run read it: no stat,
/// so the file's end is wherever a read comes back short.
Size measureAt(const std::string& folder, const std::string& name, bool* onDisk = nullptr,
               bool fromDisk = false) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    Size s;
    s.ok = readPictureSizeAt(fd, name.c_str(), s.width, s.height, nullptr, onDisk, fromDisk);
    ::close(fd);
    return s;
}

Bytes gif(const char* version, unsigned width, unsigned height) {
    // One 1x1 frame on a logical screen of the given size.
    Bytes out(version, version + 6);
    put16(out, width, true);
    put16(out, height, true);
    const Bytes rest = {0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00,
                        0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
                        0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

/// A 1-bit BMP with BITMAPINFOHEADER (headerSize 40) or BITMAPCOREHEADER (12), pixel rows
/// included.
Bytes bmp(std::uint32_t headerSize, std::int32_t width, std::int32_t height) {
    const std::uint32_t rowBytes = ((static_cast<std::uint32_t>(width) + 31) / 32) * 4;
    const std::uint32_t rows = static_cast<std::uint32_t>(height < 0 ? -height : height);
    const std::uint32_t paletteBytes = headerSize == 12 ? 6 : 8;
    const std::uint32_t dataAt = 14 + headerSize + paletteBytes;
    Bytes out = {'B', 'M'};
    put32(out, dataAt + rowBytes * rows, true);
    put32(out, 0, true);
    put32(out, dataAt, true);
    put32(out, headerSize, true);
    if (headerSize == 12) {
        put16(out, static_cast<unsigned>(width), true);
        put16(out, static_cast<unsigned>(height), true);
        put16(out, 1, true);
        put16(out, 1, true);
        out.insert(out.end(), {0, 0, 0, 0xFF, 0xFF, 0xFF});
    } else {
        put32(out, static_cast<std::uint32_t>(width), true);
        put32(out, static_cast<std::uint32_t>(height), true);
        put16(out, 1, true);
        put16(out, 1, true);
        put32(out, 0, true);
        put32(out, rowBytes * rows, true);
        put32(out, 2835, true);
        put32(out, 2835, true);
        put32(out, 2, true);
        put32(out, 0, true);
        out.insert(out.end(), {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0});
    }
    out.resize(dataAt + rowBytes * rows, 0);
    return out;
}

Bytes cut(const Bytes& bytes, std::size_t size) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

TEST(PictureHeader, JpegFramesOfEveryKindGiveTheirSize) {
    EXPECT_EQ(measure(kBaselineJpeg).width, 40);
    EXPECT_EQ(measure(kBaselineJpeg).height, 30);
    const Size progressive = measure(kProgressiveJpeg);
    EXPECT_TRUE(progressive.ok);
    EXPECT_EQ(progressive.width, 40);
    EXPECT_EQ(progressive.height, 30);
    for (unsigned marker :
         {0xC1u, 0xC3u, 0xC5u, 0xC6u, 0xC7u, 0xC9u, 0xCAu, 0xCBu, 0xCDu, 0xCEu, 0xCFu}) {
        Bytes jpeg = kBaselineJpeg;
        jpeg[kSofOffset + 1] = static_cast<unsigned char>(marker);
        const Size s = measure(jpeg);
        EXPECT_TRUE(s.ok) << std::hex << marker;
        EXPECT_EQ(s.width, 40) << std::hex << marker;
        EXPECT_EQ(s.height, 30) << std::hex << marker;
    }
}

TEST(PictureHeader, LargeExifWithThumbnailAndOrientationSixGivesTurnedSize) {
    ExifOptions o;
    o.thumbnail = thumbnailJpeg();
    ASSERT_EQ(measure(o.thumbnail).width, 160);
    const Bytes exif = exifSegment(o);
    ASSERT_EQ(exif.size(), 60u * 1024u);
    TempFolder dir;
    for (const Bytes* picture : {&kBaselineJpeg, &kProgressiveJpeg}) {
        const Bytes jpeg = withSegments(*picture, exif);
        const Size s = measureFile(dir.write("camera.jpg", jpeg));
        EXPECT_TRUE(s.ok);
        EXPECT_EQ(s.width, 30); // portrait as the browser shows it
        EXPECT_EQ(s.height, 40);
    }
}

TEST(PictureHeader, ExifOrientationInBothByteOrders) {
    struct Case {
        bool little;
        unsigned orientation;
        long width;
        long height;
    };
    for (const Case& c : {Case{true, 1, 40, 30}, Case{false, 3, 40, 30}, Case{true, 4, 40, 30},
                          Case{false, 5, 30, 40}, Case{true, 6, 30, 40}, Case{false, 7, 30, 40},
                          Case{false, 8, 30, 40}, Case{true, 9, 40, 30}, Case{true, 0, 40, 30}}) {
        ExifOptions o;
        o.little = c.little;
        o.orientation = c.orientation;
        o.segmentSize = 200;
        const Size s = measure(withSegments(kBaselineJpeg, exifSegment(o)));
        EXPECT_TRUE(s.ok);
        EXPECT_EQ(s.width, c.width) << c.orientation << (c.little ? " II" : " MM");
        EXPECT_EQ(s.height, c.height) << c.orientation << (c.little ? " II" : " MM");
    }
    // An orientation stored as anything but one SHORT is not trusted.
    ExifOptions wrongType;
    wrongType.orientationType = 4;
    wrongType.segmentSize = 200;
    EXPECT_EQ(measure(withSegments(kBaselineJpeg, exifSegment(wrongType))).width, 40);
}

TEST(PictureHeader, BrokenExifIsIgnoredWithoutReadingPastIt) {
    ExifOptions o;
    o.segmentSize = 100;
    const Bytes good = exifSegment(o);
    // IFD0 offset pointing past the segment, into the frame header that follows.
    Bytes farIfd = good;
    farIfd[14] = 0xF0;
    farIfd[15] = 0xFF;
    EXPECT_EQ(measure(withSegments(kBaselineJpeg, farIfd)).width, 40);
    // An entry count that runs past the segment.
    Bytes manyEntries = good;
    manyEntries[18] = 0xFF;
    manyEntries[19] = 0xFF;
    EXPECT_EQ(measure(withSegments(kBaselineJpeg, manyEntries)).width, 40);
    // Neither TIFF byte order.
    Bytes noOrder = good;
    noOrder[10] = 'X';
    EXPECT_EQ(measure(withSegments(kBaselineJpeg, noOrder)).width, 40);
    // An XMP block before the EXIF one does not hide its orientation.
    const std::string xmpId = "http://ns.adobe.com/xap/1.0/";
    Bytes xmp = {0xFF, 0xE1, 0, static_cast<unsigned char>(xmpId.size() + 3)};
    xmp.insert(xmp.end(), xmpId.begin(), xmpId.end());
    xmp.push_back(0);
    Bytes both = xmp;
    both.insert(both.end(), good.begin(), good.end());
    EXPECT_EQ(measure(withSegments(kBaselineJpeg, both)).width, 30);
    // Only the first EXIF block counts.
    ExifOptions upright = o;
    upright.orientation = 1;
    Bytes twoExif = exifSegment(upright);
    twoExif.insert(twoExif.end(), good.begin(), good.end());
    EXPECT_EQ(measure(withSegments(kBaselineJpeg, twoExif)).width, 40);
}

TEST(PictureHeader, MarkerWalkSkipsFillBytesLengthlessMarkersAndLookalikes) {
    // Segments that are not frame headers but carry the same bytes as a 1x1 frame.
    const Bytes fake = {0x00, 0x08, 0x08, 0x00, 0x01, 0x00, 0x01, 0x01};
    Bytes segments;
    for (unsigned char marker : {0xC4, 0xC8, 0xCC, 0xE0, 0xEF, 0xFE, 0xDB, 0xDD}) {
        segments.insert(segments.end(), {0xFF, 0xFF, 0xFF, marker}); // with fill bytes
        segments.insert(segments.end(), fake.begin(), fake.end());
    }
    segments.insert(segments.end(), {0xFF, 0x01, 0xFF, 0xD0, 0xFF, 0xD7});
    const Size s = measure(withSegments(kBaselineJpeg, segments));
    EXPECT_TRUE(s.ok);
    EXPECT_EQ(s.width, 40);
    EXPECT_EQ(s.height, 30);
}

TEST(PictureHeader, JpegWithoutUsableFrameHeaderFails) {
    ExifOptions o;
    o.thumbnail = thumbnailJpeg();
    const Bytes camera = withSegments(kBaselineJpeg, exifSegment(o));
    // Cut inside the EXIF block (the thumbnail is there, the frame header is not).
    EXPECT_FALSE(measure(cut(camera, 2048)).ok);
    // Cut inside the frame header, and right after it.
    const std::size_t sof = camera.size() - kBaselineJpeg.size() + kSofOffset;
    EXPECT_FALSE(measure(cut(camera, sof + 8)).ok);
    const Size afterFrame = measure(cut(camera, sof + 9));
    EXPECT_TRUE(afterFrame.ok);
    EXPECT_EQ(afterFrame.width, 30);
    Bytes zeroWidth = kBaselineJpeg;
    zeroWidth[kSofOffset + 7] = 0;
    zeroWidth[kSofOffset + 8] = 0;
    EXPECT_FALSE(measure(zeroWidth).ok);
    Bytes zeroHeight = kBaselineJpeg;
    zeroHeight[kSofOffset + 5] = 0;
    zeroHeight[kSofOffset + 6] = 0;
    EXPECT_FALSE(measure(zeroHeight).ok);
    Bytes shortFrame = kBaselineJpeg;
    shortFrame[kSofOffset + 3] = 5;
    EXPECT_FALSE(measure(shortFrame).ok);
    // Scan data or the end before any frame header.
    EXPECT_FALSE(measure(withSegments(kBaselineJpeg, {0xFF, 0xDA, 0x00, 0x02})).ok);
    EXPECT_FALSE(measure(withSegments(kBaselineJpeg, {0xFF, 0xD9})).ok);
    // A segment length below two would walk backwards.
    EXPECT_FALSE(measure(withSegments(kBaselineJpeg, {0xFF, 0xE0, 0x00, 0x01})).ok);
    EXPECT_FALSE(measure(withSegments(kBaselineJpeg, {0xFF, 0xE0, 0x00, 0x00})).ok);
    EXPECT_FALSE(measure(Bytes{0xFF, 0xD8, 0xFF}).ok);
    EXPECT_FALSE(measure(Bytes{0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}).ok);
}

TEST(PictureHeader, FileReadInChunksAgreesWithBytesInMemory) {
    ExifOptions o;
    o.thumbnail = thumbnailJpeg();
    // Filler bytes 0xFF put fill-byte runs and a marker right at the chunk edges.
    Bytes filler(5000, 0xFF);
    filler.insert(filler.end(), {0xFF, 0xFE, 0x00, 0x02});
    const Bytes camera = withSegments(kProgressiveJpeg, exifSegment(o));
    const Bytes filled = withSegments(kBaselineJpeg, filler);
    TempFolder dir;
    for (const Bytes* picture : {&camera, &filled}) {
        std::vector<std::size_t> lengths;
        for (std::size_t edge = 4096; edge < picture->size(); edge += 4096) {
            for (std::size_t n = edge - 12; n <= edge + 12 && n <= picture->size(); ++n) {
                lengths.push_back(n);
            }
        }
        for (std::size_t n = picture->size() - kBaselineJpeg.size() + kSofOffset;
             n <= picture->size(); ++n) {
            lengths.push_back(n);
        }
        for (std::size_t n : lengths) {
            const Bytes part = cut(*picture, n);
            const Size fromMemory = measure(part);
            const std::string name = "part" + std::to_string(n) + ".jpg";
            const Size fromFile = measureFile(dir.write(name, part));
            EXPECT_EQ(fromFile.ok, fromMemory.ok) << n;
            EXPECT_EQ(fromFile.width, fromMemory.width) << n;
            EXPECT_EQ(fromFile.height, fromMemory.height) << n;
            for (const bool fromDisk : {false, true}) {
                const Size byName = measureAt(dir.path(), name, nullptr, fromDisk);
                EXPECT_EQ(byName.ok, fromMemory.ok) << n;
                EXPECT_EQ(byName.width, fromMemory.width) << n;
                EXPECT_EQ(byName.height, fromMemory.height) << n;
            }
        }
        EXPECT_TRUE(measureFile(dir.write("whole.jpg", *picture)).ok);
    }
}

struct PartsWalk {
    Size size;
    ExifInfo exif;
    int reads = 0;
};

/// Measures `file` the way the io_uring reader does: each read fetches what the last walk
/// asked for (4 KiB at least), and the walk starts again over every part read so far.
PartsWalk measureInParts(const Bytes& file) {
    PartsWalk r;
    std::vector<FilePart> parts;
    std::uint64_t end = std::numeric_limits<std::uint64_t>::max();
    FileWant want{true, 0, 4096};
    while (want.needed && r.reads < 50) {
        ++r.reads;
        const std::size_t count = std::max<std::size_t>(want.count, 4096);
        FilePart part{want.pos, {}};
        if (want.pos < file.size()) {
            const auto from = static_cast<std::size_t>(want.pos);
            part.bytes.assign(file.begin() + static_cast<long>(from),
                              file.begin() +
                                  static_cast<long>(std::min(file.size(), from + count)));
        }
        if (part.bytes.size() < count) {
            end = want.pos + part.bytes.size();
        }
        parts.push_back(std::move(part));
        r.exif = ExifInfo{};
        want =
            readPictureSizeFromParts(parts, end, r.size.width, r.size.height, &r.exif, r.size.ok);
    }
    return r;
}

TEST(PictureHeader, PartsReadOnDemandAgreeWithBytesInMemory) {
    ExifOptions thumb;
    thumb.thumbnail = thumbnailJpeg();
    ExifOptions far;
    far.modelAt = 50 * 1024; // read whole only after its first 4 KiB
    Bytes filler(5000, 0xFF);
    filler.insert(filler.end(), {0xFF, 0xFE, 0x00, 0x02});
    const Bytes camera = withSegments(kProgressiveJpeg, exifSegment(thumb));
    const Bytes farModel = withSegments(kBaselineJpeg, exifSegment(far));
    const Bytes filled = withSegments(kBaselineJpeg, filler);
    const Bytes others[] = {gif("GIF89a", 640, 480), bmp(40, 640, -480), bmp(12, 300, 200), Bytes{},
                            Bytes{0xFF, 0xD8, 0xFF}};
    std::vector<std::pair<const Bytes*, std::size_t>> cases;
    for (const Bytes* picture : {&camera, &farModel, &filled}) {
        for (std::size_t n = 0; n <= picture->size(); n += 61) {
            cases.emplace_back(picture, n);
        }
        for (std::size_t n = picture->size() - kBaselineJpeg.size() + kSofOffset;
             n <= picture->size(); ++n) {
            cases.emplace_back(picture, n);
        }
    }
    for (const Bytes& other : others) {
        for (std::size_t n = 0; n <= other.size(); ++n) {
            cases.emplace_back(&other, n);
        }
    }
    for (const auto& [picture, n] : cases) {
        const Bytes part = cut(*picture, n);
        Size fromMemory;
        ExifInfo exif;
        fromMemory.ok = readPictureSizeFromBytes(part.data(), part.size(), fromMemory.width,
                                                 fromMemory.height, &exif);
        const PartsWalk walked = measureInParts(part);
        EXPECT_EQ(walked.size.ok, fromMemory.ok) << n;
        EXPECT_EQ(walked.size.width, fromMemory.width) << n;
        EXPECT_EQ(walked.size.height, fromMemory.height) << n;
        EXPECT_EQ(walked.exif.model, exif.model) << n;
    }
    // One read for each place the walk looks at: the start, then the frame header past the
    // 60 KiB EXIF block; a Model far into its block costs the block, read once.
    const PartsWalk whole = measureInParts(camera);
    EXPECT_EQ(whole.size.width, 30); // orientation 6 turns 40 x 30
    EXPECT_EQ(whole.reads, 2);
    const PartsWalk withModel = measureInParts(farModel);
    EXPECT_EQ(withModel.exif.model, kFarModel);
    EXPECT_LE(withModel.reads, 4);
}

TEST(HeaderRing, ReadsEveryPictureAsThePlainReaderDoes) {
    std::unique_ptr<HeaderRing> ring = HeaderRing::open(3);
    if (ring == nullptr) {
        GTEST_SKIP() << "the kernel offers no io_uring here";
    }
    TempFolder dir;
    ExifOptions far;
    far.modelAt = 50 * 1024;
    const Bytes camera = withSegments(kProgressiveJpeg, exifSegment(far));
    // Twenty segments of 5,000 bytes before the frame: more reads than the ring makes for one
    // picture, so the rest is read the plain way.
    Bytes segments;
    for (int i = 0; i < 20; ++i) {
        const Bytes segment = {0xFF, 0xE2, 0x13, 0x88};
        segments.insert(segments.end(), segment.begin(), segment.end());
        segments.resize(segments.size() + 5000 - 2, 0x11);
    }
    std::vector<std::string> names;
    const auto add = [&](const std::string& name, const Bytes& bytes) {
        dir.write(name, bytes);
        names.push_back(name);
    };
    add("camera.jpg", camera);
    add("cut-in-exif.jpg", cut(camera, 3000));
    add("cut-at-frame.jpg", cut(camera, camera.size() - kBaselineJpeg.size() + kSofOffset + 8));
    add("segments.jpg", withSegments(kBaselineJpeg, segments));
    add("screen.gif", gif("GIF89a", 640, 480));
    add("top-down.bmp", bmp(40, 640, -480));
    add("empty.jpg", Bytes{});
    add("text.jpg", Bytes{'h', 'e', 'l', 'l', 'o'});
    std::filesystem::create_directory(dir.path() + "/folder.jpg");
    names.emplace_back("folder.jpg");
    ASSERT_EQ(::mkfifo((dir.path() + "/pipe.jpg").c_str(), 0600), 0);
    names.emplace_back("pipe.jpg");
    names.emplace_back("missing.jpg");
    for (int i = 0; i < 12; ++i) {
        add("copy" + std::to_string(i) + ".jpg", camera);
    }

    const int folderFd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    std::vector<HeaderRing::Finished> results;
    std::vector<int> seen(names.size(), 0);
    std::size_t next = 0;
    while (next < names.size() || !ring->idle()) {
        while (ring->room() > 0 && next < names.size()) {
            ring->start(next, folderFd, names[next].c_str(), true);
            ++next;
        }
        const std::size_t before = results.size();
        ring->finish(results);
        ASSERT_GT(results.size(), before);
    }
    for (const HeaderRing::Finished& f : results) {
        ASSERT_LT(f.index, names.size());
        ++seen[f.index];
        Size plain;
        ExifInfo exif;
        plain.ok =
            readPictureSizeAt(folderFd, names[f.index].c_str(), plain.width, plain.height, &exif);
        EXPECT_EQ(f.size.ok, plain.ok) << names[f.index];
        if (plain.ok) {
            EXPECT_EQ(f.size.width, plain.width) << names[f.index];
            EXPECT_EQ(f.size.height, plain.height) << names[f.index];
        }
        EXPECT_EQ(f.size.exif.model, exif.model) << names[f.index];
        const std::string& name = names[f.index];
        if (name == "camera.jpg" || name.starts_with("copy")) {
            EXPECT_EQ(f.size.width, 30) << name; // turned by orientation 6
            EXPECT_EQ(f.size.exif.model, kFarModel) << name;
        }
        if (name == "segments.jpg") {
            EXPECT_TRUE(f.size.ok);
            EXPECT_EQ(f.size.width, 40);
        }
    }
    ::close(folderFd);
    EXPECT_EQ(seen, std::vector<int>(names.size(), 1)); // each picture once
}

TEST(PictureHeader, GifLogicalScreenSize) {
    for (const char* version : {"GIF87a", "GIF89a"}) {
        const Size s = measure(gif(version, 640, 480));
        EXPECT_TRUE(s.ok) << version;
        EXPECT_EQ(s.width, 640) << version;
        EXPECT_EQ(s.height, 480) << version;
    }
    EXPECT_EQ(measure(gif("GIF89a", 65535, 1)).width, 65535);
    EXPECT_TRUE(measure(cut(gif("GIF89a", 640, 480), 10)).ok);
    EXPECT_FALSE(measure(cut(gif("GIF89a", 640, 480), 9)).ok);
    EXPECT_FALSE(measure(cut(gif("GIF89a", 640, 480), 8)).ok);
    EXPECT_FALSE(measure(gif("GIF89a", 640, 0)).ok);
    EXPECT_FALSE(measure(gif("GIF89a", 0, 480)).ok);
    EXPECT_FALSE(measure(gif("GIF88a", 640, 480)).ok);
}

TEST(PictureHeader, BmpHeadersBottomUpAndTopDown) {
    const Size info = measure(bmp(40, 640, 480));
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(info.height, 480);
    const Size topDown = measure(bmp(40, 640, -480));
    EXPECT_TRUE(topDown.ok);
    EXPECT_EQ(topDown.height, 480);
    const Size core = measure(bmp(12, 300, 200));
    EXPECT_TRUE(core.ok);
    EXPECT_EQ(core.width, 300);
    EXPECT_EQ(core.height, 200);
    // A later header (BITMAPV5HEADER) keeps the same fields.
    Bytes v5 = bmp(40, 64, 32);
    v5[14] = 124;
    EXPECT_EQ(measure(v5).width, 64);

    EXPECT_FALSE(measure(bmp(40, 0, 480)).ok);
    EXPECT_FALSE(measure(bmp(40, 640, 0)).ok);
    EXPECT_FALSE(measure(bmp(12, 0, 200)).ok);
    Bytes negativeWidth = bmp(40, 16, 16);
    negativeWidth[21] = 0xFF; // top byte set: a negative width
    EXPECT_FALSE(measure(negativeWidth).ok);
    Bytes lowestHeight = bmp(40, 16, 16);
    lowestHeight[22] = 0;
    lowestHeight[23] = 0;
    lowestHeight[24] = 0;
    lowestHeight[25] = 0x80; // INT32_MIN has no positive counterpart
    EXPECT_FALSE(measure(lowestHeight).ok);
    Bytes unknownHeader = bmp(40, 64, 32);
    unknownHeader[14] = 20;
    EXPECT_FALSE(measure(unknownHeader).ok);
    EXPECT_FALSE(measure(cut(bmp(40, 640, 480), 25)).ok);
    EXPECT_TRUE(measure(cut(bmp(40, 640, 480), 26)).ok);
    EXPECT_FALSE(measure(cut(bmp(12, 300, 200), 21)).ok);
}

TEST(PictureHeader, FilesAreRecognisedByContentNotName) {
    TempFolder dir;
    const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D,
                       'I',  'H', 'D', 'R', 0,    0,    2,    0x80, 0, 0, 1, 0xE0};
    EXPECT_FALSE(measureFile(dir.write("photo.jpg", png)).ok);
    const Size gifAsJpg = measureFile(dir.write("anim.JPG", gif("GIF89a", 640, 480)));
    EXPECT_TRUE(gifAsJpg.ok);
    EXPECT_EQ(gifAsJpg.width, 640);
    EXPECT_EQ(measureFile(dir.write("noext", bmp(40, 8, 8))).width, 8);

    Bytes garbage(5000);
    std::uint32_t seed = 12345;
    for (auto& b : garbage) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<unsigned char>(seed >> 24);
    }
    EXPECT_FALSE(measureFile(dir.write("garbage.jpg", garbage)).ok);
    EXPECT_FALSE(measureFile(dir.write("empty.jpg", {})).ok);
    EXPECT_FALSE(measureFile(dir.path() + "/missing.jpg").ok);
    EXPECT_FALSE(measureFile(dir.path()).ok);
    EXPECT_FALSE(measure(Bytes{}).ok);
    long w = 7;
    long h = 7;
    EXPECT_FALSE(readPictureSizeFromBytes(nullptr, 10, w, h));
    EXPECT_EQ(w, 7); // outputs untouched on failure
}

TEST(PictureHeader, FifoIsRefusedWithoutWaitingForAWriter) {
    TempFolder dir;
    const std::string fifo = dir.path() + "/pipe.jpg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(measureFile(fifo).ok);
    // Read by name without a stat, as a run's workers do: a FIFO or a folder that took a
    // listed picture's place fails its read, and an empty file has no header.
    EXPECT_FALSE(measureAt(dir.path(), "pipe.jpg").ok);
    std::filesystem::create_directory(dir.path() + "/folder.jpg");
    EXPECT_FALSE(measureAt(dir.path(), "folder.jpg").ok);
    dir.write("empty.jpg", Bytes{});
    EXPECT_FALSE(measureAt(dir.path(), "empty.jpg").ok);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(PictureHeader, FirstReadTellsWhenThePictureIsNotInThePageCache) {
    TempFolder dir;
    struct statfs fs {};
    if (::statfs(dir.path().c_str(), &fs) == 0 && fs.f_type == TMPFS_MAGIC) {
        GTEST_SKIP() << "a tmpfs file lives in the page cache";
    }
    // Large enough to have blocks of its own: a few hundred bytes may be kept inside the inode,
    // whose block stays cached, and then the read finds them without waiting.
    Bytes picture = kProgressiveJpeg;
    picture.resize(256 * 1024, 0);
    const std::string path = dir.write("camera.jpg", picture);
    // Written back and dropped from the page cache, the next read has to go to the disk. The
    // kernel may keep the pages all the same (a busy machine, another reader), so a try counts
    // only when mincore shows the first page gone. Even then the read that may not wait starts
    // readahead first, and a virtual disk served from the host's cache now and then has the
    // page in before the read looks, try after try: that machine cannot show a cold read.
    int dropped = 0;
    bool onDisk = false;
    for (int attempt = 0; attempt < 20 && !onDisk; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::fdatasync(fd), 0);
        ASSERT_EQ(::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED), 0);
        void* map = ::mmap(nullptr, 1, PROT_READ, MAP_SHARED, fd, 0);
        ASSERT_NE(map, MAP_FAILED);
        unsigned char resident = 1;
        ASSERT_EQ(::mincore(map, 1, &resident), 0);
        ::munmap(map, 1);
        ::close(fd);
        const Size s = measureAt(dir.path(), "camera.jpg", &onDisk);
        EXPECT_TRUE(s.ok);
        EXPECT_EQ(s.width, 40);
        if ((resident & 1) == 0) {
            ++dropped;
        }
    }
    if (dropped == 0) {
        GTEST_SKIP() << "the kernel kept the picture's pages through twenty drops";
    }
    if (!onDisk) {
        GTEST_SKIP() << "the disk had the page in before each of " << dropped << " reads looked";
    }
    // The read just brought the pages in: the next one finds them there.
    bool again = false;
    EXPECT_TRUE(measureAt(dir.path(), "camera.jpg", &again).ok);
    EXPECT_FALSE(again);
    if (!dropped) {
        GTEST_SKIP() << "the kernel kept the picture's pages through twenty drops";
    }
}

TEST(PictureHeader, NamesWithJapaneseSpacesAndSignsAreOpened) {
    TempFolder dir;
    for (const char* name : {"写真 1.jpg", "a #1.jpg", "100%.jpg", "café.JPG", "日本語 #%é.jpeg"}) {
        const Size s = measureFile(dir.write(name, kProgressiveJpeg));
        EXPECT_TRUE(s.ok) << name;
        EXPECT_EQ(s.width, 40) << name;
    }
}

} // namespace
} // namespace mivo
