#include "generation/file_data.h"

#include "common/text.h"

namespace mivo {

void PictureList::add(const ClassFileData& item) {
    // Only the first of several names that differ in letter case is reachable by key.
    index_.try_emplace(cmAsciiUpper(item.strName), items_.size());
    items_.push_back(item);
}

ClassFileData* PictureList::find(const std::string& name) {
    const auto it = index_.find(cmAsciiUpper(name));
    return it == index_.end() ? nullptr : &items_[it->second];
}

const ClassFileData* PictureList::find(const std::string& name) const {
    const auto it = index_.find(cmAsciiUpper(name));
    return it == index_.end() ? nullptr : &items_[it->second];
}

void PictureList::clear() {
    items_.clear();
    index_.clear();
}

} // namespace mivo
