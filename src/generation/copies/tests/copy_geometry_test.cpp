#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "generation/copies/copy_geometry.h"
#include "generation/copies/resample.h"

namespace mivo {
namespace {

TEST(CopyGeometryTest, FittedSizesAreThoseLibvipsGave) {
    // Measured with vips thumbnail (--size down) on pictures of these sizes.
    EXPECT_EQ(fitInside(6000, 4000, 2048, 2048), (PictureSize{2048, 1365}));
    EXPECT_EQ(fitInside(4000, 6000, 2048, 2048), (PictureSize{1365, 2048}));
    EXPECT_EQ(fitInside(3001, 2001, 2048, 2048), (PictureSize{2048, 1366}));
    EXPECT_EQ(fitInside(4095, 3001, 2048, 2048), (PictureSize{2048, 1501}));
    EXPECT_EQ(fitInside(2047, 3000, 2048, 2048), (PictureSize{1397, 2048}));
    EXPECT_EQ(fitInside(2500, 2499, 2048, 2048), (PictureSize{2048, 2047}));
    EXPECT_EQ(fitInside(4100, 7, 2048, 2048), (PictureSize{2048, 3}));
    EXPECT_EQ(fitInside(9000, 3, 2048, 2048), (PictureSize{2048, 1}));
    // Thumbnails from those display copies: a half rounds up.
    EXPECT_EQ(fitInside(2048, 1501, 320, 320), (PictureSize{320, 235}));
    EXPECT_EQ(fitInside(2048, 1501, 160, 160), (PictureSize{160, 117}));
    EXPECT_EQ(fitInside(2048, 2047, 320, 320), (PictureSize{320, 320}));
    // Never enlarged; a box that is not square.
    EXPECT_EQ(fitInside(1999, 1000, 2048, 2048), (PictureSize{1999, 1000}));
    EXPECT_EQ(fitInside(2048, 2048, 2048, 2048), (PictureSize{2048, 2048}));
    EXPECT_EQ(fitInside(800, 600, 160, 120), (PictureSize{160, 120}));
    EXPECT_EQ(fitInside(300, 600, 160, 120), (PictureSize{60, 120}));
}

TEST(CopyGeometryTest, TheDecodeScaleIsTheSmallestThatCoversTheCopyInBothEdges) {
    // A camera picture for a 2048-pixel display copy: 3/8 gives 2250 x 1500, 2/8 too little.
    EXPECT_EQ(decodeEighths({6000, 4000}, {2048, 1365}), 3);
    EXPECT_EQ(decodeEighths({4000, 6000}, {1365, 2048}), 3);
    // Exactly the copy's size at 1/8, one pixel short of it, one pixel over.
    EXPECT_EQ(decodeEighths({16384, 8192}, {2048, 1024}), 1);
    EXPECT_EQ(decodeEighths({16376, 8188}, {2048, 1024}), 2);
    EXPECT_EQ(decodeEighths({16392, 8196}, {2049, 1025}), 1);
    // libjpeg rounds each scaled edge up: 4097 at 1/2 is 2049, which covers 2048.
    EXPECT_EQ(decodeEighths({4097, 2731}, {2048, 1365}), 4);
    EXPECT_EQ(decodeEighths({4095, 3001}, {2048, 1501}), 4);
    EXPECT_EQ(decodeEighths({5461, 3641}, {2048, 1365}), 3);
    // 5/8 to 7/8 would cover, but full size decodes faster.
    EXPECT_EQ(decodeEighths({4000, 3000}, {2048, 1536}), 8);
    EXPECT_EQ(decodeEighths({3001, 2001}, {2048, 1366}), 8);
    // The width alone would allow 3/8 (2250), the height needs 4/8 (1500 < 1600 <= 2000).
    EXPECT_EQ(decodeEighths({6000, 4000}, {2000, 1600}), 4);
    // Just over the copy, the same size as it, smaller than it: full size, never enlarged.
    EXPECT_EQ(decodeEighths({2049, 1537}, {2048, 1536}), 8);
    EXPECT_EQ(decodeEighths({2048, 1365}, {2048, 1365}), 8);
    EXPECT_EQ(decodeEighths({1000, 700}, {1000, 700}), 8);
    // The copies ask for twice their size (see decodeNeed): a camera picture is decoded whole
    // (6/8 would do, 8/8 is faster); a 24000x16000 panorama at 2/8.
    EXPECT_EQ(decodeNeed({2048, 1365}), (PictureSize{4096, 2730}));
    EXPECT_EQ(decodeEighths({6000, 4000}, decodeNeed({2048, 1365})), 8);
    EXPECT_EQ(decodeEighths({24000, 16000}, decodeNeed({2048, 1365})), 2);
    EXPECT_EQ(decodeEighths({16384, 8192}, decodeNeed({2048, 1024})), 2);
    EXPECT_EQ(decodeEighths({16376, 8188}, decodeNeed({2048, 1024})), 3);
    EXPECT_EQ(decodeEighths({4000, 3000}, decodeNeed({2048, 1536})), 8);
    EXPECT_EQ(scaledEdge(6000, 3), 2250);
    EXPECT_EQ(scaledEdge(4097, 4), 2049);
}

Pixels flat(int width, int height, int bands, unsigned char value) {
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.bands = bands;
    pixels.data.assign(static_cast<std::size_t>(width * height * bands), value);
    return pixels;
}

TEST(CopyGeometryTest, ShrinkingKeepsFlatAreasAndEdgesWhereTheyAre) {
    // Every path: a small shrink, one large enough for the box average first, grey.
    for (const auto& [width, height, bands] :
         {std::tuple{2250, 1500, 3}, std::tuple{2048, 1365, 3}, std::tuple{301, 211, 1}}) {
        Pixels in = flat(width, height, bands, 0);
        // Left half black, right half white: the edge stays at the middle.
        for (int y = 0; y < height; ++y) {
            for (int x = width / 2; x < width; ++x) {
                for (int b = 0; b < bands; ++b) {
                    in.data[static_cast<std::size_t>((y * width + x) * bands + b)] = 255;
                }
            }
        }
        for (const int pictureWidth : {width * 9 / 10, width / 7, 12}) {
            SCOPED_TRACE(std::to_string(width) + " -> " + std::to_string(pictureWidth));
            Pixels out;
            const int pictureHeight = std::max(height * pictureWidth / width, 1);
            shrinkPixels(in, pictureWidth, pictureHeight, out);
            ASSERT_EQ(out.width, pictureWidth);
            ASSERT_EQ(out.height, pictureHeight);
            ASSERT_EQ(out.data.size(),
                      static_cast<std::size_t>(pictureWidth * pictureHeight * bands));
            const auto at = [&](int x, int y) {
                return out.data[static_cast<std::size_t>((y * pictureWidth + x) * bands)];
            };
            for (int y = 0; y < pictureHeight; ++y) {
                EXPECT_EQ(at(0, y), 0);
                EXPECT_EQ(at(pictureWidth - 1, y), 255);
            }
            if (pictureWidth > 20) {
                EXPECT_LT(at(pictureWidth / 2 - 3, pictureHeight / 2), 8);
                EXPECT_GT(at(pictureWidth / 2 + 3, pictureHeight / 2), 247);
            }
        }
        // A flat picture stays exactly flat: the weights add up to one.
        Pixels grey = flat(width, height, bands, 173);
        Pixels out;
        shrinkPixels(grey, width / 3, height / 3, out);
        for (const unsigned char value : out.data) {
            ASSERT_EQ(value, 173);
        }
    }
}

} // namespace
} // namespace mivo
