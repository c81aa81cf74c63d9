#pragma once

#include <string>
#include <vector>

#include "generation/make_settings.h"
#include "generation/status.h"
#include "settings/gallery_list.h"

namespace mivo {

/// One Make run on a snapshot of the window: checks every gallery, then writes its pages (and
/// the menu page in menu mode), reporting through `status`. `rows` are the gallery list's rows
/// (menu mode). true when the run ended with "完了しました".
bool runMake(const MakeSettings& settings, const std::vector<GalleryEntry>& rows,
             StatusSink& status);

} // namespace mivo
