#pragma once

#include <string>
#include <vector>

#include "common/program_files.h"
#include "generation/make_settings.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"

namespace mivo {

/// The values a Make run would see right after the window's start-up, before the user touches
/// anything: the loaded settings, with a stored picture or thumbnail folder that no longer
/// exists emptied, and the folder boxes DirIndex and DirMenu at the folders of the stored
/// index and menu pages when those exist, else at the program folder.
MakeSettings cmStartupMakeSettings(const Settings& loaded, const std::string& programFolder);

/// Loads Mivo.ini (which also opens the log as its level says) and Mivo.csv from the state
/// folder and gives what start-up would leave for a Make run. Writes neither file.
void cmLoadStartup(const ProgramFiles& files, MakeSettings& outSettings,
                   std::vector<GalleryEntry>& outRows);

} // namespace mivo
