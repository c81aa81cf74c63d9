#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/codepage.h"

namespace mivo {

/// Splits text into lines; a line ends at CR LF, a lone CR or a lone LF. A terminator at the
/// very end does not start another line; empty text gives no lines.
std::vector<std::string> splitLines(std::string_view text);

/// Reads a whole file's bytes. false when it cannot be opened or read.
bool readFileBytes(const std::string& path, std::string& contents);

/// Reads a text file (cp932, or UTF-8 after a BOM) as UTF-8 lines.
bool readTextLines(const std::string& path, std::vector<std::string>& fileLines,
                   TextEncoding* detectedEncoding = nullptr);

/// Appends bytes to a file, creating it; false on any failure.
bool appendFileBytes(const std::string& path, std::string_view bytes);

/// What AtomicFile does when the target's name is a symbolic link.
enum class LinkPolicy {
    /// The link itself is replaced by a regular file; what it points at is left untouched.
    /// Pages: a page name that is a link must never overwrite a picture or the settings.
    Replace,
    /// The file the link points at is replaced, so the link stays a link. The program's own
    /// settings files, which a user may keep as links into a folder of their own.
    Follow,
};

/// A file written beside its target and renamed over it on commit, so the target is either
/// the old file or the complete new one. Where the file system allows, the new file has no
/// name until it is complete (O_TMPFILE), so a run killed part-way leaves nothing behind;
/// elsewhere it is the hidden ".<name>.tmp-XXXXXX", locked while it is written, and open()
/// removes such files of the same target that no live writer holds any more. Writes are
/// gathered in a large buffer. Dropping it uncommitted leaves no file behind.
class AtomicFile {
  public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// Creates the temporary file in the target's folder. false when it cannot, or when the
    /// target (after a link, with LinkPolicy::Follow) is a folder or another non-regular file.
    /// The new file keeps the permission bits of the regular file it replaces; a link
    /// replaced has none of its own, so the file is made as any new one.
    bool open(const std::string& targetPath, LinkPolicy links = LinkPolicy::Replace);
    /// True while open on a target whose name is a symbolic link that commit() replaces.
    bool replacesLink() const { return fd_ >= 0 && replacesLink_; }
    /// Appends bytes; a failure is remembered and makes commit() fail.
    void write(std::string_view bytes);
    /// Flushes, syncs and renames over the target. false (target untouched) on any failure.
    /// With `syncFolder` the rename itself is waited for as well; without it a power loss
    /// right after the commit may bring the old file back, but never a partial one.
    bool commit(bool syncFolder = true);
    /// The steps of commit() for files synced together: completeWrite() hands every byte to
    /// the file, syncData() waits until they are on the disk, place() renames the file over
    /// its target (only after syncData(), so the target is the old file or the whole new one).
    /// Each false (target untouched, errno the reason) once any step failed.
    bool completeWrite();
    bool syncData();
    bool place(bool syncFolder = false);
    /// Removes the temporary file without touching the target.
    void discard();
    bool isOpen() const { return fd_ >= 0; }

  private:
    bool flush();
    void fail();
    bool linkTemporary();

    int fd_ = -1;
    bool unnamed_ = false;      // O_TMPFILE: temp_ is given a name only at commit
    bool replacesLink_ = false; // the target's name is a link, replaced by the commit
    std::string target_;
    std::string prefix_; // the temporary names of this target, without their suffix
    std::string temp_;   // the temporary file's name once it has one
    std::string buffer_;
    std::uint64_t written_ = 0; // bytes handed to the file so far
    bool failed_ = false;
    int error_ = 0; // errno of the write that failed
};

/// Replaces a file's whole content atomically. false (old file untouched) on any failure.
bool replaceFileAtomic(const std::string& path, std::string_view bytes,
                       LinkPolicy links = LinkPolicy::Replace);

} // namespace mivo
