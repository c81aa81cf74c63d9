#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "generation/plan/album.h"

namespace mivo {

class RowTemplate;

/// What the pages of one run work out once and use again for as long as it still holds: a
/// folder tree writes the same three templates for every album, and most of their lines with
/// placeholders come out the same on every page.
class PageMemo {
  public:
    PageMemo();
    ~PageMemo();
    PageMemo(const PageMemo&) = delete;
    PageMemo& operator=(const PageMemo&) = delete;

    /// A template line with placeholders as the last page that wrote it made it. A line's
    /// substitution is decided by its text and the values of the placeholders replaced on it,
    /// in order, alone: with those values the same, the same bytes come out.
    struct Line {
        /// A placeholder replaced on the line: where it came from (which of the page's parts
        /// replaced it), its row there, and the value it had.
        struct Used {
            std::uint8_t part = 0;
            std::size_t row = 0;
            std::string value;
        };
        bool filled = false;
        std::vector<Used> used;
        bool arrayLine = false; // the page's array took its place
        std::string encoded;    // otherwise: the line's bytes, CR LF included
    };

    /// The memo of `templateLine` (a line of a template the run's store holds, so its address
    /// stays the same for the whole run) as handled by `part` of a page.
    Line& line(const std::string* templateLine, std::uint8_t part);

    /// The row template of a list table block, split again only when the block's text
    /// differs from the last one's.
    RowTemplate& rowTemplate(const std::string& blockText);

    /// Where an album is, as a page in `pageFolder` shows it (`which` 0: its path, 1: the way
    /// up), made by `make` only when the last page that asked was of another album or folder:
    /// an album's three pages lie in one folder and show the same links.
    const std::string& albumLinks(int which, const std::vector<AlbumStep>& trail,
                                  std::string_view pageFolder,
                                  const std::function<std::string()>& make);

  private:
    struct AlbumLinks {
        bool known = false;
        std::vector<AlbumStep> trail;
        std::string pageFolder;
        std::string text;
    };

    std::map<std::pair<const std::string*, std::uint8_t>, Line> lines_;
    AlbumLinks albumLinks_[2];
    std::string rowBlock_;
    std::unique_ptr<RowTemplate> rowTemplate_;
};

} // namespace mivo
