#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/text_file.h"
#include "generation/plan/status.h"
#include "generation/run/make_run.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"
#include "support/gif_bytes.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::readBytes;
using test::TempDir;

/// A status line and bar as a window shows them; remembers every message and what the line
/// and the bar showed at every completed status call.
class RecordingStatus : public StatusSink {
  public:
    struct Shown {
        std::string message;
        double value;
        double max;
        bool operator==(const Shown&) const = default;
    };
    void message(const std::string& text) override {
        message_ = text;
        messages.push_back(text);
    }
    void progress(double value, double max) override {
        value_ = value;
        max_ = max;
    }
    void step() override { shown.push_back({message_, value_, max_}); }

    const std::string& messageText() const { return message_; }
    double barValue() const { return value_; }
    /// The bar stands at `value` before a run.
    void setBarValue(double value) { value_ = value; }

    std::vector<std::string> messages;
    std::vector<Shown> shown;

  private:
    std::string message_;
    double value_ = 0;
    double max_ = 100;
};

using test::gifBytes;

/// A program folder with small templates, picture folders and an output folder.
class MakeRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.write("prog/html/list.html",
                  "<title>MV_SUB_TITLE</title>\r\n<a href=\"MV_INDEX_HTML\">top</a>\r\n"
                  "<a href=\"MV_LINK_URL1\">MV_LINK_NAME1</a>\r\n"
                  "<a href=\"MV_LINK_URL2\">MV_LINK_NAME2</a>\r\n"
                  "MV_TABLE_START\r\n<img src=\"MV_IMG_SRC\">\r\nMV_TABLE_END\r\n");
        dir.write("prog/html/index.html",
                  "MV_SUB_TITLE MV_LIST_HTML MV_PICT_HTML\r\nMV_LIST_ARRAY\r\n");
        dir.write("prog/html/pict.html",
                  "MV_INDEX_HTML MV_LINK_NAME1 MV_LINK_URL1 MV_LINK_NAME2 MV_LINK_URL2\r\n");
        dir.write("prog/html/menu.html", "MV_MENU_ARRAY\r\n");
        programFolder = dir / "prog";
        settings = defaultSettings(programFolder);
        // No folder or page is chosen until a test says which.
        settings.gstrPicPath.clear();
        settings.gstrSamPath.clear();
        settings.gstrIndexPath.clear();
        settings.gstrMenuPath.clear();
        settings.TextTitleS = "sub";
        settings.TextLinkName = {"menu", "back", "next"};
        settings.TextLinkURL = {"../index.html", "back.html", "next.html"};
        out = dir.mkdir("out");
    }

    void addPictures(const std::string& folder, const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            dir.write(folder + "/" + name, gifBytes(40, 30));
        }
    }

    void singleMode(const std::string& picFolder) {
        settings.OptionMenu = 1;
        settings.OptionSamD = 0; // full-size pictures: no thumbnail folder is needed
        settings.gstrPicPath = dir / picFolder;
        settings.gstrIndexPath = out + "/index.html";
        // The pictures serve as their own thumbnails unless a test says otherwise.
        settings.OptionSamD = 0;
    }

    void menuMode(const std::vector<std::pair<std::string, std::string>>& galleries) {
        settings.OptionMenu = 0;
        settings.gstrMenuPath = out + "/menu.html";
        for (const auto& [name, folder] : galleries) {
            rows.push_back({name, dir / folder, ""});
        }
    }

    bool run() { return runMake(settings, rows, portableProgramFiles(programFolder), status).done; }
    std::vector<std::string> messages() const { return status.messages; }
    std::string page(const std::string& name) const { return readBytes(out + "/" + name); }

    TempDir dir;
    std::string out;
    std::string programFolder;
    Settings settings{};
    std::vector<GalleryEntry> rows;
    RecordingStatus status;
};

TEST_F(MakeRunTest, SingleModeReportsEachStageAndEndsAtAFullBar) {
    addPictures("pics", {"p1.gif", "p2.gif", "p3.gif"});
    singleMode("pics");
    status.setBarValue(42);
    EXPECT_TRUE(run());
    EXPECT_EQ(messages(), (std::vector<std::string>{"チェック中です", "作成中です", "p1 (1/3)",
                                                    "p2 (2/3)", "p3 (3/3)", "完了しました"}));
    using S = RecordingStatus::Shown;
    // The list page scales the bar to 3 * 10 / 8 = 3.75 -> 4; the run takes it back to 100.
    EXPECT_EQ(status.shown, (std::vector<S>{{"チェック中です", 0, 100},
                                            {"作成中です", 0, 100},
                                            {"p1 (1/3)", 1, 4},
                                            {"p2 (2/3)", 2, 4},
                                            {"p3 (3/3)", 3, 4},
                                            {"p3 (3/3)", 90, 100},
                                            {"完了しました", 100, 100}}));
    EXPECT_NE(page("index.html"), "<missing>");
    EXPECT_NE(page("list.html"), "<missing>");
    EXPECT_NE(page("pict.html").find("./index.html back back.html next next.html"),
              std::string::npos);
}

TEST_F(MakeRunTest, HiddenPagesOfAKilledRunAreGoneAfterTheNextRun) {
    addPictures("pics", {"p1.gif"});
    singleMode("pics");
    for (const char* name :
         {".list.html.tmp-Ab12Cd", ".index.html.tmp-x9Y8z7", ".pict.html.tmp-000000"}) {
        dir.write("out/" + std::string(name), "half a page");
    }
    EXPECT_TRUE(run());
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"index.html", "list.html", "pict.html"}));
}

TEST_F(MakeRunTest, MenuModeGivesNeighbourLinksAndSharesTheBarEqually) {
    addPictures("a", {"a1.gif", "a2.gif"});
    addPictures("b", {"b1.gif", "b2.gif"});
    addPictures("c", {"c1.gif", "c2.gif"});
    menuMode({{"g1", "a"}, {"g2", "b"}, {"g3", "c"}});
    EXPECT_TRUE(run());
    EXPECT_EQ(messages(),
              (std::vector<std::string>{"チェック中です", "チェック中です", "チェック中です",
                                        "作成中です", "g1", "g2", "g3", "完了しました"}));
    std::vector<double> values;
    for (const auto& shown : status.shown) {
        values.push_back(shown.value);
    }
    EXPECT_EQ(values, (std::vector<double>{0, 0, 0, 5, 5, 20, 35, 35, 50, 65, 65, 80, 95, 100}));

    // Gallery 2 links back to gallery 1 and on to gallery 3.
    const std::string list2 = page("002/list.html");
    EXPECT_NE(list2.find("<a href=\"../001/index.html\">g1</a>"), std::string::npos);
    EXPECT_NE(list2.find("<a href=\"../003/index.html\">g3</a>"), std::string::npos);
    const std::string pict2 = page("002/pict.html");
    EXPECT_NE(pict2.find("g1 ../001/index.html g3 ../003/index.html"), std::string::npos);
    // The first and the last gallery each have one slot empty.
    EXPECT_NE(page("001/list.html").find("<a href=\"\"></a>"), std::string::npos);
    EXPECT_NE(page("001/list.html").find("../002/index.html"), std::string::npos);
    EXPECT_NE(page("003/list.html").find("../002/index.html"), std::string::npos);
    EXPECT_EQ(page("003/list.html").find("../004/"), std::string::npos);

    // One picture-entry array serves every gallery: each index page lists its own pictures.
    const std::string index2 = page("002/index.html");
    EXPECT_NE(index2.find("b1"), std::string::npos);
    EXPECT_NE(index2.find("b2"), std::string::npos);
    EXPECT_EQ(index2.find("a1"), std::string::npos);
    EXPECT_EQ(index2.find("c1"), std::string::npos);
    EXPECT_NE(page("menu.html"), "<missing>");
}

TEST_F(MakeRunTest, ARunRewritesOnlyThePagesWhoseBytesChanged) {
    addPictures("a", {"a1.gif"});
    addPictures("b", {"b1.gif"});
    addPictures("c", {"c1.gif"});
    menuMode({{"g1", "a"}, {"g2", "b"}, {"g3", "c"}});
    ASSERT_TRUE(run());
    // Every page's file and time, set far back so that a rewrite cannot fall in the same tick.
    const auto longAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
    const auto pages = [&] {
        std::map<std::string, std::pair<ino_t, bool>> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(out)) {
            if (entry.is_regular_file()) {
                struct stat st {};
                ::stat(entry.path().c_str(), &st);
                found[entry.path().lexically_relative(out).string()] = {
                    st.st_ino, std::filesystem::last_write_time(entry.path()) == longAgo};
            }
        }
        return found;
    };
    const auto age = [&] {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(out)) {
            if (entry.is_regular_file()) {
                std::filesystem::last_write_time(entry.path(), longAgo);
            }
        }
    };
    age();
    const auto before = pages();
    ASSERT_EQ(before.size(), 10u);

    // Nothing changed: not one page is written.
    ASSERT_TRUE(run());
    EXPECT_EQ(pages(), before);

    // Gallery 2 renamed: its own list and index page, its neighbours' links to it and the menu.
    rows[1].strListName = "g2 renamed";
    ASSERT_TRUE(run());
    std::vector<std::string> rewritten;
    for (const auto& [name, file] : pages()) {
        if (file != before.at(name)) {
            rewritten.push_back(name);
        }
    }
    EXPECT_EQ(rewritten, (std::vector<std::string>{"001/list.html", "001/pict.html",
                                                   "002/index.html", "002/list.html",
                                                   "003/list.html", "003/pict.html", "menu.html"}));
}

TEST_F(MakeRunTest, MenuModeWithOneRowLeavesBothLinkSlotsEmpty) {
    addPictures("a", {"a1.gif"});
    menuMode({{"only", "a"}});
    EXPECT_TRUE(run());
    const std::string list = page("001/list.html");
    EXPECT_NE(list.find("<a href=\"\"></a>\r\n<a href=\"\"></a>"), std::string::npos);
    EXPECT_NE(page("001/pict.html").find("./index.html"), std::string::npos);
    EXPECT_EQ(page("001/pict.html").find("../"), std::string::npos);
    EXPECT_NE(page("menu.html"), "<missing>");
    EXPECT_EQ(status.messageText(), "完了しました");
    EXPECT_EQ(status.barValue(), 100);
}

TEST_F(MakeRunTest, EmptyGalleryListStopsBeforeAnyCheck) {
    menuMode({});
    EXPECT_FALSE(run());
    EXPECT_EQ(messages(), std::vector<std::string>{"フォルダの指定がありません"});
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST_F(MakeRunTest, MenuModeCheckFailureOfTheLastRowBuildsNothing) {
    addPictures("a", {"a1.gif"});
    addPictures("b", {"b1.gif"});
    dir.write("c/readme.txt", "no pictures");
    menuMode({{"g1", "a"}, {"g2", "b"}, {"third", "c"}});
    EXPECT_FALSE(run());
    const auto shown = messages();
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[shown.size() - 2], "画像フォルダに画像がありません");
    EXPECT_EQ(shown.back(), "画像フォルダに画像がありません [third]");
    EXPECT_FALSE(std::filesystem::exists(out + "/001"));
    EXPECT_FALSE(std::filesystem::exists(out + "/menu.html"));
    EXPECT_EQ(status.barValue(), 0);
}

TEST_F(MakeRunTest, SingleModeCheckFailureWritesNoPage) {
    dir.mkdir("empty");
    singleMode("empty");
    EXPECT_FALSE(run());
    EXPECT_EQ(status.messageText(), "画像フォルダに画像がありません");
    EXPECT_TRUE(std::filesystem::is_empty(out));

    // A missing picture folder is named, with what is wrong with it.
    singleMode("gone");
    EXPECT_FALSE(run());
    EXPECT_EQ(status.messageText(),
              "画像フォルダを開けません [" + (dir / "gone") + "] フォルダがありません");
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST_F(MakeRunTest, SingleModeGoesOnWithoutAFilelistAndStopsOnAnUnusableOne) {
    addPictures("pics", {"p1.gif"});
    singleMode("pics");
    settings.CheckUseFileList = true;
    // The tick of a folder that has no filelist.csv means nothing: the gallery is made.
    EXPECT_TRUE(run());
    EXPECT_EQ(messages().back(), "完了しました");
    EXPECT_TRUE(std::filesystem::exists(out + "/index.html"));

    // One that is there but has no heading stops the run before any page.
    std::filesystem::remove_all(out);
    out = dir.mkdir("out");
    dir.write("pics/filelist.csv", "p1.gif\r\n");
    EXPECT_FALSE(run());
    EXPECT_EQ(messages().back(), "filelist.csvの内容が不正です");
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST_F(MakeRunTest, MenuModeBuildsWithoutAnUnusableFilelist) {
    addPictures("a", {"a1.gif"});
    menuMode({{"g1", "a"}});
    settings.CheckUseFileList = true;
    EXPECT_TRUE(run());
    EXPECT_EQ(messages(),
              (std::vector<std::string>{"チェック中です", "作成中です", "g1", "完了しました"}));
    EXPECT_NE(page("001/index.html"), "<missing>");
    EXPECT_NE(page("001/pict.html"), "<missing>");
}

TEST_F(MakeRunTest, SingleModeFullSizePicturesIgnoreTheThumbnailFolder) {
    addPictures("pics", {"p1.gif"});
    dir.mkdir("thumbs");
    singleMode("pics");
    settings.gstrSamPath = dir / "thumbs";
    settings.OptionSamD = 0;
    EXPECT_TRUE(run());

    settings.OptionSamD = 1;
    EXPECT_FALSE(run());
    EXPECT_EQ(status.messageText(), "サムネイルフォルダに該当画像がありません p1.gif");
}

TEST_F(MakeRunTest, FailedListPageStopsTheSingleRun) {
    addPictures("pics", {"p1.gif"});
    singleMode("pics");
    std::filesystem::remove(dir / "prog/html/list.html");
    EXPECT_FALSE(run());
    EXPECT_EQ(status.messageText(), "作成に失敗しました");
    EXPECT_FALSE(std::filesystem::exists(out + "/index.html"));
    EXPECT_FALSE(std::filesystem::exists(out + "/pict.html"));
}

TEST_F(MakeRunTest, FailedListPageOfAMenuGalleryKeepsTheEarlierOnes) {
    addPictures("a", {"a1.gif"});
    addPictures("b", {"b1.gif"});
    addPictures("c", {"c1.gif"});
    // A folder where gallery 2's list page should go: the page cannot be written.
    dir.mkdir("out/002/list.html");
    menuMode({{"g1", "a"}, {"g2", "b"}, {"g3", "c"}});
    EXPECT_FALSE(run());
    EXPECT_EQ(status.messageText(), "作成に失敗しました [g2]");
    EXPECT_NE(page("001/index.html"), "<missing>");
    EXPECT_NE(page("001/pict.html"), "<missing>");
    EXPECT_FALSE(std::filesystem::exists(out + "/002/index.html"));
    EXPECT_FALSE(std::filesystem::exists(out + "/003"));
    EXPECT_FALSE(std::filesystem::exists(out + "/menu.html"));
}

TEST_F(MakeRunTest, GalleryFolderThatCannotBeMadeStopsTheRun) {
    addPictures("a", {"a1.gif"});
    addPictures("b", {"b1.gif"});
    dir.write("out/002", "a file in the way");
    menuMode({{"g1", "a"}, {"g2", "b"}});
    EXPECT_FALSE(run());
    EXPECT_EQ(status.messageText(), "フォルダを作成できません [" + out + "/002]");
    EXPECT_NE(page("001/index.html"), "<missing>");
    EXPECT_EQ(page("002"), "a file in the way");
    EXPECT_FALSE(std::filesystem::exists(out + "/menu.html"));
}

TEST_F(MakeRunTest, EmptyPathSettingStopsTheRunWithItsName) {
    addPictures("pics", {"p1.gif"});
    singleMode("pics");
    settings.gstrPicPath.clear();
    EXPECT_FALSE(run());
    EXPECT_EQ(messages(), std::vector<std::string>{"画像フォルダの指定がありません"});

    singleMode("pics");
    settings.gstrIndexPath.clear();
    EXPECT_FALSE(run());
    EXPECT_EQ(status.messageText(), "Indexファイルの指定がありません");

    rows.clear();
    menuMode({{"g1", "pics"}});
    settings.gstrMenuPath.clear();
    EXPECT_FALSE(run());
    EXPECT_EQ(status.messageText(), "メニューファイルの指定がありません");
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST_F(MakeRunTest, EveryWayOutLogsTheEndOfTheRun) {
    const std::string log = dir / "Mivo.log";
    setLogPath(log);
    setLogLevel(1);
    menuMode({});
    run();
    addPictures("pics", {"p1.gif"});
    rows.clear();
    singleMode("pics");
    run();
    setLogLevel(0);
    setLogPath("");

    std::vector<std::string> lines;
    ASSERT_TRUE(readTextLines(log, lines));
    std::vector<std::string> runLines;
    for (const std::string& line : lines) {
        if (line.find("[CommandMake_Click]") != std::string::npos) {
            runLines.push_back(line.substr(line.find("] ") + 2));
        }
    }
    EXPECT_EQ(runLines, (std::vector<std::string>{"▽Start Method▽", "△End Method△",
                                                  "▽Start Method▽", "△End Method△"}));
}

} // namespace
} // namespace mivo

namespace mivo {
namespace {

TEST(SelfContainedThumbnails, AThumbnailFoldersThumbnailsArePlacedAndLinkedInTheSite) {
    TempDir dir;
    dir.write("prog/html/list.html",
              "MV_TABLE_START\r\n<img src=\"MV_IMG_SRC\">\r\nMV_TABLE_END\r\n");
    dir.write("prog/html/index.html", "MV_LIST_ARRAY\r\n");
    dir.write("prog/html/pict.html", "MV_INDEX_HTML\r\n");
    dir.write("pics/p1.gif", test::gifBytes(40, 30));
    dir.write("thumbs/p1.gif", test::gifBytes(20, 15));
    Settings settings = defaultSettings(dir / "prog");
    settings.OptionMenu = 1;
    settings.OptionSamD = 1;
    settings.gstrPicPath = dir / "pics";
    settings.gstrSamPath = dir / "thumbs";
    settings.gstrIndexPath = dir / "out/index.html";
    settings.PublishOriginals = 1;
    RecordingStatus status;
    ASSERT_TRUE(runMake(settings, {}, portableProgramFiles(dir / "prog"), status).done);
    EXPECT_EQ(readBytes(dir / "out/originals/thumbnails/p1.gif"), test::gifBytes(20, 15));
    EXPECT_EQ(readBytes(dir / "out/originals/p1.gif"), test::gifBytes(40, 30));
    const std::string list = readBytes(dir / "out/list.html");
    EXPECT_NE(list.find("<img src=\"./originals/thumbnails/p1.gif\">"), std::string::npos) << list;
    EXPECT_EQ(list.find("thumbs/"), std::string::npos) << list;

    // Back to links where the files are: both placed files go, and the folders with them.
    settings.PublishOriginals = 0;
    ASSERT_TRUE(runMake(settings, {}, portableProgramFiles(dir / "prog"), status).done);
    EXPECT_FALSE(std::filesystem::exists(dir / "out/originals"));
}

} // namespace
} // namespace mivo
