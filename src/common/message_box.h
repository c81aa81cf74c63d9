#pragma once

#include <string>

namespace mivo {

/// The one message box of the core (a fatal error). The window shows a real box; the
/// command-line maker prints the text to stderr, which is also the default.
class MessageBoxSink {
  public:
    virtual ~MessageBoxSink() = default;
    virtual void showMessage(const std::string& text, const std::string& caption) = 0;
};

/// Routes message boxes to `sink` (nullptr restores the stderr default). The caller keeps
/// ownership and must reset it before the sink dies.
void setMessageBoxSink(MessageBoxSink* sink);
void showMessageBox(const std::string& text, const std::string& caption);

} // namespace mivo
