#pragma once

#include <memory>
#include <string>

#include <QPointer>
#include <QWidget>

#include "window/qt/make_worker.h"
#include "window/services.h"

namespace mivo::qt {

class MainView;

/// The window's services on the Linux desktop: xdg-open through QDesktopServices, Qt's file
/// dialog and message box, the synchronous repaint of the status line, picture loading. Once
/// the program ends on a termination signal no box is shown any more: a message is dropped, a
/// question gets "no" (保存せずに終了 when a save failed), the file dialog is cancelled.
class DesktopServices : public WindowServices {
  public:
    /// The view whose widgets the services own dialogs for and repaint; nullptr before it
    /// exists (then dialogs have no owner and nothing is repainted).
    void setView(MainView* view) { view_ = view; }

    /// Opens addresses and documents with xdg-open (QDesktopServices); starts programs itself,
    /// in Mivo's current folder.
    bool shellOpen(const std::string& target, const std::string& parameters) override;
    std::string openFailureReason() const override { return openFailure_; }
    /// A read-only text window beside the main window, reused from one call to the next.
    void showTextViewer(const std::string& title, const std::string& text) override;
    /// The viewer window once shown, else nullptr.
    QWidget* textViewer() const;
    bool showOpenDialog(FileDialog& dialog) override;
    void showMessage(const std::string& text, const std::string& caption) override;
    void showWarning(const std::string& text, const std::string& caption) override;
    /// Qt's about box: the program's icon, its name and the text.
    void showAbout(const std::string& title, const std::string& text) override;
    /// The view's window is the active one (it has the keyboard).
    bool windowActive() const override;
    /// A freedesktop notification (org.freedesktop.Notifications over the session's D-Bus),
    /// sent without waiting for an answer; nothing happens without a session bus or a
    /// notification service.
    void notify(const std::string& summary, const std::string& body) override;
    /// The same, true when the message went out on a session bus (whether a service takes it
    /// is not waited for).
    static bool sendNotification(const std::string& summary, const std::string& body);
    bool askRetry(const std::string& text, const std::string& caption) override;
    bool askYesNo(const std::string& text, const std::string& caption) override;
    /// The run goes to a worker thread; its status calls reach `sink` on this thread, and the
    /// status line is painted once per hand-over (about twenty times a second).
    void runInBackground(std::function<void(StatusSink&)> work, StatusSink& sink,
                         std::function<void()> finished) override;
    /// Stops a run still going and waits for it; the window hears nothing more of it.
    void abandonRun();
    void repaintStatus() override;
    bool loadPicture(const std::string& path, long& pictureWidth, long& pictureHeight) override;
    void closeWindow() override;
    /// The view's place on the screen; false without a view.
    bool windowPlace(WindowPlace& out) const override;

    /// How many times the status line was repainted (the smoke test watches a run with it).
    int repaintCount() const { return repaintCount_; }

  protected:
    /// The status line and the bar have just been painted.
    virtual void statusPainted() {}

  private:
    QWidget* owner() const;
    void paintStatus();

    MainView* view_ = nullptr;
    std::string openFailure_;
    QPointer<QWidget> viewer_;
    int repaintCount_ = 0;
    bool batching_ = false; // status calls are being handed over: paint once at the end
    std::unique_ptr<MakeWorker> worker_;
};

} // namespace mivo::qt
