#include "settings/starter_settings.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "common/paths.h"
#include "common/program.h"
#include "common/text_file.h"
#include "common/translate.h"
#include "settings/gallery_list.h"
#include "settings/state_file.h"

namespace fs = std::filesystem;

namespace mivo {

namespace {

/// The texts of the starter settings (the sample album's title and sub-title, the names of
/// its galleries): a user on another desktop language gets them in that language.
const char* const kStarterTexts[] = {translatable("サンプルアルバム"), translatable("表紙の写真"),
                                     translatable("アルバム"), translatable("旅行"),
                                     translatable("庭")};

/// A starter text in the user's language; any other value as it is.
std::string inUsersLanguage(const std::string& value) {
    for (const char* text : kStarterTexts) {
        if (value == text) {
            return translate(text);
        }
    }
    return value;
}

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

/// One INI line with its value's home folder expanded and a starter text in the user's
/// language; sections, comments and lines without a value are kept as they are.
std::string expandIniLine(const std::string& line, const std::string& home) {
    const std::size_t equals = line.find('=');
    if (line.empty() || line[0] == '[' || line[0] == ';' || equals == std::string::npos) {
        return line;
    }
    std::size_t start = equals + 1;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) {
        ++start;
    }
    return line.substr(0, start) + inUsersLanguage(expandHomeFolder(line.substr(start), home));
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
        row.strListName = inUsersLanguage(row.strListName);
        row.strPicPath = expandHomeFolder(row.strPicPath, home);
        row.strSamPath = expandHomeFolder(row.strSamPath, home);
    }
    mainSetList(userList, rows);
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
    // The page folders are left to 作成: nothing is made before the user makes something.
    takeStarterList(listFilePath(files.starterFolder), files.listPath(), files.homeFolder);
    return true;
}

} // namespace mivo
