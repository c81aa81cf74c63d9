#pragma once

#include <string>
#include <vector>

#include "generation/pages/picture_rows.h"
#include "generation/pages/template.h"
#include "generation/plan/album.h"
#include "generation/plan/album_result.h"
#include "generation/plan/item.h"
#include "generation/plan/run_services.h"

namespace mivo {

/// list.html of an album with its thumbnail table, one row per item. written false when the
/// page could not be written (result.failure says which and why); `table` gets what the table
/// found, result.files the page. `reads`, when given, is already reading the items' headers.
void mainMakeListHtml(const RunServices& run, const PagePlan& pages, Album& album,
                      PictureMeasurer* reads, ListTableResult& table, bool& written,
                      AlbumResult& result);

/// Writes the table block once per item into the open list page and tells what it found; the
/// progress goes to the status line.
void mainMakeListTable(const RunServices& run, const PagePlan& pages, Album& album,
                       const std::string& instrTable, const std::string& instrFile, PageFile& page,
                       PictureRows& rows, ListTableResult& table);

/// The album's index page with the aryPicList script lines and, beside them, the items' quoted
/// filelist fields and shooting data. false when it was not written (result.failure says why).
bool mainMakeIndexHtml(const RunServices& run, const PagePlan& pages, const Album& album,
                       const IndexPictures& pictures, AlbumResult& result);

/// pict.html, the picture viewer. false when it was not written.
bool mainMakePictHtml(const RunServices& run, const PagePlan& pages, const Album& album,
                      AlbumResult& result);

/// The album's index of its children (the menu page) with one aryMenuList line per child: its
/// name, its folder and its entry as its run found it (`children`, in order). false when it was
/// not written.
bool mainMakeMenuHtml(const RunServices& run, const PagePlan& pages, const Album& album,
                      const std::vector<AlbumResult>& children, AlbumResult& result);

} // namespace mivo
