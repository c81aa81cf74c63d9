// mivo: the main window. Settings, gallery list and log live beside the program, or in the
// user's config folder when the program folder is not the user's.

#include <cstdio>
#include <cstring>
#include <string>

#include "common/program.h"
#include "common/program_files.h"
#include "common/translate.h"
#include "settings/program_language.h"
#include "window/qt/program_main.h"

namespace {

const char* const kUsage = "Usage: mivo [--help | --version | FOLDER]\n";

// Japanese is the source text; the catalogue holds the English.
const char* const kHelp = mivo::translatable(
    "Mivo のウィンドウを開きます。画像フォルダとページの保存先を選んで「作成」を押すと、静的な\n"
    "HTML のフォトギャラリーを作ります。FOLDER を指定すると、そのフォルダを画像フォルダにして\n"
    "(単体で作成する) 開きます。設定 (Mivo.ini) は、プログラムのフォルダに書き込めるときはその\n"
    "中に、そうでなければ ~/.config/mivo に保存します。mivo-make はウィンドウなしで同じギャラリー\n"
    "を作ります。詳しくは man mivo とヘルプ (F1) を参照してください。\n");

} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        const std::string programFolder = mivo::locateProgramFolder();
        mivo::chooseProgramLanguage(
            mivo::locateProgramFiles(programFolder, mivo::currentProgramEnvironment(programFolder)),
            mivo::processEnvironment());
        std::fputs(kUsage, stdout);
        std::fputs(mivo::translate(kHelp).c_str(), stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("mivo %s\n", mivo::versionText().c_str());
        return 0;
    }
    return mivo::qt::runWindowProgram(argc, argv);
}
