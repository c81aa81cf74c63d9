#include "publish/publish.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "common/log.h"
#include "common/paths.h"
#include "common/system_reason.h"
#include "common/translate.h"
#include "publish/published_record.h"
#include "publish/site_listing.h"
#include "publish/transfer.h"

namespace mivo {

namespace {

constexpr const char* kRoutine = "publishSite";

/// The folder part of a page path.
std::string folderOf(const std::string& pagePath) {
    const std::size_t slash = pagePath.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : pagePath.substr(0, slash);
}

/// A value that goes on a command line: no blank, no control character, and nothing that
/// could be taken for an option.
bool plainWord(const std::string& value) {
    if (!value.empty() && value.front() == '-') {
        return false;
    }
    return std::none_of(value.begin(), value.end(),
                        [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == '\x7f'; });
}

/// No control character (a line break would end a line of the record of what was published).
bool plainText(const std::string& value) {
    return std::none_of(value.begin(), value.end(),
                        [](char c) { return static_cast<unsigned char>(c) < ' ' || c == '\x7f'; });
}

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

/// Checks the [Publish] values. false with the failure and the setting it names.
bool checkTarget(PublishTarget& target, PublishFailure& failure, std::string& setting) {
    failure = PublishFailure::BadSetting;
    const std::string transport = lowerCase(target.transportName);
    if (transport.empty() || transport == "rsync") {
        target.transport = PublishTransport::Rsync;
    } else if (transport == "rclone") {
        target.transport = PublishTransport::Rclone;
    } else {
        setting = "Transport=" + target.transportName;
        return false;
    }
    if (target.transport == PublishTransport::Rsync) {
        if (target.host.empty()) {
            failure = PublishFailure::NotConfigured;
            return false;
        }
        const std::pair<const char*, const std::string*> words[] = {{"Host", &target.host},
                                                                    {"User", &target.user}};
        for (const auto& [key, value] : words) {
            if (!plainWord(*value) || value->find_first_of("@/") != std::string::npos) {
                setting = std::string(key) + "=" + *value;
                return false;
            }
        }
        if (target.port < 0 || target.port > 65535) {
            setting = "Port=" + std::to_string(target.port);
            return false;
        }
        // A folder that begins with "-" would read as an option on the server: "./-x" does not.
        if (!plainText(target.folder) || (!target.folder.empty() && target.folder[0] == '-')) {
            setting = "Folder=" + target.folder;
            return false;
        }
        if (!plainText(target.sshConfig)) {
            setting = "SshConfig=" + target.sshConfig;
            return false;
        }
        return true;
    }
    if (target.rcloneRemote.empty()) {
        failure = PublishFailure::NotConfigured;
        return false;
    }
    if (!plainText(target.rcloneRemote) || target.rcloneRemote.front() == '-') {
        setting = "RcloneRemote=" + target.rcloneRemote;
        return false;
    }
    if (!plainText(target.rclonePath)) {
        setting = "RclonePath=" + target.rclonePath;
        return false;
    }
    return true;
}

/// The folder with links and "." and ".." resolved, or "" when it does not exist.
std::string canonicalFolder(const std::string& folder) {
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::canonical(folder, ec);
    return ec ? std::string() : path.string();
}

/// True when `inner` is `outer` or lies below it.
bool within(const std::string& inner, const std::string& outer) {
    if (outer == "/") {
        return true;
    }
    return inner == outer ||
           (inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
            inner[outer.size()] == '/');
}

/// Keeps a Make run and another publish out of the site folder for as long as it lives: the
/// same advisory lock on the folder itself that a Make run takes.
class FolderLock {
  public:
    ~FolderLock() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    /// false when another run or publish holds it; a system without locks is no refusal.
    bool take(const std::string& folder) {
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        return fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
    }

  private:
    int fd_ = -1;
};

/// A private temporary folder for the lists handed to rsync or rclone, removed at the end.
class ListFolder {
  public:
    ListFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/mivo-publish-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~ListFolder() {
        if (!path_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(path_, ec);
        }
    }
    ListFolder(const ListFolder&) = delete;
    ListFolder& operator=(const ListFolder&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

std::string megabytes(std::int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

std::string clockText(double seconds) {
    const long long whole = std::llround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
    return text;
}

/// The ssh command a user runs once to check and take the server's key.
std::string sshLogin(const PublishTarget& target) {
    std::string command = "ssh";
    if (target.port > 0) {
        command += " -p " + std::to_string(target.port);
    }
    if (!target.sshConfig.empty()) {
        command += " -F " + target.sshConfig;
    }
    return command + " " + (target.user.empty() ? target.host : target.user + "@" + target.host);
}

/// The name ssh keeps the server's key under in known_hosts.
std::string knownHostName(const PublishTarget& target) {
    return target.port > 0 && target.port != 22
               ? "[" + target.host + "]:" + std::to_string(target.port)
               : target.host;
}

/// True for a failure that comes before any file can reach the server.
bool nothingSent(PublishFailure failure) {
    switch (failure) {
    case PublishFailure::ProgramMissing:
    case PublishFailure::HostNotFound:
    case PublishFailure::HostKeyUnknown:
    case PublishFailure::HostKeyChanged:
    case PublishFailure::KeyRefused:
    case PublishFailure::Unreachable:
    case PublishFailure::NoRsyncOnServer:
    case PublishFailure::RemoteNotConfigured:
        return true;
    default:
        return false;
    }
}

const char* packageOf(const std::string& program) {
    return program == "ssh" ? "openssh-client" : (program == "rclone" ? "rclone" : "rsync");
}

/// What failed and what to do, as the status line says it.
UserText failureText(PublishFailure failure, const PublishTarget& target, const std::string& detail,
                     const std::string& lastLine) {
    const bool rsync = target.transport == PublishTransport::Rsync;
    const std::string server = rsync ? target.host : target.rcloneRemote;
    switch (failure) {
    case PublishFailure::None:
        return {};
    case PublishFailure::NotConfigured:
        return userText(
            translatable("公開先が設定されていません。Mivo.ini の [Publish] に Host (rsync) か "
                         "RcloneRemote (rclone) を書いてください"));
    case PublishFailure::BadSetting:
        return userText(translatable("公開先の設定 %1 は使えません (Mivo.ini の [Publish])"),
                        {detail});
    case PublishFailure::ProgramMissing:
        return userText(
            translatable("%1 がありません。Debian パッケージ %2 をインストールしてください"),
            {detail, std::string(packageOf(detail))});
    case PublishFailure::SiteMissing:
        return userText(translatable("公開するサイトがありません。先に作成してください [%1]"),
                        {detail});
    case PublishFailure::UnsafeSite:
        return userText(
            translatable("このフォルダは公開しません: ホームフォルダか Mivo の設定のフォルダ"
                         "を含みます [%1]"),
            {detail});
    case PublishFailure::Busy:
        return userText(translatable("別の作成か公開がこのフォルダを使っています [%1]"), {detail});
    case PublishFailure::SiteUnreadable:
        return userText(translatable("公開するフォルダを読めません: %1"),
                        {UserText(detail, translateReason(detail))});
    case PublishFailure::LedgerUnreadable:
        return userText(translatable("公開の記録を読めません: %1"),
                        {UserText(detail, translateReason(detail))});
    case PublishFailure::LedgerUnwritable:
        return userText(translatable("公開の記録を書き込めません: %1"),
                        {UserText(detail, translateReason(detail))});
    case PublishFailure::HostNotFound:
        return userText(translatable("サーバー %1 が見つかりません。名前を確かめてください"),
                        {server});
    case PublishFailure::HostKeyUnknown:
        if (!rsync) {
            return userText(
                translatable("サーバー %1 の鍵が登録されていません。rclone のリモートの "
                             "known_hosts_file を確かめてください"),
                {server});
        }
        return userText(
            translatable("サーバー %1 の鍵がまだ登録されていません。端末で一度「%2」と接続し、"
                         "示された鍵の指紋をサーバーの管理者に確かめてから yes と答えてください"),
            {server, sshLogin(target)});
    case PublishFailure::HostKeyChanged:
        if (!rsync) {
            return userText(
                translatable("サーバー %1 の鍵が登録済みの鍵と違うため、公開しませんでした。"
                             "サーバーの管理者に鍵の指紋を確かめ、正しいときだけ rclone の "
                             "known_hosts_file を直してください"),
                {server});
        }
        return userText(
            translatable("サーバー %1 の鍵が登録済みの鍵と違うため、公開しませんでした。サーバー"
                         "が示した鍵の指紋 %2 が正しいかをサーバーの管理者に確かめ、正しいとき"
                         "だけ「ssh-keygen -R %3」で古い鍵を消し、「%4」で接続し直してください"),
            {server, detail.empty() ? std::string("?") : detail, knownHostName(target),
             sshLogin(target)});
    case PublishFailure::KeyRefused:
        if (!rsync) {
            return userText(
                translatable("サーバー %1 がログインを受け付けませんでした。rclone config で"
                             "リモートの設定を確かめてください"),
                {server});
        }
        return userText(
            translatable("サーバー %1 が鍵を受け付けませんでした。ユーザー名と、公開鍵がサーバーの "
                         "~/.ssh/authorized_keys にあるか、鍵が ssh-agent にあるかを確かめてくだ"
                         "さい (「%2」で試せます)"),
            {server, sshLogin(target)});
    case PublishFailure::Unreachable:
        return userText(
            translatable("サーバー %1 に接続できません。サーバーが動いているか、名前とポート"
                         "番号を確かめてください"),
            {server});
    case PublishFailure::NoRsyncOnServer:
        return userText(
            translatable("サーバー %1 に rsync がありません。サーバーに rsync を入れるか、"
                         "rclone で公開してください"),
            {server});
    case PublishFailure::RemoteNotConfigured:
        return userText(
            translatable("rclone のリモート %1 がありません。端末で rclone config を実行して"
                         "設定してください"),
            {server});
    case PublishFailure::DiskFull:
        return userText(
            translatable("サーバー %1 の空き容量が足りません。空けてから公開し直してください"),
            {server});
    case PublishFailure::AccessDenied:
        return userText(
            translatable("サーバー %1 の公開先に書き込めません (アクセスが拒否されました)"),
            {server});
    case PublishFailure::ConnectionDropped:
        return userText(
            translatable("サーバー %1 との接続が切れました。次の公開で続きから送ります"), {server});
    case PublishFailure::Stopped:
        return userText(translatable("公開を中止しました。次の公開で続きから送ります"));
    case PublishFailure::Other:
        break;
    }
    return userText(translatable("公開に失敗しました: %1"),
                    {lastLine.empty() ? std::string("?") : lastLine});
}

} // namespace

PublishJob planPublish(const Settings& settings, const ProgramFiles& files) {
    PublishJob job;
    job.siteFolder = folderOf(settings.menuMode() ? settings.gstrMenuPath : settings.gstrIndexPath);
    PublishTarget& target = job.target;
    target.transportName = settings.PublishTransportName;
    target.host = settings.PublishHost;
    target.user = settings.PublishUser;
    target.port = settings.PublishPort;
    target.folder = settings.PublishFolder;
    target.sshConfig = settings.PublishSshConfig;
    target.rcloneRemote = settings.PublishRcloneRemote;
    target.rclonePath = settings.PublishRclonePath;
    target.address = settings.PublishAddress;
    const char* home = std::getenv("HOME");
    for (const std::string& folder : {files.homeFolder, std::string(home != nullptr ? home : ""),
                                      files.programFolder, files.stateFolder}) {
        if (!folder.empty()) {
            job.keepOut.push_back(folder);
        }
    }
    return job;
}

std::string publishProgressText(const PublishProgress& now) {
    std::string text = translate("送信中: %1 個のファイル、%2",
                                 {std::to_string(now.filesSent), megabytes(now.bytesSent)});
    if (now.bytesPerSecond > 0) {
        text += " (" + megabytes(static_cast<std::int64_t>(now.bytesPerSecond)) + "/s";
        if (now.secondsLeft >= 0) {
            text += ", " + translate("残り %1", {clockText(now.secondsLeft)});
        }
        text += ")";
    }
    return text;
}

PublishResult publishSite(const PublishJob& job, PublishSink& sink) {
    cmWriteLog(kRoutine, 1,
               "▽Start Method▽\r\nsiteFolder=[" + job.siteFolder + "]\r\ntransport=[" +
                   job.target.transportName + "]");
    PublishResult result;
    PublishTarget target = job.target;
    const auto finish = [&](PublishFailure failure, const std::string& detail) {
        result.failure = failure;
        result.done = failure == PublishFailure::None;
        if (!result.done) {
            const UserText text = failureText(failure, target, detail, result.lastLine);
            cmWriteLog(kRoutine, 4, text.logged);
            result.message = text.shown;
            sink.message(result.message);
        }
        cmWriteLog(kRoutine, 1, std::string("△End Method△ ") + boolText(result.done));
        return result;
    };

    PublishFailure problem = PublishFailure::None;
    std::string setting;
    if (!checkTarget(target, problem, setting)) {
        return finish(problem, setting);
    }
    const std::string site = canonicalFolder(job.siteFolder);
    if (site.empty() || !std::filesystem::is_directory(site)) {
        return finish(PublishFailure::SiteMissing, job.siteFolder);
    }
    for (const std::string& folder : job.keepOut) {
        const std::string kept = canonicalFolder(folder);
        if (site == "/" || (!kept.empty() && within(kept, site))) {
            return finish(PublishFailure::UnsafeSite, site);
        }
    }
    FolderLock lock;
    if (!lock.take(site)) {
        return finish(PublishFailure::Busy, site);
    }
    SiteListing listing;
    std::string error;
    if (!listSite(site, listing, error)) {
        return finish(PublishFailure::SiteUnreadable, error);
    }
    if (listing.files.empty()) {
        return finish(PublishFailure::SiteMissing, site);
    }
    result.filesInSite = static_cast<std::int64_t>(listing.files.size());
    result.linksLeftOut = static_cast<std::int64_t>(listing.links.size());
    for (const std::string& link : listing.links) {
        cmWriteLog(kRoutine, 4, "LinkLeftOut [" + link + "]");
    }
    for (const std::string& name : listing.unnamable) {
        cmWriteLog(kRoutine, 4, "NameLeftOut [" + name + "]");
    }

    // What this folder published to this server before: the only files a publish deletes.
    PublishedRecord record;
    if (!record.load(site, error)) {
        return finish(PublishFailure::LedgerUnreadable, error);
    }
    const std::string destination = destinationName(target);
    if (record.unchanged(destination, listing.files, listing.stamps)) {
        // The last publish to this server completed with every file as it is now: nothing to
        // send or delete, and no need to ask the server.
        const UserText same =
            target.address.empty()
                ? userText(translatable("変わったファイルはありません。%1 は前回の公開のままです"),
                           {destinationText(target)})
                : userText(
                      translatable("変わったファイルはありません。%1 は前回の公開のままです。%2"),
                      {destinationText(target), target.address});
        cmWriteLog(kRoutine, 2, same.logged);
        result.message = same.shown;
        result.dataSent = 0;
        sink.message(result.message);
        return finish(PublishFailure::None, "");
    }
    const PublishedRecord published = record;
    const std::vector<std::string> before = record.files(destination);
    TransferPlan plan;
    plan.siteFolder = site;
    plan.changed = record.changed(destination, listing.files, listing.stamps);
    std::set_difference(before.begin(), before.end(), listing.files.begin(), listing.files.end(),
                        std::back_inserter(plan.remove));
    // Recorded before anything goes out, as files that may be on the server: a publish that is
    // killed half-way has put some of the new files there, and the next publish must know them
    // for Mivo's own and compare every file with the server again.
    std::vector<std::string> either;
    std::set_union(before.begin(), before.end(), listing.files.begin(), listing.files.end(),
                   std::back_inserter(either));
    record.set(destination, either);
    if (!record.save(site, error)) {
        return finish(PublishFailure::LedgerUnwritable, error);
    }
    const ListFolder lists;
    if (lists.path().empty()) {
        return finish(PublishFailure::Other, "");
    }
    plan.listFolder = lists.path();

    if (!listing.links.empty()) {
        const UserText text = userText(
            translatable(
                "シンボリックリンク %1 個は送りません (サイトの外を指すことがあります): %2"),
            {std::to_string(listing.links.size()), listing.links.front()});
        cmWriteLog(kRoutine, 2, text.logged);
        sink.message(text.shown);
    }
    const UserText starting =
        userText(translatable("公開中です: %1 (%2 個のファイル、%3)"),
                 {destinationText(target), std::to_string(listing.files.size()),
                  megabytes(static_cast<std::int64_t>(listing.bytes))});
    cmWriteLog(kRoutine, 2, starting.logged);
    sink.message(starting.shown);

    const TransferOutcome outcome = target.transport == PublishTransport::Rclone
                                        ? transferWithRclone(target, plan, sink)
                                        : transferWithRsync(target, plan, sink);
    result.filesSent = outcome.filesSent;
    result.bytesSent = outcome.bytesSent;
    result.dataSent = outcome.dataSent;
    result.filesRemoved = outcome.filesRemoved;
    result.lastLine = outcome.lastLine;
    cmWriteLog(kRoutine, 2,
               "Sent files=[" + std::to_string(result.filesSent) + "] bytes=[" +
                   std::to_string(result.bytesSent) + "] data=[" + std::to_string(result.dataSent) +
                   "] removed=[" + std::to_string(result.filesRemoved) + "]");
    if (outcome.failure != PublishFailure::None) {
        if (nothingSent(outcome.failure)) {
            // Refused before a file could go out: the server holds what it held.
            published.save(site, error);
        }
        return finish(outcome.failure, outcome.detail);
    }
    record.set(destination, listing.files, listing.stamps);
    if (!record.save(site, error)) {
        return finish(PublishFailure::LedgerUnwritable, error);
    }
    const std::vector<UserText> values = {std::to_string(result.filesSent),
                                          megabytes(result.bytesSent),
                                          std::to_string(result.filesRemoved)};
    const UserText summary =
        target.address.empty()
            ? userText(
                  translatable("公開しました: %1 個のファイル (%2) を送り、%3 個を削除しました"),
                  {values[0], values[1], values[2]})
            : userText(translatable(
                           "公開しました: %1 個のファイル (%2) を送り、%3 個を削除しました。%4"),
                       {values[0], values[1], values[2], target.address});
    cmWriteLog(kRoutine, 2, summary.logged);
    result.message = summary.shown;
    sink.message(result.message);
    return finish(PublishFailure::None, "");
}

} // namespace mivo
