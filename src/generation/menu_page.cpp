#include <string>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/page_text.h"
#include "generation/pages.h"
#include "generation/template.h"

namespace mivo {

namespace {

class MenuPageLines : public TemplateLineHandler {
  public:
    MenuPageLines(const MakeContext& ctx, const std::string& rootLink)
        : ctx_(ctx), rootLink_(rootLink) {}

    void copiedLine(const std::string& line, PageFile& page) override {
        const Settings& s = ctx_.settings;
        std::string text = replacePlaceholder(line, "MV_TITLE", s.TextTitle);
        text = replacePlaceholder(text, "MV_BODY", s.TextBody);
        text = replacePlaceholder(text, "MV_ALL_WIDTH", s.TextAllListWidth);
        if (text.find("MV_MENU_ARRAY") == std::string::npos) {
            page.writeLine(text);
            return;
        }
        // One line per gallery in place of the placeholder's line.
        std::string element;
        std::string arrayLine;
        for (std::size_t k = 0; k < ctx_.rows.size(); ++k) {
            const long long number = static_cast<long long>(k) + 1;
            // The name cannot hold the separator, so the link after it is always the maker's.
            element.assign(menuListName(ctx_.rows[k].strListName));
            element.append(",").append(rootLink_).append("/").append(formatThreeDigits(number));
            element.append("/index.html,");
            if (k < ctx_.state.gstrMenuItem.size()) {
                element.append(ctx_.state.gstrMenuItem[k]);
            }
            arrayLine.assign("aryMenuList[");
            arrayLine.append(std::to_string(k));
            arrayLine.append("] = \"");
            arrayLine.append(escapeMenuListElement(element));
            arrayLine.append("\";");
            page.writeScriptLine(arrayLine);
        }
    }

  private:
    const MakeContext& ctx_;
    const std::string& rootLink_;
};

} // namespace

bool mainMakeMenuHtml(MakeContext& ctx) {
    cmWriteLog("mainMakeMenuHtml", 1, "▽Start Method▽");
    const Settings& s = ctx.settings;

    // The numbered gallery folders lie under the menu page's folder, or under its sub-folder
    // gstrMenuHtmlPath when that is set.
    std::string folder;
    std::string name;
    cmSplitPath(s.gstrMenuPath, true, kPathSeparator, folder, name);
    const std::string root =
        s.gstrMenuHtmlPath.empty() ? folder : cmAddPath(folder, s.gstrMenuHtmlPath, kPathSeparator);
    const std::string rootLink = relativeLink(s.gstrMenuPath, root);

    MenuPageLines lines(ctx, rootLink);
    TemplateCopy copy;
    copy.routine = "mainMakeMenuHtml";
    copy.templateName = "menu.html";
    copy.pagePath = s.gstrMenuPath;
    const bool ok = copyTemplate(ctx.files, copy, lines);
    if (!ok) {
        ctx.state.failure = copy.error;
    }
    cmWriteLog("mainMakeMenuHtml", 1, "△End Method△");
    return ok;
}

} // namespace mivo
