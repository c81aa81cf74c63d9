#include "common/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/system_reason.h"

extern char** environ;

namespace mivo {

namespace {

constexpr std::size_t kErrorTailSize = 4096;
constexpr int kPollMilliseconds = 50;
constexpr std::size_t kLastWords = 1u << 20;
constexpr double kLongestLimit = 365.0 * 24 * 3600;
constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1) / 2;

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Closes a descriptor once; -1 stays -1.
void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// A pipe whose ends are closed on exec and whose reading end never blocks.
bool makePipe(int (&ends)[2]) {
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    return true;
}

// The descriptor that becomes readable when the process ends, or -1 where the system has none
// (before Linux 5.3): the loop then asks waitpid at every poll.
int processFd(pid_t pid) {
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0) {
        ::fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
        return static_cast<int>(fd);
    }
#else
    (void)pid;
#endif
    return -1;
}

// Signals the program gets as the system sets them: one this process ignores (a window that
// ignores SIGPIPE) would stay ignored through exec.
constexpr int kDefaultSignals[] = {SIGPIPE, SIGINT,  SIGTERM, SIGHUP,
                                   SIGQUIT, SIGCHLD, SIGUSR1, SIGUSR2};

// What the child does between fork and exec: only calls that are safe after a fork in a
// process with threads, on memory prepared before it. Never returns.
[[noreturn]] void execChild(const char* program, char* const* args, pid_t parent, int out, int err,
                            int report, bool ownGroup) {
    // The program dies with the thread that started it, however that ends (SIGKILL
    // included): an ffmpeg must never go on writing for a run that is gone.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        ::_exit(127); // ended before the line above took effect
    }
    if (ownGroup) {
        ::setpgid(0, 0);
    }
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    ::sigemptyset(&defaults.sa_mask);
    for (const int signal : kDefaultSignals) {
        ::sigaction(signal, &defaults, nullptr);
    }
    const int in = ::open("/dev/null", O_RDONLY);
    const int nothing = out < 0 ? ::open("/dev/null", O_WRONLY) : out;
    if (in < 0 || nothing < 0 || ::dup2(in, 0) < 0 || ::dup2(nothing, 1) < 0 ||
        ::dup2(err, 2) < 0) {
        const int why = errno;
        (void)!::write(report, &why, sizeof why);
        ::_exit(127);
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(program, args, environ);
    const int why = errno;
    (void)!::write(report, &why, sizeof why);
    ::_exit(127);
}

// Hands what the pipe holds now to `take`, stopping once `total` passes `stopAfter`. false when
// the pipe is closed (end of file or an error).
template <typename Take>
bool drain(int fd, std::size_t& total, std::size_t stopAfter, Take&& take) {
    char buffer[65536];
    while (total <= stopAfter) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            total += static_cast<std::size_t>(got);
            take(std::string_view(buffer, static_cast<std::size_t>(got)));
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return true;
}

// Cuts a stream into lines at LF or CR and hands each to the caller's function.
class LineSplitter {
  public:
    explicit LineSplitter(const std::function<void(std::string_view)>& line) : line_(line) {}

    void feed(std::string_view bytes) {
        if (!line_) {
            return;
        }
        while (!bytes.empty()) {
            const std::size_t end = bytes.find_first_of("\r\n");
            if (end == std::string_view::npos) {
                pending_.append(bytes);
                return;
            }
            if (pending_.empty()) {
                line_(bytes.substr(0, end));
            } else {
                pending_.append(bytes.substr(0, end));
                line_(pending_);
                pending_.clear();
            }
            bytes.remove_prefix(end + 1);
        }
    }
    // The last line, when the program ended without ending it.
    void finish() {
        if (line_ && !pending_.empty()) {
            line_(pending_);
            pending_.clear();
        }
    }

  private:
    const std::function<void(std::string_view)>& line_;
    std::string pending_;
};

// Waits for the process to end and reads its status.
int reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What one started program has open on our side.
struct Running {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
    int ended = -1; // pidfd
    bool reaped = false;
    int exitCode = -1;
    int signal = 0;

    bool group = false; // the program leads a process group of its own

    ~Running() {
        if (pid > 0 && !reaped) {
            if (group) {
                ::kill(-pid, SIGKILL);
            }
            ::kill(pid, SIGKILL);
            reap(pid);
        }
        closeFd(out);
        closeFd(err);
        closeFd(ended);
    }
};

bool start(const std::vector<std::string>& argv, const ProgramRun& how, Running& running,
           std::string& error) {
    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    int report[2] = {-1, -1}; // the child's errno when it cannot exec; closed by exec
    const bool readOutput = how.captureOutput || how.outputLine;
    if ((readOutput && !makePipe(outPipe)) || !makePipe(errPipe) ||
        ::pipe2(report, O_CLOEXEC) != 0) {
        error = systemReasonText(errno);
        for (int* fd : {&outPipe[0], &outPipe[1], &errPipe[0], &errPipe[1]}) {
            closeFd(*fd);
        }
        return false;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    // fork, not posix_spawn: the child must ask for the parent-death signal before exec.
    // Signals are held across the fork so that no handler of ours runs in the child.
    sigset_t all;
    sigset_t before;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &before);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        execChild(argv[0].c_str(), args.data(), parent, outPipe[1], errPipe[1], report[1],
                  how.killTogether);
    }
    const int forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    closeFd(outPipe[1]);
    closeFd(errPipe[1]);
    closeFd(report[1]);
    int failed = pid < 0 ? forkError : 0;
    if (pid > 0) {
        int why = 0;
        ssize_t got = 0;
        do {
            got = ::read(report[0], &why, sizeof why);
        } while (got < 0 && errno == EINTR);
        if (got == static_cast<ssize_t>(sizeof why)) {
            failed = why;
            reap(pid);
        }
    }
    closeFd(report[0]);
    if (failed != 0) {
        error = argv[0] + ": " + systemReasonText(failed);
        closeFd(outPipe[0]);
        closeFd(errPipe[0]);
        return false;
    }
    running.pid = pid;
    // The child made its group before exec, and exec is past: the group is there to kill.
    running.group = how.killTogether;
    running.out = outPipe[0];
    running.err = errPipe[0];
    running.ended = processFd(pid);
    return true;
}

// Asks whether the process has ended, without waiting.
void checkEnded(Running& running) {
    int status = 0;
    pid_t done = 0;
    do {
        done = ::waitpid(running.pid, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == running.pid || done < 0) {
        running.reaped = true;
        running.exitCode = done == running.pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        running.signal = done == running.pid && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
}

void killProgram(Running& running) {
    // While the program is not reaped, its pid still names its group: nothing else can have it.
    if (running.group) {
        ::kill(-running.pid, SIGKILL);
    }
    ::kill(running.pid, SIGKILL);
    reap(running.pid);
    running.reaped = true;
    running.exitCode = -1;
}

// Reads the program's output until it ends or is killed.
void watch(Running& running, const ProgramRun& how, ProgramResult& result) {
    using Clock = std::chrono::steady_clock;
    // A limit past a year is no limit (and would overflow the clock).
    const bool limited = how.timeLimitSeconds > 0 && how.timeLimitSeconds < kLongestLimit;
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(limited ? how.timeLimitSeconds : 0.0));
    std::size_t outTotal = 0;
    std::size_t errTotal = 0;
    // Only output that is kept has a limit: lines handed on cost nothing to hold.
    const std::size_t outLimit = how.captureOutput ? how.outputLimit : kNoLimit;
    LineSplitter outLines(how.outputLine);
    LineSplitter errLines(how.errorLine);
    const auto takeOut = [&](std::string_view bytes) {
        if (how.captureOutput) {
            result.output.append(bytes);
        }
        outLines.feed(bytes);
    };
    const auto takeErr = [&](std::string_view bytes) {
        result.errorTail.append(bytes);
        if (result.errorTail.size() > kErrorTailSize) {
            result.errorTail.erase(0, result.errorTail.size() - kErrorTailSize);
        }
        errLines.feed(bytes);
    };
    while (!running.reaped) {
        pollfd fds[3];
        nfds_t count = 0;
        for (const int fd : {running.out, running.err, running.ended}) {
            if (fd >= 0) {
                fds[count++] = pollfd{fd, POLLIN, 0};
            }
        }
        ::poll(fds, count, kPollMilliseconds);
        if (running.out >= 0 && !drain(running.out, outTotal, outLimit, takeOut)) {
            closeFd(running.out);
        }
        if (running.err >= 0 && !drain(running.err, errTotal, kNoLimit, takeErr)) {
            closeFd(running.err);
        }
        if (outTotal > outLimit) {
            result.outputTooLong = true;
            killProgram(running);
            break;
        }
        // The pipes close when the program ends, unless something it started keeps them.
        if (running.ended < 0 || (running.out < 0 && running.err < 0)) {
            checkEnded(running);
        } else {
            for (nfds_t i = 0; i < count; ++i) {
                if (fds[i].fd == running.ended && fds[i].revents != 0) {
                    checkEnded(running);
                }
            }
        }
        if (running.reaped) {
            break;
        }
        if (how.stopRequested && how.stopRequested()) {
            result.stopped = true;
            killProgram(running);
        } else if (limited && Clock::now() >= deadline) {
            result.timedOut = true;
            killProgram(running);
        }
    }
    // What the program wrote just before it ended.
    if (running.out >= 0) {
        drain(running.out, outTotal, outLimit, takeOut);
    }
    if (running.err >= 0) {
        // Bounded: something the program started may still be writing.
        drain(running.err, errTotal, errTotal + kLastWords, takeErr);
    }
    outLines.finish();
    errLines.finish();
    // Too much output just before the program ended fails the run all the same.
    if (outTotal > outLimit) {
        result.outputTooLong = true;
    }
    if (result.outputTooLong) {
        result.output.clear();
    }
    result.exitCode = running.exitCode;
    result.signal = running.signal;
}

} // namespace

std::string findProgram(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    if (name.find('/') != std::string::npos) {
        return isExecutableFile(name) ? name : std::string();
    }
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t begin = 0;
    while (begin <= folders.size()) {
        std::size_t end = folders.find(':', begin);
        if (end == std::string::npos) {
            end = folders.size();
        }
        const std::string folder = folders.substr(begin, end - begin);
        // An empty entry means the working folder, which is not a place to take programs from.
        if (!folder.empty() && folder.front() == '/') {
            std::string candidate = folder;
            if (candidate.back() != '/') {
                candidate += '/';
            }
            candidate += name;
            if (isExecutableFile(candidate)) {
                return candidate;
            }
        }
        begin = end + 1;
    }
    return {};
}

bool runProgram(const std::vector<std::string>& argv, const ProgramRun& how,
                ProgramResult& result) {
    result = ProgramResult{};
    if (argv.empty() || argv[0].empty()) {
        result.errorTail = "no program";
        return false;
    }
    try {
        Running running;
        if (!start(argv, how, running, result.errorTail)) {
            return false;
        }
        result.started = true;
        try {
            watch(running, how, result);
        } catch (...) {
            // Running's destructor kills and reaps the program.
            result.exitCode = -1;
            return false;
        }
    } catch (...) {
        result.exitCode = -1;
        return false;
    }
    return result.exitCode == 0 && !result.stopped && !result.timedOut && !result.outputTooLong;
}

} // namespace mivo
