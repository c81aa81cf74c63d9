#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

/// The separator of file-system paths on this platform and of links written into pages.
inline constexpr const char* kPathSeparator = "/";
inline constexpr const char* kLinkSeparator = "/";

/// Joins folder and name with the separator unless the folder already ends with it.
std::string cmAddPath(const std::string& folder, const std::string& name,
                      const std::string& separator);

/// Splits a path at its last separator. An empty path leaves both outputs as they were.
/// With inblnNoFile false, a path naming an existing folder is returned whole as the folder.
void cmSplitPath(const std::string& instrFullPath, bool inblnNoFile,
                 const std::string& instrSeparate, std::string& folderPart, std::string& namePart);

/// Link from the page `fromPath` to `toPath`, always beginning "./" unless the two
/// share no folder (then the target itself, with `instrSeparate` separators).
std::string cmRelativePath(const std::string& fromPath, const std::string& toPath,
                           const std::string& instrSeparate);

/// Lists the regular, non-hidden files of a folder (names only) in the folder-listing order:
/// names compared with ASCII letters folded to upper case, exact bytes breaking ties.
/// Index 0 holds an empty name when the folder has no files. A missing folder shows the
/// "致命的エラー: フォルダがありません [" + path + "]" message box (or "フォルダではありません"),
/// leaves the list untouched and returns false.
bool cmGetAllFile(const std::string& instrDirPath, std::vector<std::string>& files);

/// Lower-case extension without the dot, or empty text.
std::string cmGetExt(const std::string& name);
/// The name without its extension.
std::string cmCutExt(const std::string& name);

/// The one rule for hidden files: a name with a leading dot. The window's lists, the picture
/// listing and the thumbnail look-up all leave such files out.
bool isHiddenName(std::string_view name);
/// Calls `found` for every visible plain file of the folder (a link counts as what it leads
/// to), in the order the folder gives, until it returns false. false when the folder cannot
/// be opened.
bool listVisibleFiles(const std::string& folder,
                      const std::function<bool(const char* name)>& found);

/// The order cmGetAllFile sorts names in: true when a comes before b.
bool listingLess(const std::string& a, const std::string& b);

/// True when the path names an existing folder (symlinks followed); never throws.
bool isFolder(const std::string& path);
/// True when the path names an existing regular file (symlinks followed); never throws.
bool isPlainFile(const std::string& path);
/// True when anything (file, folder, dangling link) exists at the path; never throws.
bool pathExists(const std::string& path);
/// The path with "." and ".." steps and doubled separators resolved lexically (no look at the
/// disk) and without a trailing separator, except for the root itself. Empty stays empty.
std::string normalizedPath(const std::string& path);
/// True when the path has no "." or ".." step and no doubled separator, so that only a
/// trailing separator can change when it is normalized.
bool hasOnlyPlainSteps(std::string_view path);

/// Absolute, normalized path with symlinks resolved as far as the path exists. Empty when
/// the path is empty.
std::string canonicalPath(const std::string& path);

} // namespace mivo
