// Saves one picture of the main window per tab in each mode:
//   mivo_screenshots <program folder> <output folder> [name suffix]
// The window takes the size it opens at on this screen (scrolling when the screen is small).
// The program folder's Mivo.ini and Mivo.csv are read but never written. The window speaks
// the language the program would choose there (LANG=en_US.UTF-8 for the English window).

#include <cstdio>
#include <string>

#include <QApplication>
#include <QPixmap>
#include <QThread>

#include "settings/program_language.h"
#include "window/qt/app_setup.h"
#include "window/qt/program_window.h"

namespace {

void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr,
                     "usage: mivo_screenshots <program folder> <output folder> [name suffix]\n");
        return 2;
    }
    const mivo::ProgramFiles files = mivo::portableProgramFiles(argv[1]);
    mivo::chooseProgramLanguage(files, mivo::processEnvironment());
    QApplication app(argc, argv);
    mivo::qt::setUpApplication(app);
    std::printf("font: %s\n", mivo::qt::captionFontFamily());

    mivo::qt::ProgramWindow window(files);
    mivo::FormMain& form = window.form;
    mivo::qt::MainView& view = window.view;
    settle();
    std::printf("scale %.3f, window %dx%d\n", view.scale(), view.width(), view.height());
    const QString suffix = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString();

    const char* const modes[2] = {"menu", "single"};
    const char* const tabs[3] = {"folders", "display", "etc"};
    bool ok = true;
    for (int mode = 0; mode < 2; ++mode) {
        form.OptionMenu[mode]->select();
        for (int tab = 0; tab < 3; ++tab) {
            form.TabStripMivo->select(tab);
            settle();
            const QString path =
                QString::fromLocal8Bit(argv[2]) +
                QStringLiteral("/window-%1-%2%3.png")
                    .arg(QLatin1StringView(modes[mode]), QLatin1StringView(tabs[tab]), suffix);
            if (!view.grab().save(path, "PNG")) {
                std::fprintf(stderr, "mivo_screenshots: cannot write %s\n",
                             path.toLocal8Bit().constData());
                ok = false;
            } else {
                std::printf("%s\n", path.toLocal8Bit().constData());
            }
        }
    }
    return ok ? 0 : 1;
}
