#include "common/message_box.h"

#include <cstdio>

namespace mivo {

namespace {
MessageBoxSink* gSink = nullptr;
} // namespace

void setMessageBoxSink(MessageBoxSink* sink) {
    gSink = sink;
}

void showMessageBox(const std::string& text, const std::string& caption) {
    if (gSink != nullptr) {
        gSink->showMessage(text, caption);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

} // namespace mivo
