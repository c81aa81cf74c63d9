#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "generation/run/make_run.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"
#include "support/gif_bytes.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::readBytes;
using test::TempDir;

// Every placeholder a line can hold (the arrays and the table's row placeholders aside).
const std::vector<std::string> kNames = {
    "MV_TITLE",      "MV_SUB_TITLE",  "MV_BODY",       "MV_INDEX_HTML", "MV_LIST_HTML",
    "MV_PICT_HTML",  "MV_START_NO",   "MV_START_TYPE", "MV_ALL_LIST",   "MV_ALL_WIDTH",
    "MV_LINK_NAME0", "MV_LINK_NAME1", "MV_LINK_NAME2", "MV_LINK_URL0",  "MV_LINK_URL1",
    "MV_LINK_URL2",  "MV_SLIDE_TIME", "MV_FILELIST",   "MV_WIDTH_NO",   "MV_HEIGHT_NO"};

// One line "c<k>[name]" per placeholder, then the same in the slide block as "s<k>[name]".
std::string everyPlaceholder(bool slideBlock) {
    std::string text;
    for (std::size_t k = 0; k < kNames.size(); ++k) {
        text += "c" + std::to_string(k) + "[" + kNames[k] + "]\r\n";
    }
    if (slideBlock) {
        text += "MV_SLIDE_START\r\n";
        for (std::size_t k = 0; k < kNames.size(); ++k) {
            text += "s" + std::to_string(k) + "[" + kNames[k] + "]\r\n";
        }
        text += "MV_SLIDE_END\r\n";
    }
    return text;
}

using Values = std::map<std::string, std::string>; // placeholder -> what the page shows

// What the page made of everyPlaceholder(): a placeholder the page does not know stays as it is.
std::string expectedPage(const Values& copied, const Values& slide, bool slideBlock) {
    std::string text;
    const auto add = [&text](char kind, const Values& values) {
        for (std::size_t k = 0; k < kNames.size(); ++k) {
            const auto found = values.find(kNames[k]);
            text += kind + std::to_string(k) + "[" +
                    (found == values.end() ? kNames[k] : found->second) + "]\r\n";
        }
    };
    add('c', copied);
    if (slideBlock) {
        add('s', slide);
    }
    return text;
}

// The list page's values: the links, the sub-title shown and the start picture's number.
Values listValues(Values values, const std::string& subTitle, const std::string& startNo) {
    values.insert({{"MV_TITLE", "T"},
                   {"MV_SUB_TITLE", subTitle},
                   {"MV_BODY", "<body>"},
                   {"MV_INDEX_HTML", "./index.html"},
                   {"MV_START_NO", startNo},
                   {"MV_ALL_LIST", "4"}});
    return values;
}

// The picture page's values beside the links, without filelist.csv.
Values pictValues(Values values) {
    values.insert({{"MV_TITLE", "T"},
                   {"MV_SUB_TITLE", "S&"},
                   {"MV_BODY", "<body>"},
                   {"MV_INDEX_HTML", "./index.html"},
                   {"MV_FILELIST", ""},
                   {"MV_WIDTH_NO", "0"},
                   {"MV_HEIGHT_NO", "0"}});
    return values;
}

class PlaceholderPages : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.write("prog/html/list.html",
                  "MV_TABLE_START\r\nMV_TABLE_END\r\n" + everyPlaceholder(true));
        dir.write("prog/html/pict.html", everyPlaceholder(true));
        dir.write("prog/html/index.html", everyPlaceholder(true));
        dir.write("prog/html/menu.html", everyPlaceholder(false));
        for (const char* name : {"a.gif", "b.gif", "c.gif"}) {
            dir.write(std::string("pics/") + name, test::gifBytes(40, 30));
        }
        settings = defaultSettings(dir / "prog");
        settings.TextTitle = "T";
        settings.TextTitleS = "S&";
        settings.TextBody = "<body>";
        settings.TextLinkName = {"n0", "n1", "n2"};
        settings.TextLinkURL = {"u0", "u1", "u2"};
        settings.TextSlideTime = "1.5"; // seconds, as the user wrote them
        settings.CheckSlideShow = true;
        settings.TextAllListWidth = "4";
        settings.OptionStart = 0;
        settings.OptionSamD = 0;
        settings.gstrStartName = "B.GIF";
        settings.gstrPicPath = dir / "pics";
        settings.gstrIndexPath = dir / "out/index.html";
        settings.gstrMenuPath = dir / "out/menu.html";
    }

    bool run() { return runMake(settings, rows, portableProgramFiles(dir / "prog"), sink).done; }

    class QuietSink : public StatusSink {
        void message(const std::string&) override {}
        void progress(double, double) override {}
        void step() override {}
    };

    TempDir dir;
    Settings settings{};
    std::vector<GalleryEntry> rows;
    QuietSink sink;
};

TEST_F(PlaceholderPages, EachPageReplacesItsOwnPlaceholdersWithTheSettingsItShows) {
    settings.OptionMenu = 1;
    ASSERT_TRUE(run());
    const Values links = {{"MV_LINK_NAME0", "n0"}, {"MV_LINK_NAME1", "n1"}, {"MV_LINK_NAME2", "n2"},
                          {"MV_LINK_URL0", "u0"},  {"MV_LINK_URL1", "u1"},  {"MV_LINK_URL2", "u2"}};
    // b.gif, found by the table above.
    const Values list = listValues(links, "S&", "1");
    const Values pict = pictValues(links);
    const Values index = {{"MV_TITLE", "T"},
                          {"MV_SUB_TITLE", "S&"},
                          {"MV_LIST_HTML", "./list.html"},
                          {"MV_PICT_HTML", "./pict.html"},
                          {"MV_START_TYPE", "0"}};
    const Values slideWithLink = {{"MV_SLIDE_TIME", "1.5"}, {"MV_INDEX_HTML", "./index.html"}};
    EXPECT_EQ(readBytes(dir / "out/list.html"),
              "\r\n\r\n\r\n" + expectedPage(list, slideWithLink, true));
    EXPECT_EQ(readBytes(dir / "out/pict.html"), expectedPage(pict, slideWithLink, true));
    EXPECT_EQ(readBytes(dir / "out/index.html"),
              expectedPage(index, {{"MV_SLIDE_TIME", "1.5"}}, true));

    // The index page opens the picture view; without the slide show its block is left out.
    settings.OptionStart = 1;
    settings.CheckSlideShow = false;
    ASSERT_TRUE(run());
    Values startsWithPicture = index;
    startsWithPicture["MV_START_TYPE"] = "1";
    EXPECT_EQ(readBytes(dir / "out/index.html"), expectedPage(startsWithPicture, {}, false));
}

TEST_F(PlaceholderPages, MenuModeShowsGalleryNamesAsTextAndLinksBackToTheMenu) {
    settings.OptionMenu = 0;
    rows = {{"<one>", dir / "pics", ""}, {"two&", dir / "pics", ""}};
    ASSERT_TRUE(run());
    EXPECT_EQ(
        readBytes(dir / "out/menu.html"),
        expectedPage({{"MV_TITLE", "T"}, {"MV_BODY", "<body>"}, {"MV_ALL_WIDTH", "4"}}, {}, false));
    const Values links = {{"MV_LINK_NAME0", "n0"},       {"MV_LINK_NAME1", ""},
                          {"MV_LINK_NAME2", "two&amp;"}, {"MV_LINK_URL0", "./../menu.html"},
                          {"MV_LINK_URL1", ""},          {"MV_LINK_URL2", "../002/index.html"}};
    // The start picture is the single gallery's: no menu gallery has one.
    const Values list = listValues(links, "&lt;one&gt;", "-1");
    // The picture page keeps the sub-title setting in both modes.
    const Values pict = pictValues(links);
    const Values slide = {{"MV_SLIDE_TIME", "1.5"}, {"MV_INDEX_HTML", "./index.html"}};
    EXPECT_EQ(readBytes(dir / "out/001/list.html"),
              "\r\n\r\n\r\n" + expectedPage(list, slide, true));
    EXPECT_EQ(readBytes(dir / "out/001/pict.html"), expectedPage(pict, slide, true));
}

} // namespace
} // namespace mivo
