#pragma once

#include <functional>

namespace mivo::qt {

struct ProgramWindow;

/// The window program from its start to its end: the application, the termination signals,
/// the window on the program's files, the event loop, and the save at the end however the
/// loop ended. `opened` runs once the window is shown, before the event loop starts (the
/// tests press buttons there); main() passes none. Returns the exit status.
int runWindowProgram(int argc, char** argv, const std::function<void(ProgramWindow&)>& opened = {});

} // namespace mivo::qt
