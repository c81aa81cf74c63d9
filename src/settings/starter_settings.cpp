#include "settings/starter_settings.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "common/paths.h"
#include "common/program.h"
#include "common/text_file.h"
#include "settings/gallery_list.h"
#include "settings/ini_file.h"
#include "settings/state_file.h"
#include "settings/stored_paths.h"

namespace fs = std::filesystem;

namespace mivo {

namespace {

/// Creates a folder and its parents. A config base folder made here is private to the user,
/// as the XDG base directory rules ask.
bool makeFolder(const std::string& folder) {
    std::error_code ec;
    const fs::path path(folder);
    const fs::path parent = path.parent_path();
    if (!parent.empty() && !fs::exists(parent, ec)) {
        fs::create_directories(parent, ec);
        fs::permissions(parent, fs::perms::owner_all, ec);
    }
    fs::create_directories(path, ec);
    return isFolder(folder);
}

/// One INI line with its value's home folder expanded; sections, comments and lines without
/// a value are kept as they are.
std::string expandIniLine(const std::string& line, const std::string& home) {
    const std::size_t equals = line.find('=');
    if (line.empty() || line[0] == '[' || line[0] == ';' || equals == std::string::npos) {
        return line;
    }
    std::size_t start = equals + 1;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) {
        ++start;
    }
    return line.substr(0, start) + expandHomeFolder(line.substr(start), home);
}

bool takeStarterIni(const std::string& starterIni, const std::string& userIni,
                    const std::string& home) {
    std::vector<std::string> lines;
    if (!readTextLines(starterIni, lines)) {
        return false;
    }
    std::string text;
    for (const std::string& line : lines) {
        text += expandIniLine(line, home);
        text += "\r\n";
    }
    return writeStateFile(userIni, text);
}

void takeStarterList(const std::string& starterList, const std::string& userList,
                     const std::string& home) {
    if (!isPlainFile(starterList) || pathExists(userList)) {
        return;
    }
    std::vector<GalleryEntry> rows;
    mainGetList(starterList, rows);
    for (GalleryEntry& row : rows) {
        row.strPicPath = expandHomeFolder(row.strPicPath, home);
        row.strSamPath = expandHomeFolder(row.strSamPath, home);
    }
    mainSetList(userList, rows);
}

/// The folder of a page path stored in the settings, created when missing. A relative page
/// path is taken from the settings folder, as the load takes it.
void makePageFolder(const std::string& iniPath, const std::string& key) {
    const std::string page =
        resolveStoredPath(cmGetIni(iniPath, "Path", key, ""), settingsFolderOf(iniPath));
    if (page.empty()) {
        return;
    }
    const fs::path folder = fs::path(page).parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        fs::create_directories(folder, ec);
    }
}

bool startsWithHomeWord(const std::string& value, const std::string& word) {
    return value.compare(0, word.size(), word) == 0 &&
           (value.size() == word.size() || value[word.size()] == '/');
}

} // namespace

std::string expandHomeFolder(const std::string& value, const std::string& home) {
    if (home.empty()) {
        return value;
    }
    for (const char* word : {"~", "$HOME", "${HOME}"}) {
        const std::string w(word);
        if (startsWithHomeWord(value, w)) {
            // "~/x" with home "/" must not become "//x".
            const std::string rest = value.substr(w.size());
            return rest.empty() ? home : cmAddPath(home, rest.substr(1), kPathSeparator);
        }
    }
    return value;
}

bool prepareStateFolder(const ProgramFiles& files) {
    if (files.portable) {
        return false;
    }
    if (!makeFolder(files.stateFolder)) {
        return false;
    }
    const std::string userIni = files.iniPath();
    const std::string starterIni = iniFilePath(files.starterFolder);
    if (pathExists(userIni) || !isPlainFile(starterIni)) {
        return false;
    }
    if (!takeStarterIni(starterIni, userIni, files.homeFolder)) {
        return false;
    }
    takeStarterList(listFilePath(files.starterFolder), files.listPath(), files.homeFolder);
    makePageFolder(userIni, "Index");
    makePageFolder(userIni, "Menu");
    return true;
}

} // namespace mivo
