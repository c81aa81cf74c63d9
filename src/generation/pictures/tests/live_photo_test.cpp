// Live Photos: a still and the short video of its name become one item, the video's length
// read from its movie header alone.

#include "generation/pictures/live_photo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/paths.h"
#include "generation/plan/item_kind.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

std::string be(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<char>((value >> (8U * static_cast<unsigned>(i))) & 0xFFU));
    }
    return out;
}

std::string box(const std::string& type, const std::string& content) {
    return be(content.size() + 8, 4) + type + content;
}

/// A movie header of version 0 (32-bit fields) or 1 (64-bit times and duration).
std::string mvhd(int version, std::uint64_t scale, std::uint64_t duration) {
    const int wide = version == 1 ? 8 : 4;
    return box("mvhd", be(static_cast<std::uint64_t>(version) << 24U, 4) + be(0, wide) +
                           be(0, wide) + be(scale, 4) + be(duration, wide) + std::string(80, '\0'));
}

/// A QuickTime file as phones write it: the media data first, the movie box at the end.
std::string movie(const std::string& header) {
    return box("ftyp", "qt  " + be(0, 4) + "qt  ") + box("mdat", std::string(300, 'x')) +
           box("moov", header + box("trak", std::string(40, '\0')));
}

TEST(LivePhotoTest, TheLengthComesFromTheMovieHeaderWhereverItLies) {
    long long ms = -1;
    EXPECT_TRUE(readQuickTimeDurationFromBytes(movie(mvhd(0, 600, 1650)), ms));
    EXPECT_EQ(ms, 2750);
    EXPECT_TRUE(readQuickTimeDurationFromBytes(movie(mvhd(1, 90000, 270000)), ms));
    EXPECT_EQ(ms, 3000);
    // A 64-bit box size, as large media data is written.
    const std::string large = be(1, 4) + "mdat" + be(16 + 5, 8) + "hello";
    EXPECT_TRUE(readQuickTimeDurationFromBytes(large + box("moov", mvhd(0, 1000, 1234)), ms));
    EXPECT_EQ(ms, 1234);
    // A clip of days is held at a day, not wrapped round.
    EXPECT_TRUE(readQuickTimeDurationFromBytes(movie(mvhd(1, 1, 1ULL << 62U)), ms));
    EXPECT_EQ(ms, 86400000);

    // Not a movie, or one whose header cannot be trusted: no length at all.
    const std::string good = movie(mvhd(0, 600, 1650));
    for (const std::string& bad :
         {std::string(), std::string("\xFF\xD8\xFF\xE0 a JPEG"), good.substr(0, good.size() - 60),
          movie(mvhd(0, 0, 1650)), movie(mvhd(0, 600, 0xFFFFFFFFULL)),
          box("ftyp", "qt  ") + box("mdat", "x"),
          // A box claiming more than the file holds, and one smaller than its own header.
          be(4000, 4) + "moov" + mvhd(0, 600, 1650), be(3, 4) + "moov" + mvhd(0, 600, 1650)}) {
        EXPECT_FALSE(readQuickTimeDurationFromBytes(bad, ms)) << bad.size();
    }
}

TEST(LivePhotoTest, AStillAndItsShortVideoAreOneItemWhenTheirPairIsPlain) {
    test::TempDir dir;
    const std::string shortClip = movie(mvhd(0, 600, 1800));
    dir.write("IMG_0001.HEIC", "still");
    dir.write("img_0001.mov", shortClip); // letter case does not part them
    dir.write("IMG_0002.JPG", "still");
    dir.write("IMG_0002.MP4", movie(mvhd(0, 600, 6000))); // ten seconds: a clip of its own
    dir.write("IMG_0003.JPG", "still");
    dir.write("IMG_0003.HEIC", "still");
    dir.write("IMG_0003.MOV", shortClip); // two stills: which one is anyone's guess
    dir.write("IMG_0004.HEIC", "still");
    dir.write("IMG_0004.MOV", "not a movie"); // no header: stays as it is, to be left out
    dir.write("IMG_0005.PNG", "still");
    dir.write("IMG_0005.MOV", shortClip); // a screenshot is no Live Photo's still
    dir.write("IMG_0006.MOV", shortClip); // a video alone
    PictureList items;
    for (const char* name : {"IMG_0001.HEIC", "img_0001.mov", "IMG_0002.JPG", "IMG_0002.MP4",
                             "IMG_0003.JPG", "IMG_0003.HEIC", "IMG_0003.MOV", "IMG_0004.HEIC",
                             "IMG_0004.MOV", "IMG_0005.PNG", "IMG_0005.MOV", "IMG_0006.MOV"}) {
        items.add(listedItem(dir.path(), name, itemKindOf(name, true)));
    }
    pairLivePhotos(items);
    ASSERT_EQ(items.size(), 11U);
    EXPECT_EQ(items[0].name(), "IMG_0001.HEIC");
    ASSERT_TRUE(items[0].motion);
    EXPECT_EQ(items[0].motion->name(), "img_0001.mov");
    EXPECT_EQ(items[0].motion->path, dir / "img_0001.mov");
    EXPECT_EQ(items[0].motion->kind, ItemKind::Video);
    EXPECT_EQ(items[1].name(), "IMG_0002.JPG");
    for (std::size_t i = 1; i < items.size(); ++i) {
        EXPECT_FALSE(items[i].motion) << items[i].name();
    }
    // The look-up by name finds what is left, and no longer the motion.
    EXPECT_EQ(items.find("IMG_0006.mov"), &items[10]);
    EXPECT_EQ(items.find("IMG_0001.MOV"), nullptr);
}

} // namespace
} // namespace mivo
