#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "generation/plan/item_kind.h"

namespace mivo {

/// One picture's record as the check lists it and filelist.csv fills it.
class ClassFileData {
  public:
    std::string strName; // file name without folder, as listed
    std::string strInfo; // the rest of its filelist.csv row, or ""
    // When the row wrote fields in double quotes: those fields, quotes taken off. Empty for
    // a plain row, whose fields are strInfo split at its commas.
    std::vector<std::string> infoFields{};
    bool infoQuoted = false;
};

/// The shooting data a picture's EXIF block holds, as texts ready to show; "" when absent.
struct ExifInfo {
    std::string dateTaken;   // "2025-04-05 06:07:08"
    std::string model;       // camera model
    std::string lens;        // lens model
    std::string exposure;    // "1/250 s", "2 s"
    std::string fNumber;     // "f/2.8"
    std::string iso;         // "ISO 400"
    std::string focalLength; // "35 mm"
    // Not shooting data but read with it: what the picture says of itself (XMP description,
    // IPTC caption or EXIF ImageDescription, decoded to UTF-8, camera boilerplate left out).
    // empty() does not look at it.
    std::string caption;

    bool empty() const {
        return dateTaken.empty() && model.empty() && lens.empty() && exposure.empty() &&
               fNumber.empty() && iso.empty() && focalLength.empty();
    }
};

/// The pixel sizes of the copies made of one picture.
struct ResizedSizes {
    long thumbWidth = 0;
    long thumbHeight = 0;
    long thumb2xWidth = 0;
    long thumb2xHeight = 0;
    long viewWidth = 0;
    long viewHeight = 0;

    bool operator==(const ResizedSizes&) const = default;
};

/// One item's copies as the pages use them.
struct WebCopy {
    bool ok = false;          // false: the page shows the original, as without copies
    bool madeThisRun = false; // made now, not kept from an earlier run
    bool failed = false;      // could not be made (a write that failed, or an unreadable
                              // JPEG, GIF or BMP picture without the media option)
    bool notReduced = false;  // shown from its original: its copies' names are not Mivo's
    std::string fileName;
    ResizedSizes sizes;
    bool webp = false; // the thumbnails have WebP copies (webpThumbName) beside the JPEGs
    // A HEIC, PNG... picture or a video without copies cannot be shown, nor, with the media
    // option, a picture of any kind that cannot be read: it is left out of the gallery.
    // `missing` names what this machine lacks when that is why ("ffmpeg", "HEIF").
    bool leftOut = false;
    std::string missing;
    // A video's: its length, the web video in view/ ("" when the original plays as it is), its
    // MIME type, the date it was taken (EXIF style "YYYY:MM:DD hh:mm:ss", or ""), the offset
    // from UTC of that date ("+09:00", or "") and the camera model (or "").
    long long durationMs = 0;
    std::string webVideoName;
    std::string webVideoType;
    std::string dateTaken;
    std::string timeZone;
    std::string model;
};

/// One item of an album, a picture or a video: made once, when the check lists its folder,
/// with its name, kind and path; the copier gives it its copies, and the list table its pixel
/// size and shooting data as its header is read. Nothing downstream works out its name, kind
/// or path again.
struct Item {
    ClassFileData file;                // its name as listed, and its filelist.csv row
    ItemKind kind = ItemKind::Picture; // from its extension, when listed
    std::string path;                  // the picture folder joined with its name, once
    long long width = 0;  // pixel size from the header; 0 when filelist.csv gives it or the
    long long height = 0; // picture could not be measured
    // Its shooting data once the list table read it (when the pages show it); none when empty.
    std::unique_ptr<ExifInfo> shooting;
    // The description the picture holds, shown as its caption when filelist.csv gives none
    // (and the pages show such captions); "" otherwise.
    std::string fileCaption;
    // Its copies, once the copier looked at it (albums that make them); none otherwise.
    std::unique_ptr<WebCopy> copy;
    // Placed in the page folder's originals/ (a self-contained site), linked from there: the
    // original, and the thumbnail of a thumbnail folder (originals/thumbnails/).
    bool originalInSite = false;
    bool thumbnailInSite = false;
    // A Live Photo's motion: the short video shot with this still, played in its viewer. The
    // list shows one tile and one name for both.
    std::unique_ptr<Item> motion;
    // While the copies are made a motion stands as an item of its own right after its still
    // (PictureList::unfoldMotions): the still's name then; "" for every other item.
    std::string motionOf;
    // A picture with more than one frame (an animated GIF or WebP), as its header says when
    // the album makes copies, and then the file's size in bytes.
    bool moves = false;
    long long bytes = 0;
    // With the album's dateOrder, once checked: when it was taken, else its file's time
    // ("YYYY-MM-DD hh:mm:ss"; "" when neither can be read).
    std::string orderDate;

    const std::string& name() const { return file.strName; }
    /// Its copies when they are made and shown; nullptr: the original is shown.
    const WebCopy* shownCopy() const { return copy && copy->ok ? copy.get() : nullptr; }
};

/// The item `name` of `folder`, of kind `kind`, as the listing makes it.
Item listedItem(const std::string& folder, const std::string& name, ItemKind kind);

/// The items of one album in listing order (the behaviour description's `PictureList`), each
/// also found by its name with ASCII letter case ignored. Names that differ only in case all
/// stay; the look-up finds the first.
class PictureList {
  public:
    void add(Item item);
    void reserve(std::size_t count) { items_.reserve(count); }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    Item& operator[](std::size_t index) { return items_[index]; }
    const Item& operator[](std::size_t index) const { return items_[index]; }
    /// The first item whose name equals `name` ignoring ASCII case, or nullptr.
    Item* find(const std::string& name);
    const Item* find(const std::string& name) const;
    /// Takes out every item `drop` says so, keeping the order of the rest; false when none was.
    template <class Drop> bool removeIf(const Drop& drop);
    /// Puts the items in the order `less` gives, keeping the listing's among equals.
    template <class Less> void sortBy(const Less& less);
    void clear();
    /// Puts every Live Photo's motion right after its still as an item of its own, so that its
    /// copies and its place in a self-contained site are made as any video's.
    void unfoldMotions();
    /// Gives each unfolded motion back to its still; a motion whose still is gone (left out of
    /// the album) stays an item of its own.
    void foldMotions();

    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    /// Brings the look-up up to date with the items: it is made on the first find, since most
    /// galleries have no filelist.csv and never look a name up.
    void indexItems() const;

    std::vector<Item> items_;
    mutable std::unordered_map<std::string, std::size_t> index_; // upper-cased name -> first
    mutable std::size_t indexed_ = 0;                            // items in index_
};

template <class Drop> bool PictureList::removeIf(const Drop& drop) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (drop(items_[i])) {
            continue;
        }
        if (kept != i) {
            items_[kept] = std::move(items_[i]);
        }
        ++kept;
    }
    if (kept == items_.size()) {
        return false;
    }
    items_.resize(kept);
    index_.clear();
    indexed_ = 0;
    return true;
}

template <class Less> void PictureList::sortBy(const Less& less) {
    std::stable_sort(items_.begin(), items_.end(), less);
    index_.clear();
    indexed_ = 0;
}

} // namespace mivo
