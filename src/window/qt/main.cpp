// mivo: the main window. Settings, gallery list and log live beside the program, or in the
// user's config folder when the program folder is not the user's.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QApplication>

#include "common/program.h"
#include "common/program_files.h"
#include "window/qt/app_setup.h"
#include "window/qt/program_window.h"
#include "window/qt/termination_signals.h"

namespace {

/// Without a display Qt would abort with a message about plug-ins; say what to do instead.
bool displayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != '\0') {
        return true;
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

const char* const kHelp =
    "Usage: mivo [--help | --version]\n"
    "Opens Mivo's window: choose a picture folder and where the pages go, then press 作成\n"
    "(Make) to write a static HTML photo gallery. Settings live in Mivo.ini beside the program\n"
    "when its folder is yours to write, else in ~/.config/mivo. mivo-make makes the same\n"
    "galleries without the window. See man mivo and the help (F1) for more.\n";

} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("mivo %s\n", mivo::cmVersionText().c_str());
        return 0;
    }
    if (!displayAvailable()) {
        std::fprintf(stderr, "mivo: no display to open the window on (DISPLAY is not set).\n"
                             "mivo: mivo-make makes the galleries of Mivo.ini without a window.\n");
        return 1;
    }
    QApplication app(argc, argv);
    mivo::qt::setUpApplication(app);

    // Closing on a termination signal saves the settings, as closing the window does.
    const mivo::qt::QuitOnTerminationSignals closeOnSignal;

    const std::string programFolder = mivo::cmProgramFolder();
    mivo::qt::ProgramWindow window(
        mivo::locateProgramFiles(programFolder, mivo::currentProgramEnvironment(programFolder)));
    // A signal taken in while a box was open at start-up has already ended every loop there.
    const int status = mivo::qt::terminationRequested() ? 0 : QApplication::exec();
    // A run still going (the session ends) stops before the settings are saved.
    window.services.abandonRun();
    // A session that ends without closing the window still saves, as closing would.
    window.form.requestClose();
    return status;
}
