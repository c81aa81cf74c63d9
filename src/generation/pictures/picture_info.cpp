#include "generation/pictures/picture_info.h"

#include <memory>
#include <string_view>
#include <vector>

#include "common/log.h"
#include "common/paths.h"

namespace mivo {

bool picInfoReadsFile(const PagePlan& pages, bool useFilelist) {
    // Without a width or a height column in filelist.csv the size has to come from the file.
    return !useFilelist || pages.filelistWidthColumn == 0 || pages.filelistHeightColumn == 0;
}

PictureMeasurer* startListTableReads(std::optional<PictureMeasurer>& slot, const PagePlan& pages,
                                     const AlbumJob& job, const PictureList& pictures, int workers,
                                     ReaderThreads* threads) {
    // The caption a picture holds stands in the same header as its shooting data.
    const bool shootingData = pages.readsShootingData || pages.fileCaptions;
    if (pictures.empty() || !(picInfoReadsFile(pages, job.useFilelist) || shootingData)) {
        return nullptr;
    }
    return &slot.emplace(job.picPath, pictures, workers, shootingData, threads);
}

bool filelistGivesCaption(const PagePlan& pages, bool useFilelist, const ClassFileData& file) {
    if (!useFilelist) {
        return false;
    }
    // Split here rather than with cmSplitCsv, whose trace in the log would change.
    std::vector<std::string_view> fields;
    if (file.infoQuoted) {
        fields.assign(file.infoFields.begin(), file.infoFields.end());
    } else {
        std::string_view rest = file.strInfo;
        for (std::size_t comma = rest.find(','); comma != std::string_view::npos;
             comma = rest.find(',')) {
            fields.push_back(rest.substr(0, comma));
            rest.remove_prefix(comma + 1);
        }
        fields.push_back(rest);
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto column = static_cast<long long>(i) + 1;
        if (column == pages.filelistWidthColumn || column == pages.filelistHeightColumn) {
            continue;
        }
        const std::string_view field = fields[i];
        const std::size_t first = field.find_first_not_of(" \t\r\n");
        if (first == std::string_view::npos) {
            continue;
        }
        const std::size_t last = field.find_last_not_of(" \t\r\n");
        const std::string_view text = field.substr(first, last - first + 1);
        if (text.find_first_not_of("0123456789") != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

void mainGetPicInfo(const PagePlan& pages, bool useFilelist, const MeasuredSize& sourceSize,
                    Item& item, std::string& outFileName) {
    // Once per picture: the messages are built only for a log that takes them.
    const bool log = logWants(1);
    if (log) {
        cmWriteLog("mainGetPicInfo", 1, "▽Start Method▽\r\ninstrFilePath=[" + item.path + "]");
    }

    // The display name from the path, as this routine always took it: its trace (cmSplitPath's
    // lines) is part of the log users compare between versions.
    std::string folder;
    std::string name;
    cmSplitPath(item.path, true, kPathSeparator, folder, name);
    outFileName = cmCutExt(name);
    item.width = 0;
    item.height = 0;
    // The size may come from filelist.csv; the header is still where the shooting data is.
    item.shooting.reset();
    if (pages.readsShootingData && !sourceSize.exif.empty()) {
        item.shooting = std::make_unique<ExifInfo>(sourceSize.exif);
    }
    item.fileCaption.clear();
    if (pages.fileCaptions && !sourceSize.exif.caption.empty() &&
        !filelistGivesCaption(pages, useFilelist, item.file)) {
        item.fileCaption = sourceSize.exif.caption;
    }
    if (picInfoReadsFile(pages, useFilelist)) {
        if (sourceSize.ok) {
            item.width = sourceSize.width;
            item.height = sourceSize.height;
        } else {
            // The gallery is still built; the thumbnail table falls back to its box size.
            cmWriteLog("mainGetPicInfo", 4, "PicInfoError [" + item.path + "]");
        }
    }

    if (log) {
        cmWriteLog("mainGetPicInfo", 1,
                   "△End Method△\r\noutFileName=[" + outFileName + "]\r\noutstrWidth=[" +
                       std::to_string(item.width) + "]\r\noutstrHeight=[" +
                       std::to_string(item.height) + "]");
    }
}

} // namespace mivo
