#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/run_program.h"
#include "support/proc_file.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(RunProgramTest, ReportsExitStatusOutputAndTheEndOfStandardError) {
    const std::string shell = findProgram("sh");
    ASSERT_FALSE(shell.empty());
    EXPECT_EQ(shell.front(), '/');
    EXPECT_EQ(findProgram("mivo-no-such-program"), "");
    EXPECT_EQ(findProgram(shell), shell);

    ProgramRun capture;
    capture.captureOutput = true;
    ProgramResult result;
    EXPECT_TRUE(runProgram({shell, "-c", "printf 'a b'; echo done >&2"}, capture, result));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "a b");
    EXPECT_EQ(result.errorTail, "done\n");

    // Standard input is empty: a program that reads it ends at once instead of waiting.
    EXPECT_TRUE(runProgram({findProgram("cat")}, capture, result));
    EXPECT_EQ(result.output, "");

    // A failing program; only the last 4 KiB of a long error output are kept.
    EXPECT_FALSE(runProgram(
        {shell, "-c", "head -c 100000 /dev/zero | tr '\\0' x >&2; echo last >&2; exit 3"},
        ProgramRun{}, result));
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.errorTail.size(), 4096u);
    EXPECT_TRUE(result.errorTail.ends_with("xlast\n"));

    // Killed by a signal, from outside or by a crash: no exit status of its own, the signal
    // said.
    EXPECT_FALSE(runProgram({shell, "-c", "kill -9 $$"}, ProgramRun{}, result));
    EXPECT_EQ(result.exitCode, -1);
    EXPECT_EQ(result.signal, SIGKILL);
    EXPECT_FALSE(runProgram({shell, "-c", "kill -SEGV $$"}, ProgramRun{}, result));
    EXPECT_EQ(result.signal, SIGSEGV);
    EXPECT_TRUE(result.started);

    // A program that is not there: never started.
    EXPECT_FALSE(runProgram({"/nonexistent/program"}, ProgramRun{}, result));
    EXPECT_EQ(result.exitCode, -1);
    EXPECT_FALSE(result.started);
    EXPECT_NE(result.errorTail.find("/nonexistent/program"), std::string::npos);
}

TEST(RunProgramTest, ArgumentsReachTheProgramAsTheyAre) {
    test::TempDir dir;
    const std::string marker = dir / "x";
    ProgramRun capture;
    capture.captureOutput = true;
    ProgramResult result;
    const std::string argument = "a; touch " + marker + " $(touch " + marker + ") '\"";
    EXPECT_TRUE(runProgram({findProgram("printf"), "%s", argument}, capture, result));
    EXPECT_EQ(result.output, argument);
    std::error_code ec;
    EXPECT_FALSE(std::filesystem::exists(marker, ec));
}

TEST(RunProgramTest, OutputPastTheLimitStopsTheProgram) {
    ProgramRun capped;
    capped.captureOutput = true;
    capped.outputLimit = 1000;
    ProgramResult result;
    const auto start = Clock::now();
    // `yes` never ends by itself: it is killed for writing too much.
    EXPECT_FALSE(runProgram({findProgram("yes")}, capped, result));
    EXPECT_TRUE(result.outputTooLong);
    EXPECT_EQ(result.exitCode, -1);
    EXPECT_LT(secondsSince(start), 5);
    // Exactly the limit is still fine.
    EXPECT_TRUE(runProgram({findProgram("head"), "-c", "1000", "/dev/zero"}, capped, result));
    EXPECT_EQ(result.output.size(), 1000u);
    EXPECT_FALSE(runProgram({findProgram("head"), "-c", "1001", "/dev/zero"}, capped, result));
    EXPECT_TRUE(result.outputTooLong);
}

TEST(RunProgramTest, LinesOfBothOutputsArriveAsTheyAreWritten) {
    // Lines end at LF or at CR (a progress line redrawn in place); the last needs no end. The
    // first line arrives while the program still runs.
    std::vector<std::string> out;
    std::vector<std::string> err;
    bool seenWhileRunning = false;
    const auto start = Clock::now();
    ProgramRun lines;
    lines.outputLine = [&](std::string_view line) {
        out.emplace_back(line);
        seenWhileRunning = seenWhileRunning || secondsSince(start) < 0.5;
    };
    lines.errorLine = [&](std::string_view line) { err.emplace_back(line); };
    ProgramResult result;
    EXPECT_TRUE(runProgram({findProgram("sh"), "-c",
                            "printf 'one\\n'; sleep 1; printf ' 10%%\\r 20%%\\rtwo\\n\\nlast'; "
                            "printf 'e1\\ne2' >&2"},
                           lines, result));
    EXPECT_EQ(out, (std::vector<std::string>{"one", " 10%", " 20%", "two", "", "last"}));
    EXPECT_EQ(err, (std::vector<std::string>{"e1", "e2"}));
    EXPECT_TRUE(seenWhileRunning);
    // Lines handed on are not kept unless asked, and the error tail is kept as ever.
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.errorTail, "e1\ne2");
    lines.captureOutput = true;
    out.clear();
    EXPECT_TRUE(runProgram({findProgram("printf"), "a\nb"}, lines, result));
    EXPECT_EQ(result.output, "a\nb");
    EXPECT_EQ(out, (std::vector<std::string>{"a", "b"}));
}

TEST(RunProgramTest, StopAndTimeLimitKillTheProgram) {
    const std::string sleep = findProgram("sleep");
    ProgramResult result;
    ProgramRun stopping;
    auto start = Clock::now();
    stopping.stopRequested = [&] { return secondsSince(start) > 0.2; };
    EXPECT_FALSE(runProgram({sleep, "30"}, stopping, result));
    EXPECT_TRUE(result.stopped);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, -1);
    EXPECT_LT(secondsSince(start), 3);

    ProgramRun limited;
    limited.timeLimitSeconds = 0.3;
    start = Clock::now();
    EXPECT_FALSE(runProgram({sleep, "30"}, limited, result));
    EXPECT_TRUE(result.timedOut);
    EXPECT_FALSE(result.stopped);
    EXPECT_GE(secondsSince(start), 0.3);
    EXPECT_LT(secondsSince(start), 3);

    // A program that ends within the limit is not disturbed, and is seen to end at once even
    // while something it started keeps its error output open.
    start = Clock::now();
    EXPECT_TRUE(runProgram({findProgram("sh"), "-c", "sleep 5 >&2 & exit 0"}, limited, result));
    EXPECT_LT(secondsSince(start), 2);
}

bool stillRuns(pid_t pid) {
    return test::processRuns(std::to_string(pid));
}

TEST(RunProgramTest, AStopKillsWhatTheProgramStartedWhenAskedTo) {
    // A program that leaves a child of its own running: with killTogether the stop ends both.
    for (const bool together : {false, true}) {
        SCOPED_TRACE(together);
        pid_t child = 0;
        ProgramRun how;
        how.killTogether = together;
        how.outputLine = [&](std::string_view line) { child = std::stoi(std::string(line)); };
        how.stopRequested = [&] { return child != 0; };
        ProgramResult result;
        const auto start = Clock::now();
        EXPECT_FALSE(
            runProgram({findProgram("sh"), "-c", "sleep 30 & echo $!; wait"}, how, result));
        EXPECT_TRUE(result.stopped);
        EXPECT_LT(secondsSince(start), 3);
        ASSERT_GT(child, 0);
        for (int i = 0; i < 100 && together && stillRuns(child); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_EQ(stillRuns(child), !together);
        ::kill(child, SIGKILL);
    }
}

TEST(RunProgramTest, TheProgramDiesWithTheProcessThatStartedIt) {
    test::TempDir dir;
    const std::string pidFile = dir / "pid";
    for (const int signal : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(signal);
        std::error_code ec;
        std::filesystem::remove(pidFile, ec);
        const pid_t runner = ::fork();
        if (runner == 0) {
            // The program says who it is, then waits long.
            ProgramResult result;
            runProgram({findProgram("sh"), "-c",
                        "echo $$ >'" + pidFile + "'.part && mv '" + pidFile + "'.part '" + pidFile +
                            "' && exec sleep 30"},
                       ProgramRun{}, result);
            ::_exit(0);
        }
        ASSERT_GT(runner, 0);
        pid_t program = 0;
        for (int i = 0; i < 500 && program == 0; ++i) {
            std::ifstream(pidFile) >> program;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_GT(program, 0);
        ASSERT_TRUE(stillRuns(program));
        ::kill(runner, signal);
        int status = 0;
        ::waitpid(runner, &status, 0);
        const auto killed = Clock::now();
        while (stillRuns(program) && secondsSince(killed) < 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_FALSE(stillRuns(program)) << "the program outlived its starter by a second";
        ::kill(program, SIGKILL);
    }
}

} // namespace
} // namespace mivo
