#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

namespace mivo {

/// True when `a` comes before `b` in natural order: runs of digits compare by their value
/// (IMG_2 before IMG_10), everything else by its ASCII capitals, then by the bytes.
bool naturalLess(std::string_view a, std::string_view b);

/// The output folder names of one album's sub-albums. Each name is the folder's own, made safe
/// for a link and a file system: what would end or change a link ("<", '"', "#", "%", "?"...),
/// control characters and bytes that are not UTF-8 become "_", and a name is never one of the
/// album's own files (index.html, list.html, pict.html, thumbs, view). Two names that would
/// meet, even where letter case is not told apart, are kept apart with "~2", "~3"...
class FolderNames {
  public:
    FolderNames();
    /// The output name of the folder `name`, taken so that no later one gets it.
    std::string take(std::string_view name);

  private:
    std::unordered_set<std::string> taken_; // ASCII capitals of the names given out
};

/// `name` with every character a folder name of the pages must not hold made "_".
std::string safeFolderName(std::string_view name);

} // namespace mivo
