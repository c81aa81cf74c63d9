#pragma once

#include <string>

namespace mivo {

// Status texts of the run's own stops: a path setting the run needs is empty, or a gallery
// folder cannot be made.
inline constexpr const char* kMessNoPicPath = "画像フォルダの指定がありません";
inline constexpr const char* kMessNoIndexPath = "Indexファイルの指定がありません";
inline constexpr const char* kMessNoMenuPath = "メニューファイルの指定がありません";

/// "フォルダを作成できません [" + path + "]".
inline std::string cmMessCannotMakeFolder(const std::string& path) {
    return "フォルダを作成できません [" + path + "]";
}

/// True when a page path names a file: not empty and not ending in a separator.
bool cmHasPageName(const std::string& path);

} // namespace mivo
