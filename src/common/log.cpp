#include "common/log.h"

#include <ctime>

#include "common/codepage.h"
#include "common/text_file.h"

namespace mivo {

namespace {
short gintLogLevel = 0;
std::string gstrLogPath;
} // namespace

void cmSetLogLevel(short level) {
    gintLogLevel = level;
}
short cmGetLogLevel() {
    return gintLogLevel;
}
void cmSetLogPath(const std::string& path) {
    gstrLogPath = path;
}

void cmWriteLog(const std::string& routine, int level, const std::string& message) {
    if (gintLogLevel == 0 || level < gintLogLevel || gstrLogPath.empty()) {
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
    cmAppendFileBytes(gstrLogPath, cmEncodeCp932(line, Cp932Fallback::Question));
}

} // namespace mivo
