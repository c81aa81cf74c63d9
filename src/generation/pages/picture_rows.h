#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "generation/pictures/picture_measure.h"
#include "generation/pictures/thumb_size.h"
#include "generation/plan/gallery_job.h"
#include "generation/plan/item.h"
#include "generation/plan/item_kind.h"
#include "generation/plan/page_text.h"

namespace mivo {

/// One item of a gallery (a picture or a video) as its list page shows it, worked out once:
/// the item with its size, shooting data and copies, its display name, and its links from the
/// list page.
struct PictureRow {
    Item* item = nullptr; // the item, its size and shooting data filled as its header came in
    // How the row shows it: its kind when its copies can show it, a picture when it has none.
    ItemKind kind = ItemKind::Picture;
    std::size_t number = 0;        // zero-based position in the gallery
    std::string displayName;       // the file name without extension
    const WebCopy* copy = nullptr; // the reduced copies, or nullptr: the original is shown
    std::string pictureLink;       // the picture itself
    std::string viewLink;          // what the picture view shows: display copy or picture
    std::string thumbPath;         // the file the list shows as its thumbnail
    std::string thumbLink;
    std::string thumb2xLink; // the 2x thumbnail, with copies; "" otherwise
    // A video's: the file the browser plays (Mivo's web video or the original), its MIME type
    // and its length in milliseconds. "" and 0 for a picture, whose copies are its poster's.
    std::string videoLink;
    std::string videoType;
    long long durationMs = 0;
    // The size the list shows the thumbnail at: the copy's own size, the picture scaled into
    // the thumbnail box, or the box itself for a picture of unknown size. None for a thumbnail
    // from a thumbnail folder, which shows at its own size.
    std::optional<PixelSize> thumbSize;
};

struct CopyFolders;

/// The rows of a gallery's pictures, one at a time as their headers come in.
class PictureRows {
  public:
    /// `measurer`, when given, is already reading the pictures' headers (the same pictures).
    PictureRows(const GalleryJob& job, PictureList& pictures, PictureMeasurer* measurer);
    ~PictureRows();
    PictureRows(const PictureRows&) = delete;
    PictureRows& operator=(const PictureRows&) = delete;
    /// Starts the rows again from the first picture, with links from the page `pagePath`. The
    /// first time the headers come from the measurer given, if any; every other time (a second
    /// table block) from a reader of its own with `workers`, when the rows need them.
    void begin(const std::string& pagePath, int workers);
    std::size_t size() const { return pictures_.size(); }
    /// The next picture's row; false after the last.
    bool next(PictureRow& row);

  private:
    struct Links;

    const GalleryJob& job_;
    PictureList& pictures_;
    PictureMeasurer* measurer_ = nullptr;
    std::optional<PictureMeasurer> ownMeasurer_;
    std::unique_ptr<Links> links_;
    bool begun_ = false;
    std::size_t next_ = 0;
};

} // namespace mivo
