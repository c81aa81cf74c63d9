// mivo: the main window. Settings, gallery list and log live beside the program, or in the
// user's config folder when the program folder is not the user's.

#include <cstdio>
#include <cstring>

#include "common/program.h"
#include "window/qt/program_main.h"

namespace {

const char* const kHelp =
    "Usage: mivo [--help | --version]\n"
    "Opens Mivo's window: choose a picture folder and where the pages go, then press 作成\n"
    "(Make) to write a static HTML photo gallery. Settings live in Mivo.ini beside the program\n"
    "when its folder is yours to write, else in ~/.config/mivo. mivo-make makes the same\n"
    "galleries without the window. See man mivo and the help (F1) for more.\n";

} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("mivo %s\n", mivo::versionText().c_str());
        return 0;
    }
    return mivo::qt::runWindowProgram(argc, argv);
}
