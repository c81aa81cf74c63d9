#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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

  private:
    std::map<std::pair<const std::string*, std::uint8_t>, Line> lines_;
    std::string rowBlock_;
    std::unique_ptr<RowTemplate> rowTemplate_;
};

} // namespace mivo
