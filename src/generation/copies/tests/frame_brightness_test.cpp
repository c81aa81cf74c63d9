#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/run_program.h"
#include "generation/copies/frame_brightness.h"

namespace mivo {
namespace {

// A 64x48 frame of `source` as ffmpeg pipes a poster, with `extra` arguments before the output.
std::string frame(const std::string& ffmpeg, const std::string& source,
                  const std::vector<std::string>& extra) {
    std::vector<std::string> argv = {ffmpeg,       "-nostdin", "-hide_banner",
                                     "-loglevel",  "error",    "-f",
                                     "lavfi",      "-i",       source + ":size=64x48",
                                     "-frames:v",  "1",        "-f",
                                     "image2pipe", "-c:v",     "png"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.push_back("pipe:1");
    ProgramRun how;
    how.captureOutput = true;
    how.outputLimit = 64u << 20;
    ProgramResult result;
    EXPECT_TRUE(runProgram(argv, how, result)) << source << ": " << result.errorTail;
    return result.output;
}

TEST(FrameBrightness, StoredFramesAreMeasuredAndAnythingElseIsNotKnown) {
    const std::string ffmpeg = findProgram("ffmpeg");
    if (ffmpeg.empty()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const std::vector<std::string> stored = {"-compression_level", "0",    "-pred", "none",
                                             "-pix_fmt",           "rgb24"};
    double brightness = -1;
    // Video's own range: black 16, white 235; a colour by its luma.
    ASSERT_TRUE(storedPngBrightness(frame(ffmpeg, "color=black", stored), brightness));
    EXPECT_NEAR(brightness, 16, 0.5);
    ASSERT_TRUE(storedPngBrightness(frame(ffmpeg, "color=white", stored), brightness));
    EXPECT_NEAR(brightness, 235, 0.5);
    ASSERT_TRUE(storedPngBrightness(frame(ffmpeg, "color=0x202020", stored), brightness));
    EXPECT_NEAR(brightness, 16 + 32 * 219.0 / 255, 1);
    ASSERT_TRUE(storedPngBrightness(frame(ffmpeg, "color=red", stored), brightness));
    EXPECT_NEAR(brightness, 16 + 0.299 * 219, 2);
    // A large frame spans many stored blocks and IDAT chunks.
    std::vector<std::string> large = stored;
    large.insert(large.begin(), {"-vf", "scale=1920:1080"});
    ASSERT_TRUE(storedPngBrightness(frame(ffmpeg, "color=gray", large), brightness));
    EXPECT_NEAR(brightness, 16 + 128 * 219.0 / 255, 3);

    // Compressed, filtered, 16-bit, cut short or no PNG at all: not known, never a guess.
    brightness = -1;
    const std::string compressed = frame(ffmpeg, "color=white", {"-pix_fmt", "rgb24"});
    EXPECT_FALSE(storedPngBrightness(compressed, brightness));
    EXPECT_FALSE(storedPngBrightness(
        frame(ffmpeg, "testsrc=rate=25",
              {"-compression_level", "0", "-pred", "paeth", "-pix_fmt", "rgb24"}),
        brightness));
    EXPECT_FALSE(storedPngBrightness(
        frame(ffmpeg, "color=white", {"-compression_level", "0", "-pix_fmt", "rgb48be"}),
        brightness));
    const std::string whole = frame(ffmpeg, "color=white", stored);
    EXPECT_FALSE(storedPngBrightness(whole.substr(0, whole.size() / 2), brightness));
    EXPECT_FALSE(storedPngBrightness(whole.substr(0, 40), brightness));
    EXPECT_FALSE(storedPngBrightness("", brightness));
    EXPECT_FALSE(storedPngBrightness("\x89PNG\r\n\x1a\n", brightness));
    EXPECT_EQ(brightness, -1);
}

} // namespace
} // namespace mivo
