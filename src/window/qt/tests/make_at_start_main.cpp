// The window program with a setting changed and 作成 pressed as soon as the window is shown,
// for the termination tests that signal it during a run.

#include <QPushButton>

#include "window/qt/program_main.h"
#include "window/qt/program_window.h"

int main(int argc, char** argv) {
    return mivo::qt::runWindowProgram(argc, argv, [](mivo::qt::ProgramWindow& window) {
        window.form.display.TextTitle->setText("Changed before the run");
        window.view.findChild<QPushButton*>(QStringLiteral("CommandMake"))->click();
    });
}
