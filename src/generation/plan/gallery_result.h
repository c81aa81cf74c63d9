#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "generation/pictures/exif_info.h"

namespace mivo {

/// What the index page needs of the pictures, as the list page's table found them: one
/// element per picture in each column (kept apart, each its own array as the page writes it).
struct IndexPictures {
    // The picture-entry elements: links, size, name and filelist fields.
    std::vector<std::string> entries;
    // The fields of a filelist row written with quotes, whole (an entry is split at every
    // comma), or nothing.
    std::vector<std::vector<std::string>> quotedFields;
    std::vector<ExifInfo> shooting; // their shooting data, when shown
    // A video's web video: link, length in seconds and MIME type. Empty for a picture, and
    // no element at all in a gallery without videos.
    std::vector<std::vector<std::string>> videos;

    /// Room for `count` pictures, all empty.
    void reset(std::size_t count) {
        entries.assign(count, std::string());
        quotedFields.assign(count, std::vector<std::string>());
        shooting.assign(count, ExifInfo());
        videos.clear();
    }
};

/// What the list page's table found: the pictures for the index page, the start picture and
/// the gallery's entry on the menu page.
struct ListTableResult {
    IndexPictures pictures;
    long startNo = -1;    // table position of the start picture, -1 when it is not there
    std::string menuItem; // menu mode: "<link to the first thumbnail>,<its size attributes>"
};

/// Reduced copies that could not be made: the run goes on without them and fails at its end.
struct CopyFailures {
    std::size_t count = 0;
    std::string first; // the first one: the picture (or folder) and why
};

/// HEIC, PNG... pictures and videos a run could not show, for every gallery of the run.
struct LeftOutItems {
    std::size_t count = 0;
    std::set<std::string> missing; // what this machine lacks, each told once
};

/// How one gallery of a run ended.
struct GalleryResult {
    bool written = false; // its list, index and picture pages are in place
    std::string menuItem; // its entry on the menu page (menu mode)
    std::string failure;  // the page that was not written and why
    CopyFailures copyFailures;
};

} // namespace mivo
