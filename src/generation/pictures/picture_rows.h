#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "generation/pictures/exif_info.h"
#include "generation/pictures/picture_measure.h"
#include "generation/pictures/web_sizes.h"
#include "generation/plan/file_data.h"
#include "generation/plan/gallery_job.h"
#include "generation/plan/page_text.h"

namespace mivo {

/// One picture of a gallery as its pages show it, worked out once: its name, links from the
/// list page, its size, its shooting data and its reduced copies.
struct PictureRow {
    std::size_t number = 0;              // zero-based position in the gallery
    const ClassFileData* file = nullptr; // the listed file with its filelist.csv fields
    std::string path;                    // the picture file
    std::string displayName;             // the file name without extension
    long long width = 0;  // pixel size from the header; 0 when filelist.csv gives it or the
    long long height = 0; // picture could not be measured
    ExifInfo shooting;    // when the pages show shooting data
    const WebCopy* copy = nullptr; // the reduced copies, or nullptr: the original is shown
    std::string pictureLink;       // the picture itself
    std::string viewLink;          // what the picture view shows: display copy or picture
    std::string thumbPath;         // the file the list shows as its thumbnail
    std::string thumbLink;
    std::string thumb2xLink; // the 2x thumbnail, with copies; "" otherwise
};

struct CopyFolders;

/// The rows of a gallery's pictures, one at a time as their headers come in, with links from
/// the page `pagePath`.
class PictureRows {
  public:
    PictureRows(const GalleryJob& job, const PictureList& pictures,
                const std::vector<WebCopy>& copies, const std::string& pagePath);
    /// The headers are read by `measurer` when it is given (it must cover the same pictures),
    /// else by a reader of its own with `workers` when the rows need them. Before next().
    void readHeaders(PictureMeasurer* measurer, int workers);
    std::size_t size() const { return pictures_.size(); }
    /// The next picture's row; false after the last.
    bool next(PictureRow& row);

  private:
    PictureRows(const GalleryJob& job, const PictureList& pictures,
                const std::vector<WebCopy>& copies, const std::string& pagePath,
                const CopyFolders& folders);

    const GalleryJob& job_;
    const PictureList& pictures_;
    const std::vector<WebCopy>& copies_;
    std::optional<PictureMeasurer> ownMeasurer_;
    PictureMeasurer* measurer_ = nullptr;
    std::string thumbFolder_;
    FolderLinks pictureLinks_;
    FolderLinks viewLinks_;
    FolderLinks thumbLinks_;
    FolderLinks thumb2xLinks_;
    FolderLinks samLinks_;
    std::size_t next_ = 0;
};

} // namespace mivo
