#include "generation/run/check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "common/codepage.h"
#include "common/log.h"
#include "common/message_box.h"
#include "common/text_file.h"
#include "generation/plan/planners.h"
#include "generation/plan/run_services.h"
#include "generation/plan/status.h"
#include "settings/settings.h"
#include "support/page_fixture.h"
#include "support/temp_dir.h"
#include "support/without_write_access.h"

namespace fs = std::filesystem;

namespace mivo {
namespace {

class RecordingMessageBox : public MessageBoxSink {
  public:
    void showMessage(const std::string& text, const std::string& caption) override {
        shown.push_back(text + "|" + caption);
    }
    std::vector<std::string> shown;
};

/// A program folder with its templates, a picture folder and an output folder, all inside a
/// temporary folder removed afterwards.
class CheckMakeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::temp_directory_path() /
                ("mivo_check_" + std::string(info->name()) + "_" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "prog" / "html");
        touch(root_ / "prog" / "html" / "index.html");
        fs::create_directories(root_ / "pics");
        fs::create_directories(root_ / "out");
        programFolder_ = (root_ / "prog").string();
        files_ = portableProgramFiles(programFolder_);
        settings_ = defaultSettings(programFolder_);
        settings_.OptionMenu = 1;
        settings_.OptionSamD = 0;
        settings_.gstrIndexPath = (root_ / "out" / "index.html").string();
        settings_.gstrHtmlPath = "";
        settings_.gstrMenuPath = (root_ / "out" / "menu.html").string();
        settings_.gstrMenuHtmlPath = "g";
        setMessageBoxSink(&box_);
    }

    void TearDown() override {
        setMessageBoxSink(nullptr);
        setLogLevel(0);
        setLogPath("");
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    static void touch(const fs::path& path, const std::string& bytes = "x") {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    std::string path(const std::string& relative) const { return (root_ / relative).string(); }

    /// The album being checked: the single gallery, or the first row in menu mode, as the
    /// planners make it.
    Album album(const std::string& picPath, const std::string& samPath, bool filelist) const {
        Album out;
        const bool menu = settings_.menuMode();
        out.job.number = menu ? 1 : 0;
        out.job.picPath = picPath;
        // A row's thumbnail folder in menu mode, the option in single mode.
        out.job.useThumbnails = !samPath.empty() || (!menu && settings_.OptionSamD == 1);
        out.job.samPath = samPath;
        out.job.useFilelist = filelist;
        out.job.strictFilelist = !menu;
        return out;
    }

    /// Checks the album; its items land in pictures_, filelist.csv's heading in head_.
    bool check(const std::string& picPath, const std::string& samPath = "", bool filelist = false,
               bool checkIndex = true) {
        Album checked = album(picPath, samPath, filelist);
        const bool result = mainCheckMake(run_, planRun(settings_, rows_).top, checked, checkIndex);
        filelist_ = checked.job.useFilelist;
        head_ = checked.filelistHead;
        pictures_ = std::move(checked.items);
        return result;
    }

    /// A fresh status line and bar, as a new run starts with.
    void resetStatus() {
        sink_.clear();
        status_ = RunStatus(&sink_);
    }

    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& item : pictures_) {
            out.push_back(item.name());
        }
        return out;
    }

    using Messages = std::vector<std::string>;

    fs::path root_;
    std::string programFolder_;
    ProgramFiles files_;
    Settings settings_{};
    test::RecordingSink sink_;
    RunStatus status_{&sink_};
    RunServices run_{files_, status_};
    std::string head_; // filelist.csv's heading as the last check read it
    std::vector<GalleryEntry> rows_;
    RecordingMessageBox box_;
    bool filelist_ = false;
    PictureList pictures_;
};

TEST_F(CheckMakeTest, KeepsJpegGifAndBmpInListingOrderWithNamesUnchanged) {
    for (const char* name : {"a.JPG", "b.txt", "c.gif", "c.png", "d.jpe", "e.Jpeg", "f.bmp"}) {
        touch(root_ / "pics" / name);
    }
    fs::create_directory(root_ / "pics" / "sub.jpg");
    touch(root_ / "pics" / ".hidden.jpg");

    EXPECT_TRUE(check(path("pics")));
    EXPECT_EQ(names(), (std::vector<std::string>{"a.JPG", "c.gif", "e.Jpeg", "f.bmp"}));
    EXPECT_EQ(sink_.messages, Messages{"チェック中です"});
    for (const auto& item : pictures_) {
        EXPECT_EQ(item.file.strInfo, "");
    }
}

TEST_F(CheckMakeTest, NamesDifferingOnlyInCaseBothStayAndLookUpFindsTheFirst) {
    touch(root_ / "pics" / "x.jpg", "lower");
    touch(root_ / "pics" / "X.JPG", "upper");

    ASSERT_TRUE(check(path("pics")));
    ASSERT_EQ(names(), (std::vector<std::string>{"X.JPG", "x.jpg"}));
    ASSERT_NE(pictures_.find("x.jpg"), nullptr);
    EXPECT_EQ(pictures_.find("x.jpg")->name(), "X.JPG");
}

TEST_F(CheckMakeTest, FolderWithoutPicturesIsRefused) {
    EXPECT_FALSE(check(path("pics"))); // empty
    EXPECT_EQ(sink_.messages, (Messages{"チェック中です", "画像フォルダに画像がありません"}));
    EXPECT_TRUE(box_.shown.empty());

    touch(root_ / "pics" / "notes.txt");
    touch(root_ / "pics" / "a.png");
    EXPECT_FALSE(check(path("pics")));
    EXPECT_EQ(status_.messageText(), "画像フォルダに画像がありません");
    EXPECT_TRUE(pictures_.empty());
}

TEST_F(CheckMakeTest, UnusablePictureOrThumbnailFolderIsRefusedNamingItAndTheReason) {
    // Before, a bare "致命的エラー" box came first and the check blamed an empty folder.
    EXPECT_FALSE(check(path("nowhere")));
    EXPECT_EQ(sink_.messages,
              (Messages{"チェック中です", "画像フォルダを開けません [" + path("nowhere") +
                                              "] フォルダがありません"}));
    touch(root_ / "file");
    EXPECT_FALSE(check(path("file")));
    EXPECT_EQ(status_.messageText(),
              "画像フォルダを開けません [" + path("file") + "] フォルダではありません");
    EXPECT_TRUE(box_.shown.empty());

    // Thumbnails on, their folder missing or emptied at start-up: no gallery of "/<name>" links.
    touch(root_ / "pics" / "a.jpg");
    EXPECT_FALSE(check(path("pics"), path("gone")));
    EXPECT_EQ(status_.messageText(),
              "サムネイルフォルダを開けません [" + path("gone") + "] フォルダがありません");
    settings_.OptionSamD = 1;
    EXPECT_FALSE(check(path("pics"), ""));
    EXPECT_EQ(status_.messageText(), "サムネイルフォルダの指定がありません");
    // In menu mode an empty thumbnail folder of a row means full-size pictures.
    settings_.OptionMenu = 0;
    rows_ = {{"one", path("pics"), ""}};
    EXPECT_TRUE(check(path("pics"), ""));
}

TEST_F(CheckMakeTest, TopPageMustBeAPageNeverAPictureOrASettingsFile) {
    touch(root_ / "pics" / "a.jpg");
    touch(root_ / "prog" / "Mivo.ini", "[Path]\r\n");
    for (const std::string& page :
         {path("pics/a.jpg"), path("prog/Mivo.ini"), path("prog/Mivo.csv"), path("prog/Mivo.log"),
          path("out/x"), path("out/x.html.bak"), path("out/.html")}) {
        SCOPED_TRACE(page);
        settings_.gstrIndexPath = page;
        EXPECT_FALSE(check(path("pics")));
        EXPECT_EQ(status_.messageText(),
                  "Indexファイルには .html か .htm のファイルを指定してください [" + page + "]");
    }
    EXPECT_EQ(test::readBytes(path("pics/a.jpg")), "x");
    EXPECT_EQ(test::readBytes(path("prog/Mivo.ini")), "[Path]\r\n");
    for (const std::string& page : {path("out/a.HTML"), path("out/b.Htm")}) {
        settings_.gstrIndexPath = page;
        EXPECT_TRUE(check(path("pics"))) << page;
    }
    settings_.OptionMenu = 0;
    settings_.gstrMenuPath = path("out/menu.txt");
    EXPECT_FALSE(check(path("pics")));
    EXPECT_EQ(status_.messageText(),
              "メニューファイルには .html か .htm のファイルを指定してください [" +
                  path("out/menu.txt") + "]");
}

TEST_F(CheckMakeTest, IndexPageOnTheTemplateIsRefusedBeforeThePicturesAreListed) {
    // The picture folder is missing: reaching the listing would show the fatal box.
    const std::string tpl = path("prog/html/index.html");
    const std::vector<std::string> spellings = {
        tpl,
        path("prog//html/index.html"),
        path("prog/./html/index.html"),
        path("prog/html/../html/index.html"),
    };
    for (const auto& spelling : spellings) {
        SCOPED_TRACE(spelling);
        resetStatus();
        settings_.gstrIndexPath = spelling;
        EXPECT_FALSE(check(path("nowhere")));
        EXPECT_EQ(sink_.messages,
                  (Messages{"チェック中です", "Indexファイル用のフォルダの指定先が無効です"}));
    }
    fs::create_directory_symlink(root_ / "prog" / "html", root_ / "tpl_link");
    resetStatus();
    settings_.gstrIndexPath = path("tpl_link/index.html");
    EXPECT_FALSE(check(path("nowhere")));
    EXPECT_EQ(status_.messageText(), "Indexファイル用のフォルダの指定先が無効です");

    // Menu mode guards the menu page instead; the single-mode index page no longer matters.
    resetStatus();
    settings_.OptionMenu = 0;
    settings_.gstrMenuPath = tpl;
    settings_.gstrIndexPath = path("out/index.html");
    EXPECT_FALSE(check(path("nowhere")));
    EXPECT_EQ(status_.messageText(), "Indexファイル用のフォルダの指定先が無効です");
    EXPECT_TRUE(box_.shown.empty());
}

TEST_F(CheckMakeTest, PageFolderOnTheTemplateFolderIsRefusedHoweverItIsSpelled) {
    fs::create_directory_symlink(root_ / "prog", root_ / "prog_link");
    struct Case {
        std::string indexFolder;
        std::string htmlPath;
    };
    // The index page lies in the folder the page folder is formed from.
    const std::vector<Case> cases = {
        {path("prog"), "html"},        {path("prog"), "html/"},
        {path("prog/."), "html"},      {path("prog"), "./html"},
        {path("out/../prog"), "html"}, {path("prog_link"), "html"},
        {path("out"), "../prog/html"}, {path("out"), "x/../../prog//html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.indexFolder + " + " + c.htmlPath);
        resetStatus();
        settings_.gstrIndexPath = c.indexFolder + "/index.html";
        settings_.gstrHtmlPath = c.htmlPath;
        EXPECT_FALSE(check(path("nowhere")));
        EXPECT_EQ(sink_.messages,
                  (Messages{"チェック中です", "Html保存フォルダの指定先が無効です"}));
    }
    // A top page inside the template folder is refused whatever its name; with no page
    // folder of its own, the pages would land there too, and that is what the user is told.
    settings_.gstrHtmlPath = "";
    settings_.gstrIndexPath = path("prog/html/list.html");
    EXPECT_FALSE(check(path("nowhere")));
    EXPECT_EQ(status_.messageText(), "Html保存フォルダの指定先が無効です");
    resetStatus();
    settings_.gstrHtmlPath = "../../out";
    EXPECT_FALSE(check(path("nowhere")));
    EXPECT_EQ(status_.messageText(), "Indexファイル用のフォルダの指定先が無効です");

    resetStatus();
    settings_.OptionMenu = 0;
    settings_.gstrIndexPath = path("out/index.html");
    settings_.gstrMenuPath = path("prog/menu.html");
    settings_.gstrMenuHtmlPath = "html";
    EXPECT_FALSE(check(path("nowhere")));
    EXPECT_EQ(status_.messageText(), "Html保存フォルダの指定先が無効です");
    EXPECT_TRUE(box_.shown.empty());
    EXPECT_FALSE(fs::exists(root_ / "prog" / "menu.html"));
}

TEST_F(CheckMakeTest, TemplateGuardsThroughALinkNameThePagesOwnIndexThenThePageFolder) {
    // The program's "html" is a link to where the templates really are.
    fs::remove_all(root_ / "prog" / "html");
    fs::create_directories(root_ / "shipped");
    touch(root_ / "shipped" / "index.html");
    fs::create_directory_symlink(root_ / "shipped", root_ / "prog" / "html");
    const std::string index = "Indexファイル用のフォルダの指定先が無効です";
    const std::string html = "Html保存フォルダの指定先が無効です";
    struct Case {
        std::string indexPage;
        std::string htmlPath;
        std::string message;
    };
    const std::vector<Case> cases = {
        {path("prog/html/top.html"), "", html},
        {path("prog/html/index.html"), "", index},
        {path("prog/html/index.html"), "../../out", index},
        {path("prog/html/top.html"), "../../out", index},
        {path("shipped/top.html"), "", html},
        {path("shipped/index.html"), "pages", index},
        {path("out/index.html"), "../prog/html", html},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.indexPage + " + " + c.htmlPath);
        resetStatus();
        settings_.gstrIndexPath = c.indexPage;
        settings_.gstrHtmlPath = c.htmlPath;
        EXPECT_FALSE(check(path("nowhere")));
        EXPECT_EQ(sink_.messages, (Messages{"チェック中です", c.message}));
    }
    EXPECT_FALSE(fs::exists(root_ / "shipped" / "top.html"));
    EXPECT_FALSE(fs::exists(root_ / "shipped" / "pages"));
}

TEST_F(CheckMakeTest, UsersTemplateCopyIsGuardedWhetherOrNotItExistsYet) {
    files_.userTemplateFolder = path("cfg/html");
    fs::create_directories(root_ / "cfg");
    for (const bool copied : {false, true}) {
        SCOPED_TRACE(copied ? "copy in use" : "no copy yet");
        if (copied) {
            fs::create_directories(root_ / "cfg" / "html");
            files_.templateFolder = files_.userTemplateFolder;
        }
        struct Case {
            std::string indexPage;
            std::string htmlPath;
            std::string message;
        };
        const std::vector<Case> cases = {
            {path("cfg/html/index.html"), "", "Indexファイル用のフォルダの指定先が無効です"},
            {path("cfg/top.html"), "html", "Html保存フォルダの指定先が無効です"},
            // The shipped templates stay guarded while the copy is read.
            {path("prog/html/index.html"), "", "Indexファイル用のフォルダの指定先が無効です"},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.indexPage);
            status_ = RunStatus(&sink_);
            settings_.gstrIndexPath = c.indexPage;
            settings_.gstrHtmlPath = c.htmlPath;
            EXPECT_FALSE(check(path("nowhere")));
            EXPECT_EQ(status_.messageText(), c.message);
        }
    }
    EXPECT_FALSE(fs::exists(root_ / "cfg" / "html" / "index.html"));
    EXPECT_TRUE(box_.shown.empty());
}

TEST_F(CheckMakeTest, PagesGoWhereTheSettingsSayCreatingMissingFolders) {
    touch(root_ / "pics" / "a.jpg");
    // The folder control may show another folder (the program's, after a failed start-up):
    // the pages still go beside the top page.
    settings_.gstrIndexPath = path("new/site/index.html");
    settings_.gstrHtmlPath = "pages/deep";
    EXPECT_TRUE(check(path("pics")));
    EXPECT_TRUE(fs::is_directory(root_ / "new" / "site" / "pages" / "deep"));
    EXPECT_FALSE(fs::exists(root_ / "prog" / "pages"));

    // An existing page folder is used as it is; ".." steps are resolved before anything else.
    settings_.gstrHtmlPath = "../shared/./pages";
    EXPECT_TRUE(check(path("pics")));
    EXPECT_TRUE(fs::is_directory(root_ / "new" / "shared" / "pages"));

    // Menu mode forms its page folder from the menu page's folder and its Html folder.
    settings_.OptionMenu = 0;
    settings_.gstrMenuPath = path("menu/top.htm");
    EXPECT_TRUE(check(path("pics")));
    EXPECT_TRUE(fs::is_directory(root_ / "menu" / "g"));
    EXPECT_FALSE(fs::exists(root_ / "prog" / "g"));
    EXPECT_EQ(sink_.messages, (Messages{"チェック中です", "チェック中です", "チェック中です"}));
}

TEST_F(CheckMakeTest, PageFolderThatCannotBeCreatedIsRefused) {
    touch(root_ / "pics" / "a.jpg");
    // A file is in the way of the top page's folder, then of the page folder.
    touch(root_ / "blocked");
    settings_.gstrIndexPath = path("blocked/sub/index.html");
    EXPECT_FALSE(check(path("pics")));
    EXPECT_EQ(sink_.messages, (Messages{"チェック中です",
                                        "フォルダを作成できません [" + path("blocked/sub") + "]"}));
    resetStatus();
    touch(root_ / "out" / "pages");
    settings_.gstrIndexPath = path("out/index.html");
    settings_.gstrHtmlPath = "pages";
    EXPECT_FALSE(check(path("pics")));
    EXPECT_EQ(status_.messageText(), "フォルダを作成できません [" + path("out/pages") + "]");
    EXPECT_TRUE(fs::is_regular_file(root_ / "out" / "pages"));
}

TEST_F(CheckMakeTest, PageFolderInReadOnlyParentIsRefused) {
    touch(root_ / "pics" / "a.jpg");
    fs::create_directory(root_ / "locked");
    fs::permissions(root_ / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
    settings_.gstrIndexPath = path("locked/index.html");
    settings_.gstrHtmlPath = "pages";
    const std::string expected = "フォルダを作成できません [" + path("locked/pages") + "]";
    const std::optional<bool> refused = test::runWithoutWriteAccess(
        path("locked"), [&] { return !check(path("pics")) && status_.messageText() == expected; });
    if (!refused) {
        GTEST_SKIP() << "no user here is denied writing to a read-only folder";
    }
    EXPECT_TRUE(*refused) << "the check should fail with: " << expected;
    EXPECT_FALSE(fs::exists(root_ / "locked" / "pages"));
}

TEST_F(CheckMakeTest, NoIndexCheckLeavesTheOutputFoldersAlone) {
    touch(root_ / "pics" / "a.jpg");
    settings_.gstrIndexPath = path("prog/html/index.html");
    EXPECT_TRUE(check(path("pics"), "", false, false));
    EXPECT_EQ(sink_.messages, Messages{"チェック中です"});
}

TEST_F(CheckMakeTest, ThumbnailFolderEqualToPictureFolderIsRefused) {
    touch(root_ / "pics" / "a.jpg");
    EXPECT_FALSE(check(path("pics"), path("pics")));
    EXPECT_EQ(sink_.messages,
              (Messages{"チェック中です", "画像フォルダとサムネイルフォルダが同じです"}));
}

TEST_F(CheckMakeTest, EveryPictureNeedsAThumbnailOfExactlyItsName) {
    touch(root_ / "pics" / "a.JPG");
    touch(root_ / "pics" / "b.jpg");
    touch(root_ / "pics" / "c.jpg");
    fs::create_directories(root_ / "sam");
    touch(root_ / "sam" / "a.jpg");                // wrong case
    fs::create_directory(root_ / "sam" / "b.jpg"); // a folder does not count

    EXPECT_FALSE(check(path("pics"), path("sam")));
    // Only the first missing thumbnail is named; the text keeps its blank before the name.
    EXPECT_EQ(sink_.messages,
              (Messages{"チェック中です", "サムネイルフォルダに該当画像がありません a.JPG"}));

    touch(root_ / "sam" / "a.JPG");
    resetStatus();
    EXPECT_FALSE(check(path("pics"), path("sam")));
    EXPECT_EQ(status_.messageText(), "サムネイルフォルダに該当画像がありません b.jpg");
}

TEST_F(CheckMakeTest, ExtraThumbnailsAreIgnored) {
    touch(root_ / "pics" / "a.JPG");
    touch(root_ / "pics" / "写真 #1.jpg");
    fs::create_directories(root_ / "sam");
    for (const char* name : {"a.JPG", "写真 #1.jpg", "z.jpg", "notes.txt"}) {
        touch(root_ / "sam" / name);
    }
    EXPECT_TRUE(check(path("pics"), path("sam") + "/"));
    EXPECT_EQ(names(), (std::vector<std::string>{"a.JPG", "写真 #1.jpg"}));
    EXPECT_EQ(sink_.messages, Messages{"チェック中です"});
}

TEST_F(CheckMakeTest, FilelistIsReadOnlyWhenAskedFor) {
    touch(root_ / "pics" / "a.jpg");
    touch(root_ / "pics" / "filelist.csv", "name,caption\r\na.jpg,Sunset\r\n");

    EXPECT_TRUE(check(path("pics"), "", false));
    EXPECT_FALSE(filelist_);
    EXPECT_EQ(pictures_[0].file.strInfo, "");
    EXPECT_EQ(head_, "");

    EXPECT_TRUE(check(path("pics"), "", true));
    EXPECT_TRUE(filelist_);
    EXPECT_EQ(pictures_[0].file.strInfo, "Sunset");
    EXPECT_EQ(head_, "caption");
}

TEST_F(CheckMakeTest, MissingFilelistTurnsTheFlagOffAndAnUnusableOneRefusesASingleGallery) {
    touch(root_ / "pics" / "a.jpg");
    // No filelist.csv in the folder: made without it, in either mode, without a word.
    EXPECT_TRUE(check(path("pics"), "", true));
    EXPECT_FALSE(filelist_);
    EXPECT_EQ(sink_.messages, Messages{"チェック中です"});
    resetStatus();
    settings_.OptionMenu = 0;
    EXPECT_TRUE(check(path("pics"), "", true));
    EXPECT_FALSE(filelist_);
    EXPECT_EQ(sink_.messages, Messages{"チェック中です"});

    // One that is there but cannot be used stops a single gallery with its message...
    touch(root_ / "pics" / "filelist.csv", "name\r\na.jpg\r\n");
    resetStatus();
    settings_.OptionMenu = 1;
    EXPECT_FALSE(check(path("pics"), "", true));
    EXPECT_FALSE(filelist_);
    EXPECT_EQ(sink_.messages, (Messages{"チェック中です", "filelist.csvの内容が不正です"}));
    // ...and menu mode says nothing about it.
    resetStatus();
    settings_.OptionMenu = 0;
    EXPECT_TRUE(check(path("pics"), "", true));
    EXPECT_FALSE(filelist_);
    EXPECT_EQ(sink_.messages, Messages{"チェック中です"});
}

TEST_F(CheckMakeTest, LogsStartAndResult) {
    const std::string logPath = path("Mivo.log");
    setLogPath(logPath);
    setLogLevel(1);
    touch(root_ / "pics" / "a.jpg");
    EXPECT_TRUE(check(path("pics")));
    EXPECT_FALSE(check(path("pics"), path("pics")));
    setLogLevel(0);

    std::vector<std::string> lines;
    ASSERT_TRUE(readTextLines(logPath, lines));
    std::vector<std::string> mine;
    for (const auto& line : lines) {
        const auto at = line.find(" [mainCheckMake] ");
        if (at != std::string::npos) {
            mine.push_back(line.substr(at + 1));
        }
    }
    EXPECT_EQ(mine, (std::vector<std::string>{
                        "[mainCheckMake] ▽Start Method▽", "[mainCheckMake] △End Method△ True",
                        "[mainCheckMake] ▽Start Method▽", "[mainCheckMake] △End Method△ False"}));
}

} // namespace
} // namespace mivo
