#include "settings/settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "common/codepage.h"
#include "common/log.h"
#include "common/program.h"
#include "settings/ini_file.h"

namespace fs = std::filesystem;

namespace mivo {
namespace {

/// The values the window would hold right after start-up, when nothing has changed yet.
CurrentSettings unchangedFrom(const Settings& s) {
    CurrentSettings c;
    c.OptionMenu = cmOptionValue(s.gstrModeF, 1, 1);
    c.gstrPicPath = s.gstrPicPath;
    c.gstrSamPath = s.gstrSamPath;
    c.gstrIndexPath = s.gstrIndexPath;
    c.gstrHtmlPath = s.gstrHtmlPath;
    c.gstrMenuPath = s.gstrMenuPath;
    c.gstrMenuHtmlPath = s.gstrMenuHtmlPath;
    c.gstrStartName = s.gstrStartName;
    c.TextTitle = s.gstrTitleF;
    c.TextTitleS = s.gstrTitleSF;
    c.TextBody = s.gstrBodyF;
    c.OptionStart = cmOptionValue(s.gstrStartTypeF, 0, 1);
    c.CheckUseFileList = cmOptionValue(s.gstrUseFilelistF, 0, 1);
    c.TextFilelistWidth = s.gstrFilelistWF;
    c.TextFilelistHeight = s.gstrFilelistHF;
    c.CheckSlideShow = cmOptionValue(s.gstrUseSlideF, 1, 1);
    c.TextSlideTime = s.gstrSlideTimeF;
    c.OptionSamD = cmOptionValue(s.gstrSamUseF, 1, 1);
    c.TextSamWidth = s.gstrSamWidthF;
    c.TextSamHeight = s.gstrSamHeightF;
    c.TextAllListWidth = s.gstrAllListF;
    c.TextLinkName = s.gstrLinkName;
    c.TextLinkURL = s.gstrLinkUrl;
    c.TextOpenName = s.gstrLaunchName;
    for (std::size_t i = 0; i < c.CheckOpen.size(); ++i) {
        c.CheckOpen[i] = cmOptionValue(s.gstrLaunchUse[i], 1, 1);
    }
    c.TextOpen = s.gstrLaunchPath;
    return c;
}

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        folder_ = (fs::temp_directory_path() / ("mivo_settings_test_" + std::to_string(::getpid()) +
                                                "_" + std::to_string(counter++)))
                      .string();
        fs::create_directories(folder_);
        ini_ = cmIniPath(folder_);
        log_ = cmLogPath(folder_);
    }
    void TearDown() override {
        cmSetLogLevel(0);
        cmSetLogPath("");
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    void writeIni(const std::string& utf8) {
        std::ofstream(ini_, std::ios::binary) << cmEncodeCp932(utf8, Cp932Fallback::Question);
    }
    std::string readBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    std::string readIni() { return cmDecodeText(readBytes(ini_)); }
    /// The log's lines with their date and time cut off.
    std::vector<std::string> logLines() {
        static const std::regex stamp(R"(^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} )");
        const std::string text = cmDecodeCp932(readBytes(log_));
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
    std::string saveFromDefaults(const CurrentSettings& current) {
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
    EXPECT_EQ(s.gstrModeF, "1");
    EXPECT_EQ(s.gstrPicPath, folder_);
    EXPECT_EQ(s.gstrSamPath, folder_);
    EXPECT_EQ(s.gstrIndexPath, page);
    EXPECT_EQ(s.gstrHtmlPath, "");
    EXPECT_EQ(s.gstrMenuPath, page);
    EXPECT_EQ(s.gstrMenuHtmlPath, "");
    EXPECT_EQ(s.gstrStartName, "");
    EXPECT_EQ(s.gstrBodyF, "<body bgcolor=\"white\" text=\"black\">");
    EXPECT_EQ(s.gstrTitleF, "アルバム");
    EXPECT_EQ(s.gstrTitleSF, "写真");
    EXPECT_EQ(s.gstrStartTypeF, "0");
    EXPECT_EQ(s.gstrUseFilelistF, "0");
    EXPECT_EQ(s.gstrFilelistWF, "0");
    EXPECT_EQ(s.gstrFilelistHF, "0");
    EXPECT_EQ(s.gstrUseSlideF, "1");
    EXPECT_EQ(s.gstrSlideTimeF, "5");
    EXPECT_EQ(s.gstrSamUseF, "1");
    EXPECT_EQ(s.gstrSamWidthF, "160");
    EXPECT_EQ(s.gstrSamHeightF, "160");
    EXPECT_EQ(s.gstrAllListF, "4");
    EXPECT_EQ(s.gstrLinkName, (std::array<std::string, 3>{"メニュー", "戻る", "進む"}));
    EXPECT_EQ(s.gstrLinkUrl,
              (std::array<std::string, 3>{"../index.html", "../index.html", "../index.html"}));
    EXPECT_EQ(s.gstrLaunchName, (std::array<std::string, 4>{"機能1", "機能2", "機能3", "機能4"}));
    EXPECT_EQ(s.gstrLaunchUse, (std::array<std::string, 4>{"1", "1", "1", "1"}));
    EXPECT_EQ(s.gstrLaunchPath, (std::array<std::string, 4>{"", "", "", ""}));

    // Quitting without a change leaves no file behind, and no log either.
    mainSetIni(ini_, s, unchangedFrom(s));
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

TEST_F(SettingsTest, ValuesThatNameNoOptionFallBackToTheirDefaults) {
    writeIni("[Log]\r\nLevel=verbose\r\n"
             "[Ini]\r\nMode=2\r\n"
             "[Html]\r\nStart=1.5\r\nTUse=-1\r\nSlide=yes\r\nTime=soon\r\n"
             "[Filelist]\r\nUse=\r\nWidth=w\r\n"
             "[Launcher]\r\nUse1=0\r\nUse2=on\r\nUse3= 0 \r\n");
    const Settings s = load();
    EXPECT_EQ(s.LogLevel, 0);
    EXPECT_EQ(s.gstrModeF, "1");
    EXPECT_EQ(s.gstrStartTypeF, "0");
    EXPECT_EQ(s.gstrSamUseF, "1");
    EXPECT_EQ(s.gstrUseSlideF, "1");
    EXPECT_EQ(s.gstrUseFilelistF, "0");
    // Plain texts stay as they are.
    EXPECT_EQ(s.gstrSlideTimeF, "soon");
    EXPECT_EQ(s.gstrFilelistWF, "w");
    EXPECT_EQ(s.gstrLaunchUse, (std::array<std::string, 4>{"0", "1", "0", "1"}));
    // A level too large for the threshold leaves the log off.
    writeIni("[Log]\r\nLevel=40000\r\n");
    EXPECT_EQ(load().LogLevel, 0);
    EXPECT_FALSE(fs::exists(log_));

    EXPECT_EQ(cmOptionValue("1", 0, 1), 1);
    EXPECT_EQ(cmOptionValue(" 0 ", 1, 1), 0);
    EXPECT_EQ(cmOptionValue("2", 1, 1), 1);
    EXPECT_EQ(cmOptionValue("x", 0, 1), 0);
}

TEST_F(SettingsTest, LoadLogsBannerAndEveryValueInTableOrder) {
    writeIni("[Log]\r\nLevel=1\r\n[Html]\r\nTitle=旅\r\n[Link]\r\nUrl2=../up.html\r\n");
    std::vector<std::pair<IniControlRow, std::string>> applied;
    Settings s;
    mainGetIni(ini_, folder_, s, [&](IniControlRow row, const Settings&) {
        // Each control is set before its value is logged.
        applied.emplace_back(row, logLines().back());
    });
    const std::string f = folder_;
    const std::vector<std::string> expected = {
        "[mainGetIni] ▼▼▼Start Mivo Var." + cmVersionText() + "▼▼▼",
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

    const std::vector<std::pair<IniControlRow, std::string>> expectedRows = {
        {IniControlRow::StartType, "[mainGetIni] Title=[旅]"},
        {IniControlRow::UseFilelist, "[mainGetIni] gstrStartTypeF=[0]"},
        {IniControlRow::FilelistWidth, "[mainGetIni] gstrUseFilelistF=[0]"},
        {IniControlRow::FilelistHeight, "[mainGetIni] gstrFilelistWF=[0]"},
        {IniControlRow::UseSlide, "[mainGetIni] gstrFilelistHF=[0]"},
        {IniControlRow::SlideTime, "[mainGetIni] gstrUseSlideF=[1]"},
        {IniControlRow::SamUse, "[mainGetIni] gstrSlideTimeF=[5]"},
        {IniControlRow::SamWidth, "[mainGetIni] gstrSamUseF=[1]"},
        {IniControlRow::SamHeight, "[mainGetIni] gstrSamWidthF=[160]"},
        {IniControlRow::AllList, "[mainGetIni] gstrSamHeightF=[160]"},
    };
    EXPECT_EQ(applied, expectedRows);
}

TEST_F(SettingsTest, LevelTwoLogsOnlyTheBannerAndLevelThreeNothing) {
    writeIni("[Log]\r\nLevel=2\r\n");
    load();
    EXPECT_EQ(logLines(), std::vector<std::string>{"[mainGetIni] ▼▼▼Start Mivo Var." +
                                                   cmVersionText() + "▼▼▼"});
    fs::remove(log_);
    writeIni("[Log]\r\nLevel=3\r\n");
    EXPECT_EQ(load().LogLevel, 3);
    EXPECT_FALSE(fs::exists(log_));
}

TEST_F(SettingsTest, SaveWritesOnlyWhatChanged) {
    const Settings d = load();
    CurrentSettings c = unchangedFrom(d);

    // Switching the mode away and back again is no change.
    c.OptionMenu = 1;
    EXPECT_EQ(saveFromDefaults(c), "(no file)");

    c = unchangedFrom(d);
    c.TextTitle = "Trip";
    EXPECT_EQ(saveFromDefaults(c), "[Html]\r\nTitle=Trip\r\n");

    c = unchangedFrom(d);
    c.TextTitle = "";
    EXPECT_EQ(saveFromDefaults(c), "[Html]\r\nTitle=\"\"\r\n");
    EXPECT_EQ(load().gstrTitleF, "");

    c = unchangedFrom(d);
    c.TextLinkURL[2] = "../next.html";
    EXPECT_EQ(saveFromDefaults(c), "[Link]\r\nName3=進む\r\nUrl3=../next.html\r\n");

    c = unchangedFrom(d);
    c.CheckOpen[1] = 0;
    EXPECT_EQ(saveFromDefaults(c), "[Launcher]\r\nName2=機能2\r\nUse2=0\r\nPath2=\"\"\r\n");

    c = unchangedFrom(d);
    c.OptionMenu = 0;
    EXPECT_EQ(saveFromDefaults(c), "[Ini]\r\nMode=0\r\n");

    // An unusable stored mode loaded as its default: the unchanged window writes nothing.
    writeIni("[Ini]\r\nMode=x\r\n");
    const Settings odd = load();
    mainSetIni(ini_, odd, unchangedFrom(odd));
    EXPECT_EQ(readIni(), "[Ini]\r\nMode=x\r\n");
}

TEST_F(SettingsTest, SaveFollowsTheSaveOrderAndLogs) {
    const Settings d = load();
    CurrentSettings c = unchangedFrom(d);
    c.OptionMenu = 0;
    c.gstrPicPath = "/p";
    c.gstrStartName = "a.jpg";
    c.TextBody = "<body>";
    c.TextTitleS = "s";
    c.OptionStart = 1;
    c.CheckUseFileList = 1;
    c.TextFilelistHeight = "3";
    c.CheckSlideShow = 0;
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

    // The saved values load back as the window left them, and nothing is left to save.
    const Settings again = load();
    const CurrentSettings back = unchangedFrom(again);
    EXPECT_EQ(back.OptionMenu, 0);
    EXPECT_EQ(back.gstrPicPath, "/p");
    EXPECT_EQ(back.gstrSamPath, "/p");
    EXPECT_EQ(back.CheckSlideShow, 0);
    EXPECT_EQ(back.TextOpen[3], "/usr/bin/gimp");

    // The exit trace: entry, one cmSetIni record per value written, exit.
    writeIni("[Log]\r\nLevel=1\r\n");
    const Settings logged = load();
    fs::remove(log_);
    CurrentSettings one = unchangedFrom(logged);
    one.TextSamWidth = "200";
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
    CurrentSettings c = unchangedFrom(d);
    c.TextBody = "<body style=\"" + std::string(300, 'x') + "\">";
    c.TextTitle = "Café 😀";
    c.gstrPicPath = "/home/u/写真/été";
    mainSetIni(ini_, d, c);
    EXPECT_EQ(readBytes(ini_).substr(0, 3), std::string(kUtf8Bom));
    const Settings s = load();
    EXPECT_EQ(s.gstrBodyF, c.TextBody);
    EXPECT_EQ(s.gstrTitleF, "Café 😀");
    EXPECT_EQ(s.gstrPicPath, "/home/u/写真/été");
}

} // namespace
} // namespace mivo
