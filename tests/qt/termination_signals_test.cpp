// A termination signal ends the event loop (so main() closes the window and saves) instead of
// the process, and only while the guard lives; the window program ends on one at any point,
// a message box open at start-up included.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QTimer>

#include "common/codepage.h"
#include "support/temp_dir.h"
#include "window/qt/termination_signals.h"

namespace mivo::qt {
namespace {

/// Runs the event loop with `signal` raised from inside it; true when the loop ended before the
/// five-second fallback did.
bool loopEndsOn(int signal) {
    bool timedOut = false;
    QTimer fallback;
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    fallback.start(5000);
    QTimer::singleShot(0, [signal] { std::raise(signal); });
    QCoreApplication::exec();
    return !timedOut;
}

TEST(QuitOnTerminationSignals, EachSignalEndsTheEventLoopAndTheOldActionComesBack) {
    struct sigaction before = {};
    ::sigaction(SIGTERM, nullptr, &before);
    {
        const QuitOnTerminationSignals guard;
        for (const int signal : QuitOnTerminationSignals::kSignals) {
            SCOPED_TRACE(signal);
            EXPECT_TRUE(loopEndsOn(signal));
        }
    }
    struct sigaction after = {};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

/// The window program run as a portable copy in a folder of its own (its settings stay there),
/// on the offscreen platform.
class WindowProgram {
  public:
    explicit WindowProgram(const test::TempDir& folder) : folder_(folder) {
        // A hard link is a copy the program sees as living in the folder; a copy where the
        // temporary folder is another file system.
        std::error_code ec;
        std::filesystem::create_hard_link(MIVO_PROGRAM_PATH, folder / "mivo", ec);
        if (ec) {
            std::filesystem::copy_file(MIVO_PROGRAM_PATH, folder / "mivo", ec);
        }
    }
    ~WindowProgram() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    WindowProgram(const WindowProgram&) = delete;
    WindowProgram& operator=(const WindowProgram&) = delete;

    bool start() {
        const std::string path = folder_ / "mivo";
        // Everything the child needs is made before the fork: it may only exec.
        std::vector<std::string> environment = {"QT_QPA_PLATFORM=offscreen"};
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (std::strncmp(*entry, "QT_QPA_PLATFORM=", 16) != 0) {
                environment.emplace_back(*entry);
            }
        }
        std::vector<char*> envp;
        envp.reserve(environment.size() + 1);
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execve(path.c_str(), argv, envp.data());
            ::_exit(127);
        }
        return pid_ > 0;
    }

    /// The log as text, cp932 decoded.
    std::string log() const {
        std::ifstream in(folder_ / "Mivo.log", std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return cmDecodeText(bytes.str());
    }

    /// Waits until the log holds `text`; false after `seconds`, or when the program ended.
    bool waitForLog(const std::string& text, double seconds) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (log().find(text) != std::string::npos) {
                return true;
            }
            if (::waitpid(pid_, nullptr, WNOHANG) != 0) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    /// Sends SIGTERM and waits for the end: the exit status, or -1 when the program was still
    /// running after `seconds` (it is then killed). `outSeconds` is how long it took.
    int terminate(double seconds, double& outSeconds) {
        const auto start = std::chrono::steady_clock::now();
        ::kill(pid_, SIGTERM);
        while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds)) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                outSeconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        outSeconds = seconds;
        return -1;
    }

  private:
    const test::TempDir& folder_;
    pid_t pid_ = -1;
};

constexpr const char* kLoaded = "[Form_Load] △End Method△";
constexpr const char* kEnded = "[Form_Unload] ▲▲▲End Mivo▲▲▲";

TEST(WindowProgramTermination, EndsWithTheStartUpMessageBoxOpen) {
    const test::TempDir folder;
    folder.write("Mivo.ini", "[Log]\r\nLevel=1\r\n[Html]\r\nTitle=Trip\r\n");
    // A folder in place of Mivo.csv cannot be read: the window says so in a box at start-up.
    folder.mkdir("Mivo.csv");
    WindowProgram program(folder);
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.waitForLog(kLoaded, 30)) << program.log();
    // Let the box come up; a signal that comes earlier waits in the pipe for it.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    double took = 0;
    EXPECT_EQ(program.terminate(10, took), 0) << "still running with the box open";
    EXPECT_NE(program.log().find(kEnded), std::string::npos) << "closed as on a normal exit";
    EXPECT_TRUE(std::filesystem::is_directory(folder / "Mivo.csv"));
}

TEST(WindowProgramTermination, EndsQuicklyWithALongGalleryListAndSavesIt) {
    const test::TempDir folder;
    folder.write("Mivo.ini", "[Log]\r\nLevel=2\r\n[Ini]\r\nMode=0\r\n");
    std::string list;
    for (int i = 0; i < 20000; ++i) {
        list += "Gallery " + std::to_string(i) + ",/pics/" + std::to_string(i) + ",,\r\n";
    }
    folder.write("Mivo.csv", list);
    WindowProgram program(folder);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.waitForLog("▼▼▼Start Mivo", 30));
    // Level 2 logs the start and the end only, so the window is up when the log stops growing
    // and the signal is answered; whatever the moment, the program must end.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double opened =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    double took = 0;
    EXPECT_EQ(program.terminate(10, took), 0);
    std::printf("[ timing ] 20000 rows: signalled %.2f s after the start, ended %.2f s later\n",
                opened, took);
    EXPECT_LT(took, 3.0);
    EXPECT_NE(program.log().find(kEnded), std::string::npos);
    std::ifstream in(folder / "Mivo.csv", std::ios::binary);
    std::ostringstream saved;
    saved << in.rdbuf();
    EXPECT_EQ(saved.str(), list) << "saved at the end, row for row";
}

} // namespace
} // namespace mivo::qt
