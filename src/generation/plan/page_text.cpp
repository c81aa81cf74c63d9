#include "generation/plan/page_text.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "common/codepage.h"
#include "common/log.h"
#include "common/paths.h"
#include "generation/plan/item_kind.h"

namespace mivo {

namespace {

// Replaces every occurrence of `search` (never empty), left to right, without rescanning.
std::string replaceAll(std::string_view text, std::string_view search, std::string_view with) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = text.find(search, pos);
        if (hit == std::string_view::npos) {
            out.append(text.substr(pos));
            return out;
        }
        out.append(text.substr(pos, hit - pos));
        out.append(with);
        pos = hit + search.size();
    }
}

// Length of the valid UTF-8 character starting at `pos` (a lead byte of 0x80 or more), or 0
// when the bytes there are not one: overlong forms, surrogates and values above U+10FFFF
// count as invalid, as they do for a browser.
std::size_t utf8SequenceLength(std::string_view text, std::size_t pos) {
    const auto at = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(pos);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char byte = at(pos + k);
        const unsigned char min = k == 1 ? low : 0x80;
        const unsigned char max = k == 1 ? high : 0xBF;
        if (byte < min || byte > max) {
            return 0;
        }
    }
    return length;
}

std::string escapeBackslashesAndQuotes(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    return out;
}

/// The bytes a percent-encoded link stands for.
std::string percentDecoded(std::string_view link) {
    std::string out;
    out.reserve(link.size());
    const auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        return -1;
    };
    for (std::size_t i = 0; i < link.size(); ++i) {
        if (link[i] == '%' && i + 2 < link.size() && hexValue(link[i + 1]) >= 0 &&
            hexValue(link[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(link[i + 1]) * 16 + hexValue(link[i + 2])));
            i += 2;
        } else {
            out.push_back(link[i]);
        }
    }
    return out;
}

/// Length of "link,width,height,name" at the start of a picture entry, or 0 when the entry
/// does not start so: the link ends in the extension of a gallery item, the sizes are whole numbers
/// and the name is the link's file name without its extension.
std::size_t pictureEntryHead(std::string_view entry) {
    for (std::size_t comma = entry.find(','); comma != std::string_view::npos;
         comma = entry.find(',', comma + 1)) {
        const std::string link(entry.substr(0, comma));
        if (itemKindOf(link, true) == ItemKind::None) {
            continue;
        }
        std::size_t pos = comma + 1;
        bool sizes = true;
        for (int field = 0; field < 2 && sizes; ++field) {
            const std::size_t start = pos;
            while (pos < entry.size() && entry[pos] >= '0' && entry[pos] <= '9') {
                ++pos;
            }
            sizes = pos > start && pos < entry.size() && entry[pos] == ',';
            ++pos;
        }
        if (!sizes) {
            continue;
        }
        const std::size_t slash = link.rfind('/');
        const std::string name =
            cmCutExt(percentDecoded(slash == std::string::npos ? link : link.substr(slash + 1)));
        const std::string_view rest = entry.substr(pos);
        if (rest.starts_with(name) && (rest.size() == name.size() || rest[name.size()] == ',')) {
            return pos + name.size();
        }
    }
    return 0;
}

} // namespace

void appendLinkPath(std::string& out, std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto percent = [&out](unsigned char byte) {
        out.push_back('%');
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 0x0F]);
    };
    const auto keeps = [](unsigned char byte) {
        return byte >= 0x20 && byte < 0x7F && byte != '%' && byte != '#' && byte != '?' &&
               byte != '"' && byte != '<' && byte != '>' && byte != '\\';
    };
    std::size_t i = 0;
    while (i < path.size()) {
        // A stretch of bytes that stay as they are goes in at once.
        std::size_t end = i;
        while (end < path.size() && keeps(static_cast<unsigned char>(path[end]))) {
            ++end;
        }
        out.append(path.substr(i, end - i));
        i = end;
        if (i == path.size()) {
            break;
        }
        const auto byte = static_cast<unsigned char>(path[i]);
        if (byte >= 0x80) {
            // A valid UTF-8 character stays as it is; each byte of anything else is encoded,
            // so the link still reaches the file whose name holds exactly those bytes.
            const std::size_t length = utf8SequenceLength(path, i);
            if (length == 0) {
                percent(byte);
                ++i;
            } else {
                out.append(path.substr(i, length));
                i += length;
            }
            continue;
        }
        percent(byte);
        ++i;
    }
}

std::string encodeLinkPath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    appendLinkPath(out, path);
    return out;
}

std::string escapeHtmlText(std::string_view text) {
    // Most names are plain ASCII with nothing to escape: then the text is its own answer.
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80 && c != '&' && c != '<' && c != '>' && c != '"';
    });
    if (plain) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    for (const char c : sanitizeUtf8(text)) {
        switch (c) {
        case '&':
            out.append("&amp;");
            break;
        case '<':
            out.append("&lt;");
            break;
        case '>':
            out.append("&gt;");
            break;
        case '"':
            out.append("&quot;");
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

namespace {

/// True when `path` is absolute, of plain steps only (no ".", "..", doubled separator) and
/// without a drive letter's colon: the paths of almost every page and file of a run.
bool isPlainAbsolute(std::string_view path) {
    return path.starts_with('/') && (path.size() < 2 || path[1] != ':') && hasOnlyPlainSteps(path);
}

/// The link makeRelativeLink makes, for a page and a target that are both plain absolute
/// paths (the page's name not ending in a separator), worked out directly: the page's folder
/// climbs a folder at a time until the target lies below it. What cmRelativePath does
/// character by character comes to this for such paths, since a separator is a character of
/// its own. nullopt for any other paths.
std::optional<std::string> plainRelativeLink(std::string_view from, std::string_view to) {
    if (from.size() < 2 || from.back() == '/' || !isPlainAbsolute(from) || !isPlainAbsolute(to)) {
        return std::nullopt;
    }
    while (to.size() > 1 && to.back() == '/') {
        to.remove_suffix(1);
    }
    const std::size_t slash = from.rfind('/');
    if (slash > 0 && to == from.substr(0, slash)) {
        return std::string(".");
    }
    std::string_view folder = from.substr(0, slash + 1);
    std::string link = "./";
    // The root is a folder every target shares.
    while (!to.starts_with(folder)) {
        folder = folder.substr(0, folder.rfind('/', folder.size() - 2) + 1);
        link.append("../");
    }
    link.append(to.substr(folder.size()));
    return encodeLinkPath(link);
}

std::string makeRelativeLink(const std::string& fromPage, const std::string& target) {
    const std::string from = normalizedPath(fromPage);
    const std::string to = normalizedPath(target);
    std::string folder;
    std::string name;
    cmSplitPath(from, true, kPathSeparator, folder, name);
    if (!to.empty() && to == normalizedPath(folder)) {
        return ".";
    }
    return encodeLinkPath(cmRelativePath(from, to, kLinkSeparator));
}

} // namespace

std::string relativeLink(const std::string& fromPage, const std::string& target) {
    // A log that takes every line gets the lines of each step, as it always did.
    if (!logWants(1)) {
        std::optional<std::string> link = plainRelativeLink(fromPage, target);
        if (link) {
            return *std::move(link);
        }
    }
    return makeRelativeLink(fromPage, target);
}

FolderLinks::FolderLinks(const std::string& fromPage, const std::string& folder)
    : fromPage_(fromPage), folder_(folder) {
    if (logWants(1)) {
        workOut();
    }
}

bool FolderLinks::workOutPlain() const {
    const std::string_view from = fromPage_;
    std::string_view to = folder_;
    if (from.size() < 2 || from.back() == '/' || !isPlainAbsolute(from) || !isPlainAbsolute(to)) {
        return false;
    }
    while (to.size() > 1 && to.back() == '/') {
        to.remove_suffix(1);
    }
    const std::size_t slash = from.rfind('/');
    if (slash == 0 || to.size() < 2) {
        return false; // a page or a folder at the root: the general way
    }
    const std::string_view pageFolder = from.substr(0, slash);
    const std::string target = std::string(to) + "/";
    if (pageFolder.size() == target.size() + 1 && pageFolder.starts_with(target)) {
        return false; // a one-letter name links the page's own folder: the general way
    }
    // As relativeLink climbs for folder_ + "/" + a name: a name holds no separator, so the
    // folders it climbs through are the same for every name.
    std::string_view folder = from.substr(0, slash + 1);
    std::string link = "./";
    while (!std::string_view(target).starts_with(folder)) {
        folder = folder.substr(0, folder.rfind('/', folder.size() - 2) + 1);
        link.append("../");
    }
    link.append(std::string_view(target).substr(folder.size()));
    prefix_ = encodeLinkPath(link);
    prefixKnown_ = true;
    pageFolderName_ = std::string(pageFolder.substr(pageFolder.rfind('/') + 1));
    return true;
}

void FolderLinks::workOut() const {
    workedOut_ = true;
    // A log that takes every line gets the lines of the general way, as it always did.
    if (!logWants(1) && workOutPlain()) {
        return;
    }
    // Two names that cannot be special give the folder's part of every link: what their
    // links share before the name.
    const std::string a = relativeLink(fromPage_, cmAddPath(folder_, "a", kPathSeparator));
    const std::string b = relativeLink(fromPage_, cmAddPath(folder_, "b", kPathSeparator));
    if (a.size() == b.size() && a.ends_with("/a") && b.ends_with("/b") &&
        std::string_view(a).substr(0, a.size() - 1) ==
            std::string_view(b).substr(0, b.size() - 1)) {
        prefix_ = a.substr(0, a.size() - 1);
        prefixKnown_ = true;
    }
    std::string pageFolder;
    std::string pageName;
    cmSplitPath(normalizedPath(fromPage_), true, kPathSeparator, pageFolder, pageName);
    std::string parent;
    cmSplitPath(normalizedPath(pageFolder), true, kPathSeparator, parent, pageFolderName_);
}

std::string FolderLinks::to(const std::string& name) const {
    std::string link;
    linkTo(name, link);
    return link;
}

void FolderLinks::linkTo(const std::string& name, std::string& out) const {
    if (!workedOut_) {
        workOut();
    }
    // A step of its own, or the page's own folder (linked as "."), takes the whole way.
    const bool plain = !name.empty() && name != "." && name != ".." &&
                       name.find('/') == std::string::npos && name != pageFolderName_;
    if (!prefixKnown_ || !plain) {
        out = relativeLink(fromPage_, cmAddPath(folder_, name, kPathSeparator));
        return;
    }
    out.assign(prefix_);
    appendLinkPath(out, name);
}

std::string escapeScriptBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out.append("\\r");
        } else if (c == '\n') {
            out.append("\\n");
        } else if (c == '<') {
            // "</script>" would end the script element and "<!--" would start the script
            // data state in which "<script>" hides the real end of the element.
            out.append("\\u003c");
        } else if (c == '\xE2' && i + 2 < text.size() && text[i + 1] == '\x80' &&
                   (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
            // U+2028 and U+2029 end a string literal in older script engines.
            out.append(text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029");
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string durationSeconds(long long milliseconds) {
    const long long ms = std::max(milliseconds, 0LL);
    std::string text = std::to_string(ms / 1000);
    std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
    while (!fraction.empty() && fraction.back() == '0') {
        fraction.pop_back();
    }
    if (!fraction.empty()) {
        text.append(".").append(fraction);
    }
    return text;
}

std::string durationText(long long milliseconds) {
    long long seconds = std::max((milliseconds + 500) / 1000, milliseconds > 0 ? 1LL : 0LL);
    const long long hours = seconds / 3600;
    const long long minutes = seconds / 60 % 60;
    seconds %= 60;
    const auto twoDigits = [](long long n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    return hours > 0 ? std::to_string(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(seconds)
                     : std::to_string(minutes) + ":" + twoDigits(seconds);
}

std::string cleanPicListElement(std::string_view entry) {
    // Without a quote, a backslash or what escapeScriptBreaks rewrites, there is nothing to
    // take off or escape: the entry is its own element.
    if (entry.find_first_of("\"\\\r\n<\xE2") == std::string_view::npos) {
        return std::string(entry);
    }
    // The link, the size and the file's own name are the maker's: only the filelist part
    // after them has quoting to remove, so a quote in a file name stays where it is.
    const std::size_t kept = pictureEntryHead(entry);
    std::string_view text = entry.substr(kept);
    if (kept == 0 && !text.empty() && text.front() == '"') {
        text.remove_prefix(1);
    }
    if (!text.empty() && text.back() == '"') {
        text.remove_suffix(1);
    }
    // Quoting of filelist fields is removed, not interpreted.
    std::string cleaned = replaceAll(text, ",\"", ",");
    cleaned = replaceAll(cleaned, "\",", ",");
    cleaned.insert(0, entry.substr(0, kept));
    return escapeScriptBreaks(escapeBackslashesAndQuotes(cleaned));
}

std::string escapeMenuListElement(std::string_view element) {
    return escapeScriptBreaks(escapeBackslashesAndQuotes(element));
}

std::string menuListName(std::string_view name) {
    return replaceAll(name, ",", "\xEF\xBC\x8C");
}

void appendScriptData(std::string& out, std::string_view text) {
    // Most fields (links, numbers, plain names) hold nothing to escape: they go in as they are.
    const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
        return c == '\\' || c == '"' || c == '\'' || c == '&' || c == '<' || c == '>' ||
               c == '\r' || c == '\n' || c == '\xE2';
    });
    if (plain) {
        out.append(text);
        return;
    }
    std::string escaped;
    escaped.reserve(text.size() + 8);
    for (const char c : text) {
        switch (c) {
        case '\\':
            escaped.append("\\\\");
            break;
        case '"':
            escaped.append("\\u0022");
            break;
        case '\'':
            escaped.append("\\u0027");
            break;
        case '&':
            escaped.append("\\u0026");
            break;
        case '>':
            escaped.append("\\u003e");
            break;
        default:
            escaped.push_back(c);
        }
    }
    out.append(escapeScriptBreaks(escaped));
}

std::string escapeScriptData(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    appendScriptData(out, text);
    return out;
}

} // namespace mivo
