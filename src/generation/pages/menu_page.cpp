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

/// The number after `key` in a size text ("width=160 height=120"), or "".
std::string sizeValue(const std::string& sizeText, const std::string& key) {
    const std::size_t at = sizeText.find(key);
    if (at == std::string::npos) {
        return {};
    }
    std::size_t end = at + key.size();
    while (end < sizeText.size() && sizeText[end] >= '0' && sizeText[end] <= '9') {
        ++end;
    }
    return sizeText.substr(at + key.size(), end - at - key.size());
}

} // namespace

void writeAlbumArray(const Album& album, const std::vector<AlbumResult>& children,
                     const std::string& pagePath, PageFile& page) {
    std::string line;
    for (std::size_t k = 0; k < album.children.size() && k < children.size(); ++k) {
        const Album& child = *album.children[k];
        const AlbumResult& made = children[k];
        const std::string cover =
            made.coverPath.empty() ? std::string() : relativeLink(pagePath, made.coverPath);
        const std::string& size = made.coverSize;
        const std::string fields[] = {
            child.job.name,
            relativeLink(pagePath, child.job.trail.back().indexPage),
            cover,
            sizeValue(size, "width="),
            sizeValue(size, "height="),
            std::to_string(made.ownItems),
            std::to_string(made.allItems),
            made.firstDate,
            made.lastDate,
            std::to_string(child.children.size()),
        };
        line.assign("aryAlbumList[").append(std::to_string(k)).append("] = [");
        for (std::size_t f = 0; f < std::size(fields); ++f) {
            line.append(f == 0 ? "\"" : ", \"").append(escapeScriptData(fields[f])).append("\"");
        }
        line.append("];");
        page.writeScriptLine(line);
    }
}

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

    // A tree's album shows its own place on its index of children.
    PageInput input{pages, album.job.inTree ? &album.job : nullptr, nullptr, indexPage};
    PageParts parts;
    parts.array = [&](PageFile& page) { writeMenuArray(rootLink, album, children, page); };
    parts.albumArray = [&](PageFile& page) { writeAlbumArray(album, children, indexPage, page); };
    const bool ok = writeTemplatePage(run, PageKind::Menu, "mainMakeMenuHtml", input, parts,
                                      result.failure, result.files);
    cmWriteLog("mainMakeMenuHtml", 1, "△End Method△");
    return ok;
}

} // namespace mivo
