#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

namespace mivo::test {

/// Runs `check` as a user who may not write into `folder`, so that a read-only folder really
/// refuses the writes: in this process when it is not root, else in a child process switched to
/// the unprivileged user "nobody" (root writes anywhere). Gives back what `check` returned, or
/// nothing when no such user can be had (root cannot switch, or the user may write there anyway);
/// the caller then skips.
inline std::optional<bool> runWithoutWriteAccess(const std::string& folder,
                                                 const std::function<bool()>& check) {
    if (::geteuid() != 0) {
        if (::access(folder.c_str(), W_OK) == 0) {
            return std::nullopt;
        }
        return check();
    }
    const pid_t child = ::fork();
    if (child == -1) {
        ADD_FAILURE() << "cannot start a child process";
        return std::nullopt;
    }
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0 || ::access(folder.c_str(), W_OK) == 0) {
            ::_exit(2);
        }
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        ADD_FAILURE() << "the child process did not end normally";
        return std::nullopt;
    }
    if (WEXITSTATUS(status) == 2) {
        return std::nullopt;
    }
    return WEXITSTATUS(status) == 0;
}

} // namespace mivo::test
