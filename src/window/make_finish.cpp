// What the window does when a Make run has ended, and the folders it remembers from runs.

#include <algorithm>
#include <string>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/program.h"
#include "common/translate.h"
#include "generation/plan/album.h"
#include "window/form_main.h"

namespace mivo {

namespace {

/// `folder` put first in `list` (taken out where it was), the oldest dropped past the end.
template <std::size_t N>
void putFirst(std::array<std::string, N>& list, const std::string& folder) {
    if (folder.empty()) {
        return;
    }
    std::vector<std::string> kept{folder};
    for (const std::string& entry : list) {
        if (!entry.empty() && entry != folder && kept.size() < N) {
            kept.push_back(entry);
        }
    }
    kept.resize(N);
    std::copy(kept.begin(), kept.end(), list.begin());
}

template <std::size_t N> std::vector<std::string> listed(const std::array<std::string, N>& list) {
    std::vector<std::string> folders;
    for (const std::string& entry : list) {
        if (!entry.empty()) {
            folders.push_back(entry);
        }
    }
    return folders;
}

/// The folder that holds a page path.
std::string folderOfPage(const std::string& page) {
    std::string folder;
    std::string name;
    cmSplitPath(page, true, kPathSeparator, folder, name);
    return folder;
}

} // namespace

void FormMain::rememberFolders(const Settings& settings, const std::vector<GalleryEntry>& rows) {
    if (settings.menuMode()) {
        // The first rows end up first.
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
            putFirst(globals_.RecentPictureFolders, row->strSamPath);
            putFirst(globals_.RecentPictureFolders, row->strPicPath);
        }
        putFirst(globals_.RecentPageFolders, folderOfPage(settings.gstrMenuPath));
    } else {
        if (settings.useThumbnailFolder()) {
            putFirst(globals_.RecentPictureFolders, settings.gstrSamPath);
        }
        putFirst(globals_.RecentPictureFolders, settings.gstrPicPath);
        putFirst(globals_.RecentPageFolders, folderOfPage(settings.gstrIndexPath));
    }
    showRecentFolders();
}

void FormMain::showRecentFolders() {
    const std::vector<std::string> pictures = listed(globals_.RecentPictureFolders);
    const std::vector<std::string> pages = listed(globals_.RecentPageFolders);
    for (FolderBox* box :
         {folders.DirPic, folders.DirSam, galleryList.DirListPic, galleryList.DirListSam}) {
        box->setRecent(pictures);
    }
    for (FolderBox* box : {folders.DirIndex, galleryList.DirMenu}) {
        box->setRecent(pages);
    }
}

void FormMain::saveAfterRun(const char* handler) {
    const Settings current = currentSettings();
    std::string error;
    if (iniReadable_) {
        if (mivo::mainSetIni(iniPath_, saved_, current, &error)) {
            saved_ = current;
        } else {
            cmWriteLog(handler, 4, "SaveError [" + iniPath_ + "] " + error);
        }
    }
    std::vector<GalleryEntry> rows = galleryRows();
    if (listReadable_ && rows != savedRows_) {
        if (mivo::mainSetList(listPath_, rows, &error)) {
            savedRows_ = std::move(rows);
        } else {
            cmWriteLog(handler, 4, "SaveError [" + listPath_ + "] " + error);
        }
    }
}

void FormMain::afterMake(const MakeResult& result) {
    // The folders of a gallery made are offered first the next time.
    if (result.done) {
        rememberFolders(currentSettings(), galleryRows());
    }
    // The gallery now shows these settings: keep them even if the program never gets to exit.
    saveAfterRun("CommandMake_Click");

    // A long run may have ended while the user was elsewhere: the desktop says how it ended.
    if (services_.now() - runStart_ > kNotifyAfter && !services_.windowActive()) {
        services_.notify(kAppTitle, LabelMess->caption());
    }
    // The status line holds one line; a failure that ended the run is said in full in a box:
    // the page and why, or the check's whole message, and every item the run named.
    if (!result.failure.empty() || (!result.done && !result.stopped)) {
        const std::string& why = result.failure.empty() ? LabelMess->caption() : result.failure;
        std::string text = translate("作成に失敗しました。\n\n%1", {why});
        if (!result.items.empty()) {
            text += "\n\n" + result.items;
        }
        services_.showWarning(text, kAppTitle);
    } else if (!result.items.empty()) {
        // Completed, with items left out or shown from their originals: each with why.
        services_.showMessage(result.items, kAppTitle);
    }
}

} // namespace mivo
