// The panes, the path handlers, the dependent controls and the start-picture chooser.

#include "window_fixture.h"

#include "window/pictures_folder.h"

#include <algorithm>
#include <tuple>

namespace mivo::test {
namespace {

using SettingControlsTest = WindowTest;

std::vector<std::string> visiblePanes(FormMain& f) {
    std::vector<std::string> panes;
    for (const Frame* p : {f.galleryList.FrameMenuPath, f.folders.FrameDirs, f.display.FrameDisplay,
                           f.launchers.FrameEtc}) {
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
    EXPECT_TRUE(f.display.FrameStart->visible());
    EXPECT_EQ(f.display.FrameSamSize->caption(), "");
    EXPECT_TRUE(f.display.OptionSamH[0]->visible());
    EXPECT_TRUE(f.display.FrameTitleSub->visible());
    EXPECT_TRUE(f.display.TextLinkURL[0]->visible());
    EXPECT_TRUE(f.display.FrameLinks[1]->visible());
    EXPECT_TRUE(f.display.FrameLinks[2]->visible());
    EXPECT_TRUE(f.display.LabelLinkInfo2->visible());
    EXPECT_FALSE(f.display.TextSamWidth->enabled()) << "thumbnails are in use";
    EXPECT_EQ(f.display.CheckUseFileList->caption(), "filelist.csvを使用する");
    f.TabStripMivo->select(2);
    EXPECT_EQ(visiblePanes(f), Panes{"FrameEtc"});

    // Menu mode, chosen while "Etc" is showing: nothing visible changes.
    f.OptionMenu[0]->click();
    EXPECT_EQ(visiblePanes(f), Panes{"FrameEtc"});
    f.TabStripMivo->select(0);
    EXPECT_EQ(visiblePanes(f), Panes{"FrameMenuPath"});
    f.TabStripMivo->select(1);
    EXPECT_EQ(visiblePanes(f), Panes{"FrameDisplay"});
    EXPECT_FALSE(f.display.FrameStart->visible());
    EXPECT_EQ(f.display.FrameSamSize->caption(), "オリジナルの画像を利用する場合");
    EXPECT_FALSE(f.display.OptionSamH[1]->visible());
    EXPECT_FALSE(f.display.FrameTitleSub->visible());
    EXPECT_FALSE(f.display.LabelLinkURL[0]->visible());
    EXPECT_FALSE(f.display.TextLinkURL[0]->visible());
    EXPECT_FALSE(f.display.FrameLinks[1]->visible());
    EXPECT_FALSE(f.display.LabelLinkInfo2->visible());
    EXPECT_TRUE(f.display.TextSamWidth->enabled()) << "menu mode always offers the sizes";
    EXPECT_TRUE(f.display.LabelSamHeight->enabled());
    EXPECT_EQ(f.display.CheckUseFileList->caption(), "filelist.csvがあれば使用する");
    // A hidden pane hides what it holds.
    EXPECT_FALSE(f.galleryList.DirMenu->effectiveVisible());

    // Back to single mode while "Disp" is showing re-applies the table at once.
    f.OptionMenu[1]->click();
    EXPECT_EQ(visiblePanes(f), Panes{"FrameDisplay"});
    EXPECT_TRUE(f.display.FrameStart->visible());
    EXPECT_FALSE(f.display.TextSamWidth->enabled());
    EXPECT_EQ(f.display.CheckUseFileList->caption(), "filelist.csvを使用する");
}

TEST_F(SettingControlsTest, PathHandlersFollowTheBoxesOnceLoaded) {
    const std::string site = makeFolder(program / "site");
    FormMain& f = load();
    EXPECT_FALSE(f.CommandOpenHtml->enabled());

    ASSERT_TRUE(f.folders.DirIndex->setPath(site));
    EXPECT_EQ(f.currentSettings().gstrIndexPath, site + "/index.html");
    EXPECT_FALSE(f.CommandOpenHtml->enabled());

    // An empty file name stands for any file of the folder.
    writeFile(site + "/other.html", "x");
    f.folders.TextIndex->setText("");
    EXPECT_EQ(f.currentSettings().gstrIndexPath, site + "/");
    EXPECT_TRUE(f.CommandOpenHtml->enabled());
    f.folders.TextIndex->setText("*.html");
    EXPECT_TRUE(f.CommandOpenHtml->enabled()) << "the name may hold wildcards";
    f.folders.TextIndex->setText("index.html");
    EXPECT_FALSE(f.CommandOpenHtml->enabled());

    ASSERT_TRUE(f.folders.DirIndex->setPath("/"));
    EXPECT_EQ(f.currentSettings().gstrIndexPath, "/index.html")
        << "no doubled separator at the root";

    ASSERT_TRUE(f.galleryList.DirMenu->setPath(site + "/"));
    EXPECT_EQ(f.galleryList.DirMenu->path(), site) << "folder boxes drop the trailing separator";
    EXPECT_EQ(f.currentSettings().gstrMenuPath, site + "/index.html");
    f.galleryList.TextMenu->setText("menu.html");
    EXPECT_EQ(f.currentSettings().gstrMenuPath, site + "/menu.html");

    ASSERT_TRUE(f.folders.DirSam->setPath(site));
    EXPECT_EQ(f.currentSettings().gstrSamPath, site);
    f.folders.TextHtml->setText("pages");
    EXPECT_EQ(f.currentSettings().gstrHtmlPath, "pages");
    f.galleryList.TextMenuHtml->setText("g");
    EXPECT_EQ(f.currentSettings().gstrMenuHtmlPath, "g");

    // A folder that does not exist is refused and changes nothing.
    EXPECT_FALSE(f.folders.DirSam->setPath(program / "missing"));
    EXPECT_EQ(f.folders.DirSam->path(), site);
    EXPECT_EQ(f.currentSettings().gstrSamPath, site);
}

TEST_F(SettingControlsTest, ShowButtonFindsOnlyOrdinaryFiles) {
    const std::string site = makeFolder(program / "site");
    FormMain& f = load();
    ASSERT_TRUE(f.folders.DirIndex->setPath(site));

    // A hidden page is not an ordinary file, named outright or through a wildcard.
    writeFile(site + "/.index.html", "x");
    f.folders.TextIndex->setText(".index.html");
    EXPECT_FALSE(f.CommandOpenHtml->enabled());
    f.folders.TextIndex->setText(".*");
    EXPECT_FALSE(f.CommandOpenHtml->enabled());
    makeFolder(site + "/pages");
    f.folders.TextIndex->setText("pages");
    EXPECT_FALSE(f.CommandOpenHtml->enabled()) << "a folder is not a page";

    // A ";" in the name is part of it, not a list of patterns.
    writeFile(site + "/b.html", "x");
    f.folders.TextIndex->setText("a;b*");
    EXPECT_FALSE(f.CommandOpenHtml->enabled());
    writeFile(site + "/a;b1.html", "x");
    f.folders.TextIndex->setText("a;b?.html");
    EXPECT_TRUE(f.CommandOpenHtml->enabled());
}

TEST_F(SettingControlsTest, PathHandlersStandStillWhileLoading) {
    const std::string site = makeFolder(program / "site");
    FormMain& f = form();
    f.mblnLoading = true;
    f.folders.DirIndex->setPath(site);
    f.folders.TextHtml->setText("pages");
    f.folders.DirPic->setPath(site);
    EXPECT_EQ(f.currentSettings().gstrIndexPath, "");
    EXPECT_EQ(f.currentSettings().gstrHtmlPath, "");
    EXPECT_EQ(f.currentSettings().gstrPicPath, "");
    EXPECT_EQ(f.display.FileStartPict->path(), program.path()) << "DirPic_Change did not run";
    f.mblnLoading = false;
    f.folders.TextHtml->setText("pages2");
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
    ASSERT_TRUE(f.display.PictureStartPict->hasPicture());
    EXPECT_FALSE(f.display.CheckUseFileList->enabled());

    ASSERT_TRUE(f.folders.DirPic->setPath(other));
    EXPECT_EQ(f.currentSettings().gstrPicPath, other);
    EXPECT_EQ(f.display.FileStartPict->path(), other);
    EXPECT_EQ(f.display.FileStartPict->list(), std::vector<std::string>{"z.JPG"});
    EXPECT_EQ(f.display.TextStart->text(), "");
    EXPECT_EQ(f.currentSettings().gstrStartName, "");
    EXPECT_FALSE(f.display.PictureStartPict->hasPicture());
    EXPECT_TRUE(f.display.CheckUseFileList->enabled());
    EXPECT_EQ(f.display.CheckUseFileList->value(), 0) << "the tick is left as it was";

    // The same folder again changes nothing.
    f.display.TextStart->setText("typed.jpg");
    ASSERT_TRUE(f.folders.DirPic->setPath(other + "/"));
    EXPECT_EQ(f.display.TextStart->text(), "typed.jpg");
    EXPECT_EQ(f.currentSettings().gstrStartName, "typed.jpg");
}

TEST_F(SettingControlsTest, StartPictureNotFoundKeepsTheNameWithoutPreview) {
    const std::string pics = makeFolder(program / "pics");
    writeFile(pics + "/A.jpg", "x");
    services.pictureSizes["A.jpg"] = {100, 100};
    writeIni("[Path]\nPic=" + pics + "\nStart=a.jpg\n");
    FormMain& f = load();
    EXPECT_EQ(f.display.TextStart->text(), "a.jpg") << "names are compared exactly";
    EXPECT_EQ(f.display.FileStartPict->listIndex(), -1);
    EXPECT_FALSE(f.display.PictureStartPict->hasPicture());
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
    ASSERT_EQ(f.display.FileStartPict->listCount(), 5);

    for (const auto& [name, w, h, pw, ph] : cases) {
        const auto& list = f.display.FileStartPict->list();
        const int index =
            static_cast<int>(std::find(list.begin(), list.end(), name) - list.begin());
        f.display.FileStartPict->clickItem(index);
        EXPECT_EQ(f.display.PictureStartPict->drawWidth(), pw) << name;
        EXPECT_EQ(f.display.PictureStartPict->drawHeight(), ph) << name;
        EXPECT_EQ(f.display.PictureStartPict->picturePath(), pics + "/" + name);
        EXPECT_EQ(f.display.TextStart->text(), name);
        EXPECT_EQ(f.currentSettings().gstrStartName, name);
    }

    // A file that is no picture leaves the preview empty and the name as it was.
    f.display.FileStartPict->clickItem(2);
    EXPECT_EQ(f.display.FileStartPict->fileName(), "broken.jpg");
    EXPECT_FALSE(f.display.PictureStartPict->hasPicture());
    EXPECT_EQ(f.display.TextStart->text(), "d.jpg");

    // Emptying the name clears the preview.
    f.display.FileStartPict->clickItem(0);
    ASSERT_TRUE(f.display.PictureStartPict->hasPicture());
    f.display.TextStart->setText("");
    EXPECT_FALSE(f.display.PictureStartPict->hasPicture());
    EXPECT_EQ(f.currentSettings().gstrStartName, "");
}

TEST_F(SettingControlsTest, StartPictureListOffersEveryItemTheRunShows) {
    const std::string pics = makeFolder(program / "pics");
    for (const char* name : {"b.JPG", "A.jpeg", "c.Bmp", "d.png", "e.gif", ".hidden.jpg",
                             "f.jpg.txt", "a.jpg", "g.mp4", "h.HEIC"}) {
        writeFile(pics + "/" + name, "x");
    }
    makeFolder(pics + "/folder.jpg");
    FormMain& f = form();
    ASSERT_TRUE(f.display.FileStartPict->setPath(pics));
    // The pictures every run shows, letter case ignored, in the listing order.
    const std::vector<std::string> pictures = {"A.jpeg", "a.jpg", "b.JPG", "c.Bmp", "e.gif"};
    EXPECT_EQ(f.display.FileStartPict->list(), pictures);

    // With the media option (on Mivo's own copies of the full-size pictures) the run shows
    // PNG, HEIC and videos too, and so does the list; without the copies it does not.
    f.display.OptionSamH[0]->select();
    f.display.CheckReduce->setValue(1);
    f.display.CheckMedia->setValue(1);
    const std::vector<std::string> media = {"A.jpeg", "a.jpg", "b.JPG", "c.Bmp",
                                            "d.png",  "e.gif", "g.mp4", "h.HEIC"};
    EXPECT_EQ(f.display.FileStartPict->list(), media);
    f.display.OptionSamH[1]->select();
    EXPECT_EQ(f.display.FileStartPict->list(), pictures) << "a thumbnail folder has no posters";
    f.display.OptionSamH[0]->select();
    f.display.CheckReduce->setValue(0);
    EXPECT_EQ(f.display.FileStartPict->list(), pictures);
    f.display.CheckReduce->setValue(1);

    // A video is chosen as the first picture without a preview.
    f.display.FileStartPict->setListIndex(6);
    EXPECT_EQ(f.display.TextStart->text(), "g.mp4");
    EXPECT_FALSE(f.display.PictureStartPict->hasPicture());
}

TEST_F(SettingControlsTest, DependentControlsFollowTheirOption) {
    FormMain& f = load();

    f.display.CheckSlideShow->setValue(2);
    EXPECT_FALSE(f.display.TextSlideTime->enabled()) << "a grayed tick counts as unticked";
    EXPECT_FALSE(f.display.LabelSlideTime2->enabled());
    f.display.CheckSlideShow->setValue(1);
    EXPECT_TRUE(f.display.LabelSlideTime->enabled());

    f.display.CheckUseFileList->setValue(1);
    EXPECT_TRUE(f.display.TextFilelistHeight->enabled());
    EXPECT_TRUE(f.display.LabelFilelistInfo->enabled());

    f.display.OptionStart[1]->select();
    f.display.TextStart->setText("kept.jpg");
    f.display.OptionStart[0]->select();
    EXPECT_FALSE(f.display.LabelStartPic->enabled());
    EXPECT_FALSE(f.display.PictureStartPict->enabled());
    EXPECT_EQ(f.display.TextStart->text(), "kept.jpg");

    f.display.TextLinkName[1]->setText("");
    EXPECT_FALSE(f.display.TextLinkURL[1]->enabled());
    EXPECT_EQ(f.display.TextLinkURL[1]->text(), "../index.html");

    // The two thumbnail pairs mirror each other.
    f.TabStripMivo->select(1);
    f.display.OptionSamH[0]->click();
    EXPECT_TRUE(f.folders.OptionSamD[0]->value());
    EXPECT_TRUE(f.display.TextSamWidth->enabled());
    EXPECT_FALSE(f.folders.DirSam->enabled());
    f.display.OptionSamH[1]->click();
    EXPECT_TRUE(f.folders.OptionSamD[1]->value());
    EXPECT_FALSE(f.folders.OptionSamD[0]->value());
    EXPECT_FALSE(f.display.TextSamWidth->enabled());
    EXPECT_FALSE(f.display.LabelSamHeight->enabled());
    EXPECT_TRUE(f.folders.DirSam->enabled());
    f.folders.OptionSamD[0]->click();
    EXPECT_FALSE(f.display.OptionSamH[0]->value())
        << "the folder pane is hidden: no click reaches it";
    f.TabStripMivo->select(0);
    f.folders.OptionSamD[0]->click();
    EXPECT_TRUE(f.display.OptionSamH[0]->value());
    EXPECT_TRUE(f.display.TextSamHeight->enabled());
}

TEST_F(SettingControlsTest, ControlsTellObserversAndRespectTheirContainers) {
    FormMain& f = form();
    std::vector<Property> told;
    const int id =
        f.display.TextTitle->addObserver([&](Control&, Property p) { told.push_back(p); });
    int changes = 0;
    f.display.TextTitle->onChange = [&] { ++changes; };
    f.display.TextTitle->setText("a");
    f.display.TextTitle->setText("a");
    EXPECT_EQ(changes, 1) << "Change only when the text differs";
    EXPECT_EQ(told, std::vector<Property>{Property::Text});
    f.display.TextTitle->removeObserver(id);
    f.display.TextTitle->setText("b");
    EXPECT_EQ(told.size(), 1u);

    EXPECT_EQ(f.display.TextTitle->pane(), f.display.FrameDisplay);
    EXPECT_EQ(f.CommandMake->pane(), nullptr);
    EXPECT_EQ(f.findControl("TextLinkName", 2), f.display.TextLinkName[2]);
    EXPECT_EQ(f.display.TextLinkName[2]->displayName(), "TextLinkName(2)");
    EXPECT_EQ(f.CommandOpenHtml->toolTipText(), "作成されたhtmlを表示");
    EXPECT_EQ(f.Window.caption(), "Mivo");
    EXPECT_EQ(f.Window.geometry().Width, 8895);

    // A disabled container disables what it holds; a user cannot press a disabled button.
    int presses = 0;
    f.launchers.CommandHelp->onClick = [&] { ++presses; };
    f.launchers.FrameEtc->setVisible(true);
    f.launchers.CommandHelp->click();
    f.Window.setEnabled(false);
    EXPECT_FALSE(f.launchers.CommandHelp->effectiveEnabled());
    EXPECT_TRUE(f.launchers.CommandHelp->enabled());
    f.launchers.CommandHelp->click();
    EXPECT_EQ(presses, 1);
}

TEST_F(SettingControlsTest, PageFolderBoxesTakeAFolderStillToMakePictureBoxesDoNot) {
    const std::string site = makeFolder(program / "site");
    writeFile(program / "file", "x");
    FormMain& f = load();
    // Where the pages go may be a folder that 作成 is still to make, also several levels deep.
    EXPECT_TRUE(f.folders.DirIndex->setPath(site + "/2024/summer/"));
    EXPECT_EQ(f.folders.DirIndex->path(), site + "/2024/summer");
    EXPECT_FALSE(f.folders.DirIndex->exists());
    EXPECT_EQ(f.currentSettings().gstrIndexPath, site + "/2024/summer/index.html");
    EXPECT_FALSE(fs::exists(site + "/2024")) << "nothing is made before 作成";
    EXPECT_TRUE(f.galleryList.DirMenu->setPath(site + "/menu"));
    // Not through a file, nor a path taken from wherever the program runs.
    EXPECT_FALSE(f.folders.DirIndex->setPath(program / "file/sub"));
    EXPECT_FALSE(f.folders.DirIndex->setPath("relative/folder"));
    EXPECT_EQ(f.folders.DirIndex->path(), site + "/2024/summer");
    // A picture folder must be there.
    EXPECT_FALSE(f.folders.DirPic->setPath(site + "/2024"));
    EXPECT_FALSE(f.galleryList.DirListPic->setPath(site + "/2024"));
    EXPECT_NE(f.folders.DirPic->path(), site + "/2024");
}

TEST_F(SettingControlsTest, OpenedOnAFolderTheWindowShowsItInSingleMode) {
    const std::string trip = makeFolder(program / "trip");
    writeFile(trip + "/a.jpg", "x");
    writeIni("[Ini]\nMode=0\n");
    FormMain& f = load();
    ASSERT_TRUE(f.galleryList.FrameMenuPath->visible());
    EXPECT_TRUE(f.openPictureFolder(trip));
    EXPECT_TRUE(f.OptionMenu[1]->value());
    EXPECT_TRUE(f.folders.FrameDirs->visible());
    EXPECT_EQ(f.folders.DirPic->path(), trip);
    EXPECT_EQ(f.display.FileStartPict->list(), std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(f.currentSettings().gstrPicPath, trip);

    // A folder that is not there is said, and nothing changes.
    EXPECT_FALSE(f.openPictureFolder(program / "gone"));
    EXPECT_EQ(services.warnings,
              std::vector<std::string>{"Mivo:フォルダが見つかりません: " + (program / "gone")});
    EXPECT_EQ(f.folders.DirPic->path(), trip);
}

TEST(PicturesFolder, ComesFromTheEnvironmentOrUserDirsElseHome) {
    TempFolder dir;
    const std::string home = makeFolder(dir / "home");
    const std::string pictures = makeFolder(home + "/写真");
    std::map<std::string, std::string> env = {{"HOME", home}};
    const EnvironmentLookup lookup = [&env](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    EXPECT_EQ(userPicturesFolder(lookup), home) << "no Pictures folder named anywhere";
    writeFile(home + "/.config/user-dirs.dirs",
              "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
              "XDG_PICTURES_DIR=\"$HOME/写真\"\n");
    EXPECT_EQ(userPicturesFolder(lookup), pictures);
    // XDG_CONFIG_HOME moves the file; the environment's own variable comes first.
    env["XDG_CONFIG_HOME"] = makeFolder(dir / "config");
    EXPECT_EQ(userPicturesFolder(lookup), home);
    env["XDG_PICTURES_DIR"] = makeFolder(dir / "pics");
    EXPECT_EQ(userPicturesFolder(lookup), dir / "pics");
    // A folder that is not there is no Pictures folder.
    env["XDG_PICTURES_DIR"] = dir / "gone";
    EXPECT_EQ(userPicturesFolder(lookup), home);
}

} // namespace
} // namespace mivo::test
