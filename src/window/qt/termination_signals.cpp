#include "window/qt/termination_signals.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QWidget>

namespace mivo::qt {

namespace {

// Read end and write end of the pipe between the signal handler and the event loop.
int signalPipe[2] = {-1, -1};

bool requested = false;

/// Closes the modal boxes, topmost first, as "cancel" would; each one's own event loop ends
/// with it. A box that will not close stops the walk rather than looping on it.
void closeModalBoxes() {
    QWidget* previous = nullptr;
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (modal == previous) {
            break;
        }
        previous = modal;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    }
}

extern "C" void noteSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    // write() is safe in a signal handler; a full pipe already holds a pending quit.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

bool terminationRequested() {
    return requested;
}

QuitOnTerminationSignals::QuitOnTerminationSignals() {
    if (signalPipe[0] != -1 || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // one at a time; without a pipe the signals keep their default action
    }
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        requested = true;
        closeModalBoxes();
        // Every loop ends, also the main one when the signal came while a box had its own:
        // quit() would be refused while the main loop has not started yet (a box at start-up).
        QCoreApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kSignals[i], &action, &previous_[i]);
    }
    installed_ = true;
}

QuitOnTerminationSignals::~QuitOnTerminationSignals() {
    if (!installed_) {
        return;
    }
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kSignals[i], &previous_[i], nullptr);
    }
    notifier_.reset();
    requested = false;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

} // namespace mivo::qt
