#include "common/paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/log.h"
#include "common/message_box.h"
#include "common/program.h"
#include "common/text.h"
#include "common/translate.h"

namespace fs = std::filesystem;

namespace mivo {

std::string cmAddPath(const std::string& folder, const std::string& name,
                      const std::string& separator) {
    if (!folder.empty() && folder.ends_with(separator)) {
        return folder + name;
    }
    return folder + separator + name;
}

void cmSplitPath(const std::string& instrFullPath, bool inblnNoFile,
                 const std::string& instrSeparate, std::string& folderPart, std::string& namePart) {
    // Called several times per picture: the messages are built only for a log that takes them.
    const bool log = logWants(1);
    if (log) {
        cmWriteLog("cmSplitPath", 1,
                   "▽Start Method▽\r\ninstrFullPath=[" + instrFullPath + "]\r\ninblnNoFile=[" +
                       boolText(inblnNoFile) + "]\r\ninstrSeparate=[" + instrSeparate + "]");
    }
    if (!instrFullPath.empty()) {
        std::size_t last = std::string::npos;
        if (!instrSeparate.empty()) {
            last = textFindLast(instrFullPath, instrSeparate, kCompareText);
        }
        std::string folder;
        std::string name = instrFullPath;
        if (last != std::string::npos) {
            folder = instrFullPath.substr(0, last);
            name = instrFullPath.substr(last + instrSeparate.size());
        }
        if (!inblnNoFile) {
            const std::string joined = cmAddPath(folder, name, kPathSeparator);
            if (isFolder(joined)) {
                folder = joined;
                name.clear();
            }
        }
        folderPart = std::move(folder);
        namePart = std::move(name);
    }
    if (log) {
        cmWriteLog("cmSplitPath", 1, "△End Method△");
    }
}

namespace {

/// Drops the last `count` characters (not bytes) of a UTF-8 text.
void dropLastChars(std::string& text, std::size_t count) {
    const std::size_t chars = charCount(text);
    text.resize(charBytes(text, chars > count ? chars - count : 0));
}

} // namespace

std::string cmRelativePath(const std::string& fromPath, const std::string& toPath,
                           const std::string& instrSeparate) {
    const std::string& s = instrSeparate;
    const std::string fromSep = fromPath.find('/') != std::string::npos ? "/" : "\\";
    const std::string toSep = toPath.find('/') != std::string::npos ? "/" : "\\";

    std::string folder;
    std::string name;
    cmSplitPath(fromPath, true, fromSep, folder, name);
    std::string target = toPath;
    // A drive letter compares in upper case.
    for (std::string* text : {&folder, &target}) {
        if (text->size() >= 2 && (*text)[1] == ':') {
            (*text)[0] = asciiUpper((*text)[0]);
        }
    }
    if (!folder.ends_with(fromSep)) {
        folder += fromSep;
    }
    if (fromSep != s) {
        folder = cmReplace(folder, fromSep, s, kCompareText);
    }
    if (toSep != s) {
        target = cmReplace(target, toSep, s, kCompareText);
    }

    // The common folder is replaced at the start of the target only; a later repeat of the
    // same folder names is part of the link.
    if (startsWith(target, folder)) {
        return "./" + target.substr(folder.size());
    }
    std::string common = folder;
    std::string prefix = "./";
    while (true) {
        if (charCount(common) < 3 && common != s) {
            return target;
        }
        dropLastChars(common, 2);
        if (s.size() == 1 && static_cast<unsigned char>(s[0]) < 0x80) {
            // A one-byte separator is a character of its own wherever it stands: the common
            // folder ends just after the last one, as dropping a character at a time finds,
            // without counting the characters again for each one dropped.
            const std::size_t last = common.rfind(s[0]);
            common.resize(last == std::string::npos ? 0 : last + 1);
        }
        while (true) {
            // The root folder "/" is a folder both paths share.
            if (common.empty()) {
                return target;
            }
            if (common.ends_with(s)) {
                break;
            }
            dropLastChars(common, 1);
        }
        prefix += ".." + s;
        if (startsWith(target, common)) {
            return prefix + target.substr(common.size());
        }
        if (common == s) {
            return target;
        }
    }
}

bool listingLess(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(asciiUpper(a[i]));
        const auto y = static_cast<unsigned char>(asciiUpper(b[i]));
        if (x != y) {
            return x < y;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

bool isHiddenName(std::string_view name) {
    return !name.empty() && name.front() == '.';
}

bool listVisibleFiles(const std::string& folder,
                      const std::function<bool(const char* name)>& found) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (isHiddenName(entry->d_name)) {
            continue;
        }
        // The entry's own type answers without a stat where the file system gives it.
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            // A link, or a file system that does not tell: ask what the name leads to.
            struct stat info {};
            regular =
                ::fstatat(::dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
        }
        if (regular && !found(entry->d_name)) {
            break;
        }
    }
    ::closedir(dir);
    return true;
}

bool cmGetAllFile(const std::string& instrDirPath, std::vector<std::string>& files) {
    cmWriteLog("cmGetAllFile", 1, "▽Start Method▽\r\ninstrDirPath=[" + instrDirPath + "]");
    bool found = false;
    if (!isFolder(instrDirPath)) {
        // Name the folder and what is wrong with it, or the user cannot act on the box.
        std::error_code ec;
        const bool exists = fs::exists(instrDirPath, ec);
        showMessageBox(
            translate("致命的エラー: %1 [%2]", {exists ? translate("フォルダではありません")
                                                       : translate("フォルダがありません"),
                                                instrDirPath}),
            kAppTitle);
    } else {
        // Each name with its upper-case form, so the sort compares whole keys with memcmp and
        // folds every name once: the order is listingLess's.
        std::vector<std::pair<std::string, std::string>> listed;
        listVisibleFiles(instrDirPath, [&listed](const char* entry) {
            std::string name(entry);
            listed.emplace_back(asciiUpper(name), std::move(name));
            return true;
        });
        std::sort(listed.begin(), listed.end(), [](const auto& a, const auto& b) {
            const int byKey = a.first.compare(b.first);
            return byKey != 0 ? byKey < 0 : a.second < b.second;
        });
        std::vector<std::string> names;
        names.reserve(listed.size());
        for (auto& [key, name] : listed) {
            names.push_back(std::move(name));
        }
        if (names.empty()) {
            names.emplace_back();
        }
        files = std::move(names);
        found = true;
    }
    cmWriteLog("cmGetAllFile", 1, "△End Method△");
    return found;
}

namespace {

/// Byte offset of the extension dot, or npos: scans from the second-to-last character back to
/// the second and stops at the first ".", "\" or "/".
std::size_t extensionDot(const std::string& name) {
    // Character positions 2 .. n-1 (1-based) are bytes [first, last) of the text: where the
    // second character starts and where the last one does, found in one pass.
    std::size_t first = 1;
    std::size_t last = name.size() - 1;
    std::size_t n = name.size();
    const bool ascii = std::all_of(name.begin(), name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        n = 0;
        for (std::size_t i = 0; i < name.size(); ++n) {
            if (n == 1) {
                first = i;
            }
            last = i;
            i += charBytes(std::string_view(name).substr(i), 1);
        }
    }
    if (n <= 2) {
        return std::string::npos;
    }
    for (std::size_t i = last; i > first; --i) {
        const char c = name[i - 1];
        if (c == '.') {
            return i - 1;
        }
        if (c == '\\' || c == '/') {
            return std::string::npos;
        }
    }
    return std::string::npos;
}

} // namespace

std::string cmGetExt(const std::string& name) {
    const std::size_t dot = extensionDot(name);
    return dot == std::string::npos ? std::string() : asciiLower(name.substr(dot + 1));
}

std::string cmCutExt(const std::string& name) {
    const std::size_t dot = extensionDot(name);
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

bool isPlainFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool pathExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(fs::symlink_status(path, ec));
}

bool hasOnlyPlainSteps(std::string_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string_view::npos ? path.size() : slash;
        const std::string_view step = path.substr(start, end - start);
        if (step == "." || step == ".." || (step.empty() && start != 0 && end != path.size())) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

std::string normalizedPath(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    std::string out = hasOnlyPlainSteps(path) ? path : fs::path(path).lexically_normal().string();
    while (out.size() > 1 && out.back() == '/') {
        out.pop_back();
    }
    return out;
}

std::string canonicalPath(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) {
        absolute = path;
    }
    fs::path resolved = fs::weakly_canonical(absolute, ec);
    if (ec) {
        resolved = absolute;
    }
    std::string out = resolved.lexically_normal().string();
    while (out.size() > 1 && out.back() == '/') {
        out.pop_back();
    }
    return out;
}

} // namespace mivo
