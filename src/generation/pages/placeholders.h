#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "generation/pages/picture_rows.h"
#include "generation/plan/album.h"

namespace mivo {

class PageMemo;

/// The four pages of the template vocabulary.
enum class PageKind : std::uint8_t { List, Pict, Index, Menu };

/// Where in a template a placeholder is replaced: the copied lines (outside any block), the
/// lines of the slide block, the table block's text before its rows are made, or the lines of
/// the album block (a folder tree's album only).
enum class LinePart : std::uint8_t { Copied, Slide, TableBlock, Album };

/// What a page's placeholders take their values from.
struct PageInput {
    PageInput(const PagePlan& pagePlan, const AlbumJob* gallery, const OutputPaths* galleryPaths,
              std::string page)
        : pages(pagePlan), job(gallery), paths(galleryPaths), pagePath(std::move(page)) {}

    const PagePlan& pages;
    const AlbumJob* job = nullptr;             // the album (not on an index of children)
    const OutputPaths* paths = nullptr;        // its pages (not on an index of children)
    std::string pagePath;                      // the page being written
    std::optional<long> startNo;               // list page: known once its table is written
    const std::string* filelistHead = nullptr; // picture page: filelist.csv's heading
    PageMemo* memo = nullptr; // the run's: links an album's pages share are made once
};

/// One row of the list page's table as its placeholders see it.
struct TableCell {
    const PictureRow& row;
    const std::string& sizeText; // "width=W height=H", or "" when the size is left to the thumbnail
};

/// How a placeholder is replaced beyond plain substitution.
enum class PlaceholderUse : std::uint8_t {
    Text,       // every occurrence, letter case ignored
    ScriptData, // only when the line holds the name in capitals; the line is then a script line
    WholeLine,  // the line holding the name in capitals gives way to the page's array
    TableRow,   // one value per picture in the table block's rows
};

/// One placeholder: its name, where it is replaced, and the value it takes.
struct Placeholder {
    std::string_view name;
    std::uint32_t places; // placeBit(page, part) of every page and part that replaces it
    PlaceholderUse use = PlaceholderUse::Text;
    std::string (*pageValue)(const PageInput&) = nullptr; // Text and ScriptData
    std::string (*cellValue)(const TableCell&) = nullptr; // TableRow
    bool foundByTable = false; // its value is known once the list page's table is written
};

constexpr std::uint32_t placeBit(PageKind page, LinePart part) {
    return 1U << (static_cast<unsigned>(page) * 4U + static_cast<unsigned>(part));
}

/// Every placeholder of the template vocabulary. A page replaces the rows that name it in the
/// order they stand here, which is each page's substitution order: a value that holds the name
/// of a placeholder replaced after it is replaced again, as users of the templates know.
const std::vector<Placeholder>& placeholderTable();

/// The placeholders of one page and one part of it, in order. A value is worked out from
/// `input` the first time a line names its placeholder: most of a page's placeholders stand
/// on none of its lines, and some (the links of an album's path) cost more than the line.
/// `input` must outlive it.
class PagePlaceholders {
  public:
    PagePlaceholders(PageKind page, LinePart part, const PageInput& input);
    /// Works out again the values the table found (the list page's start number).
    void tableWritten(const PageInput& input);

    /// What one line became.
    struct Line {
        std::string text;
        bool scriptLine = false; // it carries script data: written with script escapes
        bool arrayLine = false;  // the page's array takes its place
    };
    /// With `used`: the rows replaced on the line, in order (the value of each is value(row)).
    Line substitute(const std::string& line, std::vector<std::size_t>* used = nullptr) const;
    /// The value of row `k` of this page and part.
    const std::string& value(std::size_t k) const;

  private:
    const PageInput* input_;
    std::vector<const Placeholder*> rows_;
    mutable std::vector<std::optional<std::string>> values_;
};

} // namespace mivo
