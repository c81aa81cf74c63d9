#pragma once

#include <string>

namespace mivo {

/// Reads one value of a profile-format INI file: whole (no length cut), blanks around it
/// dropped, `""` read as empty. Section and key names match without regard to ASCII case.
/// A missing file, section or key gives the default, treated the same way. No log lines.
std::string cmGetIni(const std::string& iniPath, const std::string& section, const std::string& key,
                     const std::string& defaultValue);

/// Stores one value (an empty value is written as `""`), keeping every other line of the file
/// as it was and replacing the file atomically. The file stays cp932 unless some value cannot
/// be held there; then it is written as UTF-8 with a BOM. Logs under "cmSetIni".
bool cmSetIni(const std::string& iniPath, const std::string& instrSection,
              const std::string& instrKeyName, const std::string& instrValue);

} // namespace mivo
