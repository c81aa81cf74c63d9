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
    // A moving picture's animation (its link); empty for the others, no element at all in a
    // gallery without one.
    std::vector<std::vector<std::string>> animations;
    // A picture's WebP thumbnails (1x and 2x links); empty for the others, no element at all
    // in a gallery without them.
    std::vector<std::vector<std::string>> webps;

    /// Room for `count` pictures, all empty.
    void reset(std::size_t count) {
        entries.assign(count, std::string());
        videos.clear();
        animations.clear();
        webps.clear();
    }
};

/// What the list page's table found: the pictures for the index page, the start picture and
/// the album's entry on the page that lists it.
struct ListTableResult {
    IndexPictures pictures;
    long startNo = -1; // table position of the start picture, -1 when it is not there
    // For an album listed on its parent's index of children (the menu page): "<link from that
    // page to its first thumbnail>,<the thumbnail's size attributes>".
    std::string menuItem;
    std::string firstDate; // the first and last date taken of its items, "" when none has one
    std::string lastDate;
    std::string coverPath; // the cover's thumbnail file and its size attributes
    std::string coverSize;
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
    // Originals a self-contained site could not hold: a file of the user's own has the name
    // in originals/, or the picture is a symbolic link out of its folder. Linked where they are.
    std::vector<NamedItem> notPlaced;
    std::set<std::string> missing; // what this machine lacks, each told once

    bool empty() const {
        return failed.empty() && leftOut.empty() && notReduced.empty() && notPlaced.empty();
    }
    /// Adds another gallery's notes after these.
    void add(const ItemNotes& more);
};

/// The files a run wrote, replaced and removed: the list a publishing step reads to bring a
/// copy of the site up to date (to delete on a server what the run removed). Paths are
/// absolute and normalized, so that a list can be read without knowing the run's working
/// folder; a publisher makes them relative to the folder it publishes (the top page's, which
/// may not hold them all: a page folder may lie beside it). Pages, copies, web videos and the
/// copy record are listed; temporary files never are, nor folders.
struct Manifest {
    std::vector<std::string> written;  // files that were not there before
    std::vector<std::string> replaced; // files that were there and were written anew
    std::vector<std::string> removed;  // files that were there and are gone

    /// Adds another album's lists after these.
    void add(const Manifest& more);
};

/// `path` as a manifest lists it: absolute (from the working folder when it is relative) and
/// normalized.
std::string manifestPath(const std::string& path);

/// How one album of a run ended, and what its children's runs gave (in the tree's order).
struct AlbumResult {
    bool written = false; // its list, index and picture pages are in place
    std::string menuItem; // its entry on the page that lists it (its cover)
    // What a folder tree's parent shows of it: its own items, those of all its albums, and
    // the first and last date taken among them ("YYYY-MM-DD hh:mm:ss", or "").
    std::string coverPath; // its cover's thumbnail file, or its first sub-album's; "" for none
    std::string coverSize; // the thumbnail's size attributes
    std::size_t ownItems = 0;
    std::size_t allItems = 0;
    std::string firstDate;
    std::string lastDate;
    std::string failure; // the page that was not written and why
    ItemNotes items;     // what its copies left out or could not make
    Manifest files;      // every file the run wrote, replaced and removed for it
    std::vector<AlbumResult> children;
};

inline void ItemNotes::add(const ItemNotes& more) {
    if (firstFailure.empty()) {
        firstFailure = more.firstFailure;
    }
    failed.insert(failed.end(), more.failed.begin(), more.failed.end());
    leftOut.insert(leftOut.end(), more.leftOut.begin(), more.leftOut.end());
    notReduced.insert(notReduced.end(), more.notReduced.begin(), more.notReduced.end());
    notPlaced.insert(notPlaced.end(), more.notPlaced.begin(), more.notPlaced.end());
    missing.insert(more.missing.begin(), more.missing.end());
}

} // namespace mivo
