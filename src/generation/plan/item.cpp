#include "generation/plan/item.h"

#include "common/paths.h"
#include "common/text.h"

namespace mivo {

Item listedItem(const std::string& folder, const std::string& name, ItemKind kind) {
    Item item;
    item.file.strName = name;
    item.kind = kind;
    item.path = cmAddPath(folder, name, kPathSeparator);
    return item;
}

void PictureList::add(Item item) {
    items_.push_back(std::move(item));
}

void PictureList::indexItems() const {
    for (; indexed_ < items_.size(); ++indexed_) {
        // Only the first of several names that differ in letter case is reachable by key.
        index_.try_emplace(asciiUpper(items_[indexed_].name()), indexed_);
    }
}

Item* PictureList::find(const std::string& name) {
    indexItems();
    const auto it = index_.find(asciiUpper(name));
    return it == index_.end() ? nullptr : &items_[it->second];
}

const Item* PictureList::find(const std::string& name) const {
    indexItems();
    const auto it = index_.find(asciiUpper(name));
    return it == index_.end() ? nullptr : &items_[it->second];
}

void PictureList::clear() {
    items_.clear();
    index_.clear();
    indexed_ = 0;
}

} // namespace mivo
