// What the window does when a Make run has ended, and how it shows a stored page path whose
// folder is not there yet.

#include <string>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/program.h"
#include "common/text.h"
#include "common/translate.h"
#include "window/form_main.h"

namespace mivo {

void FormMain::afterMake(const MakeResult& result) {
    // The gallery now shows these settings: keep them even if the program never gets to exit.
    const Settings current = currentSettings();
    std::string error;
    if (iniReadable_) {
        if (mivo::mainSetIni(iniPath_, saved_, current, &error)) {
            saved_ = current;
        } else {
            cmWriteLog("CommandMake_Click", 4, "SaveError [" + iniPath_ + "] " + error);
        }
    }
    std::vector<GalleryEntry> rows = galleryRows();
    if (listReadable_ && rows != savedRows_) {
        if (mivo::mainSetList(listPath_, rows, &error)) {
            savedRows_ = std::move(rows);
        } else {
            cmWriteLog("CommandMake_Click", 4, "SaveError [" + listPath_ + "] " + error);
        }
    }

    // The status line has room for 作成に失敗しました and a few names only; the page and why,
    // and every item the run left out, need a box.
    if (!result.failure.empty()) {
        std::string text = translate("作成に失敗しました。\n\n%1", {result.failure});
        if (!result.items.empty()) {
            text += "\n\n" + result.items;
        }
        services_.showMessage(text, kAppTitle);
    } else if (!result.items.empty()) {
        services_.showMessage(result.items, kAppTitle);
    }
}

void FormMain::showPagePath(const std::string& pagePath, FolderBox* folderBox, TextBox* nameBox) {
    std::string folder;
    std::string name;
    cmSplitPath(pagePath, true, kPathSeparator, folder, name);
    if (folderBox->setPath(folder.empty() && startsWith(pagePath, kPathSeparator) ? kPathSeparator
                                                                                  : folder)) {
        nameBox->setText(name);
        return;
    }
    // 作成 makes the missing folders; until then the nearest parent that exists is shown,
    // and the name box holds the rest: the two together are still the path 作成 writes to.
    for (std::size_t cut = folder.rfind('/'); cut != std::string::npos;
         cut = cut == 0 ? std::string::npos : folder.rfind('/', cut - 1)) {
        if (folderBox->setPath(cut == 0 ? std::string(kPathSeparator) : folder.substr(0, cut))) {
            nameBox->setText(pagePath.substr(cut + 1));
            return;
        }
    }
    nameBox->setText(name);
}

} // namespace mivo
