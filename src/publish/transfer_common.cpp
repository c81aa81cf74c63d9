#include <string>
#include <vector>

#include "common/log.h"
#include "common/text_file.h"
#include "publish/transfer.h"

namespace mivo {

namespace {

constexpr const char* kRoutine = "publishSite";

} // namespace

std::string lastLineOf(std::string_view errorOutput) {
    const std::vector<std::string> lines = splitLines(errorOutput);
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (line->find_first_not_of(" \t") != std::string::npos) {
            return *line;
        }
    }
    return {};
}

std::string tellingLineOf(std::string_view errorOutput) {
    const std::vector<std::string> lines = splitLines(errorOutput);
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        // rsync's own last words say only that the other side went away.
        if (line->find_first_not_of(" \t") != std::string::npos &&
            line->rfind("rsync error: ", 0) != 0 &&
            line->rfind("rsync: connection unexpectedly closed", 0) != 0) {
            return *line;
        }
    }
    return lastLineOf(errorOutput);
}

std::string fingerprintIn(std::string_view errorOutput) {
    // "The fingerprint for the ED25519 key sent by the remote host is\nSHA256:Ck46C/pp...."
    const std::size_t at = errorOutput.find("SHA256:");
    if (at == std::string_view::npos) {
        return {};
    }
    std::size_t end = errorOutput.find_first_of(" \r\n", at);
    end = end == std::string_view::npos ? errorOutput.size() : end;
    std::string fingerprint(errorOutput.substr(at, end - at));
    if (!fingerprint.empty() && fingerprint.back() == '.') {
        fingerprint.pop_back();
    }
    return fingerprint;
}

void logFile(const char* what, std::string_view path) {
    if (logWants(3)) {
        cmWriteLog(kRoutine, 3, std::string(what) + " [" + std::string(path) + "]");
    }
}

void logCommand(const std::vector<std::string>& argv) {
    if (!logWants(1)) {
        return;
    }
    std::string line;
    for (const std::string& word : argv) {
        line += (line.empty() ? "" : " ") + word;
    }
    cmWriteLog(kRoutine, 1, line);
}

void logErrorOutput(const std::string& program, const ProgramResult& result) {
    if (!logWants(4) || (result.exitCode == 0 && !result.stopped)) {
        return;
    }
    cmWriteLog(kRoutine, 4,
               program + " exit=[" + std::to_string(result.exitCode) + "]" +
                   (result.stopped ? " stopped" : "") + (result.timedOut ? " timed out" : ""));
    for (const std::string& line : splitLines(result.errorTail)) {
        std::string text = program;
        text += ": ";
        text += line;
        cmWriteLog(kRoutine, 4, text);
    }
}

} // namespace mivo
