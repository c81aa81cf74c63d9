#include "generation/copies/copy_folders.h"

#include <vector>

#include "common/log.h"
#include "generation/copies/copy_record.h"

namespace mivo {

bool CopyFolderSet::open(const std::string& pageFolder, std::string& error) {
    return page.openExisting(pageFolder, error) && thumbs.openInside(page, kThumbFolder, error) &&
           thumbs2x.openInside(thumbs, kThumb2xFolder, error) &&
           views.openInside(page, kViewFolder, error);
}

Listing listAndTidy(const CopyFolder& folder, const std::set<std::string>& ownNames) {
    Listing listing;
    std::vector<FolderEntry> entries;
    folder.list(entries);
    for (FolderEntry& entry : entries) {
        const std::string& name = entry.name;
        const bool oldPart = name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0 &&
                             ownNames.count(name.substr(0, name.size() - 5)) != 0;
        if (isCopyTemporaryName(name) || oldPart) {
            std::string error;
            if (folder.removeFile(name, error)) {
                cmWriteLog(kCopierLog, 3, "removed a leftover: " + folder.path() + "/" + name);
                continue;
            }
        }
        if (entry.regular) {
            listing.regular.insert(name);
        }
        listing.names.insert(std::move(entry.name));
    }
    return listing;
}

std::string CopyFolderSet::relativeOf(const CopyFolder& folder) const {
    if (&folder == &thumbs) {
        return kThumbFolder;
    }
    if (&folder == &thumbs2x) {
        return std::string(kThumbFolder) + "/" + kThumb2xFolder;
    }
    return kViewFolder;
}

bool removeCopies(const CopyFolderSet& folders, const CopyNames& names, std::string& error,
                  std::vector<RemovedCopy>* removed) {
    const auto remove = [&](const CopyFolder& folder, const std::string& name) {
        bool went = false;
        const bool ok = folder.removeFile(name, error, &went);
        if (went && removed != nullptr) {
            removed->push_back({&folder, name});
        }
        return ok;
    };
    bool ok = names.webVideo.empty() || remove(folders.views, names.webVideo);
    if (!names.thumbWebp.empty()) {
        ok = remove(folders.thumbs2x, names.thumbWebp) && ok;
        ok = remove(folders.thumbs, names.thumbWebp) && ok;
    }
    if (names.file.empty()) {
        return ok;
    }
    ok = remove(folders.views, names.file) && ok;
    ok = remove(folders.thumbs2x, names.file) && ok;
    return remove(folders.thumbs, names.file) && ok;
}

} // namespace mivo
