#pragma once

#include <string>
#include <vector>

#include "generation/pages/template.h"
#include "generation/pictures/picture_measure.h"
#include "generation/pictures/web_sizes.h"
#include "generation/plan/file_data.h"
#include "generation/plan/gallery_job.h"
#include "generation/plan/gallery_result.h"
#include "generation/plan/run_services.h"

namespace mivo {

/// A checked gallery's pictures as its pages take them.
struct GalleryPictures {
    const PictureList& pictures;
    const std::vector<WebCopy>& copies;  // one per picture with reduced copies, else empty
    PictureMeasurer* measurer = nullptr; // already reading their headers, or nullptr
};

/// list.html with its thumbnail table. outblnOk false when the page could not be written
/// (`failure` says which and why). `table` gets what the table found.
void mainMakeListHtml(const RunServices& run, const GalleryJob& job, const OutputPaths& paths,
                      GalleryPictures& pictures, ListTableResult& table, bool& outblnOk,
                      std::string& failure);

/// Writes the table block once per picture into the open list page and tells what it found;
/// the progress goes to the status line.
void mainMakeListTable(const RunServices& run, const GalleryJob& job, const std::string& instrTable,
                       const std::string& instrFile, PageFile& page, GalleryPictures& pictures,
                       ListTableResult& table);

/// The gallery's index page with the aryPicList script lines. false when it was not written.
bool mainMakeIndexHtml(const RunServices& run, const GalleryJob& job, const OutputPaths& paths,
                       const std::vector<IndexPicture>& pictures, std::string& failure);

/// pict.html, the picture viewer. false when it was not written.
bool mainMakePictHtml(const RunServices& run, const GalleryJob& job, const OutputPaths& paths,
                      const std::string& filelistHead, std::string& failure);

/// The menu page of menu mode with one aryMenuList line per gallery: its name, its folder and
/// its menu item. false when it was not written.
bool mainMakeMenuHtml(const RunServices& run, const PagePlan& pages,
                      const std::vector<GalleryJob>& galleries,
                      const std::vector<GalleryResult>& results, std::string& failure);

} // namespace mivo
