// The panes, the path handlers, the dependent controls and the start-picture chooser.

#include "window_fixture.h"

#include <algorithm>
#include <tuple>

namespace mivo::test {
namespace {

using SettingControlsTest = WindowTest;

std::vector<std::string> visiblePanes(FormMain& f) {
    std::vector<std::string> panes;
    for (const Frame* p : {f.FrameMenuPath, f.FrameDirs, f.FrameDisplay, f.FrameEtc}) {
        if (p->visible()) {
            panes.push_back(p->name());
        }
    }
    return panes;
}

TEST_F(SettingControlsTest, EachTabShowsItsPaneInBothModes) {
    FormMain& f = load();
    using Panes = std::vector<std::string>;

    // Single mode.
    f.TabStripMivo->select(0);
    EXPECT_EQ(visiblePanes(f), Panes{"FrameDirs"});
    f.TabStripMivo->select(1);
    EXPECT_EQ(visiblePanes(f), Panes{"FrameDisplay"});
    EXPECT_TRUE(f.FrameStart->visible());
    EXPECT_EQ(f.FrameSamSize->caption(), "");
    EXPECT_TRUE(f.OptionSamH[0]->visible());
    EXPECT_TRUE(f.FrameTitleSub->visible());
    EXPECT_TRUE(f.TextLinkURL[0]->visible());
    EXPECT_TRUE(f.FrameLinks[1]->visible());
    EXPECT_TRUE(f.FrameLinks[2]->visible());
    EXPECT_TRUE(f.LabelLinkInfo2->visible());
    EXPECT_FALSE(f.TextSamWidth->enabled()) << "thumbnails are in use";
    EXPECT_EQ(f.CheckUseFileList->caption(), "filelist.csvを使用する");
    f.TabStripMivo->select(2);
    EXPECT_EQ(visiblePanes(f), Panes{"FrameEtc"});

    // Menu mode, chosen while "Etc" is showing: nothing visible changes.
    f.OptionMenu[0]->click();
    EXPECT_EQ(visiblePanes(f), Panes{"FrameEtc"});
    f.TabStripMivo->select(0);
    EXPECT_EQ(visiblePanes(f), Panes{"FrameMenuPath"});
    f.TabStripMivo->select(1);
    EXPECT_EQ(visiblePanes(f), Panes{"FrameDisplay"});
    EXPECT_FALSE(f.FrameStart->visible());
    EXPECT_EQ(f.FrameSamSize->caption(), "オリジナルの画像を利用する場合");
    EXPECT_FALSE(f.OptionSamH[1]->visible());
    EXPECT_FALSE(f.FrameTitleSub->visible());
    EXPECT_FALSE(f.LabelLinkURL[0]->visible());
    EXPECT_FALSE(f.TextLinkURL[0]->visible());
    EXPECT_FALSE(f.FrameLinks[1]->visible());
    EXPECT_FALSE(f.LabelLinkInfo2->visible());
    EXPECT_TRUE(f.TextSamWidth->enabled()) << "menu mode always offers the sizes";
    EXPECT_TRUE(f.LabelSamHeight->enabled());
    EXPECT_EQ(f.CheckUseFileList->caption(), "filelist.csvがあれば使用する");
    // A hidden pane hides what it holds.
    EXPECT_FALSE(f.DirMenu->effectiveVisible());

    // Back to single mode while "Disp" is showing re-applies the table at once.
    f.OptionMenu[1]->click();
    EXPECT_EQ(visiblePanes(f), Panes{"FrameDisplay"});
    EXPECT_TRUE(f.FrameStart->visible());
    EXPECT_FALSE(f.TextSamWidth->enabled());
    EXPECT_EQ(f.CheckUseFileList->caption(), "filelist.csvを使用する");
}

TEST_F(SettingControlsTest, PathHandlersFollowTheBoxesOnceLoaded) {
    const std::string site = makeFolder(program / "site");
    FormMain& f = load();
    EXPECT_FALSE(f.CommandOpenHtml->enabled());

    ASSERT_TRUE(f.DirIndex->setPath(site));
    EXPECT_EQ(f.currentSettings().gstrIndexPath, site + "/index.html");
    EXPECT_FALSE(f.CommandOpenHtml->enabled());

    // An empty file name stands for any file of the folder.
    writeFile(site + "/other.html", "x");
    f.TextIndex->setText("");
    EXPECT_EQ(f.currentSettings().gstrIndexPath, site + "/");
    EXPECT_TRUE(f.CommandOpenHtml->enabled());
    f.TextIndex->setText("*.html");
    EXPECT_TRUE(f.CommandOpenHtml->enabled()) << "the name may hold wildcards";
    f.TextIndex->setText("index.html");
    EXPECT_FALSE(f.CommandOpenHtml->enabled());

    ASSERT_TRUE(f.DirIndex->setPath("/"));
    EXPECT_EQ(f.currentSettings().gstrIndexPath, "/index.html")
        << "no doubled separator at the root";

    ASSERT_TRUE(f.DirMenu->setPath(site + "/"));
    EXPECT_EQ(f.DirMenu->path(), site) << "folder boxes drop the trailing separator";
    EXPECT_EQ(f.currentSettings().gstrMenuPath, site + "/index.html");
    f.TextMenu->setText("menu.html");
    EXPECT_EQ(f.currentSettings().gstrMenuPath, site + "/menu.html");

    ASSERT_TRUE(f.DirSam->setPath(site));
    EXPECT_EQ(f.currentSettings().gstrSamPath, site);
    f.TextHtml->setText("pages");
    EXPECT_EQ(f.currentSettings().gstrHtmlPath, "pages");
    f.TextMenuHtml->setText("g");
    EXPECT_EQ(f.currentSettings().gstrMenuHtmlPath, "g");

    // A folder that does not exist is refused and changes nothing.
    EXPECT_FALSE(f.DirSam->setPath(program / "missing"));
    EXPECT_EQ(f.DirSam->path(), site);
    EXPECT_EQ(f.currentSettings().gstrSamPath, site);
}

TEST_F(SettingControlsTest, ShowButtonFindsOnlyOrdinaryFiles) {
    const std::string site = makeFolder(program / "site");
    FormMain& f = load();
    ASSERT_TRUE(f.DirIndex->setPath(site));

    // A hidden page is not an ordinary file, named outright or through a wildcard.
    writeFile(site + "/.index.html", "x");
    f.TextIndex->setText(".index.html");
    EXPECT_FALSE(f.CommandOpenHtml->enabled());
    f.TextIndex->setText(".*");
    EXPECT_FALSE(f.CommandOpenHtml->enabled());
    makeFolder(site + "/pages");
    f.TextIndex->setText("pages");
    EXPECT_FALSE(f.CommandOpenHtml->enabled()) << "a folder is not a page";

    // A ";" in the name is part of it, not a list of patterns.
    writeFile(site + "/b.html", "x");
    f.TextIndex->setText("a;b*");
    EXPECT_FALSE(f.CommandOpenHtml->enabled());
    writeFile(site + "/a;b1.html", "x");
    f.TextIndex->setText("a;b?.html");
    EXPECT_TRUE(f.CommandOpenHtml->enabled());
}

TEST_F(SettingControlsTest, PathHandlersStandStillWhileLoading) {
    const std::string site = makeFolder(program / "site");
    FormMain& f = form();
    f.mblnLoading = true;
    f.DirIndex->setPath(site);
    f.TextHtml->setText("pages");
    f.DirPic->setPath(site);
    EXPECT_EQ(f.currentSettings().gstrIndexPath, "");
    EXPECT_EQ(f.currentSettings().gstrHtmlPath, "");
    EXPECT_EQ(f.currentSettings().gstrPicPath, "");
    EXPECT_EQ(f.FileStartPict->path(), program.path()) << "DirPic_Change did not run";
    f.mblnLoading = false;
    f.TextHtml->setText("pages2");
    EXPECT_EQ(f.currentSettings().gstrHtmlPath, "pages2");
}

TEST_F(SettingControlsTest, NewPictureFolderForgetsTheStartPictureAndRetestsFilelist) {
    const std::string pics = makeFolder(program / "pics");
    const std::string other = makeFolder(program / "other");
    writeFile(pics + "/a.jpg", "x");
    writeFile(other + "/filelist.csv", "name\r\n");
    writeFile(other + "/z.JPG", "x");
    services.pictureSizes["a.jpg"] = {640, 480};
    writeIni("[Path]\nPic=" + pics + "\nStart=a.jpg\n[Html]\nStart=1\n");
    FormMain& f = load();
    ASSERT_EQ(f.currentSettings().gstrStartName, "a.jpg");
    ASSERT_TRUE(f.PictureStartPict->hasPicture());
    EXPECT_FALSE(f.CheckUseFileList->enabled());

    ASSERT_TRUE(f.DirPic->setPath(other));
    EXPECT_EQ(f.currentSettings().gstrPicPath, other);
    EXPECT_EQ(f.FileStartPict->path(), other);
    EXPECT_EQ(f.FileStartPict->list(), std::vector<std::string>{"z.JPG"});
    EXPECT_EQ(f.TextStart->text(), "");
    EXPECT_EQ(f.currentSettings().gstrStartName, "");
    EXPECT_FALSE(f.PictureStartPict->hasPicture());
    EXPECT_TRUE(f.CheckUseFileList->enabled());
    EXPECT_EQ(f.CheckUseFileList->value(), 0) << "the tick is left as it was";

    // The same folder again changes nothing.
    f.TextStart->setText("typed.jpg");
    ASSERT_TRUE(f.DirPic->setPath(other + "/"));
    EXPECT_EQ(f.TextStart->text(), "typed.jpg");
    EXPECT_EQ(f.currentSettings().gstrStartName, "typed.jpg");
}

TEST_F(SettingControlsTest, StartPictureNotFoundKeepsTheNameWithoutPreview) {
    const std::string pics = makeFolder(program / "pics");
    writeFile(pics + "/A.jpg", "x");
    services.pictureSizes["A.jpg"] = {100, 100};
    writeIni("[Path]\nPic=" + pics + "\nStart=a.jpg\n");
    FormMain& f = load();
    EXPECT_EQ(f.TextStart->text(), "a.jpg") << "names are compared exactly";
    EXPECT_EQ(f.FileStartPict->listIndex(), -1);
    EXPECT_FALSE(f.PictureStartPict->hasPicture());
    EXPECT_EQ(f.currentSettings().gstrStartName, "a.jpg");
}

TEST_F(SettingControlsTest, PreviewLongerSideMeasuresAboutEighty) {
    const std::string pics = makeFolder(program / "pics");
    const std::vector<std::tuple<std::string, long, long, int, int>> cases = {
        {"a.jpg", 1024, 768, 80, 60},
        {"b.jpg", 40, 30, 80, 60},
        {"c.jpg", 3000, 2000, 81, 54},
        {"d.jpg", 768, 1024, 60, 80},
    };
    for (const auto& [name, w, h, pw, ph] : cases) {
        writeFile(pics + "/" + name, "x");
        services.pictureSizes[name] = {w, h};
    }
    writeFile(pics + "/broken.jpg", "x");
    writeIni("[Path]\nPic=" + pics + "\n[Html]\nStart=1\n");
    FormMain& f = load();
    f.TabStripMivo->select(1);
    ASSERT_EQ(f.FileStartPict->listCount(), 5);

    for (const auto& [name, w, h, pw, ph] : cases) {
        const auto& list = f.FileStartPict->list();
        const int index =
            static_cast<int>(std::find(list.begin(), list.end(), name) - list.begin());
        f.FileStartPict->clickItem(index);
        EXPECT_EQ(f.PictureStartPict->drawWidth(), pw) << name;
        EXPECT_EQ(f.PictureStartPict->drawHeight(), ph) << name;
        EXPECT_EQ(f.PictureStartPict->picturePath(), pics + "/" + name);
        EXPECT_EQ(f.TextStart->text(), name);
        EXPECT_EQ(f.currentSettings().gstrStartName, name);
    }

    // A file that is no picture leaves the preview empty and the name as it was.
    f.FileStartPict->clickItem(2);
    EXPECT_EQ(f.FileStartPict->fileName(), "broken.jpg");
    EXPECT_FALSE(f.PictureStartPict->hasPicture());
    EXPECT_EQ(f.TextStart->text(), "d.jpg");

    // Emptying the name clears the preview.
    f.FileStartPict->clickItem(0);
    ASSERT_TRUE(f.PictureStartPict->hasPicture());
    f.TextStart->setText("");
    EXPECT_FALSE(f.PictureStartPict->hasPicture());
    EXPECT_EQ(f.currentSettings().gstrStartName, "");
}

TEST_F(SettingControlsTest, FileListShowsPicturesOfTheFolderIgnoringCase) {
    const std::string pics = makeFolder(program / "pics");
    for (const char* name :
         {"b.JPG", "A.jpeg", "c.Bmp", "d.png", "e.gif", ".hidden.jpg", "f.jpg.txt", "a.jpg"}) {
        writeFile(pics + "/" + name, "x");
    }
    makeFolder(pics + "/folder.jpg");
    FormMain& f = form();
    ASSERT_TRUE(f.FileStartPict->setPath(pics));
    EXPECT_EQ(f.FileStartPict->list(),
              (std::vector<std::string>{"A.jpeg", "a.jpg", "b.JPG", "c.Bmp"}));
    EXPECT_EQ(f.FileStartPict->pattern(), "*.jpg;*.jpeg;*.bmp");
}

TEST_F(SettingControlsTest, DependentControlsFollowTheirOption) {
    FormMain& f = load();

    f.CheckSlideShow->setValue(2);
    EXPECT_FALSE(f.TextSlideTime->enabled()) << "a grayed tick counts as unticked";
    EXPECT_FALSE(f.LabelSlideTime2->enabled());
    f.CheckSlideShow->setValue(1);
    EXPECT_TRUE(f.LabelSlideTime->enabled());

    f.CheckUseFileList->setValue(1);
    EXPECT_TRUE(f.TextFilelistHeight->enabled());
    EXPECT_TRUE(f.LabelFilelistInfo->enabled());

    f.OptionStart[1]->select();
    f.TextStart->setText("kept.jpg");
    f.OptionStart[0]->select();
    EXPECT_FALSE(f.LabelStartPic->enabled());
    EXPECT_FALSE(f.PictureStartPict->enabled());
    EXPECT_EQ(f.TextStart->text(), "kept.jpg");

    f.TextLinkName[1]->setText("");
    EXPECT_FALSE(f.TextLinkURL[1]->enabled());
    EXPECT_EQ(f.TextLinkURL[1]->text(), "../index.html");

    // The two thumbnail pairs mirror each other.
    f.TabStripMivo->select(1);
    f.OptionSamH[0]->click();
    EXPECT_TRUE(f.OptionSamD[0]->value());
    EXPECT_TRUE(f.TextSamWidth->enabled());
    EXPECT_FALSE(f.DirSam->enabled());
    f.OptionSamH[1]->click();
    EXPECT_TRUE(f.OptionSamD[1]->value());
    EXPECT_FALSE(f.OptionSamD[0]->value());
    EXPECT_FALSE(f.TextSamWidth->enabled());
    EXPECT_FALSE(f.LabelSamHeight->enabled());
    EXPECT_TRUE(f.DirSam->enabled());
    f.OptionSamD[0]->click();
    EXPECT_FALSE(f.OptionSamH[0]->value()) << "the folder pane is hidden: no click reaches it";
    f.TabStripMivo->select(0);
    f.OptionSamD[0]->click();
    EXPECT_TRUE(f.OptionSamH[0]->value());
    EXPECT_TRUE(f.TextSamHeight->enabled());
}

TEST_F(SettingControlsTest, ControlsTellObserversAndRespectTheirContainers) {
    FormMain& f = form();
    std::vector<Property> told;
    const int id = f.TextTitle->addObserver([&](Control&, Property p) { told.push_back(p); });
    int changes = 0;
    f.TextTitle->onChange = [&] { ++changes; };
    f.TextTitle->setText("a");
    f.TextTitle->setText("a");
    EXPECT_EQ(changes, 1) << "Change only when the text differs";
    EXPECT_EQ(told, std::vector<Property>{Property::Text});
    f.TextTitle->removeObserver(id);
    f.TextTitle->setText("b");
    EXPECT_EQ(told.size(), 1u);

    EXPECT_EQ(f.TextTitle->pane(), f.FrameDisplay);
    EXPECT_EQ(f.CommandMake->pane(), nullptr);
    EXPECT_EQ(f.findControl("TextLinkName", 2), f.TextLinkName[2]);
    EXPECT_EQ(f.TextLinkName[2]->displayName(), "TextLinkName(2)");
    EXPECT_EQ(f.CommandOpenHtml->toolTipText(), "作成されたhtmlを表示");
    EXPECT_EQ(f.Window.caption(), "Mivo");
    EXPECT_EQ(f.Window.geometry().Width, 8895);

    // A disabled container disables what it holds; a user cannot press a disabled button.
    int presses = 0;
    f.CommandHelp->onClick = [&] { ++presses; };
    f.FrameEtc->setVisible(true);
    f.CommandHelp->click();
    f.Window.setEnabled(false);
    EXPECT_FALSE(f.CommandHelp->effectiveEnabled());
    EXPECT_TRUE(f.CommandHelp->enabled());
    f.CommandHelp->click();
    EXPECT_EQ(presses, 1);
}

} // namespace
} // namespace mivo::test
