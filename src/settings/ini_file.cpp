#include "settings/ini_file.h"

#include <cstddef>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/codepage.h"
#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "common/text_file.h"
#include "settings/state_file.h"

namespace mivo {
namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kCrLf = "\r\n";

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

/// A value as the program sees it: blanks around it dropped, `""` standing for empty.
std::string profileValue(std::string_view stored) {
    const std::string_view value = trimBlanks(stored);
    if (value == "\"\"") {
        return {};
    }
    return std::string(value);
}

enum class LineKind { Other, Section, Key };

/// One line of a profile file. Lines nobody changes are written back from `raw`, so they keep
/// their bytes exactly; changed and added lines are encoded again from `text`.
struct IniLine {
    std::string raw;  // bytes as in the file, without the line end
    std::string eol;  // the line end as in the file; empty for a last line without one
    std::string text; // the line as UTF-8
    bool changed = false;

    LineKind kind = LineKind::Other;
    std::string name; // section name or key name, blanks around it dropped
    std::string value;
};

void parseLine(IniLine& line) {
    line.kind = LineKind::Other;
    line.name.clear();
    line.value.clear();
    const std::string_view body = trimBlanks(line.text);
    if (body.empty() || body.front() == ';') {
        return;
    }
    if (body.front() == '[') {
        const auto close = body.find(']');
        const auto inner =
            close == std::string_view::npos ? body.substr(1) : body.substr(1, close - 1);
        line.kind = LineKind::Section;
        line.name = std::string(trimBlanks(inner));
        return;
    }
    const auto equals = body.find('=');
    if (equals == std::string_view::npos) {
        return;
    }
    line.kind = LineKind::Key;
    line.name = std::string(trimBlanks(body.substr(0, equals)));
    line.value = std::string(body.substr(equals + 1));
}

struct IniDocument {
    TextEncoding encoding = TextEncoding::Cp932;
    std::vector<IniLine> lines;
};

std::string decodeLine(std::string_view raw, TextEncoding encoding) {
    return encoding == TextEncoding::Utf8Bom ? cmSanitizeUtf8(raw) : cmDecodeCp932(raw);
}

/// Reads the file into lines. A missing file gives an empty document; false only when the
/// file is there but cannot be read, so that a save never replaces what it could not see.
bool loadDocument(const std::string& path, IniDocument& doc) {
    doc = IniDocument{};
    std::string bytes;
    if (!cmReadFileBytes(path, bytes)) {
        return !cmExists(path);
    }
    std::string_view rest(bytes);
    if (rest.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        doc.encoding = TextEncoding::Utf8Bom;
        rest.remove_prefix(kUtf8Bom.size());
    }
    // CR and LF never occur inside a cp932 character, so the bytes split safely here.
    while (!rest.empty()) {
        IniLine line;
        const auto end = rest.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            line.raw = std::string(rest);
            rest = {};
        } else {
            line.raw = std::string(rest.substr(0, end));
            const std::size_t eolSize =
                (rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n') ? 2 : 1;
            line.eol = std::string(rest.substr(end, eolSize));
            rest.remove_prefix(end + eolSize);
        }
        line.text = decodeLine(line.raw, doc.encoding);
        parseLine(line);
        doc.lines.push_back(std::move(line));
    }
    return true;
}

/// Index of the first header of the section, or npos.
std::size_t findSection(const IniDocument& doc, std::string_view section) {
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        if (doc.lines[i].kind == LineKind::Section && cmTextEquals(doc.lines[i].name, section)) {
            return i;
        }
    }
    return std::string::npos;
}

/// One past the last line of the section whose header is at `header`.
std::size_t sectionEnd(const IniDocument& doc, std::size_t header) {
    std::size_t i = header + 1;
    while (i < doc.lines.size() && doc.lines[i].kind != LineKind::Section) {
        ++i;
    }
    return i;
}

std::size_t findKey(const IniDocument& doc, std::size_t header, std::string_view key) {
    const std::size_t end = sectionEnd(doc, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (doc.lines[i].kind == LineKind::Key && cmTextEquals(doc.lines[i].name, key)) {
            return i;
        }
    }
    return std::string::npos;
}

IniLine newLine(std::string text) {
    IniLine line;
    line.text = std::move(text);
    line.eol = std::string(kCrLf);
    line.changed = true;
    parseLine(line);
    return line;
}

void insertLine(IniDocument& doc, std::size_t at, IniLine line) {
    // A last line without a line end gets one before anything follows it.
    if (at > 0 && doc.lines[at - 1].eol.empty()) {
        doc.lines[at - 1].eol = std::string(kCrLf);
    }
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

void storeValue(IniDocument& doc, const std::string& section, const std::string& key,
                const std::string& value) {
    const std::size_t header = findSection(doc, section);
    if (header == std::string::npos) {
        // A new section goes at the end, set off from the rest by a blank line.
        if (!doc.lines.empty() && !trimBlanks(doc.lines.back().text).empty()) {
            insertLine(doc, doc.lines.size(), newLine(""));
        }
        insertLine(doc, doc.lines.size(), newLine("[" + section + "]"));
        insertLine(doc, doc.lines.size(), newLine(key + "=" + value));
        return;
    }
    const std::size_t found = findKey(doc, header, key);
    if (found != std::string::npos) {
        IniLine& line = doc.lines[found];
        // Keep the key as the file spells it.
        line.text = line.name + "=" + value;
        line.changed = true;
        if (line.eol.empty() && found + 1 < doc.lines.size()) {
            line.eol = std::string(kCrLf);
        }
        parseLine(line);
        return;
    }
    // A new key goes after the section's last key, before blank lines and comments that
    // lead into the next section.
    std::size_t at = header + 1;
    const std::size_t end = sectionEnd(doc, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (doc.lines[i].kind == LineKind::Key) {
            at = i + 1;
        }
    }
    insertLine(doc, at, newLine(key + "=" + value));
}

/// The file's bytes. A cp932 file stays cp932 while everything in it fits; otherwise it
/// becomes UTF-8 with a BOM, so that no character of a value is lost.
std::string renderDocument(const IniDocument& doc) {
    TextEncoding encoding = TextEncoding::Cp932;
    for (const IniLine& line : doc.lines) {
        const bool reencoded = line.changed || doc.encoding != TextEncoding::Cp932;
        if (reencoded && !cmFitsCp932(line.text)) {
            encoding = TextEncoding::Utf8Bom;
            break;
        }
    }
    std::string bytes;
    if (encoding == TextEncoding::Utf8Bom) {
        bytes.assign(kUtf8Bom);
    }
    for (const IniLine& line : doc.lines) {
        if (!line.changed && encoding == doc.encoding) {
            bytes += line.raw;
        } else {
            bytes += cmEncodeText(line.text, encoding, Cp932Fallback::Question);
        }
        bytes += line.eol;
    }
    return bytes;
}

/// A line break inside a value would start a stray line in the file; it becomes a blank.
std::string singleLine(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
            continue;
        }
        out += (value[i] == '\r' || value[i] == '\n') ? ' ' : value[i];
    }
    return out;
}

} // namespace

std::string cmGetIni(const std::string& iniPath, const std::string& section, const std::string& key,
                     const std::string& defaultValue) {
    IniDocument doc;
    if (loadDocument(iniPath, doc)) {
        const std::size_t header = findSection(doc, section);
        if (header != std::string::npos) {
            const std::size_t found = findKey(doc, header, key);
            if (found != std::string::npos) {
                return profileValue(doc.lines[found].value);
            }
        }
    }
    return profileValue(defaultValue);
}

bool cmSetIni(const std::string& iniPath, const std::string& instrSection,
              const std::string& instrKeyName, const std::string& instrValue) {
    cmWriteLog("cmSetIni", 1,
               "▽Start Method▽\r\ninstrSection=[" + instrSection + "]\r\ninstrKeyName=[" +
                   instrKeyName + "]\r\ninstrValue=[" + instrValue + "]");
    // An explicit "" keeps the key present with an empty value.
    const std::string value = instrValue.empty() ? std::string("\"\"") : singleLine(instrValue);

    const std::string target = cmStateFileTarget(iniPath);
    IniDocument doc;
    bool stored = loadDocument(target, doc);
    if (stored) {
        storeValue(doc, instrSection, instrKeyName, value);
        stored = cmReplaceFileAtomic(target, renderDocument(doc));
    }
    if (!stored) {
        cmWriteLog("cmSetIni", 4, "WritePrivateProfileString Error [0]");
    }
    cmWriteLog("cmSetIni", 1, "△End Method△");
    return stored;
}

} // namespace mivo
