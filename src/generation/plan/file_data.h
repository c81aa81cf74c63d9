#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace mivo {

/// One picture of a gallery.
class ClassFileData {
  public:
    std::string strName; // file name without folder, as listed
    std::string strInfo; // the rest of its filelist.csv row, or ""
    // When the row wrote fields in double quotes: those fields, quotes taken off. Empty for
    // a plain row, whose fields are strInfo split at its commas.
    std::vector<std::string> infoFields{};
    bool infoQuoted = false;
};

/// The pictures of one gallery in listing order, each also found by its name with ASCII
/// letter case ignored. Names that differ only in case all stay; the look-up finds the first.
class PictureList {
  public:
    void add(ClassFileData item);
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    ClassFileData& operator[](std::size_t index) { return items_[index]; }
    const ClassFileData& operator[](std::size_t index) const { return items_[index]; }
    /// The first picture whose name equals `name` ignoring ASCII case, or nullptr.
    ClassFileData* find(const std::string& name);
    const ClassFileData* find(const std::string& name) const;
    void clear();

    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    /// Brings the look-up up to date with the items: it is made on the first find, since most
    /// galleries have no filelist.csv and never look a name up.
    void indexItems() const;

    std::vector<ClassFileData> items_;
    mutable std::unordered_map<std::string, std::size_t> index_; // upper-cased name -> first
    mutable std::size_t indexed_ = 0;                            // items in index_
};

} // namespace mivo
