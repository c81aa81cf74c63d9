#pragma once

#include <string>
#include <vector>

#include "settings/gallery_list.h"

namespace mivo {

/// The folder that holds a state file (Mivo.ini, Mivo.csv): the settings folder, made absolute
/// so that what is taken from it does not depend on the working folder.
std::string settingsFolderOf(const std::string& stateFilePath);

/// A path as stored in Mivo.ini or Mivo.csv, as the program uses it: an absolute path as it
/// is; a relative one taken from `settingsFolder` and normalized ("." and ".." steps resolved
/// lexically, no trailing separator). Empty stays empty.
std::string resolveStoredPath(const std::string& stored, const std::string& settingsFolder);

/// The picture and thumbnail folders of gallery list rows, resolved as resolveStoredPath says.
void resolveGalleryPaths(std::vector<GalleryEntry>& rows, const std::string& settingsFolder);

} // namespace mivo
