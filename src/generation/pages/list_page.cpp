#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/copies/gallery_copies.h"
#include "generation/pages/page_memo.h"
#include "generation/pages/page_writer.h"
#include "generation/pages/pages.h"
#include "generation/pages/picture_rows.h"
#include "generation/pages/placeholders.h"
#include "generation/pages/row_template.h"
#include "generation/pictures/thumb_size.h"
#include "generation/plan/page_text.h"
#include "generation/plan/status.h"

namespace mivo {

namespace {

// num / den to the nearest integer, a half to the even neighbour. One division of two whole
// numbers, so an exact half is seen as one.
long long roundRatio(long long num, long long den) {
    return roundHalfEven(static_cast<double>(num) / static_cast<double>(den));
}

// The size attributes of a thumbnail: "width=W height=H", or none when it shows at its own size.
std::string sizeAttributes(const PictureRow& row) {
    if (!row.thumbSize) {
        return {};
    }
    return "width=" + std::to_string(row.thumbSize->width) +
           " height=" + std::to_string(row.thumbSize->height);
}

// The picture-entry element: the link the picture view loads, the size, the name and the
// filelist fields. With copies the view loads the display copy; the fragment, ignored when the
// copy is loaded, gives the original's link ("#" in a path is always written as "%23").
std::string pictureEntry(const AlbumJob& job, const PictureRow& row) {
    std::string entry = row.viewLink;
    if (row.copy != nullptr) {
        entry.append("#original=").append(row.pictureLink);
    }
    entry.append(",").append(std::to_string(row.item->width)).append(",");
    entry.append(std::to_string(row.item->height)).append(",").append(row.displayName);
    if (job.useFilelist) {
        entry.append(",").append(row.item->file.strInfo);
    }
    return entry;
}

/// Widens the table's first and last date taken by `date` ("YYYY-MM-DD hh:mm:ss"; a date
/// written the EXIF way, "YYYY:MM:DD ...", is read the same).
void noteDate(std::string date, ListTableResult& table) {
    if (date.size() < 10) {
        return;
    }
    if (date[4] == ':' && date[7] == ':') {
        date[4] = '-';
        date[7] = '-';
    }
    if (table.firstDate.empty() || date < table.firstDate) {
        table.firstDate = date;
    }
    if (date > table.lastDate) {
        table.lastDate = date;
    }
}

void showProgress(const RunServices& run, const AlbumJob& job, const PictureRow& row, long long n) {
    const long long i = static_cast<long long>(row.number) + 1;
    if (job.barShares == 0) {
        mainSetStatus(run.status, true,
                      row.displayName + " (" + std::to_string(i) + "/" + std::to_string(n) + ")", 2,
                      1);
    } else {
        // Each album takes an equal share of the bar from 5 to 95.
        const long long galleries = job.barShares;
        const long long part = roundRatio(i * 90, n * galleries);
        const long long value =
            roundRatio((job.number - 1LL) * 90 + (5 + part) * galleries, galleries);
        mainSetStatus(run.status, false, "", 1, static_cast<int>(value));
    }
}

} // namespace

void mainMakeListHtml(const RunServices& run, const PagePlan& pages, Album& album,
                      PictureMeasurer* reads, ListTableResult& table, bool& written,
                      AlbumResult& result) {
    cmWriteLog("mainMakeListHtml", 1, "▽Start Method▽");
    const OutputPaths& paths = album.paths;
    PageInput input{pages, &album.job, &paths, paths.strListPath};
    PageParts parts;
    parts.abandoned = [&run] { return run.status.stopRequested(); };
    TemplatePage page(run, PageKind::List, "mainMakeListHtml", input, parts, result.files);
    PictureRows rows(reads);
    written = page.start(result.failure);
    if (written) {
        const std::string* blockText = nullptr;
        while (page.nextTable(blockText)) {
            mainMakeListTable(run, pages, album, *blockText, paths.strListPath, page.file(), rows,
                              table);
            input.startNo = table.startNo;
            page.tableWritten();
        }
        written = page.finish(result.failure);
    }
    notePage(page.change(), paths.strListPath, result.files);
    cmWriteLog("mainMakeListHtml", 1, std::string("△End Method△ ") + boolText(written));
}

void mainMakeListTable(const RunServices& run, const PagePlan& pages, Album& album,
                       const std::string& instrTable, const std::string& instrFile, PageFile& page,
                       PictureRows& rows, ListTableResult& table) {
    cmWriteLog("mainMakeListTable", 1,
               "Start Method \r\ninstrTable=[" + instrTable + "]\r\ninstrFile=[" + instrFile + "]");
    const AlbumJob& job = album.job;
    table.startNo = -1;
    const std::size_t count = album.items.size();
    const auto n = static_cast<long long>(count);
    table.pictures.reset(count);
    // Headers are read by workers ahead of this loop and come back in listing order; the log
    // and status lines stay here, in the order of the pictures.
    rows.begin(pages, album, instrFile, run.pictureWorkers, run.readers);
    if (job.barShares == 0) {
        run.status.setBarMax(static_cast<double>(roundRatio(n * 10, 8)));
        run.status.setBarValue(0);
    } else {
        mainSetStatus(run.status, true, job.name, 0, 0);
    }

    // A folder tree's albums share the table block: it is split once for the run.
    std::optional<RowTemplate> ownRows;
    RowTemplate& rowTemplate = run.pageStore != nullptr
                                   ? run.pageStore->memo().rowTemplate(instrTable)
                                   : ownRows.emplace(instrTable);
    PictureRow row;
    std::string rowText;
    while (!run.status.stopRequested() && rows.next(pages, album, row)) {
        const std::string sizeText = sizeAttributes(row);
        rowTemplate.fill(TableCell{row, sizeText}, rowText);

        IndexPictures& shown = table.pictures;
        shown.entries[row.number] = pictureEntry(job, row);
        if (row.kind == ItemKind::Video) {
            shown.videos.resize(count);
            shown.videos[row.number] = {row.videoLink, durationSeconds(row.durationMs),
                                        row.videoType};
        } else if (!row.motionLink.empty()) {
            // A Live Photo: its motion in the video array too, marked so the viewer shows the
            // still and plays the motion on request.
            shown.videos.resize(count);
            shown.videos[row.number] = {row.motionLink, durationSeconds(row.motionMs),
                                        row.motionType, kMotionMark};
        }
        if (!row.animationLink.empty()) {
            shown.animations.resize(count);
            // An image in the first field, a video (link, type) after it: a template that
            // knows only the first shows a moving GIF's MP4 copy as its still.
            shown.animations[row.number] =
                row.animationType.empty()
                    ? std::vector<std::string>{row.animationLink}
                    : std::vector<std::string>{"", row.animationLink, row.animationType};
        }
        if (!row.thumbWebpLink.empty()) {
            shown.webps.resize(count);
            shown.webps[row.number] = {row.thumbWebpLink, row.thumb2xWebpLink};
        }
        if (!job.startName.empty() && textEquals(job.startName, row.item->name())) {
            table.startNo = static_cast<long>(row.number);
        }
        // Its entry on the page that lists it: the first item's thumbnail is its cover, or
        // the item its planner names as the cover.
        if (!job.upPage.empty() &&
            (row.number == 0 ||
             (!job.coverName.empty() && textEquals(job.coverName, row.item->name())))) {
            table.menuItem = relativeLink(job.upPage, row.thumbPath) + "," + sizeText;
            table.coverPath = row.thumbPath;
            table.coverSize = sizeText;
        }
        if (job.inTree && row.item->shooting) {
            noteDate(row.item->shooting->dateTaken, table);
        }
        page.writeLine(rowText);
        showProgress(run, job, row, n);
    }
    cmWriteLog("mainMakeListTable", 1, "△End Method△");
}

} // namespace mivo
