#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <QObject>
#include <QTimer>

#include "generation/plan/status.h"

namespace mivo::qt {

/// One Make run on a worker thread. The run reports to a queue; a timer on the window's thread
/// hands the queued status calls on to the window's sink, in order, about twenty times a
/// second, so the window keeps every call without repainting for each of them.
class MakeWorker : public QObject {
  public:
    /// `batch` runs around each hand-over with true before and false after it (the view paints
    /// once per batch); `finished` runs on the window's thread after the last status call.
    MakeWorker(std::function<void(StatusSink&)> work, StatusSink& target,
               std::function<void(bool)> batch, std::function<void()> finished);
    /// A run still going is told to stop and waited for; nothing more reaches the window. The
    /// window's sink must outlive the run (abandon() before the window goes).
    ~MakeWorker() override;
    MakeWorker(const MakeWorker&) = delete;
    MakeWorker& operator=(const MakeWorker&) = delete;

    void start();
    bool running() const { return !done_; }
    /// Stops the run and waits for it without handing anything more to the window.
    void abandon();

    /// The milliseconds between two hand-overs.
    static constexpr int kIntervalMs = 50;

  private:
    struct Event {
        enum Kind { Message, Progress, Step } kind;
        std::string text;
        double value = 0;
        double max = 0;
    };

    /// What the worker reports to: the queue. A stop request is the window's (its sink answers
    /// from any thread) until the worker is abandoned; from then on the answer is yes.
    class QueueSink : public StatusSink {
      public:
        explicit QueueSink(MakeWorker& owner) : owner_(owner) {}
        void message(const std::string& text) override;
        void progress(double value, double max) override;
        void step() override;
        bool stopRequested() const override {
            return owner_.stop_.load() || owner_.target_.stopRequested();
        }

      private:
        MakeWorker& owner_;
    };

    void handOver();
    void workerDone();

    std::function<void(StatusSink&)> work_;
    StatusSink& target_;
    std::function<void(bool)> batch_;
    std::function<void()> finished_;
    QueueSink queueSink_{*this};
    QTimer timer_;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Event> events_;
    std::atomic<bool> stop_{false};
    bool done_ = false;
};

} // namespace mivo::qt
