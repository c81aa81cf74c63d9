// 公開 in the window: the 公開先 tab's settings, the button that becomes 中止, the status line
// and the box, and 表示 opening the site's address, against a real OpenSSH server.

#include "window_fixture.h"

#include "support/publish_servers.h"

namespace mivo::test {
namespace {

using PublishWindowTest = WindowTest;

TEST_F(PublishWindowTest, ThePublishTabShowsEditsAndSavesWhereTheSiteGoes) {
    writeIni("[Publish]\nTransport=rclone\nRcloneRemote=mine\nRclonePath=www/site\n"
             "Address=https://example.org/\nOriginals=1\n");
    FormMain& f = load();
    f.TabStripMivo->select(3);
    EXPECT_EQ(f.visiblePane(), f.server.FramePublish);
    EXPECT_TRUE(f.server.OptionTransport[1]->value());
    EXPECT_EQ(f.server.TextRcloneRemote->text(), "mine");
    EXPECT_EQ(f.server.TextRclonePath->text(), "www/site");
    EXPECT_EQ(f.server.TextAddress->text(), "https://example.org/");
    EXPECT_TRUE(f.server.OptionOriginals[1]->value());
    // Only the boxes of the transport chosen take input.
    EXPECT_FALSE(f.server.TextHost->enabled());
    EXPECT_TRUE(f.server.TextRcloneRemote->enabled());

    f.server.OptionTransport[0]->click();
    EXPECT_TRUE(f.server.TextHost->enabled());
    EXPECT_FALSE(f.server.TextRclonePath->enabled());
    f.server.TextHost->setText("example.org");
    f.server.TextPort->setText("2222");
    f.server.OptionOriginals[2]->click();
    const Settings current = f.currentSettings();
    EXPECT_EQ(current.PublishTransportName, "rsync");
    EXPECT_EQ(current.PublishHost, "example.org");
    EXPECT_EQ(current.PublishPort, 2222);
    EXPECT_EQ(current.PublishOriginals, 2);
    // A port that is no number keeps the value the box last held as one.
    f.server.TextPort->setText("22a");
    EXPECT_EQ(f.currentSettings().PublishPort, 0);

    // No site yet: the publish fails as a Make run does, with the status line and a box, and
    // hands the window back; the settings are kept all the same.
    f.server.TextPort->setText("2222");
    f.CommandPublish->click();
    EXPECT_FALSE(f.running());
    EXPECT_FALSE(f.publishing());
    EXPECT_EQ(f.CommandPublish->caption(), "公開");
    EXPECT_TRUE(f.CommandPublish->enabled());
    EXPECT_TRUE(f.CommandMake->enabled());
    EXPECT_TRUE(f.folders.FrameDirs->enabled());
    ASSERT_EQ(services.warnings.size(), 1U);
    EXPECT_TRUE(startsWith(services.warnings[0], "Mivo:公開に失敗しました。\n\n"))
        << services.warnings[0];
    EXPECT_NE(services.warnings[0].find(f.LabelMess->caption()), std::string::npos);
    EXPECT_FALSE(f.LabelMess->caption().empty());
    const auto entries = iniEntries(f.iniPath());
    EXPECT_NE(std::find(entries.begin(), entries.end(), "Publish/Host=example.org"), entries.end());
    EXPECT_NE(std::find(entries.begin(), entries.end(), "Publish/Originals=2"), entries.end());
}

class PublishServerWindowTest : public GalleryWindowTest {
  protected:
    void SetUp() override {
        GalleryWindowTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        std::string why;
        if (!ssh.start(dir, why, 1 << 20)) {
            GTEST_SKIP() << why;
        }
        remote = dir.mkdir("remote");
    }

    TempDir dir;
    SshServer ssh;
    std::string remote;
};

TEST_F(PublishServerWindowTest, PublishSendsTheSiteStopsOnRequestAndShowOpensTheAddress) {
    writeIni("[Path]\nPic=" + pics + "\nIndex=" + site + "/index.html\n[Html]\nTUse=0\n" +
             "[Publish]\nHost=mivo-test\nFolder=" + remote + "\nSshConfig=" + ssh.sshConfig +
             "\nAddress=https://example.org/gallery/\n");
    FormMain& f = load();
    f.CommandMake->click();
    ASSERT_TRUE(fs::exists(site + "/index.html"));

    // 中止 while it runs: the publish ends, says so, and no box is shown.
    bool heldWhileRunning = true;
    services.onRepaint = [&] {
        heldWhileRunning = heldWhileRunning && f.publishing() &&
                           f.CommandPublish->caption() == "中止" && !f.CommandMake->enabled() &&
                           !f.folders.FrameDirs->enabled() && !f.CommandExit->enabled();
        if (startsWith(f.LabelMess->caption(), "公開中です")) {
            f.CommandPublish->click();
        }
    };
    f.CommandPublish->click();
    EXPECT_TRUE(heldWhileRunning);
    EXPECT_FALSE(f.running());
    EXPECT_EQ(f.LabelMess->caption(), "公開を中止しました。次の公開で続きから送ります");
    EXPECT_TRUE(services.warnings.empty());
    services.shellResult = true;
    f.CommandOpenHtml->click();
    ASSERT_EQ(services.opened.size(), 1U);
    EXPECT_EQ(services.opened.back(), site + "/index.html");

    // The next publish completes it: the server holds the site, the status line the summary,
    // and 表示 opens the site's address.
    services.onRepaint = nullptr;
    f.CommandPublish->click();
    EXPECT_TRUE(services.warnings.empty()) << services.warnings.front();
    EXPECT_TRUE(startsWith(f.LabelMess->caption(), "公開しました: ")) << f.LabelMess->caption();
    EXPECT_EQ(treeOf(remote, true), treeOf(site));
    EXPECT_EQ(f.CommandPublish->caption(), "公開");
    f.CommandOpenHtml->click();
    EXPECT_EQ(services.opened.back(), "https://example.org/gallery/");

    // After the next Make run 表示 shows the pages made.
    f.CommandMake->click();
    f.CommandOpenHtml->click();
    EXPECT_EQ(services.opened.back(), site + "/index.html");
}

} // namespace
} // namespace mivo::test
