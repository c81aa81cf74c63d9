#include "window/qt/program_window.h"

#include <utility>

namespace mivo::qt {

ProgramWindow::ProgramWindow(ProgramFiles files, const std::string& pictureFolder)
    : form(std::move(files), services), view(form) {
    services.setView(&view);
    form.Form_Load();
    if (!pictureFolder.empty()) {
        form.openPictureFolder(pictureFolder);
    }
    view.restorePlace();
    view.show();
}

ProgramWindow::~ProgramWindow() {
    services.setView(nullptr);
}

} // namespace mivo::qt
