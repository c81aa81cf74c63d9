#pragma once

#include <string>

#include "common/language.h"

namespace mivo {

/// The user's Pictures folder as the desktop names it: XDG_PICTURES_DIR from the environment,
/// else from user-dirs.dirs in the config folder ($XDG_CONFIG_HOME, or ~/.config), when that
/// is an existing folder; otherwise the home folder ($HOME).
std::string userPicturesFolder(const EnvironmentLookup& lookup);

} // namespace mivo
