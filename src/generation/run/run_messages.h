#pragma once

#include <cstddef>
#include <string>

#include "common/translate.h"

namespace mivo {

// Status texts of the run's own stops: a path setting the run needs is empty, or a gallery
// folder cannot be made.
// Each is logged in Japanese and shown in the user's language.
inline constexpr const char* kMessNoPicPath = translatable("画像フォルダの指定がありません");
inline constexpr const char* kMessNoIndexPath = translatable("Indexファイルの指定がありません");
inline constexpr const char* kMessNoMenuPath = translatable("メニューファイルの指定がありません");

/// "フォルダを作成できません [" + path + "]".
inline UserText cannotMakeFolderMessage(const std::string& path) {
    return userText(translatable("フォルダを作成できません [%1]"), {path});
}

/// "別の作成がこのフォルダに書き込み中です [" + path + "]": another run holds the folder.
inline UserText messFolderBusy(const std::string& path) {
    return userText(translatable("別の作成がこのフォルダに書き込み中です [%1]"), {path});
}

/// The run's failure for copies that could not be made: the first picture and why (its reason
/// after the last ": ", as the copier words it), and how many more there were. Shown only, in
/// the user's language.
inline std::string copyFailureText(const std::string& first, std::size_t count) {
    std::string text = translate("縮小画像を作成できません: %1", {translateReason(first)});
    if (count > 1) {
        text += translate(" (ほか %1 枚)", {std::to_string(count - 1)});
    }
    return text;
}

/// True when a page path names a file: not empty and not ending in a separator.
bool hasPageName(const std::string& path);

} // namespace mivo
