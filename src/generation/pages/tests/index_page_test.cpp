#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "generation/pages/pages.h"
#include "generation/plan/page_text.h"
#include "support/page_fixture.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;

class IndexPage : public test::PageContextFixture {
  protected:
    void SetUp() override {
        fs::create_directories(dir_ / "site");
        settings_.TextTitle = "Title";
        settings_.TextSlideTime = "7";
        settings_.CheckSlideShow = true;
    }
    std::string indexPath() const { return (dir_ / "site" / "index.html").string(); }
    // The pages of a gallery whose index page is `indexPath`.
    static OutputPaths pathsOf(const std::string& indexPath) {
        OutputPaths out;
        out.strIndexPath = indexPath;
        out.strListLink = "./list.html";
        out.strPictLink = "./pict.html";
        return out;
    }
    // The index page from the template, with the table's entries and beside them quoted_
    // and exif_.
    std::string make(const std::string& templateText, const std::vector<std::string>& entries) {
        writeTemplate("index.html", templateText);
        Album album = plannedAlbum();
        album.job.name = "Sub";
        album.job.useFilelist = true;
        album.paths = pathsOf(indexPath());
        IndexPictures pictures;
        pictures.entries = entries;
        // The items the entries were made of, with their quoted filelist fields and shooting
        // data.
        PictureList& items = album.items;
        for (std::size_t k = 0; k < entries.size(); ++k) {
            Item item;
            if (k < quoted_.size()) {
                item.file.infoFields = quoted_[k];
                item.file.infoQuoted = !quoted_[k].empty();
            }
            if (k < exif_.size()) {
                item.shooting = std::make_unique<ExifInfo>(exif_[k]);
            }
            items.add(std::move(item));
        }
        AlbumResult result;
        mainMakeIndexHtml(run_, plannedPages(), album, pictures, result);
        return readFile(indexPath());
    }

    std::vector<std::vector<std::string>> quoted_;
    std::vector<ExifInfo> exif_;
};

TEST_F(IndexPage, ArrayLineGivesWayToOneScriptLinePerPictureThenAnEmptyLine) {
    EXPECT_EQ(make("<script>\r\nvar x; MV_LIST_ARRAY\r\n</script>\r\n",
                   {"./photos/a.jpg,640,480,a", "./b.gif,1,1,b", "./c.bmp,2,2,c"}),
              "<script>\r\n"
              "aryPicList[0] = \"./photos/a.jpg,640,480,a\";\r\n"
              "aryPicList[1] = \"./b.gif,1,1,b\";\r\n"
              "aryPicList[2] = \"./c.bmp,2,2,c\";\r\n"
              "\r\n"
              "</script>\r\n");
    EXPECT_EQ(make("MV_LIST_ARRAY\r\nend\r\n", {}), "\r\nend\r\n");
}

TEST_F(IndexPage, CopiedLinesSubstituteInOrderAndLowerCaseArrayNameIsNotDetected) {
    settings_.TextTitle = "T mv_sub_title MV_BODY";
    settings_.OptionStart = 0;
    EXPECT_EQ(make("MV_TITLE|mv_list_html|MV_PICT_HTML|MV_START_TYPE|MV_LINK_NAME1\r\n"
                   "mv_list_array MV_TITLE\r\n"
                   "MV_SLIDE_START\r\nMV_SLIDE_TIME MV_TITLE MV_INDEX_HTML\r\nMV_SLIDE_END\r\n",
                   {"x"}),
              "T Sub MV_BODY|./list.html|./pict.html|0|MV_LINK_NAME1\r\n"
              "mv_list_array T Sub MV_BODY\r\n"
              "7 MV_TITLE MV_INDEX_HTML\r\n");
    settings_.OptionStart = 1;
    settings_.CheckSlideShow = false;
    EXPECT_EQ(make("MV_START_TYPE\r\nMV_SLIDE_START\r\nMV_SLIDE_TIME\r\nMV_SLIDE_END\r\n", {}),
              "1\r\n");
}

TEST_F(IndexPage, QuotedFilelistFieldsFollowTheArrayWholeOnlyWhenThereAreAny) {
    quoted_ = {{}, {"Kyoto, dawn", "say \"hi\"\nnext</script>"}};
    EXPECT_EQ(make("MV_LIST_ARRAY\r\n", {"./a.jpg,1,1,a", "./b.jpg,0,0,b,x"}),
              "aryPicList[0] = \"./a.jpg,1,1,a\";\r\n"
              "aryPicList[1] = \"./b.jpg,0,0,b,x\";\r\n"
              "var aryPicInfo = new Array();\r\n"
              "aryPicInfo[1] = [\"Kyoto, dawn\", \"say "
              "\\u0022hi\\u0022\\nnext\\u003c/script\\u003e\"];\r\n"
              "\r\n");
    quoted_ = {{}, {}};
    EXPECT_EQ(make("MV_LIST_ARRAY\r\n", {"./a.jpg,1,1,a", "./b.jpg,0,0,b,x"}),
              "aryPicList[0] = \"./a.jpg,1,1,a\";\r\n"
              "aryPicList[1] = \"./b.jpg,0,0,b,x\";\r\n"
              "\r\n");
}

TEST_F(IndexPage, ShootingDataFollowsTheArrayForPicturesThatHaveItUnlessSwitchedOff) {
    ExifInfo exif;
    exif.dateTaken = "2025-04-05 06:07:08";
    exif.model = "Cam \"X\"";
    exif.iso = "ISO 400";
    exif_ = {ExifInfo(), exif};
    settings_.CheckExif = true;
    EXPECT_EQ(make("MV_LIST_ARRAY\r\n", {"./a.jpg,1,1,a", "./b.jpg,2,2,b"}),
              "aryPicList[0] = \"./a.jpg,1,1,a\";\r\n"
              "aryPicList[1] = \"./b.jpg,2,2,b\";\r\n"
              "var aryPicExif = new Array();\r\n"
              "aryPicExif[1] = [\"2025-04-05 06:07:08\", \"Cam \\u0022X\\u0022\", \"\", \"\", "
              "\"\", \"ISO 400\", \"\"];\r\n"
              "\r\n");
    settings_.CheckExif = false;
    EXPECT_EQ(make("MV_LIST_ARRAY\r\n", {"./a.jpg,1,1,a", "./b.jpg,2,2,b"}),
              "aryPicList[0] = \"./a.jpg,1,1,a\";\r\n"
              "aryPicList[1] = \"./b.jpg,2,2,b\";\r\n"
              "\r\n");
}

TEST_F(IndexPage, CleaningRemovesFilelistQuotingAndEscapesWhatIsLeft) {
    // A quoted field is split at its comma; a doubled quote inside it stays as \".
    EXPECT_EQ(cleanPicListElement("./a.jpg,0,0,a,\"Beach, sunset\""),
              "./a.jpg,0,0,a,Beach, sunset");
    EXPECT_EQ(cleanPicListElement("./a.jpg,0,0,a,\"say \"\"hi\"\"\""),
              "./a.jpg,0,0,a,say \\\"\\\"hi\\\"\\\"");
    EXPECT_EQ(cleanPicListElement("\"x\",\"y\""), "x,y");
    EXPECT_EQ(cleanPicListElement(""), "");
    // Backslashes are doubled before quotes are escaped, so neither breaks the string.
    EXPECT_EQ(cleanPicListElement("./a.jpg,1,1,a,C:\\dir\\\"x"),
              "./a.jpg,1,1,a,C:\\\\dir\\\\\\\"x");
    EXPECT_EQ(cleanPicListElement("a</script><b>\r\nc\xE2\x80\xA8"
                                  "d\xE2\x80\xA9"),
              "a\\u003c/script>\\u003cb>\\r\\nc\\u2028d\\u2029");
}

TEST_F(IndexPage, QuotesOfAFileNameSurviveTheFilelistCleaning) {
    // Only the filelist part loses its quoting; the name is the file's own.
    EXPECT_EQ(cleanPicListElement("./p/it's %22q%22.jpg,1,1,it's \"q\",\"cap, x\""),
              "./p/it's %22q%22.jpg,1,1,it's \\\"q\\\",cap, x");
    EXPECT_EQ(cleanPicListElement("./p/%22a,%22.gif,0,0,\"a,\""),
              "./p/%22a,%22.gif,0,0,\\\"a,\\\"");
}

TEST_F(IndexPage, NamesOutsideCp932AreScriptEscapesInTheArrayAndReferencesElsewhere) {
    settings_.TextTitle = "caf\xC3\xA9";
    EXPECT_EQ(
        make("<h1>MV_TITLE</h1>\r\nMV_LIST_ARRAY\r\n",
             {"./caf\xC3\xA9.jpg,1,1,caf\xC3\xA9 \xF0\x9F\x98\x80</script>"}),
        "<h1>caf&#233;</h1>\r\n"
        "aryPicList[0] = \"./caf\\u00e9.jpg,1,1,caf\\u00e9 \\ud83d\\ude00\\u003c/script>\";\r\n"
        "\r\n");
}

TEST_F(IndexPage, Utf8TemplateGivesUtf8ArrayLines) {
    EXPECT_EQ(make("\xEF\xBB\xBFMV_LIST_ARRAY\r\n", {"./caf\xC3\xA9.jpg,1,1,caf\xC3\xA9"}),
              "\xEF\xBB\xBF"
              "aryPicList[0] = \"./caf\xC3\xA9.jpg,1,1,caf\xC3\xA9\";\r\n\r\n");
}

TEST_F(IndexPage, SecondGalleryShowsOnlyItsOwnPicturesFromTheSharedArray) {
    writeFile(dir_ / "prog" / "html" / "list.html", "MV_TABLE_START\r\nMV_TABLE_END\r\n");
    writeFile(dir_ / "prog" / "html" / "index.html", "MV_LIST_ARRAY\r\n");
    settings_.OptionMenu = 0;
    settings_.gstrMenuPath = (dir_ / "site" / "index.html").string();
    rows_ = {{"one", (dir_ / "p1").string(), ""}, {"two", (dir_ / "p2").string(), ""}};
    for (int no = 1; no <= 2; ++no) {
        const fs::path folder = dir_ / "site" / ("00" + std::to_string(no));
        fs::create_directories(folder);
        Album album = plannedAlbum(no);
        const std::string picFolder = rows_[static_cast<std::size_t>(no - 1)].strPicPath;
        for (const char* name : no == 1 ? std::vector<const char*>{"a.jpg", "b.jpg", "c.jpg"}
                                        : std::vector<const char*>{"z.jpg"}) {
            album.items.add(listedItem(picFolder, name, ItemKind::Picture));
        }
        bool ok = false;
        album.paths = pathsOf((folder / "index.html").string());
        album.paths.strListPath = (folder / "list.html").string();
        album.paths.strIndexLink = "./index.html";
        ListTableResult table;
        AlbumResult result;
        mainMakeListHtml(run_, plannedPages(), album, nullptr, table, ok, result);
        ASSERT_TRUE(ok);
        mainMakeIndexHtml(run_, plannedPages(), album, table.pictures, result);
    }
    EXPECT_EQ(readFile(dir_ / "site" / "002" / "index.html"),
              "aryPicList[0] = \"./../../p2/z.jpg,0,0,z\";\r\n\r\n");
    EXPECT_EQ(readFile(dir_ / "site" / "001" / "index.html").substr(0, 18), "aryPicList[0] = \".");
}

TEST_F(IndexPage, MissingTemplateLeavesTheOldPage) {
    writeFile(indexPath(), "old");
    Album album = plannedAlbum();
    album.paths = pathsOf(indexPath());
    AlbumResult result;
    EXPECT_FALSE(mainMakeIndexHtml(run_, plannedPages(), album, IndexPictures(), result));
    EXPECT_NE(result.failure.find("index.html"), std::string::npos);
    EXPECT_TRUE(result.files.replaced.empty());
    EXPECT_EQ(readFile(indexPath()), "old");
}

} // namespace
} // namespace mivo
