#include "generation/plan/item.h"

#include "common/paths.h"
#include "common/text.h"

#include <algorithm>
#include <utility>
#include <vector>

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

void PictureList::unfoldMotions() {
    // An album without Live Photos keeps its items where they are: its headers may be being
    // read ahead of its pages.
    if (std::none_of(items_.begin(), items_.end(),
                     [](const Item& item) { return item.motion != nullptr; })) {
        return;
    }
    std::vector<Item> unfolded;
    unfolded.reserve(items_.size());
    bool any = false;
    for (Item& item : items_) {
        std::unique_ptr<Item> motion = std::move(item.motion);
        unfolded.push_back(std::move(item));
        if (motion) {
            motion->motionOf = unfolded.back().name();
            unfolded.push_back(std::move(*motion));
            any = true;
        }
    }
    items_ = std::move(unfolded);
    if (any) {
        index_.clear();
        indexed_ = 0;
    }
}

void PictureList::foldMotions() {
    if (std::all_of(items_.begin(), items_.end(),
                    [](const Item& item) { return item.motionOf.empty(); })) {
        return;
    }
    std::vector<Item> folded;
    folded.reserve(items_.size());
    bool any = false;
    for (Item& item : items_) {
        if (item.motionOf.empty()) {
            folded.push_back(std::move(item));
            continue;
        }
        any = true;
        const bool stillThere = !folded.empty() && folded.back().motionOf.empty() &&
                                !folded.back().motion && folded.back().name() == item.motionOf;
        item.motionOf.clear();
        if (stillThere) {
            folded.back().motion = std::make_unique<Item>(std::move(item));
        } else {
            folded.push_back(std::move(item));
        }
    }
    items_ = std::move(folded);
    if (any) {
        index_.clear();
        indexed_ = 0;
    }
}

void PictureList::clear() {
    items_.clear();
    index_.clear();
    indexed_ = 0;
}

} // namespace mivo
