#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/log.h"

namespace mivo {

/// Comparison modes of cmReplace: 0 compares exactly, 1 folds ASCII letters ("text comparison").
inline constexpr int kCompareBinary = 0;
inline constexpr int kCompareText = 1;

/// Replaces every occurrence of `search` in `text`; occurrences do not overlap and the
/// replacement is never rescanned. An empty text or search text gives the text unchanged.
std::string cmReplace(const std::string& text, const std::string& search,
                      const std::string& replacement, int compareMode);

/// Splits one CSV line. A trailing comma is dropped; a quoted field ends at the next quote
/// (no doubled-quote escape); fields are not trimmed. Always at least one field.
std::vector<std::string> cmSplitCsv(const std::string& line);

/// Number of elements of an array (0 for an empty one), logged like every routine. Not
/// limited to 16 bits: a folder may hold more than 32,767 pictures.
template <class T> long cmCountArray(const std::vector<T>& values) {
    cmWriteLog("cmCountArray", 1, "▽Start Method▽");
    const auto count = static_cast<long>(values.size());
    cmWriteLog("cmCountArray", 1, "△End Method△ " + std::to_string(count));
    return count;
}

/// The text without the blanks (spaces and tabs) around it, as a profile file's reader drops
/// them around names and values.
std::string_view trimBlanks(std::string_view text);

/// ASCII-only letter folding: the "text comparison" of paths and names.
char asciiUpper(char c);
std::string asciiUpper(std::string_view text);
std::string asciiLower(std::string_view text);
bool textEquals(std::string_view a, std::string_view b);
/// Byte position of the first occurrence of `needle` at or after `from`, folding ASCII letters
/// when compareMode is kCompareText; npos when there is none.
std::size_t textFind(std::string_view hay, std::string_view needle, std::size_t from,
                     int compareMode);
/// Byte position of the last occurrence of `needle`, compared as textFind does; npos when
/// there is none or `needle` is empty.
std::size_t textFindLast(std::string_view hay, std::string_view needle, int compareMode);
/// True when `text` begins with `prefix`, compared exactly.
bool startsWith(std::string_view text, std::string_view prefix);

/// Number of characters (code points) of a UTF-8 text; a stray byte counts as one.
std::size_t charCount(std::string_view utf8);
/// Byte length of the first `chars` characters of a UTF-8 text (clamped to its length).
std::size_t charBytes(std::string_view utf8, std::size_t chars);

/// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
long long roundHalfEven(double value);

/// Parses a whole decimal number (optional sign, surrounding blanks allowed). false when the
/// text is anything else or does not fit.
bool parseWholeNumber(std::string_view text, long long& result);

/// Format(number, "000"): at least three digits with leading zeros.
std::string formatThreeDigits(long long number);

} // namespace mivo
