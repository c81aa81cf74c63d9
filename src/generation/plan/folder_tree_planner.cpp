#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/paths.h"
#include "common/system_reason.h"
#include "common/text.h"
#include "generation/plan/folder_names.h"
#include "generation/plan/item_kind.h"
#include "generation/plan/page_text.h"
#include "generation/plan/planners.h"
#include "settings/settings.h"

namespace mivo {

namespace {

// Why a folder of the tree is left out, logged in Japanese and shown in the user's language.
const char* const kReasonOutside = translatable("画像フォルダの外へのリンクはたどりません");

/// What one folder holds, as the walk needs it.
struct FolderListing {
    bool hasItems = false;
    std::vector<std::string> folders; // visible sub-folders (links to folders too), unsorted
    std::set<std::string> links;      // those of them that are links, or of unknown type
};

/// The walk over the picture folder: what it has made albums of, what it left out.
struct TreeWalk {
    const Settings& settings;
    RunPlan& plan;
    bool media = false;
    std::string rootReal{};       // the picture folder, links resolved
    std::string pageFolderReal{}; // the page folder, never listed
    std::string thumbsReal{};     // the thumbnail folder in use, never listed
    std::set<std::string> seen{}; // folders made already, links resolved
    std::size_t albums = 0;       // albums made so far
};

/// A folder named thumbs or view beside a list page holds Mivo's copies, not pictures.
bool isCopyFolder(const std::string& parent, const std::string& name) {
    return (name == "thumbs" || name == "view") &&
           isPlainFile(cmAddPath(parent, "list.html", kPathSeparator));
}

/// Lists `folder`; false with the system's reason when it cannot be opened.
bool listFolder(const std::string& folder, bool media, FolderListing& out, std::string& reason) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        reason = systemReasonText(errno);
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (isHiddenName(name)) {
            continue;
        }
        bool isDir = entry->d_type == DT_DIR;
        bool isFile = entry->d_type == DT_REG;
        const bool resolved = entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
        if (resolved) {
            struct stat info {};
            if (::fstatat(::dirfd(dir), name, &info, 0) == 0) {
                isDir = S_ISDIR(info.st_mode);
                isFile = S_ISREG(info.st_mode);
            } else if (errno == ELOOP) {
                // A link that leads round in a circle: named, since the user may have meant a
                // folder there.
                isDir = true;
            }
        }
        if (isDir) {
            out.folders.emplace_back(name);
            if (resolved) {
                out.links.emplace(name);
            }
        } else if (isFile && !out.hasItems && itemKindOf(name, media) != ItemKind::None) {
            out.hasItems = true;
        }
    }
    ::closedir(dir);
    return true;
}

void leaveOut(TreeWalk& walk, const std::string& folder, const std::string& reason) {
    walk.plan.leftOutFolders.emplace_back(folder, reason);
}

/// The album values every album of the tree shares.
void fillJob(const TreeWalk& walk, const std::string& folder, AlbumJob& job) {
    const Settings& settings = walk.settings;
    job.picPath = folder;
    job.useThumbnails = settings.useThumbnailFolder();
    if (job.useThumbnails) {
        // An album's ready-made thumbnails lie in the thumbnail folder as its pictures lie in
        // the picture folder: the sub-folder of the same relative path.
        const std::string& root = settings.gstrPicPath;
        std::string relative = folder.starts_with(root) ? folder.substr(root.size()) : "";
        relative.erase(0, relative.find_first_not_of('/'));
        job.samPath = relative.empty() ? settings.gstrSamPath
                                       : cmAddPath(settings.gstrSamPath, relative, kPathSeparator);
    }
    job.useFilelist = settings.CheckUseFileList;
    job.makeCopies = settings.CheckReduce && !job.useThumbnails;
    job.media = walk.media;
    job.livePhotos = walk.media && settings.CheckLivePhoto;
    job.inTree = true;
    job.coverName = "cover.jpg";
    job.naturalOrder = true;
    job.dateOrder = settings.OptionTreeOrder == 1;
}

/// Makes `album` of `folder` and its sub-folders, depth first. false when neither the folder
/// nor any folder below it holds an item: no album.
bool planFolder(TreeWalk& walk, const std::string& folder, const std::string& real,
                const std::string& indexPage, Album& album);

/// The albums of the sub-folders of `folder` (`real` with links resolved), in natural order, as
/// children of `album`.
void planChildren(TreeWalk& walk, const std::string& folder, const std::string& real,
                  FolderListing& listing, Album& album) {
    std::vector<std::string>& names = listing.folders;
    std::sort(names.begin(), names.end(), naturalLess);
    FolderNames outputNames;
    // The child folders lie beside the album's own pages and copy folders.
    const std::string childBase = album.parent == nullptr ? album.childrenSubFolder : std::string();
    const std::string& listingPage =
        album.showsFolder ? album.job.trail.back().indexPage : album.childrenPage;
    std::string base;
    std::string pageName;
    cmSplitPath(listingPage, true, kPathSeparator, base, pageName);
    if (!childBase.empty()) {
        base = cmAddPath(base, childBase, kPathSeparator);
    }
    for (const std::string& name : names) {
        if (isCopyFolder(folder, name)) {
            continue;
        }
        const std::string path = cmAddPath(folder, name, kPathSeparator);
        // A folder that is no link lies where its name says: only links are resolved.
        const bool link = listing.links.contains(name);
        const std::string childReal =
            link ? canonicalPath(path) : cmAddPath(real, name, kPathSeparator);
        if (childReal.empty() || (link && !isFolder(childReal))) {
            leaveOut(walk, path, systemReasonText(ELOOP));
            continue;
        }
        // A link out of the picture folder is not followed: the folder may come from anyone.
        if (childReal != walk.rootReal && !childReal.starts_with(walk.rootReal + "/")) {
            leaveOut(walk, path, kReasonOutside);
            continue;
        }
        if (childReal == walk.pageFolderReal || childReal == walk.thumbsReal ||
            walk.seen.contains(childReal)) {
            continue;
        }
        walk.seen.insert(childReal);
        auto child = std::make_unique<Album>();
        child->parent = &album;
        child->place.ownFolder = true;
        child->place.page = listingPage;
        child->place.subFolder = childBase;
        child->place.folderName = outputNames.take(name);
        child->job.name = sanitizeUtf8(name);
        child->job.namesAreText = true;
        child->job.upPage = listingPage;
        child->job.leftOutWhenUnchecked = true;
        const std::string childIndex =
            cmAddPath(normalizedPath(cmAddPath(base, child->place.folderName, kPathSeparator)),
                      "index.html", kPathSeparator);
        if (planFolder(walk, path, childReal, childIndex, *child)) {
            album.children.push_back(std::move(child));
        }
    }
}

bool planFolder(TreeWalk& walk, const std::string& folder, const std::string& real,
                const std::string& indexPage, Album& album) {
    FolderListing listing;
    std::string reason;
    if (!listFolder(folder, walk.media, listing, reason)) {
        leaveOut(walk, folder, reason);
        return false;
    }
    fillJob(walk, folder, album.job);
    album.job.trail = album.parent != nullptr ? album.parent->job.trail : std::vector<AlbumStep>();
    album.job.trail.push_back({album.job.name, indexPage});
    album.showsFolder = listing.hasItems;
    if (!album.showsFolder) {
        album.childrenPage = indexPage;
        if (album.parent == nullptr) {
            album.childrenSubFolder = album.place.subFolder;
        }
    } else if (album.parent == nullptr) {
        album.childrenSubFolder = album.place.subFolder;
    }
    ++walk.albums;
    planChildren(walk, folder, real, listing, album);
    if (!album.showsFolder && album.children.empty()) {
        --walk.albums;
        return false;
    }
    return true;
}

} // namespace

/// Previous and next albums among the children of `album`, all the way down; each album's
/// share of the bar in the order the run makes them (its children before it).
void linkFolderTree(Album& album, int shares, int& made) {
    const std::size_t n = album.children.size();
    for (std::size_t i = 0; i < n; ++i) {
        Album& child = *album.children[i];
        if (i > 0) {
            const Album& before = *album.children[i - 1];
            child.job.link1Name = before.job.name;
            child.job.link1Url = "../" + encodeLinkPath(before.place.folderName) + "/index.html";
        }
        if (i + 1 < n) {
            const Album& after = *album.children[i + 1];
            child.job.link2Name = after.job.name;
            child.job.link2Url = "../" + encodeLinkPath(after.place.folderName) + "/index.html";
        }
        linkFolderTree(child, shares, made);
    }
    album.job.barShares = shares;
    album.job.number = ++made;
}

void planFolderTree(const Settings& settings, const std::vector<GalleryEntry>& /*rows*/,
                    RunPlan& plan) {
    if (!planTopAlbum(settings, plan)) {
        return;
    }
    TreeWalk walk{settings, plan};
    // Ready-made thumbnails leave the copies out, and with them the videos, as in one gallery.
    walk.media = settings.CheckMedia && settings.CheckReduce && !settings.useThumbnailFolder();
    if (settings.useThumbnailFolder() && !settings.gstrSamPath.empty()) {
        walk.thumbsReal = canonicalPath(settings.gstrSamPath);
    }
    walk.rootReal = canonicalPath(settings.gstrPicPath);
    walk.pageFolderReal = canonicalPath(pageFolderOf(plan.top));
    walk.seen.insert(walk.rootReal);
    Album& root = *plan.root;
    if (!isFolder(settings.gstrPicPath)) {
        // The check names what is wrong with the folder.
        fillJob(walk, settings.gstrPicPath, root.job);
        root.job.trail.push_back({root.job.name, normalizedPath(settings.gstrIndexPath)});
        return;
    }
    if (!planFolder(walk, settings.gstrPicPath, walk.rootReal,
                    normalizedPath(settings.gstrIndexPath), root)) {
        // Nothing to show anywhere: the check says the picture folder holds no picture.
        root.showsFolder = true;
        root.children.clear();
        plan.leftOutFolders.clear();
        return;
    }
    if (root.children.empty()) {
        // A tree of one folder is made as a single folder is: its bar is its own.
        return;
    }
    int made = 0;
    linkFolderTree(root, static_cast<int>(walk.albums), made);
}

} // namespace mivo
