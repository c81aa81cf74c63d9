#pragma once

#include <string>
#include <vector>

#include "common/program_files.h"
#include "generation/exif_info.h"
#include "generation/status.h"
#include "generation/web_sizes.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"

namespace mivo {

class PictureMeasurer;

/// What one Make run keeps while it lasts: the per-gallery arrays (indexed by the zero-based
/// gallery index), the start picture number and the picture-entry array shared by every
/// gallery of the run.
struct RunState {
    std::vector<std::string> gstrFilelistHead; // filelist.csv header per gallery
    std::vector<std::string> gstrMenuItem;     // menu entry per gallery (menu mode)
    long gintStartNo = 0;                      // table position of the start picture
    std::vector<std::string> picEntries;       // the picture-entry array
    // Beside each entry: the fields of a filelist row written with quotes, whole (an entry
    // is split at every comma), or nothing.
    std::vector<std::vector<std::string>> picQuotedFields;
    std::vector<ExifInfo> picExif;  // beside each entry: its shooting data, when shown
    std::string failure;            // the page that was not written and why, once a page failed
    bool stopped = false;           // the user stopped the run
    std::vector<WebCopy> webCopies; // the gallery being written: its pictures' copies, if made
    // Copies that could not be made: the run goes on without them and fails at its end.
    std::size_t copyFailures = 0;
    std::string copyFailure;       // the first one: the picture (or folder) and why
    std::string copyFailedGallery; // the gallery of the first one (menu mode)
};

/// Everything the routines of a run read and report to.
struct MakeContext {
    const Settings& settings;  // the values shown when 作成 was pressed
    const ProgramFiles& files; // where the templates are
    RunStatus& status;
    RunState& state;
    const std::vector<GalleryEntry>& rows; // the gallery list (menu mode)
    int pictureWorkers = 0; // threads reading picture headers; 0 picks a number from the hardware
    // The gallery's headers, already being read when its list page starts; the first table
    // block takes it over. nullptr: the table block starts its own.
    PictureMeasurer* measurer = nullptr;
};

} // namespace mivo
