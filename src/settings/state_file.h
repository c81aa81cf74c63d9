#pragma once

#include <string>
#include <string_view>

#include "common/codepage.h"

namespace mivo {

/// The file a save should replace: the target of a symbolic link rather than the link itself,
/// so that a linked Mivo.ini or Mivo.csv stays linked after a save.
std::string cmStateFileTarget(const std::string& path);

/// The encoding Mivo.ini and Mivo.csv are written in: cp932 while every character of `utf8`
/// has a cp932 code, else UTF-8 with a BOM so that nothing is lost.
TextEncoding cmStateFileEncoding(std::string_view utf8);

/// Writes UTF-8 text as a state file (cp932, or UTF-8 with a BOM when cp932 cannot hold it),
/// replacing the file atomically. false (old file untouched) on any failure.
bool cmWriteStateFile(const std::string& path, std::string_view utf8);

} // namespace mivo
