#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "generation/pictures/exif_info.h"

namespace mivo {

/// What the index page needs of one picture, as the list page's table found it.
struct IndexPicture {
    std::string entry; // the picture-entry element: links, size, name and filelist fields
    // The fields of a filelist row written with quotes, whole (the entry is split at every
    // comma), or nothing.
    std::vector<std::string> quotedFields;
    ExifInfo shooting; // its shooting data, when shown
};

/// What the list page's table found: the pictures for the index page, the start picture and
/// the gallery's entry on the menu page.
struct ListTableResult {
    std::vector<IndexPicture> pictures;
    long startNo = -1;    // table position of the start picture, -1 when it is not there
    std::string menuItem; // menu mode: "<link to the first thumbnail>,<its size attributes>"
};

/// Reduced copies that could not be made: the run goes on without them and fails at its end.
struct CopyFailures {
    std::size_t count = 0;
    std::string first; // the first one: the picture (or folder) and why
};

/// How one gallery of a run ended.
struct GalleryResult {
    bool written = false; // its list, index and picture pages are in place
    std::string menuItem; // its entry on the menu page (menu mode)
    std::string failure;  // the page that was not written and why
    CopyFailures copyFailures;
};

} // namespace mivo
