#pragma once

#include <string>

#include "common/translate.h"
#include "generation/plan/planners.h"

namespace mivo {

// Status texts of the run's own stops: a folder cannot be made, or another run holds one.
// Each is logged in Japanese and shown in the user's language.

/// "フォルダを作成できません [" + path + "]".
inline UserText cannotMakeFolderMessage(const std::string& path) {
    return userText(translatable("フォルダを作成できません [%1]"), {path});
}

/// "別の作成がこのフォルダに書き込み中です [" + path + "]": another run holds the folder.
inline UserText messFolderBusy(const std::string& path) {
    return userText(translatable("別の作成がこのフォルダに書き込み中です [%1]"), {path});
}

} // namespace mivo
