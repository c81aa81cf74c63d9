#include "settings/ini_document.h"

#include <algorithm>

#include "common/paths.h"
#include "common/text.h"
#include "common/text_file.h"
#include "common/translate.h"
#include "settings/state_file.h"

namespace mivo {

namespace {

constexpr std::string_view kBlanks = " \t";

/// The name of a section header line ("[name]", blanks allowed around it), or false.
bool sectionName(std::string_view text, std::string& name) {
    const std::string_view body = trimBlanks(text);
    if (body.empty() || body.front() != '[') {
        return false;
    }
    const auto close = body.find(']');
    const auto inner = close == std::string_view::npos ? body.substr(1) : body.substr(1, close - 1);
    name = std::string(trimBlanks(inner));
    return true;
}

/// Key name and raw value of a "key=value" line; false for blank lines, comments and others.
bool keyLine(std::string_view text, std::string_view& name, std::string_view& result) {
    const std::string_view body = trimBlanks(text);
    if (body.empty() || body.front() == ';' || body.front() == '[') {
        return false;
    }
    const auto equals = body.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    name = trimBlanks(body.substr(0, equals));
    result = body.substr(equals + 1);
    return true;
}

/// Blanks and ASCII letters are the same in raw cp932 bytes and in UTF-8, so a header can be
/// told from the bytes: its first byte after blanks is "[" (never a trail byte there).
bool looksLikeHeader(std::string_view raw) {
    const auto first = raw.find_first_not_of(kBlanks);
    return first != std::string_view::npos && raw[first] == '[';
}

std::string keyOf(const std::string& foldedSection, std::string_view key) {
    return foldedSection + '\n' + asciiUpper(key);
}

constexpr std::string_view kEols[] = {"", "\r", "\n", "\r\n"};
constexpr std::uint8_t kCrLf = 3;

} // namespace

bool IniDocument::load(const std::string& path) {
    bytes_.clear();
    owned_.clear();
    lines_.clear();
    headers_.clear();
    sections_.clear();
    keys_.clear();
    encoding_ = TextEncoding::Cp932;
    unreadable_ = false;
    changed_ = false;
    if (!readFileBytes(path, bytes_)) {
        bytes_.clear();
        unreadable_ = pathExists(path);
        return !unreadable_;
    }
    std::string_view rest(bytes_);
    if (rest.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        encoding_ = TextEncoding::Utf8Bom;
        rest.remove_prefix(kUtf8Bom.size());
    }
    // CR and LF never occur inside a cp932 character, so the bytes split safely here.
    while (!rest.empty()) {
        Line line;
        const auto end = rest.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            line.text = rest;
            rest = {};
        } else {
            line.text = rest.substr(0, end);
            const bool crlf = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
            line.eol = crlf ? kCrLf : (rest[end] == '\r' ? 1 : 2);
            rest.remove_prefix(end + (crlf ? 2 : 1));
        }
        if (looksLikeHeader(line.text)) {
            std::string name;
            if (sectionName(decoded(line), name)) {
                headers_.push_back(lines_.size());
                sections_.try_emplace(asciiUpper(name),
                                      Section{lines_.size(), false, lines_.size()});
            }
        }
        lines_.push_back(line);
    }
    return true;
}

std::string IniDocument::decoded(const Line& line) const {
    if (line.changed) {
        return std::string(line.text);
    }
    return encoding_ == TextEncoding::Utf8Bom ? sanitizeUtf8(line.text) : decodeCp932(line.text);
}

std::size_t IniDocument::sectionEnd(std::size_t header) const {
    const auto next = std::upper_bound(headers_.begin(), headers_.end(), header);
    return next == headers_.end() ? lines_.size() : *next;
}

IniDocument::Section* IniDocument::findSection(std::string_view section) {
    const std::string folded = asciiUpper(section);
    const auto it = sections_.find(folded);
    if (it == sections_.end()) {
        return nullptr;
    }
    if (!it->second.indexed) {
        indexKeys(it->second, folded);
    }
    return &it->second;
}

void IniDocument::indexKeys(Section& section, const std::string& foldedName) {
    const std::size_t end = sectionEnd(section.header);
    for (std::size_t i = section.header + 1; i < end; ++i) {
        std::string_view name;
        std::string_view value;
        const std::string text = decoded(lines_[i]);
        if (keyLine(text, name, value)) {
            keys_.try_emplace(keyOf(foldedName, name), i);
            section.lastKey = i;
        }
    }
    section.indexed = true;
}

bool IniDocument::find(std::string_view section, std::string_view key, std::string& result) {
    if (findSection(section) == nullptr) {
        return false;
    }
    const auto it = keys_.find(keyOf(asciiUpper(section), key));
    if (it == keys_.end()) {
        return false;
    }
    std::string_view name;
    std::string_view value;
    const std::string text = decoded(lines_[it->second]);
    keyLine(text, name, value);
    result = std::string(trimBlanks(value));
    return true;
}

void IniDocument::insertLine(std::size_t at, std::string text) {
    // A last line without a line end gets one before anything follows it.
    if (at > 0 && lines_[at - 1].eol == 0) {
        lines_[at - 1].eol = kCrLf;
    }
    owned_.push_back(std::move(text));
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  Line{owned_.back(), kCrLf, true});
    // Everything from `at` on moved down one line.
    for (std::size_t& header : headers_) {
        header += header >= at ? 1 : 0;
    }
    for (auto& [name, sec] : sections_) {
        sec.header += sec.header >= at ? 1 : 0;
        sec.lastKey += sec.lastKey >= at ? 1 : 0;
    }
    for (auto& [name, line] : keys_) {
        line += line >= at ? 1 : 0;
    }
}

void IniDocument::set(const std::string& section, const std::string& key,
                      const std::string& value) {
    changed_ = true;
    const std::string folded = asciiUpper(section);
    Section* found = findSection(section);
    if (found == nullptr) {
        // A new section goes at the end, set off from the rest by a blank line.
        if (!lines_.empty() && !trimBlanks(decoded(lines_.back())).empty()) {
            insertLine(lines_.size(), "");
        }
        const std::size_t header = lines_.size();
        insertLine(header, "[" + section + "]");
        headers_.push_back(header);
        insertLine(header + 1, key + "=" + value);
        sections_[folded] = Section{header, true, header + 1};
        keys_[keyOf(folded, key)] = header + 1;
        return;
    }
    const auto it = keys_.find(keyOf(folded, key));
    if (it != keys_.end()) {
        Line& line = lines_[it->second];
        std::string_view name;
        std::string_view oldValue;
        const std::string text = decoded(line);
        keyLine(text, name, oldValue);
        // Keep the key as the file spells it.
        owned_.push_back(std::string(name) + "=" + value);
        line.text = owned_.back();
        line.changed = true;
        if (line.eol == 0 && it->second + 1 < lines_.size()) {
            line.eol = kCrLf;
        }
        return;
    }
    // A new key goes after the section's last key, before blank lines and comments that lead
    // into the next section.
    const std::size_t at = found->lastKey + 1;
    insertLine(at, key + "=" + value);
    found->lastKey = at;
    keys_[keyOf(folded, key)] = at;
}

bool IniDocument::save(const std::string& path, std::string* errorText) const {
    if (unreadable_) {
        if (errorText != nullptr) {
            *errorText = translatable("読み込めなかったファイルは上書きしません");
        }
        return false;
    }
    TextEncoding encoding = TextEncoding::Cp932;
    for (const Line& line : lines_) {
        const bool reencoded = line.changed || encoding_ != TextEncoding::Cp932;
        if (reencoded && !fitsCp932(decoded(line))) {
            encoding = TextEncoding::Utf8Bom;
            break;
        }
    }
    std::string bytes;
    bytes.reserve(bytes_.size() + 256);
    if (encoding == TextEncoding::Utf8Bom) {
        bytes.assign(kUtf8Bom);
    }
    for (const Line& line : lines_) {
        if (!line.changed && encoding == encoding_) {
            bytes += line.text;
        } else {
            appendEncodedText(bytes, decoded(line), encoding, Cp932Fallback::Question);
        }
        bytes += kEols[line.eol];
    }
    return replaceStateFile(path, bytes, errorText);
}

} // namespace mivo
