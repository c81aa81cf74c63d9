#pragma once

#include <string>
#include <vector>

namespace mivo {

/// Keeps other Make runs out of the folders a run writes into, for as long as it lives. Each
/// folder is held with an advisory lock on the folder itself, so nothing is left behind in it
/// and a run that is killed lets go at once.
class RunLock {
  public:
    RunLock() = default;
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    /// Takes every folder of `folders` that exists (a folder named twice, by any path, is held
    /// once). false, holding none, with `busyFolder` naming the first folder another run holds.
    /// A file system without locks is no refusal.
    bool take(const std::vector<std::string>& folders, std::string& busyFolder);

  private:
    void release();

    std::vector<int> fds_;
};

} // namespace mivo
