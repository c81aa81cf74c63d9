#include "generation/pages/picture_rows.h"

#include <optional>
#include <utility>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/copies/copy_names.h"
#include "generation/copies/gallery_copies.h"
#include "generation/copies/picture_resize.h"
#include "generation/copies/site_originals.h"
#include "generation/pictures/moving_picture.h"
#include "generation/pictures/picture_caption.h"
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

/// The size filelist.csv gives a picture in its columns (fields counted from 1 after the file
/// name); 0 by 0 when the columns are not set or the row lacks them.
void filelistSize(const PagePlan& pages, const ClassFileData& picture, long long& width,
                  long long& height) {
    const std::vector<std::string> fields =
        picture.infoQuoted ? picture.infoFields : cmSplitCsv(picture.strInfo);
    const long long widthField = pages.filelistWidthColumn;
    const long long heightField = pages.filelistHeightColumn;
    const auto count = static_cast<long long>(fields.size());
    if (widthField < 1 || heightField < 1 || widthField > count || heightField > count) {
        width = 0;
        height = 0;
        return;
    }
    width = numberOrZero(fields[static_cast<std::size_t>(widthField - 1)]);
    height = numberOrZero(fields[static_cast<std::size_t>(heightField - 1)]);
}

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

} // namespace

/// Links from one page to the folders a row points into, each worked out once.
struct PictureRows::Links {
    Links(const AlbumJob& job, const std::string& pagePath, const CopyFolders& folders)
        : thumbFolder(folders.thumbs), pictures(pagePath, job.picPath),
          view(pagePath, folders.view), thumbs(pagePath, thumbFolder),
          thumbs2x(pagePath, folderIn(thumbFolder, kThumb2xFolder)),
          thumbnailFolder(pagePath, job.samPath) {
        // Worked out only for a site that holds originals: the folders' links leave a trace in
        // the log, which stays as it was without them.
        if (job.originals != kOriginalsLinked) {
            const std::string folder =
                cmAddPath(pageFolderOf(pagePath), kOriginalsFolder, kPathSeparator);
            originals.emplace(pagePath, folder);
            originalThumbsFolder = cmAddPath(folder, kOriginalThumbnailsFolder, kPathSeparator);
            originalThumbs.emplace(pagePath, originalThumbsFolder);
        }
    }
    Links(const AlbumJob& job, const std::string& pagePath)
        : Links(job, pagePath, CopyFolders(pagePath)) {}

    std::string thumbFolder;
    FolderLinks pictures;
    FolderLinks view;
    FolderLinks thumbs;
    FolderLinks thumbs2x;
    FolderLinks thumbnailFolder;
    std::optional<FolderLinks> originals; // a self-contained site's originals/
    std::string originalThumbsFolder;     // ... and its thumbnails/
    std::optional<FolderLinks> originalThumbs;
};

PictureRows::PictureRows(PictureMeasurer* reads) : measurer_(reads) {}

PictureRows::~PictureRows() = default;

void PictureRows::begin(const PagePlan& pages, const Album& album, const std::string& pagePath,
                        int workers, ReaderThreads* threads) {
    links_ = std::make_unique<Links>(album.job, pagePath);
    if (begun_) {
        // A second table block: the given reader has handed its pictures out already.
        measurer_ = nullptr;
        ownMeasurer_.reset();
    }
    if (measurer_ == nullptr) {
        measurer_ =
            startListTableReads(ownMeasurer_, pages, album.job, album.items, workers, threads);
    }
    begun_ = true;
    next_ = 0;
}

bool PictureRows::next(const PagePlan& pages, Album& album, PictureRow& row) {
    if (next_ >= album.items.size() || !links_) {
        return false;
    }
    const AlbumJob& job = album.job;
    const std::size_t i = next_++;
    Item& item = album.items[i];
    row.item = &item;
    row.number = i;
    MeasuredSize size = measurer_ != nullptr ? measurer_->take(i) : MeasuredSize{};
    row.copy = item.shownCopy();
    // Without copies that show it, an item is shown as a picture is.
    row.kind = row.copy != nullptr ? item.kind : ItemKind::Picture;
    if (row.copy == nullptr && item.kind != ItemKind::Picture && measurer_ != nullptr) {
        size = measurer_->readNow(i); // the readers left its header alone
    }
    if (row.kind != ItemKind::Picture) {
        // Neither a HEIC, PNG... picture nor a video has a header the reader knows: its size
        // is its display copy's (its poster's), its shooting data from the image library or
        // from the video's container.
        size = MeasuredSize{};
        size.ok = true;
        size.width = row.copy->sizes.viewWidth;
        size.height = row.copy->sizes.viewHeight;
        if (pages.readsShootingData || pages.fileCaptions) {
            if (row.kind == ItemKind::Video) {
                // Shown in a picture's form: "2024-05-12 08:00:00", not the record's colons.
                size.exif.dateTaken = row.copy->dateTaken;
                std::string& date = size.exif.dateTaken;
                if (date.size() >= 10 && date[4] == ':' && date[7] == ':') {
                    date[4] = '-';
                    date[7] = '-';
                }
                // With the camera's time zone where the video says it, as a picture's EXIF
                // OffsetTimeOriginal: "2024-05-12 08:00:00 +09:00".
                if (date.size() == 19 && !row.copy->timeZone.empty()) {
                    date += " " + row.copy->timeZone;
                }
                size.exif.model = row.copy->model;
            } else if (isHeifName(item.name())) {
                // Cameras write EXIF into HEIC and AVIF; PNG, WebP and TIFF seldom hold any,
                // and reading them would start the image library on every run. One read of
                // the file's boxes finds both its EXIF and its XMP item.
                const HeifItems found = readHeifItems(item.path, pages.fileCaptions);
                readShootingData(item.path, found.exif, found.exifBlock, size.exif);
                if (pages.fileCaptions) {
                    // A description in the XMP item wins over EXIF's, as in a JPEG. A file
                    // not laid out as HEIF is asked as any other.
                    std::string described =
                        found.xmp == HeifExif::Found     ? xmpDescription(found.xmpPacket)
                        : found.xmp == HeifExif::Unknown ? readPictureCaption(item.path)
                                                         : std::string();
                    if (!described.empty()) {
                        size.exif.caption = std::move(described);
                    }
                }
            } else if (pages.fileCaptions) {
                // A PNG's or WebP's caption, from the chunks that hold it (Mivo reads them).
                size.exif.caption = readPictureCaption(item.path);
            }
        }
    }
    mainGetPicInfo(pages, job.useFilelist, size, item, row.displayName);
    if (logWants(3)) {
        cmWriteLog("mainMakeListTable", 3, "<" + item.path + ">");
    }

    const Links& links = *links_;
    (item.originalInSite && links.originals ? *links.originals : links.pictures)
        .linkTo(item.name(), row.pictureLink);
    // With copies made, the picture view shows the display copy; the original stays one click
    // away through its own link.
    if (row.copy != nullptr) {
        links.view.linkTo(row.copy->fileName, row.viewLink);
    } else {
        row.viewLink = row.pictureLink;
    }
    const bool withheld = job.originals == kOriginalsWithheld && !item.originalInSite;
    row.thumb2xLink.clear();
    row.thumbWebpLink.clear();
    row.thumb2xWebpLink.clear();
    row.videoLink.clear();
    row.videoType.clear();
    row.durationMs = 0;
    if (row.kind == ItemKind::Video) {
        const WebCopy& copy = *row.copy;
        row.videoLink =
            copy.webVideoName.empty() ? row.pictureLink : links.view.to(copy.webVideoName);
        row.videoType = copy.webVideoType;
        row.durationMs = copy.durationMs;
        if (withheld && !copy.webVideoName.empty()) {
            row.pictureLink = row.videoLink; // the download gives the web video
        }
    } else if (withheld && row.copy != nullptr) {
        row.pictureLink = row.viewLink; // the download gives the display copy
    }
    row.animationLink.clear();
    row.animationType.clear();
    if (item.moves && row.copy != nullptr && row.kind != ItemKind::Video &&
        !row.copy->webVideoName.empty()) {
        // A big moving GIF moves through its animation copy.
        row.animationLink = links.view.to(row.copy->webVideoName);
        row.animationType = row.copy->webVideoType;
    } else if (item.moves && row.copy != nullptr && row.kind != ItemKind::Video &&
               item.bytes <= kSmallMovingPicture && (!withheld || item.originalInSite)) {
        row.animationLink = item.originalInSite && links.originals
                                ? links.originals->to(item.name())
                                : links.pictures.to(item.name());
    }
    row.motionLink.clear();
    row.motionType.clear();
    row.motionMs = 0;
    const WebCopy* motion = item.motion ? item.motion->shownCopy() : nullptr;
    if (motion != nullptr && row.kind != ItemKind::Video) {
        const Item& clip = *item.motion;
        if (!motion->webVideoName.empty()) {
            row.motionLink = links.view.to(motion->webVideoName);
        } else if (!withheld || clip.originalInSite) {
            row.motionLink = clip.originalInSite && links.originals
                                 ? links.originals->to(clip.name())
                                 : links.pictures.to(clip.name());
        }
        row.motionType = motion->webVideoType;
        row.motionMs = motion->durationMs;
    }
    if (job.useThumbnails) {
        if (item.thumbnailInSite && links.originalThumbs) {
            row.thumbPath = cmAddPath(links.originalThumbsFolder, item.name(), kPathSeparator);
            row.thumbLink = links.originalThumbs->to(item.name());
        } else {
            row.thumbPath = cmAddPath(job.samPath, item.name(), kPathSeparator);
            row.thumbLink = links.thumbnailFolder.to(item.name());
        }
        row.thumbSize.reset();
    } else if (row.copy != nullptr) {
        // Mivo's own thumbnails, used as a thumbnail folder is; their sizes are known.
        row.thumbPath = cmAddPath(links.thumbFolder, row.copy->fileName, kPathSeparator);
        links.thumbs.linkTo(row.copy->fileName, row.thumbLink);
        links.thumbs2x.linkTo(row.copy->fileName, row.thumb2xLink);
        if (row.copy->webp) {
            const std::string webpName = webpThumbName(row.copy->fileName);
            links.thumbs.linkTo(webpName, row.thumbWebpLink);
            links.thumbs2x.linkTo(webpName, row.thumb2xWebpLink);
        }
        row.thumbSize = PixelSize{row.copy->sizes.thumbWidth, row.copy->sizes.thumbHeight};
    } else {
        // The full-size picture as its own thumbnail, scaled into the box: its size from its
        // header, or else from filelist.csv's columns.
        row.thumbPath = item.path;
        row.thumbLink = row.pictureLink;
        long long width = item.width;
        long long height = item.height;
        if (width == 0) {
            filelistSize(pages, item.file, width, height);
        }
        row.thumbSize = thumbnailSize(width, height, pages.thumbWidth, pages.thumbHeight);
    }
    return true;
}

} // namespace mivo
