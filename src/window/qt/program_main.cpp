#include "window/qt/program_main.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include "common/program.h"
#include "common/program_files.h"
#include "settings/program_language.h"
#include "window/qt/app_setup.h"
#include "window/qt/program_window.h"
#include "window/qt/termination_signals.h"

namespace mivo::qt {

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

} // namespace

int runWindowProgram(int argc, char** argv, const std::function<void(ProgramWindow&)>& opened) {
    if (!displayAvailable()) {
        std::fprintf(stderr, "mivo: no display to open the window on (DISPLAY is not set).\n"
                             "mivo: mivo-make makes the galleries of Mivo.ini without a window.\n");
        return 1;
    }
    const std::string programFolder = locateProgramFolder();
    ProgramFiles files =
        locateProgramFiles(programFolder, currentProgramEnvironment(programFolder));
    // Before anything shows a text: the window is built in this language.
    chooseProgramLanguage(files, processEnvironment());

    QApplication app(argc, argv);
    setUpApplication(app);
    // What is left once Qt has taken its own options: at most the picture folder to open
    // ("Open with Mivo" on a folder), relative to the folder Mivo was started in.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 2 ||
        (arguments.size() == 2 && arguments[1].startsWith(QLatin1Char('-')))) {
        std::fputs("Usage: mivo [--help | --version | FOLDER]\n", stderr);
        return 2;
    }
    const std::string pictureFolder =
        arguments.size() == 2
            ? QDir::cleanPath(QFileInfo(arguments[1]).absoluteFilePath()).toStdString()
            : std::string();

    // Closing on a termination signal saves the settings, as closing the window does.
    const QuitOnTerminationSignals closeOnSignal;

    ProgramWindow window(std::move(files), pictureFolder);
    if (opened) {
        opened(window);
    }
    // A signal taken in while a box was open at start-up has already ended every loop there.
    const int status = terminationRequested() ? 0 : QApplication::exec();
    // A run still going (the session ends) stops before the settings are saved.
    window.services.abandonRun();
    // A session that ends without closing the window still saves, as closing would.
    window.form.requestClose();
    return status;
}

} // namespace mivo::qt
