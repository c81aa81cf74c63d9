#include "generation/pictures/picture_rows.h"

#include "common/log.h"
#include "common/paths.h"
#include "generation/pictures/gallery_copies.h"
#include "generation/pictures/picture_info.h"

namespace mivo {

namespace {

std::string folderIn(const std::string& folder, const char* name) {
    return cmAddPath(folder, name, kPathSeparator);
}

} // namespace

/// The copy folders beside the page: thumbs/ and view/.
struct CopyFolders {
    explicit CopyFolders(const std::string& pagePath) {
        const std::string pageFolder = pageFolderOf(pagePath);
        thumbs = folderIn(pageFolder, kThumbFolder);
        view = folderIn(pageFolder, kViewFolder);
    }
    std::string thumbs;
    std::string view;
};

PictureRows::PictureRows(const GalleryJob& job, const PictureList& pictures,
                         const std::vector<WebCopy>& copies, const std::string& pagePath)
    : PictureRows(job, pictures, copies, pagePath, CopyFolders(pagePath)) {}

PictureRows::PictureRows(const GalleryJob& job, const PictureList& pictures,
                         const std::vector<WebCopy>& copies, const std::string& pagePath,
                         const CopyFolders& folders)
    : job_(job), pictures_(pictures), copies_(copies), thumbFolder_(folders.thumbs),
      pictureLinks_(pagePath, job.picPath), viewLinks_(pagePath, folders.view),
      thumbLinks_(pagePath, thumbFolder_),
      thumb2xLinks_(pagePath, folderIn(thumbFolder_, kThumb2xFolder)),
      samLinks_(pagePath, job.samPath) {}

void PictureRows::readHeaders(PictureMeasurer* measurer, int workers) {
    measurer_ = measurer != nullptr ? measurer
                                    : startListTableReads(ownMeasurer_, job_, pictures_, workers);
}

bool PictureRows::next(PictureRow& row) {
    if (next_ >= pictures_.size()) {
        return false;
    }
    const std::size_t i = next_++;
    const ClassFileData& picture = pictures_[i];
    row.number = i;
    row.file = &picture;
    row.path = cmAddPath(job_.picPath, picture.strName, kPathSeparator);
    const MeasuredSize size = measurer_ != nullptr ? measurer_->take(i) : MeasuredSize{};
    row.shooting = ExifInfo();
    mainGetPicInfo(job_.pages, row.path, job_.useFilelist, size, row.displayName, row.width,
                   row.height, job_.pages.shootingData ? &row.shooting : nullptr);
    if (cmLogWants(3)) {
        cmWriteLog("mainMakeListTable", 3, "<" + row.path + ">");
    }

    row.pictureLink = pictureLinks_.to(picture.strName);
    row.copy = i < copies_.size() && copies_[i].ok ? &copies_[i] : nullptr;
    // With copies made, the picture view shows the display copy; the original stays one click
    // away through its own link.
    row.viewLink = row.copy != nullptr ? viewLinks_.to(row.copy->fileName) : row.pictureLink;
    row.thumb2xLink.clear();
    if (job_.useThumbnails) {
        row.thumbPath = cmAddPath(job_.samPath, picture.strName, kPathSeparator);
        row.thumbLink = samLinks_.to(picture.strName);
    } else if (row.copy != nullptr) {
        // Mivo's own thumbnails, used as a thumbnail folder is.
        row.thumbPath = cmAddPath(thumbFolder_, row.copy->fileName, kPathSeparator);
        row.thumbLink = thumbLinks_.to(row.copy->fileName);
        row.thumb2xLink = thumb2xLinks_.to(row.copy->fileName);
    } else {
        row.thumbPath = row.path;
        row.thumbLink = row.pictureLink;
    }
    return true;
}

} // namespace mivo
