#include "generation/pictures/exif_info.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "generation/pictures/picture_caption.h"

namespace mivo {

namespace {

constexpr std::uint16_t kTypeAscii = 2;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::uint16_t kTypeRational = 5;
constexpr std::uint16_t kTypeUndefined = 7;

class TiffReader {
  public:
    /// The first `size` bytes of a block of `blockSize` bytes.
    TiffReader(const unsigned char* data, std::size_t size, std::size_t blockSize, bool little)
        : data_(data), size_(size), blockSize_(blockSize), little_(little) {}

    /// True when the bytes are at hand; a value that lies in the block but past the bytes
    /// given marks the reading as cut short.
    bool has(std::uint64_t pos, std::uint64_t count) const {
        if (pos <= size_ && count <= size_ - pos) {
            return true;
        }
        if (pos <= blockSize_ && count <= blockSize_ - pos) {
            cutShort_ = true;
        }
        return false;
    }
    bool cutShort() const { return cutShort_; }
    std::uint16_t u16(std::uint64_t pos) const {
        const unsigned char* p = data_ + pos;
        return little_ ? static_cast<std::uint16_t>(p[0] | (p[1] << 8))
                       : static_cast<std::uint16_t>((p[0] << 8) | p[1]);
    }
    std::uint32_t u32(std::uint64_t pos) const {
        const unsigned char* p = data_ + pos;
        if (little_) {
            return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                   (static_cast<std::uint32_t>(p[2]) << 16) |
                   (static_cast<std::uint32_t>(p[3]) << 24);
        }
        return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
               (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
    }
    const unsigned char* at(std::uint64_t pos) const { return data_ + pos; }

  private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t blockSize_;
    bool little_;
    mutable bool cutShort_ = false;
};

/// The tags the shooting data is made of (and the pointer to the Exif sub-IFD).
bool usedTag(std::uint16_t tag) {
    switch (tag) {
    case 0x010E: // ImageDescription
    case 0x0110: // Model
    case 0x8769: // Exif sub-IFD
    case 0x829A: // ExposureTime
    case 0x829D: // FNumber
    case 0x8827: // ISOSpeedRatings
    case 0x9003: // DateTimeOriginal
    case 0x9011: // OffsetTimeOriginal
    case 0x920A: // FocalLength
    case 0xA434: // LensModel
        return true;
    default:
        return false;
    }
}

/// One IFD entry: where its value lies (inline or at its offset) once checked to fit.
struct Entry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::uint64_t value = 0; // position of the value's bytes
};

std::uint64_t typeSize(std::uint16_t type) {
    switch (type) {
    case kTypeAscii:
    case kTypeUndefined:
        return 1;
    case kTypeShort:
        return 2;
    case kTypeLong:
        return 4;
    case kTypeRational:
        return 8;
    default:
        return 0;
    }
}

/// Text of an ASCII value: up to its first NUL, printable ASCII only, blanks trimmed.
std::string asciiText(const TiffReader& r, const Entry& e) {
    std::string out;
    const unsigned char* p = r.at(e.value);
    for (std::uint32_t i = 0; i < e.count && p[i] != 0; ++i) {
        // Cameras write ASCII; anything else would be guesswork in a page's code page.
        out.push_back(p[i] >= 0x20 && p[i] < 0x7F ? static_cast<char>(p[i]) : '?');
    }
    const std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) {
        return "";
    }
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

bool rational(const TiffReader& r, const Entry& e, double& out) {
    if (e.type != kTypeRational || e.count < 1) {
        return false;
    }
    const std::uint32_t num = r.u32(e.value);
    const std::uint32_t den = r.u32(e.value + 4);
    if (den == 0) {
        return false;
    }
    out = static_cast<double>(num) / static_cast<double>(den);
    return true;
}

std::string number(double value, int decimals) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string text(buf);
    // 2.80 -> 2.8, 35.0 -> 35
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') {
            text.pop_back();
        }
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return text;
}

std::string exposureText(double seconds) {
    if (seconds <= 0) {
        return "";
    }
    if (seconds < 0.5) {
        return "1/" + number(std::round(1.0 / seconds), 0) + " s";
    }
    return number(seconds, 1) + " s";
}

/// "2025:04:05 06:07:08" as "2025-04-05 06:07:08"; other texts as they are.
std::string dateText(std::string text) {
    if (text.size() >= 10 && text[4] == ':' && text[7] == ':') {
        text[4] = '-';
        text[7] = '-';
    }
    return text;
}

/// "+09:00" or "-05:30" as written, else "" (cameras without a time zone write blanks).
std::string offsetText(const std::string& text) {
    const bool signedZone =
        text.size() == 6 && (text[0] == '+' || text[0] == '-') && text[3] == ':';
    for (const std::size_t digit : {1U, 2U, 4U, 5U}) {
        if (!signedZone || text[digit] < '0' || text[digit] > '9') {
            return "";
        }
    }
    return text;
}

/// Reads the entries of the IFD at `ifd` whose tag is `wanted`, calling `take` for each whose
/// value fits. Unwanted entries are not looked at, so their values never count as cut short.
template <class Wanted, class Take>
bool walkIfd(const TiffReader& r, std::uint64_t ifd, Wanted wanted, Take take) {
    if (!r.has(ifd, 2)) {
        return false;
    }
    const std::uint64_t count = r.u16(ifd);
    if (!r.has(ifd + 2, count * 12)) {
        return false;
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t pos = ifd + 2 + i * 12;
        Entry e;
        e.tag = r.u16(pos);
        if (!wanted(e.tag)) {
            continue;
        }
        e.type = r.u16(pos + 2);
        e.count = r.u32(pos + 4);
        const std::uint64_t bytes = typeSize(e.type) * e.count;
        if (bytes == 0) {
            continue;
        }
        e.value = bytes <= 4 ? pos + 8 : r.u32(pos + 8);
        if (!r.has(e.value, bytes)) {
            continue;
        }
        take(e);
    }
    return true;
}

/// The first entry `tag` of the IFD at `ifd` whose value fits, whatever its type.
bool findEntry(const TiffReader& r, std::uint64_t ifd, std::uint16_t tag, Entry& found) {
    bool seen = false;
    walkIfd(
        r, ifd, [tag](std::uint16_t t) { return t == tag; },
        [&](const Entry& e) {
            if (!seen) {
                found = e;
                seen = true;
            }
        });
    return seen;
}

} // namespace

std::string readAppleContentIdentifier(const unsigned char* tiff, std::size_t size) {
    if (tiff == nullptr || size < 8) {
        return {};
    }
    const bool little = tiff[0] == 'I' && tiff[1] == 'I' && tiff[2] == 0x2A && tiff[3] == 0;
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M' && tiff[2] == 0 && tiff[3] == 0x2A)) {
        return {};
    }
    const TiffReader r(tiff, size, size, little);
    Entry exif;
    if (!findEntry(r, r.u32(4), 0x8769, exif) ||
        (exif.type != kTypeLong && exif.type != kTypeShort) || exif.count != 1) {
        return {};
    }
    const std::uint64_t exifIfd = exif.type == kTypeLong ? r.u32(exif.value) : r.u16(exif.value);
    Entry note;
    if (!findEntry(r, exifIfd, 0x927C, note) || note.type != kTypeUndefined) {
        return {};
    }
    // "Apple iOS\0", a version of two bytes, the byte order, then an IFD whose offsets count
    // from the maker note's start.
    static const char kApple[] = "Apple iOS";
    const unsigned char* mn = r.at(note.value);
    const std::size_t length = note.count;
    if (length < 16 || std::memcmp(mn, kApple, sizeof kApple) != 0 ||
        !((mn[12] == 'M' && mn[13] == 'M') || (mn[12] == 'I' && mn[13] == 'I'))) {
        return {};
    }
    const TiffReader m(mn, length, length, mn[12] == 'I');
    Entry id;
    if (!findEntry(m, 14, 0x0011, id) || id.type != kTypeAscii) {
        return {};
    }
    constexpr std::size_t kLongest = 128;
    std::string text;
    for (std::uint32_t i = 0; i < id.count && m.at(id.value)[i] != 0; ++i) {
        const unsigned char c = m.at(id.value)[i];
        if (c <= 0x20 || c >= 0x7F || text.size() == kLongest) {
            return {};
        }
        text.push_back(static_cast<char>(c));
    }
    return text;
}

bool readExifInfo(const unsigned char* tiff, std::size_t size, ExifInfo& out) {
    bool complete = true;
    return readExifInfo(tiff, size, size, out, complete);
}

bool readExifInfo(const unsigned char* tiff, std::size_t size, std::size_t blockSize, ExifInfo& out,
                  bool& complete) {
    out = ExifInfo();
    complete = true;
    blockSize = blockSize < size ? size : blockSize;
    if (tiff == nullptr || size < 8) {
        return false;
    }
    bool little = false;
    if (tiff[0] == 'I' && tiff[1] == 'I' && tiff[2] == 0x2A && tiff[3] == 0) {
        little = true;
    } else if (!(tiff[0] == 'M' && tiff[1] == 'M' && tiff[2] == 0 && tiff[3] == 0x2A)) {
        return false;
    }
    const TiffReader r(tiff, size, blockSize, little);
    std::uint64_t exifIfd = 0;
    walkIfd(r, r.u32(4), usedTag, [&](const Entry& e) {
        if (e.tag == 0x010E && e.type == kTypeAscii) {
            // ASCII by the standard; cameras and phones write UTF-8 or Shift_JIS as well.
            out.caption = cleanCaption(decodeUndeclaredText(
                std::string_view(reinterpret_cast<const char*>(r.at(e.value)), e.count)));
        } else if (e.tag == 0x0110 && e.type == kTypeAscii) {
            out.model = asciiText(r, e);
        } else if (e.tag == 0x8769 && (e.type == kTypeLong || e.type == kTypeShort)) {
            exifIfd = e.type == kTypeLong ? r.u32(e.value) : r.u16(e.value);
        }
    });
    std::string offset;
    if (exifIfd != 0) {
        walkIfd(r, exifIfd, usedTag, [&](const Entry& e) {
            double value = 0;
            switch (e.tag) {
            case 0x829A: // ExposureTime
                if (rational(r, e, value)) {
                    out.exposure = exposureText(value);
                }
                break;
            case 0x829D: // FNumber
                if (rational(r, e, value) && value > 0) {
                    out.fNumber = "f/" + number(value, 1);
                }
                break;
            case 0x8827: // ISOSpeedRatings
                if (e.type == kTypeShort && r.u16(e.value) > 0) {
                    out.iso = "ISO " + std::to_string(r.u16(e.value));
                } else if (e.type == kTypeLong && r.u32(e.value) > 0) {
                    out.iso = "ISO " + std::to_string(r.u32(e.value));
                }
                break;
            case 0x9003: // DateTimeOriginal
                if (e.type == kTypeAscii) {
                    out.dateTaken = dateText(asciiText(r, e));
                }
                break;
            case 0x9011: // OffsetTimeOriginal
                if (e.type == kTypeAscii) {
                    offset = offsetText(asciiText(r, e));
                }
                break;
            case 0x920A: // FocalLength
                if (rational(r, e, value) && value > 0) {
                    out.focalLength = number(value, 1) + " mm";
                }
                break;
            case 0xA434: // LensModel
                if (e.type == kTypeAscii) {
                    out.lens = asciiText(r, e);
                }
                break;
            default:
                break;
            }
        });
    }
    // The time zone the picture was taken in, where the camera wrote it: "2024-05-12 08:00:00
    // +09:00". A date without one stays as it was.
    if (!offset.empty() && out.dateTaken.size() == 19) {
        out.dateTaken += " " + offset;
    }
    complete = !r.cutShort();
    return true;
}

} // namespace mivo
