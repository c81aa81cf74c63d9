#include "settings/gallery_list.h"

#include <cstddef>
#include <string_view>

#include "common/codepage.h"
#include "common/paths.h"
#include "common/text_file.h"
#include "settings/state_file.h"

namespace mivo {
namespace {

/// Splits one line of the list file like cmSplitCsv, except that inside a quoted field a
/// doubled quote stands for one quote. The list writer quotes a field that holds a comma or
/// begins with a quote; lines without such fields split exactly as cmSplitCsv splits them.
std::vector<std::string> splitListLine(std::string_view line) {
    if (!line.empty() && line.back() == ',') {
        line.remove_suffix(1);
    }
    std::vector<std::string> fields;
    std::size_t p = 0;
    while (true) {
        std::string& field = fields.emplace_back();
        if (p < line.size() && line[p] == '"') {
            std::size_t q = p + 1;
            bool closed = false;
            while (q < line.size()) {
                if (line[q] != '"') {
                    field += line[q++];
                } else if (q + 1 < line.size() && line[q + 1] == '"') {
                    field += '"';
                    q += 2;
                } else {
                    closed = true;
                    break;
                }
            }
            // Without a comma right after the closing quote the line is done.
            if (!closed || q + 1 >= line.size() || line[q + 1] != ',') {
                return fields;
            }
            p = q + 2;
        } else {
            const auto comma = line.find(',', p);
            if (comma == std::string_view::npos) {
                field = std::string(line.substr(p));
                return fields;
            }
            field = std::string(line.substr(p, comma - p));
            p = comma + 1;
        }
    }
}

/// A field as written to the list: as it is, unless a comma or a leading quote would make it
/// read back differently; then quoted, with each quote inside doubled.
std::string listField(const std::string& field) {
    if (field.find(',') == std::string::npos && (field.empty() || field.front() != '"')) {
        return field;
    }
    std::string out = "\"";
    for (const char c : field) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
    return out;
}

} // namespace

bool mainGetList(const std::string& listPath, std::vector<GalleryEntry>& rows) {
    std::string bytes;
    if (!readFileBytes(listPath, bytes)) {
        return !pathExists(listPath);
    }
    // A list saved as UTF-16 ("Unicode text") or with broken characters would come back with
    // its names replaced: it counts as unreadable, so that it is kept as it is.
    std::string text;
    if (!decodeTextExactly(bytes, text)) {
        return false;
    }
    for (const std::string& line : splitLines(text)) {
        std::vector<std::string> fields = splitListLine(line);
        fields.resize(fields.size() < 3 ? 3 : fields.size());
        rows.push_back(GalleryEntry{fields[0], fields[1], fields[2]});
    }
    return true;
}

bool mainSetList(const std::string& listPath, const std::vector<GalleryEntry>& rows,
                 std::string* errorText) {
    std::string text;
    for (const GalleryEntry& row : rows) {
        text += listField(row.strListName) + "," + listField(row.strPicPath) + "," +
                listField(row.strSamPath) + ",\r\n";
    }
    return writeStateFile(listPath, text, errorText);
}

} // namespace mivo
