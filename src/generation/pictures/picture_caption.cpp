#include "generation/pictures/picture_caption.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "common/codepage.h"
#include "common/text.h"
#include "generation/pictures/exif_info.h"
#include "generation/pictures/heif_exif.h"

namespace mivo {

namespace {

// What cameras and their software write into a picture's description when its owner wrote
// nothing, compared with letter case ignored and blanks folded. One list, so that a new
// vendor default is added here and nowhere else.
constexpr std::array<std::string_view, 22> kCameraBoilerplate = {
    "OLYMPUS DIGITAL CAMERA",
    "SONY DSC",
    "DCIM",
    "DIGITAL CAMERA",
    "DEFAULT",
    "KONICA MINOLTA DIGITAL CAMERA",
    "MINOLTA DIGITAL CAMERA",
    "PENTAX DIGITAL CAMERA",
    "SAMSUNG",
    "SAMSUNG DIGITAL CAMERA",
    "SAMSUNG CAMERA PICTURES",
    "KODAK DIGITAL STILL CAMERA",
    "CASIO QV DIGITAL",
    "CASIO DIGITAL CAMERA",
    "SANYO DIGITAL CAMERA",
    "NIKON DIGITAL CAMERA",
    "FUJIFILM DIGITAL CAMERA",
    "RICOH DIGITAL CAMERA",
    "LG DIGITAL CAMERA",
    "EXIF_JPEG_PICTURE",
    "EXIF JPEG",
    "MOTOROLA",
};

// Windows-1252 at 0x80..0x9F; 0: no character there.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool validUtf8(std::string_view bytes) {
    return sanitizeUtf8(bytes) == bytes;
}

std::string_view upToNul(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

/// Blanks and control characters (C0, DEL, C1) folded into single spaces, the ends trimmed of
/// them and of ideographic spaces.
std::string foldBlanks(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    bool blank = false;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool c1 = c == 0xC2 && i + 1 < utf8.size() &&
                        static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(utf8[i + 1]) <= 0x9F;
        if (c <= 0x20 || c == 0x7F || c1) {
            blank = true;
            i += c1 ? 1 : 0;
            continue;
        }
        if (blank && !out.empty()) {
            out.push_back(' ');
        }
        blank = false;
        out.push_back(static_cast<char>(c));
    }
    static constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
    while (out.size() >= 3 && std::string_view(out).substr(out.size() - 3) == kIdeographicSpace) {
        out.resize(out.size() - 3);
        while (!out.empty() && out.back() == ' ') {
            out.pop_back();
        }
    }
    std::size_t first = 0;
    while (std::string_view(out).substr(first, 3) == kIdeographicSpace ||
           (first < out.size() && out[first] == ' ')) {
        first += out[first] == ' ' ? 1 : 3;
    }
    return out.substr(first);
}

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

bool startsWith(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}

// --- XML ---------------------------------------------------------------------------------

/// XML character data with its five named entities and numeric references resolved; a
/// reference that names no character is dropped.
std::string xmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out.push_back(text[i]);
            continue;
        }
        const std::size_t end = text.find(';', i);
        if (end == std::string_view::npos || end - i > 12) {
            out.push_back('&');
            continue;
        }
        const std::string_view name = text.substr(i + 1, end - i - 1);
        if (name == "amp") {
            out.push_back('&');
        } else if (name == "lt") {
            out.push_back('<');
        } else if (name == "gt") {
            out.push_back('>');
        } else if (name == "quot") {
            out.push_back('"');
        } else if (name == "apos") {
            out.push_back('\'');
        } else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            std::uint32_t code = 0;
            bool ok = name.size() > (hex ? 2U : 1U);
            for (std::size_t k = hex ? 2 : 1; ok && k < name.size(); ++k) {
                const char d = name[k];
                std::uint32_t digit = 0;
                if (d >= '0' && d <= '9') {
                    digit = static_cast<std::uint32_t>(d - '0');
                } else if (hex && d >= 'a' && d <= 'f') {
                    digit = static_cast<std::uint32_t>(d - 'a' + 10);
                } else if (hex && d >= 'A' && d <= 'F') {
                    digit = static_cast<std::uint32_t>(d - 'A' + 10);
                } else {
                    ok = false;
                    break;
                }
                code = code * (hex ? 16 : 10) + digit;
                ok = code <= 0x10FFFF;
            }
            if (ok && code != 0 && (code < 0xD800 || code > 0xDFFF)) {
                appendUtf8(out, code);
            }
        } else {
            out.append(text.substr(i, end - i + 1)); // not XML's: left as written
        }
        i = end;
    }
    return out;
}

/// The value of the attribute `name` in a start tag's text, or npos when it has none.
std::size_t attributeValue(std::string_view tag, std::string_view name, std::string_view& value) {
    std::size_t at = 0;
    while ((at = tag.find(name, at)) != std::string_view::npos) {
        const bool startsName = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' ||
                                           tag[at - 1] == '\n' || tag[at - 1] == '\r');
        std::size_t pos = at + name.size();
        while (pos < tag.size() && (tag[pos] == ' ' || tag[pos] == '\t')) {
            ++pos;
        }
        if (startsName && pos + 1 < tag.size() && tag[pos] == '=') {
            ++pos;
            while (pos < tag.size() && (tag[pos] == ' ' || tag[pos] == '\t')) {
                ++pos;
            }
            if (pos < tag.size() && (tag[pos] == '"' || tag[pos] == '\'')) {
                const std::size_t close = tag.find(tag[pos], pos + 1);
                if (close != std::string_view::npos) {
                    value = tag.substr(pos + 1, close - pos - 1);
                    return at;
                }
            }
        }
        at += name.size();
    }
    return std::string_view::npos;
}

/// The description inside one dc:description element's content: its x-default rdf:li, else
/// its first that says something, else the content itself when it is plain text.
std::string descriptionContent(std::string_view content) {
    std::string first;
    std::size_t at = 0;
    bool anyItem = false;
    while ((at = content.find("<rdf:li", at)) != std::string_view::npos) {
        const std::size_t tagEnd = content.find('>', at);
        if (tagEnd == std::string_view::npos) {
            break;
        }
        anyItem = true;
        const std::string_view tag = content.substr(at, tagEnd - at);
        at = tagEnd + 1;
        if (!tag.empty() && tag.back() == '/') {
            continue; // <rdf:li/>: empty
        }
        const std::size_t close = content.find("</rdf:li>", at);
        if (close == std::string_view::npos) {
            break;
        }
        std::string text = cleanCaption(xmlText(content.substr(at, close - at)));
        std::string_view lang;
        if (attributeValue(tag, "xml:lang", lang) != std::string_view::npos &&
            lang == "x-default" && !text.empty()) {
            return text;
        }
        if (first.empty()) {
            first = std::move(text);
        }
        at = close;
    }
    if (!anyItem && content.find('<') == std::string_view::npos) {
        return cleanCaption(xmlText(content));
    }
    return first;
}

// --- IPTC --------------------------------------------------------------------------------

std::uint16_t be16(const unsigned char* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
std::uint32_t be32(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}
std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

const unsigned char* bytesOf(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

/// Caption-Abstract from IPTC-IIM datasets.
std::string iptcDatasetsCaption(std::string_view data) {
    const unsigned char* p = bytesOf(data);
    const std::size_t size = data.size();
    std::string_view charset;
    std::string_view caption;
    bool captionSeen = false;
    std::size_t pos = 0;
    while (pos + 5 <= size && p[pos] == 0x1C) {
        const unsigned char record = p[pos + 1];
        const unsigned char dataset = p[pos + 2];
        std::uint64_t length = be16(p + pos + 3);
        pos += 5;
        if ((length & 0x8000U) != 0) {
            // An extended dataset: the next (length & 0x7FFF) bytes give its length.
            const std::size_t lengthBytes = length & 0x7FFFU;
            if (lengthBytes == 0 || lengthBytes > 4 || size - pos < lengthBytes) {
                break;
            }
            length = 0;
            for (std::size_t k = 0; k < lengthBytes; ++k) {
                length = (length << 8) | p[pos + k];
            }
            pos += lengthBytes;
        }
        if (length > size - pos) {
            break; // claims more than the block holds: trust none of it
        }
        const std::string_view value = data.substr(pos, static_cast<std::size_t>(length));
        if (record == 1 && dataset == 90) {
            charset = value;
        } else if (record == 2 && dataset == 120 && !captionSeen) {
            caption = value;
            captionSeen = true;
        }
        pos += static_cast<std::size_t>(length);
    }
    if (caption.empty()) {
        return "";
    }
    if (charset == "\x1B%G" && validUtf8(upToNul(caption))) {
        return cleanCaption(upToNul(caption));
    }
    return cleanCaption(decodeUndeclaredText(caption));
}

// --- PNG and WebP ------------------------------------------------------------------------

/// A file's bytes read where asked: from memory or from an open file.
class ChunkSource {
  public:
    explicit ChunkSource(std::string_view memory) : memory_(memory), size_(memory.size()) {}
    ChunkSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}

    std::uint64_t size() const { return size_; }

    /// `count` bytes at `pos`, fewer where the file ends; false when there are none.
    bool read(std::uint64_t pos, std::size_t count, std::string& out) const {
        out.clear();
        if (pos >= size_) {
            return false;
        }
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - pos));
        if (fd_ < 0) {
            out.assign(memory_.substr(static_cast<std::size_t>(pos), count));
            return !out.empty();
        }
        out.resize(count);
        std::size_t have = 0;
        while (have < count) {
            const ssize_t got =
                ::pread(fd_, out.data() + have, count - have, static_cast<off_t>(pos + have));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            have += static_cast<std::size_t>(got);
        }
        out.resize(have);
        return have > 0;
    }

  private:
    std::string_view memory_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

/// The most chunks looked at before giving up: text chunks stand before the pixels or just
/// after them, and a PNG's pixels may come as thousands of small chunks.
constexpr int kMostChunks = 256;

std::string exifChunkCaption(std::string_view tiff) {
    if (startsWith(tiff, std::string_view("Exif\0\0", 6))) {
        tiff.remove_prefix(6);
    }
    ExifInfo info;
    readExifInfo(bytesOf(tiff), tiff.size(), info);
    return info.caption;
}

// Inflates zlib data (PNG's compression method 0) into `out`; false when it is not whole zlib
// data or when it would inflate past `most` bytes: a chunk of a few hundred kilobytes can
// claim a thousand times its size, and a hostile file must not make Mivo fill its memory.
bool inflateCapped(std::string_view in, std::size_t most, std::string& out) {
    out.clear();
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return false;
    }
    // zlib takes a non-const pointer to the input but never writes through it.
    stream.next_in = const_cast<Bytef*>(reinterpret_cast<const Bytef*>(in.data()));
    stream.avail_in = static_cast<uInt>(in.size());
    std::array<char, 16 * 1024> buffer{};
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
        stream.avail_out = static_cast<uInt>(buffer.size());
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) {
            break;
        }
        const std::size_t made = buffer.size() - stream.avail_out;
        if (made > most - std::min(most, out.size()) || (made == 0 && status == Z_OK)) {
            status = Z_DATA_ERROR; // past the cap, or input that ends before the data does
            break;
        }
        out.append(buffer.data(), made);
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) {
        out.clear();
        return false;
    }
    return true;
}

// Latin-1 (what tEXt and zTXt declare) as UTF-8. Text that is already valid UTF-8 with
// characters beyond ASCII is what many programs write there in spite of the declaration, and
// is taken as it is.
std::string latin1Text(std::string_view bytes) {
    if (validUtf8(bytes)) {
        return std::string(bytes);
    }
    std::string text;
    for (const char byte : bytes) {
        appendUtf8(text, static_cast<unsigned char>(byte));
    }
    return text;
}

// The keyword and the text (UTF-8) of a PNG text chunk: tEXt, zTXt or iTXt, compressed or
// not; false for a chunk laid out otherwise or one whose text does not inflate within
// kCaptionBlockMostBytes.
bool pngText(std::string_view type, std::string_view body, std::string& keyword,
             std::string& text) {
    const std::size_t end = body.find('\0');
    if (end == std::string_view::npos || end == 0 || end > 79) {
        return false;
    }
    keyword.assign(body.substr(0, end));
    std::string_view rest = body.substr(end + 1);
    if (type == "tEXt") {
        text = latin1Text(rest);
        return true;
    }
    if (type == "zTXt") {
        std::string inflated;
        if (rest.empty() || rest[0] != 0 ||
            !inflateCapped(rest.substr(1), kCaptionBlockMostBytes, inflated)) {
            return false;
        }
        text = latin1Text(inflated);
        return true;
    }
    // iTXt: compression flag, method, language NUL, translated keyword NUL, text.
    if (rest.size() < 2) {
        return false;
    }
    const char compressed = rest[0];
    const char method = rest[1];
    rest.remove_prefix(2);
    for (int field = 0; field < 2; ++field) {
        const std::size_t nul = rest.find('\0');
        if (nul == std::string_view::npos) {
            return false;
        }
        rest.remove_prefix(nul + 1);
    }
    if (compressed == 0) {
        text.assign(rest);
    } else if (compressed != 1 || method != 0 ||
               !inflateCapped(rest, kCaptionBlockMostBytes, text)) {
        return false;
    }
    if (!validUtf8(text)) {
        text = sanitizeUtf8(text);
    }
    return true;
}

std::string pngCaption(const ChunkSource& src) {
    std::string bytes;
    std::string described;
    std::string exif;
    std::string keyword;
    std::string text;
    std::uint64_t pos = 8;
    for (int chunk = 0; chunk < kMostChunks && src.read(pos, 8, bytes) && bytes.size() == 8;
         ++chunk) {
        const std::uint32_t length = be32(bytesOf(bytes));
        const std::string type = bytes.substr(4, 4);
        if (type == "IEND") {
            break;
        }
        const std::size_t want = std::min<std::size_t>(length, kCaptionBlockMostBytes);
        if ((type == "iTXt" || type == "zTXt" || type == "tEXt") &&
            src.read(pos + 8, want, bytes) && pngText(type, bytes, keyword, text)) {
            // The XMP packet wins; a "Description" text stands in for the IPTC caption.
            if (keyword == "XML:com.adobe.xmp") {
                std::string caption = xmpDescription(text);
                if (!caption.empty()) {
                    return caption;
                }
            } else if (keyword == "Description" && described.empty()) {
                described = cleanCaption(text);
            }
        } else if (type == "eXIf" && exif.empty() && src.read(pos + 8, want, bytes)) {
            exif = exifChunkCaption(bytes);
        }
        pos += 12 + static_cast<std::uint64_t>(length); // length, type, data, CRC
    }
    return described.empty() ? exif : described;
}

std::string webpCaption(const ChunkSource& src) {
    std::string bytes;
    std::string exif;
    std::uint64_t pos = 12;
    for (int chunk = 0; chunk < kMostChunks && src.read(pos, 8, bytes) && bytes.size() == 8;
         ++chunk) {
        const std::uint32_t length = le32(bytesOf(bytes) + 4);
        const std::string type = bytes.substr(0, 4);
        const std::size_t want = std::min<std::size_t>(length, kCaptionBlockMostBytes);
        if (type == "XMP " && src.read(pos + 8, want, bytes)) {
            std::string caption = xmpDescription(bytes);
            if (!caption.empty()) {
                return caption;
            }
        } else if (type == "EXIF" && exif.empty() && src.read(pos + 8, want, bytes)) {
            exif = exifChunkCaption(bytes);
        }
        pos += 8 + static_cast<std::uint64_t>(length) + (length & 1U); // padded to even
    }
    return exif;
}

/// The bytes of the EXIF chunk of a PNG ("eXIf") or WebP ("EXIF") file; "" when it has none.
std::string exifChunkOf(const ChunkSource& src, bool png) {
    std::string bytes;
    std::uint64_t pos = png ? 8 : 12;
    for (int chunk = 0; chunk < kMostChunks && src.read(pos, 8, bytes) && bytes.size() == 8;
         ++chunk) {
        const std::uint32_t length = png ? be32(bytesOf(bytes)) : le32(bytesOf(bytes) + 4);
        const std::string type = bytes.substr(png ? 4 : 0, 4);
        if (type == "IEND") {
            break;
        }
        if (type == (png ? "eXIf" : "EXIF")) {
            return src.read(pos + 8, std::min<std::size_t>(length, kCaptionBlockMostBytes), bytes)
                       ? bytes
                       : std::string();
        }
        pos += png ? 12 + static_cast<std::uint64_t>(length)
                   : 8 + static_cast<std::uint64_t>(length) + (length & 1U);
    }
    return "";
}

/// DateTimeOriginal of an EXIF block that may begin with "Exif\0\0" (or, in HEIF, a few bytes
/// before it).
std::string dateOfExifBlock(std::string_view block) {
    static constexpr std::string_view kMark("Exif\0\0", 6);
    const std::size_t mark = block.substr(0, 16 + kMark.size()).find(kMark);
    if (mark != std::string_view::npos) {
        block.remove_prefix(mark + kMark.size());
    }
    ExifInfo info;
    readExifInfo(bytesOf(block), block.size(), info);
    return info.dateTaken;
}

/// A TIFF file is its own EXIF structure: its first IFD leads to the Exif IFD.
constexpr std::size_t kTiffHead = 256 * 1024;

std::string dateOf(const ChunkSource& src, const std::string& path) {
    std::string head;
    if (!src.read(0, 12, head) || head.size() < 12) {
        return "";
    }
    if (startsWith(head, "\x89PNG\r\n\x1A\n")) {
        return dateOfExifBlock(exifChunkOf(src, true));
    }
    if (startsWith(head, "RIFF") && head.substr(8, 4) == "WEBP") {
        return dateOfExifBlock(exifChunkOf(src, false));
    }
    if (startsWith(head, std::string_view("II*\0", 4)) ||
        startsWith(head, std::string_view("MM\0*", 4))) {
        std::string tiff;
        src.read(0, kTiffHead, tiff);
        ExifInfo info;
        bool complete = true;
        readExifInfo(bytesOf(tiff), tiff.size(), static_cast<std::size_t>(src.size()), info,
                     complete);
        return info.dateTaken;
    }
    if (head.substr(4, 4) == "ftyp") {
        std::string block;
        if (readHeifExifBlock(path, block) == HeifExif::Found) {
            return dateOfExifBlock(block);
        }
    }
    return "";
}

std::string captionOf(const ChunkSource& src) {
    std::string head;
    if (!src.read(0, 12, head) || head.size() < 12) {
        return "";
    }
    if (startsWith(head, "\x89PNG\r\n\x1A\n")) {
        return pngCaption(src);
    }
    if (startsWith(head, "RIFF") && head.substr(8, 4) == "WEBP") {
        return webpCaption(src);
    }
    return "";
}

// HEIC, HEIF and AVIF files start with a box of type ftyp.
bool isHeif(std::string_view head) {
    return head.size() >= 8 && head.substr(4, 4) == "ftyp";
}

} // namespace

bool isCameraBoilerplate(std::string_view text) {
    const std::string folded = upperAscii(foldBlanks(text));
    if (folded.empty()) {
        return true;
    }
    if (folded.find_first_not_of("? ") == std::string::npos) {
        return true; // what is left of a text some program could not encode
    }
    // "<KENOX S630  / Samsung S630>": a model and its maker in angle brackets.
    if (folded.front() == '<' && folded.back() == '>' && folded.find('/') != std::string::npos) {
        return true;
    }
    return std::find(kCameraBoilerplate.begin(), kCameraBoilerplate.end(), folded) !=
           kCameraBoilerplate.end();
}

std::string cleanCaption(std::string_view utf8) {
    std::string text = foldBlanks(utf8);
    if (isCameraBoilerplate(text)) {
        return "";
    }
    text.resize(charBytes(text, kCaptionMostChars));
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

std::string decodeUndeclaredText(std::string_view bytes) {
    bytes = upToNul(bytes);
    if (validUtf8(bytes)) {
        return std::string(bytes);
    }
    std::string text = decodeCp932(bytes);
    if (text.find("\xEF\xBF\xBD") == std::string::npos) {
        return text;
    }
    text.clear();
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x80) {
            text.push_back(byte);
        } else if (c < 0xA0) {
            if (kCp1252High[c - 0x80] != 0) {
                appendUtf8(text, kCp1252High[c - 0x80]);
            }
        } else {
            appendUtf8(text, c);
        }
    }
    return text;
}

std::string xmpDescription(std::string_view xmp) {
    static constexpr std::string_view kName = "dc:description";
    // XMP is UTF-8; a packet that is not has its stray bytes replaced before anything is read.
    std::string repaired;
    if (!validUtf8(xmp)) {
        repaired = sanitizeUtf8(xmp);
    }
    const std::string_view packet = repaired.empty() ? xmp : std::string_view(repaired);
    std::size_t at = 0;
    while ((at = packet.find(kName, at)) != std::string_view::npos) {
        const std::size_t after = at + kName.size();
        if (at > 0 && packet[at - 1] == '<' && after < packet.size() &&
            (packet[after] == '>' || packet[after] == ' ' || packet[after] == '\n' ||
             packet[after] == '\r' || packet[after] == '\t')) {
            const std::size_t open = packet.find('>', after);
            if (open == std::string_view::npos) {
                return "";
            }
            if (packet[open - 1] != '/') {
                const std::size_t close = packet.find("</dc:description", open + 1);
                if (close == std::string_view::npos) {
                    return "";
                }
                std::string text = descriptionContent(packet.substr(open + 1, close - open - 1));
                if (!text.empty()) {
                    return text;
                }
            }
        } else if (at > 0 && (packet[at - 1] == ' ' || packet[at - 1] == '\n' ||
                              packet[at - 1] == '\r' || packet[at - 1] == '\t')) {
            // The short form, an attribute of rdf:Description.
            std::string_view value;
            if (attributeValue(
                    packet.substr(at - 1, std::min<std::size_t>(packet.size() - at + 1, 64 * 1024)),
                    kName, value) == 1) {
                std::string text = cleanCaption(xmlText(value));
                if (!text.empty()) {
                    return text;
                }
            }
        }
        at = after;
    }
    return "";
}

std::string photoshopIptcCaption(std::string_view resources) {
    const unsigned char* p = bytesOf(resources);
    const std::size_t size = resources.size();
    std::size_t pos = 0;
    while (pos + 12 <= size && std::memcmp(p + pos, "8BIM", 4) == 0) {
        const std::uint16_t id = be16(p + pos + 4);
        // A Pascal name, its length byte included, padded to an even length.
        std::size_t name = 1 + static_cast<std::size_t>(p[pos + 6]);
        name += name & 1U;
        std::size_t at = pos + 6 + name;
        if (at > size || size - at < 4) {
            break;
        }
        const std::uint32_t length = be32(p + at);
        at += 4;
        if (length > size - at) {
            break;
        }
        if (id == 0x0404) {
            return iptcDatasetsCaption(resources.substr(at, length));
        }
        pos = at + length + (length & 1U);
    }
    return "";
}

std::string readPictureCaption(const std::string& path) {
    // O_NONBLOCK keeps a FIFO from blocking the open; anything but a regular file is refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return "";
    }
    struct stat info {};
    std::string caption;
    std::string head;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        const ChunkSource src(fd, static_cast<std::uint64_t>(info.st_size));
        if (src.read(0, 12, head) && isHeif(head)) {
            std::string packet;
            if (readHeifXmpBlock(path, packet) == HeifExif::Found) {
                caption = xmpDescription(packet);
            }
        } else {
            caption = captionOf(src);
        }
    }
    ::close(fd);
    return caption;
}

std::string readPictureCaptionFromBytes(std::string_view file) {
    if (isHeif(file)) {
        std::string packet;
        return readHeifXmpBlockFromBytes(file, packet) == HeifExif::Found ? xmpDescription(packet)
                                                                          : "";
    }
    return captionOf(ChunkSource(file));
}

std::string readPictureDateTaken(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return "";
    }
    struct stat info {};
    std::string date;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        date = dateOf(ChunkSource(fd, static_cast<std::uint64_t>(info.st_size)), path);
    }
    ::close(fd);
    return date;
}

} // namespace mivo
