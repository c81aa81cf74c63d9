#include "generation/plan/album.h"

#include "common/paths.h"

namespace mivo {

namespace {

/// The folder part of a page path (its last part is always taken as the file name); the root
/// for a page right below it.
std::string folderOfPage(const std::string& pagePath) {
    std::string folder;
    std::string name;
    cmSplitPath(pagePath, true, kPathSeparator, folder, name);
    return folder.empty() ? std::string(kPathSeparator) : folder;
}

} // namespace

Album& Album::addChild() {
    Album& child = *children.emplace_back(std::make_unique<Album>());
    child.parent = this;
    return child;
}

bool hasPageName(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::string folder;
    std::string name;
    cmSplitPath(path, true, kPathSeparator, folder, name);
    return !name.empty();
}

std::string pageFolderOf(const TopPage& top) {
    const std::string topFolder = folderOfPage(normalizedPath(top.page));
    return normalizedPath(
        top.subFolder.empty() ? topFolder : cmAddPath(topFolder, top.subFolder, kPathSeparator));
}

} // namespace mivo
