// The launcher buttons, the file picker and the commands that hand something to the desktop.

#include "window_fixture.h"

#include <cstdlib>

#include "common/program.h"
#include "window/open_target.h"

namespace mivo::test {
namespace {

class LauncherTest : public WindowTest {
  protected:
    FormMain& loadOnEtc() {
        FormMain& f = load();
        f.TabStripMivo->select(2);
        return f;
    }
};

TEST_F(LauncherTest, ButtonFollowsItsTickNameAndTarget) {
    writeIni("[Launcher]\nName1=Edit\nPath1=/usr/bin/editor\nName4=Gone\nUse4=0\n");
    FormMain& f = loadOnEtc();
    EXPECT_EQ(f.launchers.CommandOpen[0]->caption(), "Edit");
    EXPECT_TRUE(f.launchers.CommandOpen[0]->enabled());
    EXPECT_FALSE(f.launchers.CommandOpen[3]->visible());
    EXPECT_EQ(f.launchers.CommandOpen[3]->caption(), "Gone");

    f.launchers.CheckOpen[2]->click();
    EXPECT_FALSE(f.launchers.CommandOpen[2]->visible());
    f.launchers.CheckOpen[2]->click();
    EXPECT_TRUE(f.launchers.CommandOpen[2]->visible());
    EXPECT_EQ(f.launchers.CommandOpen[2]->caption(), "機能3");
    EXPECT_FALSE(f.launchers.CommandOpen[2]->enabled());
    f.launchers.CheckOpen[2]->setValue(2);
    EXPECT_FALSE(f.launchers.CommandOpen[2]->visible()) << "a grayed box counts as unticked";

    f.launchers.TextOpenName[0]->setText("E");
    EXPECT_EQ(f.launchers.CommandOpen[0]->caption(), "E");
    f.launchers.TextOpenName[0]->setText("");
    EXPECT_EQ(f.launchers.CommandOpen[0]->caption(), "");

    f.launchers.CommandOpen[0]->click();
    EXPECT_EQ(services.opened, std::vector<std::string>{"/usr/bin/editor"});
    EXPECT_EQ(services.openedParameters, std::vector<std::string>{""});
    f.launchers.TextOpen[0]->setText("");
    EXPECT_FALSE(f.launchers.CommandOpen[0]->enabled());
    f.launchers.CommandOpen[0]->click();
    EXPECT_EQ(services.opened.size(), 1u) << "a disabled launcher cannot be pressed";
}

TEST_F(LauncherTest, FilePickerStartsAtTheTargetAndTakesTheChosenFile) {
    const std::string tools = makeFolder(program / "tools");
    writeFile(tools + "/app", "x");
    writeIni("[Launcher]\nPath1=" + tools + "/app\nPath2=" + tools + "\n");
    FormMain& f = loadOnEtc();

    services.dialogAnswer = program / "x/y.txt";
    f.launchers.CommandOpenPath[0]->click();
    ASSERT_EQ(services.dialogsShown.size(), 1u);
    EXPECT_EQ(services.dialogsShown[0].InitDir, tools);
    EXPECT_EQ(services.dialogsShown[0].FileName, "app");
    EXPECT_EQ(services.dialogsShown[0].Filter, "*.*");
    EXPECT_EQ(f.launchers.TextOpen[0]->text(), program / "x/y.txt");

    // A target naming a folder opens the dialog in it with no name.
    services.dialogAnswer.reset();
    f.launchers.CommandOpenPath[1]->click();
    EXPECT_EQ(services.dialogsShown[1].InitDir, tools);
    EXPECT_EQ(services.dialogsShown[1].FileName, "");
    EXPECT_EQ(f.launchers.TextOpen[1]->text(), tools) << "cancel changes nothing";

    // An empty target: the dialog keeps its last folder and name; cancel leaves it empty,
    // choosing enables the button.
    f.launchers.CommandOpenPath[2]->click();
    EXPECT_EQ(services.dialogsShown[2].InitDir, tools);
    EXPECT_EQ(f.launchers.TextOpen[2]->text(), "");
    EXPECT_FALSE(f.launchers.CommandOpen[2]->enabled());
    services.dialogAnswer = tools + "/app";
    f.launchers.CommandOpenPath[2]->click();
    EXPECT_EQ(f.launchers.TextOpen[2]->text(), tools + "/app");
    EXPECT_TRUE(f.launchers.CommandOpen[2]->enabled());

    // A bare name without folder is not taken.
    services.dialogAnswer = "plain.txt";
    f.launchers.CommandOpenPath[3]->click();
    EXPECT_EQ(f.launchers.TextOpen[3]->text(), "");
}

TEST_F(LauncherTest, HelpShowsReadmeInTheViewerAndFailedOpeningsSayWhy) {
    const std::string site = makeFolder(program / "site");
    writeFile(site + "/index.html", "x");
    writeFile(program / "readme.txt", "\x83\x77\x83\x8b\x83\x76\r\n2\x8d\x73\x96\xda\r\n"); // cp932
    writeIni("[Ini]\nMode=0\n[Path]\nIndex=" + site + "/index.html\n");
    FormMain& f = loadOnEtc();

    f.launchers.CommandHelp->click();
    EXPECT_EQ(services.viewerText, "ヘルプ\n2行目\n");
    EXPECT_NE(services.viewerTitle.find("readme.txt"), std::string::npos);
    EXPECT_TRUE(services.opened.empty()) << "help is not handed to the desktop";

    // "Mivo" has no home page to open: it tells the version and the licence itself.
    writeFile(program / "LICENSE", "MIT License\n");
    f.launchers.CommandURL->click();
    EXPECT_TRUE(services.opened.empty());
    ASSERT_EQ(services.abouts.size(), 1U);
    EXPECT_EQ(services.abouts[0].rfind("Mivo について:Mivo " + versionText() + "\n", 0), 0U)
        << services.abouts[0];
    EXPECT_NE(services.abouts[0].find("MIT ライセンス"), std::string::npos);
    EXPECT_NE(services.abouts[0].find(program / "LICENSE"), std::string::npos);
    EXPECT_EQ(services.abouts[0].find("example."), std::string::npos);

    // The desktop refuses: a warning names the target and the reason.
    services.shellResult = false;
    services.failureReason = "開くアプリケーションがありません";
    ASSERT_TRUE(f.CommandOpenHtml->enabled());
    f.CommandOpenHtml->click();
    EXPECT_EQ(services.opened, (std::vector<std::string>{site + "/index.html"}))
        << "表示 opens the index page in menu mode too";
    ASSERT_EQ(services.warnings.size(), 1U);
    EXPECT_EQ(services.warnings[0],
              "Mivo:" + site + "/index.html を開けません。\n開くアプリケーションがありません");

    // A help file that is gone is said so too, with the system's reason.
    fs::remove(program / "readme.txt");
    f.launchers.CommandHelp->click();
    ASSERT_EQ(services.warnings.size(), 2U);
    EXPECT_EQ(services.warnings[1].find("Mivo:" + (program / "readme.txt") + " を開けません。\n"),
              0U);
    EXPECT_TRUE(services.messages.empty());
    EXPECT_FALSE(cmShellOpen("x", services, ""));
}

TEST_F(LauncherTest, LauncherTargetsAreFoundOnPathOrReadAsAddresses) {
    const std::string bin = makeFolder(program / "bin");
    writeFile(bin + "/gimp", "#!/bin/sh\n");
    fs::permissions(bin + "/gimp", fs::perms::owner_all);
    writeFile(bin + "/notes", "not executable");
    EXPECT_EQ(findProgramOnPath("gimp", "/no/such:" + bin), bin + "/gimp");
    EXPECT_EQ(findProgramOnPath("notes", bin), "");
    EXPECT_EQ(findProgramOnPath("bin/gimp", program.path()), "") << "only bare names";

    for (const char* host : {"www.example.com/page", "example.org", "photos.example.jp:8080/a?b"}) {
        EXPECT_TRUE(looksLikeHostName(host)) << host;
    }
    for (const char* other :
         {"gimp", "photo.2024", "readme.txt/", "a..b.com", "my file.com", "x.com:/", ".com"}) {
        EXPECT_FALSE(looksLikeHostName(other)) << other;
    }

    // A file that exists wins over every other reading; a bare name on PATH is that program.
    writeIni("[Launcher]\nPath1=sh\nPath2=www.example.com/page\nPath3=" + bin +
             "\nPath4=no-such-program-here\n");
    FormMain& f = loadOnEtc();
    for (int i = 0; i < 4; ++i) {
        f.launchers.CommandOpen[i]->click();
    }
    ASSERT_EQ(services.opened.size(), 4U);
    EXPECT_EQ(services.opened[0], findProgramOnPath("sh", std::getenv("PATH")));
    EXPECT_NE(services.opened[0], "");
    EXPECT_EQ(services.opened[1], "https://www.example.com/page");
    EXPECT_EQ(services.opened[2], bin);
    EXPECT_EQ(services.opened[3], "no-such-program-here");
}

} // namespace
} // namespace mivo::test
