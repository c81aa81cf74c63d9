#include "window/qt/make_worker.h"

#include <utility>

#include <QMetaObject>

namespace mivo::qt {

void MakeWorker::QueueSink::message(const std::string& text) {
    const std::lock_guard lock(owner_.mutex_);
    owner_.events_.push_back({Event::Message, text});
}

void MakeWorker::QueueSink::progress(double value, double max) {
    const std::lock_guard lock(owner_.mutex_);
    owner_.events_.push_back({Event::Progress, {}, value, max});
}

void MakeWorker::QueueSink::step() {
    const std::lock_guard lock(owner_.mutex_);
    owner_.events_.push_back({Event::Step, {}});
}

MakeWorker::MakeWorker(std::function<void(StatusSink&)> work, StatusSink& target,
                       std::function<void(bool)> batch, std::function<void()> finished)
    : work_(std::move(work)), target_(target), batch_(std::move(batch)),
      finished_(std::move(finished)) {
    timer_.setInterval(kIntervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { handOver(); });
}

MakeWorker::~MakeWorker() {
    abandon();
}

void MakeWorker::start() {
    timer_.start();
    thread_ = std::thread([this] {
        work_(queueSink_);
        // The last hand-over and the end of the run happen on the window's thread.
        QMetaObject::invokeMethod(
            this, [this] { workerDone(); }, Qt::QueuedConnection);
    });
}

void MakeWorker::abandon() {
    stop_ = true;
    timer_.stop();
    if (thread_.joinable()) {
        thread_.join();
    }
    finished_ = nullptr;
    done_ = true;
}

void MakeWorker::handOver() {
    std::vector<Event> events;
    {
        const std::lock_guard lock(mutex_);
        events.swap(events_);
    }
    if (events.empty()) {
        return;
    }
    batch_(true);
    for (const Event& event : events) {
        switch (event.kind) {
        case Event::Message:
            target_.message(event.text);
            break;
        case Event::Progress:
            target_.progress(event.value, event.max);
            break;
        case Event::Step:
            target_.step();
            break;
        }
    }
    batch_(false);
}

void MakeWorker::workerDone() {
    if (done_) {
        return;
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    timer_.stop();
    handOver();
    done_ = true;
    if (finished_) {
        // The callback may end this worker's life: move it out first.
        const auto finished = std::move(finished_);
        finished_ = nullptr;
        finished();
    }
}

} // namespace mivo::qt
