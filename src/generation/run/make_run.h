#pragma once

#include <string>
#include <vector>

#include "common/program_files.h"
#include "generation/plan/album_result.h"
#include "generation/plan/status.h"

namespace mivo {

// The run hands the settings and the gallery list to the planners, which alone read them.
struct Settings;
struct GalleryEntry;

/// How a Make run ended.
struct MakeResult {
    bool done = false; // the run ended with "完了しました"
    bool stopped =
        false; // the user stopped it ("中止しました"); unfinished pages kept their old text
    std::string failure; // a page that was not written and why; empty otherwise
    // Every item the run could not make copies of, left out or showed from its original,
    // with its path and why, in the user's language; empty when there is none.
    std::string items;
    // Every page, copy, web video and copy record the run wrote, replaced and removed, album
    // by album (Manifest: absolute paths).
    Manifest files;
};

/// One Make run on the values shown when 作成 was pressed: a planner makes the tree of albums
/// from the settings (and the gallery list's rows), every album is checked, then the tree is
/// walked depth first (each album's copies and pages, then its children, then its index of
/// its children), reporting through `sink`. `files` says where the templates are. The window
/// and mivo-make both run through here. `pictureWorkers` threads read picture headers (0: a
/// number from the hardware). When the sink asks to stop, the run ends before the next
/// picture or page; the page being written is left as it was.
MakeResult runMake(const Settings& settings, const std::vector<GalleryEntry>& rows,
                   const ProgramFiles& files, StatusSink& sink, int pictureWorkers = 0);

} // namespace mivo
