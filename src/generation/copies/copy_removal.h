#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "generation/copies/copy_folders.h"
#include "generation/copies/copy_record.h"
#include "generation/plan/item.h"

namespace mivo {

/// Removes the copies the record (`before`) lists but this run did not keep (`after`): their
/// items are gone, changed, or their copies could not be made again or have other names now.
/// Names another item of this run has (`assigned`) are that item's now. A name whose files
/// cannot all be removed stays on record as Mivo's (unfinished), so a later run may still
/// replace or remove them. Gives how many of them belonged to items no longer in `items`;
/// `removed` gets every file that went. A record line kept as it was costs one comparison.
std::size_t removeStaleCopies(const CopyFolderSet& folders, const CopyRecord& before,
                              const NameList& assigned, const PictureList& items, CopyRecord& after,
                              std::vector<RemovedCopy>& removed);

/// Makes sure that the items whose copies were not made (`unfinished`: each item with the names
/// it claimed), and that are on no record, leave no file behind; a name whose files stay is
/// kept on record as Mivo's. `removed` gets every file that went.
void removeUnfinishedCopies(const CopyFolderSet& folders,
                            const std::vector<std::pair<std::string, MadeCopies>>& unfinished,
                            const CopyRecord& before, CopyRecord& after,
                            std::vector<RemovedCopy>& removed);

} // namespace mivo
