#include "generation/run/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <utility>

namespace mivo {

RunLock::~RunLock() {
    release();
}

void RunLock::release() {
    for (const int fd : fds_) {
        ::close(fd);
    }
    fds_.clear();
}

bool RunLock::take(const std::vector<std::string>& folders, std::string& busyFolder) {
    release();
    // Two paths to one folder must not lock it twice: the second lock would wait on the first.
    std::set<std::pair<dev_t, ino_t>> held;
    for (const std::string& folder : folders) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !held.insert({st.st_dev, st.st_ino}).second) {
            ::close(fd);
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            ::close(fd);
            release();
            busyFolder = folder;
            return false;
        }
        fds_.push_back(fd);
    }
    return true;
}

} // namespace mivo
