// rsync over ssh: what changed goes out, the files Mivo published before and removed since are
// deleted, nothing else on the server is touched.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "common/paths.h"
#include "common/run_program.h"
#include "common/text_file.h"
#include "publish/transfer.h"

namespace mivo {

namespace {

/// A relative partial folder keeps what a broken transfer had sent beside each file, where the
/// next publish takes it up; it starts with "." like every name a publish leaves out.
constexpr const char* kPartialFolder = ".mivo-partial";
/// Marks the lines rsync writes for each file it sends or deletes.
constexpr std::string_view kItemMark = "mivo:";
/// No reply from the server for this long: the connection is taken for dropped.
constexpr int kIoTimeoutSeconds = 120;

/// One word of the ssh command as rsync splits its -e option: in single quotes when it needs
/// them (rsync's own splitting, not a shell's, reads them).
std::string rshWord(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t'\"\\") == std::string::npos) {
        return word;
    }
    return "'" + word + "'";
}

/// The ssh that rsync starts: the user's own configuration, keys and agent, and BatchMode so
/// that nothing ever waits for a password or a yes to a new host key.
std::string sshCommand(const std::string& ssh, const PublishTarget& target) {
    std::string command = rshWord(ssh) + " -o BatchMode=yes";
    if (target.port > 0) {
        command += " -p " + std::to_string(target.port);
    }
    if (!target.sshConfig.empty()) {
        command += " -F " + rshWord(target.sshConfig);
    }
    return command;
}

std::string loginPart(const PublishTarget& target) {
    // An IPv6 address goes in brackets, or rsync would take its colons for the folder's.
    const std::string host =
        target.host.find(':') != std::string::npos && target.host.front() != '['
            ? "[" + target.host + "]"
            : target.host;
    return target.user.empty() ? host : target.user + "@" + host;
}

std::string remoteFolder(const PublishTarget& target) {
    std::string folder = target.folder;
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

/// "1,234,567" or "1234567" as a number; -1 when it is none.
std::int64_t countOf(std::string_view text) {
    std::int64_t value = 0;
    bool any = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
            any = true;
        } else if (c != ',') {
            return -1;
        }
    }
    return any ? value : -1;
}

std::vector<std::string_view> wordsOf(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t start = 0;
    while (start < line.size()) {
        start = line.find_first_not_of(' ', start);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, end - start));
        start = end;
    }
    return words;
}

/// "138.19MB/s" (rsync counts in 1024s) as bytes a second; -1 when it is none.
double rateOf(std::string_view word) {
    if (word.size() < 3 || word.substr(word.size() - 2) != "/s") {
        return -1;
    }
    word.remove_suffix(2);
    double scale = 1;
    for (const auto& [unit, factor] : {std::pair<std::string_view, double>{"kB", 1024.0},
                                       {"MB", 1024.0 * 1024},
                                       {"GB", 1024.0 * 1024 * 1024},
                                       {"TB", 1024.0 * 1024 * 1024 * 1024},
                                       {"B", 1.0}}) {
        if (word.size() > unit.size() && word.substr(word.size() - unit.size()) == unit) {
            word.remove_suffix(unit.size());
            scale = factor;
            break;
        }
    }
    char* end = nullptr;
    const std::string number(word);
    const double value = std::strtod(number.c_str(), &end);
    return end != nullptr && *end == '\0' && !number.empty() ? value * scale : -1;
}

/// "1:02:03" as seconds; -1 when it is none.
double secondsOf(std::string_view word) {
    double seconds = 0;
    int parts = 0;
    std::size_t start = 0;
    while (start <= word.size()) {
        const std::size_t end = std::min(word.find(':', start), word.size());
        const std::int64_t part = countOf(word.substr(start, end - start));
        if (part < 0) {
            return -1;
        }
        seconds = seconds * 60 + static_cast<double>(part);
        ++parts;
        start = end + 1;
    }
    return parts >= 2 ? seconds : -1;
}

/// Follows rsync's standard output: the line of each file sent or deleted, the progress line
/// (--info=progress2) and the statistics at the end.
class RsyncWatch {
  public:
    RsyncWatch(PublishSink& sink, TransferOutcome& outcome) : sink_(sink), outcome_(outcome) {}

    void line(std::string_view text) {
        if (text.substr(0, kItemMark.size()) == kItemMark) {
            // "<f+++++++++ path" for a file sent, "*deleting   path" for one deleted.
            const std::string_view item = text.substr(kItemMark.size());
            const std::size_t space = item.find(' ');
            const std::size_t name = item.find_first_not_of(' ', space);
            const std::string_view path =
                name == std::string_view::npos ? std::string_view() : item.substr(name);
            if (item.substr(0, 9) == "*deleting") {
                ++outcome_.filesRemoved;
                logFile("Removed", path);
            } else if (item.substr(0, 2) == "<f") {
                ++outcome_.filesSent;
                now_.filesSent = outcome_.filesSent;
                logFile("Sent", path);
            }
            return;
        }
        if (statistic(text, "Number of regular files transferred: ", outcome_.filesSent) ||
            statistic(text, "Total transferred file size: ", outcome_.bytesSent) ||
            statistic(text, "Literal data: ", outcome_.dataSent)) {
            return;
        }
        progressLine(text);
    }

    /// The last progress as it stood, shown once more at the end.
    void finish() {
        if (shownAny_) {
            sink_.progress(now_);
        }
    }

  private:
    static bool statistic(std::string_view text, std::string_view label, std::int64_t& into) {
        if (text.substr(0, label.size()) != label) {
            return false;
        }
        const std::vector<std::string_view> words = wordsOf(text.substr(label.size()));
        if (!words.empty() && countOf(words[0]) >= 0) {
            into = countOf(words[0]);
        }
        return true;
    }

    // "   30,000,000  99%  138.19MB/s    0:00:02 (xfr#1, to-chk=2/4)"
    void progressLine(std::string_view text) {
        const std::vector<std::string_view> words = wordsOf(text);
        if (words.size() < 4 || words[1].empty() || words[1].back() != '%') {
            return;
        }
        const std::int64_t bytes = countOf(words[0]);
        const std::int64_t percent = countOf(words[1].substr(0, words[1].size() - 1));
        if (bytes < 0 || percent < 0) {
            return;
        }
        now_.bytesSent = bytes;
        now_.fraction = static_cast<double>(std::min<std::int64_t>(percent, 100)) / 100.0;
        now_.bytesPerSecond = std::max(0.0, rateOf(words[2]));
        now_.secondsLeft = secondsOf(words[3]);
        // Shown at most ten times a second: rsync redraws the line far more often.
        const auto time = std::chrono::steady_clock::now();
        if (!shownAny_ || time - lastShown_ >= std::chrono::milliseconds(100)) {
            sink_.progress(now_);
            lastShown_ = time;
            shownAny_ = true;
        }
    }

    PublishSink& sink_;
    TransferOutcome& outcome_;
    PublishProgress now_;
    std::chrono::steady_clock::time_point lastShown_;
    bool shownAny_ = false;
};

/// The folders that hold files of `remove` (and their parents), relative: rsync says these
/// "vanished" when it finds them gone while it deletes the files.
std::set<std::string> foldersOf(const std::vector<std::string>& remove) {
    std::set<std::string> folders;
    for (const std::string& path : remove) {
        for (std::size_t slash = path.find('/'); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            folders.insert(path.substr(0, slash));
        }
    }
    return folders;
}

/// rsync ends with 24 ("some files vanished") when a file to delete lies in a folder that is
/// gone from the site too. That is expected; a file of the site vanishing is not.
bool onlyRemovedFilesVanished(const std::vector<std::string>& vanished, const TransferPlan& plan) {
    const std::set<std::string> folders = foldersOf(plan.remove);
    const std::string root = plan.siteFolder + "/";
    for (const std::string& path : vanished) {
        if (path.rfind(root, 0) != 0) {
            return false;
        }
        const std::string relative = path.substr(root.size());
        if (folders.count(relative) == 0 &&
            !std::binary_search(plan.remove.begin(), plan.remove.end(), relative)) {
            return false;
        }
    }
    return true;
}

} // namespace

PublishFailure rsyncFailure(int exitCode, std::string_view errorOutput) {
    const auto has = [&](std::string_view text) {
        return errorOutput.find(text) != std::string_view::npos;
    };
    if (has("REMOTE HOST IDENTIFICATION HAS CHANGED") ||
        (has("Host key for ") && has(" has changed"))) {
        return PublishFailure::HostKeyChanged;
    }
    if (has("Host key verification failed")) {
        return PublishFailure::HostKeyUnknown;
    }
    if (has("Could not resolve hostname")) {
        return PublishFailure::HostNotFound;
    }
    // ssh names the ways it tried: "Permission denied (publickey,password)."
    for (std::size_t at = errorOutput.find("Permission denied ("); at != std::string_view::npos;
         at = errorOutput.find("Permission denied (", at + 1)) {
        const char next = at + 19 < errorOutput.size() ? errorOutput[at + 19] : '\0';
        if (next >= 'a' && next <= 'z') {
            return PublishFailure::KeyRefused;
        }
    }
    if (has("Connection refused") || has("No route to host") || has("Network is unreachable") ||
        (has("connect to host") && has("timed out"))) {
        return PublishFailure::Unreachable;
    }
    if (exitCode == 127 || has("rsync: command not found") || has("rsync: not found")) {
        return PublishFailure::NoRsyncOnServer;
    }
    if (has("No space left on device") || has("Disk quota exceeded") || has("File too large")) {
        return PublishFailure::DiskFull;
    }
    if (has("Permission denied (13)") || has("Operation not permitted (1)") ||
        has("Read-only file system (30)")) {
        return PublishFailure::AccessDenied;
    }
    if (exitCode == 12 || exitCode == 30 || exitCode == 35 || has("Broken pipe") ||
        has("Connection reset") || has("connection unexpectedly closed") || has("timeout") ||
        has("Connection closed") || has("Connection timed out")) {
        return PublishFailure::ConnectionDropped;
    }
    return PublishFailure::Other;
}

TransferOutcome transferWithRsync(const PublishTarget& target, const TransferPlan& plan,
                                  PublishSink& sink) {
    TransferOutcome outcome;
    const std::string rsync = findProgram("rsync");
    const std::string ssh = findProgram("ssh");
    if (rsync.empty() || ssh.empty()) {
        outcome.failure = PublishFailure::ProgramMissing;
        outcome.detail = rsync.empty() ? "rsync" : "ssh";
        return outcome;
    }
    const std::vector<std::string> common = {"--timeout=" + std::to_string(kIoTimeoutSeconds),
                                             "--out-format=" + std::string(kItemMark) + "%i %n",
                                             "-e", sshCommand(ssh, target)};
    const std::string source = plan.siteFolder + "/";
    const std::string destination =
        loginPart(target) + ":" + remoteFolder(target) + (target.folder.empty() ? "" : "/");

    // Runs one rsync; false with the outcome's failure set when it did not succeed.
    const auto run = [&](std::vector<std::string> argv, bool deleting) {
        argv.insert(argv.begin(), rsync);
        argv.insert(argv.end(), common.begin(), common.end());
        argv.insert(argv.end(), {"--", source, destination});
        logCommand(argv);
        RsyncWatch watch(sink, outcome);
        std::vector<std::string> vanished;
        ProgramRun how;
        how.timeLimitSeconds = kLongestPublish;
        // A stop ends ssh with rsync: what it holds in its buffers must not go on being sent.
        how.killTogether = true;
        how.stopRequested = [&sink] { return sink.stopRequested(); };
        how.outputLine = [&watch](std::string_view line) { watch.line(line); };
        how.errorLine = [&vanished](std::string_view line) {
            constexpr std::string_view kVanished = "file has vanished: \"";
            if (line.substr(0, kVanished.size()) == kVanished && line.back() == '"') {
                vanished.emplace_back(
                    line.substr(kVanished.size(), line.size() - kVanished.size() - 1));
            }
        };
        ProgramResult result;
        const bool ok = runProgram(argv, how, result);
        watch.finish();
        logErrorOutput("rsync", result);
        // Deleting a file whose folder is gone here too, rsync says the folder "vanished".
        if (ok || (deleting && result.exitCode == 24 && onlyRemovedFilesVanished(vanished, plan))) {
            return true;
        }
        outcome.lastLine = tellingLineOf(result.errorTail);
        if (result.stopped) {
            outcome.failure = PublishFailure::Stopped;
        } else {
            outcome.failure = rsyncFailure(result.exitCode, result.errorTail);
            if (outcome.failure == PublishFailure::HostKeyChanged) {
                outcome.detail = fingerprintIn(result.errorTail);
            }
        }
        return false;
    };

    // The whole site, every file compared with the server by size and time: what a publish
    // sends is what a listing of the site finds (names beginning with "." left out, links and
    // other files that are not regular skipped), and nothing on the server is deleted.
    if (!run({"--recursive", "--times", "--exclude=.*",
              // What a web server reads: new files readable by all, folders enterable.
              "--chmod=u+rwX,go+rX", std::string("--partial-dir=") + kPartialFolder,
              "--no-human-readable", "--info=progress2", "--stats"},
             false)) {
        return outcome;
    }
    if (plan.remove.empty()) {
        return outcome;
    }
    // Then exactly the files Mivo published and the site no longer holds: named in the list and
    // missing here, each becomes a deletion on the server (--delete-missing-args), and nothing
    // else is touched.
    std::string list;
    for (const std::string& path : plan.remove) {
        list += path;
        list.push_back('\0');
    }
    const std::string listFile = cmAddPath(plan.listFolder, "remove", kPathSeparator);
    if (!replaceFileAtomic(listFile, list)) {
        outcome.failure = PublishFailure::Other;
        outcome.lastLine = listFile;
        return outcome;
    }
    if (sink.stopRequested()) {
        outcome.failure = PublishFailure::Stopped;
        return outcome;
    }
    run({"--from0", "--files-from=" + listFile, "--delete-missing-args"}, true);
    return outcome;
}

std::string destinationName(const PublishTarget& target) {
    if (target.transport == PublishTransport::Rclone) {
        return "rclone " + rcloneDestination(target);
    }
    return "rsync " + loginPart(target) +
           (target.port > 0 ? ":" + std::to_string(target.port) : "") + " " + remoteFolder(target);
}

std::string destinationText(const PublishTarget& target) {
    if (target.transport == PublishTransport::Rclone) {
        return rcloneDestination(target);
    }
    return loginPart(target) + ":" + remoteFolder(target);
}

} // namespace mivo
