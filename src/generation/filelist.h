#pragma once

#include <string>

#include "generation/file_data.h"
#include "generation/gallery_job.h"
#include "generation/make_context.h"

namespace mivo {

/// Reads filelist.csv of a picture folder into the pictures' strInfo and the gallery's
/// gstrFilelistHead element. filelistRead is true when the file was read.
void mainCheckFilelist(MakeContext& ctx, const GalleryJob& job, PictureList& pictures,
                       bool& filelistRead);

/// True when the folder holds a regular file "filelist.csv" (the window enables
/// CheckUseFileList by it).
void mainExistFilelist(const std::string& instrDirPath, bool& found);

} // namespace mivo
