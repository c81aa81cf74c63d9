#pragma once

#include <chrono>
#include <string>

namespace mivo {

/// How long the part of a run that the progress bar measures has still to go, judged from how
/// fast the bar moved so far. A new range of the bar (the copies, then the list page) starts
/// a new part.
class TimeLeft {
  public:
    using Clock = std::chrono::steady_clock;

    /// The bar stands at `value` of 0..`max` at `now`.
    void progress(double value, double max, Clock::time_point now);
    /// The time left in whole seconds, or -1 while there is no estimate: the part has run for
    /// less than a few seconds, the bar has not moved, or it is full.
    long long seconds(Clock::time_point now) const;
    /// Forgets the part (a run has ended).
    void reset();

  private:
    bool started_ = false;
    double max_ = 0;
    double startValue_ = 0;
    double value_ = 0;
    Clock::time_point start_{};
};

/// "残り約 N 秒" or "残り約 N 分" in the user's language (5-second steps below a minute, whole
/// minutes above, both rounded up); "" for -1.
std::string timeLeftText(long long seconds);

} // namespace mivo
