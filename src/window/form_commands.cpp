// The commands of the window itself that hand something to the desktop: the pages made, their
// folder, and closing the window.

#include "common/log.h"
#include "common/paths.h"
#include "common/program.h"
#include "common/translate.h"
#include "window/form_main.h"
#include "window/handler_log.h"

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
    services_.showWarning(translate("%1 を開けません。\n%2", {target, reason}), kAppTitle);
}

void FormMain::CommandOpenHtml_Click() {
    logStart("CommandOpenHtml_Click");
    openOrSayWhy(shownTarget());
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
