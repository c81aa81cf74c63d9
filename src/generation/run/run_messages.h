#pragma once

#include <cstddef>
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

/// "別の作成がこのフォルダに書き込み中です [" + path + "]": another run holds the folder.
inline std::string messFolderBusy(const std::string& path) {
    return "別の作成がこのフォルダに書き込み中です [" + path + "]";
}

/// The run's failure for copies that could not be made: the first picture and why, and how
/// many more there were.
inline std::string copyFailureText(const std::string& first, std::size_t count) {
    std::string text = "縮小画像を作成できません: " + first;
    if (count > 1) {
        text += " (ほか " + std::to_string(count - 1) + " 枚)";
    }
    return text;
}

/// True when a page path names a file: not empty and not ending in a separator.
bool cmHasPageName(const std::string& path);

} // namespace mivo
