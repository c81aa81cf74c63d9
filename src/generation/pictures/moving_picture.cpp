#include "generation/pictures/moving_picture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>

namespace mivo {

namespace {

/// Bytes one at a time from a source read in blocks: a GIF's frames are walked sub-block by
/// sub-block without a call per byte.
class ByteStream {
  public:
    using Fill =
        std::function<std::size_t(std::uint64_t offset, unsigned char* out, std::size_t n)>;
    explicit ByteStream(Fill fill) : fill_(std::move(fill)) {}
    bool next(unsigned char& byte) {
        if (at_ == size_) {
            at_ = 0;
            size_ = fill_(offset_, buffer_.data(), buffer_.size());
            offset_ += size_;
            if (size_ == 0) {
                return false;
            }
        }
        byte = buffer_[at_++];
        return true;
    }
    bool skip(std::size_t count) {
        unsigned char ignored = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (!next(ignored)) {
                return false;
            }
        }
        return true;
    }

  private:
    Fill fill_;
    std::array<unsigned char, 65536> buffer_{};
    std::size_t at_ = 0;
    std::size_t size_ = 0;
    std::uint64_t offset_ = 0;
};

/// Skips a run of data sub-blocks up to its zero-length end.
bool skipSubBlocks(ByteStream& in) {
    unsigned char length = 0;
    while (in.next(length)) {
        if (length == 0) {
            return true;
        }
        if (!in.skip(length)) {
            return false;
        }
    }
    return false;
}

/// More than one image descriptor before the trailer.
bool gifMoves(ByteStream& in) {
    std::array<unsigned char, 13> head{};
    for (unsigned char& b : head) {
        if (!in.next(b)) {
            return false;
        }
    }
    if (std::memcmp(head.data(), "GIF8", 4) != 0) {
        return false;
    }
    constexpr unsigned kTableFlag = 0x80;
    if ((head[10] & kTableFlag) != 0 && !in.skip(3U << ((head[10] & 7U) + 1U))) {
        return false;
    }
    int images = 0;
    unsigned char block = 0;
    while (in.next(block)) {
        if (block == 0x2C) { // an image: its descriptor, its colour table, its data
            if (++images > 1) {
                return true;
            }
            std::array<unsigned char, 9> descriptor{};
            for (unsigned char& b : descriptor) {
                if (!in.next(b)) {
                    return false;
                }
            }
            if ((descriptor[8] & kTableFlag) != 0 && !in.skip(3U << ((descriptor[8] & 7U) + 1U))) {
                return false;
            }
            if (!in.skip(1) || !skipSubBlocks(in)) { // the LZW code size, then the data
                return false;
            }
        } else if (block == 0x21) { // an extension: its label, then its sub-blocks
            if (!in.skip(1) || !skipSubBlocks(in)) {
                return false;
            }
        } else {
            return false; // the trailer, or bytes no GIF holds
        }
    }
    return false;
}

/// A WebP's extended header (VP8X) with its animation flag.
bool webpMoves(const unsigned char* head, std::size_t size) {
    constexpr unsigned kAnimationFlag = 0x02;
    return size >= 21 && std::memcmp(head, "RIFF", 4) == 0 &&
           std::memcmp(head + 8, "WEBP", 4) == 0 && std::memcmp(head + 12, "VP8X", 4) == 0 &&
           (head[20] & kAnimationFlag) != 0;
}

bool moves(const ByteStream::Fill& fill) {
    std::array<unsigned char, 21> head{};
    const std::size_t got = fill(0, head.data(), head.size());
    if (got >= 4 && std::memcmp(head.data(), "GIF8", 4) == 0) {
        ByteStream in(fill);
        return gifMoves(in);
    }
    return webpMoves(head.data(), got);
}

} // namespace

bool pictureMovesFromBytes(std::string_view file) {
    return moves([file](std::uint64_t offset, unsigned char* out, std::size_t n) -> std::size_t {
        if (offset >= file.size()) {
            return 0;
        }
        const std::size_t count = std::min<std::size_t>(n, file.size() - offset);
        std::memcpy(out, file.data() + offset, count);
        return count;
    });
}

bool readPictureMoves(const std::string& path, long long& bytes) {
    bytes = 0;
    // Only a regular file is read: a FIFO named .gif must not block the listing.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    bool result = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        bytes = static_cast<long long>(st.st_size);
        result =
            moves([fd](std::uint64_t offset, unsigned char* out, std::size_t n) -> std::size_t {
                std::size_t done = 0;
                while (done < n) {
                    const ssize_t got =
                        ::pread(fd, out + done, n - done, static_cast<off_t>(offset + done));
                    if (got <= 0) {
                        break;
                    }
                    done += static_cast<std::size_t>(got);
                }
                return done;
            });
    }
    ::close(fd);
    return result;
}

} // namespace mivo
