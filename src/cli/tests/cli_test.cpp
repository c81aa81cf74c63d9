#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "common/codepage.h"
#include "common/log.h"
#include "common/program.h"
#include "common/text_file.h"
#include "generation/plan/planners.h"
#include "generation/run/check.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::readBytes;
using test::TempDir;

std::string cp932(const std::string& utf8) {
    return encodeCp932(utf8, Cp932Fallback::Question);
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
        const std::string line = environment + "'" + exe + "' " + args + " >'" + (dir / "stdout") +
                                 "' 2>'" + (dir / "stderr") + "' </dev/null";
        const int status = std::system(line.c_str());
        out = readBytes(dir / "stdout");
        err = readBytes(dir / "stderr");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<std::string> fileLines() const { return splitLines(out); }

    TempDir dir;
    std::string environment; // shell words put before the program, such as "HOME=/x "
    std::string prog;
    std::string out;
    std::string err;
};

TEST_F(MivoMakeTest, TakesNoArgumentsButHelpAndVersion) {
    EXPECT_EQ(run("--version"), 0);
    EXPECT_EQ(out.rfind("mivo-make ", 0), 0u);
    // A program folder of the user's own keeps everything beside the program.
    EXPECT_NE(out.find("\nsettings: " + prog + "\ntemplates: " + prog + "/html\n"),
              std::string::npos);
    EXPECT_EQ(run("--help"), 0);
    EXPECT_NE(out.find("usage: mivo-make"), std::string::npos);
    for (const char* args :
         {"--bogus", "extra", "--help --version", "-v", "--jobs", "--jobs 0", "--jobs two",
          "--jobs 129", "--jobs 2 extra", "--publish extra", "--publish --publish-only",
          "--publish --publish", "--publish-only --jobs 2", "--help --publish"}) {
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
    EXPECT_EQ(fileLines(), (std::vector<std::string>{"チェック中です", "作成中です", "a (1/2)",
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
    const std::string firstOutput = out;
    const std::string listOne = readBytes(dir / "out/list.html");
    ASSERT_EQ(run("--jobs 16"), 0) << err;
    EXPECT_EQ(out, firstOutput);
    EXPECT_EQ(readBytes(dir / "out/list.html"), listOne);
    EXPECT_NE(listOne.find("p39.gif"), std::string::npos);
}

TEST_F(MivoMakeTest, UnwritablePageFailsNamingThePageAndTheReason) {
    writeIni("[Ini]\r\nMode=1\r\n[Path]\r\nPic=" + (dir / "pics") +
             "\r\nIndex=" + (dir / "out/index.html") + "\r\n[Html]\r\nTUse=0\r\n");
    dir.mkdir("out/list.html"); // a folder where the list page should go
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(fileLines().back(), "作成に失敗しました");
    EXPECT_NE(err.find((dir / "out/list.html") + ": 同じ名前のフォルダがあります\n"),
              std::string::npos)
        << err;
}

TEST_F(MivoMakeTest, MenuCheckFailurePrintsBothTextsAndFails) {
    dir.mkdir("empty");
    writeIni("[Ini]\r\nMode=0\r\n[Path]\r\nMenu=" + (dir / "out/menu.html") + "\r\n");
    dir.write("prog/Mivo.csv",
              cp932("旅行," + (dir / "pics") + ",,\r\n空," + (dir / "empty") + ",,\r\n"));
    const std::string listBefore = readBytes(prog + "/Mivo.csv");
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(fileLines(), (std::vector<std::string>{"チェック中です", "チェック中です",
                                                     "画像フォルダに画像がありません",
                                                     "画像フォルダに画像がありません [空]"}));
    EXPECT_EQ(readBytes(prog + "/Mivo.csv"), listBefore);
    EXPECT_FALSE(std::filesystem::exists(prog + "/Mivo.ini.tmp"));
}

TEST_F(MivoMakeTest, VanishedPictureFolderIsKeptAndNamedByTheRun) {
    writeIni("[Path]\r\nPic=" + (dir / "gone") + "\r\nIndex=" + (dir / "out/index.html") +
             "\r\n[Html]\r\nTUse=0\r\n");
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(fileLines(), (std::vector<std::string>{"チェック中です",
                                                     "画像フォルダを開けません [" + (dir / "gone") +
                                                         "] フォルダがありません"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
}

TEST_F(MivoMakeTest, EnglishDesktopGetsEnglishHelpAndMessages) {
    // The catalogue the build compiled, where an installed program folder has it.
    std::error_code ec;
    std::filesystem::copy(std::string(MIVO_BUILD_DIR) + "/locale", prog + "/locale",
                          std::filesystem::copy_options::recursive, ec);
    ASSERT_FALSE(ec) << ec.message();
    writeIni("[Ini]\r\nMode=1\r\n[Path]\r\nPic=" + (dir / "pics") +
             "\r\nIndex=" + (dir / "out/index.html") + "\r\n[Html]\r\nTUse=0\r\n");
    // en_US.UTF-8 is not generated here: the text of LANG decides.
    environment = "env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=en_US.UTF-8 ";
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(out.rfind("usage: mivo-make [--help | --version | [--jobs N] [--publish | "
                        "--publish-only]]\n\nMakes the gallery",
                        0),
              0u)
        << out;
    EXPECT_NE(out.find("  --jobs N   read N picture headers"), std::string::npos) << out;
    EXPECT_EQ(encodeCp932(out, Cp932Fallback::Question), out) << "not ASCII:\n" << out;
    EXPECT_EQ(run(""), 0) << err;
    EXPECT_EQ(fileLines(), (std::vector<std::string>{"Checking", "Making the gallery", "a (1/2)",
                                                     "b (2/2)", "Done"}));
    dir.mkdir("empty");
    writeIni("[Path]\r\nPic=" + (dir / "empty") + "\r\nIndex=" + (dir / "out/index.html") + "\r\n");
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(fileLines().back(), "The picture folder holds no pictures");

    // C stays Japanese; the setting overrides the desktop either way.
    environment = "env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=C ";
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(fileLines().back(), "画像フォルダに画像がありません");
    EXPECT_EQ(run("--help"), 0);
    EXPECT_NE(out.find("ギャラリーを作ります"), std::string::npos) << out;
    writeIni("[Ini]\r\nLanguage=en\r\n[Path]\r\nPic=" + (dir / "empty") + "\r\n");
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(fileLines().back(), "The picture folder holds no pictures");
    environment = "env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=en_GB.UTF-8 ";
    writeIni("[Ini]\r\nLanguage=ja\r\n[Path]\r\nPic=" + (dir / "empty") + "\r\n");
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(fileLines().back(), "画像フォルダに画像がありません");
}

TEST_F(MivoMakeTest, EnglishRunShowsComposedMessagesInEnglishAndLogsThemInJapanese) {
    std::error_code ec;
    std::filesystem::copy(std::string(MIVO_BUILD_DIR) + "/locale", prog + "/locale",
                          std::filesystem::copy_options::recursive, ec);
    ASSERT_FALSE(ec) << ec.message();
    environment = "env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=en_US.UTF-8 ";
    // A menu gallery's refusal names the gallery; the log keeps the Japanese text.
    dir.mkdir("empty");
    writeIni("[Log]\r\nLevel=1\r\n[Ini]\r\nMode=0\r\n[Path]\r\nMenu=" + (dir / "out/menu.html") +
             "\r\n");
    dir.write("prog/Mivo.csv",
              cp932("旅行," + (dir / "pics") + ",,\r\n空," + (dir / "empty") + ",,\r\n"));
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(fileLines(), (std::vector<std::string>{"Checking", "Checking",
                                                     "The picture folder holds no pictures",
                                                     "The picture folder holds no pictures [空]"}));
    const std::string log = decodeCp932(readBytes(prog + "/Mivo.log"));
    EXPECT_NE(log.find("instrMess=[画像フォルダに画像がありません [空]]"), std::string::npos);
    EXPECT_EQ(log.find("The picture folder"), std::string::npos);

    // A folder that cannot be opened, with the system's reason in English.
    writeIni("[Ini]\r\nMode=1\r\n[Path]\r\nPic=" + (dir / "gone") +
             "\r\nIndex=" + (dir / "out/index.html") + "\r\n[Html]\r\nTUse=0\r\n");
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(fileLines().back(),
              "The picture folder cannot be opened [" + (dir / "gone") + "]: no such folder");
    // A page that cannot be written: the run's failure names it and why.
    writeIni("[Ini]\r\nMode=1\r\n[Path]\r\nPic=" + (dir / "pics") +
             "\r\nIndex=" + (dir / "out/index.html") + "\r\n[Html]\r\nTUse=0\r\n");
    dir.mkdir("out/list.html");
    EXPECT_EQ(run(""), 1);
    EXPECT_EQ(fileLines().back(), "Making the gallery failed");
    EXPECT_NE(err.find("mivo-make: " + (dir / "out/list.html") +
                       ": a folder of the same name is there\n"),
              std::string::npos)
        << err;
}

TEST_F(MivoMakeTest, ProgramFolderIsTheRealFolderBehindALink) {
    writeIni("[Log]\r\nLevel=2\r\n[Path]\r\nPic=" + (dir / "pics") +
             "\r\nIndex=" + (dir / "out/index.html") + "\r\n[Html]\r\nTUse=0\r\n");
    const std::string link = dir.mkdir("elsewhere") + "/mivo-make";
    std::filesystem::create_symlink(prog + "/mivo-make", link);
    EXPECT_EQ(run("", link), 0) << err;
    EXPECT_EQ(fileLines().back(), "完了しました");
    // The log level of that folder's Mivo.ini opened its log there.
    EXPECT_NE(readBytes(prog + "/Mivo.log").find("Start Mivo"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere/Mivo.log"));
}

TEST_F(MivoMakeTest, SharedInstallStartsFromTheStarterInTheUsersConfigFolder) {
    // A program folder that ships starter settings belongs to no user: a new user's first
    // run takes the starter into ~/.config/mivo and makes the sample gallery in the home.
    dir.write("prog/starter/Mivo.ini",
              cp932("[Path]\r\nPic=" + (dir / "pics") +
                    "\r\nIndex=~/Mivo/sample-gallery/index.html\r\n[Html]\r\nTUse=0\r\n"));
    const std::string home = dir.mkdir("home");
    environment = "env -u XDG_CONFIG_HOME HOME='" + home + "' ";
    const std::string config = home + "/.config/mivo";

    EXPECT_EQ(run("--version"), 0);
    ASSERT_EQ(fileLines().size(), 3u);
    EXPECT_EQ(fileLines()[1], "settings: " + config);
    EXPECT_EQ(fileLines()[2], "templates: " + prog + "/html");
    EXPECT_FALSE(std::filesystem::exists(config));

    EXPECT_EQ(run(""), 0) << err;
    EXPECT_EQ(fileLines().back(), "完了しました");
    EXPECT_NE(readBytes(home + "/Mivo/sample-gallery/index.html"), "<missing>");
    EXPECT_NE(readBytes(config + "/Mivo.ini").find("Index=" + home + "/Mivo/sample-gallery/"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(prog + "/Mivo.ini"));

    // The user's copy of the templates is what pages are made from from then on.
    dir.write("home/.config/mivo/html/list.html", "MY OWN LIST\r\n");
    dir.write("home/.config/mivo/html/index.html", "MV_LIST_ARRAY\r\n");
    dir.write("home/.config/mivo/html/pict.html", "MY OWN PICT\r\n");
    EXPECT_EQ(run("--version"), 0);
    EXPECT_EQ(fileLines()[2], "templates: " + config + "/html");
    EXPECT_EQ(run(""), 0) << err;
    EXPECT_EQ(readBytes(home + "/Mivo/sample-gallery/list.html"), "MY OWN LIST\r\n");
    EXPECT_EQ(readBytes(home + "/Mivo/sample-gallery/pict.html"), "MY OWN PICT\r\n");
}

TEST_F(MivoMakeTest, PageNamesThatAreLinksAreReplacedAndWhatTheyPointAtIsKept) {
    namespace fs = std::filesystem;
    writeIni("[Log]\r\nLevel=4\r\n[Ini]\r\nMode=1\r\n[Path]\r\nPic=" + (dir / "pics") +
             "\r\nIndex=" + (dir / "out/index.html") + "\r\n[Html]\r\nTUse=0\r\n");
    dir.write("other/Mivo.ini", "[Ini]\r\nMode=0\r\n");
    dir.write("other/notes.txt", "mine\r\n");
    fs::create_symlink(dir / "pics/a.gif", dir / "out/index.html");
    fs::create_symlink(dir / "other/Mivo.ini", dir / "out/list.html");
    fs::create_symlink(dir / "other/notes.txt", dir / "out/pict.html");
    EXPECT_EQ(run(""), 0) << err;
    EXPECT_EQ(fileLines().back(), "完了しました");
    EXPECT_EQ(readBytes(dir / "pics/a.gif"), gifBytes());
    EXPECT_EQ(readBytes(dir / "other/Mivo.ini"), "[Ini]\r\nMode=0\r\n");
    EXPECT_EQ(readBytes(dir / "other/notes.txt"), "mine\r\n");
    for (const char* name : {"index.html", "list.html", "pict.html"}) {
        EXPECT_FALSE(fs::is_symlink(dir / ("out/" + std::string(name)))) << name;
        EXPECT_TRUE(fs::is_regular_file(dir / ("out/" + std::string(name)))) << name;
    }
    EXPECT_NE(readBytes(dir / "out/list.html").find("a.gif"), std::string::npos);
    const std::string log = readBytes(prog + "/Mivo.log");
    for (const char* name : {"index.html", "list.html", "pict.html"}) {
        EXPECT_NE(log.find("LinkReplaced [" + (dir / "out/") + name + "]"), std::string::npos)
            << log;
    }

    // The menu page of menu mode, a link to the gallery list itself.
    writeIni("[Ini]\r\nMode=0\r\n[Path]\r\nMenu=" + (dir / "out/menu.html") + "\r\n");
    dir.write("prog/Mivo.csv", cp932("旅行," + (dir / "pics") + ",,\r\n"));
    const std::string listBefore = readBytes(prog + "/Mivo.csv");
    fs::create_symlink(prog + "/Mivo.csv", dir / "out/menu.html");
    EXPECT_EQ(run(""), 0) << err;
    EXPECT_EQ(readBytes(prog + "/Mivo.csv"), listBefore);
    EXPECT_FALSE(fs::is_symlink(dir / "out/menu.html"));
    EXPECT_NE(readBytes(dir / "out/menu.html").find("001"), std::string::npos);
}

TEST_F(MivoMakeTest, RelativeStoredPathsAreTakenFromTheSettingsFolderNotTheWorkingFolder) {
    namespace fs = std::filesystem;
    // prog holds Mivo.ini. The run starts two levels further down elsewhere, where the same
    // relative paths would lead to folders that exist too.
    dir.write("prog/photos/a.gif", gifBytes());
    dir.mkdir("prog/sub");
    dir.mkdir("site");
    const std::string work = dir.mkdir("work/deeper");
    dir.mkdir("work/deeper/photos");
    dir.write("work/deeper/photos/z.gif", gifBytes());
    dir.mkdir("work/deeper/sub");
    dir.mkdir("work/site");
    environment = "cd '" + work + "' && ";
    writeIni("[Ini]\r\nMode=1\r\n[Path]\r\nPic=photos\r\nIndex=sub/x.html\r\n"
             "[Html]\r\nTUse=0\r\n");
    const std::string iniBefore = readBytes(prog + "/Mivo.ini");
    EXPECT_EQ(run(""), 0) << err;
    EXPECT_NE(readBytes(prog + "/sub/x.html"), "<missing>");
    EXPECT_NE(readBytes(prog + "/sub/list.html").find("a.gif"), std::string::npos);
    EXPECT_NE(readBytes(prog + "/sub/pict.html"), "<missing>");
    EXPECT_EQ(readBytes(prog + "/Mivo.ini"), iniBefore);

    // Menu mode: the menu page and the folders of the gallery list alike.
    writeIni("[Ini]\r\nMode=0\r\n[Path]\r\nMenu=../site/menu.html\r\n");
    dir.write("prog/Mivo.csv", cp932("旅行,photos,,\r\n"));
    EXPECT_EQ(run(""), 0) << err;
    EXPECT_NE(readBytes(dir / "site/menu.html"), "<missing>");
    EXPECT_NE(readBytes(dir / "site/001/list.html").find("a.gif"), std::string::npos);

    // Nothing landed below the working folder or beside it.
    EXPECT_TRUE(fs::is_empty(dir / "work/deeper/sub"));
    EXPECT_TRUE(fs::is_empty(dir / "work/site"));
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(dir / "work"),
                            fs::recursive_directory_iterator{}),
              5);
}

TEST(StartupSettings, FollowsWhatTheWindowShowsAfterStarting) {
    TempDir dir;
    const std::string prog = dir.mkdir("prog");
    const std::string pics = dir.mkdir("pics");
    const std::string site = dir.mkdir("site");
    const std::string ini = "[Ini]\r\nMode=0\r\n[Path]\r\nPic=" + pics +
                            "\r\nThum=" + (dir / "gone") + "\r\nIndex=" + site +
                            "/top.html\r\nMenu=" + (dir / "missing/menu.html") +
                            "\r\nStart=not-there.jpg\r\n[Html]\r\nTUse=0\r\nTitleS=副題\r\n"
                            "[Filelist]\r\nUse=1\r\n[Link]\r\nName1=a\r\nName2=b\r\nName3=c\r\n";
    dir.write("prog/Mivo.ini", cp932(ini));
    Settings s = defaultSettings(prog);
    ASSERT_TRUE(mainGetIni(iniFilePath(prog), prog, s));
    EXPECT_EQ(s.OptionMenu, 0);
    EXPECT_EQ(s.OptionSamD, 0);
    EXPECT_TRUE(s.CheckUseFileList);
    EXPECT_EQ(s.gstrPicPath, pics);
    // A stored folder that is missing is kept: the run names it.
    EXPECT_EQ(s.gstrSamPath, dir / "gone");
    // Page paths are kept, and the other pages go beside them, even when the folder is missing.
    EXPECT_EQ(s.gstrIndexPath, site + "/top.html");
    EXPECT_EQ(s.gstrMenuPath, dir / "missing/menu.html");
    EXPECT_EQ(pageFolderOf(planRun(s, {}).top), dir / "missing");
    Settings single = s;
    single.OptionMenu = 1;
    EXPECT_EQ(pageFolderOf(planRun(single, {}).top), site);
    EXPECT_EQ(s.gstrStartName, "not-there.jpg");
    EXPECT_EQ(s.TextTitleS, "副題");
    EXPECT_EQ(s.TextLinkName[2], "c");

    // A mode that names no option falls back to single mode.
    dir.write("prog/Mivo.ini", cp932("[Ini]\r\nMode=7\r\n"));
    ASSERT_TRUE(mainGetIni(iniFilePath(prog), prog, s));
    EXPECT_EQ(s.OptionMenu, 1);
    setLogLevel(0);
    setLogPath("");
}

TEST_F(MivoMakeTest, ItemsLeftOutAreNamedOnTheStatusLineAndEveryOneOnTheErrorOutput) {
    for (const char* name : {"c.png", "d.png", "e.png", "f.png"}) {
        dir.write("pics/" + std::string(name), "not a picture");
    }
    writeIni("[Ini]\r\nMode=1\r\n[Path]\r\nPic=" + (dir / "pics") + "\r\nIndex=" +
             (dir / "out/index.html") + "\r\n[Html]\r\nTUse=0\r\nReduce=1\r\nMedia=1\r\n");
    // The two GIFs are headers without pixels: with the media option they are left out too.
    EXPECT_EQ(run(""), 0) << err;
    const std::vector<std::string> lines = fileLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().starts_with("完了しました (載せられなかった画像・動画: "))
        << lines.back();
    EXPECT_TRUE(lines.back().ends_with(" ほか 3 件)")) << lines.back();
    EXPECT_TRUE(err.starts_with("載せられなかった画像・動画 (6 件):\n")) << err;
    for (const char* name : {"a.gif", "b.gif", "c.png", "d.png", "e.png", "f.png"}) {
        EXPECT_NE(err.find("  " + (dir / "pics/") + name + ": "), std::string::npos) << err;
    }
}

} // namespace
} // namespace mivo
