#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "generation/copies/copy_folder.h"
#include "generation/copies/copy_names.h"

namespace mivo {

/// Folders Mivo owns beside a gallery's pages: thumbnails at 1x (thumbs/), at 2x (thumbs/2x/)
/// and display copies (view/).
inline constexpr const char* kThumbFolder = "thumbs";
inline constexpr const char* kThumb2xFolder = "2x";
inline constexpr const char* kViewFolder = "view";

/// The folders of one album's copies, held open while they are made: the page folder and,
/// made inside it when missing, thumbs/, thumbs/2x/ and view/.
struct CopyFolderSet {
    CopyFolder page;
    CopyFolder thumbs;
    CopyFolder thumbs2x;
    CopyFolder views;

    /// false with `error` when the page folder cannot be opened or a copy folder not made.
    bool open(const std::string& pageFolder, std::string& error);
    /// Where `folder` (one of the three) lies in the page folder: "thumbs", "thumbs/2x", "view".
    std::string relativeOf(const CopyFolder& folder) const;
};

/// A file that went from one of the copy folders.
struct RemovedCopy {
    const CopyFolder* folder = nullptr;
    std::string name;
};

/// What one copy folder holds: every name, and whether it is a regular file, in one vector
/// ordered by the names' hashes, so that a look-up is a binary search over numbers and no name
/// is a node of its own.
class Listing {
  public:
    /// Takes `entries` (in any order) as the folder's contents.
    void take(std::vector<FolderEntry> entries);
    /// Takes what `source` gives as the folder's contents, asked the first time a name is
    /// looked up: a run that finds every copy as the record has it may never ask.
    void takeLater(std::function<std::vector<FolderEntry>()> source);
    bool has(std::string_view name) const { return find(name) != nullptr; }
    bool hasRegular(std::string_view name) const {
        const FolderEntry* entry = find(name);
        return entry != nullptr && entry->regular;
    }
    /// True when the folder holds `entries` (names without repeats) and nothing else, each a
    /// regular file or not as it says.
    bool holdsExactly(const std::vector<FolderEntry>& entries) const;
    std::size_t size() const;

  private:
    struct Slot {
        std::size_t hash;
        std::size_t entry;
    };
    const FolderEntry* find(std::string_view name) const;
    void fill() const;
    void index(std::vector<FolderEntry> entries) const;

    mutable std::function<std::vector<FolderEntry>()> source_;
    mutable std::vector<FolderEntry> entries_;
    mutable std::vector<Slot> slots_; // by hash
};

/// Lists a copy folder and removes what a killed run left there: the temporary files of a
/// copy or of the record (".<name>.part-XXXXXX"), and the "<copy>.part" files older versions
/// wrote for copies `isOwn` says are Mivo's (it is asked only about such names).
Listing listAndTidy(const CopyFolder& folder, const std::function<bool(const std::string&)>& isOwn);

/// What is already in the three copy folders.
struct FolderContents {
    Listing thumbs;
    Listing thumbs2x;
    Listing views;
    // The folders hold exactly the copies the record names as made, with the record and 2x/
    // (their stamps say nothing was added, removed or renamed since a run saw them so): a
    // finished line's copies are all there, and no file of the user's is.
    bool asRecorded = false;

    bool allExist(const std::string& fileName) const {
        return thumbs.hasRegular(fileName) && thumbs2x.hasRegular(fileName) &&
               views.hasRegular(fileName);
    }
    /// Both WebP thumbnails named `webpName` are there.
    bool webpExist(const std::string& webpName) const {
        return thumbs.hasRegular(webpName) && thumbs2x.hasRegular(webpName);
    }
    bool anyTaken(const std::string& fileName) const {
        return thumbs.has(fileName) || thumbs2x.has(fileName) || views.has(fileName);
    }
    /// True when `name` was in `folder` (one of `folders`) when it was listed.
    bool had(const CopyFolderSet& folders, const CopyFolder& folder,
             const std::string& name) const {
        const Listing& listing =
            &folder == &folders.thumbs ? thumbs : (&folder == &folders.thumbs2x ? thumbs2x : views);
        return listing.has(name);
    }
};

/// Removes the three copies named `names.file`, the web video `names.webVideo` and the two
/// WebP thumbnails `names.thumbWebp` (each when not ""); false with `error` when one stays.
/// `removed`, when given, gets every file that went.
bool removeCopies(const CopyFolderSet& folders, const CopyNames& names, std::string& error,
                  std::vector<RemovedCopy>* removed = nullptr);

} // namespace mivo
