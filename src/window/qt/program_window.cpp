#include "window/qt/program_window.h"

#include <utility>

namespace mivo::qt {

ProgramWindow::ProgramWindow(ProgramFiles files) : form(std::move(files), services), view(form) {
    services.setView(&view);
    form.Form_Load();
    view.restorePlace();
    view.show();
}

ProgramWindow::~ProgramWindow() {
    services.setView(nullptr);
}

} // namespace mivo::qt
