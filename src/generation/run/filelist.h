#pragma once

#include <string>

#include "generation/plan/album.h"
#include "generation/plan/item.h"
#include "generation/plan/status.h"

namespace mivo {

/// Reads filelist.csv of a picture folder into the pictures' strInfo and `head` (its heading).
/// filelistRead is true when the file was read.
void mainCheckFilelist(RunStatus& status, const AlbumJob& job, PictureList& pictures,
                       std::string& head, bool& filelistRead);

/// True when the folder holds a regular file "filelist.csv" (the window enables
/// CheckUseFileList by it).
void mainExistFilelist(const std::string& instrDirPath, bool& found);

} // namespace mivo
