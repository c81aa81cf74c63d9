// The Make button: the window held during the run, the status line and bar it shows, and
// the window handed back on every way out.

#include "window_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <sys/wait.h>

namespace mivo::test {
namespace {

class MakeTest : public GalleryWindowTest {
  protected:
    void SetUp() override {
        GalleryWindowTest::SetUp();
        empty = makeFolder(program / "empty");
    }

    /// Presses 作成 and records, at every repaint, whether the window was held.
    void pressMake(FormMain& f) {
        services.paints.clear();
        heldAtEveryRepaint = true;
        const int id = f.ProgressBarMake->addObserver([&](Control&, Property) {
            // Nothing that changes a setting takes input; 作成 has become 中止.
            heldAtEveryRepaint = heldAtEveryRepaint && f.running() &&
                                 !f.folders.FrameDirs->enabled() &&
                                 !f.display.FrameDisplay->enabled() &&
                                 !f.OptionMenu[0]->enabled() && !f.CommandExit->enabled() &&
                                 f.CommandMake->enabled() && f.CommandMake->caption() == "中止";
        });
        f.CommandMake->click();
        f.ProgressBarMake->removeObserver(id);
    }

    void expectHandedBack(FormMain& f) {
        EXPECT_TRUE(heldAtEveryRepaint);
        EXPECT_FALSE(f.running());
        EXPECT_TRUE(f.Window.enabled());
        EXPECT_TRUE(f.CommandMake->enabled());
        EXPECT_EQ(f.CommandMake->caption(), "作成");
        EXPECT_TRUE(f.CommandExit->enabled());
        EXPECT_TRUE(f.folders.FrameDirs->enabled());
        EXPECT_TRUE(f.OptionMenu[1]->enabled());
    }

    std::vector<std::string> labels() const {
        std::vector<std::string> shown;
        for (const auto& paint : services.paints) {
            if (shown.empty() || shown.back() != paint.label) {
                shown.push_back(paint.label);
            }
        }
        return shown;
    }

    std::string empty;
    bool heldAtEveryRepaint = true;
};

TEST_F(MakeTest, SingleModeRunShowsProgressAndEnablesShow) {
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + site + "/index.html\n[Html]\nTUse=0\n");
    FormMain& f = load();
    ASSERT_FALSE(f.CommandOpenHtml->enabled());
    pressMake(f);

    expectHandedBack(f);
    EXPECT_EQ(f.LabelMess->caption(), "完了しました");
    EXPECT_EQ(f.ProgressBarMake->value(), 100);
    EXPECT_TRUE(f.CommandOpenHtml->enabled());
    EXPECT_TRUE(fs::exists(site + "/index.html"));
    EXPECT_TRUE(fs::exists(site + "/list.html"));
    EXPECT_TRUE(fs::exists(site + "/pict.html"));

    const auto shown = labels();
    // The check, the start of the pages, one message per picture of the table, done.
    EXPECT_EQ(shown, (std::vector<std::string>{"チェック中です", "作成中です", "a (1/2)", "b (2/2)",
                                               "完了しました"}));
    // The bar only moves forward in a run, and reads 90 before the last page.
    bool saw90 = false;
    for (std::size_t i = 1; i < services.paints.size(); ++i) {
        if (services.paints[i].max == 100 && services.paints[i - 1].max == 100) {
            EXPECT_GE(services.paints[i].value, services.paints[i - 1].value);
        }
        saw90 = saw90 || (services.paints[i].value == 90 && services.paints[i].max == 100);
    }
    EXPECT_TRUE(saw90);
}

TEST_F(MakeTest, OpenFolderOpensThePageFolderOnceThereArePages) {
    const std::string pages = makeFolder(site + "/album 1");
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + pages + "/top.html\n[Html]\nTUse=0\n");
    FormMain& f = load();
    EXPECT_EQ(f.CommandOpenFolder->caption(), "フォルダを開く");
    EXPECT_FALSE(f.CommandOpenFolder->toolTipText().empty());
    EXPECT_FALSE(f.CommandOpenFolder->accessibleName().empty());
    EXPECT_FALSE(f.CommandOpenFolder->enabled()) << "no pages yet";

    // During the run it is held with 表示.
    bool heldDuringRun = true;
    const int id = f.ProgressBarMake->addObserver([&](Control&, Property) {
        heldDuringRun = heldDuringRun && !f.CommandOpenFolder->enabled();
    });
    pressMake(f);
    f.ProgressBarMake->removeObserver(id);
    EXPECT_TRUE(heldDuringRun);
    ASSERT_EQ(f.LabelMess->caption(), "完了しました");
    ASSERT_TRUE(f.CommandOpenFolder->enabled());
    f.CommandOpenFolder->click();
    EXPECT_EQ(services.opened, (std::vector<std::string>{pages}));
    EXPECT_TRUE(services.warnings.empty());

    // The desktop refuses: the folder is named with the reason, as for 表示.
    services.shellResult = false;
    services.failureReason = "ファイルマネージャーがありません";
    f.CommandOpenFolder->click();
    ASSERT_EQ(services.warnings.size(), 1U);
    EXPECT_EQ(services.warnings[0],
              "Mivo:" + pages + " を開けません。\nファイルマネージャーがありません");
}

TEST_F(MakeTest, SingleModeCheckFailureHandsTheWindowBack) {
    writeIni("[Path]\nPic=" + empty + "\nIndex=" + site + "/index.html\n[Html]\nTUse=0\n");
    FormMain& f = load();
    pressMake(f);
    expectHandedBack(f);
    EXPECT_NE(f.LabelMess->caption(), "");
    EXPECT_NE(f.LabelMess->caption(), "完了しました");
    EXPECT_FALSE(f.CommandOpenHtml->enabled()) << "a failed run leaves 表示 as it was";
    EXPECT_FALSE(fs::exists(site + "/index.html"));
    // The whole message in a box with the warning icon, as for every failure that ends a run.
    EXPECT_EQ(
        services.warnings,
        (std::vector<std::string>{"Mivo:作成に失敗しました。\n\n画像フォルダに画像がありません"}));
}

TEST_F(MakeTest, FilelistBoxDisabledForAFolderWithoutOneCountsAsUnticked) {
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + site +
             "/index.html\n[Html]\nTUse=0\n[Filelist]\nUse=1\n");
    FormMain& f = load();
    ASSERT_EQ(f.display.CheckUseFileList->value(), 1);
    ASSERT_FALSE(f.display.CheckUseFileList->enabled()) << "the folder has no filelist.csv";
    pressMake(f);
    expectHandedBack(f);
    EXPECT_EQ(f.LabelMess->caption(), "完了しました");
    EXPECT_TRUE(fs::exists(site + "/index.html"));
    EXPECT_EQ(f.display.CheckUseFileList->value(), 1);

    // The tick is kept for a folder that has filelist.csv.
    f.Form_Unload();
    const auto entries = iniEntries(f.iniPath());
    EXPECT_NE(std::find(entries.begin(), entries.end(), "Filelist/Use=1"), entries.end());
}

TEST_F(MakeTest, StopBetweenPicturesKeepsTheOldPagesAndSaysSo) {
    for (int i = 0; i < 6; ++i) {
        writeFile(pics + "/c" + std::to_string(i) + ".bmp", bmpBytes(64, 48));
    }
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + site + "/index.html\n[Html]\nTUse=0\n");
    writeFile(site + "/list.html", "old list");
    writeFile(site + "/index.html", "old index");
    FormMain& f = load();
    // The user clicks 中止 as the second picture of the table is shown, and again after.
    int clicks = 0;
    services.onRepaint = [&] {
        if (f.LabelMess->caption().find("(2/") != std::string::npos) {
            ++clicks;
            f.CommandMake->click();
        }
    };
    pressMake(f);
    services.onRepaint = nullptr;

    EXPECT_EQ(clicks, 1) << "the second click found 中止 disabled, and the run stopped at once";
    expectHandedBack(f);
    EXPECT_EQ(f.LabelMess->caption(), "中止しました");
    EXPECT_TRUE(services.warnings.empty()) << "a run the user stopped did not fail";
    EXPECT_EQ(readFile(site + "/list.html"), "old list");
    EXPECT_EQ(readFile(site + "/index.html"), "old index");
    EXPECT_FALSE(fs::exists(site + "/pict.html"));
    const auto shown = labels();
    EXPECT_EQ(
        std::count_if(shown.begin(), shown.end(),
                      [](const std::string& l) { return l.find("(3/") != std::string::npos; }),
        0);

    // The next 作成 runs to the end again.
    pressMake(f);
    EXPECT_EQ(f.LabelMess->caption(), "完了しました");
    EXPECT_NE(readFile(site + "/list.html"), "old list");
}

TEST_F(MakeTest, ClosingDuringARunAsksAndClosesWhenTheRunHasStopped) {
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + site + "/index.html\n[Html]\nTUse=0\n");
    FormMain& f = load();
    bool answeredNo = false;
    services.onRepaint = [&] {
        if (!f.running() || f.LabelMess->caption() != "a (1/2)") {
            return;
        }
        if (!answeredNo) {
            services.yesAnswer = false;
            EXPECT_FALSE(f.confirmClose());
            answeredNo = true;
            services.yesAnswer = true;
            EXPECT_FALSE(f.confirmClose()) << "the window waits for the run to stop";
        }
    };
    f.CommandMake->click();
    EXPECT_EQ(services.messages.size(), 2U);
    EXPECT_EQ(f.LabelMess->caption(), "中止しました");
    EXPECT_EQ(services.closeCount, 1);
    EXPECT_TRUE(f.closed());
    EXPECT_TRUE(f.confirmClose()) << "no run: the window closes at once";
}

TEST_F(MakeTest, SingleModeListPageFailureSaysSo) {
    std::error_code ec;
    fs::remove(program / "html/list.html", ec);
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + site + "/index.html\n[Html]\nTUse=0\n");
    FormMain& f = load();
    pressMake(f);
    expectHandedBack(f);
    EXPECT_EQ(f.LabelMess->caption(), "作成に失敗しました");
    EXPECT_FALSE(f.CommandOpenHtml->enabled());
}

TEST_F(MakeTest, UnwritablePageIsNamedWithItsReasonInABox) {
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + site + "/index.html\n[Html]\nTUse=0\n");
    fs::create_directories(site + "/list.html"); // a folder where the list page should go
    FormMain& f = load();
    pressMake(f);
    EXPECT_EQ(f.LabelMess->caption(), "作成に失敗しました");
    EXPECT_EQ(f.LabelMess->toolTipText(), site + "/list.html: 同じ名前のフォルダがあります");
    // The status line cannot hold the page and why: one box says both, in the user's words,
    // with the warning icon.
    EXPECT_EQ(services.warnings,
              (std::vector<std::string>{"Mivo:作成に失敗しました。\n\n" + site +
                                        "/list.html: 同じ名前のフォルダがあります"}));
    // The next run starts without the old detail, and a run that worked shows no box.
    fs::remove(site + "/list.html");
    pressMake(f);
    EXPECT_EQ(f.LabelMess->caption(), "完了しました");
    EXPECT_EQ(f.LabelMess->toolTipText(), "");
    EXPECT_EQ(services.warnings.size(), 1U);
}

TEST_F(MakeTest, ItemsLeftOutAreNamedInTheStatusLineAndEveryOneInABox) {
    // The two BMPs are headers without pixels: with the media option they are left out.
    for (const char* name : {"c.png", "d.png"}) {
        writeFile(pics + "/" + name, "not a picture");
    }
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + site +
             "/index.html\n[Html]\nTUse=0\nReduce=1\nMedia=1\n");
    FormMain& f = load();
    pressMake(f);
    expectHandedBack(f);
    const std::string caption = f.LabelMess->caption();
    EXPECT_TRUE(caption.starts_with("完了しました (載せられなかった画像・動画: ")) << caption;
    EXPECT_TRUE(caption.ends_with(" ほか 1 件)")) << caption;
    ASSERT_EQ(services.messages.size(), 1U);
    const std::string& box = services.messages.front();
    EXPECT_TRUE(box.starts_with("Mivo:載せられなかった画像・動画 (4 件):\n")) << box;
    for (const char* name : {"a.bmp", "b.bmp", "c.png", "d.png"}) {
        EXPECT_NE(box.find("  " + pics + "/" + name + ": "), std::string::npos) << box;
        EXPECT_NE(f.LabelMess->toolTipText().find(pics + "/" + name), std::string::npos);
    }
    EXPECT_TRUE(f.CommandOpenHtml->enabled());
}

TEST_F(MakeTest, MissingPageFolderIsShownAsStoredAndMadeThere) {
    // A new site: neither the folder nor its parent exist yet.
    const std::string index = site + "/new/album/index.html";
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + index + "\n[Html]\nTUse=0\n");
    const std::vector<std::string> entriesBefore = iniEntries(form().iniPath());
    FormMain& f = load();
    // The folder box shows the folder 作成 will make, the name box the page: not a page in the
    // program folder, nor a folder made before 作成.
    EXPECT_EQ(f.folders.DirIndex->path(), site + "/new/album");
    EXPECT_FALSE(f.folders.DirIndex->exists());
    EXPECT_FALSE(fs::exists(site + "/new"));
    EXPECT_EQ(f.folders.TextIndex->text(), "index.html");
    EXPECT_EQ(f.currentSettings().gstrIndexPath, index);

    pressMake(f);
    EXPECT_EQ(f.LabelMess->caption(), "完了しました");
    EXPECT_TRUE(fs::exists(index));
    EXPECT_FALSE(fs::exists(program / "index.html"));
    EXPECT_TRUE(f.folders.DirIndex->exists());
    // Opening the window and running it changed no setting (it only keeps the folders used).
    f.Form_Unload();
    std::vector<std::string> settingsAfter = iniEntries(f.iniPath());
    std::erase_if(settingsAfter, [](const std::string& e) { return startsWith(e, "Recent/"); });
    EXPECT_EQ(settingsAfter, entriesBefore);
}

TEST_F(MakeTest, SettingsAreSavedAfterEveryRun) {
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + site + "/index.html\n[Html]\nTUse=0\n");
    FormMain& f = load();

    // The first run keeps its folders as the ones used lately; the settings stay as they were.
    pressMake(f);
    EXPECT_EQ(f.LabelMess->caption(), "完了しました");
    const std::vector<std::string> stored = {"Path/Pic=" + pics,
                                             "Path/Index=" + site + "/index.html", "Html/TUse=0",
                                             "Recent/Pic1=" + pics, "Recent/Page1=" + site};
    EXPECT_EQ(iniEntries(f.iniPath()), stored);
    EXPECT_FALSE(fs::exists(f.listPath())) << "an empty list that was not there stays away";

    // Nothing changed: the file is not even touched.
    const std::string iniBefore = readFile(f.iniPath());
    const auto timeBefore = fs::last_write_time(f.iniPath());
    pressMake(f);
    EXPECT_EQ(f.LabelMess->caption(), "完了しました");
    EXPECT_EQ(readFile(f.iniPath()), iniBefore);
    EXPECT_EQ(fs::last_write_time(f.iniPath()), timeBefore);

    // A new title is on disk as soon as the gallery shows it, with the window still open.
    f.display.TextTitle->setText("Summer");
    pressMake(f);
    std::vector<std::string> withTitle = stored;
    withTitle.insert(withTitle.begin() + 3, "Html/Title=Summer");
    EXPECT_EQ(iniEntries(f.iniPath()), withTitle);

    // A run that fails saves too.
    f.display.TextTitle->setText("Autumn");
    fs::remove(site + "/list.html");
    fs::create_directories(site + "/list.html");
    pressMake(f);
    EXPECT_EQ(f.LabelMess->caption(), "作成に失敗しました");
    const auto afterFailure = iniEntries(f.iniPath());
    EXPECT_NE(std::find(afterFailure.begin(), afterFailure.end(), "Html/Title=Autumn"),
              afterFailure.end());

    // Put back to the loaded title, the exit still writes it: what counts is the file.
    f.display.TextTitle->setText("アルバム");
    f.Form_Unload();
    const auto entries = iniEntries(f.iniPath());
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "Html/Title=Autumn"), 0);
}

TEST_F(MakeTest, AFailedSaveAfterARunIsLoggedAndAskedAboutOnlyAtExit) {
    writeIni("[Log]\nLevel=4\n[Path]\nPic=" + pics + "\nIndex=" + site +
             "/index.html\n[Html]\nTUse=0\n");
    FormMain& f = load();
    const std::string iniBytes = readFile(f.iniPath());
    // No write bit for anyone: read-only for a user and, going by the mode, for root as well.
    fs::permissions(f.iniPath(), fs::perms::owner_read | fs::perms::group_read);
    f.display.TextTitle->setText("Summer");
    pressMake(f);
    EXPECT_EQ(readFile(f.iniPath()), iniBytes);
    EXPECT_EQ(f.LabelMess->caption(), "完了しました");
    EXPECT_TRUE(services.messages.empty()) << services.messages.front();
    bool logged = false;
    for (const std::string& line : logLines(f.logPath())) {
        logged = logged || startsWith(line, "[CommandMake_Click] SaveError [" + f.iniPath() + "]");
    }
    EXPECT_TRUE(logged);
    f.Form_Unload();
    EXPECT_EQ(services.messages.size(), 1U) << "asked once, at exit";
}

TEST_F(MakeTest, MenuModeWithoutRowsSaysNoFolder) {
    writeIni("[Ini]\nMode=0\n[Path]\nMenu=" + site + "/menu.html\n");
    FormMain& f = load();
    pressMake(f);
    expectHandedBack(f);
    EXPECT_EQ(f.LabelMess->caption(), "フォルダの指定がありません");
}

TEST_F(MakeTest, MenuModeCheckFailureNamesTheGallery) {
    writeIni("[Ini]\nMode=0\n[Path]\nMenu=" + site + "/menu.html\n");
    writeFile(form().listPath(),
              "First," + pics + ",,\r\nSecond," + pics + ",,\r\nThird," + empty + ",,\r\n");
    FormMain& f = load();
    pressMake(f);
    expectHandedBack(f);
    const std::string label = f.LabelMess->caption();
    EXPECT_TRUE(label.size() > 8 && label.substr(label.size() - 8) == " [Third]") << label;
    EXPECT_FALSE(fs::exists(site + "/001/index.html")) << "nothing is built before all checks";
    EXPECT_FALSE(fs::exists(site + "/menu.html"));
}

TEST_F(MakeTest, MenuModeRunBuildsEveryGalleryAndTheMenu) {
    writeIni("[Ini]\nMode=0\n[Path]\nMenu=" + site + "/menu.html\nMenuH=g\n");
    writeFile(form().listPath(), "First," + pics + ",,\r\nSecond," + pics + ",,\r\n");
    FormMain& f = load();
    pressMake(f);
    expectHandedBack(f);
    EXPECT_EQ(f.LabelMess->caption(), "完了しました");
    EXPECT_EQ(f.ProgressBarMake->value(), 100);
    EXPECT_TRUE(fs::exists(site + "/g/001/index.html"));
    EXPECT_TRUE(fs::exists(site + "/g/002/pict.html"));
    EXPECT_TRUE(fs::exists(site + "/menu.html"));
    bool saw5 = false;
    for (const auto& paint : services.paints) {
        saw5 = saw5 || (paint.label == "作成中です" && paint.value == 5);
    }
    EXPECT_TRUE(saw5) << "the bar goes to 5 once every gallery passed its check";
}

using StatusTest = WindowTest;

TEST_F(StatusTest, StatusCallsFollowTheBarRules) {
    FormMain& f = load();
    f.mainSetStatus(true, "完了しました", 1, 100);
    EXPECT_EQ(f.LabelMess->caption(), "完了しました");
    EXPECT_EQ(f.ProgressBarMake->value(), 100);
    f.mainSetStatus(false, "", 1, 90);
    EXPECT_EQ(f.LabelMess->caption(), "完了しました");
    EXPECT_EQ(f.ProgressBarMake->value(), 90);
    f.mainSetStatus(true, "x", 1, -5);
    EXPECT_EQ(f.ProgressBarMake->value(), 0);
    f.mainSetStatus(true, "x", 1, 150);
    EXPECT_EQ(f.ProgressBarMake->value(), 100);
    f.mainSetStatus(true, "y", 2, 1);
    EXPECT_EQ(f.ProgressBarMake->value(), 100);
    f.mainSetStatus(true, "z", 0, 0);
    EXPECT_EQ(services.paints.size(), 6u) << "every call repaints the label and the bar";
    EXPECT_EQ(services.paints.back().label, "z");
}

TEST_F(MakeTest, TheWindowAndMivoMakeEndTheSameWayOnTheSameSettings) {
    // Saved as the starter leaves them: filelist.csv ticked, a picture folder without one.
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + site +
             "/index.html\n[Html]\nTUse=0\n[Filelist]\nUse=1\nWidth=2\nHeight=3\n");
    std::error_code ec;
    fs::copy_file(std::string(MIVO_BUILD_DIR) + "/mivo-make", program / "mivo-make", ec);
    ASSERT_FALSE(ec) << ec.message();
    const auto mivoMake = [&](std::string& lastLine) {
        const std::string command = "cd / && env -i PATH=/usr/bin:/bin LANG=C '" +
                                    (program / "mivo-make") + "' >'" + (program / "make.out") +
                                    "' 2>/dev/null";
        const int status = std::system(command.c_str());
        std::string out = readFile(program / "make.out");
        if (!out.empty() && out.back() == '\n') {
            out.pop_back();
        }
        lastLine = out.substr(out.rfind('\n') + 1);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    // No filelist.csv in the folder, then one that cannot be used.
    for (const std::string& filelist : {std::string(), std::string("name\r\na.bmp\r\n")}) {
        SCOPED_TRACE(filelist);
        if (!filelist.empty()) {
            writeFile(pics + "/filelist.csv", filelist);
        }
        fs::remove_all(site);
        std::string shown;
        std::string list;
        {
            FakeServices own;
            FormMain f(program.path(), own);
            f.Form_Load();
            f.CommandMake->click();
            shown = f.LabelMess->caption();
            list = readFile(site + "/list.html");
        }
        fs::remove_all(site);
        std::string last;
        const int exit = mivoMake(last);
        EXPECT_EQ(last, shown);
        EXPECT_EQ(readFile(site + "/list.html"), list) << "the same page, or none by either";
        if (filelist.empty()) {
            EXPECT_EQ(shown, "完了しました");
            EXPECT_EQ(exit, 0);
        } else {
            EXPECT_EQ(shown, "filelist.csvの内容が不正です");
            EXPECT_EQ(exit, 1);
        }
    }
}

TEST_F(MakeTest, ALongRunThatEndsUnwatchedIsToldThroughTheDesktop) {
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + site + "/index.html\n[Html]\nTUse=0\n");
    FormMain& f = load();
    // The run takes eleven seconds by the window's clock; the user is in another window.
    const auto runFor = [&](std::chrono::seconds taken) {
        const auto started = services.clock;
        services.onRepaint = [&, started, taken] { services.clock = started + taken; };
        pressMake(f);
        services.onRepaint = nullptr;
    };
    services.active = false;
    runFor(std::chrono::seconds(11));
    EXPECT_EQ(services.notifications, (std::vector<std::string>{"Mivo:完了しました"}));

    // One the user watched, or a short one, is not told.
    services.active = true;
    runFor(std::chrono::seconds(11));
    services.active = false;
    runFor(std::chrono::seconds(9));
    EXPECT_EQ(services.notifications.size(), 1U);

    // A failure is told as the status line says it.
    fs::remove_all(pics + "/a.bmp");
    fs::remove_all(pics + "/b.bmp");
    runFor(std::chrono::seconds(11));
    ASSERT_EQ(services.notifications.size(), 2U);
    EXPECT_EQ(services.notifications[1], "Mivo:画像フォルダに画像がありません");
}

TEST_F(MakeTest, TheBarSaysHowLongItsPartHasStillToGo) {
    for (int i = 0; i < 8; ++i) {
        writeFile(pics + "/c" + std::to_string(i) + ".bmp", bmpBytes(64, 48));
    }
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + site + "/index.html\n[Html]\nTUse=0\n");
    FormMain& f = load();
    // Every status call takes a second.
    std::vector<std::string> said;
    services.onRepaint = [&] {
        services.clock += std::chrono::seconds(1);
        said.push_back(f.ProgressBarMake->caption());
    };
    pressMake(f);
    services.onRepaint = nullptr;
    EXPECT_NE(std::find(said.begin(), said.end(), "残り約 5 秒"), said.end())
        << ::testing::PrintToString(said);
    EXPECT_EQ(said.front(), "") << "nothing to say before the bar moved";
    EXPECT_EQ(f.ProgressBarMake->caption(), "") << "a run that ended has no time left";
}

TEST_F(MakeTest, TheFoldersOfACompletedRunAreOfferedFirstAndKept) {
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + site + "/index.html\n[Html]\nTUse=0\n");
    FormMain& f = load();
    EXPECT_TRUE(f.folders.DirPic->recent().empty());
    pressMake(f);
    using Folders = std::vector<std::string>;
    EXPECT_EQ(f.folders.DirPic->recent(), Folders{pics});
    EXPECT_EQ(f.galleryList.DirListSam->recent(), Folders{pics});
    EXPECT_EQ(f.folders.DirIndex->recent(), Folders{site});
    EXPECT_EQ(f.galleryList.DirMenu->recent(), Folders{site});

    // Eleven more: the oldest goes; a folder used again comes first, once.
    Folders used;
    for (int i = 0; i < 11; ++i) {
        const std::string folder = makeFolder(program / ("p" + std::to_string(i)));
        writeFile(folder + "/a.bmp", bmpBytes(64, 48));
        ASSERT_TRUE(f.folders.DirPic->setPath(folder));
        pressMake(f);
        used.insert(used.begin(), folder);
    }
    used.resize(10);
    EXPECT_EQ(f.folders.DirPic->recent(), used);
    ASSERT_TRUE(f.folders.DirPic->setPath(used[4]));
    pressMake(f);
    const std::string again = used[4];
    used.erase(used.begin() + 4);
    used.insert(used.begin(), again);
    EXPECT_EQ(f.folders.DirPic->recent(), used);

    // A run that failed used nothing.
    ASSERT_TRUE(f.folders.DirPic->setPath(empty));
    pressMake(f);
    EXPECT_EQ(f.folders.DirPic->recent(), used);

    // Kept in Mivo.ini for the next start.
    f.Form_Unload();
    FakeServices own;
    FormMain next(program.path(), own);
    next.Form_Load();
    EXPECT_EQ(next.folders.DirSam->recent(), used);
    EXPECT_EQ(next.folders.DirIndex->recent(), Folders{site});
}

} // namespace
} // namespace mivo::test
