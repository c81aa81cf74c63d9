#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/page_text.h"
#include "generation/pages.h"
#include "generation/picture_info.h"
#include "generation/picture_measure.h"
#include "generation/status.h"
#include "generation/template.h"

namespace mivo {

namespace {

long long numberOrZero(const std::string& text) {
    long long value = 0;
    return cmParseWholeNumber(text, value) ? value : 0;
}

// num / den to the nearest integer, a half to the even neighbour. One division of two whole
// numbers, so an exact half is seen as one.
long long roundRatio(long long num, long long den) {
    return cmRoundHalfEven(static_cast<double>(num) / static_cast<double>(den));
}

// The size attributes of a full-size picture shown as a thumbnail: the picture scaled in whole
// percent into the thumbnail box.
std::string scaledSizeText(const MakeSettings& settings, const std::string& strWidth,
                           const std::string& strHeight, const std::string& strInfo) {
    const std::string boxText =
        "width=" + settings.TextSamWidth + " height=" + settings.TextSamHeight;
    long long width = numberOrZero(strWidth);
    long long height = numberOrZero(strHeight);
    if (width == 0) {
        // The size is left to filelist.csv: fields counted from 1 after the file name.
        const std::vector<std::string> fields = cmSplitCsv(strInfo);
        const long long widthField = numberOrZero(settings.TextFilelistWidth);
        const long long heightField = numberOrZero(settings.TextFilelistHeight);
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
    const long long boxWidth = numberOrZero(settings.TextSamWidth);
    const long long boxHeight = numberOrZero(settings.TextSamHeight);
    const long long rateW = roundRatio(boxWidth * 100, width);
    const long long rateH = roundRatio(boxHeight * 100, height);
    const long long rate = std::min(rateW, rateH);
    return "width=" + std::to_string(roundRatio(width * rate, 100)) +
           " height=" + std::to_string(roundRatio(height * rate, 100));
}

class ListPageLines : public TemplateLineHandler {
  public:
    ListPageLines(MakeContext& ctx, const std::string& instrFilelistFlag, short inintNo,
                  const std::string& instrPicPath, const std::string& instrListPath,
                  const std::string& instrIndexLink, const std::string& instrTitleS,
                  const std::string& instrLink1Name, const std::string& instrLink1Url,
                  const std::string& instrLink2Name, const std::string& instrLink2Url,
                  std::vector<std::string>& iostrPicEntries, const PictureList& incolFileDatas)
        : ctx_(ctx), flag_(instrFilelistFlag), no_(inintNo), picPath_(instrPicPath),
          listPath_(instrListPath), indexLink_(instrIndexLink), titleS_(instrTitleS),
          link1Name_(instrLink1Name), link1Url_(instrLink1Url), link2Name_(instrLink2Name),
          link2Url_(instrLink2Url), entries_(iostrPicEntries), pictures_(incolFileDatas) {
        // In menu mode link 0 leads back to the menu page.
        link0Url_ = no_ != 0 ? relativeLink(listPath_, ctx_.settings.gstrMenuPath)
                             : ctx_.settings.TextLinkURL[0];
    }

    void copiedLine(const std::string& line, PageFile& page) override {
        const MakeSettings& s = ctx_.settings;
        std::string text = replacePlaceholder(line, "MV_TITLE", s.TextTitle);
        text = replacePlaceholder(text, "MV_SUB_TITLE", titleS_);
        text = replacePlaceholder(text, "MV_BODY", s.TextBody);
        text = replacePlaceholder(text, "MV_START_NO", startNo_);
        text = replacePlaceholder(text, "MV_INDEX_HTML", indexLink_);
        text = replacePlaceholder(text, "MV_LINK_NAME0", s.TextLinkName[0]);
        text = replacePlaceholder(text, "MV_LINK_NAME1", link1Name_);
        text = replacePlaceholder(text, "MV_LINK_NAME2", link2Name_);
        text = replacePlaceholder(text, "MV_LINK_URL0", link0Url_);
        text = replacePlaceholder(text, "MV_LINK_URL1", link1Url_);
        text = replacePlaceholder(text, "MV_LINK_URL2", link2Url_);
        text = replacePlaceholder(text, "MV_ALL_LIST", s.TextAllListWidth);
        page.writeLine(text);
    }

    void slideLine(const std::string& line, PageFile& page) override {
        std::string text = replacePlaceholder(line, "MV_SLIDE_TIME", ctx_.settings.TextSlideTime);
        text = replacePlaceholder(text, "MV_INDEX_HTML", indexLink_);
        page.writeLine(text);
    }

    void tableBlock(std::string& blockText, PageFile& page) override {
        blockText = replacePlaceholder(blockText, "MV_ALL_LIST", ctx_.settings.TextAllListWidth);
        mainMakeListTable(ctx_, no_, picPath_, blockText, listPath_, flag_, page, entries_,
                          pictures_);
        startNo_ = std::to_string(ctx_.state.gintStartNo);
    }

  private:
    MakeContext& ctx_;
    const std::string& flag_;
    short no_;
    const std::string& picPath_;
    const std::string& listPath_;
    const std::string& indexLink_;
    const std::string& titleS_;
    const std::string& link1Name_;
    const std::string& link1Url_;
    const std::string& link2Name_;
    const std::string& link2Url_;
    std::vector<std::string>& entries_;
    const PictureList& pictures_;
    std::string link0Url_;
    std::string startNo_; // empty until the table has been written
};

} // namespace

void mainMakeListHtml(MakeContext& ctx, const std::string& instrFilelistFlag, short inintNo,
                      const std::string& instrPicPath, const std::string& instrListPath,
                      const std::string& instrIndexLink, const std::string& instrTitleS,
                      const std::string& instrLink1Name, const std::string& instrLink1Url,
                      const std::string& instrLink2Name, const std::string& instrLink2Url,
                      std::vector<std::string>& iostrPicEntries, const PictureList& incolFileDatas,
                      bool& outblnOk) {
    cmWriteLog("mainMakeListHtml", 1, "▽Start Method▽");
    ListPageLines lines(ctx, instrFilelistFlag, inintNo, instrPicPath, instrListPath,
                        instrIndexLink, instrTitleS, instrLink1Name, instrLink1Url, instrLink2Name,
                        instrLink2Url, iostrPicEntries, incolFileDatas);
    TemplateCopy copy;
    copy.routine = "mainMakeListHtml";
    copy.templateName = "list.html";
    copy.pagePath = instrListPath;
    copy.tableBlock = true;
    copy.slideBlock = true;
    copy.slideShow = ctx.settings.CheckSlideShow == 1;
    outblnOk = copyTemplate(ctx.settings, copy, lines);
    cmWriteLog("mainMakeListHtml", 1, std::string("△End Method△ ") + cmBoolText(outblnOk));
}

void mainMakeListTable(MakeContext& ctx, short inintNo, const std::string& instrPicPath,
                       const std::string& instrTable, const std::string& instrFile,
                       const std::string& instrFilelistFlag, PageFile& ioPage,
                       std::vector<std::string>& iostrPicEntries,
                       const PictureList& incolFileDatas) {
    cmWriteLog("mainMakeListTable", 1,
               "Start Method \r\ninstrTable=[" + instrTable + "]\r\ninstrFile=[" + instrFile + "]");
    const MakeSettings& s = ctx.settings;
    RunState& state = ctx.state;
    state.gintStartNo = -1;

    const auto n = static_cast<long long>(incolFileDatas.size());
    iostrPicEntries.assign(incolFileDatas.size(), std::string());

    // The gallery's row in menu mode; single mode reads the settings.
    const GalleryEntry* row = nullptr;
    if (inintNo >= 1 && static_cast<std::size_t>(inintNo) <= ctx.rows.size()) {
        row = &ctx.rows[static_cast<std::size_t>(inintNo - 1)];
    }
    bool useThumbnails = false;
    std::string thumbFolder;
    std::string pictureFolder;
    if (inintNo < 1) {
        ctx.status.setBarMax(static_cast<double>(roundRatio(n * 10, 8)));
        ctx.status.setBarValue(0);
        useThumbnails = s.OptionSamH == 1;
        thumbFolder = s.gstrSamPath;
        pictureFolder = s.gstrPicPath;
    } else {
        mainSetStatus(ctx.status, true, row != nullptr ? row->strListName : std::string(), 0, 0);
        if (row != nullptr) {
            useThumbnails = !row->strSamPath.empty();
            thumbFolder = row->strSamPath;
            pictureFolder = row->strPicPath;
        } else {
            pictureFolder = instrPicPath;
        }
    }
    const auto galleries = static_cast<long long>(ctx.rows.size());

    // Headers are read by workers ahead of this loop; sizes come back in listing order, and
    // the log and status lines stay here, in the order of the pictures.
    std::optional<PictureMeasurer> measurer;
    if (n > 0 && picInfoReadsFile(s, instrFilelistFlag)) {
        measurer.emplace(instrPicPath, incolFileDatas, s.pictureWorkers);
    }

    long long i = 0;
    std::string name;
    std::string width;
    std::string height;
    for (const ClassFileData& picture : incolFileDatas) {
        const std::string fullPath = cmAddPath(instrPicPath, picture.strName, kPathSeparator);
        const MeasuredSize size =
            measurer ? measurer->take(static_cast<std::size_t>(i)) : MeasuredSize{};
        mainGetPicInfo(ctx, fullPath, instrFilelistFlag, size, name, width, height);
        cmWriteLog("mainMakeListTable", 3, "<" + fullPath + ">");

        const std::string pictureLink = relativeLink(instrFile, fullPath);
        std::string entry = pictureLink;
        entry.append(",").append(width).append(",").append(height).append(",").append(name);
        if (instrFilelistFlag == "1") {
            entry.append(",").append(picture.strInfo);
        }

        std::string imagePath;
        std::string sizeText;
        if (useThumbnails) {
            imagePath = cmAddPath(thumbFolder, picture.strName, kPathSeparator);
        } else {
            imagePath = cmAddPath(pictureFolder, picture.strName, kPathSeparator);
            sizeText = scaledSizeText(s, width, height, picture.strInfo);
        }
        const std::string imageLink =
            imagePath == fullPath ? pictureLink : relativeLink(instrFile, imagePath);

        std::string rowText = replacePlaceholder(instrTable, "MV_IMG_LINK", std::to_string(i));
        rowText = replacePlaceholder(rowText, "MV_IMG_SRC", imageLink);
        rowText = replacePlaceholder(rowText, "MV_IMG_SIZE", sizeText);
        rowText = replacePlaceholder(rowText, "MV_IMG_NAME", name);

        iostrPicEntries[static_cast<std::size_t>(i)] = std::move(entry);

        if (!s.gstrStartName.empty() && inintNo == 0 &&
            cmTextEquals(s.gstrStartName, picture.strName)) {
            state.gintStartNo = static_cast<int>(i);
        }
        if (inintNo > 0 && i == 0) {
            const auto index = static_cast<std::size_t>(inintNo - 1);
            if (state.gstrMenuItem.size() <= index) {
                state.gstrMenuItem.resize(index + 1);
            }
            state.gstrMenuItem[index] = relativeLink(s.gstrMenuPath, imagePath) + "," + sizeText;
        }

        ioPage.writeLine(rowText);
        ++i;

        if (inintNo < 1) {
            mainSetStatus(ctx.status, true,
                          name + " (" + std::to_string(i) + "/" + std::to_string(n) + ")", 2, 1);
        } else if (galleries > 0) {
            // Each gallery takes an equal share of the bar from 5 to 95.
            const long long part = roundRatio(i * 90, n * galleries);
            const long long value =
                roundRatio((inintNo - 1) * 90 + (5 + part) * galleries, galleries);
            mainSetStatus(ctx.status, false, "", 1, static_cast<int>(value));
        }
    }
    cmWriteLog("mainMakeListTable", 1, "△End Method△");
}

} // namespace mivo
