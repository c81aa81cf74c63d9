#pragma once

#include <string>
#include <string_view>

#include "common/codepage.h"

namespace mivo {

/// The file a save should replace: the target of a symbolic link rather than the link itself,
/// so that a linked Mivo.ini or Mivo.csv stays linked after a save.
std::string stateFileTarget(const std::string& path);

/// The encoding Mivo.ini and Mivo.csv are written in: cp932 while every character of `utf8`
/// has a cp932 code, else UTF-8 with a BOM so that nothing is lost.
TextEncoding stateFileEncoding(std::string_view utf8);

/// Replaces a state file (at its link's target) atomically with `bytes`. A file the user has
/// made read-only is kept: the folder would let it be replaced, but its mode says it is not to
/// be written. For root, who may write any file, that is a file without any write bit. false
/// (file untouched) on any failure, with the reason in `errorText`.
bool replaceStateFile(const std::string& path, std::string_view bytes,
                      std::string* errorText = nullptr);

/// Writes UTF-8 text as a state file (cp932, or UTF-8 with a BOM when cp932 cannot hold it)
/// with replaceStateFile. false (old file untouched) on any failure, `errorText` says why.
bool writeStateFile(const std::string& path, std::string_view utf8,
                    std::string* errorText = nullptr);

} // namespace mivo
