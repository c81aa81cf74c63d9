#include "generation/pictures/bmp_decode.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace mivo {

namespace {

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitfields = 3;
constexpr std::uint64_t kFileHeader = 14;

// With the sides at most 65535 and 32 bits a pixel, every product below (stride times height
// is under 2^35) fits in 64 bits: the limits are checked before anything is multiplied.
constexpr std::int64_t kMaxSide = 65535;
constexpr std::int64_t kMaxPixels = 100'000'000;

std::uint32_t le16(const unsigned char* p) {
    return p[0] | (static_cast<std::uint32_t>(p[1]) << 8U);
}

std::uint32_t le32(const unsigned char* p) {
    return le16(p) | (le16(p + 2) << 16U);
}

bool refuse(std::string& error, const char* reason) {
    error = reason;
    return false;
}

/// What the headers say about the pixels.
struct Layout {
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool topDown = false;
    unsigned bpp = 0;
    std::uint32_t compression = kRgb;
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha
    std::uint64_t paletteStart = 0;
    std::uint64_t paletteEntry = 4; // 3 in a core header
    std::uint64_t paletteCount = 0;
    std::uint64_t pixelStart = 0;
};

/// One band of a pixel given by a bit mask, widened to 8 bits by repeating its bits (5 bits
/// abcde become abcdeabc) as other readers do; more than 8 bits keep their top 8.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    std::array<unsigned char, 256> widen{};

    explicit Channel(std::uint32_t m) : mask(m) {
        if (mask == 0) {
            return;
        }
        shift = std::countr_zero(mask);
        bits = std::bit_width(mask >> static_cast<unsigned>(shift));
        if (bits > 8) {
            return;
        }
        for (int v = 0; v < (1 << bits); ++v) {
            int wide = 0;
            for (int s = 8 - bits; s > -bits; s -= bits) {
                wide |= s >= 0 ? v << s : v >> -s;
            }
            widen[v] = static_cast<unsigned char>(wide);
        }
    }
    unsigned operator()(std::uint32_t pixel) const {
        const std::uint32_t v = (pixel & mask) >> static_cast<unsigned>(shift);
        return bits > 8 ? v >> static_cast<unsigned>(bits - 8) : widen[v];
    }
};

bool readLayout(const unsigned char* data, std::size_t size, Layout& layout, std::string& error) {
    if (size < 2 || data[0] != 'B' || data[1] != 'M') {
        return refuse(error, "not a BMP file");
    }
    if (size < kFileHeader + 4) {
        return refuse(error, "BMP header is cut short");
    }
    const std::uint32_t headerSize = le32(data + 14);
    if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 &&
        headerSize != 108 && headerSize != 124) {
        return refuse(error, "unknown BMP header size");
    }
    if (size < kFileHeader + headerSize) {
        return refuse(error, "BMP header is cut short");
    }
    const unsigned char* h = data + kFileHeader;
    std::uint32_t colours = 0;
    if (headerSize == 12) {
        layout.width = le16(h + 4);
        layout.height = le16(h + 6);
        layout.bpp = le16(h + 10);
        layout.paletteEntry = 3;
    } else {
        layout.width = static_cast<std::int32_t>(le32(h + 4));
        layout.height = static_cast<std::int32_t>(le32(h + 8));
        layout.bpp = le16(h + 14);
        layout.compression = le32(h + 16);
        colours = le32(h + 32);
    }
    layout.topDown = layout.height < 0;
    layout.height = layout.topDown ? -layout.height : layout.height;
    if (layout.width <= 0 || layout.height <= 0) {
        return refuse(error, "BMP width or height is not above 0");
    }
    if (layout.width > kMaxSide || layout.height > kMaxSide ||
        layout.width * layout.height > kMaxPixels) {
        return refuse(error, "BMP picture is too large");
    }
    const bool bitfields = layout.compression == kBitfields;
    const bool valid = (layout.compression == kRgb &&
                        (layout.bpp == 1 || layout.bpp == 4 || layout.bpp == 8 ||
                         layout.bpp == 16 || layout.bpp == 24 || layout.bpp == 32)) ||
                       (layout.compression == kRle8 && layout.bpp == 8) ||
                       (layout.compression == kRle4 && layout.bpp == 4) ||
                       (bitfields && (layout.bpp == 16 || layout.bpp == 32));
    if (!valid) {
        return refuse(error, "unsupported BMP compression or bit depth");
    }
    if (layout.topDown && (layout.compression == kRle8 || layout.compression == kRle4)) {
        return refuse(error, "top-down BMP cannot be run-length encoded");
    }
    // An info header with bit masks has them in the 12 bytes after it; V2 and later hold them.
    layout.paletteStart = kFileHeader + headerSize;
    if (headerSize == 40 && bitfields) {
        layout.paletteStart += 12;
        if (size < layout.paletteStart) {
            return refuse(error, "BMP header is cut short");
        }
    }
    if (bitfields) {
        for (int i = 0; i < (headerSize >= 56 ? 4 : 3); ++i) {
            layout.masks[i] = le32(h + 40 + 4 * i);
        }
    } else if (layout.bpp == 16) {
        layout.masks = {0x7C00, 0x03E0, 0x001F, 0};
    } else {
        layout.masks = {0xFF0000, 0xFF00, 0xFF, 0};
    }
    layout.pixelStart = le32(data + 10);
    if (layout.pixelStart < layout.paletteStart) {
        return refuse(error, "BMP pixel data starts inside its header");
    }
    if (layout.bpp <= 8) {
        // The palette ends where the pixels start, or the file ends: entries past that are
        // missing, and indexes to them read black.
        const std::uint64_t full = 1ULL << layout.bpp;
        const std::uint64_t room =
            std::min<std::uint64_t>(layout.pixelStart, size) - layout.paletteStart;
        layout.paletteCount =
            std::min({colours == 0 ? full : colours, full, room / layout.paletteEntry});
    }
    const auto rowBits = static_cast<std::uint64_t>(layout.width) * layout.bpp;
    const std::uint64_t need =
        (layout.compression == kRle8 || layout.compression == kRle4)
            ? 1
            : (rowBits + 31) / 32 * 4 * (layout.height - 1) + (rowBits + 7) / 8;
    if (layout.pixelStart > size || size - layout.pixelStart < need) {
        return refuse(error, "BMP pixel data is cut short");
    }
    return true;
}

using Palette = std::array<unsigned char, 256 * 3>;

void putPixel(unsigned char* to, unsigned red, unsigned green, unsigned blue) {
    to[0] = static_cast<unsigned char>(red);
    to[1] = static_cast<unsigned char>(green);
    to[2] = static_cast<unsigned char>(blue);
}

void decodeRows(const Layout& layout, const unsigned char* pixels, const Palette& palette,
                Pixels& out) {
    const auto width = static_cast<std::size_t>(layout.width);
    const std::size_t stride = (width * layout.bpp + 31) / 32 * 4;
    const Channel red(layout.masks[0]);
    const Channel green(layout.masks[1]);
    const Channel blue(layout.masks[2]);
    const Channel alpha(layout.masks[3]);
    for (std::int64_t y = 0; y < layout.height; ++y) {
        const unsigned char* src =
            pixels + static_cast<std::size_t>(layout.topDown ? y : layout.height - 1 - y) * stride;
        unsigned char* to = out.data.data() + static_cast<std::size_t>(y) * width * 3;
        if (layout.bpp == 8) {
            for (std::size_t x = 0; x < width; ++x, to += 3) {
                std::memcpy(to, &palette[src[x] * 3U], 3);
            }
        } else if (layout.bpp < 8) {
            // 1 or 4 bits: 8 or 2 pixels a byte, the leftmost in the high bits.
            const unsigned perByteShift = layout.bpp == 1 ? 3 : 1;
            const unsigned lowBits = (1U << layout.bpp) - 1;
            for (std::size_t x = 0; x < width; ++x, to += 3) {
                const unsigned within = (x & ((1U << perByteShift) - 1)) * layout.bpp;
                const unsigned index =
                    (src[x >> perByteShift] >> (8 - layout.bpp - within)) & lowBits;
                std::memcpy(to, &palette[index * 3], 3);
            }
        } else if (layout.bpp == 24) {
            for (std::size_t x = 0; x < width; ++x, to += 3, src += 3) {
                putPixel(to, src[2], src[1], src[0]);
            }
        } else {
            const bool wide = layout.bpp == 32;
            for (std::size_t x = 0; x < width; ++x, to += 3, src += layout.bpp / 8) {
                const std::uint32_t p = wide ? le32(src) : le16(src);
                if (layout.masks[3] == 0) {
                    putPixel(to, red(p), green(p), blue(p));
                    continue;
                }
                // Onto white: c * a + 255 * (1 - a), rounded.
                const unsigned a = alpha(p);
                const unsigned white = 255 * (255 - a) + 127;
                putPixel(to, (red(p) * a + white) / 255, (green(p) * a + white) / 255,
                         (blue(p) * a + white) / 255);
            }
        }
    }
}

// Rows run bottom-up: `y` counts from the last row of `out`. A run or literal that goes past
// the row's end is cut there.
void decodeRle(const Layout& layout, const unsigned char* p, const unsigned char* end,
               const Palette& palette, Pixels& out) {
    const std::size_t rowBytes = static_cast<std::size_t>(layout.width) * 3;
    for (std::size_t i = 0; i < out.data.size(); i += 3) {
        std::memcpy(&out.data[i], palette.data(), 3);
    }
    const bool four = layout.compression == kRle4;
    std::int64_t x = 0;
    std::int64_t y = 0;
    auto put = [&](unsigned index) {
        std::memcpy(&out.data[static_cast<std::size_t>(layout.height - 1 - y) * rowBytes +
                              static_cast<std::size_t>(x) * 3],
                    &palette[index * 3], 3);
        ++x;
    };
    while (end - p >= 2 && y < layout.height) {
        const unsigned count = p[0];
        const unsigned value = p[1];
        p += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count && x < layout.width; ++i) {
                put(!four ? value : (i % 2 == 0 ? value >> 4U : value & 15U));
            }
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (end - p < 2) {
                break;
            }
            x += p[0];
            y += p[1];
            p += 2;
        } else {
            // A literal run of `value` pixels, padded to an even number of bytes.
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            if (static_cast<std::size_t>(end - p) < bytes) {
                break;
            }
            for (unsigned i = 0; i < value && x < layout.width; ++i) {
                put(!four ? p[i] : (i % 2 == 0 ? p[i / 2] >> 4U : p[i / 2] & 15U));
            }
            p += std::min<std::size_t>(bytes + bytes % 2, static_cast<std::size_t>(end - p));
        }
    }
}

} // namespace

bool decodeBmp(const unsigned char* data, std::size_t size, Pixels& out, std::string& error) {
    Layout layout;
    if (data == nullptr) {
        return refuse(error, "not a BMP file");
    }
    if (!readLayout(data, size, layout, error)) {
        return false;
    }
    Palette palette{}; // black past the entries the file holds
    for (std::uint64_t i = 0; i < layout.paletteCount; ++i) {
        const unsigned char* entry = data + layout.paletteStart + i * layout.paletteEntry;
        putPixel(&palette[i * 3], entry[2], entry[1], entry[0]);
    }
    out.width = static_cast<int>(layout.width);
    out.height = static_cast<int>(layout.height);
    out.bands = 3;
    out.data.resize(static_cast<std::size_t>(layout.width * layout.height * 3));
    if (layout.compression == kRle8 || layout.compression == kRle4) {
        decodeRle(layout, data + layout.pixelStart, data + size, palette, out);
    } else {
        decodeRows(layout, data + layout.pixelStart, palette, out);
    }
    return true;
}

} // namespace mivo
