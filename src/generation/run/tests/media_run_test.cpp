// Galleries that also show HEIC, PNG... pictures and videos, made by a whole run with the
// shipped templates from files made here by ImageMagick, libvips and ffmpeg.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "generation/plan/status.h"
#include "generation/run/make_run.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"
#include "support/page_fixture.h"
#include "support/proc_file.h"
#include "support/run_fixture.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;
using test::contains;
using test::readBytes;
using test::RecordingSink;
using test::shell;

/// Every file under `folder` with its modification time in nanoseconds.
std::map<std::string, long long> stamps(const std::string& folder) {
    std::map<std::string, long long> out;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
        struct stat st {};
        if (::lstat(entry.path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            out[entry.path().string()] = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
        }
    }
    return out;
}

class MediaRunTest : public test::RunFixture {
  protected:
    void SetUp() override {
        RunFixture::SetUp();
        const std::string pics = dir / "pics";
        const std::string lavfi = "ffmpeg -nostdin -y -f lavfi -i testsrc=size=320x240:rate=10 "
                                  "-f lavfi -i sine=frequency=440 -t 1.5 ";
        ASSERT_TRUE(shell("convert -size 800x600 xc:orange '" + pics + "/a.jpg'"));
        // Half transparent: the copy has it on white.
        ASSERT_TRUE(
            shell("convert -size 400x300 xc:none -fill red -draw 'rectangle 0,0 199,299' '" + pics +
                  "/b.png'"));
        ASSERT_TRUE(shell("vips copy '" + pics + "/a.jpg' '" + pics + "/c.heic'"));
        // Plays as it is: H.264/AAC, index first.
        ASSERT_TRUE(shell(lavfi + "-c:v libx264 -pix_fmt yuv420p -c:a aac -movflags +faststart '" +
                          pics + "/d.mp4'"));
        // H.264 in a QuickTime file: copied into an MP4 of its own.
        // ... taken at a phone's own time.
        ASSERT_TRUE(shell(lavfi +
                          "-c:v libx264 -pix_fmt yuv420p -c:a aac -movflags use_metadata_tags "
                          "-metadata com.apple.quicktime.creationdate=2024-05-12T08:00:00+0900 "
                          "-metadata com.apple.quicktime.model='iPhone 15 \"Pro\"' '" +
                          pics + "/e.mov'"));
        dir.write("pics/f.mp4", "not a video at all");
        dir.write("pics/notes.txt", "ignored");
        settings.CheckReduce = true;
        settings.CheckMedia = true;
    }
};

TEST_F(MediaRunTest, EveryKindAppearsOnceAndARerunTouchesNothing) {
    const std::vector<std::string> messages = run();
    ASSERT_TRUE(result.done) << result.failure;
    // The text file named .mp4 is left out, and the run names it at its end.
    EXPECT_EQ(messages.back(), "完了しました (載せられなかった画像・動画: f.mp4)");
    EXPECT_TRUE(contains(result.items, dir / "pics/f.mp4")) << result.items;
    const std::string index = page("index.html");
    for (const char* entry :
         {"aryPicList[0] = \"./view/a.jpg#original=./../pics/a.jpg,800,600,a\";",
          "aryPicList[1] = \"./view/b.png.jpg#original=./../pics/b.png,400,300,b\";",
          "aryPicList[2] = \"./view/c.heic.jpg#original=./../pics/c.heic,800,600,c\";",
          "aryPicList[3] = \"./view/d.mp4.jpg#original=./../pics/d.mp4,320,240,d\";",
          "aryPicList[4] = \"./view/e.mov.jpg#original=./../pics/e.mov,320,240,e\";",
          // The original plays as it is; the QuickTime file gets an MP4.
          "aryPicVideo[3] = [\"./../pics/d.mp4\", \"1.5\", \"video/mp4\"];",
          "aryPicVideo[4] = [\"./view/e.mov.mp4\", \"1.5\", \"video/mp4\"];",
          // A video's date in a picture's form, with the phone's time zone, and its model
          // escaped as every text of the page.
          "aryPicExif[4] = [\"2024-05-12 08:00:00 +09:00\", \"iPhone 15 \\u0022Pro\\u0022\", "
          "\"\","}) {
        EXPECT_TRUE(contains(index, entry)) << entry << "\n" << index;
    }
    EXPECT_FALSE(contains(index, "aryPicList[5]"));
    EXPECT_FALSE(contains(index, "f.mp4"));
    EXPECT_FALSE(contains(index, "aryPicVideo[0]"));
    EXPECT_EQ(page("list.html").find("f.mp4"), std::string::npos);
    // The list shows each video's poster at the size of its thumbnail and its length.
    const std::string list = page("list.html");
    EXPECT_TRUE(contains(list, "./thumbs/e.mov.jpg")) << list;
    EXPECT_TRUE(contains(list, "0:02")) << list;
    EXPECT_TRUE(fs::exists(dir / "out/thumbs/2x/c.heic.jpg"));
    EXPECT_FALSE(fs::exists(dir / "out/view/d.mp4.mp4"));
    EXPECT_FALSE(fs::exists(dir / "out/thumbs/f.mp4.jpg"));

    // Nothing changed: not one copy or web video is written again.
    const auto before = stamps(dir / "out");
    ASSERT_FALSE(before.empty());
    run();
    auto after = stamps(dir / "out");
    for (const auto& [path, time] : before) {
        if (contains(path, "/thumbs/") || contains(path, "/view/")) {
            EXPECT_EQ(after[path], time) << path;
        }
    }
    EXPECT_EQ(page("index.html"), index);

    // A video line as versions before the text field and the WebP thumbnails wrote it: the
    // poster is taken again for its WebP thumbnails (and the zone and model with it), but the
    // web video on record is kept, not transcoded again.
    std::string record = readBytes(dir / "out/thumbs/.mivo-copies");
    const std::size_t line = record.find("\ne.mov\t") + 1;
    ASSERT_NE(line, 0U) << record;
    std::vector<std::string> fields;
    std::size_t at = line;
    while (record[at] != '\n') {
        const std::size_t end = std::min(record.find('\t', at), record.find('\n', at));
        fields.push_back(record.substr(at, end - at));
        at = record[end] == '\t' ? end + 1 : end;
    }
    // The name, sixteen numbers, the names' variant and the WebP mark, the text field last.
    ASSERT_EQ(fields.size(), 20U) << record;
    EXPECT_EQ(fields[13], "2");
    EXPECT_EQ(fields[19], "z=+09:00;m=iPhone%2015%20\"Pro\"");
    std::string older = fields[0];
    for (std::size_t f = 1; f < 17; ++f) {
        older += "\t" + (f == 13 ? std::string("1") : fields[f]);
    }
    record.replace(line, at - line, older);
    dir.write("out/thumbs/.mivo-copies", record);
    fs::remove(dir / "out/thumbs/e.mov.jpg.webp");
    fs::remove(dir / "out/thumbs/2x/e.mov.jpg.webp");
    run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_EQ(stamps(dir / "out")[dir / "out/view/e.mov.mp4"],
              before.at(dir / "out/view/e.mov.mp4"));
    EXPECT_TRUE(fs::exists(dir / "out/thumbs/e.mov.jpg.webp"));
    EXPECT_TRUE(fs::exists(dir / "out/thumbs/2x/e.mov.jpg.webp"));
    EXPECT_TRUE(contains(page("index.html"), "aryPicExif[4] = [\"2024-05-12 08:00:00 +09:00\", "
                                             "\"iPhone 15 \\u0022Pro\\u0022\""))
        << page("index.html");
    EXPECT_TRUE(contains(readBytes(dir / "out/thumbs/.mivo-copies"),
                         "\t1\tz=+09:00;m=iPhone%2015%20\"Pro\"\n"));

    // A video gone: its poster copies and its web video go, a file of the user's stays.
    dir.write("out/view/own.mp4", "mine");
    fs::remove(dir / "pics/e.mov");
    run();
    EXPECT_TRUE(result.done);
    EXPECT_FALSE(fs::exists(dir / "out/view/e.mov.mp4"));
    EXPECT_FALSE(fs::exists(dir / "out/thumbs/e.mov.jpg"));
    EXPECT_FALSE(fs::exists(dir / "out/view/e.mov.jpg"));
    EXPECT_EQ(readBytes(dir / "out/view/own.mp4"), "mine");
    EXPECT_TRUE(fs::exists(dir / "out/view/d.mp4.jpg"));
}

TEST_F(MediaRunTest, WithoutFfmpegVideosAreLeftOutAndTheUserIsToldOnce) {
    const char* path = std::getenv("PATH");
    const std::string saved = path != nullptr ? path : "";
    dir.mkdir("empty-bin");
    ::setenv("PATH", (dir / "empty-bin").c_str(), 1);
    const std::vector<std::string> messages = run();
    ::setenv("PATH", saved.c_str(), 1);
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_EQ(std::count(messages.begin(), messages.end(),
                         "ffmpeg がないため、読めない画像・動画は載せません"),
              1);
    EXPECT_EQ(messages.back(), "完了しました (載せられなかった画像・動画: d.mp4, e.mov, f.mp4)");
    const std::string index = page("index.html");
    EXPECT_TRUE(contains(index, "aryPicList[2] = \"./view/c.heic.jpg#"));
    EXPECT_FALSE(contains(index, "aryPicList[3]"));
    EXPECT_FALSE(contains(index, "aryPicVideo["));
}

TEST_F(MediaRunTest, OptionOffShowsNothingNewAndWritesTheSamePages) {
    settings.CheckMedia = false;
    const std::vector<std::string> messages = run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_EQ(messages.back(), "完了しました");
    const std::string index = page("index.html");
    const std::string list = page("list.html");
    EXPECT_FALSE(contains(index, "aryPicList[1]"));
    EXPECT_FALSE(fs::exists(dir / "out/thumbs/b.png.jpg"));
    // The same pages as from a folder that holds only the JPEG.
    for (const char* name : {"b.png", "c.heic", "d.mp4", "e.mov", "f.mp4"}) {
        fs::remove(dir / ("pics/" + std::string(name)));
    }
    run();
    EXPECT_EQ(page("index.html"), index);
    EXPECT_EQ(page("list.html"), list);
}

/// Asks the run to stop once a web video is being made.
class StopWhileTranscoding : public RecordingSink {
  public:
    StopWhileTranscoding() = default;
    bool stopRequested() const override {
        if (stopped_) {
            return true;
        }
        // ffmpeg writes into a file without a name: it is seen among this process's
        // children instead.
        std::error_code ec;
        for (const auto& task : fs::directory_iterator("/proc/self/task", ec)) {
            std::ifstream children(task.path() / "children");
            for (std::string pid; children >> pid;) {
                const std::string command = test::readProcFile("/proc/" + pid + "/cmdline");
                if (contains(command, "slow.avi") && contains(command, "libx264")) {
                    stopped_ = true;
                }
            }
        }
        return stopped_;
    }

  private:
    mutable bool stopped_ = false;
};

TEST_F(MediaRunTest, StoppingKillsARunningTranscodeAndLeavesNoPartOfIt) {
    for (const char* name : {"b.png", "c.heic", "d.mp4", "e.mov", "f.mp4"}) {
        fs::remove(dir / ("pics/" + std::string(name)));
    }
    // MPEG-4 Part 2 in AVI: no browser plays it, so it is made into H.264, which takes a while.
    ASSERT_TRUE(shell("ffmpeg -nostdin -y -f lavfi -i testsrc=size=854x480:rate=25 -t 10 "
                      "-c:v mpeg4 -q:v 20 '" +
                      (dir / "pics/slow.avi") + "'"));
    StopWhileTranscoding status;
    const auto start = std::chrono::steady_clock::now();
    result = runMake(settings, {}, portableProgramFiles(dir / "prog"), status);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    EXPECT_TRUE(result.stopped);
    EXPECT_LT(seconds.count(), 20.0);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir / "out/view")) {
        left.push_back(entry.path().filename().string());
    }
    // The picture's copy may be there; no part of the video is.
    for (const std::string& name : left) {
        EXPECT_EQ(name.find("slow.avi"), std::string::npos) << name;
    }
    // The next run makes it whole.
    settings.CheckExif = false;
    EXPECT_TRUE(run().back().rfind("完了しました", 0) == 0);
    EXPECT_TRUE(fs::exists(dir / "out/view/slow.avi.mp4"));
}

} // namespace
} // namespace mivo

namespace mivo {
namespace {

bool listed(const std::vector<std::string>& paths, const std::string& path) {
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

using SelfContainedSiteTest = MediaRunTest;

TEST_F(SelfContainedSiteTest, TheSiteHoldsTheOriginalsItLinksAndKeepsThemInStep) {
    settings.PublishOriginals = 1;
    // A picture that is a link out of the folder, and a file of the user's in the way.
    dir.write("secret.jpg", readBytes(dir / "pics/a.jpg"));
    fs::create_symlink(dir / "secret.jpg", dir / "pics/g.jpg");
    dir.mkdir("out/originals");
    dir.write("out/originals/h.jpg", "mine");
    fs::copy_file(dir / "pics/a.jpg", dir / "pics/h.jpg");
    run();
    ASSERT_TRUE(result.done) << result.failure;
    const std::string out = dir / "out";
    for (const char* name : {"a.jpg", "b.png", "c.heic", "d.mp4", "e.mov"}) {
        const std::string placed = out + "/originals/" + name;
        EXPECT_EQ(readBytes(placed), readBytes(dir / ("pics/" + std::string(name)))) << name;
        EXPECT_TRUE(listed(result.files.written, placed)) << name;
    }
    // Hard links where the file system allows: no second copy of the bytes.
    EXPECT_TRUE(fs::equivalent(out + "/originals/a.jpg", dir / "pics/a.jpg"));
    const std::string index = page("index.html");
    EXPECT_TRUE(contains(index, "aryPicList[0] = \"./view/a.jpg#original=./originals/a.jpg,"))
        << index;
    EXPECT_TRUE(contains(index, "aryPicVideo[3] = [\"./originals/d.mp4\""));
    // The link out of the folder is not followed, the user's file is kept: both are named and
    // linked where they are.
    EXPECT_FALSE(fs::exists(out + "/originals/g.jpg"));
    EXPECT_EQ(readBytes(out + "/originals/h.jpg"), "mine");
    EXPECT_TRUE(contains(result.items, dir / "pics/g.jpg")) << result.items;
    EXPECT_TRUE(contains(result.items, dir / "pics/h.jpg")) << result.items;
    EXPECT_TRUE(contains(index, "#original=./../pics/h.jpg,"));
    for (const char* name : {"a.jpg", "b.png", "c.heic", "d.mp4", "e.mov"}) {
        EXPECT_FALSE(contains(index, std::string("../pics/") + name)) << name;
        EXPECT_FALSE(contains(page("list.html"), std::string("../pics/") + name)) << name;
    }

    // Nothing changed: no file of the site is touched.
    const auto before = stamps(out);
    run();
    ASSERT_TRUE(result.done);
    EXPECT_EQ(stamps(out), before);
    EXPECT_TRUE(result.files.written.empty());

    // A picture gone takes its original with it; the user's file stays.
    fs::remove(dir / "pics/b.png");
    run();
    ASSERT_TRUE(result.done);
    EXPECT_FALSE(fs::exists(out + "/originals/b.png"));
    EXPECT_TRUE(listed(result.files.removed, out + "/originals/b.png"));
    EXPECT_EQ(readBytes(out + "/originals/h.jpg"), "mine");

    // Originals withheld: downloads give the display copy, a video its web video; only the
    // video that plays as it is stays in the site.
    settings.PublishOriginals = 2;
    run();
    ASSERT_TRUE(result.done);
    const std::string withheld = page("index.html");
    EXPECT_TRUE(contains(withheld, "aryPicList[0] = \"./view/a.jpg#original=./view/a.jpg,"))
        << withheld;
    EXPECT_TRUE(contains(withheld, "#original=./view/e.mov.mp4,")) << withheld;
    EXPECT_TRUE(fs::exists(out + "/originals/d.mp4"));
    EXPECT_FALSE(fs::exists(out + "/originals/a.jpg"));
    EXPECT_TRUE(fs::exists(dir / "pics/a.jpg"));

    // Back to links into the picture folder: everything Mivo placed goes, the user's file stays.
    settings.PublishOriginals = 0;
    run();
    ASSERT_TRUE(result.done);
    EXPECT_FALSE(fs::exists(out + "/originals/d.mp4"));
    EXPECT_FALSE(fs::exists(out + "/originals/.mivo-originals"));
    EXPECT_EQ(readBytes(out + "/originals/h.jpg"), "mine");
}

} // namespace
} // namespace mivo
