#include "generation/pictures/exif_info.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "generation/pictures/picture_header.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using Bytes = std::vector<unsigned char>;

/// A TIFF structure as cameras write it: IFD0 with the model and a pointer to the Exif IFD,
/// which holds exposure, f-number, ISO, date taken, focal length and lens.
class TiffBuilder {
  public:
    /// `padBeforeLens` bytes of other data (a maker note, say) come before the lens name.
    explicit TiffBuilder(bool little, std::size_t padBeforeLens = 0)
        : little_(little), pad_(padBeforeLens) {}

    Bytes build() {
        // Layout: header (8), IFD0 (2 + 3*12 + 4), Exif IFD (2 + 6*12 + 4), then the data.
        const std::uint32_t ifd0 = 8;
        const std::uint32_t exif = ifd0 + 2 + 3 * 12 + 4;
        std::uint32_t data = exif + 2 + 6 * 12 + 4;
        Bytes out;
        if (little_) {
            out = {'I', 'I', 0x2A, 0};
        } else {
            out = {'M', 'M', 0, 0x2A};
        }
        put32(out, ifd0);
        Bytes tail;
        auto ascii = [&](const std::string& text) {
            const std::uint32_t at = data + static_cast<std::uint32_t>(tail.size());
            tail.insert(tail.end(), text.begin(), text.end());
            tail.push_back(0);
            if (tail.size() % 2) {
                tail.push_back(0);
            }
            return at;
        };
        auto rational = [&](std::uint32_t num, std::uint32_t den) {
            const std::uint32_t at = data + static_cast<std::uint32_t>(tail.size());
            put32(tail, num);
            put32(tail, den);
            return at;
        };
        put16(out, 3);
        entry(out, 0x0110, 2, 13, ascii("MV-1 Mark II"));
        entry(out, 0x0112, 3, 1, shortValue(6));
        entry(out, 0x8769, 4, 1, exif);
        put32(out, 0);
        put16(out, 6);
        entry(out, 0x829A, 5, 1, rational(1, 250));
        entry(out, 0x829D, 5, 1, rational(28, 10));
        entry(out, 0x8827, 3, 1, shortValue(400));
        entry(out, 0x9003, 2, 20, ascii("2025:04:05 06:07:08"));
        entry(out, 0x920A, 5, 1, rational(350, 10));
        tail.insert(tail.end(), pad_, 0x55);
        entry(out, 0xA434, 2, 16, ascii("MV 24-70mm F2.8"));
        put32(out, 0);
        out.insert(out.end(), tail.begin(), tail.end());
        return out;
    }

  private:
    // A SHORT value sits in the first two bytes of the value field.
    std::uint32_t shortValue(std::uint16_t v) const {
        return little_ ? v : static_cast<std::uint32_t>(v) << 16;
    }
    void put16(Bytes& b, std::uint16_t v) const {
        if (little_) {
            b.push_back(v & 0xFF);
            b.push_back(v >> 8);
        } else {
            b.push_back(v >> 8);
            b.push_back(v & 0xFF);
        }
    }
    void put32(Bytes& b, std::uint32_t v) const {
        for (int i = 0; i < 4; ++i) {
            const int shift = little_ ? 8 * i : 24 - 8 * i;
            b.push_back(static_cast<unsigned char>((v >> shift) & 0xFF));
        }
    }
    void entry(Bytes& b, std::uint16_t tag, std::uint16_t type, std::uint32_t count,
               std::uint32_t value) const {
        put16(b, tag);
        put16(b, type);
        put32(b, count);
        put32(b, value);
    }
    bool little_;
    std::size_t pad_;
};

TEST(ExifInfo, ShootingDataInBothByteOrders) {
    for (const bool little : {true, false}) {
        SCOPED_TRACE(little ? "II" : "MM");
        const Bytes tiff = TiffBuilder(little).build();
        ExifInfo info;
        ASSERT_TRUE(readExifInfo(tiff.data(), tiff.size(), info));
        EXPECT_EQ(info.model, "MV-1 Mark II");
        EXPECT_EQ(info.dateTaken, "2025-04-05 06:07:08");
        EXPECT_EQ(info.exposure, "1/250 s");
        EXPECT_EQ(info.fNumber, "f/2.8");
        EXPECT_EQ(info.iso, "ISO 400");
        EXPECT_EQ(info.focalLength, "35 mm");
        EXPECT_EQ(info.lens, "MV 24-70mm F2.8");
    }
}

TEST(ExifInfo, TruncatedOrForeignBytesGiveNothingAndNeverReadPastTheEnd) {
    const Bytes tiff = TiffBuilder(true).build();
    // Every cut of the block: whatever is left whole is read, the rest is dropped.
    for (std::size_t size = 0; size < tiff.size(); ++size) {
        const Bytes cut(tiff.begin(), tiff.begin() + static_cast<long>(size));
        ExifInfo info;
        readExifInfo(cut.data(), cut.size(), info);
        if (size < 60) {
            EXPECT_TRUE(info.empty()) << size;
        }
    }
    const Bytes xmp = {'<', 'x', ':', 'x', 'm', 'p', 'm', 'e', 't', 'a'};
    ExifInfo info;
    EXPECT_FALSE(readExifInfo(xmp.data(), xmp.size(), info));
    EXPECT_TRUE(info.empty());
}

/// A JPEG of 40 x 30: SOI, APP1 "Exif" with `tiff`, then a baseline frame header.
Bytes jpegWith(const Bytes& tiff) {
    // SOI, APP1 "Exif" with the block, then a baseline frame header of 40 x 30.
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE1};
    const std::size_t length = 2 + 6 + tiff.size();
    jpeg.push_back(static_cast<unsigned char>(length >> 8));
    jpeg.push_back(static_cast<unsigned char>(length & 0xFF));
    const std::string id("Exif\0\0", 6);
    jpeg.insert(jpeg.end(), id.begin(), id.end());
    jpeg.insert(jpeg.end(), tiff.begin(), tiff.end());
    const Bytes frame = {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x1E, 0x00, 0x28, 0x03, 0x01,
                         0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01, 0xFF, 0xD9};
    jpeg.insert(jpeg.end(), frame.begin(), frame.end());
    return jpeg;
}

TEST(ExifInfo, TheSizeWalkHandsTheShootingDataBackAndKeepsTheOrientation) {
    const Bytes jpeg = jpegWith(TiffBuilder(false).build());
    long width = 0;
    long height = 0;
    ExifInfo info;
    ASSERT_TRUE(readPictureSizeFromBytes(jpeg.data(), jpeg.size(), width, height, &info));
    EXPECT_EQ(width, 30); // orientation 6 turns 40 x 30 upright
    EXPECT_EQ(height, 40);
    EXPECT_EQ(info.model, "MV-1 Mark II");
    EXPECT_EQ(info.iso, "ISO 400");
}

TEST(ExifInfo, AValueFarIntoALongBlockIsReadFromAFileAsFromMemory) {
    // The lens name behind 20 KiB of other data: past what the first reads of a file hold.
    const Bytes far = TiffBuilder(true, 20000).build();
    ExifInfo part;
    bool complete = true;
    ASSERT_TRUE(readExifInfo(far.data(), 4096, far.size(), part, complete));
    EXPECT_FALSE(complete);
    EXPECT_EQ(part.model, "MV-1 Mark II");
    EXPECT_EQ(part.lens, "");
    ASSERT_TRUE(readExifInfo(far.data(), far.size(), far.size(), part, complete));
    EXPECT_TRUE(complete);

    test::TempDir dir;
    for (const std::size_t pad : {std::size_t{0}, std::size_t{3000}, std::size_t{20000}}) {
        SCOPED_TRACE(pad);
        const Bytes jpeg = jpegWith(TiffBuilder(false, pad).build());
        dir.write("p.jpg", std::string(jpeg.begin(), jpeg.end()));
        long width = 0;
        long height = 0;
        ExifInfo info;
        ASSERT_TRUE(readPictureSize(dir / "p.jpg", width, height, &info));
        EXPECT_EQ(width, 30);
        EXPECT_EQ(height, 40);
        EXPECT_EQ(info.model, "MV-1 Mark II");
        EXPECT_EQ(info.dateTaken, "2025-04-05 06:07:08");
        EXPECT_EQ(info.lens, "MV 24-70mm F2.8");
        // Without shooting data asked for, the size still comes out turned.
        ASSERT_TRUE(readPictureSize(dir / "p.jpg", width, height, nullptr));
        EXPECT_EQ(width, 30);
    }
}

/// A little-endian TIFF whose Exif IFD holds DateTimeOriginal and OffsetTimeOriginal `zone`.
Bytes tiffWithZone(const std::string& zone) {
    std::string t("II\x2A\0\x08\0\0\0", 8);
    t += std::string("\x01\0\x69\x87\x04\0\x01\0\0\0\x1A\0\0\0\0\0\0\0", 18); // -> 26
    // Exif IFD at 26: two entries (2 + 24 + 4 = 30), values from 56.
    t += std::string("\x02\0\x03\x90\x02\0\x14\0\0\0\x38\0\0\0", 14);
    t += std::string("\x11\x90\x02\0\x07\0\0\0\x4C\0\0\0\0\0\0\0", 16);
    t += std::string("2024:05:12 08:00:00\0", 20);
    t += zone;
    t.append(7 - zone.size(), '\0');
    return Bytes(t.begin(), t.end());
}

TEST(ExifInfo, DateTakenCarriesItsTimeZoneWhereTheCameraWroteOne) {
    ExifInfo info;
    Bytes tiff = tiffWithZone("+09:00");
    ASSERT_TRUE(readExifInfo(tiff.data(), tiff.size(), info));
    EXPECT_EQ(info.dateTaken, "2024-05-12 08:00:00 +09:00");
    tiff = tiffWithZone("-05:30");
    ASSERT_TRUE(readExifInfo(tiff.data(), tiff.size(), info));
    EXPECT_EQ(info.dateTaken, "2024-05-12 08:00:00 -05:30");
    // Blanks or anything else: the date as before.
    for (const char* zone : {"   :  ", "+9:00", "", "Z"}) {
        tiff = tiffWithZone(zone);
        ASSERT_TRUE(readExifInfo(tiff.data(), tiff.size(), info));
        EXPECT_EQ(info.dateTaken, "2024-05-12 08:00:00") << zone;
    }
}

} // namespace
} // namespace mivo
