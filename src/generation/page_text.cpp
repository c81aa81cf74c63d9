#include "generation/page_text.h"

#include "common/paths.h"

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

} // namespace

std::string encodeLinkPath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        switch (c) {
        case '%':
            out.append("%25");
            break;
        case '#':
            out.append("%23");
            break;
        case '?':
            out.append("%3F");
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string relativeLink(const std::string& fromPage, const std::string& target) {
    return encodeLinkPath(cmRelativePath(fromPage, target, kLinkSeparator));
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
        } else if (c == '<' && i + 1 < text.size() && text[i + 1] == '/') {
            // "</script>" inside a string would end the script element itself.
            out.append("<\\/");
            ++i;
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

std::string cleanPicListElement(std::string_view entry) {
    std::string_view text = entry;
    if (!text.empty() && text.front() == '"') {
        text.remove_prefix(1);
    }
    if (!text.empty() && text.back() == '"') {
        text.remove_suffix(1);
    }
    // Quoting of filelist fields is removed, not interpreted.
    std::string cleaned = replaceAll(text, ",\"", ",");
    cleaned = replaceAll(cleaned, "\",", ",");
    return escapeScriptBreaks(escapeBackslashesAndQuotes(cleaned));
}

std::string escapeMenuListElement(std::string_view element) {
    return escapeScriptBreaks(escapeBackslashesAndQuotes(element));
}

} // namespace mivo
