#include "window/time_left.h"

#include <cmath>

#include "common/translate.h"

namespace mivo {

namespace {

/// A part must have run this long before its pace says anything.
constexpr std::chrono::seconds kSettle{3};

} // namespace

void TimeLeft::progress(double value, double max, Clock::time_point now) {
    if (!started_ || max != max_ || value < value_) {
        started_ = true;
        max_ = max;
        startValue_ = value;
        start_ = now;
    }
    value_ = value;
}

long long TimeLeft::seconds(Clock::time_point now) const {
    if (!started_ || value_ <= startValue_ || value_ >= max_) {
        return -1;
    }
    const auto elapsed = now - start_;
    if (elapsed < kSettle) {
        return -1;
    }
    const double spent = std::chrono::duration<double>(elapsed).count();
    const double perUnit = spent / (value_ - startValue_);
    return static_cast<long long>(std::ceil(perUnit * (max_ - value_)));
}

void TimeLeft::reset() {
    started_ = false;
    max_ = 0;
    startValue_ = 0;
    value_ = 0;
}

std::string timeLeftText(long long seconds) {
    if (seconds < 0) {
        return {};
    }
    const long long rounded = seconds <= 5 ? 5 : (seconds + 4) / 5 * 5;
    if (rounded < 60) {
        return translate("残り約 %1 秒", {std::to_string(rounded)});
    }
    return translate("残り約 %1 分", {std::to_string((seconds + 59) / 60)});
}

} // namespace mivo
