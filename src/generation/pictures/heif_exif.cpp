#include "generation/pictures/heif_exif.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace mivo {

namespace {

// The boxes a phone writes before its picture data fit here many times over.
constexpr std::size_t kHeadBytes = 64 * 1024;
// What is read first: the ftyp box and the start of the meta box, which says how far it goes.
// A phone's meta box is a few kilobytes; the rest of kHeadBytes is read only when it is longer.
constexpr std::size_t kFirstBytes = 4 * 1024;
// An EXIF block or an XMP packet is a few kilobytes; a larger item is not one a camera or a
// photo manager wrote, and is never read.
constexpr std::uint64_t kMaxItemBytes = 1024 * 1024;

// The items read from a HEIF file's boxes.
enum class Wanted { Exif, Xmp };

// Reads big-endian numbers from a range, remembering when it ran past its end.
class Reader {
  public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t number(std::size_t size) {
        if (size > 8 || at_ + size > bytes_.size()) {
            failed_ = true;
            at_ = bytes_.size();
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            value = (value << 8) | static_cast<unsigned char>(bytes_[at_ + i]);
        }
        at_ += size;
        return value;
    }
    std::string_view take(std::size_t size) {
        if (at_ + size > bytes_.size()) {
            failed_ = true;
            at_ = bytes_.size();
            return {};
        }
        const std::string_view out = bytes_.substr(at_, size);
        at_ += size;
        return out;
    }
    // The bytes up to the next NUL, which is passed over; fails where there is none.
    std::string_view text() {
        const std::size_t end = bytes_.find('\0', at_);
        if (end == std::string_view::npos) {
            failed_ = true;
            at_ = bytes_.size();
            return {};
        }
        const std::string_view out = bytes_.substr(at_, end - at_);
        at_ = end + 1;
        return out;
    }
    bool failed() const { return failed_; }
    bool atEnd() const { return at_ >= bytes_.size(); }

  private:
    std::string_view bytes_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

struct Box {
    std::string_view type;
    std::string_view body;  // after the header
    std::uint64_t size = 0; // the whole box, as its header says
};

// The next box of `reader`; false at the end or at a box that does not fit.
bool nextBox(Reader& reader, Box& box) {
    if (reader.atEnd()) {
        return false;
    }
    std::uint64_t size = reader.number(4);
    box.type = reader.take(4);
    std::size_t header = 8;
    if (size == 1) {
        size = reader.number(8);
        header = 16;
    }
    if (reader.failed() || size < header) {
        return false;
    }
    box.size = size;
    box.body = reader.take(static_cast<std::size_t>(size - header));
    return !reader.failed();
}

// The item id of the wanted item in an iinf box (EXIF: type "Exif"; XMP: type "mime" with the
// content type application/rdf+xml); false when there is none.
bool findItem(std::string_view iinf, Wanted wanted, std::uint32_t& item) {
    Reader reader(iinf);
    const auto version = reader.number(1);
    reader.number(3);
    const std::uint64_t count = reader.number(version == 0 ? 2 : 4);
    Box infe;
    for (std::uint64_t i = 0; i < count && nextBox(reader, infe); ++i) {
        if (infe.type != "infe") {
            continue;
        }
        Reader entry(infe.body);
        const auto entryVersion = entry.number(1);
        entry.number(3);
        if (entryVersion < 2) {
            continue; // no item types before version 2
        }
        const auto id = static_cast<std::uint32_t>(entry.number(entryVersion == 2 ? 2 : 4));
        entry.number(2); // protection index
        const std::string_view type = entry.take(4);
        bool found = false;
        if (wanted == Wanted::Exif) {
            found = type == "Exif";
        } else if (type == "mime") {
            entry.text(); // the item's name
            found = entry.text() == "application/rdf+xml";
        }
        if (found && !entry.failed()) {
            item = id;
            return true;
        }
    }
    return false;
}

// Where item `item` lies, from an iloc box: a file offset (method 0) or an offset into the
// meta box's idat (method 1). One extent only: cameras write EXIF in one piece.
bool itemPlace(std::string_view iloc, std::uint32_t item, std::uint64_t& offset,
               std::uint64_t& length, int& method) {
    Reader reader(iloc);
    const auto version = reader.number(1);
    reader.number(3);
    const auto sizes = reader.number(1);
    const auto more = reader.number(1);
    const std::size_t offsetSize = sizes >> 4;
    const std::size_t lengthSize = sizes & 15;
    const std::size_t baseSize = more >> 4;
    const std::size_t indexSize = version >= 1 ? (more & 15) : 0;
    const std::uint64_t count = reader.number(version < 2 ? 2 : 4);
    for (std::uint64_t i = 0; i < count && !reader.failed(); ++i) {
        const auto id = static_cast<std::uint32_t>(reader.number(version < 2 ? 2 : 4));
        int construction = 0;
        if (version >= 1) {
            construction = static_cast<int>(reader.number(2) & 15);
        }
        reader.number(2); // data reference
        const std::uint64_t base = reader.number(baseSize);
        const std::uint64_t extents = reader.number(2);
        for (std::uint64_t e = 0; e < extents && !reader.failed(); ++e) {
            reader.number(indexSize);
            const std::uint64_t extentOffset = reader.number(offsetSize);
            const std::uint64_t extentLength = reader.number(lengthSize);
            if (id == item) {
                if (extents != 1) {
                    return false;
                }
                offset = base + extentOffset;
                length = extentLength;
                method = construction;
                return !reader.failed();
            }
        }
    }
    return false;
}

bool readAt(int fd, std::uint64_t offset, std::size_t size, std::string& out) {
    out.resize(size);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n =
            ::pread(fd, out.data() + got, size - got, static_cast<off_t>(offset + got));
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return got == size;
}

// The file's first bytes, as far as its meta box reaches and never past kHeadBytes: a first
// read of kFirstBytes, then, when the meta box runs past them, a read to its end. Where the
// first bytes do not say where the meta box ends, kHeadBytes are read as a whole.
template <class Read> void readHead(const Read& read, std::string& head) {
    read(0, kFirstBytes, head);
    if (head.size() < kFirstBytes) {
        return; // the whole file
    }
    std::uint64_t at = 0;
    while (at + 8 <= head.size()) {
        Reader reader(std::string_view(head).substr(static_cast<std::size_t>(at)));
        std::uint64_t size = reader.number(4);
        const std::string_view type = reader.take(4);
        if (size == 1) {
            size = reader.number(8);
        }
        if (reader.failed() || size < 8) {
            break;
        }
        if (type == "meta") {
            if (at + size > head.size()) {
                read(0, static_cast<std::size_t>(std::min<std::uint64_t>(at + size, kHeadBytes)),
                     head);
            }
            return;
        }
        at += size;
    }
    read(0, kHeadBytes, head);
}

// Where the meta box's item boxes lie in `head`: Unknown when the file is not HEIF or its meta
// box does not fit in the head.
struct MetaBoxes {
    std::string_view iinf;
    std::string_view iloc;
    std::string_view idat;
};

HeifExif findMetaBoxes(std::string_view head, MetaBoxes& boxes) {
    Reader file(head);
    Box box;
    bool heif = false;
    while (nextBox(file, box)) {
        if (box.type == "ftyp") {
            heif = true;
        } else if (box.type == "meta") {
            break;
        }
    }
    if (!heif || box.type != "meta" || file.failed()) {
        return HeifExif::Unknown; // not HEIF, or a meta box longer than the head
    }
    Reader meta(box.body);
    meta.number(4); // version and flags
    Box child;
    while (nextBox(meta, child)) {
        if (child.type == "iinf") {
            boxes.iinf = child.body;
        } else if (child.type == "iloc") {
            boxes.iloc = child.body;
        } else if (child.type == "idat") {
            boxes.idat = child.body;
        }
    }
    return boxes.iinf.empty() || boxes.iloc.empty() ? HeifExif::Unknown : HeifExif::Found;
}

// The wanted item of a file whose meta boxes are `boxes`; `read(offset, size, out)` gives the
// bytes of the file there: false when there are fewer.
template <class Read>
HeifExif readItem(const Read& read, const MetaBoxes& boxes, Wanted wanted, std::string& block) {
    block.clear();
    const std::string_view iinf = boxes.iinf;
    const std::string_view iloc = boxes.iloc;
    const std::string_view idat = boxes.idat;
    std::uint32_t item = 0;
    if (!findItem(iinf, wanted, item)) {
        return HeifExif::None;
    }
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    int method = 0;
    if (!itemPlace(iloc, item, offset, length, method) || length < 4 || length > kMaxItemBytes) {
        return HeifExif::Unknown;
    }
    if (method == 1) {
        if (offset + length > idat.size()) {
            return HeifExif::Unknown;
        }
        block.assign(
            idat.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)));
    } else if (method != 0 || !read(offset, static_cast<std::size_t>(length), block)) {
        return HeifExif::Unknown;
    }
    if (wanted == Wanted::Xmp) {
        return HeifExif::Found;
    }
    // The item starts with the offset of the TIFF header behind these four bytes.
    const std::uint64_t skip = Reader(block).number(4);
    if (skip > block.size() - 4) {
        return HeifExif::Unknown;
    }
    block.erase(0, static_cast<std::size_t>(4 + skip));
    return HeifExif::Found;
}

// The items asked for: the head once, then each item found.
template <class Read> HeifItems readItems(const Read& read, bool exif, bool xmp) {
    HeifItems items;
    std::string head;
    readHead(read, head);
    MetaBoxes boxes;
    if (findMetaBoxes(head, boxes) != HeifExif::Found) {
        return items;
    }
    if (exif) {
        items.exif = readItem(read, boxes, Wanted::Exif, items.exifBlock);
    }
    if (xmp) {
        items.xmp = readItem(read, boxes, Wanted::Xmp, items.xmpPacket);
    }
    return items;
}

// The items of the file at `path`. O_NONBLOCK keeps a FIFO from blocking the open; anything
// but a regular file is not read.
HeifItems readFileItems(const std::string& path, bool exif, bool xmp) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return {};
    }
    struct stat info {};
    HeifItems items;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        items = readItems([fd](std::uint64_t offset, std::size_t size,
                               std::string& out) { return readAt(fd, offset, size, out); },
                          exif, xmp);
    }
    ::close(fd);
    return items;
}

// The items of a file held in memory.
HeifItems readMemoryItems(std::string_view file, bool exif, bool xmp) {
    return readItems(
        [file](std::uint64_t offset, std::size_t size, std::string& out) {
            if (offset >= file.size()) {
                out.clear();
                return size == 0;
            }
            out.assign(file.substr(static_cast<std::size_t>(offset), size));
            return out.size() == size;
        },
        exif, xmp);
}

} // namespace

HeifItems readHeifItems(const std::string& path, bool xmp) {
    return readFileItems(path, true, xmp);
}

HeifItems readHeifItemsFromBytes(std::string_view file, bool xmp) {
    return readMemoryItems(file, true, xmp);
}

HeifExif readHeifExifBlock(const std::string& path, std::string& block) {
    HeifItems items = readFileItems(path, true, false);
    block = std::move(items.exifBlock);
    return items.exif;
}

HeifExif readHeifExifBlockFromBytes(std::string_view file, std::string& block) {
    HeifItems items = readMemoryItems(file, true, false);
    block = std::move(items.exifBlock);
    return items.exif;
}

HeifExif readHeifXmpBlock(const std::string& path, std::string& block) {
    HeifItems items = readFileItems(path, false, true);
    block = std::move(items.xmpPacket);
    return items.xmp;
}

HeifExif readHeifXmpBlockFromBytes(std::string_view file, std::string& block) {
    HeifItems items = readMemoryItems(file, false, true);
    block = std::move(items.xmpPacket);
    return items.xmp;
}

} // namespace mivo
