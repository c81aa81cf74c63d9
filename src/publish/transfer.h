#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/run_program.h"
#include "publish/publish.h"

namespace mivo {

/// What one transfer is asked to do.
struct TransferPlan {
    std::string siteFolder;
    std::vector<std::string> changed; // files changed since the last publish to this server
    std::vector<std::string> remove;  // files this folder published before, gone from the site
    std::string listFolder;           // a private temporary folder for the lists handed over
};

/// What became of it.
struct TransferOutcome {
    PublishFailure failure = PublishFailure::None;
    std::string lastLine; // the program's last line of error output
    std::string detail;   // what the message names besides: a fingerprint, a package
    std::int64_t filesSent = 0;
    std::int64_t bytesSent = 0;
    std::int64_t dataSent = -1;
    std::int64_t filesRemoved = 0;
};

/// Where rsync or rclone puts the site, as the record of what was published names it.
std::string destinationName(const PublishTarget& target);
/// The same as a person reads it ("user@host:folder", "remote:path").
std::string destinationText(const PublishTarget& target);

/// rsync over ssh: one call sends what changed in the whole site, a second one (when there
/// are any) deletes the files of plan.remove.
TransferOutcome transferWithRsync(const PublishTarget& target, const TransferPlan& plan,
                                  PublishSink& sink);
/// rclone copy of what changed, then rclone delete of plan.remove.
TransferOutcome transferWithRclone(const PublishTarget& target, const TransferPlan& plan,
                                   PublishSink& sink);

/// Longer than any publish may take: past it the transfer is killed.
inline constexpr double kLongestPublish = 24 * 3600.0;

/// "remote:path" for rclone.
std::string rcloneDestination(const PublishTarget& target);
/// The last line of a program's error output that holds anything.
std::string lastLineOf(std::string_view errorOutput);
/// The last line of rsync's error output that says what went wrong: ssh's words rather than
/// rsync's "connection unexpectedly closed" after them.
std::string tellingLineOf(std::string_view errorOutput);
/// The key fingerprint ssh names when a server's key changed ("SHA256:..."), or "".
std::string fingerprintIn(std::string_view errorOutput);
/// "Sent [path]" or "Removed [path]" in the log (level 3, as the run logs each picture).
void logFile(const char* what, std::string_view path);
/// The command line, in the log.
void logCommand(const std::vector<std::string>& argv);
/// What a transfer program wrote to its error output, in the log, line by line.
void logErrorOutput(const std::string& program, const ProgramResult& result);

/// Why rsync (and the ssh under it) failed, from its exit status and error output.
PublishFailure rsyncFailure(int exitCode, std::string_view errorOutput);
/// Why rclone failed, from its exit status and error output.
PublishFailure rcloneFailure(int exitCode, std::string_view errorOutput);

} // namespace mivo
