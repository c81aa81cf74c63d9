#include "generation/copies/frame_brightness.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace mivo {

namespace {

std::uint32_t bigEndian32(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

unsigned littleEndian16(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

/// Adds the rows' bytes as they come out of the stored blocks: each row a filter byte (which
/// must say "none") and then R, G, B for every pixel.
class RowSums {
  public:
    explicit RowSums(std::size_t rowBytes) : rowBytes_(rowBytes) {}

    bool add(std::string_view bytes) {
        for (std::size_t i = 0; i < bytes.size();) {
            if (column_ == 0) {
                if (bytes[i] != 0) {
                    return false;
                }
                ++i;
                column_ = 1;
                continue;
            }
            const std::size_t run = std::min(bytes.size() - i, rowBytes_ - column_);
            for (std::size_t k = 0; k < run; ++k) {
                sums_[(column_ - 1 + k) % 3] += static_cast<unsigned char>(bytes[i + k]);
            }
            i += run;
            column_ += run;
            if (column_ == rowBytes_) {
                column_ = 0;
                ++rows_;
            }
        }
        return true;
    }

    std::size_t rows() const { return rows_; }
    bool atRowStart() const { return column_ == 0; }
    const std::array<std::uint64_t, 3>& sums() const { return sums_; }

  private:
    std::size_t rowBytes_;
    std::size_t column_ = 0;
    std::size_t rows_ = 0;
    std::array<std::uint64_t, 3> sums_{};
};

} // namespace

bool storedPngBrightness(std::string_view png, double& brightness) {
    static constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
    if (!png.starts_with(kSignature)) {
        return false;
    }
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::string deflated;
    for (std::size_t at = kSignature.size(); at + 12 <= png.size();) {
        const std::uint32_t length = bigEndian32(png, at);
        if (length > png.size() - at - 12) {
            return false;
        }
        const std::string_view type = png.substr(at + 4, 4);
        const std::string_view data = png.substr(at + 8, length);
        if (type == "IHDR") {
            // 8 bits, RGB, deflate, adaptive filters, not interlaced
            if (length != 13 || data.substr(8) != std::string_view("\x08\x02\x00\x00\x00", 5)) {
                return false;
            }
            width = bigEndian32(data, 0);
            height = bigEndian32(data, 4);
        } else if (type == "IDAT") {
            deflated.append(data);
        } else if (type == "IEND") {
            break;
        }
        at += 12 + static_cast<std::size_t>(length);
    }
    // A frame larger than 16384 pixels either way is not one ffmpeg was asked for.
    if (width == 0 || height == 0 || width > 16384 || height > 16384 || deflated.size() < 2) {
        return false;
    }
    const auto method = static_cast<unsigned char>(deflated[0]);
    const auto flags = static_cast<unsigned char>(deflated[1]);
    if ((method & 0x0f) != 8 || (method * 256 + flags) % 31 != 0 || (flags & 0x20) != 0) {
        return false;
    }
    RowSums rows(1 + 3 * static_cast<std::size_t>(width));
    std::size_t at = 2;
    bool last = false;
    while (!last && rows.rows() < height) {
        if (at + 5 > deflated.size()) {
            return false;
        }
        const auto header = static_cast<unsigned char>(deflated[at]);
        last = (header & 1) != 0;
        if ((header >> 1 & 3) != 0) {
            return false; // compressed: not what was asked for
        }
        const unsigned length = littleEndian16(deflated, at + 1);
        if ((length ^ littleEndian16(deflated, at + 3)) != 0xffff ||
            length > deflated.size() - at - 5) {
            return false;
        }
        if (!rows.add(std::string_view(deflated).substr(at + 5, length))) {
            return false;
        }
        at += 5 + length;
    }
    if (rows.rows() != height || !rows.atRowStart()) {
        return false;
    }
    const double pixels = static_cast<double>(width) * height;
    const std::array<std::uint64_t, 3>& sums = rows.sums();
    // BT.601's weights, as ffmpeg turns the frame's YCbCr into RGB; then into video range.
    const double full =
        (0.299 * static_cast<double>(sums[0]) + 0.587 * static_cast<double>(sums[1]) +
         0.114 * static_cast<double>(sums[2])) /
        pixels;
    brightness = 16 + full * 219.0 / 255.0;
    return true;
}

} // namespace mivo
