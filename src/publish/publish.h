#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/program_files.h"
#include "settings/settings.h"

namespace mivo {

/// How the site reaches the server.
enum class PublishTransport {
    Rsync,  ///< rsync over SSH, with the user's own SSH configuration, keys and agent
    Rclone, ///< rclone, to a remote the user set up with `rclone config`
};

/// Where the site goes: [Publish] of Mivo.ini. Never a password: logins are the user's SSH
/// keys and agent, or what rclone's own configuration holds.
struct PublishTarget {
    PublishTransport transport = PublishTransport::Rsync;
    std::string transportName; // as written: "rsync", "rclone", or "" for rsync
    std::string host;
    std::string user;      // empty: what ssh's configuration says
    long long port = 0;    // 0: what ssh's configuration says
    std::string folder;    // on the server; empty: the login's home folder
    std::string sshConfig; // ssh's configuration file (-F); empty: the user's own
    std::string rcloneRemote;
    std::string rclonePath;
    std::string address; // the site's public address, named at the end
};

/// One publish: the folder sent, where it goes, and folders that must never be sent.
struct PublishJob {
    std::string siteFolder;
    PublishTarget target;
    /// The home folder, the program and settings folders: a site folder that is one of them
    /// or holds one is refused, so that settings, the log or a whole home never reach a server.
    std::vector<std::string> keepOut;
};

/// The publish of the gallery the settings make: the folder of its top page (the index page,
/// or the menu page in menu mode) with everything below it, to the [Publish] target.
PublishJob planPublish(const Settings& settings, const ProgramFiles& files);

/// How far a publish has come.
struct PublishProgress {
    std::int64_t filesSent = 0;
    std::int64_t bytesSent = 0;
    double bytesPerSecond = 0;
    double secondsLeft = -1; // -1: not known yet
    double fraction = -1;    // of the whole publish, 0 to 1; -1: not known yet
};

/// Where a publish shows what it does: the window's status line and bar, mivo-make's console.
class PublishSink {
  public:
    virtual ~PublishSink() = default;
    /// The status line now reads `text` (in the user's language).
    virtual void message(const std::string& text) = 0;
    /// Called a few times a second while files go out.
    virtual void progress(const PublishProgress& now) = 0;
    /// True once the user asked to stop; asked about every 50 ms, from the publishing thread.
    virtual bool stopRequested() const { return false; }
};

/// Why a publish did not complete.
enum class PublishFailure {
    None,
    NotConfigured,       ///< no server in [Publish]
    BadSetting,          ///< a [Publish] value that cannot be used
    ProgramMissing,      ///< rsync, ssh or rclone is not installed here
    SiteMissing,         ///< no site folder (make the gallery first)
    UnsafeSite,          ///< the site folder is, or holds, the home or Mivo's own folders
    Busy,                ///< a Make run or another publish is using the folder
    SiteUnreadable,      ///< a folder of the site cannot be listed
    LedgerUnreadable,    ///< the record of what was published cannot be read
    LedgerUnwritable,    ///< ... or written
    HostNotFound,        ///< the server's name does not resolve
    HostKeyUnknown,      ///< the server's key is not in known_hosts yet
    HostKeyChanged,      ///< the server's key differs from the one known: never accepted
    KeyRefused,          ///< the server refused the user's key
    Unreachable,         ///< the server cannot be reached: nothing listens, no route
    NoRsyncOnServer,     ///< the server has no rsync
    RemoteNotConfigured, ///< rclone knows no remote of that name
    DiskFull,            ///< the server's disk or quota is full
    AccessDenied,        ///< the server refused to let the files be written
    ConnectionDropped,   ///< the connection broke off; the next publish resumes
    Stopped,             ///< the user stopped it; the next publish completes it
    Other,               ///< anything else; the program's own last line says what
};

/// How a publish ended.
struct PublishResult {
    bool done = false; // the server holds the whole site
    PublishFailure failure = PublishFailure::None;
    std::string message;  // the last status line: the summary, or what failed and what to do
    std::string lastLine; // the transfer program's last line of error output, as it wrote it
    std::int64_t filesInSite = 0;
    std::int64_t filesSent = 0;
    std::int64_t bytesSent = 0; // size of the files sent
    std::int64_t dataSent = -1; // file data that went over the wire (rsync); -1: not known
    std::int64_t filesRemoved = 0;
    std::int64_t linksLeftOut = 0; // symbolic links in the site, never sent
};

/// Sends the site to the server: every file of the site folder and below but names that
/// begin with "." (Mivo's own records, temporary files) and symbolic links; only what changed
/// goes out. On the server, nothing is deleted but files this site folder published there
/// before (the record .mivo-published) that are no longer in the site. Reports through
/// `sink`; a stop request ends it within a second, and the next publish completes it.
PublishResult publishSite(const PublishJob& job, PublishSink& sink);

/// "12 files, 3.4 MB, 1.2 MB/s, 0:05 left" in the user's language, for a status line.
std::string publishProgressText(const PublishProgress& now);

/// The name of the record of what was published, in the site folder.
inline constexpr const char* kPublishedRecordName = ".mivo-published";

} // namespace mivo
