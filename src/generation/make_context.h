#pragma once

#include <string>
#include <vector>

#include "generation/make_settings.h"
#include "generation/status.h"
#include "settings/gallery_list.h"

namespace mivo {

/// What one Make run keeps while it lasts: the per-gallery arrays (indexed by the zero-based
/// gallery index), the start picture number and the picture-entry array shared by every
/// gallery of the run.
struct RunState {
    std::vector<std::string> gstrFilelistHead; // filelist.csv header per gallery
    std::vector<std::string> gstrMenuItem;     // menu entry per gallery (menu mode)
    int gintStartNo = 0;                       // table position of the start picture
    std::vector<std::string> picEntries;       // the picture-entry array
};

/// Everything the routines of a run read and report to.
struct MakeContext {
    const MakeSettings& settings;
    StatusSink& status;
    RunState& state;
    const std::vector<GalleryEntry>& rows; // the gallery list (menu mode)
};

} // namespace mivo
