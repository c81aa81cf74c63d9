#include <string>

#include "common/log.h"
#include "generation/page_text.h"
#include "generation/pages.h"
#include "generation/template.h"

namespace mivo {

namespace {

class PictPageLines : public TemplateLineHandler {
  public:
    PictPageLines(const MakeContext& ctx, const GalleryJob& job, const OutputPaths& paths)
        : ctx_(ctx), indexLink_(escapeHtmlText(paths.strIndexLink)),
          // In menu mode the link names are the neighbours' gallery names: text, not markup.
          link1Name_(job.menu ? escapeHtmlText(job.link1Name) : job.link1Name),
          link1Url_(job.link1Url),
          link2Name_(job.menu ? escapeHtmlText(job.link2Name) : job.link2Name),
          link2Url_(job.link2Url), slideTime_(ctx.settings.TextSlideTime) {
        const Settings& s = ctx_.settings;
        widthNo_ = job.useFilelist ? std::to_string(s.TextFilelistWidth) : "0";
        heightNo_ = job.useFilelist ? std::to_string(s.TextFilelistHeight) : "0";
        if (job.useFilelist && job.index() < ctx_.state.gstrFilelistHead.size()) {
            filelistHead_ = ctx_.state.gstrFilelistHead[job.index()];
        }
        // In menu mode link 0 leads back to the menu page.
        link0Url_ = s.menuMode() ? escapeHtmlText(relativeLink(paths.strPictPath, s.gstrMenuPath))
                                 : s.TextLinkURL[0];
    }

    void copiedLine(const std::string& line, PageFile& page) override {
        const Settings& s = ctx_.settings;
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
        text = replacePlaceholder(text, "MV_SLIDE_TIME", slideTime_);
        page.writeLine(text);
    }

  private:
    const MakeContext& ctx_;
    std::string indexLink_;
    std::string link1Name_;
    const std::string& link1Url_;
    std::string link2Name_;
    const std::string& link2Url_;
    std::string slideTime_;
    std::string widthNo_;
    std::string heightNo_;
    std::string filelistHead_;
    std::string link0Url_;
};

} // namespace

bool mainMakePictHtml(MakeContext& ctx, const GalleryJob& job, const OutputPaths& paths) {
    cmWriteLog("mainMakePictHtml", 1, "▽Start Method▽");
    PictPageLines lines(ctx, job, paths);
    TemplateCopy copy;
    copy.routine = "mainMakePictHtml";
    copy.templateName = "pict.html";
    copy.pagePath = paths.strPictPath;
    copy.slideBlock = true;
    copy.slideShow = ctx.settings.CheckSlideShow;
    const bool ok = copyTemplate(ctx.files, copy, lines);
    if (!ok) {
        ctx.state.failure = copy.error;
    }
    cmWriteLog("mainMakePictHtml", 1, "△End Method△");
    return ok;
}

} // namespace mivo
