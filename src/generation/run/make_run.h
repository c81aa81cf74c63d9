#pragma once

#include <string>
#include <vector>

#include "common/program_files.h"
#include "generation/plan/status.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"

namespace mivo {

/// How a Make run ended.
struct MakeResult {
    bool done = false; // the run ended with "完了しました"
    bool stopped =
        false; // the user stopped it ("中止しました"); unfinished pages kept their old text
    std::string failure; // a page that was not written and why; empty otherwise
    // Every item the run could not make copies of, left out or showed from its original,
    // with its path and why, in the user's language; empty when there is none.
    std::string items;
};

/// One Make run on the values shown when 作成 was pressed: plans the galleries from the
/// settings (and the gallery list's rows in menu mode), checks every gallery, then writes its
/// pages and, in menu mode, the menu page, reporting through `sink`. `files` says where the
/// templates are. The window and mivo-make both run through here. `pictureWorkers` threads
/// read picture headers (0: a number from the hardware). When the sink asks to stop, the run
/// ends before the next picture or page; the page being written is left as it was.
MakeResult runMake(const Settings& settings, const std::vector<GalleryEntry>& rows,
                   const ProgramFiles& files, StatusSink& sink, int pictureWorkers = 0);

} // namespace mivo
