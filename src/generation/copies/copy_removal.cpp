#include "generation/copies/copy_removal.h"

#include <utility>
#include <vector>

#include "common/log.h"

namespace mivo {

std::size_t removeStaleCopies(const CopyFolderSet& folders, const CopyRecord& before,
                              const NameList& assigned, const PictureList& items, CopyRecord& after,
                              std::vector<RemovedCopy>& removed) {
    auto removeOwn = [&](const std::string& name, const MadeCopies& made) {
        CopyNames stale = recordedNames(name, made);
        if (assigned.contains(stale.file)) {
            stale.file.clear();
        }
        if (assigned.contains(stale.webVideo)) {
            stale.webVideo.clear();
        }
        const auto kept = after.find(name);
        if (assigned.contains(stale.thumbWebp) &&
            (kept == after.end() || kept->second.webp || kept->second.variant != made.variant)) {
            // Another item's, or this item's, made again with WebP thumbnails of the same name.
            stale.thumbWebp.clear();
        }
        std::string error;
        if (!removeCopies(folders, stale, error, &removed)) {
            cmWriteLog(kCopierLog, 4, "<" + error + "> cannot be removed");
            if (after.count(name) == 0) {
                MadeCopies unfinishedCopies = made;
                unfinishedCopies.ok = false;
                after[name] = unfinishedCopies;
            }
        }
    };
    // The items' names, listed only when a line is not kept.
    NameList itemNames;
    bool itemsListed = false;
    std::size_t gone = 0;
    for (const auto& [name, made] : before) {
        const auto kept = after.find(name);
        // Kept under the same names; names it no longer has (an animation copy or WebP
        // thumbnails dropped) go, and its own names kept are never removed.
        if (kept != after.end() && (kept->second == made || recordedNames(name, kept->second) ==
                                                                recordedNames(name, made))) {
            continue;
        }
        removeOwn(name, made);
        if (!itemsListed) {
            std::vector<std::string> names;
            names.reserve(items.size());
            for (const Item& item : items) {
                names.push_back(item.name());
            }
            itemNames = NameList(std::move(names));
            itemsListed = true;
        }
        if (!itemNames.contains(name)) {
            ++gone;
        }
    }
    return gone;
}

void removeUnfinishedCopies(const CopyFolderSet& folders,
                            const std::vector<std::pair<std::string, MadeCopies>>& unfinished,
                            const CopyRecord& before, CopyRecord& after,
                            std::vector<RemovedCopy>& removed) {
    for (const auto& [name, stamp] : unfinished) {
        if (after.count(name) == 0 && before.count(name) == 0) {
            // Its files were removed by the worker; make sure. (Not as stale copies: these
            // names are this item's own.)
            const CopyNames own = recordedNames(name, stamp);
            std::string error;
            if (!removeCopies(folders, own, error, &removed)) {
                cmWriteLog(kCopierLog, 4, "<" + error + "> cannot be removed");
                MadeCopies claimed = stamp;
                claimed.ok = false;
                after[name] = claimed;
            }
        }
    }
}

} // namespace mivo
