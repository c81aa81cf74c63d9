#include "common/program_files.h"

#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include "common/paths.h"
#include "common/program.h"

namespace mivo {

namespace {

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string accountHome() {
    const passwd* entry = ::getpwuid(::geteuid());
    return entry == nullptr || entry->pw_dir == nullptr ? std::string() : entry->pw_dir;
}

bool isAbsolute(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

std::string join(const std::string& folder, const std::string& name) {
    return cmAddPath(folder, name, kPathSeparator);
}

/// $XDG_CONFIG_HOME/mivo, or ~/.config/mivo; empty when neither can be named.
std::string userConfigFolder(const ProgramEnvironment& env) {
    if (isAbsolute(env.xdgConfigHome)) {
        return join(env.xdgConfigHome, "mivo");
    }
    if (isAbsolute(env.home)) {
        return join(join(env.home, ".config"), "mivo");
    }
    return "";
}

} // namespace

std::string ProgramFiles::iniPath() const {
    return iniFilePath(stateFolder);
}

std::string ProgramFiles::listPath() const {
    return listFilePath(stateFolder);
}

std::string ProgramFiles::logPath() const {
    return logFilePath(stateFolder);
}

ProgramFiles portableProgramFiles(const std::string& programFolder) {
    ProgramFiles files;
    files.programFolder = programFolder;
    files.stateFolder = programFolder;
    files.templateFolder = join(programFolder, "html");
    files.helpFile = join(programFolder, "readme.txt");
    files.englishHelpFile = join(programFolder, "readme-en.txt");
    files.starterFolder = join(programFolder, kStarterFolderName);
    files.portable = true;
    return files;
}

ProgramFiles locateProgramFiles(const std::string& programFolder, const ProgramEnvironment& env) {
    ProgramFiles files = portableProgramFiles(programFolder);
    files.homeFolder = env.home;
    const bool shared = isFolder(files.starterFolder);
    if (env.programFolderWritable && !shared) {
        return files;
    }
    const std::string config = userConfigFolder(env);
    if (config.empty()) {
        // Nowhere of the user's own to go: stay beside the program, which may refuse writes.
        return files;
    }
    files.portable = false;
    files.stateFolder = config;
    files.userTemplateFolder = join(config, "html");
    if (isFolder(files.userTemplateFolder)) {
        files.templateFolder = files.userTemplateFolder;
    }
    return files;
}

ProgramEnvironment currentProgramEnvironment(const std::string& programFolder) {
    ProgramEnvironment env;
    env.programFolderWritable =
        ::faccessat(AT_FDCWD, programFolder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    env.xdgConfigHome = environmentValue("XDG_CONFIG_HOME");
    env.home = environmentValue("HOME");
    if (env.home.empty()) {
        env.home = accountHome();
    }
    return env;
}

} // namespace mivo
