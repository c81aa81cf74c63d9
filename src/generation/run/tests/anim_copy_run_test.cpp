// A moving GIF too big to be shown from its original moves through an MP4 copy: made once,
// pointed at by the index page, kept by a re-run with nothing changed, remade when the GIF
// changes, gone with the GIF; a record of a version that made none gets it once.

#include <gtest/gtest.h>

#include <array>
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

// Noise keeps the GIF from packing small: two seconds of it are over a megabyte.
bool makeBigGif(const std::string& path, int seconds) {
    return shell("ffmpeg -nostdin -y -f lavfi -i 'testsrc=size=320x240:rate=10,noise=alls=100:"
                 "allf=t' -t " +
                 std::to_string(seconds) + " '" + path + "'");
}

class AnimCopyRunTest : public test::RunFixture {
  protected:
    void SetUp() override {
        RunFixture::SetUp();
        pics = dir / "pics";
        ASSERT_TRUE(makeBigGif(pics + "/big.gif", 2));
        ASSERT_GT(fs::file_size(pics + "/big.gif"), 1024U * 1024U);
        ASSERT_TRUE(
            shell("convert -delay 20 -size 40x30 xc:red xc:blue -loop 0 '" + pics + "/small.gif'"));
        settings.CheckReduce = true;
    }
    std::string record() const { return readBytes(dir / "out/thumbs/.mivo-copies"); }

    std::string pics;
};

TEST_F(AnimCopyRunTest, ABigGifMovesThroughOneMp4CopyKeptAsTheOtherCopies) {
    run();
    ASSERT_TRUE(result.done) << result.failure;
    std::string index = page("index.html");
    // The big GIF through its copy (an image-only template sees no animation); the small one
    // from its original, as before.
    EXPECT_TRUE(contains(index, "aryPicAnim[0] = [\"\", \"./view/big.gif.mp4\", \"video/mp4\"];"))
        << index;
    EXPECT_TRUE(contains(index, "aryPicAnim[1] = [\"./../pics/small.gif\"];")) << index;
    const fs::path mp4 = dir / "out/view/big.gif.mp4";
    ASSERT_TRUE(fs::exists(mp4));
    EXPECT_FALSE(fs::exists(dir / "out/view/small.gif.mp4"));
    const std::string video = readBytes(mp4);
    EXPECT_EQ(video.substr(4, 4), "ftyp");
    // Fast start: the index before the frames; and no sound.
    EXPECT_LT(video.find("moov"), video.find("mdat"));
    EXPECT_FALSE(contains(video, "soun"));
    EXPECT_LT(video.size(), fs::file_size(pics + "/big.gif"));
    EXPECT_TRUE(contains(record(), "\ta=mp4\n")) << record();
    EXPECT_TRUE(wrote("view/big.gif.mp4"));

    // Nothing changed: nothing is made.
    run();
    ASSERT_TRUE(result.done) << result.failure;
    expectOnlyPagesRewritten();
    EXPECT_EQ(page("index.html"), index);

    // A record written by a version that made no animation copy: the copy is made once.
    std::string old = record();
    const std::size_t field = old.find("\ta=mp4");
    ASSERT_NE(field, std::string::npos);
    old.erase(field, 6);
    {
        std::error_code ec;
        fs::remove(mp4, ec);
    }
    dir.write("out/thumbs/.mivo-copies", old);
    run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_TRUE(fs::exists(mp4));
    EXPECT_TRUE(contains(record(), "\ta=mp4\n"));
    run();
    EXPECT_TRUE(result.files.written.empty());

    // The copy missing (a killed run, a user's hand): made again.
    fs::remove(mp4);
    run();
    EXPECT_TRUE(fs::exists(mp4));

    // The GIF changed: its copy is made again; made small, it moves from its original and
    // its copy goes.
    const auto before = fs::file_size(mp4);
    ASSERT_TRUE(makeBigGif(pics + "/big.gif", 3));
    run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_NE(fs::file_size(mp4), before);
    ASSERT_TRUE(
        shell("convert -delay 20 -size 40x30 xc:green xc:black -loop 0 '" + pics + "/big.gif'"));
    run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_FALSE(fs::exists(mp4));
    EXPECT_TRUE(contains(page("index.html"), "aryPicAnim[0] = [\"./../pics/big.gif\"];"));

    // Removed: its copies go with it.
    ASSERT_TRUE(makeBigGif(pics + "/big.gif", 2));
    run();
    EXPECT_TRUE(fs::exists(mp4));
    fs::remove(pics + "/big.gif");
    run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_FALSE(fs::exists(mp4));
    EXPECT_FALSE(fs::exists(dir / "out/view/big.gif.jpg"));
    EXPECT_FALSE(contains(record(), "big.gif"));
}

TEST_F(AnimCopyRunTest, ATransparentGifMovesOnTheCheckerItsStillIsShownOn) {
    // Noise frames whose left quarter is transparent, over a megabyte.
    ASSERT_TRUE(shell("convert -size 320x240 xc:gray +noise Random -alpha set -channel A -fx "
                      "'i<80?0:1' +channel -duplicate 24 -set delay 10 -loop 0 '" +
                      pics + "/clear.gif'"));
    ASSERT_GT(fs::file_size(pics + "/clear.gif"), 1024U * 1024U);
    run();
    ASSERT_TRUE(result.done) << result.failure;
    const std::string frames = dir / "frames.rgb";
    // Two frames, the first and the last: the checker stands behind every one.
    ASSERT_TRUE(shell("ffmpeg -nostdin -loglevel error -y -i '" + (dir / "out/view/clear.gif.mp4") +
                      "' -vf 'select=eq(n\\,0)+eq(n\\,24)' -fps_mode vfr -pix_fmt rgb24 -f "
                      "rawvideo '" +
                      frames + "'"));
    const std::string rgb = readBytes(frames);
    ASSERT_EQ(rgb.size(), 2U * 320 * 240 * 3);
    const auto grey = [&](int frame, int x, int y) {
        const std::size_t at = (static_cast<std::size_t>(frame) * 320 * 240 +
                                static_cast<std::size_t>(y) * 320 + static_cast<std::size_t>(x)) *
                               3;
        return std::array<int, 3>{static_cast<unsigned char>(rgb[at]),
                                  static_cast<unsigned char>(rgb[at + 1]),
                                  static_cast<unsigned char>(rgb[at + 2])};
    };
    for (int frame = 0; frame < 2; ++frame) {
        // In 8-pixel squares, light where column and row add up even, as on the still copy.
        for (const auto& [x, y, level] : {std::array<int, 3>{3, 3, 160},
                                          {11, 3, 136},
                                          {11, 11, 160},
                                          {67, 203, 136},
                                          {59, 203, 160}}) {
            for (const int value : grey(frame, x, y)) {
                EXPECT_NEAR(value, level, 6) << "frame " << frame << " at " << x << "," << y;
            }
        }
    }
    // The still display copy has the same checker behind the same pixels.
    const std::string still = dir / "still.rgb";
    ASSERT_TRUE(shell("ffmpeg -nostdin -loglevel error -y -i '" + (dir / "out/view/clear.gif.jpg") +
                      "' -pix_fmt rgb24 -f rawvideo '" + still + "'"));
    const std::string stillRgb = readBytes(still);
    ASSERT_EQ(stillRgb.size(), 320U * 240 * 3);
    EXPECT_NEAR(static_cast<unsigned char>(stillRgb[(3 * 320 + 11) * 3]), 136, 6);
    EXPECT_NEAR(static_cast<unsigned char>(stillRgb[(3 * 320 + 3) * 3]), 160, 6);
}

TEST_F(AnimCopyRunTest, ABigWebpMovesThroughASmallerAnimatedWebp) {
    // Noise frames as lossless WebP: well over a megabyte.
    ASSERT_TRUE(shell("ffmpeg -nostdin -y -f lavfi -i 'testsrc=size=400x300:rate=10,noise=alls=100:"
                      "allf=t' -t 1 -c:v libwebp_anim -lossless 1 -loop 0 '" +
                      pics + "/wide.webp'"));
    ASSERT_GT(fs::file_size(pics + "/wide.webp"), 1024U * 1024U);
    settings.CheckMedia = true;
    run();
    ASSERT_TRUE(result.done) << result.failure;
    const std::string index = page("index.html");
    // An image, so in the first field: every template shows it moving.
    EXPECT_TRUE(contains(index, "aryPicAnim[2] = [\"./view/wide.webp.webp\"];")) << index;
    const std::string copy = readBytes(dir / "out/view/wide.webp.webp");
    EXPECT_EQ(copy.substr(0, 4), "RIFF");
    EXPECT_TRUE(contains(copy, "ANIM"));
    EXPECT_LT(copy.size(), fs::file_size(pics + "/wide.webp"));
    EXPECT_TRUE(contains(record(), "\ta=webp\n")) << record();
    run();
    EXPECT_TRUE(result.files.written.empty());
}

} // namespace
} // namespace mivo
