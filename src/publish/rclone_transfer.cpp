// rclone: a copy of what changed to a remote the user set up with `rclone config`, then a
// delete of exactly the files Mivo published before and removed since.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/paths.h"
#include "common/run_program.h"
#include "common/text_file.h"
#include "publish/transfer.h"

namespace mivo {

namespace {

/// Kept of rclone's error lines, for telling what went wrong.
constexpr std::size_t kErrorsKept = 16 * 1024;

/// The text of a JSON string value that starts at `at` (just after its opening quote).
std::string jsonString(std::string_view line, std::size_t at) {
    std::string text;
    for (std::size_t i = at; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            ++i;
            text.push_back(line[i] == 'n' ? '\n' : (line[i] == 't' ? '\t' : line[i]));
        } else {
            text.push_back(line[i]);
        }
    }
    return text;
}

/// The value of "key":"..." in a JSON log line, or "" when it has none.
std::string field(std::string_view line, std::string_view key) {
    const std::string pattern = "\"" + std::string(key) + "\":\"";
    const std::size_t at = line.find(pattern);
    return at == std::string_view::npos ? std::string() : jsonString(line, at + pattern.size());
}

/// The number of "key":123 after `from`, or -1 (null, or no such key).
double number(std::string_view line, std::size_t from, std::string_view key) {
    const std::string pattern = "\"" + std::string(key) + "\":";
    const std::size_t at = line.find(pattern, from);
    if (at == std::string_view::npos) {
        return -1;
    }
    const std::string rest(line.substr(at + pattern.size(), 32));
    char* end = nullptr;
    const double value = std::strtod(rest.c_str(), &end);
    return end == rest.c_str() ? -1 : value;
}

/// Follows rclone's log (JSON lines on its error output): each file copied or deleted, the
/// statistics twice a second, and every error.
class RcloneWatch {
  public:
    RcloneWatch(PublishSink& sink, TransferOutcome& outcome, bool deleting)
        : sink_(sink), outcome_(outcome), deleting_(deleting) {}

    void line(std::string_view text) {
        if (text.empty() || text.front() != '{') {
            // Not a log line: rclone's last words when it cannot start.
            keepError(text);
            return;
        }
        const std::string level = field(text, "level");
        const std::string message = field(text, "msg");
        if (level == "error" || level == "critical") {
            keepError(message + " " + field(text, "object"));
        }
        if (deleting_ && message == "Deleted") {
            ++outcome_.filesRemoved;
            logFile("Removed", field(text, "object"));
        } else if (!deleting_ && message.rfind("Copied (", 0) == 0) {
            logFile("Sent", field(text, "object"));
        }
        const std::size_t stats = text.find("\"stats\":{");
        if (stats == std::string_view::npos || deleting_) {
            return;
        }
        const double bytes = number(text, stats, "bytes");
        const double total = number(text, stats, "totalBytes");
        const double transfers = number(text, stats, "transfers");
        if (bytes >= 0) {
            outcome_.bytesSent = static_cast<std::int64_t>(bytes);
            now_.bytesSent = outcome_.bytesSent;
        }
        if (transfers >= 0) {
            outcome_.filesSent = static_cast<std::int64_t>(transfers);
            now_.filesSent = outcome_.filesSent;
        }
        now_.bytesPerSecond = std::max(0.0, number(text, stats, "speed"));
        now_.secondsLeft = number(text, stats, "eta");
        now_.fraction = total > 0 && bytes >= 0 ? std::min(1.0, bytes / total) : -1;
        sink_.progress(now_);
    }

    const std::string& errors() const { return errors_; }
    const std::string& lastError() const { return lastError_; }

  private:
    void keepError(std::string_view text) {
        if (text.find_first_not_of(' ') == std::string_view::npos) {
            return;
        }
        lastError_ = std::string(text);
        errors_ += lastError_;
        errors_ += '\n';
        if (errors_.size() > kErrorsKept) {
            errors_.erase(0, errors_.size() - kErrorsKept);
        }
    }

    PublishSink& sink_;
    TransferOutcome& outcome_;
    bool deleting_;
    PublishProgress now_;
    std::string errors_;
    std::string lastError_;
};

/// One rclone call; false with the outcome's failure set when it did not succeed.
bool runRclone(const std::string& rclone, std::vector<std::string> arguments, bool deleting,
               PublishSink& sink, TransferOutcome& outcome) {
    std::vector<std::string> argv = {rclone};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    // Never a prompt (an encrypted configuration asks for its password), one attempt, its log
    // as JSON lines with the statistics twice a second.
    argv.insert(argv.end(),
                {"--ask-password=false", "--retries=1", "--low-level-retries=3", "--contimeout=30s",
                 "--timeout=120s", "--use-json-log", "-v", "--stats=500ms"});
    logCommand(argv);
    RcloneWatch watch(sink, outcome, deleting);
    ProgramRun how;
    how.timeLimitSeconds = kLongestPublish;
    how.killTogether = true;
    how.stopRequested = [&sink] { return sink.stopRequested(); };
    how.errorLine = [&watch](std::string_view line) { watch.line(line); };
    ProgramResult result;
    const bool ok = runProgram(argv, how, result);
    logErrorOutput("rclone", result);
    if (ok) {
        return true;
    }
    outcome.lastLine = watch.lastError().empty() ? lastLineOf(result.errorTail) : watch.lastError();
    outcome.failure =
        result.stopped ? PublishFailure::Stopped : rcloneFailure(result.exitCode, watch.errors());
    return false;
}

} // namespace

std::string rcloneDestination(const PublishTarget& target) {
    std::string remote = target.rcloneRemote;
    while (!remote.empty() && remote.back() == ':') {
        remote.pop_back();
    }
    return remote + ":" + target.rclonePath;
}

PublishFailure rcloneFailure(int exitCode, std::string_view errorOutput) {
    std::string lower(errorOutput);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto has = [&](std::string_view text) { return lower.find(text) != std::string::npos; };
    if (has("didn't find section in config file") || has("not found in config file")) {
        return PublishFailure::RemoteNotConfigured;
    }
    if (has("knownhosts: key mismatch")) {
        return PublishFailure::HostKeyChanged;
    }
    if (has("knownhosts: key is unknown")) {
        return PublishFailure::HostKeyUnknown;
    }
    if (has("no such host")) {
        return PublishFailure::HostNotFound;
    }
    if (has("unable to authenticate") || has("401 unauthorized") || has("invalid_grant") ||
        has("signaturedoesnotmatch") || has("invalidaccesskeyid")) {
        return PublishFailure::KeyRefused;
    }
    if (has("connection refused") || has("no route to host") || has("network is unreachable") ||
        (has("dial tcp") && has("timeout"))) {
        return PublishFailure::Unreachable;
    }
    if (has("no space left on device") || has("insufficient storage") || has("quota") ||
        has("507 ")) {
        return PublishFailure::DiskFull;
    }
    if (has("permission denied") || has("403 forbidden") || has("accessdenied") ||
        has("read-only file system")) {
        return PublishFailure::AccessDenied;
    }
    if (exitCode == 5 || has("connection reset") || has("broken pipe") || has("unexpected eof") ||
        has("i/o timeout") || has("connection lost")) {
        return PublishFailure::ConnectionDropped;
    }
    return PublishFailure::Other;
}

TransferOutcome transferWithRclone(const PublishTarget& target, const TransferPlan& plan,
                                   PublishSink& sink) {
    TransferOutcome outcome;
    const std::string rclone = findProgram("rclone");
    if (rclone.empty()) {
        outcome.failure = PublishFailure::ProgramMissing;
        outcome.detail = "rclone";
        return outcome;
    }
    const std::string destination = rcloneDestination(target);
    const auto writeList = [&](const char* name, const std::vector<std::string>& paths,
                               std::string& file) {
        std::string list;
        for (const std::string& path : paths) {
            list += path + "\n";
        }
        file = cmAddPath(plan.listFolder, name, kPathSeparator);
        if (!replaceFileAtomic(file, list)) {
            outcome.failure = PublishFailure::Other;
            outcome.lastLine = file;
            return false;
        }
        return true;
    };
    std::string sendList;
    std::string removeList;
    if (!writeList("send", plan.changed, sendList) ||
        !writeList("remove", plan.remove, removeList)) {
        return outcome;
    }
    // What changed here since the last publish to this remote, and only that: many remotes keep
    // times to the second or not at all, so a page rewritten within a second at the same size
    // would look the same to rclone's own comparison, and looking at every file of a large site
    // one by one takes long on a remote far away.
    if (!plan.changed.empty() && !runRclone(rclone,
                                            {"copy", plan.siteFolder, destination,
                                             "--files-from-raw", sendList, "--ignore-times"},
                                            false, sink, outcome)) {
        return outcome;
    }
    // Only the listed files, each looked for on the server: nothing else is deleted.
    if (!plan.remove.empty()) {
        runRclone(rclone, {"delete", destination, "--files-from-raw", removeList}, true, sink,
                  outcome);
    }
    if (outcome.failure == PublishFailure::RemoteNotConfigured) {
        outcome.detail = target.rcloneRemote;
    }
    return outcome;
}

} // namespace mivo
