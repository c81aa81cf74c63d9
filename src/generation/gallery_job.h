#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "settings/gallery_list.h"
#include "settings/settings.h"

namespace mivo {

/// One gallery of a Make run, described once: the single gallery, or one row of the gallery
/// list in menu mode.
struct GalleryJob {
    bool menu = false; // a gallery of menu mode (numbered folder, menu entry)
    int number = 0;    // 1-based row in menu mode; 0 for the single gallery
    std::string name;  // shown as its sub-title: TextTitleS, or the row's name in menu mode
    std::string picPath;
    bool useThumbnails = false; // its pictures' thumbnails come from samPath
    std::string samPath;
    std::string link1Name; // the previous gallery in menu mode
    std::string link1Url;
    std::string link2Name; // the next gallery in menu mode
    std::string link2Url;
    bool useFilelist = false; // filelist.csv is read; the check turns it off when unusable

    /// Index of the gallery's elements in the run's per-gallery arrays.
    std::size_t index() const { return menu ? static_cast<std::size_t>(number - 1) : 0; }
};

/// The galleries a run makes from the settings: one in single mode, one per list row in
/// menu mode, with the previous and next galleries as links 1 and 2.
std::vector<GalleryJob> planGalleries(const Settings& settings,
                                      const std::vector<GalleryEntry>& rows);

} // namespace mivo
