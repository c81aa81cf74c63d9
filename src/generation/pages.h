#pragma once

#include <string>
#include <vector>

#include "generation/file_data.h"
#include "generation/make_context.h"
#include "generation/template.h"

namespace mivo {

/// list.html with its thumbnail table; fills the picture-entry array. outblnOk false when
/// the page could not be written.
void mainMakeListHtml(MakeContext& ctx, const std::string& instrFilelistFlag, int inintNo,
                      const std::string& instrPicPath, const std::string& instrListPath,
                      const std::string& instrIndexLink, const std::string& instrTitleS,
                      const std::string& instrLink1Name, const std::string& instrLink1Url,
                      const std::string& instrLink2Name, const std::string& instrLink2Url,
                      std::vector<std::string>& iostrPicEntries, const PictureList& incolFileDatas,
                      bool& outblnOk);

/// Writes the table block once per picture into the open list page; fills the picture-entry
/// array, gintStartNo, the gallery's gstrMenuItem element (menu mode) and the progress.
void mainMakeListTable(MakeContext& ctx, int inintNo, const std::string& instrPicPath,
                       const std::string& instrTable, const std::string& instrFile,
                       const std::string& instrFilelistFlag, PageFile& ioPage,
                       std::vector<std::string>& iostrPicEntries,
                       const PictureList& incolFileDatas);

/// The gallery's index page with the aryPicList script lines.
void mainMakeIndexHtml(MakeContext& ctx, const std::string& instrIndexPath,
                       const std::string& instrListLink, const std::string& instrPictLink,
                       const std::string& instrTitleS,
                       const std::vector<std::string>& instrPicEntries);

/// pict.html, the picture viewer.
void mainMakePictHtml(MakeContext& ctx, int inintIndex, const std::string& instrPictPath,
                      const std::string& instrIndexLink, const std::string& instrLink1Name,
                      const std::string& instrLink1Url, const std::string& instrLink2Name,
                      const std::string& instrLink2Url, const std::string& instrFilelistFlag);

/// The menu page of menu mode with the aryMenuList script lines.
void mainMakeMenuHtml(MakeContext& ctx);

} // namespace mivo
