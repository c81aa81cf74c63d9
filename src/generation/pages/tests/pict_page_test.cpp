#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "generation/pages/pages.h"
#include "support/page_fixture.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;

class PictPage : public test::PageContextFixture {
  protected:
    void SetUp() override {
        fs::create_directories(dir_ / "site" / "003");
        settings_.TextTitle = "T";
        settings_.TextTitleS = "S";
        settings_.TextBody = "<body>";
        settings_.TextSlideTime = "5";
        settings_.TextFilelistWidth = 2;
        settings_.TextFilelistHeight = 3;
        settings_.TextLinkName = {"n0", "x", "x"};
        settings_.TextLinkURL = {"http://h/?q#f", "x", "x"};
        settings_.CheckSlideShow = true;
        filelistHead_ = "title,width,height";
    }
    // The picture page of the gallery at zero-based `index` (menu mode) or of the single
    // gallery, with links n1/../002/index.html and n2/u2.
    std::string make(const std::string& templateText, bool filelist, int index = 0,
                     const std::string& page = "") {
        const std::string pictPath = page.empty() ? (dir_ / "site" / "pict.html").string() : page;
        writeTemplate("pict.html", templateText);
        Album album;
        AlbumJob& job = album.job;
        if (settings_.menuMode()) {
            // A row of the gallery list, listed on the menu page.
            job.number = index + 1;
            job.namesAreText = true;
            job.upPage = settings_.gstrMenuPath;
        }
        job.link1Name = "n1";
        job.link1Url = "../002/index.html";
        job.link2Name = "n2";
        job.link2Url = "u2";
        job.useFilelist = filelist;
        album.paths = pathsOf(pictPath);
        album.filelistHead = filelistHead_;
        AlbumResult result;
        mainMakePictHtml(run_, plannedPages(), album, result);
        return readFile(pictPath);
    }
    static OutputPaths pathsOf(const std::string& pictPath) {
        OutputPaths out;
        out.strPictPath = pictPath;
        out.strIndexLink = "./index.html";
        return out;
    }

    std::string filelistHead_; // the gallery's filelist.csv heading
};

TEST_F(PictPage, FilelistValuesOnlyWhenFilelistIsUsed) {
    const std::string text = "[MV_FILELIST][MV_WIDTH_NO][mv_height_no]\r\n[mv_filelist]\r\n";
    EXPECT_EQ(make(text, false), "[][0][0]\r\n[mv_filelist]\r\n");
    EXPECT_EQ(make(text, true), "[title,width,height][2][3]\r\n[mv_filelist]\r\n");
}

TEST_F(PictPage, FilelistHeadingIsScriptDataThatCannotBecomeMarkup) {
    filelistHead_ = "</textarea><img src=x onerror=\"alert('1')\">&\\caf\xC3\xA9\r\n";
    EXPECT_EQ(
        make("var h = \"MV_FILELIST\";\r\n", "1"),
        "var h = \"\\u003c/textarea\\u003e\\u003cimg src=x onerror=\\u0022alert(\\u00271\\u0027)"
        "\\u0022\\u003e\\u0026\\\\caf\\u00e9\\r\\n\";\r\n");
}

TEST_F(PictPage, CopiedLinesSubstituteInOrderAndSingleModeKeepsTypedLinks) {
    settings_.TextTitle = "MV_SUB_TITLE MV_LINK_URL2";
    EXPECT_EQ(make("MV_TITLE|MV_BODY|MV_INDEX_HTML|MV_LINK_NAME0|MV_LINK_NAME1|MV_LINK_NAME2|"
                   "MV_LINK_URL0|MV_LINK_URL1|MV_LINK_URL2|MV_TABLE_START|MV_START_NO\r\n",
                   false),
              "S u2|<body>|./index.html|n0|n1|n2|http://h/?q#f|../002/index.html|u2|"
              "MV_TABLE_START|MV_START_NO\r\n");
}

TEST_F(PictPage, MenuModeLinksBackToTheMenuAndKeepsTheSubTitleSetting) {
    settings_.OptionMenu = 0;
    settings_.gstrMenuPath = (dir_ / "site" / "index.html").string();
    filelistHead_ = "h3";
    EXPECT_EQ(make("MV_LINK_URL0 MV_LINK_NAME1 MV_SUB_TITLE MV_FILELIST\r\n", true, 2,
                   (dir_ / "site" / "003" / "pict.html").string()),
              "./../index.html n1 S h3\r\n");
}

TEST_F(PictPage, SlideLinesGetIndexLinkThenSlideTimeOnlyWhenTheShowIsOn) {
    settings_.TextSlideTime = "1.5";
    const std::string text = "MV_SLIDE_START\r\nMV_INDEX_HTML MV_SLIDE_TIME "
                             "MV_TITLE\r\nMV_SLIDE_END\r\nMV_INDEX_HTML\r\n";
    EXPECT_EQ(make(text, false), "./index.html 1.5 MV_TITLE\r\n./index.html\r\n");
    settings_.CheckSlideShow = false;
    EXPECT_EQ(make(text, false), "./index.html\r\n");
}

TEST_F(PictPage, MissingTemplateLeavesTheOldPage) {
    writeFile(dir_ / "site" / "pict.html", "old");
    Album album = plannedAlbum();
    album.paths = pathsOf((dir_ / "site" / "pict.html").string());
    AlbumResult result;
    EXPECT_FALSE(mainMakePictHtml(run_, plannedPages(), album, result));
    EXPECT_EQ(readFile(dir_ / "site" / "pict.html"), "old");
}

} // namespace
} // namespace mivo
