// Live Photos through a whole run: one item with one tile and one name, its motion in the
// video array marked "live" with a web video of its own; a re-run with nothing changed makes
// nothing; with pairing off, two items as before.

#include <gtest/gtest.h>

#include <cstdint>
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
using test::readBytes;
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
    // The run's list of files names the motion's web video like any other copy. The still's
    // copies show the motion everywhere: it gets no poster copies of its own.
    EXPECT_TRUE(wrote("view/IMG_0001.MOV.mp4"));
    EXPECT_FALSE(wrote("IMG_0001.MOV.jpg"));
    EXPECT_FALSE(fs::exists(dir / "out/view/IMG_0001.MOV.jpg"));
    EXPECT_FALSE(fs::exists(dir / "out/thumbs/IMG_0001.MOV.jpg"));
    EXPECT_FALSE(fs::exists(dir / "out/thumbs/2x/IMG_0001.MOV.jpg.webp"));
    const auto webVideoTime = fs::last_write_time(dir / "out/view/IMG_0001.MOV.mp4");

    // Nothing changed: nothing is written but the pages, twice (the second time with the
    // folders as the record has them).
    for (int turn = 0; turn < 2; ++turn) {
        run();
        ASSERT_TRUE(result.done) << result.failure;
        expectOnlyPagesRewritten();
        EXPECT_EQ(page("index.html"), index);
    }

    // Pairing off: two items as before, the video with its length and no mark. It gets its
    // poster copies now; its web video is the same file, not made again.
    settings.CheckLivePhoto = false;
    run();
    ASSERT_TRUE(result.done) << result.failure;
    index = page("index.html");
    EXPECT_TRUE(contains(index, "aryPicList[1] = \"./view/IMG_0001.MOV.jpg#original="));
    EXPECT_TRUE(contains(index, "aryPicVideo[1] = [\"./view/IMG_0001.MOV.mp4\", \"2\", "
                                "\"video/mp4\"];"))
        << index;
    EXPECT_TRUE(fs::exists(dir / "out/thumbs/IMG_0001.MOV.jpg"));
    EXPECT_TRUE(fs::exists(dir / "out/view/IMG_0001.MOV.jpg"));
    EXPECT_FALSE(wrote("IMG_0001.MOV.mp4"));
    EXPECT_EQ(fs::last_write_time(dir / "out/view/IMG_0001.MOV.mp4"), webVideoTime);
    run();
    expectOnlyPagesRewritten();

    // Pairing on again: the poster copies go, the web video stays.
    settings.CheckLivePhoto = true;
    run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_FALSE(fs::exists(dir / "out/view/IMG_0001.MOV.jpg"));
    EXPECT_FALSE(fs::exists(dir / "out/thumbs/IMG_0001.MOV.jpg"));
    EXPECT_FALSE(fs::exists(dir / "out/thumbs/2x/IMG_0001.MOV.jpg"));
    EXPECT_EQ(fs::last_write_time(dir / "out/view/IMG_0001.MOV.mp4"), webVideoTime);
    EXPECT_TRUE(contains(page("index.html"), "aryPicVideo[0] = [\"./view/IMG_0001.MOV.mp4\""));

    // The motion gone: its copies go with it, the still stays.
    fs::remove(dir / "pics/IMG_0001.MOV");
    run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_FALSE(fs::exists(dir / "out/view/IMG_0001.MOV.mp4"));
    EXPECT_FALSE(fs::exists(dir / "out/thumbs/IMG_0001.MOV.jpg"));
    EXPECT_FALSE(contains(page("index.html"), "aryPicVideo[0]"));
}

TEST_F(LivePhotoRunTest, AMotionWhoseStillIsNotShownGetsItsPosterUntilItIs) {
    const std::string pics = dir / "pics";
    fs::copy_file(dir / "pics/IMG_0001.MOV", dir / "pics/IMG_0003.MOV");
    dir.write("pics/IMG_0003.JPG", "not a picture");
    // A still that cannot be read is left out: its motion is an item of its own, with the
    // poster copies every video has.
    for (int turn = 0; turn < 2; ++turn) {
        run();
        ASSERT_TRUE(result.done) << result.failure;
        const std::string index = page("index.html");
        EXPECT_TRUE(contains(index, "aryPicList[2] = \"./view/IMG_0003.MOV.jpg#original="))
            << index;
        EXPECT_TRUE(contains(index, "aryPicVideo[2] = [\"./view/IMG_0003.MOV.mp4\", \"2\", "
                                    "\"video/mp4\"];"))
            << index;
        EXPECT_TRUE(fs::exists(dir / "out/thumbs/IMG_0003.MOV.jpg"));
        EXPECT_TRUE(fs::exists(dir / "out/view/IMG_0003.MOV.jpg"));
    }
    expectOnlyPagesRewritten();
    const auto webVideoTime = fs::last_write_time(dir / "out/view/IMG_0003.MOV.mp4");

    // The still mended: one item again, the motion's poster copies gone in the same run, its
    // web video kept; and a run after it makes nothing.
    ASSERT_TRUE(shell("convert -size 400x300 xc:navy '" + pics + "/IMG_0003.JPG'"));
    run();
    ASSERT_TRUE(result.done) << result.failure;
    const std::string index = page("index.html");
    EXPECT_TRUE(contains(index, "aryPicList[2] = \"./view/IMG_0003.JPG#original=")) << index;
    EXPECT_TRUE(contains(index, "aryPicVideo[2] = [\"./view/IMG_0003.MOV.mp4\", \"2\", "
                                "\"video/mp4\", \"live\"];"))
        << index;
    EXPECT_FALSE(fs::exists(dir / "out/thumbs/IMG_0003.MOV.jpg"));
    EXPECT_FALSE(fs::exists(dir / "out/view/IMG_0003.MOV.jpg"));
    EXPECT_EQ(fs::last_write_time(dir / "out/view/IMG_0003.MOV.mp4"), webVideoTime);
    run();
    expectOnlyPagesRewritten();
}

std::string be(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<char>((value >> (8U * static_cast<unsigned>(i))) & 0xFFU));
    }
    return out;
}

/// The JPEG `jpeg` with an EXIF block put in after its start marker, whose Apple maker note
/// holds the ContentIdentifier `id`, as an iPhone writes it.
std::string withAppleIdentifier(const std::string& jpeg, const std::string& id) {
    const std::string value = id + std::string(1, '\0');
    const std::string note = std::string("Apple iOS\0", 10) + be(1, 2) + "MM" + be(1, 2) +
                             be(0x0011, 2) + be(2, 2) + be(value.size(), 4) + be(32, 4) + be(0, 4) +
                             value;
    const std::string tiff = "MM" + be(0x2A, 2) + be(8, 4) + be(1, 2) + be(0x8769, 2) + be(4, 2) +
                             be(1, 4) + be(26, 4) + be(0, 4) + be(1, 2) + be(0x927C, 2) + be(7, 2) +
                             be(note.size(), 4) + be(44, 4) + be(0, 4) + note;
    const std::string app1 = std::string("Exif\0\0", 6) + tiff;
    return jpeg.substr(0, 2) + std::string("\xFF\xE1", 2) + be(app1.size() + 2, 2) + app1 +
           jpeg.substr(2);
}

TEST_F(LivePhotoRunTest, AnEditedStillOfAnotherNameFindsItsMotionByItsIdentifier) {
    const std::string pics = dir / "pics";
    fs::remove(dir / "pics/IMG_0001.JPG");
    ASSERT_TRUE(shell("convert -size 400x300 xc:orange '" + pics + "/plain.jpg'"));
    dir.write("pics/IMG_E0001.JPG", withAppleIdentifier(readBytes(dir / "pics/plain.jpg"),
                                                        "5A3C1B2E-77D0-4F1A-9E0B-2C4D6F8A0B1C"));
    fs::remove(dir / "pics/plain.jpg");
    ASSERT_TRUE(shell("ffmpeg -nostdin -y -i '" + pics +
                      "/IMG_0001.MOV' -c copy -movflags "
                      "use_metadata_tags -metadata com.apple.quicktime.content.identifier="
                      "5A3C1B2E-77D0-4F1A-9E0B-2C4D6F8A0B1C '" +
                      pics + "/IMG_0001-live.MOV'"));
    fs::remove(dir / "pics/IMG_0001.MOV");
    run();
    ASSERT_TRUE(result.done) << result.failure;
    const std::string index = page("index.html");
    EXPECT_TRUE(contains(index, "aryPicList[1] = \"./view/IMG_E0001.JPG#original=")) << index;
    EXPECT_TRUE(contains(index, "aryPicList[0] = \"./view/IMG_0002.JPG#original=")) << index;
    EXPECT_FALSE(contains(index, "aryPicList[2]"));
    EXPECT_TRUE(contains(index, "aryPicVideo[1] = [\"./view/IMG_0001-live.MOV.mp4\", \"2\", "
                                "\"video/mp4\", \"live\"];"))
        << index;
}

} // namespace
} // namespace mivo
