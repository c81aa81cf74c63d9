#pragma once

#include "common/program_files.h"
#include "generation/plan/status.h"

namespace mivo {

class PageStore;
class ReaderThreads;

/// What the routines of a run use and report to; the values they work on are passed to them.
struct RunServices {
    const ProgramFiles& files; // where the templates are
    RunStatus& status;
    int pictureWorkers = 0; // threads reading picture headers; 0 picks a number from the hardware
    PageStore* pageStore = nullptr;   // the run's templates and pages waiting for their sync;
                                      // none: each page read and synced on its own
    ReaderThreads* readers = nullptr; // the run's header readers, lent to album after album;
                                      // none: each album starts its own
};

} // namespace mivo
