#include "common/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string_view>

#include "common/codepage.h"

namespace mivo {

namespace {
short currentLogLevel = 0;
std::string currentLogPath;

/// Appends to the log only when it is a regular file. The open never blocks: a FIFO without a
/// reader fails at once, and one with a reader, a device or a folder is closed unwritten.
void appendToLog(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
}
} // namespace

void setLogLevel(short level) {
    currentLogLevel = level;
}
short getLogLevel() {
    return currentLogLevel;
}
void setLogPath(const std::string& path) {
    currentLogPath = path;
}

bool logWants(int level) {
    return currentLogLevel != 0 && level >= currentLogLevel && !currentLogPath.empty();
}

void cmWriteLog(const std::string& routine, int level, const std::string& message) {
    if (!logWants(level)) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = "";
    if (localtime_r(&now, &local) != nullptr) {
        std::strftime(stamp, sizeof stamp, "%Y/%m/%d %H:%M:%S", &local);
    }
    std::string line = std::string(stamp) + " [" + routine + "] " + message + "\r\n";
    // The log is cp932; what it cannot hold is written as "?".
    appendToLog(currentLogPath, encodeCp932(line, Cp932Fallback::Question));
}

} // namespace mivo
