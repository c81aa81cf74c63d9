#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/codepage.h"

namespace mivo {

/// A profile-format INI file held in memory: read once, asked and changed many times, written
/// once. Lines nobody changes keep their bytes exactly; unknown sections, keys and comments
/// stay where they are. Section and key names match without regard to ASCII letter case; a
/// key is looked up in the first section of its name, as the profile functions do.
class IniDocument {
  public:
    IniDocument() = default;
    // Lines point into the document's own buffers, which must not move.
    IniDocument(const IniDocument&) = delete;
    IniDocument& operator=(const IniDocument&) = delete;

    /// Reads the file. A missing file gives an empty document and true; false when the file is
    /// there but cannot be read (then `unreadable()` is true and save() refuses).
    bool load(const std::string& path);

    /// The stored value of a key, blanks around it dropped; false when the section or key is
    /// missing. `""` is not turned into empty here.
    bool find(std::string_view section, std::string_view key, std::string& result);

    /// Sets a key's value (as given: no quoting), adding the key after its section's last key
    /// or a new section at the end of the file.
    void set(const std::string& section, const std::string& key, const std::string& value);

    /// Writes the whole document with one atomic replace of `path` (a symbolic link is replaced
    /// at its target). The file stays cp932 while every changed line fits; otherwise it becomes
    /// UTF-8 with a BOM. false (file untouched) when the document could not be read or the
    /// write failed; `errorText` then says why.
    bool save(const std::string& path, std::string* errorText = nullptr) const;

    bool unreadable() const { return unreadable_; }
    bool changed() const { return changed_; }
    std::size_t lineCount() const { return lines_.size(); }

  private:
    struct Line {
        std::string_view text; // raw file bytes, or UTF-8 once changed
        std::uint8_t eol = 0;  // 0 none, 1 CR, 2 LF, 3 CR LF
        bool changed = false;
    };
    struct Section {
        std::size_t header = 0;  // index of the header line
        bool indexed = false;    // its keys are in keys_
        std::size_t lastKey = 0; // index of its last key line, or the header
    };

    std::string decoded(const Line& line) const;
    std::size_t sectionEnd(std::size_t header) const;
    Section* findSection(std::string_view section);
    void indexKeys(Section& section, const std::string& foldedName);
    void insertLine(std::size_t at, std::string text);

    std::string bytes_;             // the file as read
    std::deque<std::string> owned_; // texts of changed and added lines
    std::vector<Line> lines_;       // in file order
    TextEncoding encoding_ = TextEncoding::Cp932;
    std::vector<std::size_t> headers_;                  // indexes of every section header
    std::unordered_map<std::string, Section> sections_; // folded name -> first section
    std::unordered_map<std::string, std::size_t> keys_; // folded "section\nkey" -> line
    bool unreadable_ = false;
    bool changed_ = false;
};

} // namespace mivo
