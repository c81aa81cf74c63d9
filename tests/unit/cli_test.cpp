#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "common/codepage.h"
#include "common/text_file.h"
#include "generation/startup.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::readBytes;
using test::TempDir;

std::string cp932(const std::string& utf8) {
    return cmEncodeCp932(utf8, Cp932Fallback::Question);
}

std::string gifBytes() {
    return std::string("GIF89a\x28\x00\x1e\x00\x80\x00\x00", 13);
}

/// A program folder holding a copy of mivo-make, small templates and pictures.
class MivoMakeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        prog = dir.mkdir("prog");
        std::error_code ec;
        std::filesystem::copy_file(MIVO_MAKE_PATH, prog + "/mivo-make", ec);
        ASSERT_FALSE(ec) << ec.message();
        dir.write("prog/html/list.html",
                  "MV_SUB_TITLE\r\nMV_TABLE_START\r\n<img src=\"MV_IMG_SRC\">\r\nMV_TABLE_END\r\n");
        dir.write("prog/html/index.html", "MV_LIST_HTML\r\nMV_LIST_ARRAY\r\n");
        dir.write("prog/html/pict.html", "MV_INDEX_HTML\r\n");
        dir.write("prog/html/menu.html", "MV_MENU_ARRAY\r\n");
        dir.write("pics/b.gif", gifBytes());
        dir.write("pics/a.gif", gifBytes());
        dir.mkdir("out");
    }

    void writeIni(const std::string& text) { dir.write("prog/Mivo.ini", cp932(text)); }

    /// Runs the program (or `command` in its place) with `args`; fills out and err.
    int run(const std::string& args, const std::string& command = "") {
        const std::string exe = command.empty() ? prog + "/mivo-make" : command;
        const std::string line = "'" + exe + "' " + args + " >'" + (dir / "stdout") + "' 2>'" +
                                 (dir / "stderr") + "' </dev/null";
        const int status = std::system(line.c_str());
        out = readBytes(dir / "stdout");
        err = readBytes(dir / "stderr");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<std::string> outLines() const { return cmSplitLines(out); }

    TempDir dir;
    std::string prog;
    std::string out;
    std::string err;
};

TEST_F(MivoMakeTest, TakesNoArgumentsButHelpAndVersion) {
    EXPECT_EQ(run("--version"), 0);
    EXPECT_EQ(out.rfind("mivo-make ", 0), 0u);
    EXPECT_EQ(run("--help"), 0);
    EXPECT_NE(out.find("usage: mivo-make"), std::string::npos);
    for (const char* args : {"--bogus", "extra", "--help --version", "-v", "--jobs", "--jobs 0",
                             "--jobs two", "--jobs 65", "--jobs 2 extra"}) {
        EXPECT_EQ(run(args), 2) << args;
        EXPECT_EQ(out, "") << args;
        EXPECT_NE(err.find("usage: mivo-make"), std::string::npos) << args;
    }
    // Nothing was run: no pages and no state files.
    EXPECT_FALSE(std::filesystem::exists(prog + "/Mivo.ini"));
    EXPECT_FALSE(std::filesystem::exists(prog + "/Mivo.log"));
}

TEST_F(MivoMakeTest, SingleRunPrintsEveryStatusTextAndWritesNoSettings) {
    writeIni("[Ini]\r\nMode=1\r\n[Path]\r\nPic=" + (dir / "pics") +
             "\r\nIndex=" + (dir / "out/index.html") + "\r\n[Html]\r\nTUse=0\r\nTitleS=写真集\r\n");
    const std::string iniBefore = readBytes(prog + "/Mivo.ini");
    EXPECT_EQ(run(""), 0) << err;
    EXPECT_EQ(outLines(), (std::vector<std::string>{"チェック中です", "作成中です", "a (1/2)",
                                                    "b (2/2)", "完了しました"}));
    // stderr is no terminal here: no bar.
    EXPECT_EQ(err, "");
    EXPECT_NE(readBytes(dir / "out/index.html"), "<missing>");
    EXPECT_NE(readBytes(dir / "out/list.html").find(cp932("写真集")), std::string::npos);
    EXPECT_EQ(readBytes(prog + "/Mivo.ini"), iniBefore);
    EXPECT_FALSE(std::filesystem::exists(prog + "/Mivo.csv"));
    EXPECT_FALSE(std::filesystem::exists(prog + "/Mivo.log"));
}

TEST_F(MivoMakeTest, JobsChangesHowManyHeadersAreReadAtOnceButNotWhatIsMade) {
    for (int i = 0; i < 40; ++i) {
        dir.write("pics/p" + std::to_string(i) + ".gif", gifBytes());
    }
    writeIni("[Ini]\r\nMode=1\r\n[Path]\r\nPic=" + (dir / "pics") +
             "\r\nIndex=" + (dir / "out/index.html") + "\r\n[Html]\r\nTUse=0\r\n");
    ASSERT_EQ(run("--jobs 1"), 0) << err;
    const std::string outOne = out;
    const std::string listOne = readBytes(dir / "out/list.html");
    ASSERT_EQ(run("--jobs 16"), 0) << err;
    EXPECT_EQ(out, outOne);
    EXPECT_EQ(readBytes(dir / "out/list.html"), listOne);
    EXPECT_NE(listOne.find("p39.gif"), std::string::npos);
}

TEST_F(MivoMakeTest, MenuCheckFailurePrintsBothTextsAndFails) {
    dir.mkdir("empty");
    writeIni("[Ini]\r\nMode=0\r\n[Path]\r\nMenu=" + (dir / "out/menu.html") + "\r\n");
    dir.write("prog/Mivo.csv",
              cp932("旅行," + (dir / "pics") + ",,\r\n空," + (dir / "empty") + ",,\r\n"));
    const std::string listBefore = readBytes(prog + "/Mivo.csv");
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(outLines(), (std::vector<std::string>{"チェック中です", "チェック中です",
                                                    "画像フォルダに画像がありません",
                                                    "画像フォルダに画像がありません [空]"}));
    EXPECT_EQ(readBytes(prog + "/Mivo.csv"), listBefore);
    EXPECT_FALSE(std::filesystem::exists(prog + "/Mivo.ini.tmp"));
}

TEST_F(MivoMakeTest, VanishedPictureFolderIsForgottenAtStartUp) {
    writeIni("[Path]\r\nPic=" + (dir / "gone") + "\r\nIndex=" + (dir / "out/index.html") +
             "\r\n[Html]\r\nTUse=0\r\n");
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(outLines(), std::vector<std::string>{"画像フォルダの指定がありません"});
}

TEST_F(MivoMakeTest, ProgramFolderIsTheRealFolderBehindALink) {
    writeIni("[Log]\r\nLevel=2\r\n[Path]\r\nPic=" + (dir / "pics") +
             "\r\nIndex=" + (dir / "out/index.html") + "\r\n[Html]\r\nTUse=0\r\n");
    const std::string link = dir.mkdir("elsewhere") + "/mivo-make";
    std::filesystem::create_symlink(prog + "/mivo-make", link);
    EXPECT_EQ(run("", link), 0) << err;
    EXPECT_EQ(outLines().back(), "完了しました");
    // The log level of that folder's Mivo.ini opened its log there.
    EXPECT_NE(readBytes(prog + "/Mivo.log").find("Start Mivo"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere/Mivo.log"));
}

TEST(StartupSettings, FollowsWhatTheWindowShowsAfterStarting) {
    TempDir dir;
    const std::string pics = dir.mkdir("pics");
    const std::string site = dir.mkdir("site");
    Settings loaded;
    loaded.gstrModeF = "0";
    loaded.gstrSamUseF = "0";
    loaded.gstrUseFilelistF = "1";
    loaded.gstrPicPath = pics;
    loaded.gstrSamPath = dir / "gone";
    loaded.gstrIndexPath = site + "/top.html";
    loaded.gstrMenuPath = dir / "missing/menu.html";
    loaded.gstrStartName = "not-there.jpg";
    loaded.gstrTitleSF = "副題";
    loaded.gstrLinkName = {"a", "b", "c"};
    const MakeSettings s = cmStartupMakeSettings(loaded, "/prog");
    EXPECT_EQ(s.OptionMenu, 0);
    EXPECT_EQ(s.OptionSamH, 0);
    EXPECT_EQ(s.CheckUseFileList, 1);
    EXPECT_EQ(s.gstrPicPath, pics);
    EXPECT_EQ(s.gstrSamPath, "");
    // Page paths are kept; only the folder boxes fall back to the program folder.
    EXPECT_EQ(s.gstrIndexPath, site + "/top.html");
    EXPECT_EQ(s.DirIndex, site);
    EXPECT_EQ(s.gstrMenuPath, dir / "missing/menu.html");
    EXPECT_EQ(s.DirMenu, "/prog");
    EXPECT_EQ(s.gstrStartName, "not-there.jpg");
    EXPECT_EQ(s.TextTitleS, "副題");
    EXPECT_EQ(s.TextLinkName[2], "c");
    EXPECT_EQ(s.programFolder, "/prog");

    // A mode that names no option falls back to single mode.
    loaded.gstrModeF = "7";
    EXPECT_EQ(cmStartupMakeSettings(loaded, "/prog").OptionMenu, 1);
}

} // namespace
} // namespace mivo
