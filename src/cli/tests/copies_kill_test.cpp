#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/codepage.h"
#include "generation/copies/web_sizes.h"
#include "support/proc_file.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;

constexpr int kPictures = 16;

std::size_t filesIn(const std::string& folder) {
    std::error_code ec;
    std::size_t count = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        ++count;
    }
    return count;
}

/// mivo-make with reduced copies on, killed with SIGKILL while it makes them.
class KilledRunTest : public ::testing::Test {
  protected:
    /// A program folder with a copy of mivo-make and the shipped templates.
    void makeProgramFolder() {
        prog = dir.mkdir("prog");
        std::error_code ec;
        fs::copy_file(MIVO_MAKE_PATH, prog + "/mivo-make", ec);
        ASSERT_FALSE(ec) << ec.message();
        test::writeShippedTemplates(dir, "prog/html");
    }

    void SetUp() override {
        makeProgramFolder();
        std::error_code ec;
        // Detailed pictures, so that each takes a while to reduce.
        const std::string first = dir.mkdir("pics") + "/p00.jpg";
        const std::string command =
            "convert -size 2400x1800 xc:gray +noise Random '" + first + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        for (int i = 1; i < kPictures; ++i) {
            const std::string name = std::string("p") + (i < 10 ? "0" : "") + std::to_string(i);
            fs::copy_file(first, dir / ("pics/" + name + ".jpg"), ec);
        }
        const std::string ini = "[Ini]\r\nMode=1\r\n[Path]\r\nPic=" + (dir / "pics") +
                                "\r\nIndex=" + (dir / "out/index.html") +
                                "\r\n[Html]\r\nTUse=0\r\nReduce=1\r\n";
        dir.write("prog/Mivo.ini", encodeCp932(ini, Cp932Fallback::Question));
    }

    pid_t start() {
        // Under AddressSanitizer the leak check at the maker's exit runs the image library's
        // threads through a tracer that crashes now and then; what is tested here is the
        // copies. Set before the fork: the child only execs.
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::string options = asan != nullptr ? asan : "";
        if (options.find("detect_leaks=0") == std::string::npos) {
            ::setenv("ASAN_OPTIONS",
                     (options + (asan != nullptr ? ":" : "") + "detect_leaks=0").c_str(), 1);
        }
        const std::string exe = prog + "/mivo-make";
        const std::string output = dir / "stdout";
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
            ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid;
    }

    /// Runs mivo-make to its end; its exit status.
    int runToEnd() {
        int status = 0;
        ::waitpid(start(), &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    /// Starts mivo-make and kills it once `ready` holds; false when the run ended first.
    bool killWhen(const std::function<bool()>& ready) {
        const pid_t pid = start();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int status = 0;
        while (!ready()) {
            if (::waitpid(pid, &status, WNOHANG) == pid ||
                std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return true;
    }

    std::string out(const std::string& name) const { return dir / ("out/" + name); }

    TempDir dir;
    std::string prog;
};

TEST_F(KilledRunTest, ARunKilledWhileMakingCopiesIsMendedByTheNextRun) {
    const std::vector<std::pair<const char*, std::function<bool()>>> points = {
        {"as the record is started", [&] { return fs::exists(out("thumbs/.mivo-copies")); }},
        {"after a few copies", [&] { return filesIn(out("view")) >= 3; }},
        {"half-way", [&] { return filesIn(out("thumbs/2x")) >= kPictures / 2; }},
    };
    for (const auto& [when, ready] : points) {
        SCOPED_TRACE(when);
        std::error_code ec;
        fs::remove_all(dir / "out", ec);
        ASSERT_TRUE(killWhen(ready)) << "the run ended before it could be killed";

        // Every copy the killed run put in place is on the record as Mivo's.
        const CopyRecord killed = parseCopyRecord(readBytes(out("thumbs/.mivo-copies")));
        for (const char* folder : {"thumbs", "thumbs/2x", "view"}) {
            for (const auto& entry : fs::directory_iterator(out(folder), ec)) {
                const std::string name = entry.path().filename().string();
                if (entry.is_regular_file() && name[0] != '.') {
                    // A WebP thumbnail is on record through its JPEG copy's line.
                    const bool webp = name.size() > 5 && name.ends_with(".webp");
                    const std::string copy = webp ? name.substr(0, name.size() - 5) : name;
                    EXPECT_EQ(killed.count(copy), 1U) << folder << "/" << name;
                    EXPECT_TRUE(!webp || (killed.count(copy) != 0 && killed.at(copy).webp))
                        << folder << "/" << name;
                }
            }
        }

        // The next run makes every copy, leaves no temporary file and says it is done.
        ASSERT_EQ(runToEnd(), 0) << readBytes(dir / "stdout");
        EXPECT_NE(readBytes(dir / "stdout").find("完了しました"), std::string::npos);
        const CopyRecord record = parseCopyRecord(readBytes(out("thumbs/.mivo-copies")));
        EXPECT_EQ(record.size(), static_cast<std::size_t>(kPictures));
        const std::string list = readBytes(out("list.html"));
        for (const auto& [name, made] : record) {
            EXPECT_TRUE(made.ok) << name;
            for (const char* folder : {"thumbs/", "thumbs/2x/", "view/"}) {
                EXPECT_EQ(readBytes(out(folder + name)).rfind("\xFF\xD8", 0), 0U) << folder << name;
            }
            EXPECT_TRUE(made.webp) << name;
            for (const char* folder : {"thumbs/", "thumbs/2x/"}) {
                EXPECT_EQ(readBytes(out(folder + name + ".webp")).rfind("RIFF", 0), 0U)
                    << folder << name;
            }
            EXPECT_NE(list.find("./thumbs/" + name), std::string::npos) << name;
        }
        for (const auto& entry : fs::recursive_directory_iterator(dir / "out", ec)) {
            EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos)
                << entry.path();
        }
    }
}

/// The processes whose command line holds `part`, and that still run (not zombies).
std::vector<pid_t> processesNaming(const std::string& part) {
    std::vector<pid_t> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        if (!test::processRuns(pid)) {
            continue;
        }
        if (test::readProcFile("/proc/" + pid + "/cmdline").find(part) != std::string::npos) {
            found.push_back(static_cast<pid_t>(std::stol(pid)));
        }
    }
    return found;
}

/// The same with a video to transcode in place of the pictures.
class KilledTranscodeTest : public KilledRunTest {
  protected:
    void SetUp() override { makeProgramFolder(); }
};

TEST_F(KilledTranscodeTest, NoFfmpegOutlivesAKilledRunNorLeavesAnythingBehind) {
    if (::system("command -v ffmpeg >/dev/null") != 0) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    // A video no browser plays (MPEG-4 Part 2 in AVI): it is transcoded, which takes a while.
    std::error_code ec;
    const std::string video = dir.mkdir("pics") + "/slow.avi";
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                           "testsrc=size=854x480:rate=25 -t 10 -c:v mpeg4 -q:v 20 '" +
                           video + "'")
                              .c_str()),
              0);
    dir.write("prog/Mivo.ini", encodeCp932("[Ini]\r\nMode=1\r\n[Path]\r\nPic=" + (dir / "pics") +
                                               "\r\nIndex=" + (dir / "out/index.html") +
                                               "\r\n[Html]\r\nTUse=0\r\nReduce=1\r\nMedia=1\r\n",
                                           Cp932Fallback::Question));
    // Killed once the transcode has been under way for a while: ffmpeg has its output open.
    std::chrono::steady_clock::time_point seen{};
    const auto transcoding = [&] {
        for (const pid_t pid : processesNaming(video)) {
            if (test::readProcFile("/proc/" + std::to_string(pid) + "/cmdline").find("libx264") !=
                std::string::npos) {
                const auto now = std::chrono::steady_clock::now();
                if (seen == std::chrono::steady_clock::time_point{}) {
                    seen = now;
                }
                return now - seen > std::chrono::milliseconds(500);
            }
        }
        return false;
    };
    ASSERT_TRUE(killWhen(transcoding)) << "the run ended before it could be killed";
    const auto killed = std::chrono::steady_clock::now();
    while (!processesNaming(video).empty() &&
           std::chrono::steady_clock::now() - killed < std::chrono::seconds(1)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(processesNaming(video).empty()) << "ffmpeg outlived mivo-make by a second";
    for (const pid_t pid : processesNaming(video)) {
        ::kill(pid, SIGKILL);
    }
    // Nothing of the web video is left, under any name.
    for (const auto& entry : fs::recursive_directory_iterator(dir / "out", ec)) {
        EXPECT_EQ(entry.path().filename().string().find("slow.avi"), std::string::npos)
            << entry.path();
    }
}

} // namespace
} // namespace mivo
