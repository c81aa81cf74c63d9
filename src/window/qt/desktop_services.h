#pragma once

#include <string>

#include "window/services.h"

class QWidget;

namespace mivo::qt {

class MainView;

/// The window's services on the Linux desktop: xdg-open through QDesktopServices, Qt's file
/// dialog and message box, the synchronous repaint of the status line, picture loading.
class DesktopServices : public WindowServices {
  public:
    /// The view whose widgets the services own dialogs for and repaint; nullptr before it
    /// exists (then dialogs have no owner and nothing is repainted).
    void setView(MainView* view) { view_ = view; }

    bool shellOpen(const std::string& target, const std::string& parameters) override;
    bool showOpenDialog(FileDialog& dialog) override;
    void showMessage(const std::string& text, const std::string& caption) override;
    bool askRetry(const std::string& text, const std::string& caption) override;
    void repaintStatus() override;
    bool loadPicture(const std::string& path, long& outWidth, long& outHeight) override;
    void closeWindow() override;

    /// How many times the status line was repainted (the smoke test watches a run with it).
    int repaintCount() const { return repaintCount_; }

  private:
    QWidget* owner() const;

    MainView* view_ = nullptr;
    int repaintCount_ = 0;
};

} // namespace mivo::qt
