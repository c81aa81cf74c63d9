// The launcher buttons and the commands that hand something to the desktop.

#include "common/log.h"
#include "common/paths.h"
#include "window/form_main.h"
#include "window/handler_log.h"

namespace mivo {

bool cmShellOpen(const std::string& instrFile, WindowServices& inOwner,
                 const std::string& instrParameters) {
    return inOwner.shellOpen(instrFile, instrParameters);
}

void FormMain::CommandOpen_Click(int index) {
    logStartIndex("CommandOpen_Click", index);
    cmShellOpen(TextOpen[index]->text(), services_, "");
    logEnd("CommandOpen_Click");
}

void FormMain::CheckOpen_Click(int index) {
    logStartIndex("CheckOpen_Click", index);
    CommandOpen[index]->setVisible(CheckOpen[index]->value() == 1);
    logEnd("CheckOpen_Click");
}

void FormMain::TextOpen_Change(int index) {
    logStartIndex("TextOpen_Change", index);
    CommandOpen[index]->setEnabled(!TextOpen[index]->text().empty());
    logEnd("TextOpen_Change");
}

void FormMain::TextOpenName_Change(int index) {
    logStartIndex("TextOpenName_Change", index);
    CommandOpen[index]->setCaption(TextOpenName[index]->text());
    logEnd("TextOpenName_Change");
}

void FormMain::CommandOpenPath_Click(int index) {
    logStartIndex("CommandOpenPath_Click", index);
    const std::string target = TextOpen[index]->text();
    if (!target.empty()) {
        std::string folder;
        std::string name;
        cmSplitPath(target, false, kPathSeparator, folder, name);
        CommonDialogLaunch.InitDir = folder;
        CommonDialogLaunch.FileName = name;
    }
    // A cancelled dialog changes nothing, whatever name it still holds from an earlier use.
    if (services_.showOpenDialog(CommonDialogLaunch) &&
        CommonDialogLaunch.FileName.find(kPathSeparator) != std::string::npos) {
        std::string folder;
        std::string name;
        cmSplitPath(CommonDialogLaunch.FileName, true, kPathSeparator, folder, name);
        CommonDialogLaunch.InitDir = folder;
        TextOpen[index]->setText(CommonDialogLaunch.FileName);
    }
    logEnd("CommandOpenPath_Click");
}

void FormMain::CommandHelp_Click() {
    logStart("CommandHelp_Click");
    // The help file lies beside the program, wherever the program was started from.
    cmShellOpen(files_.helpFile, services_, "");
    logEnd("CommandHelp_Click");
}

void FormMain::CommandURL_Click() {
    logStart("CommandURL_Click");
    cmShellOpen(kHomePageUrl, services_, "");
    logEnd("CommandURL_Click");
}

void FormMain::CommandOpenHtml_Click() {
    logStart("CommandOpenHtml_Click");
    cmShellOpen(globals_.gstrIndexPath, services_, "");
    logEnd("CommandOpenHtml_Click");
}

void FormMain::CommandExit_Click() {
    logStart("CommandExit_Click");
    requestClose();
    logEnd("CommandExit_Click");
}

} // namespace mivo
