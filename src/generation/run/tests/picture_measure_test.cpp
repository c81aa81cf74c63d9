#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/program_files.h"
#include "common/text_file.h"
#include "generation/pictures/header_ring.h"
#include "generation/pictures/picture_header.h"
#include "generation/pictures/picture_measure.h"
#include "generation/plan/status.h"
#include "generation/run/make_run.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"
#include "support/gif_bytes.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::readBytes;
using test::TempDir;

using test::gifBytes;

/// Every message and bar position the status line showed, in order.
class RecordingStatus : public StatusSink {
  public:
    void message(const std::string& text) override {
        message_ = text;
        messages.push_back(text);
    }
    void progress(double value, double max) override {
        value_ = value;
        max_ = max;
    }
    void step() override {
        shown.push_back(message_ + " | " + std::to_string(value_) + " / " + std::to_string(max_));
    }
    std::vector<std::string> messages;
    std::vector<std::string> shown;

  private:
    std::string message_;
    double value_ = 0;
    double max_ = 100;
};

TEST(PictureMeasurer, GivesEverySizeInListingOrderWhateverTheWorkers) {
    TempDir dir;
    PictureList pictures;
    // Far more pictures than the window of any worker count, each of its own size; a few
    // cannot be measured.
    for (int i = 0; i < 700; ++i) {
        const std::string name = "p" + std::to_string(i) + ".gif";
        dir.write("pics/" + name, i % 97 == 5 ? std::string("not a picture") : gifBytes(i + 1, 7));
        pictures.add(listedItem(dir / "pics", name, ItemKind::Picture));
    }
    pictures.add(listedItem(dir / "pics", "gone.gif", ItemKind::Picture));
    for (int workers : {1, 3, 16, 64}) {
        PictureMeasurer measurer(dir / "pics", pictures, workers);
        EXPECT_EQ(measurer.threadCount(), static_cast<std::size_t>(workers));
        for (std::size_t i = 0; i < 700; ++i) {
            const MeasuredSize size = measurer.take(i);
            if (i % 97 == 5) {
                EXPECT_FALSE(size.ok) << i;
            } else {
                ASSERT_TRUE(size.ok) << workers << " workers, picture " << i;
                ASSERT_EQ(size.width, static_cast<long>(i + 1)) << workers << " workers";
                EXPECT_EQ(size.height, 7);
            }
        }
        EXPECT_FALSE(measurer.take(700).ok);
    }
    // A writer that stops early (a second table block, a failed page) leaves nothing running.
    PictureMeasurer stopped(dir / "pics", pictures, 8);
    EXPECT_EQ(stopped.take(0).width, 1);
}

TEST(PictureMeasurer, LeavesTheHeadersOfHeifPicturesAndVideosToTheirCopies) {
    TempDir dir;
    PictureList pictures;
    // Every file holds a GIF's header, whatever its name says: only a picture's is read.
    const std::vector<std::pair<std::string, ItemKind>> files = {
        {"a.gif", ItemKind::Picture},      {"b.heic", ItemKind::MediaPicture},
        {"c.mp4", ItemKind::Video},        {"d.gif", ItemKind::Picture},
        {"e.png", ItemKind::MediaPicture}, {"f.mov", ItemKind::Video}};
    for (int i = 0; i < 60; ++i) {
        const auto& [name, kind] = files[static_cast<std::size_t>(i) % files.size()];
        const std::string numbered = std::to_string(i) + name;
        dir.write("pics/" + numbered, gifBytes(i + 1, 3));
        pictures.add(listedItem(dir / "pics", numbered, kind));
    }
    for (int workers : {1, 4}) {
        PictureMeasurer measurer(dir / "pics", pictures, workers);
        for (std::size_t i = 0; i < 60; ++i) {
            const MeasuredSize size = measurer.take(i);
            EXPECT_EQ(size.ok, pictures[i].kind == ItemKind::Picture) << pictures[i].name();
            if (size.ok) {
                EXPECT_EQ(size.width, static_cast<long>(i + 1));
            }
            // One without copies is shown as a picture: its header is read when asked.
            const MeasuredSize now = measurer.readNow(i);
            ASSERT_TRUE(now.ok) << pictures[i].name();
            EXPECT_EQ(now.width, static_cast<long>(i + 1));
            EXPECT_EQ(now.height, 3);
        }
    }
}

/// Drops a written file from the page cache, so that reading it goes to the disk.
void dropFromCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fdatasync(fd), 0);
    ASSERT_EQ(::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED), 0);
    ::close(fd);
}

TEST(PictureMeasurer, GalleriesOfARunShareItsThreadsAndGetEverySizeInOrder) {
    TempDir dir;
    // Galleries of one, a few, and more pictures than a small gallery the writer reads alone,
    // each picture of its own width; one in each cannot be measured.
    const std::vector<int> counts{1, 2, 9, 65, 300, 3};
    std::vector<PictureList> galleries(counts.size());
    for (std::size_t g = 0; g < counts.size(); ++g) {
        const std::string folder = "g" + std::to_string(g);
        for (int i = 0; i < counts[g]; ++i) {
            const std::string name = "p" + std::to_string(i) + ".gif";
            dir.write(folder + "/" + name,
                      i == 1 ? std::string("not a picture") : gifBytes(i + 2, 5));
            galleries[g].add(listedItem(dir / folder, name, ItemKind::Picture));
        }
    }
    ReaderThreads threads;
    for (int round = 0; round < 3; ++round) {
        for (std::size_t g = 0; g < counts.size(); ++g) {
            PictureMeasurer measurer(dir / ("g" + std::to_string(g)), galleries[g], 0, true,
                                     &threads);
            for (int i = 0; i < counts[g]; ++i) {
                const MeasuredSize size = measurer.take(static_cast<std::size_t>(i));
                if (i == 1) {
                    EXPECT_FALSE(size.ok) << g;
                } else {
                    ASSERT_TRUE(size.ok) << "gallery " << g << ", picture " << i;
                    EXPECT_EQ(size.width, i + 2);
                }
            }
        }
        // A gallery left half-way gives its threads back too.
        PictureMeasurer left(dir / "g4", galleries[4], 4, true, &threads);
        EXPECT_EQ(left.take(0).width, 2);
    }
    // Threads are started for the run, not per gallery: 21 galleries asked for one or more
    // each, and a thread just back may still be on its way to being free.
    EXPECT_GE(threads.size(), 1U);
    EXPECT_LE(threads.size(), 2U * (4U + std::max(1U, std::thread::hardware_concurrency())));
}

TEST(PictureMeasurer, StartsWithOneThreadPerCoreAndReadsTheDiskThroughARing) {
    TempDir dir;
    struct statfs fs {};
    if (::statfs(dir.path().c_str(), &fs) == 0 && fs.f_type == TMPFS_MAGIC) {
        GTEST_SKIP() << "a tmpfs file lives in the page cache";
    }
    PictureList pictures;
    for (int i = 0; i < 200; ++i) {
        const std::string name = "p" + std::to_string(i) + ".gif";
        dir.write("pics/" + name, gifBytes(i + 1, 3));
        pictures.add(listedItem(dir / "pics", name, ItemKind::Picture));
    }
    const auto takeAll = [&](PictureMeasurer& measurer) {
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            ASSERT_EQ(measurer.take(i).width, static_cast<long>(i + 1));
        }
    };
    const std::size_t cores = std::max(1U, std::thread::hardware_concurrency());
    {
        // Just written, the pictures are in the page cache: a thread per core reads them.
        PictureMeasurer measurer(dir / "pics", pictures, 0);
        takeAll(measurer);
        bool onDisk = false;
        long w = 0;
        long h = 0;
        readPictureSizeAt(AT_FDCWD, (dir / "pics/p0.gif").c_str(), w, h, nullptr, &onDisk);
        if (!onDisk) { // else this file system cannot tell, and the pool grows at once
            EXPECT_EQ(measurer.threadCount(), std::min<std::size_t>(cores, 200));
        }
    }
    // From the disk, one thread reads the rest through an io_uring; where the kernel has
    // none, the pool grows. Either way every size comes back, in order. On a busy machine a
    // first read now and then does not wait for the disk, and the pool reads everything: of
    // three tries, each from a dropped cache, one must take the ring.
    const bool ringHere = HeaderRing::open(1) != nullptr;
    bool throughRing = false;
    for (int attempt = 0; attempt < 3 && !throughRing; ++attempt) {
        for (const Item& picture : pictures) {
            dropFromCache(picture.path);
        }
        PictureMeasurer measurer(dir / "pics", pictures, 0);
        takeAll(measurer);
        throughRing = measurer.readsThroughRing();
        if (!ringHere) {
            EXPECT_EQ(measurer.threadCount(),
                      std::min<std::size_t>(static_cast<std::size_t>(pictureWorkerCount(0)), 200));
            break;
        }
    }
    EXPECT_EQ(throughRing, ringHere);
    // With a number of workers given, the pool grows to it and no ring is used.
    for (const Item& picture : pictures) {
        dropFromCache(picture.path);
    }
    PictureMeasurer given(dir / "pics", pictures, 16);
    takeAll(given);
    EXPECT_FALSE(given.readsThroughRing());
}

TEST(PictureMeasurer, WorkerCountComesFromTheHardwareUnlessGiven) {
    EXPECT_GE(pictureWorkerCount(0), 64);
    EXPECT_LE(pictureWorkerCount(0), 128);
    EXPECT_EQ(pictureWorkerCount(1), 1);
    EXPECT_EQ(pictureWorkerCount(16), 16);
    EXPECT_EQ(pictureWorkerCount(1000), 128);
}

/// One whole Make run, logged at level 1: what the pages, the status line and the log show.
struct RunRecord {
    std::vector<std::string> pages;
    std::vector<std::string> shown;
    std::vector<std::string> messages;
    std::string log;
};

RunRecord recordRun(const TempDir& dir, const Settings& settings,
                    const std::vector<GalleryEntry>& rows, int workers) {
    const std::string log = dir / "Mivo.log";
    appendFileBytes(log, "");
    std::filesystem::resize_file(log, 0);
    setLogPath(log);
    setLogLevel(1);
    RecordingStatus status;
    const bool done =
        runMake(settings, rows, portableProgramFiles(dir / "prog"), status, workers).done;
    setLogLevel(0);
    setLogPath("");
    EXPECT_TRUE(done);

    RunRecord record;
    for (const char* page : {"index.html", "list.html", "pict.html", "menu.html", "001/list.html",
                             "001/index.html", "002/list.html", "002/index.html"}) {
        record.pages.push_back(readBytes(dir / ("out/" + std::string(page))));
    }
    record.shown = status.shown;
    record.messages = status.messages;
    // Every log line begins with its date and time: "yyyy/mm/dd hh:mm:ss ".
    for (const std::string& line : splitLines(readBytes(log))) {
        record.log += (line.size() >= 20 && line[4] == '/' ? line.substr(20) : line) + "\n";
    }
    return record;
}

void expectSameRun(const RunRecord& one, const RunRecord& many) {
    EXPECT_EQ(one.pages, many.pages);
    EXPECT_EQ(one.shown, many.shown);
    EXPECT_EQ(one.messages, many.messages);
    EXPECT_EQ(one.log, many.log);
}

TEST(PictureMeasurer, OneOrSixteenWorkersMakeTheSamePagesStatusAndLog) {
    TempDir dir;
    dir.write(
        "prog/html/list.html",
        "MV_SUB_TITLE\r\nMV_TABLE_START\r\n<img src=\"MV_IMG_SRC\" MV_IMG_SIZE>MV_IMG_NAME\r\n"
        "MV_TABLE_END\r\n");
    dir.write("prog/html/index.html", "MV_LIST_HTML\r\nMV_LIST_ARRAY\r\n");
    dir.write("prog/html/pict.html", "MV_INDEX_HTML\r\n");
    dir.write("prog/html/menu.html", "MV_MENU_ARRAY\r\n");
    for (int i = 0; i < 300; ++i) {
        const std::string name = "pics/p" + std::to_string(1000 + i);
        // Unreadable pictures log an error line between their start and end lines.
        dir.write(name + (i % 50 == 7 ? ".jpg" : ".gif"),
                  i % 50 == 7 ? "broken" : gifBytes(100 + i, 50 + i % 13));
    }
    dir.write("second/a.gif", gifBytes(30, 40));
    dir.write("second/b.bmp", "BM short");
    dir.mkdir("out");

    Settings settings = defaultSettings(dir / "prog");
    settings.OptionMenu = 1;
    settings.OptionSamD = 0;
    settings.gstrPicPath = dir / "pics";
    settings.gstrSamPath.clear();
    settings.gstrIndexPath = dir / "out/index.html";
    settings.gstrStartName = "P1123.GIF";
    const RunRecord single = recordRun(dir, settings, {}, 1);
    expectSameRun(single, recordRun(dir, settings, {}, 16));
    // Dropped from the page cache, the pictures are read through the io_uring where the
    // kernel has one: the same run again.
    for (const auto& entry : std::filesystem::directory_iterator(dir / "pics")) {
        dropFromCache(entry.path().string());
    }
    expectSameRun(single, recordRun(dir, settings, {}, 0));

    settings.OptionMenu = 0;
    settings.gstrMenuPath = dir / "out/menu.html";
    const std::vector<GalleryEntry> rows = {{"one", dir / "pics", ""}, {"two", dir / "second", ""}};
    const RunRecord one = recordRun(dir, settings, rows, 1);
    expectSameRun(one, recordRun(dir, settings, rows, 16));
    EXPECT_NE(one.log.find("[mainGetPicInfo] PicInfoError [" + (dir / "second/b.bmp") + "]"),
              std::string::npos);
    EXPECT_NE(one.pages[4].find("width=160 height=81>p1001"), std::string::npos);
}

} // namespace
} // namespace mivo
