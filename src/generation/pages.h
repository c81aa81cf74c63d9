#pragma once

#include <string>
#include <vector>

#include "generation/file_data.h"
#include "generation/gallery_job.h"
#include "generation/make_context.h"
#include "generation/output_paths.h"
#include "generation/template.h"

namespace mivo {

/// list.html with its thumbnail table; fills the picture-entry array. written false when
/// the page could not be written (the reason is in ctx.state.failure).
void mainMakeListHtml(MakeContext& ctx, const GalleryJob& job, const OutputPaths& paths,
                      const PictureList& pictures, std::vector<std::string>& picEntries,
                      bool& written);

/// Writes the table block once per picture into the open list page; fills the picture-entry
/// array, gintStartNo, the gallery's gstrMenuItem element (menu mode) and the progress.
void mainMakeListTable(MakeContext& ctx, const GalleryJob& job, const std::string& instrTable,
                       const std::string& instrFile, PageFile& page,
                       std::vector<std::string>& picEntries, const PictureList& pictures);

/// The gallery's index page with the aryPicList script lines. false when it was not written.
bool mainMakeIndexHtml(MakeContext& ctx, const GalleryJob& job, const OutputPaths& paths,
                       const std::vector<std::string>& picEntries);

/// pict.html, the picture viewer. false when it was not written.
bool mainMakePictHtml(MakeContext& ctx, const GalleryJob& job, const OutputPaths& paths);

/// The menu page of menu mode with the aryMenuList script lines. false when it was not written.
bool mainMakeMenuHtml(MakeContext& ctx);

} // namespace mivo
