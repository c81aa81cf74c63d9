#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace mivo {

/// One record of filelist.csv: a line, or several when a quoted field holds line breaks.
struct FilelistRecord {
    std::string name;    // the first field: the picture's file name (quotes taken off)
    std::string info;    // the record's text after the comma that ends the first field, as written
    bool quoted = false; // a field of the record was written in double quotes
    std::vector<std::string> fields; // quoted records only: the fields after the name, unquoted
    bool usable = false; // a name and some text after its comma (the header needs no name)
};

/// Groups the lines of filelist.csv into records as spreadsheets write them: a field that
/// starts with a double quote runs to the next lone quote, may hold commas and line breaks,
/// and "" inside it stands for one quote. A record without such a field is split at its
/// first comma exactly as it always was; so is a line whose quoted field is never closed,
/// and the next line is a record of its own again. A field that runs over a line break is
/// closed only by a quote at the end of a line or before a comma: a lone quote before
/// anything else (the opening quote of a later row's field) means the field was never
/// closed.
std::vector<FilelistRecord> readFilelistRecords(const std::vector<std::string>& lines);

} // namespace mivo
