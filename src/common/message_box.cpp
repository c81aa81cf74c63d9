#include "common/message_box.h"

#include <cstdio>

namespace mivo {

namespace {
MessageBoxSink* gSink = nullptr;
} // namespace

void cmSetMessageBoxSink(MessageBoxSink* sink) {
    gSink = sink;
}

void cmShowMessageBox(const std::string& text, const std::string& caption) {
    if (gSink != nullptr) {
        gSink->showMessage(text, caption);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

} // namespace mivo
