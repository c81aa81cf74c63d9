// Times one 作成 in the window, as a user's click starts it, until the window is handed back:
//   mivo_window_bench <program folder>
// Prints the seconds and the number of status-line paints. The program folder's Mivo.ini is
// read and written like the program's own.

#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "window/qt/app_setup.h"
#include "window/qt/program_window.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mivo_window_bench <program folder>\n");
        return 2;
    }
    QApplication app(argc, argv);
    mivo::qt::setUpApplication(app);
    mivo::qt::ProgramWindow window(mivo::portableProgramFiles(argv[1]));
    mivo::qt::DesktopServices& services = window.services;
    mivo::FormMain& form = window.form;
    mivo::qt::MainView& view = window.view;
    QTest::qWait(200);

    auto* make = view.findChild<QPushButton*>(QStringLiteral("CommandMake"));
    const int paintsBefore = services.repaintCount();
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(make, Qt::LeftButton);
    // The event loop as the program runs it (waiting, not spinning), left when the run ends.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&form, &loop] {
        if (!form.running()) {
            loop.quit();
        }
    });
    poll.start(2);
    loop.exec();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    std::printf("%.4f %d %s\n", seconds, services.repaintCount() - paintsBefore,
                form.LabelMess->caption().c_str());
    form.requestClose();
    return form.LabelMess->caption() == "完了しました" ? 0 : 1;
}
