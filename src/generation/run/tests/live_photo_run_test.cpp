// Live Photos through a whole run: one item with one tile and one name, its motion in the
// video array marked "live" with a web video of its own; a re-run with nothing changed makes
// nothing; with pairing off, two items as before.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "generation/run/make_run.h"
#include "settings/settings.h"
#include "support/page_fixture.h"
#include "support/run_fixture.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;
using test::contains;
using test::shell;

class LivePhotoRunTest : public test::RunFixture {
  protected:
    void SetUp() override {
        RunFixture::SetUp();
        const std::string pics = dir / "pics";
        ASSERT_TRUE(shell("convert -size 400x300 xc:orange '" + pics + "/IMG_0001.JPG'"));
        ASSERT_TRUE(shell("ffmpeg -nostdin -y -f lavfi -i testsrc=size=160x120:rate=10 -t 2 "
                          "-c:v libx264 -pix_fmt yuv420p '" +
                          pics + "/IMG_0001.MOV'"));
        ASSERT_TRUE(shell("convert -size 300x200 xc:teal '" + pics + "/IMG_0002.JPG'"));
        settings.CheckReduce = true;
        settings.CheckMedia = true;
    }
};

TEST_F(LivePhotoRunTest, OneItemWithItsMotionAndTwoWithPairingOff) {
    EXPECT_TRUE(settings.CheckLivePhoto); // on unless the user turns it off
    run();
    ASSERT_TRUE(result.done) << result.failure;
    std::string index = page("index.html");
    EXPECT_TRUE(contains(index, "aryPicList[0] = \"./view/IMG_0001.JPG#original=./../pics/"
                                "IMG_0001.JPG,400,300,IMG_0001\";"))
        << index;
    EXPECT_TRUE(contains(index, "aryPicList[1] = \"./view/IMG_0002.JPG#original="));
    EXPECT_FALSE(contains(index, "aryPicList[2]"));
    EXPECT_TRUE(contains(index, "aryPicVideo[0] = [\"./view/IMG_0001.MOV.mp4\", \"2\", "
                                "\"video/mp4\", \"live\"];"))
        << index;
    EXPECT_FALSE(contains(index, "aryPicVideo[1]"));
    const std::string list = page("list.html");
    EXPECT_FALSE(contains(list, "IMG_0001.MOV")) << list;
    EXPECT_FALSE(contains(list, "0:02"));
    EXPECT_TRUE(fs::exists(dir / "out/view/IMG_0001.MOV.mp4"));
    // The run's list of files names the motion's web video like any other copy.
    bool listed = false;
    for (const std::string& path : result.files.written) {
        listed = listed || contains(path, "view/IMG_0001.MOV.mp4");
    }
    EXPECT_TRUE(listed);

    // Nothing changed: nothing is written but the pages.
    run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_TRUE(result.files.written.empty());
    for (const std::string& path : result.files.replaced) {
        EXPECT_TRUE(path.ends_with(".html")) << path;
    }
    EXPECT_EQ(page("index.html"), index);

    // Pairing off: two items as before, the video with its length and no mark; its copies
    // are the same files, so none is made again.
    settings.CheckLivePhoto = false;
    run();
    ASSERT_TRUE(result.done) << result.failure;
    index = page("index.html");
    EXPECT_TRUE(contains(index, "aryPicList[1] = \"./view/IMG_0001.MOV.jpg#original="));
    EXPECT_TRUE(contains(index, "aryPicVideo[1] = [\"./view/IMG_0001.MOV.mp4\", \"2\", "
                                "\"video/mp4\"];"))
        << index;
    EXPECT_TRUE(result.files.written.empty());

    // The motion gone: its copies go with it, the still stays.
    settings.CheckLivePhoto = true;
    run();
    fs::remove(dir / "pics/IMG_0001.MOV");
    run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_FALSE(fs::exists(dir / "out/view/IMG_0001.MOV.mp4"));
    EXPECT_FALSE(fs::exists(dir / "out/thumbs/IMG_0001.MOV.jpg"));
    EXPECT_FALSE(contains(page("index.html"), "aryPicVideo[0]"));
}

} // namespace
} // namespace mivo
