#include <string>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/pages/page_writer.h"
#include "generation/pages/pages.h"
#include "generation/plan/page_text.h"

namespace mivo {

namespace {

/// One line per gallery in place of the array placeholder's line.
void writeMenuArray(const std::string& rootLink, const std::vector<GalleryJob>& galleries,
                    const std::vector<GalleryResult>& results, PageFile& page) {
    std::string element;
    std::string line;
    for (std::size_t k = 0; k < galleries.size(); ++k) {
        // The name cannot hold the separator, so the link after it is always the maker's.
        element.assign(menuListName(galleries[k].name));
        element.append(",").append(rootLink).append("/");
        element.append(formatThreeDigits(galleries[k].number)).append("/index.html,");
        if (k < results.size()) {
            element.append(results[k].menuItem);
        }
        line.assign("aryMenuList[").append(std::to_string(k)).append("] = \"");
        line.append(escapeMenuListElement(element)).append("\";");
        page.writeScriptLine(line);
    }
}

} // namespace

bool mainMakeMenuHtml(const RunServices& run, const PagePlan& pages,
                      const std::vector<GalleryJob>& galleries,
                      const std::vector<GalleryResult>& results, std::string& failure) {
    cmWriteLog("mainMakeMenuHtml", 1, "▽Start Method▽");
    // The numbered gallery folders lie under the menu page's folder, or under its sub-folder
    // gstrMenuHtmlPath when that is set.
    std::string folder;
    std::string name;
    cmSplitPath(pages.menuPath, true, kPathSeparator, folder, name);
    const std::string root =
        pages.menuHtmlPath.empty() ? folder : cmAddPath(folder, pages.menuHtmlPath, kPathSeparator);
    const std::string rootLink = relativeLink(pages.menuPath, root);

    PageInput input{pages, nullptr, nullptr, pages.menuPath};
    PageParts parts;
    parts.array = [&](PageFile& page) { writeMenuArray(rootLink, galleries, results, page); };
    const bool ok =
        writeTemplatePage(run.files, PageKind::Menu, "mainMakeMenuHtml", input, parts, failure);
    cmWriteLog("mainMakeMenuHtml", 1, "△End Method△");
    return ok;
}

} // namespace mivo
