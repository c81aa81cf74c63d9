#include "generation/status.h"

#include "common/log.h"

namespace mivo {

void mainSetStatus(StatusSink& sink, bool inblnMess, const std::string& instrMess, int inintBarType,
                   int inintBarValue) {
    cmWriteLog("mainSetStatus", 1,
               std::string("▽Start Method▽\r\ninblnMess=[") + cmBoolText(inblnMess) +
                   "]\r\ninstrMess=[" + instrMess + "]\r\ninintBarType=[" +
                   std::to_string(inintBarType) + "]\r\ninintBarValue=[" +
                   std::to_string(inintBarValue) + "]");
    if (inblnMess) {
        sink.setMessageText(instrMess);
    }
    if (inintBarType == 1) {
        if (inintBarValue < sink.barMin()) {
            sink.setBarValue(sink.barMin());
        } else if (inintBarValue > sink.barMax()) {
            sink.setBarValue(sink.barMax());
        } else {
            sink.setBarValue(inintBarValue);
        }
    } else if (inintBarType == 2) {
        // The value is read back as a whole number; no 16-bit wrap, since a table of more
        // than 32,767 pictures steps the bar that far.
        const auto stepped = static_cast<long long>(sink.barValue()) + inintBarValue;
        sink.setBarValue(stepped > sink.barMax() ? sink.barMax() : static_cast<double>(stepped));
    }
    sink.repaint();
    cmWriteLog("mainSetStatus", 1, "△End Method△");
}

void PlainStatus::setMessageText(const std::string& text) {
    message_ = text;
    messages_.push_back(text);
}

} // namespace mivo
