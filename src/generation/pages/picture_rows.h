#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "generation/pictures/picture_measure.h"
#include "generation/pictures/thumb_size.h"
#include "generation/plan/album.h"
#include "generation/plan/item.h"
#include "generation/plan/item_kind.h"
#include "generation/plan/page_text.h"

namespace mivo {

/// The fourth field of a Live Photo's entry in the index page's video array: the item is its
/// still, the video its motion.
inline constexpr const char* kMotionMark = "live";

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
    // The WebP thumbnails at 1x and 2x, where the copies have them; "" otherwise.
    std::string thumbWebpLink;
    std::string thumb2xWebpLink;
    // A video's: the file the browser plays (Mivo's web video or the original), its MIME type
    // and its length in milliseconds. "" and 0 for a picture, whose copies are its poster's.
    std::string videoLink;
    std::string videoType;
    long long durationMs = 0;
    // A Live Photo's motion, as a video's: what the browser plays, its type and length; ""
    // and 0 for every other item.
    std::string motionLink;
    std::string motionType;
    long long motionMs = 0;
    // A moving picture's animation, shown in the viewer: its original while it is small, else
    // its animation copy (a GIF's MP4, whose MIME type `animationType` gives; "" for an
    // original); "" for every other item.
    std::string animationLink;
    std::string animationType;
    // The size the list shows the thumbnail at: the copy's own size, the picture scaled into
    // the thumbnail box, or the box itself for a picture of unknown size. None for a thumbnail
    // from a thumbnail folder, which shows at its own size.
    std::optional<PixelSize> thumbSize;
};

/// The rows of an album's list table, one at a time as the items' headers come in, with links
/// from the page they are written into, worked out once. The run's PagePlan and the album are
/// handed to each call.
class PictureRows {
  public:
    /// `reads`, when given, is already reading the album's headers.
    explicit PictureRows(PictureMeasurer* reads);
    ~PictureRows();
    PictureRows(const PictureRows&) = delete;
    PictureRows& operator=(const PictureRows&) = delete;
    /// Starts the rows again from the album's first item, with links from the page `pagePath`.
    /// The first time the headers come from the reader given, if any; every other time (a
    /// second table block) from a reader of its own with `workers`, when the rows need them.
    void begin(const PagePlan& pages, const Album& album, const std::string& pagePath, int workers,
               ReaderThreads* threads = nullptr);
    /// The row of the album's next item, which gets its pixel size and shooting data from its
    /// header (mainGetPicInfo); false after the last.
    bool next(const PagePlan& pages, Album& album, PictureRow& row);

  private:
    struct Links;

    PictureMeasurer* measurer_ = nullptr;
    std::optional<PictureMeasurer> ownMeasurer_;
    std::unique_ptr<Links> links_;
    bool begun_ = false;
    std::size_t next_ = 0;
};

} // namespace mivo
