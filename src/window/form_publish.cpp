// 公開: the site sent to the server of the 公開先 tab on a worker thread, as
// `mivo-make --publish-only` sends it, with its progress in the status line and bar.

#include <memory>
#include <string>
#include <utility>

#include "common/log.h"
#include "common/program.h"
#include "common/translate.h"
#include "publish/publish.h"
#include "window/form_main.h"
#include "window/handler_log.h"

namespace mivo {

namespace {

/// The bar's scale: a publish reports the share done as a fraction.
constexpr double kBarSteps = 1000;

/// A publish reporting to the window's status sink: its messages on the status line, its
/// files, bytes, rate and time left there too, the share done on the bar.
class StatusPublish : public PublishSink {
  public:
    explicit StatusPublish(StatusSink& sink) : sink_(sink) {}
    void message(const std::string& text) override {
        sink_.message(text);
        sink_.step();
    }
    void progress(const PublishProgress& now) override {
        sink_.progress(now.fraction < 0 ? 0 : now.fraction * kBarSteps, kBarSteps);
        sink_.message(publishProgressText(now));
        sink_.step();
    }
    bool stopRequested() const override { return sink_.stopRequested(); }

  private:
    StatusSink& sink_;
};

} // namespace

std::string FormMain::shownTarget() const {
    return publishedAddress_.empty() ? globals_.gstrIndexPath : publishedAddress_;
}

void FormMain::CommandPublish_Click() {
    if (running_) {
        if (publishing_) {
            stopMake();
        }
        return;
    }
    logStart("CommandPublish_Click");
    running_ = true;
    publishing_ = true;
    stopRequested_ = false;
    runStart_ = services_.now();
    holdInput();
    CommandMake->setEnabled(false);
    // Alt+T stops, as it stops a Make run.
    CommandPublish->setAccessKey('T');
    CommandPublish->setCaption(translate("中止"));
    CommandPublish->setToolTipText(translate("公開を中止する"));
    ProgressBarMake->setMin(0);
    ProgressBarMake->setMax(kBarSteps);
    ProgressBarMake->setValue(0);

    // The same publish as mivo-make --publish-only: the settings as the window shows them.
    const Settings settings = currentSettings();
    auto job = std::make_shared<const PublishJob>(planPublish(settings, files_));
    auto result = std::make_shared<PublishResult>();
    services_.runInBackground(
        [job, result](StatusSink& sink) {
            StatusPublish publishing(sink);
            *result = publishSite(*job, publishing);
        },
        statusSink(), [this, job, result] { finishPublish(*result); });
    logEnd("CommandPublish_Click");
}

void FormMain::restoreRunButtons() {
    CommandMake->setAccessKey('M');
    CommandMake->setCaption(translate("作成"));
    CommandMake->setToolTipText(translate(kMakeToolTip));
    CommandMake->setEnabled(true);
    CommandPublish->setAccessKey('B');
    CommandPublish->setCaption(translate("公開"));
    CommandPublish->setToolTipText(translate(kPublishToolTip));
    CommandPublish->setEnabled(true);
}

void FormMain::finishPublish(const PublishResult& result) {
    endRunStatus();
    // The summary, or what failed and what to do; the program's own words in the tool-tip.
    LabelMess->setCaption(result.message);
    LabelMess->setToolTipText(result.lastLine);
    ProgressBarMake->setValue(result.done ? kBarSteps : 0);
    releaseInput();
    const Settings settings = currentSettings();
    if (result.done && !settings.PublishAddress.empty()) {
        publishedAddress_ = settings.PublishAddress;
        CommandOpenHtml->setEnabled(true);
        CommandOpenHtml->setToolTipText(
            translate("公開したサイトを表示 (%1)", {settings.PublishAddress}));
    }
    restoreRunButtons();
    running_ = false;
    publishing_ = false;
    CommandPublish->setFocus();
    saveAfterRun("CommandPublish_Click");

    if (services_.now() - runStart_ > kNotifyAfter && !services_.windowActive()) {
        services_.notify(kAppTitle, LabelMess->caption());
    }
    if (!result.done && result.failure != PublishFailure::Stopped) {
        std::string text = translate("公開に失敗しました。\n\n%1", {result.message});
        if (!result.lastLine.empty() && result.message.find(result.lastLine) == std::string::npos) {
            text += "\n\n" + result.lastLine;
        }
        services_.showWarning(text, kAppTitle);
    }
    if (closeAfterRun_) {
        requestClose();
    }
}

} // namespace mivo
