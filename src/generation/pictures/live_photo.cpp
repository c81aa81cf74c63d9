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
    // A FIFO or a device named .mov must not block the listing: only a regular file is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
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
        ok = durationOf(read, static_cast<std::uint64_t>(st.st_size), ms);
    }
    ::close(fd);
    return ok;
}

void pairLivePhotos(PictureList& items) {
    // By name without extension, letter case ignored: the stills and videos bearing it.
    struct Pair {
        std::vector<std::size_t> stills;
        std::vector<std::size_t> motions;
    };
    std::map<std::string, Pair> byName;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        if (item.kind == ItemKind::Video && isMotionName(item.name())) {
            byName[asciiUpper(cmCutExt(item.name()))].motions.push_back(i);
        } else if (item.kind != ItemKind::Video && isStillName(item.name())) {
            byName[asciiUpper(cmCutExt(item.name()))].stills.push_back(i);
        }
    }
    std::vector<bool> paired(items.size(), false);
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
        any = true;
    }
    if (!any) {
        return;
    }
    std::size_t i = 0;
    items.removeIf([&](const Item&) { return paired[i++]; });
}

} // namespace mivo
