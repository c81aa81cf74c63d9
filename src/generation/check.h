#pragma once

#include <string>

#include "generation/file_data.h"
#include "generation/make_context.h"

namespace mivo {

/// Checks one gallery before it is built: template guards, page folder, pictures, thumbnails
/// and (when iostrFilelistCsv is "1") filelist.csv. Each refusal shows its message and gives
/// false. iostrFilelistCsv comes back "0" when filelist.csv cannot be used.
bool mainCheckMake(MakeContext& ctx, int inintNo, bool inblnChackIndex,
                   const std::string& instrPicPath, const std::string& instrSamPath,
                   std::string& iostrFilelistCsv, PictureList& outcolFileDatas);

} // namespace mivo
