#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/pages/page_writer.h"
#include "generation/pages/pages.h"
#include "generation/pages/placeholders.h"
#include "generation/pictures/gallery_copies.h"
#include "generation/pictures/picture_rows.h"
#include "generation/pictures/thumb_size.h"
#include "generation/plan/page_text.h"
#include "generation/plan/status.h"

namespace mivo {

namespace {

// The table block split once at its row placeholders: each row is put together from the
// pieces instead of searching the block for each placeholder of each picture. The values are
// never searched, so a file name that happens to hold a placeholder's name stays as it is.
class RowTemplate {
  public:
    explicit RowTemplate(const std::string& text) {
        std::vector<std::pair<std::size_t, const Placeholder*>> hits; // position, placeholder
        for (const Placeholder& p : placeholderTable()) {
            if (p.use != PlaceholderUse::TableRow) {
                continue;
            }
            for (std::size_t at = cmTextFind(text, p.name, 0, kCompareText);
                 at != std::string::npos;
                 at = cmTextFind(text, p.name, at + p.name.size(), kCompareText)) {
                hits.emplace_back(at, &p);
            }
        }
        std::sort(hits.begin(), hits.end());
        std::size_t pos = 0;
        for (const auto& [at, p] : hits) {
            if (at < pos) {
                continue; // the names do not overlap; kept safe all the same
            }
            literals_.push_back(text.substr(pos, at - pos));
            fields_.push_back(p);
            pos = at + p->name.size();
        }
        literals_.push_back(text.substr(pos));
    }

    void fill(const TableCell& cell, std::string& out) const {
        out.clear();
        for (std::size_t k = 0; k < fields_.size(); ++k) {
            out += literals_[k];
            out += fields_[k]->cellValue(cell);
        }
        out += literals_.back();
    }

  private:
    std::vector<std::string> literals_; // one more than fields_
    std::vector<const Placeholder*> fields_;
};

long long numberOrZero(const std::string& text) {
    long long value = 0;
    return cmParseWholeNumber(text, value) ? value : 0;
}

// num / den to the nearest integer, a half to the even neighbour. One division of two whole
// numbers, so an exact half is seen as one.
long long roundRatio(long long num, long long den) {
    return cmRoundHalfEven(static_cast<double>(num) / static_cast<double>(den));
}

// The size attributes of a picture's thumbnail: the copy's own size with reduced copies, none
// for a thumbnail folder, else the picture scaled in whole percent into the thumbnail box.
std::string thumbnailSizeText(const GalleryJob& job, const PictureRow& row) {
    if (job.useThumbnails) {
        return {};
    }
    if (row.copy != nullptr) {
        return "width=" + std::to_string(row.copy->sizes.thumbWidth) +
               " height=" + std::to_string(row.copy->sizes.thumbHeight);
    }
    const PagePlan& plan = job.pages;
    const long long boxWidth = thumbnailBoxSide(plan.thumbWidth);
    const long long boxHeight = thumbnailBoxSide(plan.thumbHeight);
    std::string boxText =
        "width=" + std::to_string(boxWidth) + " height=" + std::to_string(boxHeight);
    long long width = row.width;
    long long height = row.height;
    if (width == 0) {
        // The size is left to filelist.csv: fields counted from 1 after the file name.
        const ClassFileData& picture = *row.file;
        const std::vector<std::string> fields =
            picture.infoQuoted ? picture.infoFields : cmSplitCsv(picture.strInfo);
        const long long widthField = plan.filelistWidthColumn;
        const long long heightField = plan.filelistHeightColumn;
        const auto count = static_cast<long long>(fields.size());
        if (widthField < 1 || heightField < 1 || widthField > count || heightField > count) {
            return boxText;
        }
        width = numberOrZero(fields[static_cast<std::size_t>(widthField - 1)]);
        height = numberOrZero(fields[static_cast<std::size_t>(heightField - 1)]);
    }
    // An empty, unreadable or zero size cannot be scaled: show it at the box size.
    if (width <= 0 || height <= 0) {
        return boxText;
    }
    return scaledSizeAttributes(width, height, boxWidth, boxHeight);
}

// The picture-entry element: the link the picture view loads, the size, the name and the
// filelist fields. With copies the view loads the display copy; the fragment, ignored when the
// copy is loaded, gives the original's link ("#" in a path is always written as "%23").
std::string pictureEntry(const GalleryJob& job, const PictureRow& row) {
    std::string entry = row.viewLink;
    if (row.copy != nullptr) {
        entry.append("#original=").append(row.pictureLink);
    }
    entry.append(",").append(std::to_string(row.width)).append(",");
    entry.append(std::to_string(row.height)).append(",").append(row.displayName);
    if (job.useFilelist) {
        entry.append(",").append(row.file->strInfo);
    }
    return entry;
}

void showProgress(const RunServices& run, const GalleryJob& job, const PictureRow& row,
                  long long n) {
    const long long i = static_cast<long long>(row.number) + 1;
    if (!job.menu) {
        mainSetStatus(run.status, true,
                      row.displayName + " (" + std::to_string(i) + "/" + std::to_string(n) + ")", 2,
                      1);
    } else if (job.galleries > 0) {
        // Each gallery takes an equal share of the bar from 5 to 95.
        const long long galleries = job.galleries;
        const long long part = roundRatio(i * 90, n * galleries);
        const long long value =
            roundRatio((job.number - 1LL) * 90 + (5 + part) * galleries, galleries);
        mainSetStatus(run.status, false, "", 1, static_cast<int>(value));
    }
}

} // namespace

void mainMakeListHtml(const RunServices& run, const GalleryJob& job, const OutputPaths& paths,
                      GalleryPictures& pictures, ListTableResult& table, bool& outblnOk,
                      std::string& failure) {
    cmWriteLog("mainMakeListHtml", 1, "▽Start Method▽");
    PageInput input{job.pages, &job, &paths, paths.strListPath};
    PageParts parts;
    parts.table = [&](const std::string& blockText, PageFile& page) {
        mainMakeListTable(run, job, blockText, paths.strListPath, page, pictures, table);
        input.startNo = table.startNo;
    };
    parts.abandoned = [&run] { return run.status.stopRequested(); };
    outblnOk =
        writeTemplatePage(run.files, PageKind::List, "mainMakeListHtml", input, parts, failure);
    cmWriteLog("mainMakeListHtml", 1, std::string("△End Method△ ") + cmBoolText(outblnOk));
}

void mainMakeListTable(const RunServices& run, const GalleryJob& job, const std::string& instrTable,
                       const std::string& instrFile, PageFile& page, GalleryPictures& pictures,
                       ListTableResult& table) {
    cmWriteLog("mainMakeListTable", 1,
               "Start Method \r\ninstrTable=[" + instrTable + "]\r\ninstrFile=[" + instrFile + "]");
    table.startNo = -1;
    const std::size_t count = pictures.pictures.size();
    const auto n = static_cast<long long>(count);
    table.pictures.assign(count, IndexPicture());
    PictureRows rows(job, pictures.pictures, pictures.copies, instrFile);
    if (!job.menu) {
        run.status.setBarMax(static_cast<double>(roundRatio(n * 10, 8)));
        run.status.setBarValue(0);
    } else {
        mainSetStatus(run.status, true, job.name, 0, 0);
    }

    // Headers are read by workers ahead of this loop and come back in listing order; the log
    // and status lines stay here, in the order of the pictures. The run may have started
    // reading already; a second table block reads again for itself.
    rows.readHeaders(std::exchange(pictures.measurer, nullptr), run.pictureWorkers);
    const RowTemplate rowTemplate(instrTable);
    const PagePlan& plan = job.pages;
    PictureRow row;
    std::string rowText;
    while (!run.status.stopRequested() && rows.next(row)) {
        const std::string sizeText = thumbnailSizeText(job, row);
        rowTemplate.fill(TableCell{row, sizeText}, rowText);

        IndexPicture& shown = table.pictures[row.number];
        shown.entry = pictureEntry(job, row);
        shown.shooting = std::move(row.shooting);
        if (job.useFilelist && row.file->infoQuoted) {
            shown.quotedFields = row.file->infoFields;
        }
        if (!plan.startName.empty() && !job.menu &&
            cmTextEquals(plan.startName, row.file->strName)) {
            table.startNo = static_cast<long>(row.number);
        }
        if (job.menu && row.number == 0) {
            table.menuItem = relativeLink(plan.menuPath, row.thumbPath) + "," + sizeText;
        }
        page.writeLine(rowText);
        showProgress(run, job, row, n);
    }
    cmWriteLog("mainMakeListTable", 1, "△End Method△");
}

} // namespace mivo
