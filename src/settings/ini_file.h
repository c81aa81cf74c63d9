#pragma once

#include <string>

#include "settings/ini_document.h"

namespace mivo {

/// A value as the program sees it: blanks around it dropped, `""` read as empty. A missing
/// section or key gives the default, treated the same way.
std::string iniValue(IniDocument& doc, const std::string& section, const std::string& key,
                     const std::string& defaultValue);

/// Stores one value into the document as the profile writer would: an empty value as `""`, a
/// line break inside it as a blank. Logs under "cmSetIni" like cmSetIni.
void storeIniValue(IniDocument& doc, const std::string& instrSection,
                   const std::string& instrKeyName, const std::string& instrValue);

/// Reads one value of an INI file (the whole file is read for it; load an IniDocument to read
/// many). No log lines.
std::string cmGetIni(const std::string& iniPath, const std::string& section, const std::string& key,
                     const std::string& defaultValue);

/// Stores one value in an INI file, keeping every other line as it was and replacing the file
/// atomically. An unreadable file is never replaced. Logs under "cmSetIni".
bool cmSetIni(const std::string& iniPath, const std::string& instrSection,
              const std::string& instrKeyName, const std::string& instrValue);

} // namespace mivo
