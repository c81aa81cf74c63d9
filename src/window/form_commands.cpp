// The launcher buttons and the commands that hand something to the desktop.

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/program.h"
#include "common/text_file.h"
#include "common/translate.h"
#include "window/form_main.h"
#include "window/handler_log.h"
#include "window/open_target.h"

namespace mivo {

bool cmShellOpen(const std::string& instrFile, WindowServices& owner,
                 const std::string& parameters) {
    return owner.shellOpen(instrFile, parameters);
}

void FormMain::openOrSayWhy(const std::string& target) {
    if (cmShellOpen(target, services_, "")) {
        return;
    }
    std::string reason = services_.openFailureReason();
    if (reason.empty()) {
        reason = translate("開くことができませんでした");
    }
    cmWriteLog("cmShellOpen", 4, "OpenError [" + target + "] " + reason);
    services_.showMessage(translate("%1 を開けません。\n%2", {target, reason}), kAppTitle);
}

void FormMain::CommandOpen_Click(int index) {
    logStartIndex("CommandOpen_Click", index);
    openOrSayWhy(resolveLauncherTarget(TextOpen[index]->text()));
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
    // The help file lies beside the program, wherever the program was started from. It is
    // shown in the program's own viewer: a text editor chosen by the desktop may need a
    // terminal, and might not read cp932. An English window opens the English one.
    const std::string& helpFile =
        currentLanguage() == UiLanguage::English ? files_.englishHelpFile : files_.helpFile;
    std::vector<std::string> lines;
    errno = 0;
    if (!readTextLines(helpFile, lines)) {
        const std::string reason = errno != 0 ? std::strerror(errno) : translate("読み込めません");
        cmWriteLog("CommandHelp_Click", 4, "InOpenError [" + helpFile + "]");
        services_.showMessage(translate("%1 を開けません。\n%2", {helpFile, reason}), kAppTitle);
    } else {
        std::string text;
        for (const std::string& line : lines) {
            text.append(line).append("\n");
        }
        std::string folder;
        std::string name;
        cmSplitPath(helpFile, true, kPathSeparator, folder, name);
        services_.showTextViewer(translate("Mivo ヘルプ - %1", {name}), text);
    }
    logEnd("CommandHelp_Click");
}

void FormMain::CommandURL_Click() {
    logStart("CommandURL_Click");
    openOrSayWhy(kHomePageUrl);
    logEnd("CommandURL_Click");
}

void FormMain::CommandOpenHtml_Click() {
    logStart("CommandOpenHtml_Click");
    openOrSayWhy(globals_.gstrIndexPath);
    logEnd("CommandOpenHtml_Click");
}

void FormMain::CommandOpenFolder_Click() {
    logStart("CommandOpenFolder_Click");
    std::string folder;
    std::string name;
    cmSplitPath(globals_.gstrIndexPath, false, kPathSeparator, folder, name);
    openOrSayWhy(folder);
    logEnd("CommandOpenFolder_Click");
}

void FormMain::CommandExit_Click() {
    logStart("CommandExit_Click");
    requestClose();
    logEnd("CommandExit_Click");
}

} // namespace mivo
