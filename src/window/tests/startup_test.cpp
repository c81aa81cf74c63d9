// Start-up and shut-down of the main window: settings into controls, the first pane, the
// save at exit and the log order.

#include <algorithm>

#include "window_fixture.h"

#include "common/codepage.h"
#include "common/program.h"
#include "settings/ini_file.h"

namespace mivo::test {
namespace {

using StartupTest = WindowTest;

bool onlyPaneVisible(FormMain& f, const Frame* pane) {
    const std::vector<const Frame*> panes = {f.folders.FrameDirs, f.galleryList.FrameMenuPath,
                                             f.display.FrameDisplay, f.launchers.FrameEtc};
    for (const Frame* p : panes) {
        if (p->visible() != (p == pane)) {
            return false;
        }
    }
    return true;
}

TEST_F(StartupTest, StartsWithDefaultsWhenNoIniExists) {
    FormMain& f = load();
    const std::string home = program.path();

    EXPECT_TRUE(f.OptionMenu[1]->value());
    EXPECT_TRUE(onlyPaneVisible(f, f.folders.FrameDirs));
    EXPECT_EQ(f.currentSettings().gstrPicPath, home);
    EXPECT_EQ(f.currentSettings().gstrSamPath, home);
    EXPECT_EQ(f.currentSettings().gstrIndexPath, home + "/index.html");
    EXPECT_EQ(f.currentSettings().gstrMenuPath, home + "/index.html");
    EXPECT_EQ(f.folders.DirPic->path(), home);
    EXPECT_EQ(f.folders.DirIndex->path(), home);
    EXPECT_EQ(f.folders.TextIndex->text(), "index.html");
    EXPECT_EQ(f.galleryList.TextMenu->text(), "index.html");
    EXPECT_EQ(f.folders.TextHtml->text(), "");
    EXPECT_EQ(f.display.TextTitle->text(), "アルバム");
    EXPECT_EQ(f.display.TextTitleS->text(), "写真");
    EXPECT_EQ(f.display.TextBody->text(), "<body bgcolor=\"white\" text=\"black\">");

    EXPECT_TRUE(f.display.OptionStart[0]->value());
    EXPECT_FALSE(f.display.TextStart->enabled());
    EXPECT_FALSE(f.display.FileStartPict->enabled());
    EXPECT_EQ(f.display.CheckUseFileList->value(), 0);
    EXPECT_FALSE(f.display.CheckUseFileList->enabled()) << "no filelist.csv in the picture folder";
    EXPECT_FALSE(f.display.TextFilelistWidth->enabled());
    EXPECT_EQ(f.display.TextFilelistWidth->text(), "0");
    EXPECT_EQ(f.display.CheckSlideShow->value(), 1);
    EXPECT_EQ(f.display.CheckExif->value(), 1) << "the shooting data is shown unless switched off";
    EXPECT_EQ(f.display.TextSlideTime->text(), "5");
    EXPECT_TRUE(f.display.TextSlideTime->enabled());
    EXPECT_TRUE(f.folders.OptionSamD[1]->value());
    EXPECT_TRUE(f.display.OptionSamH[1]->value());
    EXPECT_TRUE(f.folders.DirSam->enabled());
    EXPECT_FALSE(f.display.TextSamWidth->enabled());
    EXPECT_EQ(f.display.TextSamWidth->text(), "160");
    EXPECT_EQ(f.display.TextSamHeight->text(), "160");
    EXPECT_EQ(f.display.TextAllListWidth->text(), "4");

    const char* const linkNames[3] = {"メニュー", "戻る", "進む"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(f.display.TextLinkName[i]->text(), linkNames[i]);
        EXPECT_EQ(f.display.TextLinkURL[i]->text(), "../index.html");
        EXPECT_TRUE(f.display.TextLinkURL[i]->enabled());
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(f.launchers.CommandOpen[i]->caption(), "機能" + std::to_string(i + 1));
        EXPECT_TRUE(f.launchers.CommandOpen[i]->visible());
        EXPECT_FALSE(f.launchers.CommandOpen[i]->enabled());
    }
    EXPECT_EQ(f.launchers.LabelVer->caption(), "Version " + versionText());
    EXPECT_EQ(f.launchers.LabelStateFolder->caption(), "設定の保存先: " + home);
    EXPECT_FALSE(f.CommandOpenHtml->enabled());
    EXPECT_EQ(f.galleryList.ListViewPath->rowCount(), 0);
    EXPECT_TRUE(f.gblnListSync);
    EXPECT_FALSE(f.mblnLoading);

    f.Form_Unload();
    EXPECT_FALSE(fs::exists(f.iniPath())) << "nothing changed, so nothing is written";
    EXPECT_FALSE(fs::exists(f.logPath()));
    ASSERT_TRUE(fs::exists(f.listPath()));
    EXPECT_EQ(fs::file_size(f.listPath()), 0u);
}

class FullIniTest : public WindowTest {
  protected:
    void writeFullIni(const std::string& mode) {
        pics = makeFolder(program / "pics");
        thumbs = makeFolder(program / "thumbs");
        site = makeFolder(program / "site");
        menu = makeFolder(program / "menu");
        writeFile(pics + "/a.jpg", "x");
        writeFile(pics + "/b.jpg", "x");
        writeFile(pics + "/filelist.csv", "name,info\r\n");
        writeFile(site + "/top.html", "<html>");
        services.pictureSizes["b.jpg"] = {1024, 768};
        writeIni("[Log]\nLevel=1\n[Ini]\nMode=" + mode + "\n[Path]\nPic=" + pics +
                 "\nThum=" + thumbs + "\nIndex=" + site + "/top.html\nHtml=pages\nMenu=" + menu +
                 "/menu.html\nMenuH=galleries\nStart=b.jpg\n[Html]\nBody=<body>\nTitle=Trip\n"
                 "TitleS=Day one\nStart=1\nSlide=0\nTime=7\nTUse=0\nTWidth=120\nTHeight=90\n"
                 "LWidth=5\nExif=0\n[Filelist]\nUse=1\nWidth=2\nHeight=3\n[Link]\nName1=Home\n"
                 "Url1=../home.html\nName2=\nUrl2=../prev.html\nName3=Next\nUrl3=../next.html\n"
                 "[Launcher]\nName1=Edit\nUse1=1\nPath1=/usr/bin/editor\nName2=Hidden\nUse2=0\n"
                 "Path2=/usr/bin/other\n");
        writeFile(form().listPath(),
                  "Trip," + pics + ",,\r\nHike," + pics + "," + thumbs + ",\r\n");
    }

    std::string pics;
    std::string thumbs;
    std::string site;
    std::string menu;
};

TEST_F(FullIniTest, MenuModeIniFillsEveryControl) {
    writeFullIni("0");
    FormMain& f = load();

    EXPECT_TRUE(f.OptionMenu[0]->value());
    EXPECT_TRUE(onlyPaneVisible(f, f.galleryList.FrameMenuPath));
    EXPECT_EQ(f.folders.DirPic->path(), pics);
    EXPECT_EQ(f.folders.DirSam->path(), thumbs);
    EXPECT_EQ(f.folders.DirIndex->path(), site);
    EXPECT_EQ(f.folders.TextIndex->text(), "top.html");
    EXPECT_EQ(f.folders.TextHtml->text(), "pages");
    EXPECT_EQ(f.galleryList.DirMenu->path(), menu);
    EXPECT_EQ(f.galleryList.TextMenu->text(), "menu.html");
    EXPECT_EQ(f.galleryList.TextMenuHtml->text(), "galleries");
    EXPECT_EQ(f.currentSettings().gstrPicPath, pics);
    EXPECT_EQ(f.currentSettings().gstrIndexPath, site + "/top.html");
    EXPECT_EQ(f.currentSettings().gstrHtmlPath, "pages");
    EXPECT_EQ(f.currentSettings().gstrMenuHtmlPath, "galleries");

    // The start picture is found, selected and previewed.
    EXPECT_EQ(f.display.FileStartPict->path(), pics);
    EXPECT_EQ(f.display.FileStartPict->fileName(), "b.jpg");
    EXPECT_EQ(f.display.TextStart->text(), "b.jpg");
    EXPECT_EQ(f.currentSettings().gstrStartName, "b.jpg");
    EXPECT_TRUE(f.display.PictureStartPict->hasPicture());
    EXPECT_EQ(f.display.PictureStartPict->drawWidth(), 80);
    EXPECT_TRUE(f.display.OptionStart[1]->value());
    EXPECT_TRUE(f.display.TextStart->enabled());

    EXPECT_EQ(f.display.TextTitle->text(), "Trip");
    EXPECT_EQ(f.display.TextTitleS->text(), "Day one");
    EXPECT_EQ(f.display.TextBody->text(), "<body>");
    EXPECT_EQ(f.display.CheckUseFileList->value(), 1);
    EXPECT_TRUE(f.display.CheckUseFileList->enabled());
    EXPECT_TRUE(f.display.TextFilelistWidth->enabled());
    EXPECT_EQ(f.display.TextFilelistHeight->text(), "3");
    EXPECT_EQ(f.display.CheckSlideShow->value(), 0);
    EXPECT_EQ(f.display.CheckExif->value(), 0);
    EXPECT_FALSE(f.currentSettings().CheckExif);
    EXPECT_FALSE(f.display.TextSlideTime->enabled());
    EXPECT_EQ(f.display.TextSlideTime->text(), "7");
    EXPECT_TRUE(f.folders.OptionSamD[0]->value());
    EXPECT_TRUE(f.display.OptionSamH[0]->value());
    EXPECT_FALSE(f.folders.DirSam->enabled());
    EXPECT_TRUE(f.display.TextSamWidth->enabled());
    EXPECT_EQ(f.display.TextSamWidth->text(), "120");
    EXPECT_EQ(f.display.TextAllListWidth->text(), "5");
    EXPECT_FALSE(f.display.TextLinkURL[1]->enabled())
        << "an empty link name leaves its address unused";
    EXPECT_EQ(f.display.TextLinkURL[1]->text(), "../prev.html");
    EXPECT_TRUE(f.display.TextLinkURL[2]->enabled());

    EXPECT_EQ(f.launchers.CommandOpen[0]->caption(), "Edit");
    EXPECT_TRUE(f.launchers.CommandOpen[0]->enabled());
    EXPECT_FALSE(f.launchers.CommandOpen[1]->visible());
    EXPECT_EQ(f.launchers.CheckOpen[1]->value(), 0);
    EXPECT_TRUE(f.CommandOpenHtml->enabled()) << "the index page exists";

    ASSERT_EQ(f.galleryList.ListViewPath->rowCount(), 2);
    EXPECT_EQ(f.galleryList.ListViewPath->row(1), (std::vector<std::string>{"Hike", pics, thumbs}));
    EXPECT_EQ(f.galleryList.ListViewPath->selectedIndex(), -1);

    // The log: the load's lines, then Form_Load around mainSetStartIni; the path handlers
    // stood still while loading.
    const auto lines = logLines(f.logPath());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(startsWith(lines[0], "[mainGetIni] ")) << lines[0];
    std::size_t formLoad = 0;
    while (formLoad < lines.size() && !startsWith(lines[formLoad], "[Form_Load]")) {
        ++formLoad;
    }
    ASSERT_LT(formLoad + 1, lines.size());
    EXPECT_TRUE(startsWith(lines[formLoad + 1], "[mainSetStartIni]"));
    for (std::size_t i = 0; i < formLoad; ++i) {
        EXPECT_TRUE(startsWith(lines[i], "[mainGetIni]") || !startsWith(lines[i], "[") ||
                    startsWith(lines[i], "[OptionStart_Click]") ||
                    startsWith(lines[i], "[CheckUseFileList_Click]") ||
                    startsWith(lines[i], "[CheckSlideShow_Click]") ||
                    startsWith(lines[i], "[CheckReduce_Click]") ||
                    startsWith(lines[i], "[CheckMedia_Click]") ||
                    startsWith(lines[i], "[OptionSamD_Click]") ||
                    startsWith(lines[i], "[OptionSamH_Click]"))
            << lines[i];
    }
    for (const std::string& line : lines) {
        EXPECT_FALSE(startsWith(line, "[DirPic_Change] gstrPicPath"));
        EXPECT_FALSE(startsWith(line, "[DirIndex_Change] gstrIndexPath"));
        EXPECT_FALSE(startsWith(line, "[TextIndex_Change] gstrIndexPath"));
    }
    EXPECT_TRUE(startsWith(lines.back(), "[Form_Load] "));

    // Quitting without a change leaves the INI file byte for byte.
    const std::string iniBefore = readFile(f.iniPath());
    f.Form_Unload();
    EXPECT_EQ(readFile(f.iniPath()), iniBefore);
}

TEST_F(FullIniTest, SingleModeIniShowsTheFolderPane) {
    writeFullIni("1");
    FormMain& f = load();
    EXPECT_TRUE(f.OptionMenu[1]->value());
    EXPECT_TRUE(onlyPaneVisible(f, f.folders.FrameDirs));
    EXPECT_EQ(f.TabStripMivo->selectedKey(), "Dir");
}

TEST_F(FullIniTest, FolderTreeIniShowsTheFolderPaneAndIsSavedAsMode2) {
    writeFullIni("2");
    FormMain& f = load();
    EXPECT_TRUE(f.OptionMenu[2]->value());
    EXPECT_FALSE(f.OptionMenu[0]->value());
    EXPECT_FALSE(f.OptionMenu[1]->value());
    EXPECT_TRUE(onlyPaneVisible(f, f.folders.FrameDirs));
    // The order box belongs to the tree: usable there, by name until ticked.
    EXPECT_TRUE(f.CheckTreeOrder->enabled());
    EXPECT_EQ(f.CheckTreeOrder->value(), 0);
    // Through menu mode and back: the gallery list shows, then the folders again.
    f.OptionMenu[0]->click();
    EXPECT_TRUE(onlyPaneVisible(f, f.galleryList.FrameMenuPath));
    EXPECT_FALSE(f.CheckTreeOrder->enabled());
    f.OptionMenu[2]->click();
    EXPECT_TRUE(onlyPaneVisible(f, f.folders.FrameDirs));
    EXPECT_TRUE(f.CheckTreeOrder->enabled());
    f.CheckTreeOrder->click();
    EXPECT_EQ(f.currentSettings().OptionTreeOrder, 1);
    f.Form_Unload();
    const std::vector<std::string> saved = iniEntries(f.iniPath());
    EXPECT_NE(std::find(saved.begin(), saved.end(), "Ini/Mode=2"), saved.end());
    EXPECT_NE(std::find(saved.begin(), saved.end(), "Ini/TreeOrder=1"), saved.end());
}

TEST_F(StartupTest, VanishedFoldersKeepTheirSettingsAndAreMarked) {
    // An unplugged disk must not cost the user the stored folders.
    const std::string gone = program / "gone";
    const std::string out = makeFolder(program / "out");
    writeIni("[Path]\nPic=" + gone + "\nThum=" + gone + "/thumbs\nIndex=" + out +
             "/index.html\nMenu=" + gone + "/menu.html\n");
    FormMain& f = load();

    EXPECT_EQ(f.currentSettings().gstrPicPath, gone);
    EXPECT_EQ(f.currentSettings().gstrSamPath, gone + "/thumbs");
    EXPECT_EQ(f.folders.DirPic->path(), program.path()) << "the folder box keeps what it showed";
    EXPECT_EQ(f.folders.FramePic->caption(), "画像フォルダ（見つかりません: " + gone + "）");
    EXPECT_EQ(f.folders.FrameSamDir->caption(), "（見つかりません: " + gone + "/thumbs）");
    EXPECT_EQ(f.currentSettings().gstrMenuPath, gone + "/menu.html");
    // The menu page's folder shows as stored (作成 would make it); the name box the page.
    EXPECT_EQ(f.galleryList.DirMenu->path(), gone);
    EXPECT_FALSE(f.galleryList.DirMenu->exists());
    EXPECT_EQ(f.galleryList.TextMenu->text(), "menu.html");
    EXPECT_FALSE(f.CommandOpenHtml->enabled());

    // 作成 names the missing folder and writes nothing.
    f.CommandMake->click();
    EXPECT_EQ(f.LabelMess->caption(),
              "画像フォルダを開けません [" + gone + "] フォルダがありません");

    // Untouched, nothing is saved: the stored folders stay as they were.
    f.Form_Unload();
    EXPECT_FALSE(fs::exists(f.iniPath() + ".new"));
    EXPECT_EQ(iniEntries(f.iniPath()),
              (std::vector<std::string>{"Path/Pic=" + gone, "Path/Thum=" + gone + "/thumbs",
                                        "Path/Index=" + out + "/index.html",
                                        "Path/Menu=" + gone + "/menu.html"}));
}

TEST_F(StartupTest, ChoosingAFolderClearsTheMissingMark) {
    const std::string gone = program / "gone";
    const std::string pics = makeFolder(program / "pics");
    writeIni("[Path]\nPic=" + gone + "\n");
    FormMain& f = load();
    f.folders.DirPic->setPath(pics);
    EXPECT_EQ(f.folders.FramePic->caption(), "画像フォルダ");
    EXPECT_EQ(f.currentSettings().gstrPicPath, pics);
    f.Form_Unload();
    EXPECT_EQ(iniEntries(f.iniPath()), (std::vector<std::string>{"Path/Pic=" + pics}));
}

TEST_F(StartupTest, UnreadableStateFilesAreKeptAndReportedOnce) {
    writeIni("[Html]\nTitle=旅\n");
    writeFile(form().listPath(), "Trip,/pics,,\r\n");
    const std::string iniBytes = readFile(form().iniPath());
    // A folder in place of a file cannot be read as one, even by root.
    fs::remove(form().listPath());
    makeFolder(form().listPath());
    FormMain& f = load();
    EXPECT_EQ(f.galleryList.ListViewPath->rowCount(), 0);
    ASSERT_EQ(services.warnings.size(), 1u);
    EXPECT_NE(services.warnings[0].find(f.listPath()), std::string::npos);
    f.galleryList.CommandListAdd->click();
    f.Form_Unload();
    EXPECT_TRUE(fs::is_directory(f.listPath())) << "never replaced";
    EXPECT_EQ(readFile(f.iniPath()), iniBytes);
}

TEST_F(StartupTest, ListsInAnotherEncodingAreKeptByteForByteAndReportedOnce) {
    using namespace std::string_literals;
    // What a spreadsheet saves as "Unicode text" (UTF-16LE with its byte order mark), and a
    // cp932 list with a stray lead byte before a blank.
    const std::vector<std::string> lists = {
        "\xFF\xFE\xC5\x65\x4C\x88,\0/\0p\0,\0,\0\r\0\n\0"s,
        "\x97\xB7\x8D\x73,/p,,\r\nA\x81 B,/q,,\r\n",
    };
    for (const std::string& bytes : lists) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        TempFolder folder;
        FakeServices boxes;
        writeFile(folder / "Mivo.csv", bytes);
        {
            FormMain f(folder.path(), boxes);
            f.Form_Load();
            EXPECT_EQ(f.galleryList.ListViewPath->rowCount(), 0);
            f.display.TextTitle->setText("changed");
            f.Form_Unload();
        }
        ASSERT_EQ(boxes.warnings.size(), 1u);
        EXPECT_NE(boxes.warnings[0].find(folder / "Mivo.csv"), std::string::npos);
        EXPECT_NE(boxes.warnings[0].find("を読み込めません"), std::string::npos);
        EXPECT_EQ(readFile(folder / "Mivo.csv"), bytes) << "never rewritten";
        EXPECT_EQ(iniEntries(folder / "Mivo.ini"), (std::vector<std::string>{"Html/Title=changed"}))
            << "the settings are saved as usual";
    }
}

TEST_F(StartupTest, AFailedSaveOffersToTryAgainAndNamesTheFile) {
    FormMain& f = load();
    f.display.TextTitle->setText("new title");
    // A folder where Mivo.ini belongs: the save fails until it is gone.
    makeFolder(f.iniPath());
    services.retryAnswers = {true, false};
    f.Form_Unload();
    ASSERT_EQ(services.messages.size(), 2u);
    EXPECT_NE(services.messages[0].find(f.iniPath() + " を保存できません"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(f.iniPath()));
    // Tried again after the way was cleared, the save goes through.
    services.messages.clear();
    services.retryAnswers = {true};
    services.onRetry = [&] { fs::remove(f.iniPath()); };
    f.Form_Unload();
    EXPECT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(iniEntries(f.iniPath()), (std::vector<std::string>{"Html/Title=new title"}));
}

TEST_F(StartupTest, ReadOnlyStateFilesAreKeptAndTheUserIsAskedOnce) {
    writeIni("[Html]\nTitle=旅\n");
    writeFile(form().listPath(), "Trip,/pics,,\r\n");
    const std::string iniBytes = readFile(form().iniPath());
    const std::string listBytes = readFile(form().listPath());
    // No write bit for anyone: read-only for a user and, going by the mode, for root as well.
    fs::permissions(form().iniPath(), fs::perms::owner_read | fs::perms::group_read);
    fs::permissions(form().listPath(), fs::perms::owner_read | fs::perms::others_read);
    const auto modeOf = [](const std::string& path) { return fs::status(path).permissions(); };

    FormMain& f = load();
    EXPECT_TRUE(services.messages.empty()) << "a read-only file reads as usual";
    f.display.TextTitle->setText("changed");
    f.OptionMenu[0]->click();
    f.galleryList.CommandListAdd->click();
    ASSERT_EQ(f.galleryList.ListViewPath->rowCount(), 2);
    // Answered "save nothing" both times.
    f.Form_Unload();
    ASSERT_EQ(services.messages.size(), 2u);
    EXPECT_TRUE(startsWith(services.messages[0], std::string(kAppTitle) + ":" + f.iniPath() +
                                                     " を保存できません: 読み取り専用"))
        << services.messages[0];
    EXPECT_TRUE(startsWith(services.messages[1], std::string(kAppTitle) + ":" + f.listPath() +
                                                     " を保存できません: 読み取り専用"))
        << services.messages[1];
    EXPECT_EQ(readFile(f.iniPath()), iniBytes);
    EXPECT_EQ(readFile(f.listPath()), listBytes);
    EXPECT_EQ(modeOf(f.iniPath()), fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(modeOf(f.listPath()), fs::perms::owner_read | fs::perms::others_read);

    // Made writable again before "try again", both are saved, keeping the mode they have now.
    services.messages.clear();
    services.retryAnswers = {true, true};
    services.onRetry = [&] {
        for (const std::string& path : {f.iniPath(), f.listPath()}) {
            fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
        }
    };
    f.Form_Unload();
    EXPECT_EQ(services.messages.size(), 1u) << "both files were writable after the first answer";
    EXPECT_EQ(iniEntries(f.iniPath()),
              (std::vector<std::string>{"Html/Title=changed", "Ini/Mode=0"}));
    EXPECT_EQ(decodeText(readFile(f.listPath())),
              "Trip,/pics,,\r\n新規," + f.galleryList.DirListPic->path() + ",,\r\n");
}

TEST_F(StartupTest, RelativeStoredPathsShowFromTheSettingsFolderAndStayAsStored) {
    const std::string pics = makeFolder(program / "pics");
    const std::string site = makeFolder(program / "site");
    const std::string thumbs = makeFolder(program / "thumbs");
    writeIni("[Ini]\nMode=0\n[Path]\nPic=pics\nThum=./pics/\nIndex=site/top.html\n"
             "Menu=../" +
             fs::path(program.path()).filename().string() + "/site/menu.html\n");
    writeFile(form().listPath(), "Trip,pics,,\r\nHike,./pics/,pics/../thumbs/,\r\n");
    const std::string iniBytes = readFile(form().iniPath());
    const std::string listBytes = readFile(form().listPath());
    // Started from another folder: the folder that holds Mivo.ini decides, not this one.
    const fs::path working = fs::current_path();
    fs::current_path("/");
    FormMain& f = load();
    fs::current_path(working);
    EXPECT_EQ(f.folders.DirPic->path(), pics);
    EXPECT_EQ(f.folders.DirSam->path(), pics);
    EXPECT_EQ(f.folders.DirIndex->path(), site);
    EXPECT_EQ(f.folders.TextIndex->text(), "top.html");
    EXPECT_EQ(f.galleryList.DirMenu->path(), site);
    EXPECT_EQ(f.galleryList.TextMenu->text(), "menu.html");
    EXPECT_EQ(f.folders.FramePic->caption().find("見つかりません"), std::string::npos);
    ASSERT_EQ(f.galleryList.ListViewPath->rowCount(), 2);
    EXPECT_EQ(f.galleryList.ListViewPath->row(0), (std::vector<std::string>{"Trip", pics, ""}));
    EXPECT_EQ(f.galleryList.ListViewPath->row(1), (std::vector<std::string>{"Hike", pics, thumbs}));
    // Nothing was changed, so neither file is rewritten with the resolved paths.
    f.Form_Unload();
    EXPECT_EQ(readFile(f.iniPath()), iniBytes);
    EXPECT_EQ(readFile(f.listPath()), listBytes);
}

// --- The save at exit writes only what changed ------------------------------------------

TEST_F(StartupTest, SaveWritesOnlyTheChangedTitle) {
    FormMain& f = load();
    f.display.TextTitle->setText("Holiday");
    f.Form_Unload();
    EXPECT_EQ(iniEntries(f.iniPath()), (std::vector<std::string>{"Html/Title=Holiday"}));
}

TEST_F(StartupTest, SaveWritesBothKeysOfTheThirdLink) {
    FormMain& f = load();
    f.display.TextLinkURL[2]->setText("../later.html");
    f.Form_Unload();
    const auto entries = iniEntries(f.iniPath());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(startsWith(entries[0], "Link/Name3="));
    EXPECT_EQ(entries[1], "Link/Url3=../later.html");
    EXPECT_EQ(cmGetIni(f.iniPath(), "Link", "Name3", ""), "進む");
}

TEST_F(StartupTest, SaveWritesTheThreeKeysOfAnUntickedLauncher) {
    FormMain& f = load();
    f.TabStripMivo->select(2);
    f.launchers.CheckOpen[1]->click();
    EXPECT_FALSE(f.launchers.CommandOpen[1]->visible());
    f.Form_Unload();
    const auto entries = iniEntries(f.iniPath());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(startsWith(entries[0], "Launcher/Name2="));
    EXPECT_EQ(entries[1], "Launcher/Use2=0");
    EXPECT_EQ(entries[2], "Launcher/Path2=\"\"");
}

TEST_F(StartupTest, ModeSwitchedAndBackWritesNothing) {
    FormMain& f = load();
    f.OptionMenu[0]->click();
    EXPECT_TRUE(f.galleryList.FrameMenuPath->visible());
    f.OptionMenu[1]->click();
    f.Form_Unload();
    EXPECT_FALSE(fs::exists(f.iniPath()));
}

TEST_F(StartupTest, ExitLogEndsWithTheBannerAndABlankLine) {
    writeIni("[Log]\nLevel=2\n");
    FormMain& f = load();
    f.CommandExit->click();
    EXPECT_EQ(services.closeCount, 1);
    const auto lines = logLines(f.logPath());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(startsWith(lines[0], "[mainGetIni] "));
    EXPECT_TRUE(startsWith(lines[1], "[Form_Unload] "));
    EXPECT_EQ(lines[2], "");

    // Closing again (the view's close event after the exit button) saves nothing twice.
    f.requestClose();
    EXPECT_EQ(services.closeCount, 1);
    EXPECT_EQ(logLines(f.logPath()).size(), 3u);
}

TEST_F(StartupTest, TraceLogOrderAtExit) {
    writeIni("[Log]\nLevel=1\n");
    FormMain& f = load();
    const std::size_t before = logLines(f.logPath()).size();
    f.display.TextTitle->setText("Changed");
    f.CommandExit_Click();
    auto lines = logLines(f.logPath());
    lines.erase(lines.begin(), lines.begin() + static_cast<long>(before));
    std::vector<std::string> routines;
    for (const std::string& line : lines) {
        if (startsWith(line, "[")) {
            const std::string routine = line.substr(0, line.find(']') + 1);
            if (routines.empty() || routines.back() != routine) {
                routines.push_back(routine);
            }
        }
    }
    EXPECT_EQ(routines, (std::vector<std::string>{"[CommandExit_Click]", "[Form_Unload]",
                                                  "[mainSetIni]", "[cmSetIni]", "[mainSetIni]",
                                                  "[Form_Unload]", "[CommandExit_Click]"}));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "");
    EXPECT_TRUE(startsWith(lines[lines.size() - 3], "[Form_Unload] "));
}

} // namespace
} // namespace mivo::test

namespace mivo::test {
namespace {

TEST(SharedInstallWindow, KeepsItsSettingsInTheUsersConfigFolderAndSaysSo) {
    TempFolder dir;
    const std::string prog = makeFolder(dir / "prog");
    const std::string home = makeFolder(dir / "home");
    makeFolder(home + "/pics");
    writeFile(prog + "/starter/Mivo.ini",
              crlf("[Log]\nLevel=2\n[Path]\nPic=~/pics\nIndex=~/Mivo/gallery/index.html\n"
                   "[Html]\nTitle=Starter album\n"));
    ProgramEnvironment env;
    env.programFolderWritable = false;
    env.home = home;
    env.xdgConfigHome = dir / "xdg";
    const std::string config = dir / "xdg/mivo";
    FakeServices services;
    {
        FormMain f(locateProgramFiles(prog, env), services);
        f.Form_Load();
        EXPECT_EQ(f.display.TextTitle->text(), "Starter album");
        EXPECT_EQ(f.folders.DirPic->path(), home + "/pics");
        EXPECT_EQ(f.folders.DirIndex->path(), home + "/Mivo/gallery");
        EXPECT_EQ(f.launchers.LabelStateFolder->caption(), "設定の保存先: " + config);
        EXPECT_EQ(f.launchers.LabelStateFolder->toolTipText(), "テンプレート: " + prog + "/html");
        writeFile(prog + "/readme.txt", "help\r\n");
        f.launchers.CommandHelp_Click();
        EXPECT_EQ(services.viewerText, "help\n") << "the readme beside the program";
        f.display.TextTitle->setText("Mine");
        f.Form_Unload();
    }
    EXPECT_NE(readFile(config + "/Mivo.ini").find("Title=Mine\r\n"), std::string::npos);
    EXPECT_EQ(readFile(config + "/Mivo.csv"), "");
    EXPECT_TRUE(fs::exists(config + "/Mivo.csv"));
    // The log (cp932) opened beside that Mivo.ini: start banner first, end banner last.
    const std::vector<std::string> log = logLines(config + "/Mivo.log");
    ASSERT_GE(log.size(), 2u);
    EXPECT_NE(log.front().find("Start Mivo Var." + versionText()), std::string::npos);
    EXPECT_NE(log[log.size() - 2].find("End Mivo"), std::string::npos);
    for (const char* name : {"Mivo.ini", "Mivo.csv", "Mivo.log"}) {
        EXPECT_FALSE(fs::exists(prog + "/" + name)) << name;
    }

    // The next start finds the saved settings, not the starter.
    FormMain again(locateProgramFiles(prog, env), services);
    again.Form_Load();
    EXPECT_EQ(again.display.TextTitle->text(), "Mine");
}

TEST_F(WindowTest, SlideTimeAndColumnsShowAsStoredAndAnUnchangedExitKeepsTheFile) {
    for (const std::string time : {"1.5", "0.5", "3"}) {
        SCOPED_TRACE(time);
        writeIni("[Html]\nTime=" + time + "\nLWidth=04\n");
        const std::string bytes = readFile(form().iniPath());
        FormMain f(program.path(), services);
        services.form = &f;
        f.Form_Load();
        EXPECT_EQ(f.display.TextSlideTime->text(), time);
        EXPECT_EQ(f.display.TextAllListWidth->text(), "04");
        f.Form_Unload();
        EXPECT_EQ(readFile(form().iniPath()), bytes);
    }
    services.form = &form();
}

} // namespace
} // namespace mivo::test
