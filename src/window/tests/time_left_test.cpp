// How long a part of a run has still to go, as the progress bar says it.

#include <gtest/gtest.h>

#include "window/time_left.h"

namespace mivo {
namespace {

using std::chrono::seconds;

TEST(TimeLeft, JudgedFromThePaceSoFarAndStartedAgainForEachPart) {
    TimeLeft left;
    const TimeLeft::Clock::time_point t0{};
    left.progress(0, 100, t0);
    left.progress(10, 100, t0 + seconds(2));
    EXPECT_EQ(left.seconds(t0 + seconds(2)), -1) << "too early to say";
    left.progress(20, 100, t0 + seconds(4));
    EXPECT_EQ(left.seconds(t0 + seconds(4)), 16); // 4 s for 20, 80 to go
    EXPECT_EQ(timeLeftText(left.seconds(t0 + seconds(4))), "残り約 20 秒");
    left.progress(100, 100, t0 + seconds(20));
    EXPECT_EQ(left.seconds(t0 + seconds(20)), -1) << "a full bar has nothing left";

    // A new range is a new part: the copies, then the list page.
    left.progress(0, 3000, t0 + seconds(20));
    left.progress(300, 3000, t0 + seconds(30));
    EXPECT_EQ(left.seconds(t0 + seconds(30)), 90);
    EXPECT_EQ(timeLeftText(90), "残り約 2 分");
    left.reset();
    EXPECT_EQ(left.seconds(t0 + seconds(31)), -1);
}

TEST(TimeLeft, ShownInStepsOfFiveSecondsThenWholeMinutes) {
    EXPECT_EQ(timeLeftText(-1), "");
    EXPECT_EQ(timeLeftText(0), "残り約 5 秒");
    EXPECT_EQ(timeLeftText(6), "残り約 10 秒");
    EXPECT_EQ(timeLeftText(55), "残り約 55 秒");
    EXPECT_EQ(timeLeftText(56), "残り約 1 分");
    EXPECT_EQ(timeLeftText(61), "残り約 2 分");
}

} // namespace
} // namespace mivo
