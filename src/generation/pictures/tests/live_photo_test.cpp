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

/// The metadata a phone writes into a Live Photo's video: moov/meta with a handler, the keys
/// and the item list, the identifier under the second key.
std::string withIdentifier(const std::string& id, bool underUserData = false) {
    const auto key = [](const std::string& name) { return be(8 + name.size(), 4) + "mdta" + name; };
    const std::string keys = box("keys", be(0, 4) + be(2, 4) + key("com.apple.quicktime.make") +
                                             key("com.apple.quicktime.content.identifier"));
    const std::string ilst = box("ilst", box(be(1, 4), box("data", be(1, 4) + be(0, 4) + "Apple")) +
                                             box(be(2, 4), box("data", be(1, 4) + be(0, 4) + id)));
    const std::string meta = box("meta", box("hdlr", std::string(25, '\0')) + keys + ilst);
    return box("ftyp", "qt  " + be(0, 4) + "qt  ") + box("mdat", std::string(300, 'x')) +
           box("moov", mvhd(0, 600, 1800) + (underUserData ? box("udta", meta) : meta));
}

/// A JPEG whose EXIF block holds an Apple maker note with the ContentIdentifier `id` (tag
/// 0x0011), as an iPhone writes it: IFD0 -> Exif IFD -> MakerNote "Apple iOS", big-endian,
/// its offsets counted from its own start.
std::string stillWithIdentifier(const std::string& id) {
    const std::string value = id + std::string(1, '\0');
    const std::string note = std::string("Apple iOS\0", 10) + be(1, 2) + "MM" + be(1, 2) +
                             be(0x0011, 2) + be(2, 2) + be(value.size(), 4) + be(32, 4) + be(0, 4) +
                             value;
    const std::string tiff = "MM" + be(0x2A, 2) + be(8, 4) + // header
                             be(1, 2) + be(0x8769, 2) + be(4, 2) + be(1, 4) + be(26, 4) +
                             be(0, 4) + // IFD0
                             be(1, 2) + be(0x927C, 2) + be(7, 2) + be(note.size(), 4) + be(44, 4) +
                             be(0, 4) + // Exif IFD
                             note;
    const std::string app1 = std::string("Exif\0\0", 6) + tiff;
    return "\xFF\xD8" + std::string("\xFF\xE0", 2) + be(16, 2) + std::string(14, 'j') +
           std::string("\xFF\xE1", 2) + be(app1.size() + 2, 2) + app1 + "\xFF\xD9";
}

TEST(LivePhotoTest, AStillAndAVideoOfOtherNamesPairByTheIdentifierBothCarry) {
    EXPECT_EQ(readMotionContentIdentifierFromBytes(withIdentifier("8C1F-A2")), "8C1F-A2");
    EXPECT_EQ(readMotionContentIdentifierFromBytes(withIdentifier("8C1F-A2", true)), "8C1F-A2");
    EXPECT_EQ(readMotionContentIdentifierFromBytes(movie(mvhd(0, 600, 1800))), "");
    // A value that is not one line of printable text is no identifier.
    EXPECT_EQ(readMotionContentIdentifierFromBytes(withIdentifier("a b")), "");

    test::TempDir dir;
    dir.write("IMG_E0007.JPG", stillWithIdentifier("ID-7")); // an edit saved under its name
    dir.write("IMG_0007.MOV", withIdentifier("ID-7"));
    EXPECT_EQ(readStillContentIdentifier(dir / "IMG_E0007.JPG"), "ID-7");
    // The video of a pair by name is never paired twice.
    dir.write("IMG_0008.JPG", stillWithIdentifier("ID-8"));
    dir.write("IMG_0008.MOV", withIdentifier("ID-8"));
    dir.write("copy of 8.jpg", stillWithIdentifier("ID-8"));
    // Two stills of one identifier: which one is anyone's guess.
    dir.write("a.jpg", stillWithIdentifier("ID-9"));
    dir.write("b.jpg", stillWithIdentifier("ID-9"));
    dir.write("clip9.mov", withIdentifier("ID-9"));
    // A video too long for a motion, and a screenshot, keep their identifiers to themselves.
    dir.write("long.jpg", stillWithIdentifier("ID-10"));
    dir.write("shot.png", stillWithIdentifier("ID-11"));
    dir.write("shot11.mov", withIdentifier("ID-11"));
    {
        // The long one: its movie header says ten seconds.
        std::string clip = withIdentifier("ID-10");
        const std::string header = mvhd(0, 600, 1800);
        clip.replace(clip.find(header), header.size(), mvhd(0, 600, 6000));
        dir.write("long.mov", clip);
    }
    PictureList items;
    for (const char* name :
         {"IMG_0007.MOV", "IMG_0008.JPG", "IMG_0008.MOV", "IMG_E0007.JPG", "a.jpg", "b.jpg",
          "clip9.mov", "copy of 8.jpg", "long.jpg", "long.mov", "shot.png", "shot11.mov"}) {
        items.add(listedItem(dir.path(), name, itemKindOf(name, true)));
    }
    pairLivePhotos(items);
    std::string shown;
    for (const Item& item : items) {
        shown += item.name() + (item.motion ? "+" + item.motion->name() : "") + "|";
    }
    EXPECT_EQ(shown, "IMG_0008.JPG+IMG_0008.MOV|IMG_E0007.JPG+IMG_0007.MOV|a.jpg|b.jpg|"
                     "clip9.mov|copy of 8.jpg|long.jpg|long.mov|shot.png|shot11.mov|");
}

} // namespace
} // namespace mivo
