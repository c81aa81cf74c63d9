// mivo: the main window. Settings, gallery list and log live beside the program, or in the
// user's config folder when the program folder is not the user's.

#include "window/qt/program_main.h"

int main(int argc, char** argv) {
    return mivo::qt::runWindowProgram(argc, argv);
}
