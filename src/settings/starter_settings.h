#pragma once

#include <string>

#include "common/program_files.h"

namespace mivo {

/// `value` with a leading "~", "$HOME" or "${HOME}" (alone or before "/") replaced by `home`;
/// anything else, or an empty `home`, leaves it as it is.
std::string expandHomeFolder(const std::string& value, const std::string& home);

/// Gets the state folder ready before the settings are read. A portable program folder is
/// left exactly as it is. Otherwise the user's folder is created, and when it holds no
/// Mivo.ini yet the starter settings of the program folder are taken: Mivo.ini (and Mivo.csv
/// when the user has none) are written there with "~" in their values expanded and the
/// sample album's texts in the language chosen for the program. The folders of the pages are
/// not made: 作成 makes them. true when the starter settings were taken.
bool prepareStateFolder(const ProgramFiles& files);

} // namespace mivo
