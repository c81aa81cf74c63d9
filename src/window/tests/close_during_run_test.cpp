// Closing the window while 作成 runs: the answer to the question counts for the run it was
// asked about, also when that run ended while the question was open.

#include "window_fixture.h"

#include <utility>

namespace mivo::test {
namespace {

/// Holds the run as the desktop's worker does, until the test ends it; a question can end it
/// while it is open, as the run's end reaches a window whose question box waits.
class HeldRunServices : public FakeServices {
  public:
    void runInBackground(std::function<void(StatusSink&)> work, StatusSink& sink,
                         std::function<void()> finished) override {
        work_ = std::move(work);
        sink_ = &sink;
        finished_ = std::move(finished);
    }
    void endRun() {
        const auto work = std::move(work_);
        const auto finished = std::move(finished_);
        work_ = nullptr;
        finished_ = nullptr;
        work(*sink_);
        finished();
    }
    bool askYesNo(const std::string& text, const std::string& caption) override {
        if (whileAsking) {
            whileAsking();
        }
        return FakeServices::askYesNo(text, caption);
    }

    std::function<void()> whileAsking;

  private:
    std::function<void(StatusSink&)> work_;
    StatusSink* sink_ = nullptr;
    std::function<void()> finished_;
};

TEST(CloseDuringRun, YesGivenAfterTheRunEndedClosesNowAndNeverWithALaterRun) {
    const TempFolder program;
    HeldRunServices services;
    FormMain form(program.path(), services);
    services.form = &form;
    form.Form_Load();

    // No: the run goes on and the window stays.
    form.CommandMake->click();
    ASSERT_TRUE(form.running());
    services.yesAnswer = false;
    EXPECT_FALSE(form.confirmClose());
    services.endRun();
    EXPECT_EQ(services.closeCount, 0);

    // Yes, given once the run has ended behind the question: the window closes at once.
    form.CommandMake->click();
    ASSERT_TRUE(form.running());
    services.yesAnswer = true;
    services.whileAsking = [&services] { services.endRun(); };
    EXPECT_TRUE(form.confirmClose()) << "nothing runs any more: the window may close";
    services.whileAsking = nullptr;
    EXPECT_FALSE(form.running());
    EXPECT_EQ(services.messages.size(), 2U);

    // Had the window stayed open after all, the answer is not kept for the next run.
    form.CommandMake->click();
    ASSERT_TRUE(form.running());
    services.endRun();
    EXPECT_EQ(services.closeCount, 0) << "the next run's end does not close the window";
    EXPECT_FALSE(form.closed());

    // Yes during a run that goes on: the run stops and the window closes at its end.
    form.CommandMake->click();
    EXPECT_FALSE(form.confirmClose());
    EXPECT_FALSE(form.CommandMake->enabled()) << "the run was asked to stop";
    services.endRun();
    EXPECT_EQ(services.closeCount, 1);
    EXPECT_TRUE(form.closed());
}

} // namespace
} // namespace mivo::test
