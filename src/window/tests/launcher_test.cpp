// The launcher buttons, the file picker and the commands that hand something to the desktop.

#include "window_fixture.h"

#include <cstdlib>

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
    EXPECT_EQ(f.CommandOpen[0]->caption(), "Edit");
    EXPECT_TRUE(f.CommandOpen[0]->enabled());
    EXPECT_FALSE(f.CommandOpen[3]->visible());
    EXPECT_EQ(f.CommandOpen[3]->caption(), "Gone");

    f.CheckOpen[2]->click();
    EXPECT_FALSE(f.CommandOpen[2]->visible());
    f.CheckOpen[2]->click();
    EXPECT_TRUE(f.CommandOpen[2]->visible());
    EXPECT_EQ(f.CommandOpen[2]->caption(), "機能3");
    EXPECT_FALSE(f.CommandOpen[2]->enabled());
    f.CheckOpen[2]->setValue(2);
    EXPECT_FALSE(f.CommandOpen[2]->visible()) << "a grayed box counts as unticked";

    f.TextOpenName[0]->setText("E");
    EXPECT_EQ(f.CommandOpen[0]->caption(), "E");
    f.TextOpenName[0]->setText("");
    EXPECT_EQ(f.CommandOpen[0]->caption(), "");

    f.CommandOpen[0]->click();
    EXPECT_EQ(services.opened, std::vector<std::string>{"/usr/bin/editor"});
    EXPECT_EQ(services.openedParameters, std::vector<std::string>{""});
    f.TextOpen[0]->setText("");
    EXPECT_FALSE(f.CommandOpen[0]->enabled());
    f.CommandOpen[0]->click();
    EXPECT_EQ(services.opened.size(), 1u) << "a disabled launcher cannot be pressed";
}

TEST_F(LauncherTest, FilePickerStartsAtTheTargetAndTakesTheChosenFile) {
    const std::string tools = makeFolder(program / "tools");
    writeFile(tools + "/app", "x");
    writeIni("[Launcher]\nPath1=" + tools + "/app\nPath2=" + tools + "\n");
    FormMain& f = loadOnEtc();

    services.dialogAnswer = program / "x/y.txt";
    f.CommandOpenPath[0]->click();
    ASSERT_EQ(services.dialogsShown.size(), 1u);
    EXPECT_EQ(services.dialogsShown[0].InitDir, tools);
    EXPECT_EQ(services.dialogsShown[0].FileName, "app");
    EXPECT_EQ(services.dialogsShown[0].Filter, "*.*");
    EXPECT_EQ(f.TextOpen[0]->text(), program / "x/y.txt");

    // A target naming a folder opens the dialog in it with no name.
    services.dialogAnswer.reset();
    f.CommandOpenPath[1]->click();
    EXPECT_EQ(services.dialogsShown[1].InitDir, tools);
    EXPECT_EQ(services.dialogsShown[1].FileName, "");
    EXPECT_EQ(f.TextOpen[1]->text(), tools) << "cancel changes nothing";

    // An empty target: the dialog keeps its last folder and name; cancel leaves it empty,
    // choosing enables the button.
    f.CommandOpenPath[2]->click();
    EXPECT_EQ(services.dialogsShown[2].InitDir, tools);
    EXPECT_EQ(f.TextOpen[2]->text(), "");
    EXPECT_FALSE(f.CommandOpen[2]->enabled());
    services.dialogAnswer = tools + "/app";
    f.CommandOpenPath[2]->click();
    EXPECT_EQ(f.TextOpen[2]->text(), tools + "/app");
    EXPECT_TRUE(f.CommandOpen[2]->enabled());

    // A bare name without folder is not taken.
    services.dialogAnswer = "plain.txt";
    f.CommandOpenPath[3]->click();
    EXPECT_EQ(f.TextOpen[3]->text(), "");
}

TEST_F(LauncherTest, HelpShowsReadmeInTheViewerAndFailedOpeningsSayWhy) {
    const std::string site = makeFolder(program / "site");
    writeFile(site + "/index.html", "x");
    writeFile(program / "readme.txt", "\x83\x77\x83\x8b\x83\x76\r\n2\x8d\x73\x96\xda\r\n"); // cp932
    writeIni("[Ini]\nMode=0\n[Path]\nIndex=" + site + "/index.html\n");
    FormMain& f = loadOnEtc();

    f.CommandHelp->click();
    EXPECT_EQ(services.viewerText, "ヘルプ\n2行目\n");
    EXPECT_NE(services.viewerTitle.find("readme.txt"), std::string::npos);
    EXPECT_TRUE(services.opened.empty()) << "help is not handed to the desktop";

    // The desktop refuses: a message names the target and the reason.
    services.shellResult = false;
    services.failureReason = "開くアプリケーションがありません";
    f.CommandURL->click();
    ASSERT_TRUE(f.CommandOpenHtml->enabled());
    f.CommandOpenHtml->click();
    EXPECT_EQ(services.opened, (std::vector<std::string>{kHomePageUrl, site + "/index.html"}))
        << "表示 opens the index page in menu mode too";
    ASSERT_EQ(services.messages.size(), 2U);
    EXPECT_EQ(services.messages[1],
              "Mivo:" + site + "/index.html を開けません。\n開くアプリケーションがありません");
    EXPECT_EQ(services.messages[0].find("Mivo:" + std::string(kHomePageUrl)), 0U);

    // A help file that is gone is said so too, with the system's reason.
    fs::remove(program / "readme.txt");
    f.CommandHelp->click();
    ASSERT_EQ(services.messages.size(), 3U);
    EXPECT_EQ(services.messages[2].find("Mivo:" + (program / "readme.txt") + " を開けません。\n"),
              0U);
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
        f.CommandOpen[i]->click();
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
