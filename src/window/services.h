#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <utility>

#include "generation/plan/status.h"
#include "window/controls.h"

namespace mivo {

/// Where the main window is on the screen, in pixels: its place and size when not maximized.
struct WindowPlace {
    long long left = 0;
    long long top = 0;
    long long width = 0;
    long long height = 0;
    bool maximized = false;
};

/// What the window needs from the desktop. The Qt view implements it; tests stand in for it.
class WindowServices {
  public:
    virtual ~WindowServices() = default;

    /// Opens a file, folder or address with the desktop's default action, owned by the main
    /// window, shown normally, without waiting for it. false when the desktop refused.
    virtual bool shellOpen(const std::string& target, const std::string& parameters) = 0;
    /// Why the last shellOpen gave false, in the user's words ("" when it is not known).
    virtual std::string openFailureReason() const { return {}; }

    /// Shows a text in the program's own read-only viewer window, titled `title`, beside the
    /// main window (not modal). A second call shows the new text in the same viewer.
    virtual void showTextViewer(const std::string& title, const std::string& text) = 0;

    /// Shows the file-open dialog modally, starting in dialog.InitDir with dialog.FileName
    /// preselected and listing dialog.Filter. true with dialog.FileName set to the chosen
    /// file's full path; false (dialog untouched) when the user cancelled.
    virtual bool showOpenDialog(FileDialog& dialog) = 0;

    /// A message box with an OK button, owned by the main window.
    virtual void showMessage(const std::string& text, const std::string& caption) = 0;
    /// The same for a failure: the box carries the warning icon.
    virtual void showWarning(const std::string& text, const std::string& caption) {
        showMessage(text, caption);
    }
    /// The program's own box about itself (version, licence), with its icon.
    virtual void showAbout(const std::string& title, const std::string& text) {
        showMessage(text, title);
    }

    /// A message box that offers to try again or to go on without it: true for "try again".
    virtual bool askRetry(const std::string& text, const std::string& caption) = 0;

    /// A message box that asks a yes-or-no question: true for "yes".
    virtual bool askYesNo(const std::string& text, const std::string& caption) = 0;

    /// Runs a Make run: `work` reports to the sink it is given, then `finished` runs. Here both
    /// run at once on the calling thread with `sink` itself; the desktop runs `work` on a worker
    /// thread, hands every status call on to `sink` on the window's thread in the order made,
    /// and runs `finished` there after the last of them.
    virtual void runInBackground(std::function<void(StatusSink&)> work, StatusSink& sink,
                                 std::function<void()> finished) {
        const auto run = std::move(work);
        const auto done = std::move(finished);
        run(sink);
        done();
    }

    /// Repaints the status label and the progress bar before returning, without processing
    /// user input (the Make run holds the event thread).
    virtual void repaintStatus() = 0;

    /// Loads a picture file for the preview and reports its pixel size; false when it cannot
    /// be loaded as a picture.
    virtual bool loadPicture(const std::string& path, long& pictureWidth, long& pictureHeight) = 0;

    /// Where the main window is now; false when there is no window on screen to ask (the
    /// stored place is then kept as it was).
    virtual bool windowPlace(WindowPlace& /*out*/) const { return false; }

    /// True while the main window is the one the user works in (it has the keyboard).
    virtual bool windowActive() const { return true; }
    /// Tells the desktop's notification service (a bubble outside the window); nothing
    /// happens where there is none.
    virtual void notify(const std::string& /*summary*/, const std::string& /*body*/) {}
    /// The time now, for how long a run took and how long it has still to go.
    virtual std::chrono::steady_clock::time_point now() const {
        return std::chrono::steady_clock::now();
    }
    /// The user's Pictures folder (XDG_PICTURES_DIR), else the home folder.
    virtual std::string picturesFolder() const;

    /// Closes the main window's widget. The form has already saved its state (Form_Unload).
    virtual void closeWindow() = 0;
};

/// Asks the desktop to open a file, folder or address with its default action. The owner
/// window stands behind `owner`; an empty parameter text passes none. Writes no log lines.
bool cmShellOpen(const std::string& instrFile, WindowServices& owner,
                 const std::string& parameters);

} // namespace mivo
