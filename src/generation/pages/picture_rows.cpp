#include "generation/pages/picture_rows.h"

#include <utility>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/copies/gallery_copies.h"
#include "generation/copies/picture_resize.h"
#include "generation/pictures/picture_info.h"

namespace mivo {

namespace {

std::string folderIn(const std::string& folder, const char* name) {
    return cmAddPath(folder, name, kPathSeparator);
}

long long numberOrZero(const std::string& text) {
    long long value = 0;
    return parseWholeNumber(text, value) ? value : 0;
}

/// A full-size picture shown as its own thumbnail: scaled into the thumbnail box, with the size
/// from its header or else from filelist.csv's columns; the box itself when neither gives one.
PixelSize scaledThumbSize(const PagePlan& plan, const PictureRow& row) {
    const PixelSize box{thumbnailBoxSide(plan.thumbWidth), thumbnailBoxSide(plan.thumbHeight)};
    long long width = row.item->width;
    long long height = row.item->height;
    if (width == 0) {
        // The size is left to filelist.csv: fields counted from 1 after the file name.
        const ClassFileData& picture = row.item->file;
        const std::vector<std::string> fields =
            picture.infoQuoted ? picture.infoFields : cmSplitCsv(picture.strInfo);
        const long long widthField = plan.filelistWidthColumn;
        const long long heightField = plan.filelistHeightColumn;
        const auto count = static_cast<long long>(fields.size());
        if (widthField < 1 || heightField < 1 || widthField > count || heightField > count) {
            return box;
        }
        width = numberOrZero(fields[static_cast<std::size_t>(widthField - 1)]);
        height = numberOrZero(fields[static_cast<std::size_t>(heightField - 1)]);
    }
    // An empty, unreadable or zero size cannot be scaled: show it at the box size.
    if (width <= 0 || height <= 0) {
        return box;
    }
    return scaledSize(width, height, box.width, box.height);
}

} // namespace

/// The copy folders beside a page: thumbs/ and view/.
struct CopyFolders {
    explicit CopyFolders(const std::string& pagePath) {
        const std::string pageFolder = pageFolderOf(pagePath);
        thumbs = folderIn(pageFolder, kThumbFolder);
        view = folderIn(pageFolder, kViewFolder);
    }
    std::string thumbs;
    std::string view;
};

/// Links from one page to the folders a row points into, each worked out once.
struct PictureRows::Links {
    Links(const GalleryJob& job, const std::string& pagePath, const CopyFolders& folders)
        : thumbFolder(folders.thumbs), pictures(pagePath, job.picPath),
          view(pagePath, folders.view), thumbs(pagePath, thumbFolder),
          thumbs2x(pagePath, folderIn(thumbFolder, kThumb2xFolder)),
          thumbnailFolder(pagePath, job.samPath) {}
    Links(const GalleryJob& job, const std::string& pagePath)
        : Links(job, pagePath, CopyFolders(pagePath)) {}

    std::string thumbFolder;
    FolderLinks pictures;
    FolderLinks view;
    FolderLinks thumbs;
    FolderLinks thumbs2x;
    FolderLinks thumbnailFolder;
};

PictureRows::PictureRows(const GalleryJob& job, PictureList& pictures, PictureMeasurer* measurer)
    : job_(job), pictures_(pictures), measurer_(measurer) {}

PictureRows::~PictureRows() = default;

void PictureRows::begin(const std::string& pagePath, int workers) {
    links_ = std::make_unique<Links>(job_, pagePath);
    if (begun_) {
        // A second table block: the given reader has handed its pictures out already.
        measurer_ = nullptr;
        ownMeasurer_.reset();
    }
    if (measurer_ == nullptr) {
        measurer_ = startListTableReads(ownMeasurer_, job_, pictures_, workers);
    }
    begun_ = true;
    next_ = 0;
}

bool PictureRows::next(PictureRow& row) {
    if (next_ >= pictures_.size() || !links_) {
        return false;
    }
    const std::size_t i = next_++;
    Item& item = pictures_[i];
    row.item = &item;
    row.number = i;
    MeasuredSize size = measurer_ != nullptr ? measurer_->take(i) : MeasuredSize{};
    row.copy = item.shownCopy();
    // Without copies that show it, an item is shown as a picture is.
    row.kind = row.copy != nullptr ? item.kind : ItemKind::Picture;
    if (row.kind != ItemKind::Picture) {
        // Neither a HEIC, PNG... picture nor a video has a header the reader knows: its size
        // is its display copy's (its poster's), its shooting data from the image library or
        // from the video's container.
        size = MeasuredSize{};
        size.ok = true;
        size.width = row.copy->sizes.viewWidth;
        size.height = row.copy->sizes.viewHeight;
        if (job_.pages.shootingData) {
            if (row.kind == ItemKind::Video) {
                size.exif.dateTaken = row.copy->dateTaken;
            } else if (isHeifName(item.name())) {
                // Cameras write EXIF into HEIC and AVIF; PNG, WebP and TIFF seldom hold any,
                // and reading them would start the image library on every run.
                readShootingData(item.path, size.exif);
            }
        }
    }
    mainGetPicInfo(job_.pages, job_.useFilelist, size, item, row.displayName);
    if (logWants(3)) {
        cmWriteLog("mainMakeListTable", 3, "<" + item.path + ">");
    }

    const Links& links = *links_;
    row.pictureLink = links.pictures.to(item.name());
    // With copies made, the picture view shows the display copy; the original stays one click
    // away through its own link.
    row.viewLink = row.copy != nullptr ? links.view.to(row.copy->fileName) : row.pictureLink;
    row.thumb2xLink.clear();
    row.videoLink.clear();
    row.videoType.clear();
    row.durationMs = 0;
    if (row.kind == ItemKind::Video) {
        const WebCopy& copy = *row.copy;
        row.videoLink =
            copy.webVideoName.empty() ? row.pictureLink : links.view.to(copy.webVideoName);
        row.videoType = copy.webVideoType;
        row.durationMs = copy.durationMs;
    }
    if (job_.useThumbnails) {
        row.thumbPath = cmAddPath(job_.samPath, item.name(), kPathSeparator);
        row.thumbLink = links.thumbnailFolder.to(item.name());
        row.thumbSize.reset();
    } else if (row.copy != nullptr) {
        // Mivo's own thumbnails, used as a thumbnail folder is; their sizes are known.
        row.thumbPath = cmAddPath(links.thumbFolder, row.copy->fileName, kPathSeparator);
        row.thumbLink = links.thumbs.to(row.copy->fileName);
        row.thumb2xLink = links.thumbs2x.to(row.copy->fileName);
        row.thumbSize = PixelSize{row.copy->sizes.thumbWidth, row.copy->sizes.thumbHeight};
    } else {
        row.thumbPath = item.path;
        row.thumbLink = row.pictureLink;
        row.thumbSize = scaledThumbSize(job_.pages, row);
    }
    return true;
}

} // namespace mivo
