// The names of a folder tree's album folders and the order its albums and items come in.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "generation/plan/folder_names.h"

namespace mivo {
namespace {

TEST(FolderNames, NaturalOrderCountsNumbersByValueAndIgnoresCase) {
    std::vector<std::string> names = {"IMG_10.jpg", "img_2.jpg", "IMG_2.jpg", "IMG_002.jpg",
                                      "b",          "A",         "a10b2",     "a10b10",
                                      "a9",         "",          "IMG_1.jpg"};
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return naturalLess(a, b); });
    EXPECT_EQ(names,
              (std::vector<std::string>{"", "A", "a9", "a10b2", "a10b10", "b", "IMG_1.jpg",
                                        "IMG_002.jpg", "IMG_2.jpg", "img_2.jpg", "IMG_10.jpg"}));
    // A strict order: never both ways.
    for (const std::string& a : names) {
        for (const std::string& b : names) {
            EXPECT_FALSE(naturalLess(a, b) && naturalLess(b, a)) << a << " " << b;
        }
    }
}

TEST(FolderNames, HostileNamesBecomeSafeAndNamesThatWouldMeetAreKeptApart) {
    EXPECT_EQ(safeFolderName("a<b>\"c#d%e?f"), "a_b__c_d_e_f");
    EXPECT_EQ(safeFolderName("new\nline\t"), "new_line_");
    EXPECT_EQ(safeFolderName("bad\xff\xfe名"), "bad__名");
    EXPECT_EQ(safeFolderName("trailing. "), "trailing._");
    EXPECT_EQ(safeFolderName(""), "_");
    // Long names are cut at a character, leaving room for "~N".
    const std::string longName = std::string(199, 'x') + "名前";
    const std::string cut = safeFolderName(longName);
    EXPECT_LE(cut.size(), 200u);
    EXPECT_EQ(cut, std::string(199, 'x'));

    FolderNames names;
    EXPECT_EQ(names.take("Photos"), "Photos");
    EXPECT_EQ(names.take("photos"), "photos~2");
    EXPECT_EQ(names.take("PHOTOS"), "PHOTOS~3");
    EXPECT_EQ(names.take("a?"), "a_");
    EXPECT_EQ(names.take("a#"), "a_~2");
    // The album's own files and copy folders are never a sub-album's folder.
    EXPECT_EQ(names.take("thumbs"), "thumbs~2");
    EXPECT_EQ(names.take("List.html"), "List.html~2");
    EXPECT_EQ(names.take("view"), "view~2");
}

} // namespace
} // namespace mivo
