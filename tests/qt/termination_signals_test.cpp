// A termination signal ends the event loop (so main() closes the window and saves) instead of
// the process, and only while the guard lives.

#include <gtest/gtest.h>

#include <csignal>

#include <QApplication>
#include <QTimer>

#include "window/qt/termination_signals.h"

namespace mivo::qt {
namespace {

/// Runs the event loop with `signal` raised from inside it; true when the loop ended before the
/// five-second fallback did.
bool loopEndsOn(int signal) {
    bool timedOut = false;
    QTimer fallback;
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    fallback.start(5000);
    QTimer::singleShot(0, [signal] { std::raise(signal); });
    QCoreApplication::exec();
    return !timedOut;
}

TEST(QuitOnTerminationSignals, EachSignalEndsTheEventLoopAndTheOldActionComesBack) {
    struct sigaction before = {};
    ::sigaction(SIGTERM, nullptr, &before);
    {
        const QuitOnTerminationSignals guard;
        for (const int signal : QuitOnTerminationSignals::kSignals) {
            SCOPED_TRACE(signal);
            EXPECT_TRUE(loopEndsOn(signal));
        }
    }
    struct sigaction after = {};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

} // namespace
} // namespace mivo::qt
