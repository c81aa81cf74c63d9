#include "generation/pages/placeholders.h"

#include <algorithm>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/copies/gallery_copies.h"
#include "generation/pages/page_memo.h"
#include "generation/pages/template.h"
#include "generation/plan/page_text.h"

namespace mivo {

namespace {

/// Appends a link as a srcset holds it in an attribute: escapeHtmlText(srcsetLink(link)), with
/// the usual plain link (no blank, comma or character HTML escapes) taken as it is.
void appendSrcset(std::string& out, const std::string& link) {
    const bool plain = std::all_of(link.begin(), link.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80 && c != ' ' && c != ',' && c != '&' &&
               c != '<' && c != '>' && c != '"';
    });
    if (plain) {
        out.append(link);
    } else {
        out.append(escapeHtmlText(srcsetLink(link)));
    }
}

constexpr PageKind L = PageKind::List;
constexpr PageKind P = PageKind::Pict;
constexpr PageKind I = PageKind::Index;
constexpr PageKind M = PageKind::Menu;

constexpr std::uint32_t copied(std::initializer_list<PageKind> pages) {
    std::uint32_t bits = 0;
    for (const PageKind page : pages) {
        bits |= placeBit(page, LinePart::Copied);
    }
    return bits;
}

constexpr std::uint32_t slide(std::initializer_list<PageKind> pages) {
    std::uint32_t bits = 0;
    for (const PageKind page : pages) {
        bits |= placeBit(page, LinePart::Slide);
    }
    return bits;
}

// The sub-title and the neighbours' link names of an album named in a list are names: text,
// not markup. The user's own settings go in as they are.
std::string galleryText(const PageInput& in, const std::string& text) {
    return in.job->namesAreText ? escapeHtmlText(text) : text;
}

std::string filelistColumn(const PageInput& in, long long column) {
    return in.job->useFilelist ? std::to_string(column) : "0";
}

constexpr std::uint32_t album(std::initializer_list<PageKind> pages) {
    std::uint32_t bits = 0;
    for (const PageKind page : pages) {
        bits |= placeBit(page, LinePart::Album);
    }
    return bits;
}

/// Where a tree's album is: a link to the index page of each album from the root to itself,
/// "&gt;" between them. The links leave any frame the page is shown in.
std::string makeAlbumPath(const PageInput& in) {
    std::string out;
    const std::vector<AlbumStep>& trail = in.job->trail;
    for (std::size_t k = 0; k < trail.size(); ++k) {
        if (k > 0) {
            out.append(" &gt; ");
        }
        out.append("<a href=\"")
            .append(escapeHtmlText(relativeLink(in.pagePath, trail[k].indexPage)))
            .append("\" target=\"_top\"");
        if (k + 1 == trail.size()) {
            out.append(" aria-current=\"page\"");
        }
        out.append(">").append(escapeHtmlText(trail[k].name)).append("</a>");
    }
    return out;
}

/// The index page of the album above, or "" for the root.
std::string makeAlbumUp(const PageInput& in) {
    const std::vector<AlbumStep>& trail = in.job->trail;
    return trail.size() < 2
               ? std::string()
               : escapeHtmlText(relativeLink(in.pagePath, trail[trail.size() - 2].indexPage));
}

/// An album's links as its page shows them (`which` 0: its path, 1: the way up): made for its
/// first page and shown again on the others of its folder, unless the log takes level 1 (the
/// links leave their trace there for each page, as they always did).
std::string albumLinks(const PageInput& in, int which) {
    if (in.job == nullptr) {
        return {};
    }
    const auto make = [&] { return which == 0 ? makeAlbumPath(in) : makeAlbumUp(in); };
    if (in.memo == nullptr || logWants(1)) {
        return make();
    }
    const std::string_view page = in.pagePath;
    const std::size_t slash = page.rfind('/');
    return in.memo->albumLinks(
        which, in.job->trail,
        slash == std::string_view::npos ? std::string_view() : page.substr(0, slash), make);
}

std::string albumPath(const PageInput& in) {
    return albumLinks(in, 0);
}

std::string albumUp(const PageInput& in) {
    return albumLinks(in, 1);
}

using U = PlaceholderUse;

const std::vector<Placeholder> kPlaceholders = {
    {"MV_TITLE", copied({L, P, I, M}), U::Text, [](const PageInput& in) { return in.pages.title; }},
    // The list and the index page show the gallery's name; the picture page the setting.
    {"MV_SUB_TITLE", copied({L, I}), U::Text,
     [](const PageInput& in) { return galleryText(in, in.job->name); }},
    {"MV_SUB_TITLE", copied({P}), U::Text, [](const PageInput& in) { return in.pages.titleS; }},
    {"MV_BODY", copied({L, P, M}), U::Text, [](const PageInput& in) { return in.pages.body; }},
    {"MV_LIST_HTML", copied({I}), U::Text,
     [](const PageInput& in) { return escapeHtmlText(in.paths->strListLink); }},
    {"MV_PICT_HTML", copied({I}), U::Text,
     [](const PageInput& in) { return escapeHtmlText(in.paths->strPictLink); }},
    {"MV_START_TYPE", copied({I}), U::Text,
     [](const PageInput& in) { return std::string(in.pages.startWithList ? "0" : "1"); }},
    // Empty on the lines before the table, which finds the start picture.
    {"MV_START_NO", copied({L}), U::Text,
     [](const PageInput& in) { return in.startNo ? std::to_string(*in.startNo) : std::string(); },
     nullptr, true},
    {"MV_INDEX_HTML", copied({L, P}) | slide({P}), U::Text,
     [](const PageInput& in) { return escapeHtmlText(in.paths->strIndexLink); }},
    // The heading is data from a file: it goes in as the body of a script string whose
    // characters are harmless in markup too, wherever a template places it.
    {"MV_FILELIST", copied({P}), U::ScriptData,
     [](const PageInput& in) {
         const bool used = in.job->useFilelist && in.filelistHead != nullptr;
         return escapeScriptData(used ? *in.filelistHead : std::string());
     }},
    {"MV_WIDTH_NO", copied({P}), U::Text,
     [](const PageInput& in) { return filelistColumn(in, in.pages.filelistWidthColumn); }},
    {"MV_HEIGHT_NO", copied({P}), U::Text,
     [](const PageInput& in) { return filelistColumn(in, in.pages.filelistHeightColumn); }},
    {"MV_LINK_NAME0", copied({L, P}), U::Text,
     [](const PageInput& in) { return in.pages.link0Name; }},
    {"MV_LINK_NAME1", copied({L, P}), U::Text,
     [](const PageInput& in) { return galleryText(in, in.job->link1Name); }},
    {"MV_LINK_NAME2", copied({L, P}), U::Text,
     [](const PageInput& in) { return galleryText(in, in.job->link2Name); }},
    // Link 0 of an album listed on another page leads back there (the menu page).
    {"MV_LINK_URL0", copied({L, P}), U::Text,
     [](const PageInput& in) {
         return in.job->upPage.empty() ? in.pages.link0Url
                                       : escapeHtmlText(relativeLink(in.pagePath, in.job->upPage));
     }},
    {"MV_LINK_URL1", copied({L, P}), U::Text, [](const PageInput& in) { return in.job->link1Url; }},
    {"MV_LINK_URL2", copied({L, P}), U::Text, [](const PageInput& in) { return in.job->link2Url; }},
    {"MV_ALL_LIST", copied({L}) | placeBit(L, LinePart::TableBlock), U::Text,
     [](const PageInput& in) { return in.pages.columns; }},
    {"MV_ALL_WIDTH", copied({M}), U::Text, [](const PageInput& in) { return in.pages.columns; }},
    {"MV_LIST_ARRAY", copied({I}), U::WholeLine},
    {"MV_MENU_ARRAY", copied({M}), U::WholeLine},
    // The list page's slide lines take the slide time before the index link, the picture
    // page's after it.
    {"MV_SLIDE_TIME", slide({L, P, I}), U::Text,
     [](const PageInput& in) { return in.pages.slideTime; }},
    {"MV_INDEX_HTML", slide({L}), U::Text,
     [](const PageInput& in) { return escapeHtmlText(in.paths->strIndexLink); }},
    // The album block of a folder tree's pages: where the album is and the way up; the index
    // page and the index of children list its sub-albums in aryAlbumList.
    {"MV_ALBUM_PATH", album({L, P, I, M}), U::Text, albumPath},
    {"MV_ALBUM_UP", album({L, P, I, M}), U::Text, albumUp},
    {"MV_ALBUM_ARRAY", album({I, M}), U::WholeLine},
    // The table block's rows. A file name is text there, never tags or attributes.
    {"MV_IMG_LINK", 0, U::TableRow, nullptr,
     [](const TableCell& c) { return std::to_string(c.row.number); }},
    {"MV_IMG_SRC", 0, U::TableRow, nullptr,
     [](const TableCell& c) { return escapeHtmlText(c.row.thumbLink); }},
    {"MV_IMG_SIZE", 0, U::TableRow, nullptr, [](const TableCell& c) { return c.sizeText; }},
    // The 2x thumbnail for dense screens; nothing without copies.
    {"MV_IMG_2X", 0, U::TableRow, nullptr,
     [](const TableCell& c) {
         std::string cell;
         if (!c.row.thumb2xLink.empty()) {
             cell.append(" srcset=\"");
             appendSrcset(cell, c.row.thumb2xLink);
             cell.append(" 2x\"");
         }
         return cell;
     }},
    // The WebP thumbnails as a <source> of the thumbnail's <picture>, for browsers that show
    // WebP; nothing where the copies have none (the <img> alone is shown then).
    {"MV_IMG_WEBP", 0, U::TableRow, nullptr,
     [](const TableCell& c) {
         std::string cell;
         if (!c.row.thumbWebpLink.empty()) {
             cell.append("<source type=\"image/webp\" srcset=\"");
             appendSrcset(cell, c.row.thumbWebpLink);
             cell.append(" 1x, ");
             appendSrcset(cell, c.row.thumb2xWebpLink);
             cell.append(" 2x\">");
         }
         return cell;
     }},
    {"MV_IMG_NAME", 0, U::TableRow, nullptr,
     [](const TableCell& c) { return escapeHtmlText(c.row.displayName); }},
    // The picture (or its display copy), so a thumbnail is a plain link to it without script.
    // The link without script: a video's web video, a picture's view.
    {"MV_IMG_HREF", 0, U::TableRow, nullptr,
     [](const TableCell& c) {
         return escapeHtmlText(c.row.kind == ItemKind::Video ? c.row.videoLink : c.row.viewLink);
     }},
    {"MV_IMG_VIDEO", 0, U::TableRow, nullptr,
     [](const TableCell& c) { return escapeHtmlText(c.row.videoLink); }},
    {"MV_IMG_TIME", 0, U::TableRow, nullptr,
     [](const TableCell& c) {
         // A video's length; a moving picture's kind, its badge on the list.
         if (c.row.kind == ItemKind::Video) {
             return durationText(c.row.durationMs);
         }
         return c.row.animationLink.empty() ? std::string()
                                            : asciiUpper(cmGetExt(c.row.item->name()));
     }},
};

} // namespace

const std::vector<Placeholder>& placeholderTable() {
    return kPlaceholders;
}

PagePlaceholders::PagePlaceholders(PageKind page, LinePart part, const PageInput& input)
    : input_(&input) {
    const std::uint32_t bit = placeBit(page, part);
    for (const Placeholder& p : kPlaceholders) {
        if ((p.places & bit) != 0) {
            rows_.push_back(&p);
        }
    }
    values_.resize(rows_.size());
    if (logWants(1)) {
        // A log that takes every line gets the lines of working out each value, in the order
        // they always came, whether a line names the placeholder or not.
        for (std::size_t k = 0; k < rows_.size(); ++k) {
            value(k);
        }
    }
}

void PagePlaceholders::tableWritten(const PageInput& input) {
    input_ = &input;
    for (std::size_t k = 0; k < rows_.size(); ++k) {
        if (rows_[k]->foundByTable) {
            values_[k].reset();
            if (logWants(1)) {
                value(k);
            }
        }
    }
}

const std::string& PagePlaceholders::value(std::size_t k) const {
    std::optional<std::string>& known = values_[k];
    if (!known) {
        known.emplace(rows_[k]->pageValue != nullptr ? rows_[k]->pageValue(*input_)
                                                     : std::string());
    }
    return *known;
}

namespace {

/// Where "MV_" begins on `line`, in any letter case: the only places a placeholder can stand.
void placeholderStarts(std::string_view line, std::vector<std::size_t>& starts) {
    starts.clear();
    for (std::size_t at = line.find('_', 2); at != std::string_view::npos;
         at = line.find('_', at + 1)) {
        const char m = line[at - 2];
        const char v = line[at - 1];
        if ((m == 'M' || m == 'm') && (v == 'V' || v == 'v')) {
            starts.push_back(at - 2);
        }
    }
}

/// True when `name` stands at one of `starts`, letter case ignored.
bool standsAt(std::string_view line, const std::vector<std::size_t>& starts,
              std::string_view name) {
    // Names are capitals, digits and "_": a letter of the line folds by its case bit alone.
    const auto sameFolded = [&](std::size_t at) {
        if (line.size() - at < name.size()) {
            return false;
        }
        for (std::size_t i = 0; i < name.size(); ++i) {
            const char c = line[at + i];
            if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != name[i]) {
                return false;
            }
        }
        return true;
    };
    return std::any_of(starts.begin(), starts.end(), sameFolded);
}

} // namespace

PagePlaceholders::Line PagePlaceholders::substitute(const std::string& line,
                                                    std::vector<std::size_t>* used) const {
    if (used != nullptr) {
        used->clear();
    }
    Line out;
    out.text = line;
    std::vector<std::size_t> starts;
    placeholderStarts(line, starts);
    if (starts.empty()) {
        return out;
    }
    for (std::size_t k = 0; k < rows_.size(); ++k) {
        const Placeholder& p = *rows_[k];
        // Most rows name nothing on the line: passed over without copying the line or working
        // out their value.
        if (!standsAt(out.text, starts, p.name)) {
            continue;
        }
        // These two are looked for in capitals only; a line without them keeps them as written.
        const bool exact =
            p.use == PlaceholderUse::ScriptData || p.use == PlaceholderUse::WholeLine;
        if (exact && out.text.find(p.name) == std::string::npos) {
            continue;
        }
        if (p.use == PlaceholderUse::WholeLine) {
            out.arrayLine = true;
            return out;
        }
        out.scriptLine = out.scriptLine || p.use == PlaceholderUse::ScriptData;
        out.text = replacePlaceholder(out.text, std::string(p.name), value(k));
        if (used != nullptr) {
            used->push_back(k);
        }
        // A value may bring names of its own, replaced by the rows after it.
        placeholderStarts(out.text, starts);
    }
    return out;
}

} // namespace mivo
