#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/program_files.h"
#include "publish/publish.h"
#include "publish/transfer.h"
#include "settings/settings.h"
#include "support/publish_servers.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;
using test::treeOf;
using Clock = std::chrono::steady_clock;

/// Keeps what a publish shows, and asks it to stop when the test says so.
class RecordingPublish : public PublishSink {
  public:
    void message(const std::string& text) override { messages.push_back(text); }
    void progress(const PublishProgress& now) override {
        shown.push_back(now);
        if (stopWhen && !stopAt && stopWhen(now)) {
            stopAt = Clock::now();
        }
    }
    bool stopRequested() const override { return stopAt.has_value(); }

    std::vector<std::string> messages;
    std::vector<PublishProgress> shown;
    std::function<bool(const PublishProgress&)> stopWhen;
    std::optional<Clock::time_point> stopAt;
};

/// Bytes that do not compress and that no two files share.
std::string noise(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint64_t x = seed * 0x9E3779B97F4A7C15ULL + 1;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        c = static_cast<char>(x);
    }
    return bytes;
}

/// A site as a run leaves it, with what must never go out: Mivo's records, hidden names, links.
void writeSite(const TempDir& dir) {
    dir.write("site/index.html", "<p>index</p>\r\n");
    dir.write("site/list.html", "<p>list</p>\r\n");
    dir.write("site/pict.html", "<p>pict</p>\r\n");
    dir.write("site/a.jpg", noise(60000, 1));
    dir.write("site/thumbs/a.jpg", noise(3000, 2));
    dir.write("site/thumbs/.mivo-copies", "record\n");
    dir.write("site/001/index.html", "<p>one</p>\r\n");
    dir.write("site/001/b.jpg", noise(20000, 3));
    dir.write("site/名前 と空白.html", "<p>names</p>\r\n");
    dir.write("site/.git/config", "secret\n");
    std::error_code ec;
    fs::create_symlink("/etc/hostname", dir / "site/link.html", ec);
}

/// The tests of one transport against its server.
class PublishTest : public ::testing::Test {
  protected:
    PublishJob job(const std::string& host, const std::string& folder = "remote") {
        PublishJob job;
        job.siteFolder = dir / "site";
        job.target.host = host;
        job.target.folder = dir / folder;
        job.target.sshConfig = ssh.sshConfig;
        return job;
    }
    PublishResult publish(const PublishJob& job) {
        sink = RecordingPublish{};
        return publishSite(job, sink);
    }

    TempDir dir;
    test::SshServer ssh;
    RecordingPublish sink;
};

#define START_SSH_SERVER()                                                                         \
    do {                                                                                           \
        std::string why;                                                                           \
        if (!ssh.start(dir, why, 1 << 20)) {                                                       \
            GTEST_SKIP() << why;                                                                   \
        }                                                                                          \
    } while (false)

TEST_F(PublishTest, TheServerHoldsTheSiteAfterEachPublishAndKeepsWhatMivoDidNotPutThere) {
    START_SSH_SERVER();
    writeSite(dir);
    dir.mkdir("remote");
    PublishResult result = publish(job("mivo-test"));
    ASSERT_TRUE(result.done) << result.message << "\n" << result.lastLine;
    // Everything but hidden names and links, and nothing of Mivo's own records.
    EXPECT_EQ(treeOf(dir / "remote", true), treeOf(dir / "site"));
    EXPECT_FALSE(fs::exists(dir / "remote/link.html"));
    EXPECT_EQ(result.filesInSite, 8);
    EXPECT_EQ(result.filesSent, 8);
    EXPECT_EQ(result.linksLeftOut, 1);
    EXPECT_EQ(sink.messages.back(),
              "公開しました: 8 個のファイル (0.1 MB) を送り、0 個を削除しました");
    EXPECT_NE(sink.messages.front().find("link.html"), std::string::npos);
    // Readable by the web server whatever the site's own bits.
    EXPECT_NE(fs::status(dir / "remote/a.jpg").permissions() & fs::perms::others_read,
              fs::perms::none);

    // Files the user put there by hand, and one beside the folder.
    dir.write("remote/mine.html", "mine");
    dir.write("remote/001/mine.txt", "mine too");
    dir.write("outside.txt", "beside");

    // Nothing changed since that publish: nothing to send, nothing to ask the server.
    result = publish(job("mivo-test"));
    ASSERT_TRUE(result.done) << result.message;
    EXPECT_EQ(result.filesSent, 0);
    EXPECT_EQ(result.dataSent, 0);
    EXPECT_EQ(result.message, "変わったファイルはありません。mivo-test:" + (dir / "remote") +
                                  " は前回の公開のままです");
    // Pages rewritten with the same bytes and a file lost on the server: rsync compares every
    // file with the server again, puts the lost one back and sends no page's bytes.
    // An hour back, so that the page changed below, however slowly the machine gets there,
    // never takes this time again.
    const auto other = fs::last_write_time(dir / "site/index.html") - std::chrono::hours(1);
    for (const char* page : {"index.html", "list.html", "pict.html"}) {
        fs::last_write_time(dir / ("site/" + std::string(page)), other);
    }
    fs::remove(dir / "remote/thumbs/a.jpg");
    result = publish(job("mivo-test"));
    ASSERT_TRUE(result.done) << result.message << "\n" << result.lastLine;
    EXPECT_EQ(result.filesSent, 4);
    EXPECT_EQ(result.dataSent, 3000);
    EXPECT_EQ(result.filesRemoved, 0);
    EXPECT_EQ(readBytes(dir / "remote/thumbs/a.jpg"), readBytes(dir / "site/thumbs/a.jpg"));

    // A changed page of the same length, a new gallery, a removed copy and a removed gallery.
    dir.write("site/list.html", "<p>LIST</p>\r\n");
    dir.write("site/002/index.html", "<p>two</p>\r\n");
    fs::remove(dir / "site/thumbs/a.jpg");
    fs::remove_all(dir / "site/001");
    result = publish(job("mivo-test"));
    ASSERT_TRUE(result.done) << result.message << "\n" << result.lastLine;
    EXPECT_EQ(result.filesSent, 2);
    EXPECT_EQ(result.filesRemoved, 3);
    std::map<std::string, std::string> expected = treeOf(dir / "site");
    expected["mine.html"] = "mine";
    expected["001/mine.txt"] = "mine too";
    EXPECT_EQ(treeOf(dir / "remote", true), expected);
    EXPECT_EQ(readBytes(dir / "outside.txt"), "beside");

    // A record that names files outside the site's folder on the server deletes none of them.
    const std::string record = readBytes(dir / "site/.mivo-published");
    dir.write("site/.mivo-published",
              record + "/../outside.txt\n/./mine.html\n/.hidden\n//x\nmine.html\n");
    fs::remove(dir / "site/002/index.html");
    result = publish(job("mivo-test"));
    ASSERT_TRUE(result.done) << result.message << "\n" << result.lastLine;
    EXPECT_EQ(result.filesRemoved, 1);
    EXPECT_FALSE(fs::exists(dir / "remote/002/index.html"));
    EXPECT_EQ(readBytes(dir / "outside.txt"), "beside");
    EXPECT_EQ(readBytes(dir / "remote/mine.html"), "mine");
}

TEST_F(PublishTest, EachServerLosesOnlyWhatWasPublishedThere) {
    START_SSH_SERVER();
    writeSite(dir);
    dir.mkdir("remote");
    dir.mkdir("second");
    ASSERT_TRUE(publish(job("mivo-test")).done);
    // The second server has a.jpg of its own before Mivo ever publishes there.
    fs::remove(dir / "site/a.jpg");
    dir.write("second/a.jpg", "the user's");
    ASSERT_TRUE(publish(job("mivo-test", "second")).done);
    EXPECT_EQ(readBytes(dir / "second/a.jpg"), "the user's");
    EXPECT_TRUE(fs::exists(dir / "remote/a.jpg"));
    // The first server still has it from its first publish: it goes now.
    ASSERT_TRUE(publish(job("mivo-test")).done);
    EXPECT_FALSE(fs::exists(dir / "remote/a.jpg"));
    EXPECT_EQ(readBytes(dir / "second/a.jpg"), "the user's");
}

TEST_F(PublishTest, FailuresAreNamedWithWhatToDoAndAKeyIsNeverAccepted) {
    START_SSH_SERVER();
    writeSite(dir);
    dir.mkdir("remote");
    const std::string known = readBytes(dir / "ssh/known_hosts_none");
    struct Case {
        const char* host;
        PublishFailure failure;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"mivo-newkey", PublishFailure::HostKeyUnknown,
         "端末で一度「ssh -F " + ssh.sshConfig + " mivo-newkey」と接続し"},
        {"mivo-changed", PublishFailure::HostKeyChanged, "鍵の指紋 SHA256:"},
        {"mivo-changed", PublishFailure::HostKeyChanged, "「ssh-keygen -R mivo-changed」"},
        {"mivo-refused", PublishFailure::KeyRefused, "鍵を受け付けませんでした"},
        {"mivo-closed", PublishFailure::Unreachable, "mivo-closed に接続できません"},
        {"mivo-norsync", PublishFailure::NoRsyncOnServer, "rsync がありません"},
        {"mivo-no-such-host.invalid", PublishFailure::HostNotFound, "見つかりません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        const PublishResult result = publish(job(c.host));
        EXPECT_FALSE(result.done);
        EXPECT_EQ(result.failure, c.failure) << result.lastLine;
        EXPECT_NE(result.message.find(c.says), std::string::npos) << result.message;
        EXPECT_EQ(sink.messages.back(), result.message);
        EXPECT_FALSE(result.lastLine.empty());
        EXPECT_TRUE(treeOf(dir / "remote", true).empty());
    }
    // The new key was not taken on the user's behalf, and nothing is on record as published.
    EXPECT_EQ(readBytes(dir / "ssh/known_hosts_none"), known);
    EXPECT_EQ(readBytes(dir / "site/.mivo-published").find("\n@ "), std::string::npos);
}

TEST_F(PublishTest, AStopEndsThePublishWithinASecondAndTheNextCompletesWhatWasLeft) {
    START_SSH_SERVER();
    constexpr std::size_t kFilm = 6000000;
    dir.write("site/index.html", "<p>index</p>\r\n");
    dir.write("site/movie.mp4", noise(kFilm, 7));
    dir.mkdir("remote");
    // Through a slow line (2 MB/s), stopped half a second after it started sending: ssh must
    // not go on with the megabytes it holds.
    ssh.setSlowRate(2 << 20);
    const PublishJob slow = job("mivo-slow");
    sink = RecordingPublish{};
    std::optional<Clock::time_point> sending;
    sink.stopWhen = [&](const PublishProgress& now) {
        if (!sending && now.bytesSent > 0) {
            sending = Clock::now();
        }
        return sending && Clock::now() - *sending > std::chrono::milliseconds(500);
    };
    PublishResult result = publishSite(slow, sink);
    const auto ended = Clock::now();
    ASSERT_TRUE(sink.stopAt.has_value()) << result.message;
    EXPECT_LT(ended - *sink.stopAt, std::chrono::seconds(1));
    EXPECT_FALSE(result.done);
    EXPECT_EQ(result.failure, PublishFailure::Stopped);
    EXPECT_EQ(result.message, "公開を中止しました。次の公開で続きから送ります");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(dir / "remote/movie.mp4"));

    // The next publish completes it, taking up what the stopped one had sent.
    ssh.setSlowRate(1 << 30);
    result = publish(slow);
    ASSERT_TRUE(result.done) << result.message << "\n" << result.lastLine;
    EXPECT_EQ(treeOf(dir / "remote", true), treeOf(dir / "site"));
    EXPECT_LT(result.dataSent, static_cast<std::int64_t>(kFilm));
}

TEST_F(PublishTest, WhatCannotBePublishedIsRefusedBeforeAnythingGoesOut) {
    writeSite(dir);
    const std::string marker = dir / "touched";
    PublishJob base;
    base.siteFolder = dir / "site";
    base.target.host = "mivo-test";
    base.target.folder = dir / "remote";
    struct Case {
        const char* what;
        std::function<void(PublishJob&)> change;
        PublishFailure failure;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"no server", [](PublishJob& j) { j.target.host.clear(); }, PublishFailure::NotConfigured,
         "[Publish]"},
        {"a host that reads as an option",
         [&](PublishJob& j) { j.target.host = "-oProxyCommand=touch " + marker; },
         PublishFailure::BadSetting, "Host=-oProxyCommand"},
        {"a user that reads as an option", [](PublishJob& j) { j.target.user = "-x"; },
         PublishFailure::BadSetting, "User=-x"},
        {"a folder that reads as an option", [](PublishJob& j) { j.target.folder = "-x"; },
         PublishFailure::BadSetting, "Folder=-x"},
        {"an unknown transport", [](PublishJob& j) { j.target.transportName = "ftp"; },
         PublishFailure::BadSetting, "Transport=ftp"},
        {"rclone without a remote", [](PublishJob& j) { j.target.transportName = "rclone"; },
         PublishFailure::NotConfigured, "RcloneRemote"},
        {"no site", [&](PublishJob& j) { j.siteFolder = dir / "nothing"; },
         PublishFailure::SiteMissing, "先に作成してください"},
        {"a site that holds Mivo's settings",
         [&](PublishJob& j) { j.keepOut = {dir / "site/001"}; }, PublishFailure::UnsafeSite,
         "公開しません"},
        {"the home folder", [&](PublishJob& j) { j.keepOut = {dir / "site"}; },
         PublishFailure::UnsafeSite, "公開しません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PublishJob changed = base;
        c.change(changed);
        const PublishResult result = publish(changed);
        EXPECT_FALSE(result.done);
        EXPECT_EQ(result.failure, c.failure);
        EXPECT_NE(result.message.find(c.says), std::string::npos) << result.message;
    }
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_FALSE(fs::exists(dir / "site/.mivo-published"));

    // A Make run (or another publish) holds the folder.
    const int held = ::open((dir / "site").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(publish(base).failure, PublishFailure::Busy);
    ::close(held);

    // rsync missing on this machine: the Debian package to install is named.
    const char* path = std::getenv("PATH");
    const std::string saved = path != nullptr ? path : "";
    ::setenv("PATH", dir.mkdir("empty-bin").c_str(), 1);
    const PublishResult missing = publish(base);
    ::setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(missing.failure, PublishFailure::ProgramMissing);
    EXPECT_EQ(missing.message,
              "rsync がありません。Debian パッケージ rsync をインストールしてください");
}

/// The same promises through rclone, to an SFTP remote of the user's rclone configuration.
class RclonePublishTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (saved_) {
            ::setenv("RCLONE_CONFIG", saved_->c_str(), 1);
        } else {
            ::unsetenv("RCLONE_CONFIG");
        }
    }
    /// false when rclone is not installed.
    bool startServer(std::string& why) {
        if (!server.start(dir, dir.mkdir("served"), why)) {
            return false;
        }
        const char* config = std::getenv("RCLONE_CONFIG");
        if (config != nullptr) {
            saved_ = config;
        }
        ::setenv("RCLONE_CONFIG", server.config.c_str(), 1);
        return true;
    }
    PublishResult publish(const std::string& remote) {
        PublishJob job;
        job.siteFolder = dir / "site";
        job.target.transportName = "rclone";
        job.target.rcloneRemote = remote;
        job.target.rclonePath = "www/gallery";
        job.target.address = "https://example.org/gallery/";
        sink = RecordingPublish{};
        return publishSite(job, sink);
    }

    TempDir dir;
    test::RcloneServer server;
    RecordingPublish sink;

  private:
    std::optional<std::string> saved_;
};

#define START_RCLONE_SERVER()                                                                      \
    do {                                                                                           \
        std::string why;                                                                           \
        if (!startServer(why)) {                                                                   \
            GTEST_SKIP() << why;                                                                   \
        }                                                                                          \
    } while (false)

TEST_F(RclonePublishTest, TheRemoteHoldsTheSiteAfterEachPublishAndKeepsWhatMivoDidNotPutThere) {
    START_RCLONE_SERVER();
    writeSite(dir);
    const std::string remote = dir / "served/www/gallery";
    PublishResult result = publish("mivo-test:");
    ASSERT_TRUE(result.done) << result.message << "\n" << result.lastLine;
    EXPECT_EQ(treeOf(remote, true), treeOf(dir / "site"));
    EXPECT_EQ(result.filesSent, 8);
    EXPECT_EQ(result.message, "公開しました: 8 個のファイル (0.1 MB) を送り、0 個を削除しました。"
                              "https://example.org/gallery/");
    dir.write("served/www/gallery/mine.html", "mine");
    dir.write("served/www/gallery/001/mine.txt", "mine too");

    result = publish("mivo-test");
    ASSERT_TRUE(result.done) << result.message << "\n" << result.lastLine;
    EXPECT_EQ(result.filesSent, 0);
    EXPECT_EQ(result.bytesSent, 0);

    dir.write("site/list.html", "<p>LIST</p>\r\n");
    dir.write("site/002/index.html", "<p>two</p>\r\n");
    fs::remove(dir / "site/thumbs/a.jpg");
    fs::remove_all(dir / "site/001");
    result = publish("mivo-test");
    ASSERT_TRUE(result.done) << result.message << "\n" << result.lastLine;
    EXPECT_EQ(result.filesSent, 2);
    EXPECT_EQ(result.filesRemoved, 3);
    std::map<std::string, std::string> expected = treeOf(dir / "site");
    expected["mine.html"] = "mine";
    expected["001/mine.txt"] = "mine too";
    EXPECT_EQ(treeOf(remote, true), expected);
}

TEST_F(RclonePublishTest, AnUnknownRemoteAndAChangedHostKeyAreNamed) {
    START_RCLONE_SERVER();
    writeSite(dir);
    PublishResult result = publish("mivo-nosuch");
    EXPECT_EQ(result.failure, PublishFailure::RemoteNotConfigured) << result.lastLine;
    EXPECT_EQ(result.message, "rclone のリモート mivo-nosuch がありません。端末で rclone config を"
                              "実行して設定してください");
    result = publish("mivo-changed");
    EXPECT_EQ(result.failure, PublishFailure::HostKeyChanged) << result.lastLine;
    EXPECT_TRUE(treeOf(dir / "served", true).empty());
}

TEST(PublishPlanTest, TheSiteIsTheTopPagesFolderAndTheTargetComesFromPublishSettings) {
    Settings settings = defaultSettings("/prog");
    settings.OptionMenu = 1;
    settings.gstrIndexPath = "/home/u/gallery/index.html";
    settings.gstrMenuPath = "/home/u/menu/top.html";
    settings.PublishHost = "example.org";
    settings.PublishUser = "me";
    settings.PublishPort = 2222;
    settings.PublishFolder = "www";
    settings.PublishAddress = "https://example.org/";
    ProgramFiles files = portableProgramFiles("/prog");
    files.homeFolder = "/home/u";
    PublishJob job = planPublish(settings, files);
    EXPECT_EQ(job.siteFolder, "/home/u/gallery");
    EXPECT_EQ(job.target.host, "example.org");
    EXPECT_EQ(job.target.user, "me");
    EXPECT_EQ(job.target.port, 2222);
    EXPECT_EQ(job.target.folder, "www");
    EXPECT_EQ(job.target.transportName, "rsync");
    EXPECT_EQ(job.target.address, "https://example.org/");
    EXPECT_NE(std::find(job.keepOut.begin(), job.keepOut.end(), "/home/u"), job.keepOut.end());
    EXPECT_NE(std::find(job.keepOut.begin(), job.keepOut.end(), "/prog"), job.keepOut.end());
    EXPECT_EQ(destinationText(job.target), "me@example.org:www");
    settings.OptionMenu = 0;
    EXPECT_EQ(planPublish(settings, files).siteFolder, "/home/u/menu");
}

TEST(PublishFailureTest, ProgramsWordsForFailuresNoTestServerCanStageAreNamed) {
    // As rsync and rclone write them on a full disk, a refused folder and a broken line.
    EXPECT_EQ(rsyncFailure(11, "rsync: [receiver] write failed on \"/srv/www/a.jpg\": No space "
                               "left on device (28)\nrsync error: error in file IO (code 11)"),
              PublishFailure::DiskFull);
    EXPECT_EQ(rsyncFailure(23, "rsync: [receiver] mkstemp \"/srv/www/.a.jpg.Xq1\" failed: "
                               "Permission denied (13)"),
              PublishFailure::AccessDenied);
    EXPECT_EQ(rsyncFailure(12, "client_loop: send disconnect: Broken pipe\nrsync: connection "
                               "unexpectedly closed (1234 bytes received so far) [sender]"),
              PublishFailure::ConnectionDropped);
    EXPECT_EQ(rsyncFailure(30, "rsync error: timeout in data send/receive (code 30)"),
              PublishFailure::ConnectionDropped);
    EXPECT_EQ(rcloneFailure(7, "Failed to copy: Put \"https://dav/x\": 507 Insufficient Storage"),
              PublishFailure::DiskFull);
    EXPECT_EQ(rcloneFailure(5, "Failed to copy: read tcp 10.0.0.2:5->1.2.3.4:443: read: "
                               "connection reset by peer"),
              PublishFailure::ConnectionDropped);
    EXPECT_EQ(rcloneFailure(1, "Failed to create file system for \"s3x:bucket\": didn't find "
                               "section in config file"),
              PublishFailure::RemoteNotConfigured);
}

TEST(PublishProgressTest, TheStatusLineSaysFilesBytesRateAndTimeLeft) {
    PublishProgress now;
    now.filesSent = 12;
    now.bytesSent = 3400000;
    EXPECT_EQ(publishProgressText(now), "送信中: 12 個のファイル、3.4 MB");
    now.bytesPerSecond = 1200000;
    now.secondsLeft = 65;
    EXPECT_EQ(publishProgressText(now), "送信中: 12 個のファイル、3.4 MB (1.2 MB/s, 残り 0:01:05)");
}

} // namespace
} // namespace mivo
