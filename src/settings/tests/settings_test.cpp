#include "settings/settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "common/codepage.h"
#include "common/log.h"
#include "common/program.h"
#include "settings/ini_file.h"
#include "settings/settings_table.h"

namespace fs = std::filesystem;

namespace mivo {
namespace {

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        folder_ = (fs::temp_directory_path() / ("mivo_settings_test_" + std::to_string(::getpid()) +
                                                "_" + std::to_string(counter++)))
                      .string();
        fs::create_directories(folder_);
        ini_ = iniFilePath(folder_);
        log_ = logFilePath(folder_);
    }
    void TearDown() override {
        setLogLevel(0);
        setLogPath("");
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    void writeIni(const std::string& utf8) {
        std::ofstream(ini_, std::ios::binary) << encodeCp932(utf8, Cp932Fallback::Question);
    }
    std::string readBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    std::string readIni() { return decodeText(readBytes(ini_)); }
    /// The log's lines with their date and time cut off.
    std::vector<std::string> logLines() {
        static const std::regex stamp(R"(^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} )");
        const std::string text = decodeCp932(readBytes(log_));
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < text.size()) {
            const auto end = text.find("\r\n", start);
            lines.push_back(std::regex_replace(text.substr(start, end - start), stamp, ""));
            if (end == std::string::npos) {
                break;
            }
            start = end + 2;
        }
        return lines;
    }
    Settings load() {
        Settings s;
        mainGetIni(ini_, folder_, s);
        return s;
    }
    /// Saves `current` against a fresh load of an absent file and gives back the file text.
    std::string saveFromDefaults(const Settings& current) {
        fs::remove(ini_);
        const Settings loaded = load();
        mainSetIni(ini_, loaded, current);
        return fs::exists(ini_) ? readIni() : std::string("(no file)");
    }

    std::string folder_;
    std::string ini_;
    std::string log_;
};

TEST_F(SettingsTest, NoIniFileGivesEveryDefaultAndWritesNothing) {
    const Settings s = load();
    const std::string page = folder_ + "/index.html";
    EXPECT_EQ(s.LogLevel, 0);
    EXPECT_EQ(s.OptionMenu, 1);
    EXPECT_EQ(s.gstrPicPath, folder_);
    EXPECT_EQ(s.gstrSamPath, folder_);
    EXPECT_EQ(s.gstrIndexPath, page);
    EXPECT_EQ(s.gstrHtmlPath, "");
    EXPECT_EQ(s.gstrMenuPath, page);
    EXPECT_EQ(s.gstrMenuHtmlPath, "");
    EXPECT_EQ(s.gstrStartName, "");
    EXPECT_EQ(s.TextBody, "<body bgcolor=\"white\" text=\"black\">");
    EXPECT_EQ(s.TextTitle, "アルバム");
    EXPECT_EQ(s.TextTitleS, "写真");
    EXPECT_EQ(s.OptionStart, 0);
    EXPECT_FALSE(s.CheckUseFileList);
    EXPECT_EQ(s.TextFilelistWidth, 0);
    EXPECT_EQ(s.TextFilelistHeight, 0);
    EXPECT_TRUE(s.CheckSlideShow);
    EXPECT_EQ(s.TextSlideTime, "5");
    EXPECT_EQ(s.OptionSamD, 1);
    EXPECT_EQ(s.TextSamWidth, 160);
    EXPECT_EQ(s.TextSamHeight, 160);
    EXPECT_EQ(s.TextAllListWidth, "4");
    EXPECT_EQ(s.TextLinkName, (std::array<std::string, 3>{"メニュー", "戻る", "進む"}));
    EXPECT_EQ(s.TextLinkURL,
              (std::array<std::string, 3>{"../index.html", "../index.html", "../index.html"}));
    EXPECT_EQ(s.TextOpenName, (std::array<std::string, 4>{"機能1", "機能2", "機能3", "機能4"}));
    EXPECT_EQ(s.CheckOpen, (std::array<bool, 4>{true, true, true, true}));
    EXPECT_EQ(s.TextOpen, (std::array<std::string, 4>{"", "", "", ""}));
    EXPECT_EQ(s, defaultSettings(folder_));

    // Quitting without a change leaves no file behind, and no log either.
    EXPECT_TRUE(mainSetIni(ini_, s, s));
    EXPECT_FALSE(fs::exists(ini_));
    EXPECT_FALSE(fs::exists(log_));
}

TEST_F(SettingsTest, PathDefaultsFollowThePictureFolderJustRead) {
    writeIni("[Path]\r\nPic=/home/u/pics\r\n");
    Settings s = load();
    EXPECT_EQ(s.gstrSamPath, "/home/u/pics");
    EXPECT_EQ(s.gstrIndexPath, "/home/u/pics/index.html");
    EXPECT_EQ(s.gstrMenuPath, "/home/u/pics/index.html");

    writeIni("[Path]\r\nPic=/home/u/pics/\r\nThum=/t\r\nIndex=/out/i.html\r\n");
    s = load();
    EXPECT_EQ(s.gstrSamPath, "/t");
    EXPECT_EQ(s.gstrIndexPath, "/out/i.html");
    EXPECT_EQ(s.gstrMenuPath, "/home/u/pics/index.html");
}

TEST_F(SettingsTest, ValuesOfTheWrongKindFallBackToTheirDefaults) {
    writeIni("[Log]\r\nLevel=verbose\r\n"
             "[Ini]\r\nMode=3\r\n"
             "[Html]\r\nStart=1.5\r\nTUse=-1\r\nSlide=yes\r\nTime=soon\r\nLWidth=-3\r\n"
             "TWidth=100000000000000000\r\nTHeight=0\r\n"
             "[Filelist]\r\nUse=\r\nWidth=w\r\nHeight= 07 \r\n"
             "[Launcher]\r\nUse1=0\r\nUse2=on\r\nUse3= 0 \r\n");
    const Settings s = load();
    EXPECT_EQ(s.LogLevel, 0);
    EXPECT_EQ(s.OptionMenu, 1);
    EXPECT_EQ(s.OptionStart, 0);
    EXPECT_EQ(s.OptionSamD, 1);
    EXPECT_TRUE(s.CheckSlideShow);
    EXPECT_FALSE(s.CheckUseFileList);
    // Slide time and columns are texts the pages print: kept whatever they hold.
    EXPECT_EQ(s.TextSlideTime, "soon");
    EXPECT_EQ(s.TextAllListWidth, "-3");
    EXPECT_EQ(s.TextFilelistWidth, 0);
    EXPECT_EQ(s.TextFilelistHeight, 7);
    // Box sizes are kept within 1..100000, so no scaling can overflow.
    EXPECT_EQ(s.TextSamWidth, 100000);
    EXPECT_EQ(s.TextSamHeight, 1);
    EXPECT_EQ(s.CheckOpen, (std::array<bool, 4>{false, true, false, true}));
    // A level too large for the threshold leaves the log off.
    writeIni("[Log]\r\nLevel=40000\r\n");
    EXPECT_EQ(load().LogLevel, 0);
    EXPECT_FALSE(fs::exists(log_));
}

TEST_F(SettingsTest, LoadLogsBannerAndEveryValueInTableOrder) {
    writeIni("[Log]\r\nLevel=1\r\n[Html]\r\nTitle=旅\r\n[Link]\r\nUrl2=../up.html\r\n");
    std::vector<std::pair<std::string, std::string>> applied;
    Settings s;
    int calls = 0;
    mainGetIni(ini_, folder_, s, [&](const SettingRow& row, const Settings&) {
        // The window may show each value as soon as it is read, before it is logged.
        ++calls;
        const std::string key = std::string(row.section) + "/" + row.key;
        if (key == "Path/Start" || key == "Html/Start" || key == "Html/TUse" ||
            key == "Link/Url2" || key == "Ini/Language") {
            applied.emplace_back(key, logLines().back());
        }
    });
    const std::string f = folder_;
    const std::vector<std::string> expected = {
        "[mainGetIni] ▼▼▼Start Mivo Var." + versionText() + "▼▼▼",
        "[mainGetIni] ▽Start Method▽",
        "[mainGetIni] LogLevel=[1]",
        "[mainGetIni] gstrModeF=[1]",
        "[mainGetIni] PicPath=[" + f + "]",
        "[mainGetIni] SamPath=[" + f + "]",
        "[mainGetIni] IndexPath=[" + f + "/index.html]",
        "[mainGetIni] HtmlPath=[]",
        "[mainGetIni] MenuPath=[" + f + "/index.html]",
        "[mainGetIni] MenuHtmlPath=[]",
        "[mainGetIni] StartName=[]",
        "[mainGetIni] Body=[<body bgcolor=\"white\" text=\"black\">]",
        "[mainGetIni] Title=[旅]",
        "[mainGetIni] gstrStartTypeF=[0]",
        "[mainGetIni] gstrUseFilelistF=[0]",
        "[mainGetIni] gstrFilelistWF=[0]",
        "[mainGetIni] gstrFilelistHF=[0]",
        "[mainGetIni] gstrUseSlideF=[1]",
        "[mainGetIni] gstrSlideTimeF=[5]",
        "[mainGetIni] gstrSamUseF=[1]",
        "[mainGetIni] gstrSamWidthF=[160]",
        "[mainGetIni] gstrSamHeightF=[160]",
        "[mainGetIni] gstrAllListF=[4]",
        "[mainGetIni] gstrLink1=[メニュー,../index.html,]",
        "[mainGetIni] gstrLink2=[戻る,../up.html,]",
        "[mainGetIni] gstrLink3=[進む,../index.html,]",
        "[mainGetIni] gstrLaunch1=[機能1,1,,]",
        "[mainGetIni] gstrLaunch2=[機能2,1,,]",
        "[mainGetIni] gstrLaunch3=[機能3,1,,]",
        "[mainGetIni] gstrLaunch4=[機能4,1,,]",
        "[mainGetIni] △End Method△",
    };
    EXPECT_EQ(logLines(), expected);

    const std::vector<std::pair<std::string, std::string>> expectedRows = {
        {"Path/Start", "[mainGetIni] MenuHtmlPath=[]"},
        {"Html/Start", "[mainGetIni] Title=[旅]"},
        {"Html/TUse", "[mainGetIni] gstrSlideTimeF=[5]"},
        // A link is logged once, after both of its keys.
        {"Link/Url2", "[mainGetIni] gstrLink1=[メニュー,../index.html,]"},
        {"Ini/Language", "[mainGetIni] gstrLaunch4=[機能4,1,,]"},
    };
    EXPECT_EQ(calls, static_cast<int>(settingRows().size()) - 1) << "every row but the level";
    EXPECT_EQ(applied, expectedRows);
}

TEST_F(SettingsTest, LevelTwoLogsOnlyTheBannerAndLevelThreeNothing) {
    writeIni("[Log]\r\nLevel=2\r\n");
    load();
    EXPECT_EQ(logLines(),
              std::vector<std::string>{"[mainGetIni] ▼▼▼Start Mivo Var." + versionText() + "▼▼▼"});
    fs::remove(log_);
    writeIni("[Log]\r\nLevel=3\r\n");
    EXPECT_EQ(load().LogLevel, 3);
    EXPECT_FALSE(fs::exists(log_));
}

TEST_F(SettingsTest, SaveWritesOnlyWhatChanged) {
    const Settings d = load();
    struct Row {
        std::function<void(Settings&)> change;
        std::string written;
    };
    const std::vector<Row> rows = {
        // Switching the mode away and back again is no change.
        {[](Settings& s) { s.OptionMenu = 1; }, "(no file)"},
        {[](Settings& s) { s.TextTitle = "Trip"; }, "[Html]\r\nTitle=Trip\r\n"},
        {[](Settings& s) { s.TextTitle = ""; }, "[Html]\r\nTitle=\"\"\r\n"},
        {[](Settings& s) { s.TextLinkURL[2] = "../next.html"; },
         "[Link]\r\nName3=進む\r\nUrl3=../next.html\r\n"},
        {[](Settings& s) { s.CheckOpen[1] = false; },
         "[Launcher]\r\nName2=機能2\r\nUse2=0\r\nPath2=\"\"\r\n"},
        {[](Settings& s) { s.OptionMenu = 0; }, "[Ini]\r\nMode=0\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.written);
        Settings c = d;
        row.change(c);
        EXPECT_EQ(saveFromDefaults(c), row.written);
    }
    // An empty title written as "" reads back empty.
    Settings untitled = d;
    untitled.TextTitle = "";
    saveFromDefaults(untitled);
    EXPECT_EQ(load().TextTitle, "");

    // Unusable stored values loaded as their defaults: the unchanged window writes nothing.
    writeIni("[Ini]\r\nMode=x\r\n[Html]\r\nTWidth=abc\r\nTime= 05 \r\n");
    const Settings odd = load();
    mainSetIni(ini_, odd, odd);
    EXPECT_EQ(readIni(), "[Ini]\r\nMode=x\r\n[Html]\r\nTWidth=abc\r\nTime= 05 \r\n");
}

TEST_F(SettingsTest, EveryRowSurvivesASaveAndALoad) {
    // Each row in turn gets a value other than its default; saved and loaded again, the whole
    // record comes back equal, and a second save has nothing left to write.
    for (const SettingRow& row : settingRows()) {
        if (row.saveOrder < 0) {
            continue;
        }
        SCOPED_TRACE(std::string(row.section) + "/" + row.key);
        fs::remove(ini_);
        const Settings loaded = load();
        Settings changed = loaded;
        const std::string was = row.storedText(loaded);
        const std::string other =
            row.kind == SettingKind::Flag || row.kind == SettingKind::OptionIndex
                ? (was == "1" ? "0" : "1")
            : row.kind == SettingKind::WholeNumber ? "77"
            // A relative path would come back taken from the settings folder.
            : row.kind == SettingKind::Path ? was + "/値 x"
                                            : "値 " + was + " x";
        ASSERT_TRUE(row.parse(other, changed));
        ASSERT_TRUE(mainSetIni(ini_, loaded, changed));
        const Settings back = load();
        // Rows whose default follows the picture folder follow its new value: compare the row.
        EXPECT_EQ(row.storedText(back), row.storedText(changed));
        if (row.kind != SettingKind::Path) {
            EXPECT_EQ(back, changed);
        }
        const std::string bytes = readBytes(ini_);
        EXPECT_TRUE(mainSetIni(ini_, back, back));
        EXPECT_EQ(readBytes(ini_), bytes);
    }
}

TEST_F(SettingsTest, AStoredFileLoadsToItsValuesAndAnUnchangedExitKeepsItsBytes) {
    // A file as the program writes it, with a comment, an unknown key and an extra section.
    const std::string stored = "; my settings\r\n[Ini]\r\nMode=0\r\n\r\n[Path]\r\nPic=/p/写真\r\n"
                               "Index=/site/index.html\r\nHtml=pages\r\nStart=a.jpg\r\n"
                               "Custom=keep me\r\n\r\n[Html]\r\nTitle=旅\r\nTitleS=\"\"\r\n"
                               "Start=1\r\nSlide=0\r\nTime=9\r\nTUse=0\r\nTWidth=200\r\n"
                               "LWidth=0\r\n\r\n[Filelist]\r\nUse=1\r\nWidth=2\r\nHeight=3\r\n"
                               "\r\n[Link]\r\nName1=Home\r\nUrl1=/\r\n\r\n[Launcher]\r\n"
                               "Name4=GIMP\r\nUse4=0\r\nPath4=/usr/bin/gimp\r\n\r\n[Mine]\r\nx=1";
    writeIni(stored);
    const std::string bytes = readBytes(ini_);
    const Settings s = load();
    EXPECT_EQ(s.OptionMenu, 0);
    EXPECT_EQ(s.gstrPicPath, "/p/写真");
    EXPECT_EQ(s.gstrSamPath, "/p/写真");
    EXPECT_EQ(s.gstrHtmlPath, "pages");
    EXPECT_EQ(s.gstrStartName, "a.jpg");
    EXPECT_EQ(s.TextTitle, "旅");
    EXPECT_EQ(s.TextTitleS, "");
    EXPECT_EQ(s.OptionStart, 1);
    EXPECT_FALSE(s.CheckSlideShow);
    EXPECT_EQ(s.TextSlideTime, "9");
    EXPECT_EQ(s.OptionSamD, 0);
    EXPECT_EQ(s.TextSamWidth, 200);
    EXPECT_EQ(s.TextAllListWidth, "0");
    EXPECT_TRUE(s.CheckUseFileList);
    EXPECT_EQ(s.TextFilelistWidth, 2);
    EXPECT_EQ(s.TextLinkName[0], "Home");
    EXPECT_EQ(s.TextOpenName[3], "GIMP");
    EXPECT_FALSE(s.CheckOpen[3]);
    EXPECT_TRUE(mainSetIni(ini_, s, s));
    EXPECT_EQ(readBytes(ini_), bytes);

    // One change rewrites its own line; every other byte stays, the last line included.
    Settings c = s;
    c.TextTitle = "京都";
    EXPECT_TRUE(mainSetIni(ini_, s, c));
    std::string expected = stored;
    expected.replace(expected.find("Title=旅"), std::string("Title=旅").size(), "Title=京都");
    EXPECT_EQ(readIni(), expected);
}

TEST_F(SettingsTest, SlideTimeAndColumnsLoadAndSaveAsTheyWereTyped) {
    struct Row {
        std::string time;
        std::string columns;
    };
    for (const Row& row : {Row{"1.5", "4"}, Row{"0.5", "04"}, Row{"3", "0"}, Row{"", "x"}}) {
        SCOPED_TRACE(row.time + " / " + row.columns);
        writeIni("[Html]\r\nTime=" + row.time + "\r\nLWidth=" + row.columns + "\r\n");
        const std::string bytes = readBytes(ini_);
        const Settings s = load();
        EXPECT_EQ(s.TextSlideTime, row.time);
        EXPECT_EQ(s.TextAllListWidth, row.columns);
        EXPECT_TRUE(mainSetIni(ini_, s, s));
        EXPECT_EQ(readBytes(ini_), bytes);
        // A changed text is written as it stands.
        Settings changed = s;
        changed.TextSlideTime = "2.25";
        EXPECT_TRUE(mainSetIni(ini_, s, changed));
        EXPECT_EQ(load().TextSlideTime, "2.25");
    }
}

TEST_F(SettingsTest, RelativeStoredPathsAreTakenFromTheSettingsFolder) {
    // Loaded from a working folder elsewhere: the folder that holds Mivo.ini decides.
    const std::string stored = "[Path]\r\nPic=pics\r\nThum=../thumbs/\r\n"
                               "Index=site/./x.html\r\nHtml=pages\r\nMenu=../../m.html\r\n"
                               "MenuH=menus\r\n[Html]\r\nTitle=旅\r\n";
    writeIni(stored);
    const std::string bytes = readBytes(ini_);
    const fs::path working = fs::current_path();
    fs::current_path("/");
    const Settings s = load();
    fs::current_path(working);
    const fs::path base(folder_);
    EXPECT_EQ(s.gstrPicPath, folder_ + "/pics");
    EXPECT_EQ(s.gstrSamPath, (base.parent_path() / "thumbs").string());
    EXPECT_EQ(s.gstrIndexPath, folder_ + "/site/x.html");
    EXPECT_EQ(s.gstrMenuPath, (base.parent_path().parent_path() / "m.html").string());
    // These two name folders below the page's own folder: they stay as stored.
    EXPECT_EQ(s.gstrHtmlPath, "pages");
    EXPECT_EQ(s.gstrMenuHtmlPath, "menus");

    // Paths missing from the file follow the resolved picture folder.
    writeIni("[Path]\r\nPic=./pics/\r\n");
    const Settings followers = load();
    EXPECT_EQ(followers.gstrSamPath, folder_ + "/pics");
    EXPECT_EQ(followers.gstrIndexPath, folder_ + "/pics/index.html");

    // An exit without a change keeps the stored text; a change writes its own row only.
    writeIni(stored);
    EXPECT_TRUE(mainSetIni(ini_, s, s));
    EXPECT_EQ(readBytes(ini_), bytes);
    Settings c = s;
    c.TextTitle = "京都";
    c.gstrIndexPath = "/www/i.html";
    EXPECT_TRUE(mainSetIni(ini_, s, c));
    EXPECT_EQ(readIni(), "[Path]\r\nPic=pics\r\nThum=../thumbs/\r\nIndex=/www/i.html\r\n"
                         "Html=pages\r\nMenu=../../m.html\r\nMenuH=menus\r\n[Html]\r\n"
                         "Title=京都\r\n");
}

TEST_F(SettingsTest, AnUnreadableFileIsNeverReplaced) {
    writeIni("[Html]\r\nTitle=旅\r\n");
    const std::string bytes = readBytes(ini_);
    // The folder may be written, the file not read: only the program's own care keeps it.
    fs::permissions(folder_, fs::perms::all);
    fs::permissions(ini_, fs::perms::none);
    const auto check = [&] {
        Settings s;
        Settings c;
        std::string error;
        const bool loaded = mainGetIni(ini_, folder_, s);
        c = s;
        c.TextTitle = "new";
        const bool saved = mainSetIni(ini_, s, c, &error);
        return !loaded && s == defaultSettings(folder_) && !saved && !error.empty();
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(check());
    } else {
        // root reads anything: the check runs as the unprivileged user "nobody".
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && check() ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    fs::permissions(ini_, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readBytes(ini_), bytes);
}

TEST_F(SettingsTest, SaveFollowsTheSaveOrderAndLogs) {
    const Settings d = load();
    Settings c = d;
    c.OptionMenu = 0;
    c.gstrPicPath = "/p";
    c.gstrStartName = "a.jpg";
    c.TextBody = "<body>";
    c.TextTitleS = "s";
    c.OptionStart = 1;
    c.CheckUseFileList = true;
    c.TextFilelistHeight = 3;
    c.CheckSlideShow = false;
    c.TextSlideTime = "9";
    c.OptionSamD = 0;
    c.TextAllListWidth = "0";
    c.TextLinkName[0] = "Home";
    c.TextOpen[3] = "/usr/bin/gimp";
    EXPECT_EQ(saveFromDefaults(c), "[Ini]\r\nMode=0\r\n"
                                   "\r\n[Path]\r\nPic=/p\r\nStart=a.jpg\r\n"
                                   "\r\n[Html]\r\nTitleS=s\r\nBody=<body>\r\nStart=1\r\n"
                                   "Slide=0\r\nTime=9\r\nTUse=0\r\nLWidth=0\r\n"
                                   "\r\n[Filelist]\r\nUse=1\r\nHeight=3\r\n"
                                   "\r\n[Link]\r\nName1=Home\r\nUrl1=../index.html\r\n"
                                   "\r\n[Launcher]\r\nName4=機能4\r\nUse4=1\r\n"
                                   "Path4=/usr/bin/gimp\r\n");

    // The saved values load back as the window left them.
    const Settings back = load();
    EXPECT_EQ(back.OptionMenu, 0);
    EXPECT_EQ(back.gstrPicPath, "/p");
    EXPECT_EQ(back.gstrSamPath, "/p");
    EXPECT_FALSE(back.CheckSlideShow);
    EXPECT_EQ(back.TextOpen[3], "/usr/bin/gimp");

    // The exit trace: entry, one cmSetIni record per value written, exit.
    writeIni("[Log]\r\nLevel=1\r\n");
    const Settings logged = load();
    fs::remove(log_);
    Settings one = logged;
    one.TextSamWidth = 200;
    mainSetIni(ini_, logged, one);
    const std::vector<std::string> expected = {
        "[mainSetIni] ▽Start Method▽", "[cmSetIni] ▽Start Method▽", "instrSection=[Html]",
        "instrKeyName=[TWidth]",       "instrValue=[200]",          "[cmSetIni] △End Method△",
        "[mainSetIni] △End Method△",
    };
    EXPECT_EQ(logLines(), expected);
    EXPECT_EQ(readIni(), "[Log]\r\nLevel=1\r\n\r\n[Html]\r\nTWidth=200\r\n");
}

TEST_F(SettingsTest, LongAndNonCp932TextsSurviveARestart) {
    const Settings d = load();
    Settings c = d;
    c.TextBody = "<body style=\"" + std::string(300, 'x') + "\">";
    c.TextTitle = "Café 😀";
    c.gstrPicPath = "/home/u/写真/été";
    mainSetIni(ini_, d, c);
    EXPECT_EQ(readBytes(ini_).substr(0, 3), std::string(kUtf8Bom));
    const Settings s = load();
    EXPECT_EQ(s.TextBody, c.TextBody);
    EXPECT_EQ(s.TextTitle, "Café 😀");
    EXPECT_EQ(s.gstrPicPath, "/home/u/写真/été");
}

} // namespace
} // namespace mivo
