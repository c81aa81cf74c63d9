// The launcher buttons, the file picker and the commands that hand something to the desktop.

#include "window_fixture.h"

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

TEST_F(LauncherTest, FixedCommandsOpenHelpHomePageAndIndexPage) {
    const std::string site = makeFolder(program / "site");
    writeFile(site + "/index.html", "x");
    writeIni("[Ini]\nMode=0\n[Path]\nIndex=" + site + "/index.html\n");
    FormMain& f = loadOnEtc();
    services.shellResult = false; // the result is ignored either way

    f.CommandHelp->click();
    f.CommandURL->click();
    ASSERT_TRUE(f.CommandOpenHtml->enabled());
    f.CommandOpenHtml->click();
    EXPECT_EQ(services.opened, (std::vector<std::string>{program / "readme.txt", kHomePageUrl,
                                                         site + "/index.html"}))
        << "help opens the program folder's readme; 表示 opens the index page in menu mode too";
    EXPECT_FALSE(cmShellOpen("x", services, ""));
}

} // namespace
} // namespace mivo::test
