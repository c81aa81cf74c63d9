#include "settings/program_language.h"

#include "common/translate.h"
#include "settings/ini_file.h"

namespace mivo {

UiLanguage chooseProgramLanguage(const ProgramFiles& files, const EnvironmentLookup& lookup) {
    const std::string setting = cmGetIni(files.iniPath(), "Ini", "Language", "");
    useLanguage(chooseLanguage(setting, lookup), files.programFolder);
    return currentLanguage();
}

} // namespace mivo
