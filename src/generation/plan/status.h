#pragma once

#include <string>
#include <utility>

#include "common/translate.h"

namespace mivo {

/// Where the status line and the progress bar of a Make run are shown: the window's label and
/// bar, the console of mivo-make, or a test's record.
class StatusSink {
  public:
    virtual ~StatusSink() = default;
    /// The status line now reads `text`.
    virtual void message(const std::string& text) = 0;
    /// The bar now stands at `value` of 0..`max`.
    virtual void progress(double value, double max) = 0;
    /// One status call is complete: show the line and the bar as they are now.
    virtual void step() = 0;
    /// True once the user asked the run to stop. Asked between pictures and between pages, from
    /// whatever thread the run is on.
    virtual bool stopRequested() const { return false; }
};

/// The status line (LabelMess) and the progress bar (ProgressBarMake) as a run keeps them. The
/// run reads its own state here, never what a sink shows; every change goes on to the sink.
class RunStatus {
  public:
    explicit RunStatus(StatusSink* sink = nullptr) : sink_(sink) {}
    /// Goes on from a line and a bar that already show something.
    RunStatus(StatusSink* sink, std::string message, double max, double value)
        : sink_(sink), message_(std::move(message)), shown_(message_), max_(max), value_(value) {}

    /// The status line's text as the run wrote it (Japanese, as the log keeps it).
    const std::string& messageText() const { return message_; }
    /// The same with the text the user is shown.
    UserText message() const { return {message_, shown_}; }
    double barMin() const { return 0; }
    double barMax() const { return max_; }
    double barValue() const { return value_; }

    /// A whole message: shown translated.
    void setMessageText(const std::string& text);
    void setMessage(const UserText& text);
    void setBarMax(double value);
    void setBarValue(double value);
    /// Tells the sink that a status call is complete.
    void shown();
    /// The user asked the run to stop.
    bool stopRequested() const { return sink_ != nullptr && sink_->stopRequested(); }

  private:
    StatusSink* sink_;
    std::string message_;
    std::string shown_;
    double max_ = 100;
    double value_ = 0;
};

/// Shows a message (when inblnMess) and moves the bar: type 1 sets the value clamped to
/// [Min, Max], type 2 steps it forward (at most Max), any other type leaves it.
/// The log gets the Japanese text; the status line shows it translated.
void mainSetStatus(RunStatus& status, bool inblnMess, const std::string& instrMess,
                   int inintBarType, int inintBarValue);
/// The same for a message composed with values (userText()).
void mainSetStatus(RunStatus& status, bool inblnMess, const UserText& message, int inintBarType,
                   int inintBarValue);

} // namespace mivo
