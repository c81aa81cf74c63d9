#pragma once

#include <string>

namespace mivo {

/// The application title; it names Mivo.ini, Mivo.csv and Mivo.log.
inline constexpr const char* kAppTitle = "Mivo";

/// Folder of the running executable, symlinks resolved; the current folder if that fails.
std::string locateProgramFolder();
/// "major.minor.revision".
std::string versionText();

/// Paths of the three state files inside a program folder.
std::string iniFilePath(const std::string& programFolder);
std::string listFilePath(const std::string& programFolder);
std::string logFilePath(const std::string& programFolder);

} // namespace mivo
