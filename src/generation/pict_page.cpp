#include <string>

#include "common/log.h"
#include "generation/page_text.h"
#include "generation/pages.h"
#include "generation/template.h"

namespace mivo {

namespace {

class PictPageLines : public TemplateLineHandler {
  public:
    PictPageLines(const MakeContext& ctx, int inintIndex, const std::string& instrPictPath,
                  const std::string& instrIndexLink, const std::string& instrLink1Name,
                  const std::string& instrLink1Url, const std::string& instrLink2Name,
                  const std::string& instrLink2Url, const std::string& instrFilelistFlag)
        : ctx_(ctx), indexLink_(escapeHtmlText(instrIndexLink)),
          // In menu mode the link names are the neighbours' gallery names: text, not markup.
          link1Name_(ctx.settings.menuMode() ? escapeHtmlText(instrLink1Name) : instrLink1Name),
          link1Url_(instrLink1Url),
          link2Name_(ctx.settings.menuMode() ? escapeHtmlText(instrLink2Name) : instrLink2Name),
          link2Url_(instrLink2Url) {
        const MakeSettings& s = ctx_.settings;
        const bool useFilelist = instrFilelistFlag == "1";
        widthNo_ = useFilelist ? s.TextFilelistWidth : "0";
        heightNo_ = useFilelist ? s.TextFilelistHeight : "0";
        if (useFilelist && inintIndex >= 0 &&
            static_cast<std::size_t>(inintIndex) < ctx_.state.gstrFilelistHead.size()) {
            filelistHead_ = ctx_.state.gstrFilelistHead[static_cast<std::size_t>(inintIndex)];
        }
        // In menu mode link 0 leads back to the menu page.
        link0Url_ = s.menuMode() ? escapeHtmlText(relativeLink(instrPictPath, s.gstrMenuPath))
                                 : s.TextLinkURL[0];
    }

    void copiedLine(const std::string& line, PageFile& page) override {
        const MakeSettings& s = ctx_.settings;
        std::string text = replacePlaceholder(line, "MV_TITLE", s.TextTitle);
        text = replacePlaceholder(text, "MV_SUB_TITLE", s.TextTitleS);
        text = replacePlaceholder(text, "MV_BODY", s.TextBody);
        text = replacePlaceholder(text, "MV_INDEX_HTML", indexLink_);
        // The heading is data from a file: it goes in as the body of a script string whose
        // characters are harmless in markup too, wherever a template places it.
        const bool scriptData = text.find("MV_FILELIST") != std::string::npos;
        if (scriptData) {
            text = replacePlaceholder(text, "MV_FILELIST", escapeScriptData(filelistHead_));
        }
        text = replacePlaceholder(text, "MV_WIDTH_NO", widthNo_);
        text = replacePlaceholder(text, "MV_HEIGHT_NO", heightNo_);
        text = replacePlaceholder(text, "MV_LINK_NAME0", s.TextLinkName[0]);
        text = replacePlaceholder(text, "MV_LINK_NAME1", link1Name_);
        text = replacePlaceholder(text, "MV_LINK_NAME2", link2Name_);
        text = replacePlaceholder(text, "MV_LINK_URL0", link0Url_);
        text = replacePlaceholder(text, "MV_LINK_URL1", link1Url_);
        text = replacePlaceholder(text, "MV_LINK_URL2", link2Url_);
        if (scriptData) {
            page.writeScriptLine(text);
        } else {
            page.writeLine(text);
        }
    }

    void slideLine(const std::string& line, PageFile& page) override {
        std::string text = replacePlaceholder(line, "MV_INDEX_HTML", indexLink_);
        text = replacePlaceholder(text, "MV_SLIDE_TIME", ctx_.settings.TextSlideTime);
        page.writeLine(text);
    }

  private:
    const MakeContext& ctx_;
    std::string indexLink_;
    std::string link1Name_;
    const std::string& link1Url_;
    std::string link2Name_;
    const std::string& link2Url_;
    std::string widthNo_;
    std::string heightNo_;
    std::string filelistHead_;
    std::string link0Url_;
};

} // namespace

void mainMakePictHtml(MakeContext& ctx, int inintIndex, const std::string& instrPictPath,
                      const std::string& instrIndexLink, const std::string& instrLink1Name,
                      const std::string& instrLink1Url, const std::string& instrLink2Name,
                      const std::string& instrLink2Url, const std::string& instrFilelistFlag) {
    cmWriteLog("mainMakePictHtml", 1, "▽Start Method▽");
    PictPageLines lines(ctx, inintIndex, instrPictPath, instrIndexLink, instrLink1Name,
                        instrLink1Url, instrLink2Name, instrLink2Url, instrFilelistFlag);
    TemplateCopy copy;
    copy.routine = "mainMakePictHtml";
    copy.templateName = "pict.html";
    copy.pagePath = instrPictPath;
    copy.slideBlock = true;
    copy.slideShow = ctx.settings.CheckSlideShow == 1;
    copyTemplate(ctx.settings, copy, lines);
    cmWriteLog("mainMakePictHtml", 1, "△End Method△");
}

} // namespace mivo
