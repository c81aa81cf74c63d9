#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/codepage.h"
#include "common/text_file.h"
#include "support/publish_servers.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;
using test::treeOf;

/// mivo-make with [Publish] pointing at an SSH server the test started.
class PublishCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!ssh.start(dir, why, 1 << 20)) {
            GTEST_SKIP() << why;
        }
        prog = dir.mkdir("prog");
        std::error_code ec;
        fs::copy_file(MIVO_MAKE_PATH, prog + "/mivo-make", ec);
        ASSERT_FALSE(ec) << ec.message();
        test::writeShippedTemplates(dir, "prog/html");
        // The catalogue, for the English run.
        fs::copy(std::string(MIVO_BUILD_DIR) + "/locale", prog + "/locale",
                 fs::copy_options::recursive, ec);
        dir.write("pics/a.gif", std::string("GIF89a\x28\x00\x1e\x00\x80\x00\x00", 13));
        dir.write("pics/b.gif", std::string("GIF89a\x1e\x00\x28\x00\x80\x00\x00", 13));
        dir.mkdir("remote");
        writeIni("mivo-test");
    }

    void writeIni(const std::string& host) {
        const std::string ini =
            "[Ini]\r\nMode=1\r\n[Path]\r\nPic=" + (dir / "pics") +
            "\r\nIndex=" + (dir / "out/index.html") +
            "\r\n[Html]\r\nTUse=0\r\n[Publish]\r\nHost=" + host + "\r\nFolder=" + (dir / "remote") +
            "\r\nSshConfig=" + ssh.sshConfig + "\r\nAddress=https://example.org/\r\n";
        dir.write("prog/Mivo.ini", encodeCp932(ini, Cp932Fallback::Question));
    }

    /// Runs mivo-make with `args` to its end; fills out and err.
    int run(const std::string& args, const std::string& environment = "") {
        const std::string line = environment + " '" + prog + "/mivo-make' " + args + " >'" +
                                 (dir / "stdout") + "' 2>'" + (dir / "stderr") + "' </dev/null";
        const int status = std::system(line.c_str());
        out = readBytes(dir / "stdout");
        err = readBytes(dir / "stderr");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string lastLine() const {
        const std::vector<std::string> lines = splitLines(out);
        return lines.empty() ? std::string() : lines.back();
    }

    TempDir dir;
    test::SshServer ssh;
    std::string prog;
    std::string out;
    std::string err;
};

TEST_F(PublishCliTest, PublishMakesThenSendsAndSucceedsOnlyWhenTheServerHoldsTheSite) {
    ASSERT_EQ(run("--publish"), 0) << out << err;
    EXPECT_EQ(lastLine().rfind("公開しました: 3 個のファイル (0.", 0), 0u) << out;
    EXPECT_NE(lastLine().find(" MB) を送り、0 個を削除しました。https://example.org/"),
              std::string::npos);
    EXPECT_NE(out.find("完了しました\n公開中です: mivo-test:" + (dir / "remote") +
                       " (3 個のファイル、0."),
              std::string::npos)
        << out;
    EXPECT_EQ(treeOf(dir / "remote", true), treeOf(dir / "out"));
    EXPECT_EQ(err, "");

    // Only what is there, nothing made, and nothing changed since.
    ASSERT_EQ(run("--publish-only"), 0) << out << err;
    EXPECT_EQ(splitLines(out).size(), 1u) << out;
    EXPECT_EQ(lastLine(), "変わったファイルはありません。mivo-test:" + (dir / "remote") +
                              " は前回の公開のままです。https://example.org/");

    // A server whose key is not known yet: named, with ssh's own words on standard error.
    writeIni("mivo-newkey");
    EXPECT_EQ(run("--publish-only"), 1);
    EXPECT_NE(lastLine().find("の鍵がまだ登録されていません"), std::string::npos) << out;
    EXPECT_NE(err.find("mivo-make: Host key verification failed."), std::string::npos) << err;
    EXPECT_EQ(run("--publish-only", "LANG=en_US.UTF-8"), 1);
    EXPECT_NE(lastLine().find("is not known yet"), std::string::npos) << out;

    // A gallery that could not be made is not sent.
    writeIni("mivo-test");
    fs::remove_all(dir / "pics");
    dir.mkdir("pics");
    EXPECT_EQ(run("--publish"), 1);
    EXPECT_EQ(out.find("公開中です"), std::string::npos) << out;
}

/// True while a process whose command line holds `text` runs.
bool anyProcessWith(const std::string& text) {
    DIR* proc = ::opendir("/proc");
    bool found = false;
    while (const dirent* entry = proc != nullptr ? ::readdir(proc) : nullptr) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') {
            continue;
        }
        std::string cmdline = readBytes(std::string("/proc/") + entry->d_name + "/cmdline");
        for (char& c : cmdline) {
            c = c == '\0' ? ' ' : c;
        }
        const std::string stat = readBytes(std::string("/proc/") + entry->d_name + "/stat");
        const std::size_t close = stat.rfind(')');
        const bool zombie =
            close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
        found = found || (!zombie && cmdline.find(text) != std::string::npos);
    }
    if (proc != nullptr) {
        ::closedir(proc);
    }
    return found;
}

TEST_F(PublishCliTest, APublishKilledHalfWayIsCompletedByTheNext) {
    ASSERT_EQ(run(""), 0) << out << err;
    // A film the user put beside the pages, sent at 1 MB/s.
    dir.write("out/film.mp4", std::string(4000000, 'f') + "end");
    writeIni("mivo-slow");
    const std::string exe = prog + "/mivo-make";
    const std::string output = dir / "stdout";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, STDOUT_FILENO);
        ::dup2(fd, STDERR_FILENO);
        ::execl(exe.c_str(), exe.c_str(), "--publish-only", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Killed once the film is on its way.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    // rsync here, not its server: it names the site as its source.
    const std::string localRsync = "-- " + (dir / "out") + "/ ";
    while (!anyProcessWith(localRsync) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_FALSE(fs::exists(dir / "remote/film.mp4"));
    // rsync dies with it at once; ssh once it has passed on what it held.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(anyProcessWith(localRsync));
    for (int i = 0; i < 100 && anyProcessWith("BatchMode=yes -F " + ssh.sshConfig); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_FALSE(anyProcessWith("BatchMode=yes -F " + ssh.sshConfig));

    ssh.setSlowRate(1 << 30);
    ASSERT_EQ(run("--publish-only"), 0) << out << err;
    EXPECT_EQ(treeOf(dir / "remote", true), treeOf(dir / "out"));
}

} // namespace
} // namespace mivo
