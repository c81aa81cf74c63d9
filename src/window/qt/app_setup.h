#pragma once

class QApplication;
class QIcon;

namespace mivo::qt {

/// Application name, window icon and the Japanese font every caption needs.
void setUpApplication(QApplication& app);

/// The program icon (window, taskbar, the version frame).
QIcon programIcon();

/// The family chosen for the captions, or an empty string when none of the preferred Japanese
/// fonts is installed and the desktop's fallback has to do.
const char* captionFontFamily();

} // namespace mivo::qt
