#include "generation/copies/copy_folders.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "common/log.h"
#include "generation/copies/copy_record.h"

namespace mivo {

bool CopyFolderSet::open(const std::string& pageFolder, std::string& error) {
    return page.openExisting(pageFolder, error) && thumbs.openInside(page, kThumbFolder, error) &&
           thumbs2x.openInside(thumbs, kThumb2xFolder, error) &&
           views.openInside(page, kViewFolder, error);
}

void Listing::takeLater(std::function<std::vector<FolderEntry>()> source) {
    entries_.clear();
    slots_.clear();
    source_ = std::move(source);
}

void Listing::fill() const {
    if (source_) {
        const auto source = std::move(source_);
        source_ = nullptr;
        index(source());
    }
}

std::size_t Listing::size() const {
    fill();
    return entries_.size();
}

bool Listing::holdsExactly(const std::vector<FolderEntry>& entries) const {
    fill();
    if (entries.size() != entries_.size()) {
        return false;
    }
    return std::all_of(entries.begin(), entries.end(), [&](const FolderEntry& wanted) {
        const FolderEntry* entry = find(wanted.name);
        return entry != nullptr && entry->regular == wanted.regular;
    });
}

void Listing::take(std::vector<FolderEntry> entries) {
    source_ = nullptr;
    index(std::move(entries));
}

void Listing::index(std::vector<FolderEntry> entries) const {
    entries_ = std::move(entries);
    slots_.clear();
    slots_.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        slots_.push_back({std::hash<std::string_view>{}(entries_[i].name), i});
    }
    std::sort(slots_.begin(), slots_.end(),
              [](const Slot& a, const Slot& b) { return a.hash < b.hash; });
}

const FolderEntry* Listing::find(std::string_view name) const {
    fill();
    const std::size_t hash = std::hash<std::string_view>{}(name);
    auto at =
        std::lower_bound(slots_.begin(), slots_.end(), hash,
                         [](const Slot& slot, std::size_t wanted) { return slot.hash < wanted; });
    for (; at != slots_.end() && at->hash == hash; ++at) {
        if (entries_[at->entry].name == name) {
            return &entries_[at->entry];
        }
    }
    return nullptr;
}

Listing listAndTidy(const CopyFolder& folder,
                    const std::function<bool(const std::string&)>& isOwn) {
    std::vector<FolderEntry> entries;
    folder.list(entries);
    const auto leftover = [&](const std::string& name) {
        return isCopyTemporaryName(name) ||
               (name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0 &&
                isOwn(name.substr(0, name.size() - 5)));
    };
    std::size_t kept = 0;
    for (FolderEntry& entry : entries) {
        if (leftover(entry.name)) {
            std::string error;
            if (folder.removeFile(entry.name, error)) {
                cmWriteLog(kCopierLog, 3,
                           "removed a leftover: " + folder.path() + "/" + entry.name);
                continue;
            }
        }
        if (&entries[kept] != &entry) {
            entries[kept] = std::move(entry);
        }
        ++kept;
    }
    entries.resize(kept);
    Listing listing;
    listing.take(std::move(entries));
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
