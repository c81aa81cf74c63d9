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

/// One line per child in place of the array placeholder's line: its name, the link to its
/// index page in its own folder, and its cover as its run found it.
void writeMenuArray(const std::string& rootLink, const Album& album,
                    const std::vector<AlbumResult>& children, PageFile& page) {
    std::string element;
    std::string line;
    for (std::size_t k = 0; k < album.children.size(); ++k) {
        const Album& child = *album.children[k];
        // The name cannot hold the separator, so the link after it is always the maker's.
        element.assign(menuListName(child.job.name));
        element.append(",").append(rootLink).append("/");
        element.append(encodeLinkPath(child.place.folderName)).append("/index.html,");
        if (k < children.size()) {
            element.append(children[k].menuItem);
        }
        line.assign("aryMenuList[").append(std::to_string(k)).append("] = \"");
        line.append(escapeMenuListElement(element)).append("\";");
        page.writeScriptLine(line);
    }
}

} // namespace

bool mainMakeMenuHtml(const RunServices& run, const PagePlan& pages, const Album& album,
                      const std::vector<AlbumResult>& children, AlbumResult& result) {
    cmWriteLog("mainMakeMenuHtml", 1, "▽Start Method▽");
    // The children's folders lie under the folder of the index page, or under its sub-folder
    // (gstrMenuHtmlPath) when that is set.
    const std::string& indexPage = album.childrenPage;
    std::string folder;
    std::string name;
    cmSplitPath(indexPage, true, kPathSeparator, folder, name);
    const std::string root = album.childrenSubFolder.empty()
                                 ? folder
                                 : cmAddPath(folder, album.childrenSubFolder, kPathSeparator);
    const std::string rootLink = relativeLink(indexPage, root);

    PageInput input{pages, nullptr, nullptr, indexPage};
    PageParts parts;
    parts.array = [&](PageFile& page) { writeMenuArray(rootLink, album, children, page); };
    const bool ok = writeTemplatePage(run.files, PageKind::Menu, "mainMakeMenuHtml", input, parts,
                                      result.failure, result.files);
    cmWriteLog("mainMakeMenuHtml", 1, "△End Method△");
    return ok;
}

} // namespace mivo
