// Moving GIF and WebP pictures told from still ones by their headers alone.

#include "generation/pictures/moving_picture.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace mivo {
namespace {

/// A GIF of `frames` 1x1 images, with a global colour table of two entries, a comment
/// extension and a graphic control extension before each image.
std::string gif(int frames, bool localTables = false) {
    std::string out = std::string("GIF89a") + std::string("\x01\x00\x01\x00\x80\x00\x00", 7);
    out += std::string(6, '\x7f'); // two colours
    out += std::string("\x21\xFE\x03hi!\x00", 7);
    for (int i = 0; i < frames; ++i) {
        out += std::string("\x21\xF9\x04\x04\x0A\x00\x00\x00", 8);
        out += std::string("\x2C\x00\x00\x00\x00\x01\x00\x01\x00", 9);
        out +=
            localTables ? std::string("\x81", 1) + std::string(12, '\x10') : std::string(1, '\0');
        out += std::string("\x02\x02\x44\x01\x00", 5); // code size, one sub-block, end
    }
    return out + ";";
}

std::string webp(unsigned char flags) {
    return std::string("RIFF\x1e\x00\x00\x00WEBPVP8X\x0a\x00\x00\x00", 20) +
           std::string(1, static_cast<char>(flags)) + std::string(9, '\0');
}

TEST(MovingPictureTest, AnimationIsToldFromTheHeader) {
    EXPECT_FALSE(pictureMovesFromBytes(gif(1)));
    EXPECT_TRUE(pictureMovesFromBytes(gif(2)));
    EXPECT_TRUE(pictureMovesFromBytes(gif(3, true)));
    EXPECT_FALSE(pictureMovesFromBytes(gif(1, true)));
    // A file cut inside its first image, or bytes no GIF holds after it: no animation.
    const std::string two = gif(2);
    EXPECT_FALSE(pictureMovesFromBytes(two.substr(0, 40)));
    EXPECT_FALSE(pictureMovesFromBytes(gif(1).substr(0, gif(1).size() - 1) + "garbage"));
    EXPECT_TRUE(pictureMovesFromBytes(webp(0x02)));
    EXPECT_TRUE(pictureMovesFromBytes(webp(0x12)));  // animated with alpha
    EXPECT_FALSE(pictureMovesFromBytes(webp(0x10))); // alpha alone
    EXPECT_FALSE(pictureMovesFromBytes(std::string("RIFF\x1e\x00\x00\x00WEBPVP8 ", 16)));
    EXPECT_FALSE(pictureMovesFromBytes(""));
    EXPECT_FALSE(pictureMovesFromBytes("\xFF\xD8\xFF"));

    test::TempDir dir;
    long long bytes = 0;
    EXPECT_TRUE(readPictureMoves(dir.write("a.gif", two), bytes));
    EXPECT_EQ(bytes, static_cast<long long>(two.size()));
    EXPECT_FALSE(readPictureMoves(dir / "missing.gif", bytes));
}

} // namespace
} // namespace mivo
