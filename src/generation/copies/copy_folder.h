#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mivo {

/// True for a name that stays inside its folder: not empty, not "." or "..", and without a
/// "/" or a NUL. Only such names are ever written or deleted in a copy folder.
bool isPlainFileName(std::string_view name);

/// True for the name of a temporary file a copy folder writes before renaming it:
/// ".<name>.part-XXXXXX". A run killed part-way may leave one; the next run removes it.
bool isCopyTemporaryName(std::string_view name);

/// One entry of a folder listing.
struct FolderEntry {
    std::string name;
    bool regular = false; // a regular file itself, not a link to one
};

/// One of the folders Mivo keeps its copies in, held open while a gallery's copies are made.
/// Every name is looked up relative to the open folder and no link is ever followed: a file
/// is written into a new temporary file and renamed over its name (a link of that name is
/// replaced, never written through), and removing a name removes the link itself. So nothing
/// outside the folder is ever written or deleted, whatever the folder holds.
class CopyFolder {
  public:
    CopyFolder() = default;
    ~CopyFolder();
    CopyFolder(const CopyFolder&) = delete;
    CopyFolder& operator=(const CopyFolder&) = delete;

    /// Opens the existing folder `path` (a link to a folder is followed: the page folder is
    /// the user's choice). false with `error` when it cannot.
    bool openExisting(const std::string& path, std::string& error);
    /// Opens the folder `name` inside `parent`, made first when it is missing. A link, a file
    /// or anything else in the way is refused: false with `error` naming it and why.
    bool openInside(const CopyFolder& parent, const std::string& name, std::string& error);

    const std::string& path() const { return path_; }
    int fd() const { return fd_; }

    /// Every name in the folder but "." and "..". false when it cannot be listed.
    bool list(std::vector<FolderEntry>& entries) const;
    /// Writes `bytes` as the file `name` (a plain name). false with `error` (the path and the
    /// reason) when it cannot; no temporary file is left behind then.
    bool writeFile(const std::string& name, std::string_view bytes, std::string& error) const;
    /// Removes the file `name` (a plain name) when it is there. false with `error` when it is
    /// there and cannot be removed. `removed`, when given, is set true when a file went.
    bool removeFile(const std::string& name, std::string& error, bool* removed = nullptr) const;

  private:
    void close();

    int fd_ = -1;
    std::string path_;
};

/// The text of the system's reason for error number `code`.
std::string systemErrorText(int code);

} // namespace mivo
