#pragma once

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

/// True when a page path names a file: not empty and not ending in a separator.
bool hasPageName(const std::string& path);

} // namespace mivo
