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
#include <QImage>
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
    /// `program` is the window program, or a build of it that presses 作成 at once.
    explicit WindowProgram(const test::TempDir& folder, const char* program = MIVO_PROGRAM_PATH)
        : folder_(folder) {
        // A hard link is a copy the program sees as living in the folder; a copy where the
        // temporary folder is another file system.
        std::error_code ec;
        std::filesystem::create_hard_link(program, folder / "mivo", ec);
        if (ec) {
            std::filesystem::copy_file(program, folder / "mivo", ec);
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

    /// Starts the program with `arguments` after its name.
    bool start(const std::vector<std::string>& arguments = {}) {
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
        std::vector<char*> argv = {const_cast<char*>(path.c_str())};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execve(path.c_str(), argv.data(), envp.data());
            ::_exit(127);
        }
        return pid_ > 0;
    }

    /// The log as text, cp932 decoded.
    std::string log() const {
        std::ifstream in(folder_ / "Mivo.log", std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return decodeText(bytes.str());
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

    /// Sends `signal` (SIGTERM unless told) and waits for the end: the exit status, or -1 when
    /// the program was still running after `seconds` (it is then killed). `elapsedSeconds` is how
    /// long it took.
    int terminate(double seconds, double& elapsedSeconds, int signal = SIGTERM) {
        const auto start = std::chrono::steady_clock::now();
        ::kill(pid_, signal);
        while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds)) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                elapsedSeconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        elapsedSeconds = seconds;
        return -1;
    }

    /// Waits for the program to end by itself: its exit status, or -1 when it still runs after
    /// `seconds`.
    int finish(double seconds) {
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds)) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
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

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

/// How many entries a folder holds (0 when it does not exist).
int entryCount(const std::string& folder) {
    std::error_code ec;
    int count = 0;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        ++count;
    }
    return count;
}

TEST(WindowProgramTermination, SignalDuringARunStopsItSavesAndLeavesNoHalfPage) {
    // Pictures large enough that making their reduced copies takes several seconds.
    const test::TempDir source;
    const std::string album = source.mkdir("album");
    QImage picture(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            picture.setPixel(x, y, qRgb((x * 7 + y) % 256, (y * 3) % 256, (x ^ y) % 256));
        }
    }
    for (int i = 0; i < 120; ++i) {
        ASSERT_TRUE(picture.save(QString::fromStdString(album + "/p" + std::to_string(i) + ".jpg"),
                                 "JPEG", 90));
    }
    for (const int signal : QuitOnTerminationSignals::kSignals) {
        SCOPED_TRACE(signal);
        const test::TempDir folder;
        std::error_code ec;
        std::filesystem::copy(std::string(MIVO_SOURCE_DIR) + "/html", folder / "html",
                              std::filesystem::copy_options::recursive, ec);
        ASSERT_FALSE(ec) << ec.message();
        const std::string site = folder.mkdir("site");
        folder.write("Mivo.ini", "[Log]\r\nLevel=1\r\n[Ini]\r\nMode=1\r\n[Path]\r\nPic=" + album +
                                     "\r\nIndex=" + site +
                                     "/index.html\r\n[Html]\r\nTitle=Old title\r\nTUse=0\r\n"
                                     "Reduce=1\r\n");
        folder.write("site/list.html", "old list");
        folder.write("site/index.html", "old index");
        // This build of the program types a new title and presses 作成 once its window is up.
        WindowProgram program(folder, MIVO_MAKE_AT_START_PATH);
        ASSERT_TRUE(program.start());
        ASSERT_TRUE(program.waitForLog("[CommandMake_Click] ▽Start Method▽", 30)) << program.log();
        // Signalled once the run is making its copies, well before it could end.
        const auto started = std::chrono::steady_clock::now();
        while (entryCount(site + "/view") < 3 &&
               std::chrono::steady_clock::now() - started < std::chrono::seconds(20)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_GE(entryCount(site + "/view"), 3) << program.log();
        double took = 0;
        EXPECT_EQ(program.terminate(5, took, signal), 0) << "still running during the run";
        std::printf("[ timing ] signal %d during a run: ended %.2f s later\n", signal, took);
        EXPECT_LT(took, 2.0);
        const std::string log = program.log();
        EXPECT_NE(log.find(kEnded), std::string::npos) << log;
        EXPECT_NE(fileText(folder / "Mivo.ini").find("Title=Changed before the run"),
                  std::string::npos)
            << "the settings were saved as on a normal exit";
        EXPECT_LT(entryCount(site + "/view"), 120) << "the run stopped before its end";
        // Each page is the old one or a whole new one, never half written.
        for (const auto& [page, old] :
             {std::pair{"list.html", "old list"}, std::pair{"index.html", "old index"}}) {
            const std::string text = fileText(site + "/" + page);
            EXPECT_TRUE(text == old || text.find("</html>") != std::string::npos)
                << page << ": " << text.substr(0, 200);
        }
    }
}

TEST(WindowProgramArguments, AFolderGivenOpensTheWindowOnItAndAnOptionIsRefused) {
    const test::TempDir folder;
    const std::string trip = folder.mkdir("trip pictures");
    folder.write("Mivo.ini", "[Log]\r\nLevel=1\r\n[Ini]\r\nMode=0\r\n");
    {
        WindowProgram program(folder);
        ASSERT_TRUE(program.start({trip}));
        ASSERT_TRUE(program.waitForLog(kLoaded, 30)) << program.log();
        double took = 0;
        EXPECT_EQ(program.terminate(10, took), 0);
    }
    // The window was on that picture folder, in single mode, as the saved settings say.
    const std::string ini = fileText(folder / "Mivo.ini");
    EXPECT_NE(ini.find("Mode=1\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Pic=" + trip + "\r\n"), std::string::npos) << ini;

    // An option it does not know: the usage, and status 2, without opening anything.
    WindowProgram wrong(folder);
    ASSERT_TRUE(wrong.start({"--bogus"}));
    EXPECT_EQ(wrong.finish(30), 2);
}

} // namespace
} // namespace mivo::qt
