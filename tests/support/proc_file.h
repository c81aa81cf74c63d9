#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace mivo::test {

/// A file of /proc, read with plain reads: the process may end while it is read, and an
/// ifstream then throws from inside libstdc++. "" when it cannot be read.
inline std::string readProcFile(const std::string& path) {
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return bytes;
    }
    char buffer[4096];
    for (ssize_t got = 0; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return bytes;
}

/// True while the process runs: not gone, and not a zombie waiting to be reaped.
inline bool processRuns(const std::string& pid) {
    const std::string stat = readProcFile("/proc/" + pid + "/stat");
    const std::size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

} // namespace mivo::test
