#pragma once

#include <csignal>
#include <memory>

class QSocketNotifier;

namespace mivo::qt {

/// While it lives, SIGTERM, SIGINT and SIGHUP end the application's event loops instead of the
/// process, so the window closes the way it does when the user closes it and saves its
/// settings (the desktop session ending, `kill` from a script, Ctrl+C in a terminal). The
/// signal handler only writes a byte into a pipe; whichever event loop runs then (the main one,
/// or a message box's own) reads it, closes every modal box and ends all loops. From then on
/// terminationRequested() is true. The previous handlers come back when it ends. Create it
/// after the application object.
class QuitOnTerminationSignals {
  public:
    QuitOnTerminationSignals();
    ~QuitOnTerminationSignals();
    QuitOnTerminationSignals(const QuitOnTerminationSignals&) = delete;
    QuitOnTerminationSignals& operator=(const QuitOnTerminationSignals&) = delete;

    /// The signals that close the window.
    static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

  private:
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previous_[3] = {};
    bool installed_ = false;
};

/// True once a termination signal has been taken in while a QuitOnTerminationSignals lives:
/// the program is ending, so no box may wait for an answer and the main event loop is not to
/// be started any more.
bool terminationRequested();

} // namespace mivo::qt
