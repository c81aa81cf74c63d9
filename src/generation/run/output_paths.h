#pragma once

#include <string>

#include "generation/plan/gallery_job.h"
#include "generation/plan/status.h"

namespace mivo {

/// Computes a gallery's OutputPaths; in menu mode creates the numbered gallery folder when
/// nothing of its name exists. false (with the folder's message shown) when a needed path is
/// empty or the folder cannot be created.
bool mainGetMakePath(RunStatus& status, const GalleryJob& job, OutputPaths& pagePaths);

} // namespace mivo
