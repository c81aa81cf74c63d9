#pragma once

#include <string>

namespace mivo {

/// A text that reads as a web address without its scheme: a host name of dotted labels
/// (letters, digits, "-"), with at least one dot and a top label of letters, optionally
/// followed by a port and a path ("www.example.com/page", "example.org:8080"). A top label
/// that is a usual file extension ("readme.txt") makes it a file name unless it starts "www.".
bool looksLikeHostName(const std::string& text);

/// The full path of the program `name` (no "/" in it) in the folders of `searchPath` (":"
/// separated, as PATH), or "" when none of them holds an executable file of that name.
std::string findProgramOnPath(const std::string& name, const std::string& searchPath);

/// What a launcher's target is handed to the desktop as: an existing file or folder (a
/// relative name counts from the current folder) as it is; a bare program name found on PATH
/// as that program's full path; a text that reads as a host name as "https://" + the text;
/// anything else as it is, for the desktop to refuse with its reason.
std::string resolveLauncherTarget(const std::string& target);

} // namespace mivo
