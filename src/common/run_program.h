#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

/// The full path of `name` found on PATH (an executable regular file), or "" when absent.
/// A name holding a "/" is taken as a path and checked as it is.
std::string findProgram(const std::string& name);

/// How a program is run.
struct ProgramRun {
    double timeLimitSeconds = 0;         // 0: none; past it the program is killed
    std::function<bool()> stopRequested; // polled about every 50 ms; true: kill it
    /// The program starts a process group of its own, and a stop or the time limit kills the
    /// whole group: what it started (rsync's ssh) stops sending at once too.
    bool killTogether = false;
    bool captureOutput = false;           // keep stdout in ProgramResult::output
    std::size_t outputLimit = 256u << 20; // more than this (captured): killed, failed
    /// Each line of stdout as it comes, without its end (a line ends at LF or at CR, as a
    /// progress line that redraws itself does); the last one also when it has no end. Does
    /// not keep the output: with captureOutput it is kept as well.
    std::function<void(std::string_view)> outputLine;
    /// The same for stderr, whose last 4 KiB stay in ProgramResult::errorTail all the same.
    std::function<void(std::string_view)> errorLine;
};

/// What became of a program run.
struct ProgramResult {
    int exitCode = -1;    // -1 when it did not exit by itself
    bool started = false; // it ran: false when it could not be started
    int signal = 0;       // the signal that ended it, when it was not killed here
    bool timedOut = false;
    bool stopped = false;
    bool outputTooLong = false; // killed for writing more than ProgramRun::outputLimit
    std::string output;         // stdout when captured
    std::string errorTail;      // the last 4 KiB of stderr, for the log
};

/// Starts argv[0] (a full path) with the argument vector, never through a shell, stdin from
/// /dev/null; waits, killing it (SIGKILL, then reaped) on stop or time limit. The program is
/// killed too when the thread that started it ends, however the process ends (a parent-death
/// signal), so nothing started here outlives Mivo. true only when it ran and exited with
/// status 0. When it cannot be started, errorTail says why.
bool runProgram(const std::vector<std::string>& argv, const ProgramRun& how, ProgramResult& result);

} // namespace mivo
