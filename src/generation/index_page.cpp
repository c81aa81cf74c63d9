#include <algorithm>
#include <string>
#include <vector>

#include "common/log.h"
#include "common/text.h"
#include "generation/page_text.h"
#include "generation/pages.h"
#include "generation/template.h"

namespace mivo {

namespace {

class IndexPageLines : public TemplateLineHandler {
  public:
    IndexPageLines(const MakeContext& ctx, const std::string& listLink, const std::string& pictLink,
                   const std::string& subTitle, const std::vector<std::string>& picEntries)
        : ctx_(ctx), listLink_(escapeHtmlText(listLink)), pictLink_(escapeHtmlText(pictLink)),
          // In menu mode the sub-title is the gallery's name: text, not markup.
          titleS_(ctx.settings.menuMode() ? escapeHtmlText(subTitle) : subTitle),
          entries_(picEntries), startType_(ctx.settings.OptionStart == 0 ? "0" : "1"),
          slideTime_(ctx.settings.TextSlideTime) {}

    void copiedLine(const std::string& line, PageFile& page) override {
        std::string text = replacePlaceholder(line, "MV_TITLE", ctx_.settings.TextTitle);
        text = replacePlaceholder(text, "MV_SUB_TITLE", titleS_);
        text = replacePlaceholder(text, "MV_LIST_HTML", listLink_);
        text = replacePlaceholder(text, "MV_PICT_HTML", pictLink_);
        text = replacePlaceholder(text, "MV_START_TYPE", startType_);
        if (text.find("MV_LIST_ARRAY") == std::string::npos) {
            page.writeLine(text);
            return;
        }
        // The whole line gives way to the picture array and one empty line.
        const long count = cmCountArray(entries_);
        std::string arrayLine;
        for (long k = 0; k < count; ++k) {
            arrayLine.assign("aryPicList[");
            arrayLine.append(std::to_string(k));
            arrayLine.append("] = \"");
            arrayLine.append(cleanPicListElement(entries_[static_cast<std::size_t>(k)]));
            arrayLine.append("\";");
            page.writeScriptLine(arrayLine);
        }
        writeQuotedFields(page);
        writeExif(page);
        page.writeLine("");
    }

    void slideLine(const std::string& line, PageFile& page) override {
        page.writeLine(replacePlaceholder(line, "MV_SLIDE_TIME", slideTime_));
    }

  private:
    /// aryPicInfo[k]: the filelist fields of picture k as a script array, for the rows that
    /// quoted a field; written only when there is such a row, so other pages stay as they were.
    void writeQuotedFields(PageFile& page) const {
        const std::vector<std::vector<std::string>>& quoted = ctx_.state.picQuotedFields;
        const std::size_t count = std::min(quoted.size(), entries_.size());
        bool declared = false;
        std::string line;
        for (std::size_t k = 0; k < count; ++k) {
            if (quoted[k].empty()) {
                continue;
            }
            if (!declared) {
                page.writeLine("var aryPicInfo = new Array();");
                declared = true;
            }
            line.assign("aryPicInfo[").append(std::to_string(k)).append("] = [");
            for (std::size_t f = 0; f < quoted[k].size(); ++f) {
                line.append(f == 0 ? "\"" : ", \"")
                    .append(escapeScriptData(quoted[k][f]))
                    .append("\"");
            }
            line.append("];");
            page.writeScriptLine(line);
        }
    }

    /// aryPicExif[k]: picture k's shooting data for the picture view (date taken, camera,
    /// lens, exposure, f-number, ISO, focal length), for the pictures that have any.
    void writeExif(PageFile& page) const {
        if (!ctx_.settings.CheckExif) {
            return;
        }
        const std::vector<ExifInfo>& all = ctx_.state.picExif;
        const std::size_t count = std::min(all.size(), entries_.size());
        bool declared = false;
        std::string line;
        for (std::size_t k = 0; k < count; ++k) {
            const ExifInfo& e = all[k];
            if (e.empty()) {
                continue;
            }
            if (!declared) {
                page.writeLine("var aryPicExif = new Array();");
                declared = true;
            }
            line.assign("aryPicExif[").append(std::to_string(k)).append("] = [");
            const std::string* fields[] = {&e.dateTaken, &e.model, &e.lens,       &e.exposure,
                                           &e.fNumber,   &e.iso,   &e.focalLength};
            bool firstField = true;
            for (const std::string* f : fields) {
                line.append(firstField ? "\"" : ", \"").append(escapeScriptData(*f)).append("\"");
                firstField = false;
            }
            line.append("];");
            page.writeScriptLine(line);
        }
    }

    const MakeContext& ctx_;
    std::string listLink_;
    std::string pictLink_;
    std::string titleS_;
    const std::vector<std::string>& entries_;
    std::string startType_;
    std::string slideTime_;
};

} // namespace

bool mainMakeIndexHtml(MakeContext& ctx, const GalleryJob& job, const OutputPaths& paths,
                       const std::vector<std::string>& picEntries) {
    cmWriteLog("mainMakeIndexHtml", 1, "▽Start Method▽");
    IndexPageLines lines(ctx, paths.strListLink, paths.strPictLink, job.name, picEntries);
    TemplateCopy copy;
    copy.routine = "mainMakeIndexHtml";
    copy.templateName = "index.html";
    copy.pagePath = paths.strIndexPath;
    copy.slideBlock = true;
    copy.slideShow = ctx.settings.CheckSlideShow;
    const bool ok = copyTemplate(ctx.files, copy, lines);
    if (!ok) {
        ctx.state.failure = copy.error;
    }
    cmWriteLog("mainMakeIndexHtml", 1, "△End Method△");
    return ok;
}

} // namespace mivo
