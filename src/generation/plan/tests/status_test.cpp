#include <gtest/gtest.h>

#include "generation/plan/status.h"
#include "support/page_fixture.h"

namespace mivo {
namespace {

using test::RecordingSink;

TEST(SetStatus, SetsAndClampsTheBar) {
    RecordingSink sink;
    RunStatus status(&sink);
    mainSetStatus(status, true, "完了しました", 1, 100);
    EXPECT_EQ(status.messageText(), "完了しました");
    EXPECT_EQ(status.barValue(), 100);
    mainSetStatus(status, false, "", 1, 90);
    EXPECT_EQ(status.messageText(), "完了しました");
    EXPECT_EQ(status.barValue(), 90);
    mainSetStatus(status, false, "", 1, -5);
    EXPECT_EQ(status.barValue(), 0);
    mainSetStatus(status, false, "", 1, 150);
    EXPECT_EQ(status.barValue(), 100);
    mainSetStatus(status, true, "作成中です", 0, 7);
    EXPECT_EQ(status.barValue(), 100);
    EXPECT_EQ(sink.messages, (std::vector<std::string>{"完了しました", "作成中です"}));
}

TEST(SetStatus, StepsForwardUpToMaxPastSixteenBits) {
    RecordingSink sink;
    RunStatus status(&sink);
    mainSetStatus(status, false, "", 2, 1);
    EXPECT_EQ(status.barValue(), 1);
    mainSetStatus(status, false, "", 1, 100);
    mainSetStatus(status, false, "", 2, 1);
    EXPECT_EQ(status.barValue(), 100);
    status.setBarMax(62500);
    status.setBarValue(32767);
    mainSetStatus(status, false, "", 2, 1);
    EXPECT_EQ(status.barValue(), 32768);
}

} // namespace
} // namespace mivo
