#include "generation/plan/status.h"

#include "common/log.h"

namespace mivo {

void RunStatus::setMessageText(const std::string& text) {
    setMessage(UserText(text, translate(text)));
}

void RunStatus::setMessage(const UserText& text) {
    message_ = text.logged;
    shown_ = text.shown;
    if (sink_ != nullptr) {
        sink_->message(shown_);
    }
}

void RunStatus::setBarMax(double value) {
    max_ = value;
    if (sink_ != nullptr) {
        sink_->progress(value_, max_);
    }
}

void RunStatus::setBarValue(double value) {
    value_ = value;
    if (sink_ != nullptr) {
        sink_->progress(value_, max_);
    }
}

void RunStatus::shown() {
    if (sink_ != nullptr) {
        sink_->step();
    }
}

void mainSetStatus(RunStatus& status, bool inblnMess, const std::string& instrMess,
                   int inintBarType, int inintBarValue) {
    mainSetStatus(status, inblnMess, UserText(instrMess, translate(instrMess)), inintBarType,
                  inintBarValue);
}

void mainSetStatus(RunStatus& status, bool inblnMess, const UserText& message, int inintBarType,
                   int inintBarValue) {
    const std::string& instrMess = message.logged;
    // Once per picture: the messages are built only for a log that takes them.
    const bool log = logWants(1);
    if (log) {
        cmWriteLog("mainSetStatus", 1,
                   std::string("▽Start Method▽\r\ninblnMess=[") + boolText(inblnMess) +
                       "]\r\ninstrMess=[" + instrMess + "]\r\ninintBarType=[" +
                       std::to_string(inintBarType) + "]\r\ninintBarValue=[" +
                       std::to_string(inintBarValue) + "]");
    }
    if (inblnMess) {
        status.setMessage(message);
    }
    if (inintBarType == 1) {
        if (inintBarValue < status.barMin()) {
            status.setBarValue(status.barMin());
        } else if (inintBarValue > status.barMax()) {
            status.setBarValue(status.barMax());
        } else {
            status.setBarValue(inintBarValue);
        }
    } else if (inintBarType == 2) {
        // The value is read back as a whole number; no 16-bit wrap, since a table of more
        // than 32,767 pictures steps the bar that far.
        const auto stepped = static_cast<long long>(status.barValue()) + inintBarValue;
        status.setBarValue(stepped > status.barMax() ? status.barMax()
                                                     : static_cast<double>(stepped));
    }
    status.shown();
    if (log) {
        cmWriteLog("mainSetStatus", 1, "△End Method△");
    }
}

} // namespace mivo
