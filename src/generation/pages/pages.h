#pragma once

#include <string>
#include <vector>

#include "generation/pages/picture_rows.h"
#include "generation/pages/template.h"
#include "generation/plan/gallery_job.h"
#include "generation/plan/gallery_result.h"
#include "generation/plan/item.h"
#include "generation/plan/run_services.h"

namespace mivo {

/// list.html with its thumbnail table, one row per picture of `rows`. written false when the
/// page could not be written (`failure` says which and why). `table` gets what the table found.
void mainMakeListHtml(const RunServices& run, const GalleryJob& job, const OutputPaths& paths,
                      PictureRows& rows, ListTableResult& table, bool& written,
                      std::string& failure);

/// Writes the table block once per picture into the open list page and tells what it found;
/// the progress goes to the status line.
void mainMakeListTable(const RunServices& run, const GalleryJob& job, const std::string& instrTable,
                       const std::string& instrFile, PageFile& page, PictureRows& rows,
                       ListTableResult& table);

/// The gallery's index page with the aryPicList script lines and, beside them, the items'
/// quoted filelist fields and shooting data. false when it was not written.
bool mainMakeIndexHtml(const RunServices& run, const GalleryJob& job, const OutputPaths& paths,
                       const IndexPictures& pictures, const PictureList& items,
                       std::string& failure);

/// pict.html, the picture viewer. false when it was not written.
bool mainMakePictHtml(const RunServices& run, const GalleryJob& job, const OutputPaths& paths,
                      const std::string& filelistHead, std::string& failure);

/// The menu page of menu mode with one aryMenuList line per gallery: its name, its folder and
/// its menu item. false when it was not written.
bool mainMakeMenuHtml(const RunServices& run, const PagePlan& pages,
                      const std::vector<GalleryJob>& galleries,
                      const std::vector<GalleryResult>& results, std::string& failure);

} // namespace mivo
