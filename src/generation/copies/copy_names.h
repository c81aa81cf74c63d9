#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mivo {

/// The names of one item's copies: the same file name in thumbs/, thumbs/2x/ and view/; for a
/// video its web video in view/, for a big moving picture its animation copy there ("" for any
/// other picture); and the WebP thumbnails in thumbs/ and thumbs/2x/ ("" when it has none).
struct CopyNames {
    std::string file;
    std::string webVideo;
    std::string thumbWebp;

    bool operator==(const CopyNames&) const = default;
};

/// Names made once and then only looked up, as one vector sorted at the first look-up (a run
/// with nothing changed may never make one): a look-up is a binary search, and no name is a
/// node of its own.
class NameList {
  public:
    NameList() = default;
    explicit NameList(std::vector<std::string> names) : names_(std::move(names)) {}
    bool contains(std::string_view name) const;

  private:
    mutable std::vector<std::string> names_;
    mutable bool sorted_ = false;
};

/// The name of the WebP thumbnails beside the JPEG thumbnails named `file`: the name with
/// ".webp" added, so it is as unique as the JPEG's and never a JPEG copy's name.
std::string webpThumbName(const std::string& file);

/// The names of the copies of the item `itemName`. Variant 0 gives the usual names: a JPEG's
/// own name, the name with ".jpg" added for other kinds (the copies are always JPEG; a video's
/// are its poster), and for a video the name with ".mp4" added. Variant 2, 3... puts "~2",
/// "~3"... before the extension Mivo adds (before a JPEG's own), for an item whose usual names
/// another item has. `animation`, for a picture, is the extension of its animation copy
/// ("mp4"), the name with it added; "" for none.
CopyNames copyNamesOf(const std::string& itemName, bool video, int variant = 0,
                      const std::string& animation = {});

/// A name as a file system that does not tell letter case apart sees it (FAT and exFAT cards,
/// a shared folder): two names with the same key are one file there.
std::string caseFoldedName(const std::string& name);

/// The variant of each item's copy names (see copyNamesOf), so that no two items of a folder
/// have copies of the same name, even where letter case is not told apart: a JPEG keeps its
/// own name ("b.gif.jpg" before the copies of "b.gif"), then names in byte order ("a.MOV"
/// before "a.mov"); a later one takes the first free variant. Depends only on the names.
std::vector<int> copyVariants(const std::vector<std::string>& itemNames);
/// copyVariants with each item's usual copy file name (copyNamesOf(name, ...).file, variant 0)
/// already known.
std::vector<int> copyVariants(const std::vector<std::string>& itemNames,
                              const std::vector<std::string>& usualFiles);

} // namespace mivo
