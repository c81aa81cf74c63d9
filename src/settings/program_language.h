#pragma once

#include "common/language.h"
#include "common/program_files.h"

namespace mivo {

/// Chooses the language of this process once at start-up, before the window is built or a
/// run starts: [Ini] Language of the user's Mivo.ini, else the desktop's language; English
/// reads its catalogue from the program folder. Returns the language in use (Japanese when
/// the catalogue cannot be read).
UiLanguage chooseProgramLanguage(const ProgramFiles& files, const EnvironmentLookup& lookup);

} // namespace mivo
