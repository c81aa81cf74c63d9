#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/text.h"
#include "generation/plan/status.h"
#include "generation/run/output_paths.h"
#include "settings/settings.h"
#include "support/page_fixture.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::TempDir;

/// Settings with no index or menu page yet: the test fills in the pages it needs.
Settings withoutPages() {
    Settings settings = defaultSettings("");
    settings.gstrIndexPath.clear();
    settings.gstrMenuPath.clear();
    return settings;
}

/// A run's context around settings the test fills in.
struct PathsFixture {
    std::string programFolder;
    Settings settings = withoutPages();
    test::RecordingSink sink;
    RunStatus status{&sink};

    /// The single gallery (number 0), or gallery `number` of menu mode, placed as the
    /// planners place them.
    Album album(int number) const {
        Album out;
        out.job.number = number;
        if (settings.menuMode()) {
            out.place.ownFolder = true;
            out.place.page = settings.gstrMenuPath;
            out.place.subFolder = settings.gstrMenuHtmlPath;
            out.place.folderName = formatThreeDigits(number);
        } else {
            out.place.page = settings.gstrIndexPath;
            out.place.subFolder = settings.gstrHtmlPath;
        }
        return out;
    }

    /// mainGetMakePath for album(number), its paths in `paths`.
    bool make(int number, OutputPaths& paths) {
        Album made = album(number);
        const bool ok = mainGetMakePath(status, made);
        paths = made.paths;
        return ok;
    }
};

TEST(OutputPaths, SingleModePagesAndLinksFollowTheIndexPageAndThePageFolder) {
    // The index page and page folder settings; the three pages (below the temporary folder)
    // and the links between them.
    struct Row {
        const char* index;
        const char* htmlPath;
        const char* indexPath;
        const char* listPath;
        const char* pictPath;
        const char* indexLink; // from the picture page
        const char* listLink;  // from the index page
        const char* pictLink;
    };
    const Row rows[] = {
        // Pages beside the index page.
        {"top.html", "", "top.html", "list.html", "pict.html", "./top.html", "./list.html",
         "./pict.html"},
        {"index.html", "pages", "index.html", "pages/list.html", "pages/pict.html",
         "./../index.html", "./pages/list.html", "./pages/pict.html"},
        // What would break a link is encoded.
        {"index.html", "a#1?b%", "index.html", "a#1?b%/list.html", "a#1?b%/pict.html",
         "./../index.html", "./a%231%3Fb%25/list.html", "./a%231%3Fb%25/pict.html"},
        // Dot steps are resolved before links are made.
        {"top/./index.html", "../pages/./x/..", "top/index.html", "pages/list.html",
         "pages/pict.html", "./../top/index.html", "./../pages/list.html", "./../pages/pict.html"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.index) + " " + row.htmlPath);
        TempDir dir;
        PathsFixture f;
        f.settings.gstrIndexPath = dir / row.index;
        f.settings.gstrHtmlPath = row.htmlPath;
        OutputPaths paths;
        ASSERT_TRUE(f.make(0, paths));
        EXPECT_EQ(paths.strIndexPath, dir / row.indexPath);
        EXPECT_EQ(paths.strListPath, dir / row.listPath);
        EXPECT_EQ(paths.strPictPath, dir / row.pictPath);
        EXPECT_EQ(paths.strIndexLink, row.indexLink);
        EXPECT_EQ(paths.strListLink, row.listLink);
        EXPECT_EQ(paths.strPictLink, row.pictLink);
        EXPECT_TRUE(f.sink.messages.empty());
        // Single mode makes no folder here: the check made the page folder.
        EXPECT_FALSE(std::filesystem::exists(dir / "pages"));
    }
}

TEST(OutputPaths, GalleryNumbersBeyondSixteenBitsKeepTheirOwnFolders) {
    TempDir dir;
    PathsFixture f;
    f.settings.OptionMenu = 0;
    f.settings.gstrMenuPath = dir / "menu.html";
    OutputPaths paths;
    // 32,768 once wrapped to a negative folder name and 65,536 to the single-mode pages.
    ASSERT_TRUE(f.make(32768, paths));
    EXPECT_EQ(paths.strIndexPath, dir / "32768/index.html");
    ASSERT_TRUE(f.make(65536, paths));
    EXPECT_EQ(paths.strIndexPath, dir / "65536/index.html");
    EXPECT_EQ(paths.strIndexLink, "./index.html");
}

TEST(OutputPaths, MenuModeMakesTheNumberedGalleryFolder) {
    TempDir dir;
    PathsFixture f;
    f.settings.OptionMenu = 0;
    f.settings.gstrMenuPath = dir / "menu.html";
    OutputPaths paths;
    ASSERT_TRUE(f.make(1, paths));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "001"));
    EXPECT_EQ(paths.strIndexPath, dir / "001/index.html");
    EXPECT_EQ(paths.strListPath, dir / "001/list.html");
    EXPECT_EQ(paths.strPictPath, dir / "001/pict.html");
    EXPECT_EQ(paths.strIndexLink, "./index.html");
    EXPECT_EQ(paths.strListLink, "./list.html");
    EXPECT_EQ(paths.strPictLink, "./pict.html");

    // The galleries' sub-folder (made by the check) holds the numbered folders; past 999 the
    // number simply grows.
    f.settings.gstrMenuHtmlPath = "g";
    dir.mkdir("g");
    ASSERT_TRUE(f.make(1000, paths));
    EXPECT_EQ(paths.strIndexPath, dir / "g/1000/index.html");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "g/1000"));
}

TEST(OutputPaths, MenuModeReusesAnExistingGalleryFolder) {
    TempDir dir;
    const std::string kept = dir.write("012/old.txt", "old");
    PathsFixture f;
    f.settings.OptionMenu = 0;
    f.settings.gstrMenuPath = dir / "index.html";
    OutputPaths paths;
    ASSERT_TRUE(f.make(12, paths));
    EXPECT_EQ(paths.strListPath, dir / "012/list.html");
    EXPECT_EQ(test::readBytes(kept), "old");
    EXPECT_TRUE(f.sink.messages.empty());
}

TEST(OutputPaths, GalleryFolderThatCannotBeMadeIsReported) {
    TempDir dir;
    dir.write("002", "a file in the way");
    PathsFixture f;
    f.settings.OptionMenu = 0;
    f.settings.gstrMenuPath = dir / "index.html";
    OutputPaths paths;
    EXPECT_FALSE(f.make(2, paths));
    EXPECT_EQ(f.status.messageText(), "フォルダを作成できません [" + (dir / "002") + "]");

    // Only one level is made: a missing galleries' folder is not made here.
    f.settings.gstrMenuHtmlPath = "missing";
    EXPECT_FALSE(f.make(3, paths));
    EXPECT_EQ(f.status.messageText(), "フォルダを作成できません [" + (dir / "missing/003") + "]");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(OutputPaths, EmptyPagePathIsReportedNotUsed) {
    PathsFixture f;
    OutputPaths paths;
    EXPECT_FALSE(f.make(0, paths));
    EXPECT_EQ(f.status.messageText(), "Indexファイルの指定がありません");
    // A folder without a file name is no page either.
    f.settings.gstrIndexPath = "/tmp/";
    EXPECT_FALSE(f.make(0, paths));

    f.settings.OptionMenu = 0;
    EXPECT_FALSE(f.make(1, paths));
    EXPECT_EQ(f.status.messageText(), "メニューファイルの指定がありません");
}

} // namespace
} // namespace mivo

namespace mivo {
namespace {

TEST(OutputPaths, TheQuietPageFolderIsTheFolderThePagesGoTo) {
    // Worked out one album ahead without the log: it must name the folder mainGetMakePath
    // gives, or the copier's record read ahead is never taken.
    TempDir dir;
    dir.mkdir("site/a");
    test::RecordingSink sink;
    RunStatus status{&sink};
    const std::string site = dir / "site";
    std::vector<AlbumPlace> places;
    places.push_back({false, site + "/index.html", "", ""});
    places.push_back({false, site + "/a/../index.html", "html", ""});
    places.push_back({false, site + "/./index.html", "html/./deep/..", ""});
    places.push_back({true, site + "/index.html", "html", "2024"});
    places.push_back({true, site + "/a/../index.html", "", "京都 #1"});
    places.push_back({true, site + "/a/index.html", "x/../y", "z"});
    for (const AlbumPlace& place : places) {
        Album album;
        album.place = place;
        dir.mkdir("site/html/deep");
        dir.mkdir("site/y");
        dir.mkdir("site/a/y");
        ASSERT_TRUE(mainGetMakePath(status, album)) << place.page << " " << place.subFolder;
        EXPECT_EQ(quietPageFolder(place) + "/list.html", album.paths.strListPath)
            << place.page << " " << place.subFolder << " " << place.folderName;
    }
}

} // namespace
} // namespace mivo
