#include "generation/run/filelist_csv.h"

namespace mivo {

namespace {

/// Reads one record from lines[first] on. Gives the number of lines it took, or 0 when a
/// quoted field is never closed: still open at the end of the file, or met, after a line
/// break, by a quote that cannot close it.
std::size_t parseQuotedRecord(const std::vector<std::string>& lines, std::size_t first,
                              std::vector<std::string>& fields, std::string& fullText,
                              std::size_t& nameEnd, bool& quoted) {
    fields.assign(1, std::string());
    fullText = lines[first];
    nameEnd = std::string::npos;
    quoted = false;
    std::size_t line = first;
    std::size_t pos = 0;
    // Where the text of the current line starts inside fullText.
    std::size_t lineStart = 0;
    bool fieldStart = true;
    bool inQuotes = false;
    for (;;) {
        const std::string& text = lines[line];
        if (pos >= text.size()) {
            if (!inQuotes) {
                return line - first + 1;
            }
            if (line + 1 >= lines.size()) {
                return 0;
            }
            ++line;
            pos = 0;
            fullText.push_back('\n');
            lineStart = fullText.size();
            fullText.append(lines[line]);
            fields.back().push_back('\n');
            continue;
        }
        const char c = text[pos];
        if (inQuotes) {
            if (c == '"') {
                if (pos + 1 < text.size() && text[pos + 1] == '"') {
                    fields.back().push_back('"');
                    pos += 2;
                    continue;
                }
                // Past a line break, only a quote at the end of a line or before a comma closes
                // the field. Any other quote is taken as the opening quote of a later row's
                // field: the quote on the first line was never closed, and the rows after it
                // must not be swallowed into its field.
                if (line > first && pos + 1 < text.size() && text[pos + 1] != ',') {
                    return 0;
                }
                inQuotes = false;
            } else {
                fields.back().push_back(c);
            }
            ++pos;
            continue;
        }
        if (c == ',') {
            if (nameEnd == std::string::npos) {
                nameEnd = lineStart + pos;
            }
            fields.emplace_back();
            fieldStart = true;
            ++pos;
            continue;
        }
        if (c == '"' && fieldStart) {
            inQuotes = true;
            quoted = true;
        } else {
            // A quote inside an unquoted field, or text after a closing quote, is kept.
            fields.back().push_back(c);
        }
        fieldStart = false;
        ++pos;
    }
}

/// The rule for lines without quoted fields: the name ends at the first comma.
FilelistRecord plainRecord(const std::string& line) {
    FilelistRecord record;
    const std::size_t comma = line.find(',');
    if (comma == std::string::npos || comma + 1 >= line.size()) {
        return record;
    }
    record.name = line.substr(0, comma);
    record.info = line.substr(comma + 1);
    record.usable = comma > 0;
    return record;
}

} // namespace

std::vector<FilelistRecord> readFilelistRecords(const std::vector<std::string>& lines) {
    std::vector<FilelistRecord> records;
    std::size_t i = 0;
    while (i < lines.size()) {
        const std::string& line = lines[i];
        if (line.find('"') == std::string::npos) {
            records.push_back(plainRecord(line));
            ++i;
            continue;
        }
        std::vector<std::string> fields;
        std::string text;
        std::size_t nameEnd = 0;
        bool quoted = false;
        const std::size_t taken = parseQuotedRecord(lines, i, fields, text, nameEnd, quoted);
        if (taken == 0 || !quoted) {
            // Never closed, or quotes only inside fields: read the line as it always was.
            records.push_back(plainRecord(line));
            ++i;
            continue;
        }
        FilelistRecord record;
        record.quoted = true;
        record.name = fields.front();
        if (nameEnd != std::string::npos) {
            record.info = text.substr(nameEnd + 1);
            record.fields.assign(fields.begin() + 1, fields.end());
        }
        record.usable = !record.name.empty() && !record.info.empty();
        records.push_back(std::move(record));
        i += taken;
    }
    return records;
}

} // namespace mivo
