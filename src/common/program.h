#pragma once

#include <string>

namespace mivo {

/// The application title; it names Mivo.ini, Mivo.csv and Mivo.log.
inline constexpr const char* kAppTitle = "Mivo";

/// Folder of the running executable, symlinks resolved; the current folder if that fails.
std::string cmProgramFolder();
/// "major.minor.revision".
std::string cmVersionText();

/// Paths of the three state files inside a program folder.
std::string cmIniPath(const std::string& programFolder);
std::string cmListPath(const std::string& programFolder);
std::string cmLogPath(const std::string& programFolder);

} // namespace mivo
