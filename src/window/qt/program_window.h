#pragma once

#include <string>

#include "common/program_files.h"
#include "window/form_main.h"
#include "window/qt/desktop_services.h"
#include "window/qt/main_view.h"

namespace mivo::qt {

/// The window as a program opens it: the desktop services, the form on `files`, and its view
/// bound to the services, loaded and shown (on `pictureFolder` when one is given: `mivo
/// FOLDER`). The view is unbound from the services before the view and the form go, whatever
/// the program did in between.
struct ProgramWindow {
    explicit ProgramWindow(ProgramFiles files, const std::string& pictureFolder = {});
    ~ProgramWindow();
    ProgramWindow(const ProgramWindow&) = delete;
    ProgramWindow& operator=(const ProgramWindow&) = delete;

    DesktopServices services;
    FormMain form;
    MainView view;
};

} // namespace mivo::qt
