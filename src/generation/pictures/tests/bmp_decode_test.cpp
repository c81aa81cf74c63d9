#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "generation/pictures/bmp_decode.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::readBytes;
using test::TempDir;

bool run(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

// In a buffer of exactly the file's length, so that AddressSanitizer sees any read past it.
bool decode(const std::string& file, Pixels& out, std::string& error) {
    const std::vector<unsigned char> exact(file.begin(), file.end());
    return decodeBmp(exact.data(), exact.size(), out, error);
}

std::string le16(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)};
}
std::string le32(std::uint32_t v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}

std::uint32_t field(const std::string& file, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 4; i-- > 0;) {
        v = v << 8U | static_cast<unsigned char>(file[at + i]);
    }
    return v;
}

/// A BMP put together by hand. Masks go after a 40-byte header or into a longer one.
struct Bmp {
    std::uint32_t headerSize;
    std::int32_t width;
    std::int32_t height;
    unsigned bpp;
    std::uint32_t compression;
    std::uint32_t colours;
    std::string palette;
    std::string pixels;
    std::vector<std::uint32_t> masks;

    Bmp(std::uint32_t headerSize = 40, std::int32_t width = 1, std::int32_t height = 1,
        unsigned bpp = 24, std::uint32_t compression = 0, std::uint32_t colours = 0,
        std::string palette = "", std::string pixels = "")
        : headerSize(headerSize), width(width), height(height), bpp(bpp), compression(compression),
          colours(colours), palette(std::move(palette)), pixels(std::move(pixels)) {}

    std::string bytes() const {
        std::string header;
        if (headerSize == 12) {
            header = le32(12) + le16(width) + le16(height) + le16(1) + le16(bpp);
        } else {
            header = le32(headerSize) + le32(width) + le32(height) + le16(1) + le16(bpp) +
                     le32(compression) + le32(pixels.size()) + le32(2835) + le32(2835) +
                     le32(colours) + le32(0);
            for (std::uint32_t mask : masks) {
                header += le32(mask);
            }
            header.resize(std::max<std::size_t>(header.size(), headerSize), '\0');
        }
        const std::size_t offset = 14 + header.size() + palette.size();
        return "BM" + le32(offset + pixels.size()) + le32(0) + le32(offset) + header + palette +
               pixels;
    }
};

// Entries 0 to 3 as a file stores them (blue, green, red, reserved) and as decoded.
const std::string kPalette = std::string("\x1E\x14\x0A\0\0\0\xFF\0\0\xFF\0\0\xFF\0\0\0", 16);
const std::vector<std::vector<unsigned char>> kColours = {
    {10, 20, 30}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

// `codes` as pixels, rows top-down: a digit is that palette entry, k black.
std::vector<unsigned char> pixelsOf(const std::string& codes) {
    std::vector<unsigned char> pixels;
    for (char code : codes) {
        const std::vector<unsigned char> black{0, 0, 0};
        const auto& colour = code == 'k' ? black : kColours.at(code - '0');
        pixels.insert(pixels.end(), colour.begin(), colour.end());
    }
    return pixels;
}

// A V5 file with its header cut to `size` (a 40-byte header keeps the masks after it) and
// its compression set to `compression` unless that is -1.
std::string reshaped(const std::string& file, std::uint32_t size, long compression = -1) {
    const std::uint32_t old = field(file, 14);
    const std::uint32_t keep = size == 40 ? 52 : size;
    std::string header = le32(size) + file.substr(18, keep - 4);
    if (compression >= 0) {
        header.replace(16, 4, le32(compression));
    }
    const std::string rest = file.substr(14 + old);
    return "BM" + le32(14 + header.size() + rest.size()) + le32(0) +
           le32(field(file, 10) - (old - keep)) + header + rest;
}

TEST(BmpDecode, EveryKindImageMagickWritesDecodesAsImageMagickDoes) {
    TempDir dir;
    const std::string plain = dir / "plain.png";
    const std::string clear = dir / "clear.png";
    // 37 wide: every depth has row padding. Flat areas give RLE runs, the gradient literals.
    ASSERT_TRUE(run("convert -size 37x11 gradient:red-blue -fill yellow -draw 'rectangle 3,2 "
                    "20,5' -fill '#00ff80' -draw 'rectangle 25,0 36,10' " +
                    plain));
    ASSERT_TRUE(run("convert " + plain + " -alpha set -channel A -fx i/w +channel " + clear));
    struct Row {
        const char* name;
        std::string source;
        const char* options;      // convert's options and output format
        std::uint32_t headerSize; // as the decoder sees it, after any reshaping
        unsigned bpp;
        std::uint32_t compression;
        long reshapeCompression = -2; // -2 as written, else reshaped() to headerSize
        bool opaque = false;          // compare with the colours alone, alpha left out
    };
    const std::vector<Row> rows = {
        {"24-bit V5", plain, "BMP:", 124, 24, 0},
        {"24-bit info", plain, "BMP3:", 40, 24, 0},
        {"24-bit core", plain, "BMP2:", 12, 24, 0},
        {"8-bit palette", plain, "-type Palette -compress None BMP3:", 40, 8, 0},
        {"8-bit RLE", plain, "-type Palette -compress RLE BMP3:", 40, 8, 1},
        {"8-bit RLE V5", plain, "-type Palette BMP:", 124, 8, 1},
        {"4-bit palette", plain, "-colors 16 -compress None BMP3:", 40, 4, 0},
        {"1-bit palette", plain, "-colors 2 -compress None BMP3:", 40, 1, 0},
        {"8-bit core", plain, "-type Palette BMP2:", 12, 8, 0},
        {"4-bit core", plain, "-colors 16 BMP2:", 12, 4, 0},
        {"1-bit core", plain, "-colors 2 BMP2:", 12, 1, 0},
        {"16-bit 5-6-5 V5", plain, "-define bmp:subtype=RGB565 BMP:", 124, 16, 3},
        {"16-bit 5-5-5 V5", plain, "-define bmp:subtype=RGB555 BMP:", 124, 16, 3},
        {"16-bit 5-6-5 info", plain, "-define bmp:subtype=RGB565 BMP:", 40, 16, 3, -1},
        {"16-bit 5-6-5 V2", plain, "-define bmp:subtype=RGB565 BMP:", 52, 16, 3, -1},
        {"16-bit 5-5-5 plain", plain, "-define bmp:subtype=RGB555 BMP:", 40, 16, 0, 0},
        {"32-bit alpha V5", clear, "BMP:", 124, 32, 3},
        {"32-bit alpha V4", clear, "BMP:", 108, 32, 3, -1},
        {"32-bit alpha V3", clear, "BMP:", 56, 32, 3, -1},
        // A V2 header has no alpha mask (ImageMagick reads one past the header), and plain
        // 32-bit pixels have no alpha (ImageMagick takes the fourth byte of some as alpha).
        {"32-bit V2", clear, "BMP:", 52, 32, 3, -1, true},
        {"32-bit plain info", clear, "BMP:", 40, 32, 0, 0, true},
        {"32-bit plain V5", clear, "BMP:", 124, 32, 0, 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string made = dir / "made.bmp";
        const std::string reference = dir / "reference.ppm";
        ASSERT_TRUE(run("convert " + row.source + " " + row.options + made));
        ASSERT_TRUE(run("convert " + made +
                        (row.opaque ? " -alpha off" : " -background white -alpha remove") +
                        " -depth 16 ppm:" + reference));
        std::string file = readBytes(made);
        if (row.reshapeCompression != -2) {
            file = reshaped(file, row.headerSize, row.reshapeCompression);
        }
        ASSERT_EQ(field(file, 14), row.headerSize);
        ASSERT_EQ(field(file, row.headerSize == 12 ? 24 : 28) & 0xFFFF, row.bpp);
        ASSERT_EQ(row.headerSize == 12 ? 0 : field(file, 30), row.compression);
        Pixels out;
        std::string error;
        ASSERT_TRUE(decode(file, out, error)) << error;
        EXPECT_EQ(out.width, 37);
        EXPECT_EQ(out.height, 11);
        EXPECT_EQ(out.bands, 3);
        // ImageMagick's 16-bit values, rounded to 8 bits (its own -depth 8 rounds composited
        // values down, and palettes of 16 colours or fewer come out at 4 bits or fewer).
        const std::string ppm = readBytes(reference);
        ASSERT_EQ(ppm.substr(0, 15), "P6\n37 11\n65535\n");
        std::string expected;
        for (std::size_t i = 15; i + 1 < ppm.size(); i += 2) {
            const unsigned wide =
                static_cast<unsigned char>(ppm[i]) * 256U + static_cast<unsigned char>(ppm[i + 1]);
            expected += static_cast<char>((wide + 128) / 257);
        }
        ASSERT_EQ(out.data.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(out.data[i], static_cast<unsigned char>(expected[i]))
                << "pixel " << i / 3 % 37 << "," << i / 3 / 37 << " band " << i % 3;
        }
    }
}

TEST(BmpDecode, HandMadeFilesDecodeToTheirPixels) {
    const std::string rle8 =
        std::string("\x03\x01\0\0", 4) +         // run of 3 on the bottom row, end of line
        std::string("\0\x02\x02\x01", 4) +       // delta: 2 right, 1 up
        std::string("\0\x03\x02\x03\x01\0", 6) + // literal 2 3 1, padded; 1 is cut
        std::string("\0\x01\x01\x01", 4);        // end of bitmap: the last run is left
    struct Row {
        const char* name;
        Bmp bmp;
        std::string codes; // rows top-down
    };
    const std::vector<Row> rows = {
        {"RLE8 run, end of line, delta, literal past the row, end of bitmap",
         {40, 4, 3, 8, 1, 4, kPalette, rle8},
         "0023"
         "0000"
         "1110"},
        {"RLE8 run past the row end is cut; data stops with no end of bitmap",
         {40, 2, 2, 8, 1, 4, kPalette, std::string("\x05\x01", 2)},
         "00"
         "11"},
        {"RLE4 run of two alternating indexes, literal of three",
         {40, 5, 2, 4, 2, 4, kPalette, std::string("\x05\x12\0\0\0\x03\x30\x10", 8)},
         "30100"
         "12121"},
        {"indexes past a palette of two are black",
         {40, 3, 1, 8, 0, 2, kPalette, std::string("\x01\x02\xFF\0", 4)},
         "1kk"},
        {"RLE8 index past the palette is black",
         {40, 2, 1, 8, 1, 2, kPalette, std::string("\x01\x01\x01\x03\0\x01", 6)},
         "1k"},
        {"24-bit top-down with padding",
         {40, 2, -2, 24, 0, 0, "", std::string("\0\0\xFF\0\xFF\0\0\0\xFF\0\0\0\0\0\0\0", 16)},
         "12"
         "3k"},
        {"24-bit bottom-up, the last row's padding missing",
         {40, 2, 2, 24, 0, 0, "", std::string("\xFF\0\0\0\0\0\0\0\0\0\xFF\0\xFF\0", 14)},
         "12"
         "3k"},
        {"16-bit plain is 5-5-5",
         {40, 3, 1, 16, 0, 0, "", std::string("\0\x7C\xE0\x03\x1F\0\0\0", 8)},
         "123"},
        {"4-bit, two pixels a byte",
         {40, 3, 1, 4, 0, 0, kPalette, std::string("\x12\x30\0\0", 4)},
         "123"},
        {"1-bit core header whose palette holds one 3-byte entry",
         {12, 9, 1, 1, 0, 0, std::string("\x1E\x14\x0A", 3), std::string("\xB0\x80\0\0", 4)},
         "k0kk0000k"},
        {"8-bit V5, clrUsed 0 meaning 256 entries, cut by the pixel offset",
         {124, 4, 1, 8, 0, 0, kPalette, std::string("\x03\x02\x01\x00", 4)},
         "3210"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Pixels out;
        std::string error;
        ASSERT_TRUE(decode(row.bmp.bytes(), out, error)) << error;
        EXPECT_EQ(out.width * out.height, static_cast<int>(row.codes.size()));
        EXPECT_EQ(std::vector<unsigned char>(out.data.begin(), out.data.end()),
                  pixelsOf(row.codes));
    }

    // Bit masks in their own order, the alpha of a V3 header composited onto white.
    Bmp masked{56, 2, 1, 32, 3, 0, "", le32(0x0064C880) + le32(0x12345600)};
    masked.masks = {0xFF00, 0xFF0000, 0xFF000000, 0xFF};
    Pixels out;
    std::string error;
    ASSERT_TRUE(decode(masked.bytes(), out, error)) << error;
    EXPECT_EQ(std::vector<unsigned char>(out.data.begin(), out.data.end()),
              (std::vector<unsigned char>{227, 177, 127, 255, 255, 255}));
}

TEST(BmpDecode, DamagedOrHugeFilesAreRefusedBeforeAnyAllocation) {
    const std::string tiny = Bmp{}.bytes(); // 1x1 24-bit, no pixel bytes
    std::string badOffset = Bmp{40, 1, 1, 24, 0, 0, "", "abcd"}.bytes();
    badOffset.replace(10, 4, le32(40));
    std::string pastTheEnd = Bmp{40, 1, 1, 24, 0, 0, "", "abcd"}.bytes();
    pastTheEnd.replace(10, 4, le32(1000));
    struct Row {
        const char* name;
        std::string file;
    };
    const std::vector<Row> rows = {
        {"empty", ""},
        {"PNG", "\x89PNG\r\n\x1A\n" + std::string(60, '\0')},
        {"cut in the file header", tiny.substr(0, 16)},
        {"cut in the info header", tiny.substr(0, 40)},
        {"unknown header size", Bmp{64, 1, 1, 24, 0, 0, "", "abcd"}.bytes()},
        {"zero width", Bmp{40, 0, 1, 24, 0, 0, "", "abcd"}.bytes()},
        {"negative width", Bmp{40, -1, 1, 24, 0, 0, "", "abcd"}.bytes()},
        {"zero height", Bmp{40, 1, 0, 24, 0, 0, "", "abcd"}.bytes()},
        {"JPEG inside", Bmp{40, 1, 1, 24, 4, 0, "", "\xFF\xD8\xFF\xD9"}.bytes()},
        {"PNG inside", Bmp{40, 1, 1, 24, 5, 0, "", "\x89PNG"}.bytes()},
        {"2 bits a pixel", Bmp{40, 1, 1, 2, 0, 0, kPalette, "abcd"}.bytes()},
        {"RLE8 at 4 bits", Bmp{40, 1, 1, 4, 1, 0, kPalette, "abcd"}.bytes()},
        {"top-down RLE",
         Bmp{40, 1, -1, 8, 1, 0, kPalette, std::string("\x01\x01\0\x01", 4)}.bytes()},
        {"masks missing after the header", Bmp{40, 1, 1, 16, 3}.bytes().substr(0, 60)},
        {"a byte of a pixel missing", Bmp{40, 2, 2, 24, 0, 0, "", std::string(13, 'x')}.bytes()},
        {"no pixel data", tiny},
        {"RLE with no data", Bmp{40, 1, 1, 8, 1, 0, kPalette, ""}.bytes()},
        {"pixel offset inside the header", badOffset},
        {"pixel offset past the end", pastTheEnd},
        {"70000 x 70000", Bmp{40, 70000, 70000, 8, 1, 0, kPalette, "\0\x01"}.bytes()},
        {"65536 wide", Bmp{40, 65536, 1, 8, 1, 0, kPalette, "\0\x01"}.bytes()},
        {"over 100 million pixels", Bmp{40, 10001, -10000, 24, 0, 0, "", "abcd"}.bytes()},
        {"10000 x 10000 with 4 bytes", Bmp{40, 10000, 10000, 24, 0, 0, "", "abcd"}.bytes()},
        {"height -2^31", Bmp{40, 1, INT32_MIN, 24, 0, 0, "", "abcd"}.bytes()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Pixels out;
        std::string error;
        EXPECT_FALSE(decode(row.file, out, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(out.data.capacity(), 0U);
        EXPECT_EQ(out.width, 0);
    }
}

TEST(BmpDecode, EveryPrefixOfAFileIsDecodedOrRefusedWithinItsBytes) {
    TempDir dir;
    const std::string rle = dir / "rle.bmp";
    const std::string clear = dir / "clear.bmp";
    ASSERT_TRUE(run("convert -size 9x5 gradient:red-blue -type Palette BMP:" + rle));
    ASSERT_TRUE(run(
        "convert -size 7x3 gradient:red-blue -alpha set -channel A -fx i/w +channel BMP:" + clear));
    Bmp bitfields{40, 3, -2, 16, 3, 0, "", std::string(16, '\x5A')};
    bitfields.masks = {0xF800, 0x07E0, 0x001F};
    const std::vector<std::string> files = {
        readBytes(rle), readBytes(clear),
        Bmp{40, 5, 2, 4, 2, 4, kPalette,
            std::string("\x05\x12\0\0\0\x03\x30\x10\0\x02\x01\x01\0\x01", 14)}
            .bytes(),
        Bmp{12, 9, 2, 1, 0, 0, std::string("\x1E\x14\x0A\xFF\xFF\xFF", 6),
            std::string("\xB0\x80\0\0\x01\x02\0\0", 8)}
            .bytes(),
        bitfields.bytes()};
    for (const std::string& whole : files) {
        Pixels full;
        std::string error;
        ASSERT_TRUE(decode(whole, full, error)) << error;
        for (std::size_t length = 0; length < whole.size(); ++length) {
            Pixels out;
            if (decode(whole.substr(0, length), out, error)) {
                EXPECT_EQ(out.width, full.width);
                EXPECT_EQ(out.height, full.height);
            }
        }
    }
}

} // namespace
} // namespace mivo
