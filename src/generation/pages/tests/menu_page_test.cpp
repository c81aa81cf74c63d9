#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "generation/pages/pages.h"
#include "generation/plan/page_text.h"
#include "support/page_fixture.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;

class MenuPage : public test::PageContextFixture {
  protected:
    void SetUp() override {
        fs::create_directories(dir_ / "web");
        settings_.OptionMenu = 0;
        settings_.gstrMenuPath = (dir_ / "web" / "index.html").string();
        settings_.gstrMenuHtmlPath = "html";
        settings_.TextTitle = "T";
        settings_.TextBody = "<body>";
        settings_.TextAllListWidth = "3";
        rows_ = {{"Trip", "", ""}, {"Sea", "", ""}, {"Hill", "", ""}};
        results_.resize(3);
        results_[0].menuItem = "./thumbs/trip/a.jpg,";
        results_[1].menuItem = "./p/b.jpg,width=160 height=120";
    }
    std::string make(const std::string& templateText) {
        writeTemplate("menu.html", templateText);
        write();
        return readFile(settings_.gstrMenuPath);
    }
    void write() {
        const RunPlan plan = planRun(settings_, rows_);
        AlbumResult result;
        mainMakeMenuHtml(run_, plan.pages, *plan.root, results_, result);
    }

    std::vector<AlbumResult> results_;
};

TEST_F(MenuPage, ArrayLineBecomesOneLinePerGalleryWithoutAnEmptyLine) {
    EXPECT_EQ(make("<script>\r\n  MV_MENU_ARRAY x\r\n</script>\r\n"),
              "<script>\r\n"
              "aryMenuList[0] = \"Trip,./html/001/index.html,./thumbs/trip/a.jpg,\";\r\n"
              "aryMenuList[1] = \"Sea,./html/002/index.html,./p/b.jpg,width=160 height=120\";\r\n"
              "aryMenuList[2] = \"Hill,./html/003/index.html,\";\r\n"
              "</script>\r\n");
}

TEST_F(MenuPage, RootLinkStaysInsideTheMenuFolderAndIsPercentEncoded) {
    // Without a sub-folder the galleries lie in the menu page's own folder: the link must not
    // climb out and back in by that folder's name, which changes when the site is uploaded.
    fs::create_directories(dir_ / "w#b");
    settings_.gstrMenuPath = (dir_ / "w#b" / "index.html").string();
    settings_.gstrMenuHtmlPath = "";
    rows_.resize(1);
    EXPECT_EQ(make("MV_MENU_ARRAY\r\n"),
              "aryMenuList[0] = \"Trip,./001/index.html,./thumbs/trip/a.jpg,\";\r\n");
    settings_.gstrMenuHtmlPath = "g#1/./x/..";
    EXPECT_EQ(make("MV_MENU_ARRAY\r\n"),
              "aryMenuList[0] = \"Trip,./g%231/001/index.html,./thumbs/trip/a.jpg,\";\r\n");
}

TEST_F(MenuPage, CopiedLinesSubstituteTitleBodyWidthAndLeaveOtherNames) {
    EXPECT_EQ(make("// comment MV_MENU_ARRAY\r\nMV_TITLE mv_title|MV_BODY|MV_ALL_WIDTH|"
                   "MV_SUB_TITLE|MV_LINK_URL0|mv_menu_array\r\nMV_SLIDE_START\r\n"),
              "T T|<body>|3|MV_SUB_TITLE|MV_LINK_URL0|mv_menu_array\r\nMV_SLIDE_START\r\n");
}

TEST_F(MenuPage, GalleryNamesCannotBreakTheScriptNorMoveTheLink) {
    rows_ = {{"a\"b\\c</script>\r\n\xE2\x80\xA8", "", ""}};
    EXPECT_EQ(escapeMenuListElement("a\"b\\c</script>\r\n\xE2\x80\xA8"),
              "a\\\"b\\\\c\\u003c/script>\\r\\n\\u2028");
    EXPECT_EQ(make("MV_MENU_ARRAY\r\n"),
              "aryMenuList[0] = \"a\\\"b\\\\c\\u003c/script>\\r\\n\\u2028,"
              "./html/001/index.html,./thumbs/trip/a.jpg,\";\r\n");
    // "<!--<script>" would hide the end of the script element and empty the whole menu.
    rows_ = {{"<!--<script>", "", ""}};
    EXPECT_EQ(make("MV_MENU_ARRAY\r\n"), "aryMenuList[0] = \"\\u003c!--\\u003cscript>,"
                                         "./html/001/index.html,./thumbs/trip/a.jpg,\";\r\n");
    // A comma in the name would let the name pose as the card's link: it becomes a full-width
    // comma (cp932 0x81 0x43), so the link always starts after the first comma.
    rows_ = {{"x,javascript:alert(1)//001/index.html,", "", ""}};
    EXPECT_EQ(make("MV_MENU_ARRAY\r\n"),
              "aryMenuList[0] = \"x\x81\x43javascript:alert(1)//001/index.html\x81\x43,"
              "./html/001/index.html,./thumbs/trip/a.jpg,\";\r\n");
}

TEST_F(MenuPage, Cp932PageEscapesUnheldCharactersInTheArray) {
    rows_ = {{"caf\xC3\xA9", "", ""}};
    settings_.TextTitle = "caf\xC3\xA9";
    EXPECT_EQ(make("MV_TITLE\r\nMV_MENU_ARRAY\r\n"),
              "caf&#233;\r\naryMenuList[0] = \"caf\\u00e9,./html/001/index.html,"
              "./thumbs/trip/a.jpg,\";\r\n");
}

TEST_F(MenuPage, MissingTemplateLeavesTheOldMenuPage) {
    writeFile(settings_.gstrMenuPath, "old");
    write();
    EXPECT_EQ(readFile(settings_.gstrMenuPath), "old");
}

} // namespace
} // namespace mivo
