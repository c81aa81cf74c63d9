#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace mivo {

/// What the index page needs of the pictures, as the list page's table found them: one
/// element per picture in each column (kept apart, each its own array as the page writes it).
/// The filelist fields and the shooting data it writes beside them are the items' own.
struct IndexPictures {
    // The picture-entry elements: links, size, name and filelist fields.
    std::vector<std::string> entries;
    // A video's web video: link, length in seconds and MIME type. Empty for a picture, and
    // no element at all in a gallery without videos.
    std::vector<std::vector<std::string>> videos;

    /// Room for `count` pictures, all empty.
    void reset(std::size_t count) {
        entries.assign(count, std::string());
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

/// An item the end of a run names: its path, and why (composed and logged in Japanese, parts
/// separated by ": ", as translateReason() shows it).
struct NamedItem {
    std::string path;
    std::string reason;
};

/// The items of a gallery (or a whole run) that its end names.
struct ItemNotes {
    // Copies that could not be made (a write that failed, a picture without the media option
    // that cannot be read): the pages show the originals, and the run fails at its end.
    std::vector<NamedItem> failed;
    std::string firstFailure; // the first of them (or the copy folder) and why, as logged
    // Not in the gallery: they cannot be read, or only copies could show them and have none.
    std::vector<NamedItem> leftOut;
    // Shown from their originals: the names of their copies are taken by files Mivo did not
    // make, or cannot be kept in the record.
    std::vector<NamedItem> notReduced;
    std::set<std::string> missing; // what this machine lacks, each told once

    bool empty() const { return failed.empty() && leftOut.empty() && notReduced.empty(); }
    /// Adds another gallery's notes after these.
    void add(const ItemNotes& more);
};

/// How one gallery of a run ended.
struct GalleryResult {
    bool written = false; // its list, index and picture pages are in place
    std::string menuItem; // its entry on the menu page (menu mode)
    std::string failure;  // the page that was not written and why
    ItemNotes items;      // what its copies left out or could not make
};

inline void ItemNotes::add(const ItemNotes& more) {
    if (firstFailure.empty()) {
        firstFailure = more.firstFailure;
    }
    failed.insert(failed.end(), more.failed.begin(), more.failed.end());
    leftOut.insert(leftOut.end(), more.leftOut.begin(), more.leftOut.end());
    notReduced.insert(notReduced.end(), more.notReduced.begin(), more.notReduced.end());
    missing.insert(more.missing.begin(), more.missing.end());
}

} // namespace mivo
