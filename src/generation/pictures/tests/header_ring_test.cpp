#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "generation/pictures/header_ring.h"
#include "generation/pictures/picture_header.h"
#include "generation/pictures/picture_measure.h"
#include "generation/plan/item.h"
#include "support/gif_bytes.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::gifBytes;
using test::TempDir;

/// FIFOs that another program holds open for writing and never writes to. Should a reader
/// still be waiting on them after `patience`, they are closed, so that a reader that waits
/// on them ends (with EOF) and the test fails instead of hanging.
class HeldFifos {
  public:
    explicit HeldFifos(std::chrono::seconds patience)
        : watchdog_([this, patience] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!cv_.wait_for(lock, patience, [this] { return done_; })) {
                  closeAll();
                  lostPatience_ = true;
              }
          }) {}
    ~HeldFifos() {
        stopWaiting();
        watchdog_.join();
        closeAll();
    }
    HeldFifos(const HeldFifos&) = delete;
    HeldFifos& operator=(const HeldFifos&) = delete;

    /// The reader is done; true when it was still waiting once the patience ran out.
    bool stopWaiting() {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
        cv_.notify_all();
        return lostPatience_;
    }

    /// Makes the FIFO `path` and holds it open for writing (O_RDWR: a FIFO opened so does
    /// not wait for a reader).
    bool add(const std::string& path) {
        if (::mkfifo(path.c_str(), 0600) != 0) {
            return false;
        }
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        std::lock_guard<std::mutex> lock(mutex_);
        fds_.push_back(fd);
        return fd >= 0;
    }

  private:
    void closeAll() {
        for (int& fd : fds_) {
            if (fd >= 0) {
                ::close(fd);
                fd = -1;
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    bool lostPatience_ = false;
    std::vector<int> fds_;
    std::thread watchdog_;
};

/// Drops a written file from the page cache, so that reading it goes to the disk.
void dropFromCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fdatasync(fd), 0);
    ASSERT_EQ(::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED), 0);
    ::close(fd);
}

/// Every picture of `names` read through `ring`: the sizes by index.
std::vector<MeasuredSize> readThrough(HeaderRing& ring, int folderFd,
                                      const std::vector<std::string>& names) {
    std::vector<MeasuredSize> sizes(names.size());
    std::vector<HeaderRing::Finished> finished;
    std::size_t next = 0;
    while (next < names.size() || !ring.idle()) {
        while (ring.room() > 0 && next < names.size()) {
            ring.start(next, folderFd, names[next].c_str(), false);
            ++next;
        }
        if (ring.broken()) { // the rest is read the plain way, as the measurer does
            for (; next < names.size(); ++next) {
                MeasuredSize& size = sizes[next];
                size.ok = readPictureSizeAt(folderFd, names[next].c_str(), size.width, size.height);
            }
        }
        finished.clear();
        ring.finish(finished);
        for (HeaderRing::Finished& f : finished) {
            sizes.at(f.index) = f.size;
        }
    }
    return sizes;
}

TEST(HeaderRing, FifosHeldOpenByAWriterEndUnreadAtOnce) {
    std::unique_ptr<HeaderRing> ring = HeaderRing::open(8);
    if (ring == nullptr) {
        GTEST_SKIP() << "the kernel offers no io_uring here";
    }
    TempDir dir;
    HeldFifos fifos(std::chrono::seconds(30));
    std::vector<std::string> names;
    for (int i = 0; i < 30; ++i) {
        names.push_back("p" + std::to_string(i) + ".gif");
        if (i % 3 == 1) {
            ASSERT_TRUE(fifos.add(dir / names.back()));
        } else {
            dir.write(names.back(), gifBytes(i + 1, 2));
        }
    }
    const int folderFd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folderFd, 0);
    const std::vector<MeasuredSize> sizes = readThrough(*ring, folderFd, names);
    EXPECT_FALSE(fifos.stopWaiting()) << "still waiting on the FIFOs";
    // Refused at the open, not handed over once the stall limit passed.
    EXPECT_FALSE(ring->broken());
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i % 3 == 1) {
            EXPECT_FALSE(sizes[i].ok) << names[i];
        } else {
            EXPECT_TRUE(sizes[i].ok) << names[i];
            EXPECT_EQ(sizes[i].width, static_cast<long>(i + 1)) << names[i];
        }
    }
    ::close(folderFd);
}

TEST(HeaderRing, ReadsOutlastingTheStallLimitAreReadThePlainWay) {
    // With no time allowed, the reads in flight have stalled as soon as the ring looks: those
    // pictures are read the plain way, the ring starts no more, and every picture gives what
    // the plain reader gives.
    std::unique_ptr<HeaderRing> ring = HeaderRing::open(4, std::chrono::milliseconds(0));
    if (ring == nullptr) {
        GTEST_SKIP() << "the kernel offers no io_uring here";
    }
    TempDir dir;
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
        names.push_back("p" + std::to_string(i) + ".gif");
        dir.write(names.back(), i % 7 == 3 ? std::string("not a picture") : gifBytes(i + 1, 5));
        dropFromCache(dir / names.back());
    }
    const int folderFd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folderFd, 0);
    const std::vector<MeasuredSize> sizes = readThrough(*ring, folderFd, names);
    EXPECT_TRUE(ring->broken());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(sizes[i].ok, i % 7 != 3) << names[i];
        if (sizes[i].ok) {
            EXPECT_EQ(sizes[i].width, static_cast<long>(i + 1)) << names[i];
            EXPECT_EQ(sizes[i].height, 5) << names[i];
        }
    }
    ::close(folderFd);
}

TEST(PictureMeasurer, ColdFolderEndsWhenItsLastNamesAreFifosHeldOpen) {
    TempDir dir;
    struct statfs fs {};
    if (::statfs(dir.path().c_str(), &fs) == 0 && fs.f_type == TMPFS_MAGIC) {
        GTEST_SKIP() << "a tmpfs file lives in the page cache";
    }
    HeldFifos fifos(std::chrono::seconds(30));
    PictureList pictures;
    constexpr int kPictures = 300;
    constexpr int kFifos = 10;
    for (int i = 0; i < kPictures; ++i) {
        const std::string name = "p" + std::to_string(i) + ".gif";
        pictures.add(listedItem(dir / "pics", name, ItemKind::Picture));
        if (i >= kPictures - kFifos) {
            ASSERT_TRUE(fifos.add(dir / ("pics/" + name)));
        } else {
            dropFromCache(dir.write("pics/" + name, gifBytes(i + 1, 4)));
        }
    }
    // Read from the disk with the workers left to the measurer: through the io_uring where
    // the kernel has one. On a busy machine a first read now and then does not wait for the
    // disk, and the pool reads everything: of three tries, each from a dropped cache, one must
    // take the ring, and each ends.
    const bool ringHere = HeaderRing::open(1) != nullptr;
    bool throughRing = false;
    for (int attempt = 0; attempt < 3 && !throughRing; ++attempt) {
        for (int i = 0; i < kPictures - kFifos; ++i) {
            dropFromCache(dir / ("pics/p" + std::to_string(i) + ".gif"));
        }
        PictureMeasurer measurer(dir / "pics", pictures, 0);
        for (int i = 0; i < kPictures; ++i) {
            const MeasuredSize size = measurer.take(static_cast<std::size_t>(i));
            if (i >= kPictures - kFifos) {
                EXPECT_FALSE(size.ok) << i;
            } else {
                ASSERT_TRUE(size.ok) << i;
                EXPECT_EQ(size.width, i + 1);
            }
        }
        // The ring read to the end: no read stalled and was handed over.
        throughRing = measurer.readsThroughRing();
    }
    EXPECT_FALSE(fifos.stopWaiting()) << "still waiting on the FIFOs";
    EXPECT_EQ(throughRing, ringHere);
}

} // namespace
} // namespace mivo
