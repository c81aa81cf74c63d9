#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "generation/pages.h"
#include "support/page_fixture.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;

class PictPage : public test::PageContextFixture<> {
  protected:
    void SetUp() override {
        fs::create_directories(dir_ / "site" / "003");
        settings_.TextTitle = "T";
        settings_.TextTitleS = "S";
        settings_.TextBody = "<body>";
        settings_.TextSlideTime = "5";
        settings_.TextFilelistWidth = "2";
        settings_.TextFilelistHeight = "3";
        settings_.TextLinkName = {"n0", "x", "x"};
        settings_.TextLinkURL = {"http://h/?q#f", "x", "x"};
        settings_.CheckSlideShow = 1;
        state_.gstrFilelistHead = {"title,width,height"};
    }
    std::string make(const std::string& templateText, const std::string& flag, int index = 0,
                     const std::string& page = "") {
        const std::string pictPath = page.empty() ? (dir_ / "site" / "pict.html").string() : page;
        writeTemplate("pict.html", templateText);
        mainMakePictHtml(ctx_, index, pictPath, "./index.html", "n1", "../002/index.html", "n2",
                         "u2", flag);
        return readFile(pictPath);
    }
};

TEST_F(PictPage, FilelistValuesOnlyWhenFilelistIsUsed) {
    const std::string text = "[MV_FILELIST][MV_WIDTH_NO][mv_height_no]\r\n[mv_filelist]\r\n";
    EXPECT_EQ(make(text, "0"), "[][0][0]\r\n[mv_filelist]\r\n");
    EXPECT_EQ(make(text, "1"), "[title,width,height][2][3]\r\n[mv_filelist]\r\n");
}

TEST_F(PictPage, FilelistHeadingIsScriptDataThatCannotBecomeMarkup) {
    state_.gstrFilelistHead = {"</textarea><img src=x onerror=\"alert('1')\">&\\caf\xC3\xA9\r\n"};
    EXPECT_EQ(
        make("var h = \"MV_FILELIST\";\r\n", "1"),
        "var h = \"\\u003c/textarea\\u003e\\u003cimg src=x onerror=\\u0022alert(\\u00271\\u0027)"
        "\\u0022\\u003e\\u0026\\\\caf\\u00e9\\r\\n\";\r\n");
}

TEST_F(PictPage, CopiedLinesSubstituteInOrderAndSingleModeKeepsTypedLinks) {
    settings_.TextTitle = "MV_SUB_TITLE MV_LINK_URL2";
    EXPECT_EQ(make("MV_TITLE|MV_BODY|MV_INDEX_HTML|MV_LINK_NAME0|MV_LINK_NAME1|MV_LINK_NAME2|"
                   "MV_LINK_URL0|MV_LINK_URL1|MV_LINK_URL2|MV_TABLE_START|MV_START_NO\r\n",
                   "0"),
              "S u2|<body>|./index.html|n0|n1|n2|http://h/?q#f|../002/index.html|u2|"
              "MV_TABLE_START|MV_START_NO\r\n");
}

TEST_F(PictPage, MenuModeLinksBackToTheMenuAndKeepsTheSubTitleSetting) {
    settings_.OptionMenu = 0;
    settings_.gstrMenuPath = (dir_ / "site" / "index.html").string();
    state_.gstrFilelistHead = {"", "", "h3"};
    EXPECT_EQ(make("MV_LINK_URL0 MV_LINK_NAME1 MV_SUB_TITLE MV_FILELIST\r\n", "1", 2,
                   (dir_ / "site" / "003" / "pict.html").string()),
              "./../index.html n1 S h3\r\n");
}

TEST_F(PictPage, SlideLinesGetIndexLinkThenSlideTimeOnlyWhenTheShowIsOn) {
    settings_.TextSlideTime = "MV_INDEX_HTML"; // inserted after the index link: stays
    const std::string text = "MV_SLIDE_START\r\nMV_INDEX_HTML MV_SLIDE_TIME "
                             "MV_TITLE\r\nMV_SLIDE_END\r\nMV_INDEX_HTML\r\n";
    EXPECT_EQ(make(text, "0"), "./index.html MV_INDEX_HTML MV_TITLE\r\n./index.html\r\n");
    settings_.CheckSlideShow = 0;
    EXPECT_EQ(make(text, "0"), "./index.html\r\n");
}

TEST_F(PictPage, MissingTemplateLeavesTheOldPage) {
    writeFile(dir_ / "site" / "pict.html", "old");
    mainMakePictHtml(ctx_, 0, (dir_ / "site" / "pict.html").string(), "./index.html", "", "", "",
                     "", "0");
    EXPECT_EQ(readFile(dir_ / "site" / "pict.html"), "old");
}

} // namespace
} // namespace mivo
