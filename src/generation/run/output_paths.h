#pragma once

#include <string>

#include "generation/plan/album.h"
#include "generation/plan/status.h"

namespace mivo {

/// Works out where an album's pages go (its OutputPaths, from the place its planner gave it)
/// into `album.paths`; an album with its own folder gets the folder made when nothing of its
/// name exists (one level). false (with the message shown) when a needed path is empty or the
/// folder cannot be made.
bool mainGetMakePath(RunStatus& status, Album& album);

/// The folder mainGetMakePath puts the album's pages (and its copies) in, worked out without
/// its log and without making anything: safe on any thread.
std::string quietPageFolder(const AlbumPlace& place);

} // namespace mivo
