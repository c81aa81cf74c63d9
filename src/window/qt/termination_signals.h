#pragma once

#include <csignal>
#include <memory>

class QSocketNotifier;

namespace mivo::qt {

/// While it lives, SIGTERM, SIGINT and SIGHUP end the application's event loop instead of the
/// process, so the window closes the way it does when the user closes it and saves its
/// settings (the desktop session ending, `kill` from a script, Ctrl+C in a terminal). The
/// signal handler only writes a byte into a pipe; the event loop reads it and quits. The
/// previous handlers come back when it ends. Create it after the application object.
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

} // namespace mivo::qt
