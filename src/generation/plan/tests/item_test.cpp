// The items of an album as the listing makes them: found by name whatever its letter case, and
// taken out (left out of the gallery) without disturbing the others.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "generation/plan/item.h"

namespace mivo {
namespace {

std::vector<std::string> namesOf(const PictureList& items) {
    std::vector<std::string> out;
    for (const Item& item : items) {
        out.push_back(item.name() + "@" + item.path);
    }
    return out;
}

TEST(PictureListTest, ItemsKeepListingOrderAndAreFoundByNameIgnoringCase) {
    PictureList items;
    for (const char* name : {"b.JPG", "a.jpg", "A.JPG", "c.mp4"}) {
        items.add(listedItem("/pics", name,
                             std::string(name) == "c.mp4" ? ItemKind::Video : ItemKind::Picture));
    }
    EXPECT_EQ(namesOf(items), (std::vector<std::string>{"b.JPG@/pics/b.JPG", "a.jpg@/pics/a.jpg",
                                                        "A.JPG@/pics/A.JPG", "c.mp4@/pics/c.mp4"}));
    ASSERT_NE(items.find("B.jpg"), nullptr);
    EXPECT_EQ(items.find("B.jpg")->name(), "b.JPG");
    // Of two names that differ only in case the look-up finds the first listed.
    EXPECT_EQ(items.find("a.JPG")->name(), "a.jpg");
    EXPECT_EQ(items.find("C.MP4")->kind, ItemKind::Video);
    EXPECT_EQ(items.find("d.jpg"), nullptr);
}

TEST(PictureListTest, ItemsTakenOutLeaveTheOthersWholeInTheirOrder) {
    PictureList items;
    for (const char* name : {"a.jpg", "b.png", "c.jpg", "d.mov", "e.jpg"}) {
        items.add(listedItem("/pics", name, ItemKind::Picture));
    }
    items.find("c.jpg")->file.strInfo = "caption";
    // Looked up once before, so the look-up has to follow the change.
    ASSERT_NE(items.find("e.jpg"), nullptr);

    // Nothing to take out: every item stays as it was.
    EXPECT_FALSE(items.removeIf([](const Item&) { return false; }));
    EXPECT_EQ(items.size(), 5U);
    EXPECT_EQ(items[2].path, "/pics/c.jpg");

    EXPECT_TRUE(items.removeIf(
        [](const Item& item) { return item.name() == "b.png" || item.name() == "d.mov"; }));
    EXPECT_EQ(namesOf(items), (std::vector<std::string>{"a.jpg@/pics/a.jpg", "c.jpg@/pics/c.jpg",
                                                        "e.jpg@/pics/e.jpg"}));
    EXPECT_EQ(items[1].file.strInfo, "caption");
    ASSERT_NE(items.find("E.JPG"), nullptr);
    EXPECT_EQ(items.find("E.JPG")->path, "/pics/e.jpg");
    EXPECT_EQ(items.find("b.png"), nullptr);
}

TEST(PictureListTest, MotionsStandAsItemsWhileUnfoldedAndGoBackToTheirStills) {
    PictureList items;
    for (const char* name : {"a.heic", "b.jpg", "c.jpg"}) {
        items.add(listedItem("/p", name, ItemKind::Picture));
    }
    items[0].motion = std::make_unique<Item>(listedItem("/p", "a.mov", ItemKind::Video));
    items[2].motion = std::make_unique<Item>(listedItem("/p", "c.mov", ItemKind::Video));
    items.unfoldMotions();
    EXPECT_EQ(namesOf(items),
              (std::vector<std::string>{"a.heic@/p/a.heic", "a.mov@/p/a.mov", "b.jpg@/p/b.jpg",
                                        "c.jpg@/p/c.jpg", "c.mov@/p/c.mov"}));
    EXPECT_EQ(items[1].motionOf, "a.heic");
    ASSERT_NE(items.find("C.MOV"), nullptr);

    // The still c.jpg left out: its motion is shown on its own rather than lost.
    items.removeIf([](const Item& item) { return item.name() == "c.jpg"; });
    items.foldMotions();
    EXPECT_EQ(namesOf(items),
              (std::vector<std::string>{"a.heic@/p/a.heic", "b.jpg@/p/b.jpg", "c.mov@/p/c.mov"}));
    ASSERT_TRUE(items[0].motion);
    EXPECT_EQ(items[0].motion->name(), "a.mov");
    EXPECT_TRUE(items[0].motion->motionOf.empty());
    EXPECT_TRUE(items[2].motionOf.empty());
    EXPECT_EQ(items.find("a.mov"), nullptr);
}

} // namespace
} // namespace mivo
