#include "generation/pictures/live_photo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "common/paths.h"
#include "common/text.h"
#include "generation/pictures/exif_info.h"
#include "generation/pictures/heif_exif.h"

namespace mivo {

namespace {

/// Reads `size` bytes at `offset` into `out`; false when the source has fewer.
using ReadAt = std::function<bool(std::uint64_t offset, std::size_t size, unsigned char* out)>;

std::uint64_t bigEndian(const unsigned char* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) {
        value = (value << 8U) | bytes[i];
    }
    return value;
}

/// One box's header: its type, where its content starts and where it ends.
struct Box {
    std::array<char, 4> type{};
    std::uint64_t content = 0;
    std::uint64_t end = 0;
};

bool readBox(const ReadAt& read, std::uint64_t at, std::uint64_t limit, Box& box) {
    std::array<unsigned char, 16> head{};
    if (at + 8 > limit || !read(at, 8, head.data())) {
        return false;
    }
    std::uint64_t size = bigEndian(head.data(), 4);
    for (std::size_t i = 0; i < 4; ++i) {
        box.type[i] = static_cast<char>(head[4 + i]);
    }
    box.content = at + 8;
    if (size == 1) {
        if (at + 16 > limit || !read(at + 8, 8, head.data() + 8)) {
            return false;
        }
        size = bigEndian(head.data() + 8, 8);
        box.content = at + 16;
    } else if (size == 0) {
        size = limit - at; // to the end of what holds it
    }
    if (size < box.content - at || size > limit - at) {
        return false;
    }
    box.end = at + size;
    return true;
}

bool isType(const Box& box, const char* type) {
    return std::equal(box.type.begin(), box.type.end(), type);
}

/// The first box of `type` among the boxes from `from` to `limit`; a file of hundreds of top
/// level boxes is no QuickTime file a phone writes.
bool findBox(const ReadAt& read, std::uint64_t from, std::uint64_t limit, const char* type,
             Box& found) {
    constexpr int kMostBoxes = 256;
    std::uint64_t at = from;
    for (int n = 0; n < kMostBoxes && at < limit; ++n) {
        Box box;
        if (!readBox(read, at, limit, box)) {
            return false;
        }
        if (isType(box, type)) {
            found = box;
            return true;
        }
        at = box.end;
    }
    return false;
}

bool durationOf(const ReadAt& read, std::uint64_t fileSize, long long& ms) {
    Box moov;
    Box mvhd;
    if (!findBox(read, 0, fileSize, "moov", moov) ||
        !findBox(read, moov.content, moov.end, "mvhd", mvhd)) {
        return false;
    }
    // Version and flags, two times, the time scale and the duration: 32-bit fields in version
    // 0, 64-bit times and duration in version 1.
    std::array<unsigned char, 32> fields{};
    const std::uint64_t length = mvhd.end - mvhd.content;
    if (length < 20 || !read(mvhd.content, 1, fields.data())) {
        return false;
    }
    const bool wide = fields[0] == 1;
    const std::size_t need = wide ? 32 : 20;
    if (length < need || !read(mvhd.content, need, fields.data())) {
        return false;
    }
    const std::uint64_t scale = bigEndian(fields.data() + (wide ? 20 : 12), 4);
    const std::uint64_t duration = bigEndian(fields.data() + (wide ? 24 : 16), wide ? 8 : 4);
    constexpr std::uint64_t kUnknown32 = 0xFFFFFFFFU;
    if (scale == 0 || duration == (wide ? ~std::uint64_t{0} : kUnknown32)) {
        return false;
    }
    // A day at most: anything longer is no motion, and the product stays in range.
    constexpr std::uint64_t kDayMs = 86400000;
    const std::uint64_t whole = duration / scale;
    if (whole > kDayMs / 1000) {
        ms = static_cast<long long>(kDayMs);
        return true;
    }
    const std::uint64_t total = whole * 1000 + (duration % scale) * 1000 / scale;
    ms = static_cast<long long>(total);
    return true;
}

/// One line of printable ASCII (an identifier), at most 128 bytes; "" for anything else.
std::string identifierText(const unsigned char* bytes, std::size_t size) {
    constexpr std::size_t kLongest = 128;
    std::string text;
    for (std::size_t i = 0; i < size && bytes[i] != 0; ++i) {
        if (bytes[i] <= 0x20 || bytes[i] >= 0x7F || text.size() == kLongest) {
            return {};
        }
        text.push_back(static_cast<char>(bytes[i]));
    }
    return text;
}

/// The content identifier of a QuickTime file: the value of the key
/// "com.apple.quicktime.content.identifier" in the metadata of its movie (moov/meta, where
/// phones write it, or moov/udta/meta): its keys box names the key, its item list holds the
/// value under the key's number.
std::string contentIdentifierOf(const ReadAt& read, std::uint64_t fileSize) {
    Box moov;
    Box meta;
    if (!findBox(read, 0, fileSize, "moov", moov)) {
        return {};
    }
    Box udta;
    if (!findBox(read, moov.content, moov.end, "meta", meta) &&
        !(findBox(read, moov.content, moov.end, "udta", udta) &&
          findBox(read, udta.content, udta.end, "meta", meta))) {
        return {};
    }
    // QuickTime's meta holds boxes at once; the ISO form has a version and flags first.
    std::array<unsigned char, 8> head{};
    std::uint64_t inside = meta.content;
    if (inside + 4 <= meta.end && read(inside, 4, head.data()) && bigEndian(head.data(), 4) == 0) {
        inside += 4;
    }
    Box keys;
    Box ilst;
    constexpr std::uint64_t kLongestKeys = 65536;
    if (!findBox(read, inside, meta.end, "keys", keys) ||
        !findBox(read, inside, meta.end, "ilst", ilst) || keys.end - keys.content > kLongestKeys ||
        keys.end - keys.content < 8) {
        return {};
    }
    std::vector<unsigned char> list(keys.end - keys.content);
    if (!read(keys.content, list.size(), list.data())) {
        return {};
    }
    static constexpr std::string_view kKey = "mdtacom.apple.quicktime.content.identifier";
    const std::uint64_t count = bigEndian(list.data() + 4, 4);
    std::uint64_t index = 0;
    std::size_t at = 8;
    for (std::uint64_t n = 1; n <= count && at + 8 <= list.size(); ++n) {
        const std::uint64_t size = bigEndian(list.data() + at, 4);
        if (size < 8 || size > list.size() - at) {
            return {};
        }
        const std::string_view entry(reinterpret_cast<const char*>(list.data() + at + 4), size - 4);
        if (entry == kKey) {
            index = n;
            break;
        }
        at += size;
    }
    if (index == 0) {
        return {};
    }
    constexpr int kMostItems = 256;
    std::uint64_t item = ilst.content;
    for (int n = 0; n < kMostItems && item < ilst.end; ++n) {
        Box box;
        if (!readBox(read, item, ilst.end, box)) {
            return {};
        }
        item = box.end;
        const auto* type = reinterpret_cast<const unsigned char*>(box.type.data());
        Box data;
        if (bigEndian(type, 4) != index || !findBox(read, box.content, box.end, "data", data)) {
            continue;
        }
        // A type (1: UTF-8) and a locale, then the text.
        std::array<unsigned char, 8 + 129> value{};
        const std::uint64_t length = data.end - data.content;
        if (length <= 8 || length > value.size() || !read(data.content, length, value.data()) ||
            bigEndian(value.data(), 4) != 1) {
            return {};
        }
        return identifierText(value.data() + 8, length - 8);
    }
    return {};
}

/// The file `path` as a ReadAt, for a regular file only (a FIFO or a device named .mov must
/// not block the listing); false when it is none.
bool withFile(const std::string& path,
              const std::function<void(const ReadAt&, std::uint64_t size)>& use) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        const ReadAt read = [fd](std::uint64_t offset, std::size_t size, unsigned char* out) {
            std::size_t done = 0;
            while (done < size) {
                const ssize_t got =
                    ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
                if (got <= 0) {
                    return false;
                }
                done += static_cast<std::size_t>(got);
            }
            return true;
        };
        use(read, static_cast<std::uint64_t>(st.st_size));
    }
    ::close(fd);
    return ok;
}

/// The TIFF structure of an EXIF block that may start with "Exif\0\0", or hold it a little way
/// in (HEIF keeps it behind an offset of four bytes).
std::string_view tiffOfExif(std::string_view block) {
    static constexpr std::string_view kMark("Exif\0\0", 6);
    const std::size_t mark = block.substr(0, 16 + kMark.size()).find(kMark);
    return mark == std::string_view::npos ? block : block.substr(mark + kMark.size());
}

/// The EXIF block of a JPEG file: the first APP1 segment that starts "Exif\0\0", among the
/// segments before the picture data. "" when there is none.
std::string jpegExifBlock(const ReadAt& read, std::uint64_t fileSize) {
    std::array<unsigned char, 4> head{};
    if (!read(0, 2, head.data()) || head[0] != 0xFF || head[1] != 0xD8) {
        return {};
    }
    std::uint64_t at = 2;
    for (int n = 0; n < 64 && at + 4 <= fileSize; ++n) {
        if (!read(at, 4, head.data()) || head[0] != 0xFF) {
            return {};
        }
        const unsigned marker = head[1];
        const std::uint64_t length = bigEndian(head.data() + 2, 2);
        if (marker == 0xDA || marker == 0xD9 || length < 2 || at + 2 + length > fileSize) {
            return {};
        }
        if (marker == 0xE1 && length > 8) {
            std::string block(length - 2, '\0');
            if (!read(at + 4, block.size(), reinterpret_cast<unsigned char*>(block.data()))) {
                return {};
            }
            if (block.starts_with(std::string_view("Exif\0\0", 6))) {
                return block;
            }
        }
        at += 2 + length;
    }
    return {};
}

bool isStillName(const std::string& name) {
    const std::string ext = cmGetExt(name);
    return ext == "heic" || ext == "heif" || ext == "jpg" || ext == "jpeg";
}

bool isMotionName(const std::string& name) {
    const std::string ext = cmGetExt(name);
    return ext == "mov" || ext == "mp4";
}

} // namespace

bool readQuickTimeDurationFromBytes(std::string_view file, long long& ms) {
    const ReadAt read = [file](std::uint64_t offset, std::size_t size, unsigned char* out) {
        if (offset > file.size() || size > file.size() - offset) {
            return false;
        }
        std::copy_n(file.data() + offset, size, out);
        return true;
    };
    return durationOf(read, file.size(), ms);
}

bool readQuickTimeDuration(const std::string& path, long long& ms) {
    bool ok = false;
    withFile(path,
             [&](const ReadAt& read, std::uint64_t size) { ok = durationOf(read, size, ms); });
    return ok;
}

std::string readMotionContentIdentifier(const std::string& path) {
    std::string id;
    withFile(path,
             [&](const ReadAt& read, std::uint64_t size) { id = contentIdentifierOf(read, size); });
    return id;
}

std::string readMotionContentIdentifierFromBytes(std::string_view file) {
    const ReadAt read = [file](std::uint64_t offset, std::size_t size, unsigned char* out) {
        if (offset > file.size() || size > file.size() - offset) {
            return false;
        }
        std::copy_n(file.data() + offset, size, out);
        return true;
    };
    return contentIdentifierOf(read, file.size());
}

std::string readStillContentIdentifier(const std::string& path) {
    std::string block;
    const std::string ext = cmGetExt(path);
    if (ext == "heic" || ext == "heif") {
        if (readHeifExifBlock(path, block) != HeifExif::Found) {
            return {};
        }
    } else {
        withFile(path, [&](const ReadAt& read, std::uint64_t size) {
            block = jpegExifBlock(read, size);
        });
    }
    const std::string_view tiff = tiffOfExif(block);
    return readAppleContentIdentifier(reinterpret_cast<const unsigned char*>(tiff.data()),
                                      tiff.size());
}

void pairLivePhotos(PictureList& items) {
    // By name without extension, letter case ignored: the stills and videos bearing it.
    struct Pair {
        std::vector<std::size_t> stills;
        std::vector<std::size_t> motions;
    };
    // Only the names a video bears: a roll holds far more stills than videos, and a still
    // whose name no video bears joins no pair by name.
    std::map<std::string, Pair> byName;
    std::vector<std::size_t> stills;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        if (item.kind == ItemKind::Video && isMotionName(item.name())) {
            byName[asciiUpper(cmCutExt(item.name()))].motions.push_back(i);
        } else if (item.kind != ItemKind::Video && isStillName(item.name())) {
            stills.push_back(i);
        }
    }
    if (!byName.empty()) {
        for (const std::size_t i : stills) {
            const auto it = byName.find(asciiUpper(cmCutExt(items[i].name())));
            if (it != byName.end()) {
                it->second.stills.push_back(i);
            }
        }
    }
    std::vector<bool> paired(items.size(), false);
    std::vector<bool> stillPaired(items.size(), false);
    bool any = false;
    for (const auto& [name, pair] : byName) {
        // Two stills or two videos of one name: which belongs with which is anyone's guess.
        if (pair.stills.size() != 1 || pair.motions.size() != 1) {
            continue;
        }
        Item& motion = items[pair.motions.front()];
        long long ms = 0;
        if (!readQuickTimeDuration(motion.path, ms) || ms > kLongestMotionMs) {
            continue;
        }
        items[pair.stills.front()].motion = std::make_unique<Item>(std::move(motion));
        paired[pair.motions.front()] = true;
        stillPaired[pair.stills.front()] = true;
        any = true;
    }
    // Then by the content identifier the phone wrote into both, for a still saved under
    // another name (an edit, a renamed export). The stills' headers are read only when a short
    // video left over holds an identifier; exactly one still and one video per identifier.
    std::vector<std::size_t> stillsLeft;
    std::vector<std::size_t> motionsLeft;
    for (const std::size_t i : stills) {
        if (!stillPaired[i]) {
            stillsLeft.push_back(i);
        }
    }
    for (const auto& [name, pair] : byName) {
        for (const std::size_t i : pair.motions) {
            if (!paired[i]) {
                motionsLeft.push_back(i);
            }
        }
    }
    std::map<std::string, Pair> byIdentifier;
    for (const std::size_t i : stillsLeft.empty() ? std::vector<std::size_t>() : motionsLeft) {
        long long ms = 0;
        if (readQuickTimeDuration(items[i].path, ms) && ms <= kLongestMotionMs) {
            const std::string id = readMotionContentIdentifier(items[i].path);
            if (!id.empty()) {
                byIdentifier[id].motions.push_back(i);
            }
        }
    }
    for (const std::size_t i : byIdentifier.empty() ? std::vector<std::size_t>() : stillsLeft) {
        const auto it = byIdentifier.find(readStillContentIdentifier(items[i].path));
        if (it != byIdentifier.end()) {
            it->second.stills.push_back(i);
        }
    }
    for (const auto& [id, pair] : byIdentifier) {
        if (pair.stills.size() != 1 || pair.motions.size() != 1) {
            continue;
        }
        items[pair.stills.front()].motion =
            std::make_unique<Item>(std::move(items[pair.motions.front()]));
        paired[pair.motions.front()] = true;
        any = true;
    }
    if (!any) {
        return;
    }
    std::size_t i = 0;
    items.removeIf([&](const Item&) { return paired[i++]; });
}

} // namespace mivo
