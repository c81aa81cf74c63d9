#include "generation/pictures/picture_header.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "generation/pictures/exif_info.h"
#include "generation/pictures/picture_caption.h"

namespace mivo {

namespace {

/// Random access to the bytes of a picture, either already in memory or read from a file a
/// chunk at a time. Only the chunks that hold the header fields are ever read, so a long
/// EXIF block costs a seek, not a read.
class ByteSource {
  public:
    static constexpr std::size_t kChunk = 1024;

    ByteSource(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    ByteSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    /// A file of unknown length: its end is where a read comes back short. With `onDisk`, the
    /// first read asks the page cache only, and sets *onDisk when the bytes were not there
    /// (or the file system cannot tell) before it reads them from the disk.
    ByteSource(int fd, bool* onDisk)
        : fd_(fd), size_(std::numeric_limits<std::uint64_t>::max()), onDisk_(onDisk) {}

    /// The parts of a file read so far, for a reader that fetches bytes itself; `fileEnd` is
    /// the file's length once known. Bytes no part holds are not read: the first such request
    /// is noted in `want`, and the walk that made it fails.
    ByteSource(const std::vector<FilePart>& parts, std::uint64_t fileEnd, FileWant& want)
        : size_(fileEnd), parts_(&parts), want_(&want) {}

    std::uint64_t size() const { return size_; }

    /// Pointer to `count` (at most kChunk) contiguous bytes at `pos`, or nullptr when the
    /// source ends before them.
    const unsigned char* get(std::uint64_t pos, std::size_t count) {
        if (count > kChunk || pos > size_ || count > size_ - pos) {
            return nullptr;
        }
        if (parts_ != nullptr) {
            return fromParts(pos, count);
        }
        if (fd_ < 0) {
            return data_ + pos;
        }
        if (pos >= bufStart_ && pos - bufStart_ + count <= bufLen_) {
            return buf_ + (pos - bufStart_);
        }
        if (!fill(pos)) {
            return nullptr;
        }
        return count <= bufLen_ ? buf_ : nullptr;
    }

    /// The bytes at `pos` that are already at hand (in memory, or in the last chunk read),
    /// without reading; `count` says how many. nullptr when there are none.
    const unsigned char* peek(std::uint64_t pos, std::size_t& count) const {
        count = 0;
        if (parts_ != nullptr) {
            for (const FilePart& part : *parts_) {
                if (pos >= part.start && pos - part.start < part.bytes.size()) {
                    count = part.bytes.size() - static_cast<std::size_t>(pos - part.start);
                    return part.bytes.data() + (pos - part.start);
                }
            }
            return nullptr;
        }
        if (fd_ < 0) {
            if (pos >= size_) {
                return nullptr;
            }
            count = static_cast<std::size_t>(size_ - pos);
            return data_ + pos;
        }
        if (pos < bufStart_ || pos - bufStart_ >= bufLen_) {
            return nullptr;
        }
        count = bufLen_ - static_cast<std::size_t>(pos - bufStart_);
        return buf_ + (pos - bufStart_);
    }

    /// Reads `count` bytes at `pos` into `out` (fewer where the source ends) with one read;
    /// false when there are none.
    bool read(std::uint64_t pos, std::uint64_t count, std::vector<unsigned char>& out) {
        out.clear();
        if (pos >= size_) {
            return false;
        }
        count = std::min(count, size_ - pos);
        if (parts_ != nullptr) {
            const unsigned char* at = fromParts(pos, static_cast<std::size_t>(count));
            if (at != nullptr) {
                out.assign(at, at + count);
            }
            return at != nullptr;
        }
        if (fd_ < 0) {
            out.assign(data_ + pos, data_ + pos + count);
            return count > 0;
        }
        out.resize(static_cast<std::size_t>(count));
        out.resize(readFrom(pos, out.data(), 0, out.size()));
        return !out.empty();
    }

  private:
    const unsigned char* fromParts(std::uint64_t pos, std::size_t count) {
        for (const FilePart& part : *parts_) {
            if (pos >= part.start && pos - part.start + count <= part.bytes.size()) {
                return part.bytes.data() + (pos - part.start);
            }
        }
        if (!want_->needed) {
            *want_ = FileWant{true, pos, count};
        }
        return nullptr;
    }

    bool fill(std::uint64_t pos) {
        bufStart_ = pos;
        bufLen_ = 0;
        if (onDisk_ != nullptr) {
            iovec part{buf_, kChunk};
            ssize_t got = -1;
            do {
                got = ::preadv2(fd_, &part, 1, static_cast<off_t>(pos), RWF_NOWAIT);
            } while (got < 0 && errno == EINTR);
            if (got < 0 && (errno == EAGAIN || errno == EOPNOTSUPP || errno == EINVAL)) {
                *onDisk_ = true;
            } else if (got >= 0) {
                bufLen_ = static_cast<std::size_t>(got);
            } else {
                return false;
            }
            onDisk_ = nullptr;
            if (got == 0) {
                return false;
            }
        }
        bufLen_ = readFrom(pos, buf_, bufLen_, kChunk);
        return bufLen_ > 0;
    }

    /// Fills `to` from byte `have` up to `want` with the file's bytes at `pos` onwards, read
    /// after read until the file ends or fails; the bytes it holds then.
    std::size_t readFrom(std::uint64_t pos, unsigned char* to, std::size_t have,
                         std::size_t want) const {
        while (have < want) {
            const ssize_t got =
                ::pread(fd_, to + have, want - have, static_cast<off_t>(pos + have));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            have += static_cast<std::size_t>(got);
        }
        return have;
    }

    const unsigned char* data_ = nullptr;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    bool* onDisk_ = nullptr; // asked by the first read only
    const std::vector<FilePart>* parts_ = nullptr;
    FileWant* want_ = nullptr;
    unsigned char buf_[kChunk] = {};
    std::uint64_t bufStart_ = 0;
    std::size_t bufLen_ = 0;
};

std::uint16_t be16(const unsigned char* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint32_t be32(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

bool isStartOfFrame(unsigned char marker) {
    // C4 (DHT), C8 (JPG extension) and CC (DAC) share the range but are not frames.
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

/// The EXIF orientation (1-8) from an APP1 segment whose data starts at `start` and holds
/// `length` bytes; 0 when it is EXIF without a usable orientation tag, -1 when it is not EXIF
/// (XMP, for example).
int readExifOrientation(ByteSource& src, std::uint64_t start, std::uint64_t length) {
    static const unsigned char kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (length < 6) {
        return -1;
    }
    const unsigned char* id = src.get(start, 6);
    if (id == nullptr || std::memcmp(id, kExif, 6) != 0) {
        return -1;
    }
    if (length < 6 + 8) {
        return 0;
    }
    // Offsets inside the TIFF structure count from its header and must stay inside the segment.
    const std::uint64_t tiff = start + 6;
    const std::uint64_t tiffLength = length - 6;
    const unsigned char* head = src.get(tiff, 8);
    if (head == nullptr) {
        return 0;
    }
    bool little = false;
    if (head[0] == 'I' && head[1] == 'I' && head[2] == 0x2A && head[3] == 0) {
        little = true;
    } else if (!(head[0] == 'M' && head[1] == 'M' && head[2] == 0 && head[3] == 0x2A)) {
        return 0;
    }
    auto u16 = [little](const unsigned char* p) { return little ? le16(p) : be16(p); };
    auto u32 = [little](const unsigned char* p) { return little ? le32(p) : be32(p); };
    const std::uint64_t ifd = u32(head + 4);
    if (ifd > tiffLength || tiffLength - ifd < 2) {
        return 0;
    }
    const unsigned char* countBytes = src.get(tiff + ifd, 2);
    if (countBytes == nullptr) {
        return 0;
    }
    // An IFD that claims more entries than the segment holds is damaged: trust none of it.
    const std::uint64_t count = u16(countBytes);
    if (tiffLength - ifd - 2 < count * 12) {
        return 0;
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t entry = ifd + 2 + i * 12;
        if (entry > tiffLength || tiffLength - entry < 12) {
            return 0;
        }
        const unsigned char* e = src.get(tiff + entry, 12);
        if (e == nullptr) {
            return 0;
        }
        if (u16(e) != 0x0112) {
            continue;
        }
        // SHORT, one value, held in the first two bytes of the value field.
        if (u16(e + 2) != 3 || u32(e + 4) != 1) {
            return 0;
        }
        const int value = u16(e + 8);
        return value >= 1 && value <= 8 ? value : 0;
    }
    return 0;
}

// A side of 0 marks a broken header: the sizes are given back only when both are there.
bool acceptSize(long width, long height, long& pictureWidth, long& pictureHeight) {
    if (width == 0 || height == 0) {
        return false;
    }
    pictureWidth = width;
    pictureHeight = height;
    return true;
}

/// The shooting data of the EXIF segment whose TIFF structure starts at `start`. Cameras put
/// the tags it needs near the start and the bulk (maker notes, a thumbnail) after them, so
/// the bytes already read come first, then the first 4 KiB, and the whole segment only when a
/// value lies beyond them.
void readExifSegment(ByteSource& src, std::uint64_t start, std::uint64_t length, ExifInfo& out) {
    constexpr std::uint64_t kFirstBytes = 4096;
    const auto blockSize = static_cast<std::size_t>(length);
    bool complete = true;
    std::size_t have = 0;
    if (const unsigned char* at = src.peek(start, have); at != nullptr) {
        have = std::min(have, blockSize);
        readExifInfo(at, have, blockSize, out, complete);
        if (complete) {
            return;
        }
    }
    std::vector<unsigned char> bytes;
    if (length > have && length > kFirstBytes && have < kFirstBytes) {
        if (!src.read(start, kFirstBytes, bytes)) {
            return;
        }
        readExifInfo(bytes.data(), bytes.size(), blockSize, out, complete);
        if (complete) {
            return;
        }
    }
    if (src.read(start, length, bytes)) {
        readExifInfo(bytes.data(), bytes.size(), out);
    }
}

/// The caption an APP1 (XMP) or APP13 (Photoshop IPTC) segment whose data starts at `start`
/// and holds `length` bytes gives; "" for other segments and for segments that give none.
std::string jpegSegmentCaption(ByteSource& src, unsigned char marker, std::uint64_t start,
                               std::uint64_t length) {
    static constexpr std::string_view kXmp("http://ns.adobe.com/xap/1.0/\0", 29);
    static constexpr std::string_view kPhotoshop("Photoshop 3.0\0", 14);
    const std::string_view id = marker == 0xE1 ? kXmp : kPhotoshop;
    if (length <= id.size()) {
        return "";
    }
    const unsigned char* head = src.get(start, id.size());
    if (head == nullptr || std::memcmp(head, id.data(), id.size()) != 0) {
        return "";
    }
    std::vector<unsigned char> bytes;
    if (!src.read(start + id.size(), length - id.size(), bytes)) {
        return "";
    }
    const std::string_view body(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return marker == 0xE1 ? xmpDescription(body) : photoshopIptcCaption(body);
}

bool readJpegSize(ByteSource& src, long& pictureWidth, long& pictureHeight, ExifInfo* exifInfo) {
    std::uint64_t pos = 2; // after SOI
    int orientation = 0;
    bool exifSeen = false;
    // The caption the picture's XMP gives, else its IPTC; the EXIF one comes with the
    // shooting data and counts only without both.
    std::string xmpCaption;
    std::string iptcCaption;
    const std::uint64_t end = src.size();
    while (pos < end) {
        // Find the next marker: skip any bytes before its 0xFF (as decoders do with
        // extraneous data), then the 0xFF fill bytes.
        const unsigned char* b = src.get(pos, 1);
        if (b == nullptr) {
            return false;
        }
        if (*b != 0xFF) {
            ++pos;
            continue;
        }
        ++pos;
        b = src.get(pos, 1);
        while (b != nullptr && *b == 0xFF) {
            ++pos;
            b = src.get(pos, 1);
        }
        if (b == nullptr) {
            return false;
        }
        const unsigned char marker = *b;
        ++pos;
        if (marker == 0x00) {
            continue; // a stuffed zero is data, not a marker
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            continue; // markers without a length
        }
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA) {
            return false; // a second SOI, the end or the scan before any frame header
        }
        const unsigned char* lengthBytes = src.get(pos, 2);
        if (lengthBytes == nullptr) {
            return false;
        }
        const std::uint64_t length = be16(lengthBytes);
        if (length < 2) {
            return false;
        }
        if (isStartOfFrame(marker)) {
            // length, precision, height, width
            if (length < 8) {
                return false;
            }
            const unsigned char* frame = src.get(pos, 7);
            if (frame == nullptr) {
                return false;
            }
            long height = be16(frame + 3);
            long width = be16(frame + 5);
            // Browsers show the picture turned by its EXIF orientation; 5 to 8 turn it by 90°.
            if (orientation >= 5) {
                std::swap(width, height);
            }
            if (exifInfo != nullptr && !(xmpCaption.empty() && iptcCaption.empty())) {
                exifInfo->caption = xmpCaption.empty() ? iptcCaption : xmpCaption;
            }
            return acceptSize(width, height, pictureWidth, pictureHeight);
        }
        int found = -1;
        if (marker == 0xE1 && !exifSeen) {
            // Only the first EXIF block counts.
            found = readExifOrientation(src, pos + 2, length - 2);
            if (found >= 0) {
                orientation = found;
                exifSeen = true;
                if (exifInfo != nullptr && length - 2 > 6) {
                    readExifSegment(src, pos + 2 + 6, length - 2 - 6, *exifInfo);
                }
            }
        }
        if (exifInfo != nullptr && found < 0 && (marker == 0xE1 || marker == 0xED)) {
            std::string& caption = marker == 0xE1 ? xmpCaption : iptcCaption;
            if (caption.empty()) {
                caption = jpegSegmentCaption(src, marker, pos + 2, length - 2);
            }
        }
        pos += length;
    }
    return false;
}

bool readGifSize(ByteSource& src, long& pictureWidth, long& pictureHeight) {
    const unsigned char* p = src.get(0, 10);
    if (p == nullptr) {
        return false;
    }
    return acceptSize(le16(p + 6), le16(p + 8), pictureWidth, pictureHeight);
}

bool readBmpSize(ByteSource& src, long& pictureWidth, long& pictureHeight) {
    const unsigned char* p = src.get(0, 18);
    if (p == nullptr) {
        return false;
    }
    const std::uint32_t headerSize = le32(p + 14);
    long width = 0;
    long height = 0;
    if (headerSize == 12) {
        // BITMAPCOREHEADER: unsigned 16-bit sizes
        const unsigned char* core = src.get(18, 4);
        if (core == nullptr) {
            return false;
        }
        width = le16(core);
        height = le16(core + 2);
    } else if (headerSize >= 40) {
        const unsigned char* info = src.get(18, 8);
        if (info == nullptr) {
            return false;
        }
        const auto w = static_cast<std::int32_t>(le32(info));
        const auto h = static_cast<std::int32_t>(le32(info + 4));
        if (w <= 0 || h == INT32_MIN) {
            return false;
        }
        width = w;
        height = h < 0 ? -static_cast<long>(h) : h; // negative height: rows stored top-down
    } else {
        return false;
    }
    return acceptSize(width, height, pictureWidth, pictureHeight);
}

bool readSize(ByteSource& src, long& pictureWidth, long& pictureHeight, ExifInfo* exifInfo) {
    const unsigned char* magic = src.get(0, 6);
    if (magic == nullptr) {
        return false;
    }
    if (magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) {
        return readJpegSize(src, pictureWidth, pictureHeight, exifInfo);
    }
    if (std::memcmp(magic, "GIF87a", 6) == 0 || std::memcmp(magic, "GIF89a", 6) == 0) {
        return readGifSize(src, pictureWidth, pictureHeight);
    }
    if (magic[0] == 'B' && magic[1] == 'M') {
        return readBmpSize(src, pictureWidth, pictureHeight);
    }
    return false;
}

} // namespace

bool readPictureSizeFromBytes(const unsigned char* data, std::size_t size, long& pictureWidth,
                              long& pictureHeight, ExifInfo* exifInfo) {
    if (data == nullptr) {
        return false;
    }
    ByteSource src(data, size);
    return readSize(src, pictureWidth, pictureHeight, exifInfo);
}

FileWant readPictureSizeFromParts(const std::vector<FilePart>& parts, std::uint64_t fileEnd,
                                  long& pictureWidth, long& pictureHeight, ExifInfo* exifInfo,
                                  bool& ok) {
    FileWant want;
    ByteSource src(parts, fileEnd, want);
    long width = 0;
    long height = 0;
    ExifInfo exif;
    ok = readSize(src, width, height, exifInfo != nullptr ? &exif : nullptr);
    if (want.needed) {
        // The walk stopped at bytes it did not have: what it found so far counts for nothing.
        ok = false;
        return want;
    }
    if (ok) {
        pictureWidth = width;
        pictureHeight = height;
    }
    if (exifInfo != nullptr) {
        *exifInfo = std::move(exif);
    }
    return want;
}

bool readPictureSize(const std::string& path, long& pictureWidth, long& pictureHeight,
                     ExifInfo* exifInfo) {
    // O_NONBLOCK keeps a FIFO from blocking the open; anything but a regular file is refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = false;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        ByteSource src(fd, static_cast<std::uint64_t>(info.st_size));
        ok = readSize(src, pictureWidth, pictureHeight, exifInfo);
    }
    ::close(fd);
    return ok;
}

bool readPictureSizeAt(int folderFd, const char* name, long& pictureWidth, long& pictureHeight,
                       ExifInfo* exifInfo, bool* onDisk, bool fromDisk) {
    // No stat: the listing saw a regular file, and whatever may stand there now fails its read
    // (a FIFO, opened without blocking, cannot be read at an offset; a folder cannot be read).
    const int fd = ::openat(folderFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    if (fromDisk) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM); // advice only: a refusal changes nothing
    }
    ByteSource src(fd, onDisk);
    const bool ok = readSize(src, pictureWidth, pictureHeight, exifInfo);
    ::close(fd);
    return ok;
}

} // namespace mivo
