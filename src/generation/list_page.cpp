#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/gallery_copies.h"
#include "generation/page_text.h"
#include "generation/pages.h"
#include "generation/picture_info.h"
#include "generation/picture_measure.h"
#include "generation/status.h"
#include "generation/template.h"
#include "generation/thumb_size.h"

namespace mivo {

namespace {

// The table block split once at its placeholders: each row is put together from the pieces
// instead of searching the block six times per picture. The values are never searched, so a
// file name that happens to hold a placeholder's name stays as it is.
class RowTemplate {
  public:
    enum Field { kLink, kSrc, kSize, kHiDpi, kName, kHref, kFieldCount };
    using Values = std::array<std::string, kFieldCount>;

    explicit RowTemplate(const std::string& text) {
        static constexpr std::array<std::string_view, kFieldCount> kNames = {
            "MV_IMG_LINK", "MV_IMG_SRC", "MV_IMG_SIZE", "MV_IMG_2X", "MV_IMG_NAME", "MV_IMG_HREF"};
        std::vector<std::pair<std::size_t, int>> hits; // position, field
        for (int field = 0; field < kFieldCount; ++field) {
            const std::string_view name = kNames[static_cast<std::size_t>(field)];
            for (std::size_t at = textFind(text, name, 0, kCompareText); at != std::string::npos;
                 at = textFind(text, name, at + name.size(), kCompareText)) {
                hits.emplace_back(at, field);
            }
        }
        std::sort(hits.begin(), hits.end());
        std::size_t pos = 0;
        for (const auto& [at, field] : hits) {
            if (at < pos) {
                continue; // the names do not overlap; kept safe all the same
            }
            literals_.push_back(text.substr(pos, at - pos));
            fields_.push_back(field);
            pos = at + kNames[static_cast<std::size_t>(field)].size();
        }
        literals_.push_back(text.substr(pos));
    }

    void fill(const Values& values, std::string& out) const {
        out.clear();
        for (std::size_t k = 0; k < fields_.size(); ++k) {
            out += literals_[k];
            out += values[static_cast<std::size_t>(fields_[k])];
        }
        out += literals_.back();
    }

  private:
    std::vector<std::string> literals_; // one more than fields_
    std::vector<int> fields_;
};

long long numberOrZero(const std::string& text) {
    long long value = 0;
    return parseWholeNumber(text, value) ? value : 0;
}

// num / den to the nearest integer, a half to the even neighbour. One division of two whole
// numbers, so an exact half is seen as one.
long long roundRatio(long long num, long long den) {
    return roundHalfEven(static_cast<double>(num) / static_cast<double>(den));
}

// The size attributes of a full-size picture shown as a thumbnail: the picture scaled in whole
// percent into the thumbnail box.
std::string scaledSizeText(const Settings& settings, const std::string& strWidth,
                           const std::string& strHeight, const ClassFileData& picture) {
    const long long boxWidth = thumbnailBoxSide(settings.TextSamWidth);
    const long long boxHeight = thumbnailBoxSide(settings.TextSamHeight);
    std::string boxText =
        "width=" + std::to_string(boxWidth) + " height=" + std::to_string(boxHeight);
    long long width = numberOrZero(strWidth);
    long long height = numberOrZero(strHeight);
    if (width == 0) {
        // The size is left to filelist.csv: fields counted from 1 after the file name.
        const std::vector<std::string> fields =
            picture.infoQuoted ? picture.infoFields : cmSplitCsv(picture.strInfo);
        const long long widthField = settings.TextFilelistWidth;
        const long long heightField = settings.TextFilelistHeight;
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

// In menu mode the sub-title and the neighbours' link names are gallery names: text, not
// markup. In single mode they are the user's own settings and go in as they are.
std::string menuText(const GalleryJob& job, const std::string& text) {
    return job.menu ? escapeHtmlText(text) : text;
}

class ListPageLines : public TemplateLineHandler {
  public:
    ListPageLines(MakeContext& ctx, const GalleryJob& job, const OutputPaths& paths,
                  std::vector<std::string>& picEntries, const PictureList& pictures)
        : ctx_(ctx), job_(job), paths_(paths), indexLink_(escapeHtmlText(paths.strIndexLink)),
          titleS_(menuText(job, job.name)), link1Name_(menuText(job, job.link1Name)),
          link2Name_(menuText(job, job.link2Name)), entries_(picEntries), pictures_(pictures),
          allList_(ctx.settings.TextAllListWidth) {
        // In menu mode link 0 leads back to the menu page.
        link0Url_ =
            job.menu ? escapeHtmlText(relativeLink(paths.strListPath, ctx_.settings.gstrMenuPath))
                     : ctx_.settings.TextLinkURL[0];
    }

    void copiedLine(const std::string& line, PageFile& page) override {
        const Settings& s = ctx_.settings;
        std::string text = replacePlaceholder(line, "MV_TITLE", s.TextTitle);
        text = replacePlaceholder(text, "MV_SUB_TITLE", titleS_);
        text = replacePlaceholder(text, "MV_BODY", s.TextBody);
        text = replacePlaceholder(text, "MV_START_NO", startNo_);
        text = replacePlaceholder(text, "MV_INDEX_HTML", indexLink_);
        text = replacePlaceholder(text, "MV_LINK_NAME0", s.TextLinkName[0]);
        text = replacePlaceholder(text, "MV_LINK_NAME1", link1Name_);
        text = replacePlaceholder(text, "MV_LINK_NAME2", link2Name_);
        text = replacePlaceholder(text, "MV_LINK_URL0", link0Url_);
        text = replacePlaceholder(text, "MV_LINK_URL1", job_.link1Url);
        text = replacePlaceholder(text, "MV_LINK_URL2", job_.link2Url);
        text = replacePlaceholder(text, "MV_ALL_LIST", allList_);
        page.writeLine(text);
    }

    void slideLine(const std::string& line, PageFile& page) override {
        std::string text = replacePlaceholder(line, "MV_SLIDE_TIME", ctx_.settings.TextSlideTime);
        text = replacePlaceholder(text, "MV_INDEX_HTML", indexLink_);
        page.writeLine(text);
    }

    void tableBlock(std::string& blockText, PageFile& page) override {
        blockText = replacePlaceholder(blockText, "MV_ALL_LIST", allList_);
        mainMakeListTable(ctx_, job_, blockText, paths_.strListPath, page, entries_, pictures_);
        startNo_ = std::to_string(ctx_.state.gintStartNo);
    }

    bool abandoned() const override { return ctx_.status.stopRequested(); }

  private:
    MakeContext& ctx_;
    const GalleryJob& job_;
    const OutputPaths& paths_;
    std::string indexLink_;
    std::string titleS_;
    std::string link1Name_;
    std::string link2Name_;
    std::vector<std::string>& entries_;
    const PictureList& pictures_;
    std::string allList_;
    std::string link0Url_;
    std::string startNo_; // empty until the table has been written
};

} // namespace

void mainMakeListHtml(MakeContext& ctx, const GalleryJob& job, const OutputPaths& paths,
                      const PictureList& pictures, std::vector<std::string>& picEntries,
                      bool& written) {
    cmWriteLog("mainMakeListHtml", 1, "▽Start Method▽");
    ListPageLines lines(ctx, job, paths, picEntries, pictures);
    TemplateCopy copy;
    copy.routine = "mainMakeListHtml";
    copy.templateName = "list.html";
    copy.pagePath = paths.strListPath;
    copy.tableBlock = true;
    copy.slideBlock = true;
    copy.slideShow = ctx.settings.CheckSlideShow;
    written = copyTemplate(ctx.files, copy, lines);
    if (!written) {
        ctx.state.failure = copy.error;
    }
    cmWriteLog("mainMakeListHtml", 1, std::string("△End Method△ ") + boolText(written));
}

void mainMakeListTable(MakeContext& ctx, const GalleryJob& job, const std::string& instrTable,
                       const std::string& instrFile, PageFile& page,
                       std::vector<std::string>& picEntries, const PictureList& pictures) {
    cmWriteLog("mainMakeListTable", 1,
               "Start Method \r\ninstrTable=[" + instrTable + "]\r\ninstrFile=[" + instrFile + "]");
    const Settings& s = ctx.settings;
    RunState& state = ctx.state;
    state.gintStartNo = -1;

    const auto n = static_cast<long long>(pictures.size());
    picEntries.assign(pictures.size(), std::string());
    state.picQuotedFields.assign(pictures.size(), std::vector<std::string>());
    state.picExif.assign(pictures.size(), ExifInfo());
    const std::string pageFolder = pageFolderOf(instrFile);
    const std::string thumbFolder = cmAddPath(pageFolder, kThumbFolder, kPathSeparator);
    const std::string viewFolder = cmAddPath(pageFolder, kViewFolder, kPathSeparator);
    const FolderLinks pictureLinks(instrFile, job.picPath);
    const FolderLinks viewLinks(instrFile, viewFolder);
    const FolderLinks thumbLinks(instrFile, thumbFolder);
    const FolderLinks thumb2xLinks(instrFile,
                                   cmAddPath(thumbFolder, kThumb2xFolder, kPathSeparator));
    const FolderLinks samLinks(instrFile, job.samPath);

    if (!job.menu) {
        ctx.status.setBarMax(static_cast<double>(roundRatio(n * 10, 8)));
        ctx.status.setBarValue(0);
    } else {
        mainSetStatus(ctx.status, true, job.name, 0, 0);
    }
    const std::string& instrPicPath = job.picPath;
    const auto galleries = static_cast<long long>(ctx.rows.size());

    // Headers are read by workers ahead of this loop; sizes come back in listing order, and
    // the log and status lines stay here, in the order of the pictures.
    // The shooting data stands in the same header as the size: read it there, once. The run
    // may have started reading already; a second table block reads again for itself.
    PictureMeasurer* measurer = std::exchange(ctx.measurer, nullptr);
    std::optional<PictureMeasurer> ownMeasurer;
    if (measurer == nullptr) {
        measurer = startListTableReads(ownMeasurer, ctx, job, pictures);
    }

    long long i = 0;
    std::string name;
    std::string width;
    std::string height;
    const RowTemplate row(instrTable);
    RowTemplate::Values values;
    std::string rowText;
    for (const ClassFileData& picture : pictures) {
        if (ctx.status.stopRequested()) {
            break; // the page is abandoned: the old list page stays
        }
        const std::string fullPath = cmAddPath(instrPicPath, picture.strName, kPathSeparator);
        const MeasuredSize size =
            measurer ? measurer->take(static_cast<std::size_t>(i)) : MeasuredSize{};
        ExifInfo exif;
        mainGetPicInfo(ctx, fullPath, job.useFilelist, size, name, width, height,
                       s.CheckExif ? &exif : nullptr);
        if (logWants(3)) {
            cmWriteLog("mainMakeListTable", 3, "<" + fullPath + ">");
        }

        const std::string pictureLink = pictureLinks.to(picture.strName);
        // With copies made, the picture view shows the display copy; the original stays one
        // click away through its own link.
        const WebCopy* copy = galleryCopy(ctx, static_cast<std::size_t>(i));
        std::string viewLink = pictureLink;
        std::string entry = pictureLink;
        if (copy != nullptr) {
            // The fragment is ignored when the copy is loaded; the picture view reads the
            // original's link from it ("#" in a path is always written as "%23").
            viewLink = viewLinks.to(copy->fileName);
            entry = viewLink;
            entry.append("#original=").append(pictureLink);
        }
        entry.append(",").append(width).append(",").append(height).append(",").append(name);
        if (job.useFilelist) {
            entry.append(",").append(picture.strInfo);
        }

        std::string imagePath;
        std::string imageLink;
        std::string sizeText;
        std::string hiDpi;
        if (job.useThumbnails) {
            imagePath = cmAddPath(job.samPath, picture.strName, kPathSeparator);
            imageLink = samLinks.to(picture.strName);
        } else if (copy != nullptr) {
            // Mivo's own thumbnails, used as a thumbnail folder is; their sizes are known.
            imagePath = cmAddPath(thumbFolder, copy->fileName, kPathSeparator);
            imageLink = thumbLinks.to(copy->fileName);
            sizeText = "width=" + std::to_string(copy->sizes.thumbWidth) +
                       " height=" + std::to_string(copy->sizes.thumbHeight);
            const std::string link2x = thumb2xLinks.to(copy->fileName);
            hiDpi = " srcset=\"" + escapeHtmlText(srcsetLink(link2x)) + " 2x\"";
        } else {
            imagePath = fullPath;
            imageLink = pictureLink;
            sizeText = scaledSizeText(s, width, height, picture);
        }

        values[RowTemplate::kLink] = std::to_string(i);
        // The table block is markup: a file name is text there, never tags or attributes.
        values[RowTemplate::kSrc] = escapeHtmlText(imageLink);
        values[RowTemplate::kSize] = sizeText;
        // The 2x thumbnail for dense screens; nothing without copies.
        values[RowTemplate::kHiDpi] = std::move(hiDpi);
        values[RowTemplate::kName] = escapeHtmlText(name);
        // The picture (or its display copy), so a thumbnail is a plain link to it without script.
        values[RowTemplate::kHref] = escapeHtmlText(viewLink);
        row.fill(values, rowText);

        picEntries[static_cast<std::size_t>(i)] = std::move(entry);
        state.picExif[static_cast<std::size_t>(i)] = std::move(exif);
        if (job.useFilelist && picture.infoQuoted) {
            state.picQuotedFields[static_cast<std::size_t>(i)] = picture.infoFields;
        }

        if (!s.gstrStartName.empty() && !job.menu && textEquals(s.gstrStartName, picture.strName)) {
            state.gintStartNo = static_cast<long>(i);
        }
        if (job.menu && i == 0) {
            const std::size_t index = job.index();
            if (state.gstrMenuItem.size() <= index) {
                state.gstrMenuItem.resize(index + 1);
            }
            state.gstrMenuItem[index] = relativeLink(s.gstrMenuPath, imagePath) + "," + sizeText;
        }

        page.writeLine(rowText);
        ++i;

        if (!job.menu) {
            mainSetStatus(ctx.status, true,
                          name + " (" + std::to_string(i) + "/" + std::to_string(n) + ")", 2, 1);
        } else if (galleries > 0) {
            // Each gallery takes an equal share of the bar from 5 to 95.
            const long long part = roundRatio(i * 90, n * galleries);
            const long long value =
                roundRatio((job.number - 1LL) * 90 + (5 + part) * galleries, galleries);
            mainSetStatus(ctx.status, false, "", 1, static_cast<int>(value));
        }
    }
    cmWriteLog("mainMakeListTable", 1, "△End Method△");
}

} // namespace mivo
