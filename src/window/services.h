#pragma once

#include <string>

#include "window/controls.h"

namespace mivo {

/// What the window needs from the desktop. The Qt view implements it; tests stand in for it.
class WindowServices {
  public:
    virtual ~WindowServices() = default;

    /// Opens a file, folder or address with the desktop's default action, owned by the main
    /// window, shown normally, without waiting for it. false when the desktop refused.
    virtual bool shellOpen(const std::string& target, const std::string& parameters) = 0;

    /// Shows the file-open dialog modally, starting in dialog.InitDir with dialog.FileName
    /// preselected and listing dialog.Filter. true with dialog.FileName set to the chosen
    /// file's full path; false (dialog untouched) when the user cancelled.
    virtual bool showOpenDialog(FileDialog& dialog) = 0;

    /// A message box with an OK button, owned by the main window.
    virtual void showMessage(const std::string& text, const std::string& caption) = 0;

    /// A message box that offers to try again or to go on without it: true for "try again".
    virtual bool askRetry(const std::string& text, const std::string& caption) = 0;

    /// Repaints the status label and the progress bar before returning, without processing
    /// user input (the Make run holds the event thread).
    virtual void repaintStatus() = 0;

    /// Loads a picture file for the preview and reports its pixel size; false when it cannot
    /// be loaded as a picture.
    virtual bool loadPicture(const std::string& path, long& outWidth, long& outHeight) = 0;

    /// Closes the main window's widget. The form has already saved its state (Form_Unload).
    virtual void closeWindow() = 0;
};

/// Asks the desktop to open a file, folder or address with its default action. The owner
/// window stands behind `inOwner`; an empty parameter text passes none. Writes no log lines.
bool cmShellOpen(const std::string& instrFile, WindowServices& inOwner,
                 const std::string& instrParameters);

} // namespace mivo
