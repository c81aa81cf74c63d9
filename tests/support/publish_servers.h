#pragma once

// Real servers for the publishing tests, started by the test itself: an OpenSSH server
// (sshd) and rclone's SFTP server, each on a spare port of 127.0.0.1, with host and user keys
// made in the test's own folder. ssh is pointed at that folder by its own configuration file
// (-F), so the user's ~/.ssh is never read or written; rclone gets a configuration file of its
// own through RCLONE_CONFIG.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace mivo::test {

/// A port of 127.0.0.1 that nothing listens on right now.
inline int sparePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

/// True once something accepts connections on the port, within `seconds`.
inline bool waitForPort(int port, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        const bool open = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (open) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

/// Starts a server in the foreground as a child that dies with the test; its output goes to
/// `log`. The pid, or -1.
inline pid_t startServer(const std::vector<std::string>& argv, const std::string& log) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

inline void stopServer(pid_t& pid) {
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
}

inline bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

/// A fresh ed25519 key pair: `path` and `path`.pub.
inline bool makeKey(const std::string& path) {
    return run("ssh-keygen -q -t ed25519 -N '' -C mivo-test -f '" + path + "' </dev/null");
}

/// The public key's "type base64" part.
inline std::string publicKey(const std::string& keyPath) {
    std::string text = readBytes(keyPath + ".pub");
    const std::size_t second = text.find(' ', text.find(' ') + 1);
    return text.substr(0, second);
}

inline std::string userName() {
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr ? entry->pw_name : "root";
}

/// An OpenSSH server on 127.0.0.1, and an ssh configuration that names it by aliases:
///   mivo-test     the server, its key known, the user's key accepted;
///   mivo-slow     the same through a relay that passes about `slowBytesPerSecond`;
///   mivo-newkey   the same server, its key not known yet;
///   mivo-changed  the same server, a different key known for it;
///   mivo-refused  the same server, a key it does not accept;
///   mivo-closed   a port nothing listens on;
///   mivo-norsync  the same server where the login's PATH has no rsync.
class SshServer {
  public:
    ~SshServer() { stopServer(pid_); }

    /// false, with the reason, when the machine has no sshd, ssh or rsync (tests then skip).
    bool start(const TempDir& dir, std::string& why, int slowBytesPerSecond = 2 << 20) {
        for (const char* program : {"/usr/sbin/sshd", "/usr/bin/ssh", "/usr/bin/rsync",
                                    "/usr/bin/ssh-keygen", "/usr/bin/python3"}) {
            if (::access(program, X_OK) != 0) {
                why = std::string(program) + " is not installed";
                return false;
            }
        }
        // sshd wants its privilege separation folder even when it never uses it.
        std::error_code ec;
        std::filesystem::create_directories("/run/sshd", ec);
        if (!std::filesystem::is_directory("/run/sshd")) {
            why = "/run/sshd cannot be made (not root)";
            return false;
        }
        folder_ = dir.mkdir("ssh");
        if (!makeKey(folder_ + "/host_key") || !makeKey(folder_ + "/other_host_key") ||
            !makeKey(folder_ + "/user_key") || !makeKey(folder_ + "/refused_key")) {
            why = "ssh-keygen failed";
            return false;
        }
        dir.write("ssh/authorized_keys", publicKey(folder_ + "/user_key") + "\n");
        port = sparePort();
        noRsyncPort = sparePort();
        const std::string config = dir.write(
            "ssh/sshd_config",
            "Port " + std::to_string(port) + "\nPort " + std::to_string(noRsyncPort) +
                "\nListenAddress 127.0.0.1\nHostKey " + folder_ + "/host_key\nAuthorizedKeysFile " +
                folder_ + "/authorized_keys\nPidFile " + folder_ +
                "/sshd.pid\nStrictModes no\nUsePAM no\nPermitRootLogin prohibit-password\n"
                "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                "Match LocalPort " +
                std::to_string(noRsyncPort) + "\n  SetEnv PATH=/nonexistent\n");
        pid_ = startServer({"/usr/sbin/sshd", "-D", "-e", "-f", config}, folder_ + "/sshd.log");
        if (pid_ < 0 || !waitForPort(port, 10)) {
            why = "sshd did not start: " + readBytes(folder_ + "/sshd.log");
            return false;
        }
        // A relay that passes the bytes towards the server slowly, standing for a slow line.
        rateFile_ = dir / "ssh/rate";
        setSlowRate(slowBytesPerSecond);
        dir.write("ssh/relay.py", R"(import socket, sys, threading, time
s = socket.create_connection((sys.argv[1], int(sys.argv[2])))
def down():
    while True:
        data = s.recv(65536)
        if not data:
            break
        sys.stdout.buffer.write(data)
        sys.stdout.buffer.flush()
threading.Thread(target=down, daemon=True).start()
while True:
    data = sys.stdin.buffer.read1(8192)
    if not data:
        break
    s.sendall(data)
    time.sleep(len(data) / int(open(sys.argv[3]).read()))
s.shutdown(socket.SHUT_WR)
)");
        const std::string known = "mivo-test " + publicKey(folder_ + "/host_key") + "\n";
        dir.write("ssh/known_hosts", known);
        dir.write("ssh/known_hosts_none", "");
        dir.write("ssh/known_hosts_other",
                  "mivo-test " + publicKey(folder_ + "/other_host_key") + "\n");
        const auto host = [&](const std::string& alias, int hostPort, const std::string& key,
                              const std::string& knownHosts, const std::string& extra) {
            return "Host " + alias + "\n  HostName 127.0.0.1\n  Port " + std::to_string(hostPort) +
                   "\n  User " + userName() + "\n  HostKeyAlias mivo-test\n  IdentityFile " +
                   folder_ + "/" + key + "\n  UserKnownHostsFile " + folder_ + "/" + knownHosts +
                   "\n" + extra;
        };
        sshConfig = dir.write(
            "ssh/config",
            host("mivo-test", port, "user_key", "known_hosts", "") +
                host("mivo-slow", port, "user_key", "known_hosts",
                     "  ProxyCommand /usr/bin/python3 " + folder_ + "/relay.py %h %p " + rateFile_ +
                         "\n") +
                host("mivo-newkey", port, "user_key", "known_hosts_none", "") +
                host("mivo-changed", port, "user_key", "known_hosts_other", "") +
                host("mivo-refused", port, "refused_key", "known_hosts", "") +
                host("mivo-closed", sparePort(), "user_key", "known_hosts", "") +
                host("mivo-norsync", noRsyncPort, "user_key", "known_hosts", "") +
                "Host *\n  IdentitiesOnly yes\n  IdentityAgent none\n  GlobalKnownHostsFile "
                "/dev/null\n  UpdateHostKeys no\n  ControlMaster no\n  ConnectTimeout 10\n");
        return true;
    }

    /// How fast mivo-slow passes bytes towards the server from now on.
    void setSlowRate(int bytesPerSecond) const { std::ofstream(rateFile_) << bytesPerSecond; }

    int port = 0;
    int noRsyncPort = 0;
    std::string sshConfig; // the ssh configuration file (ssh -F)

  private:
    pid_t pid_ = -1;
    std::string folder_;
    std::string rateFile_;
};

/// rclone's SFTP server on 127.0.0.1 serving `folder`, and an rclone configuration file with
/// the remotes:
///   mivo-test     that server, its key known;
///   mivo-changed  that server, a different key known for it.
class RcloneServer {
  public:
    ~RcloneServer() { stopServer(pid_); }

    bool start(const TempDir& dir, const std::string& folder, std::string& why) {
        for (const char* program : {"/usr/bin/rclone", "/usr/bin/ssh-keygen"}) {
            if (::access(program, X_OK) != 0) {
                why = std::string(program) + " is not installed";
                return false;
            }
        }
        const std::string keys = dir.mkdir("rclone");
        if (!makeKey(keys + "/host_key") || !makeKey(keys + "/other_host_key") ||
            !makeKey(keys + "/user_key")) {
            why = "ssh-keygen failed";
            return false;
        }
        dir.write("rclone/authorized_keys", publicKey(keys + "/user_key") + "\n");
        port = sparePort();
        const std::string address = "127.0.0.1:" + std::to_string(port);
        // No listing kept between requests: files put there behind its back are seen at once.
        pid_ = startServer({"/usr/bin/rclone", "serve", "sftp", folder, "--addr", address, "--key",
                            keys + "/host_key", "--authorized-keys", keys + "/authorized_keys",
                            "--dir-cache-time", "0s", "--config", "/dev/null"},
                           keys + "/serve.log");
        if (pid_ < 0 || !waitForPort(port, 15)) {
            why = "rclone serve sftp did not start: " + readBytes(keys + "/serve.log");
            return false;
        }
        const std::string hostName = "[127.0.0.1]:" + std::to_string(port) + " ";
        dir.write("rclone/known_hosts", hostName + publicKey(keys + "/host_key") + "\n");
        dir.write("rclone/known_hosts_other",
                  hostName + publicKey(keys + "/other_host_key") + "\n");
        const auto remote = [&](const std::string& name, const std::string& knownHosts) {
            return "[" + name + "]\ntype = sftp\nhost = 127.0.0.1\nport = " + std::to_string(port) +
                   "\nuser = mivo\nkey_file = " + keys + "/user_key\nknown_hosts_file = " + keys +
                   "/" + knownHosts +
                   "\nshell_type = none\nmd5sum_command = none\n"
                   "sha1sum_command = none\n\n";
        };
        config = dir.write("rclone/rclone.conf", remote("mivo-test", "known_hosts") +
                                                     remote("mivo-changed", "known_hosts_other"));
        return true;
    }

    int port = 0;
    std::string config; // for RCLONE_CONFIG

  private:
    pid_t pid_ = -1;
};

/// Short, printable and different for different bytes: the size and an FNV-1a hash, or the
/// bytes themselves when they are short text.
inline std::string fingerprint(const std::string& bytes) {
    if (bytes.size() <= 40 && bytes.find('\0') == std::string::npos) {
        return bytes;
    }
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return std::to_string(bytes.size()) + " bytes #" + std::to_string(hash);
}

/// Every regular file below `folder` (relative path and bytes, long ones as a fingerprint), names
/// beginning with "." and what lies below them left out unless `all`.
inline std::map<std::string, std::string> treeOf(const std::string& folder, bool all = false) {
    std::map<std::string, std::string> tree;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!all && name[0] == '.') {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file() && !it->is_symlink()) {
            tree[it->path().lexically_relative(folder).string()] =
                fingerprint(readBytes(it->path().string()));
        }
    }
    return tree;
}

} // namespace mivo::test
