#pragma once

#include <string>
#include <string_view>

namespace mivo {

/// How a text file is stored: code page 932, or UTF-8 introduced by a byte order mark.
enum class TextEncoding { Cp932, Utf8Bom };

/// What to write for a character code page 932 cannot hold.
enum class Cp932Fallback {
    CharRef,  ///< decimal character reference "&#233;"
    JsEscape, ///< JavaScript escape "\u00e9" (surrogate pairs above U+FFFF)
    Question, ///< "?"
};

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

/// Decodes cp932 bytes into UTF-8. Each byte that does not start a valid cp932 character
/// becomes U+FFFD and decoding resumes at the next byte.
std::string decodeCp932(std::string_view bytes);

/// Encodes UTF-8 into cp932, writing the fallback for each character cp932 cannot hold
/// (including U+00A5, U+203E and the tag characters, which iconv would silently alter).
/// A byte that is not valid UTF-8 is treated as U+FFFD.
std::string encodeCp932(std::string_view utf8, Cp932Fallback fallback);

/// True when every character of the UTF-8 text has a cp932 code of its own.
bool fitsCp932(std::string_view utf8);

/// Decodes a whole file's bytes: UTF-8 (BOM removed) when they begin with the BOM, else cp932.
std::string decodeText(std::string_view bytes, TextEncoding* detectedEncoding = nullptr);

/// Decodes like decodeText, and tells whether the bytes really are text of the encoding they
/// are read in: false for UTF-16 or UTF-32 (a byte order mark FF FE or FE FF, or NUL bytes) and
/// for any byte sequence the encoding does not have, which decoding replaces with U+FFFD. Only
/// text that gives true holds the file's own characters when it is written back.
bool decodeTextExactly(std::string_view bytes, std::string& fullText,
                       TextEncoding* detectedEncoding = nullptr);

/// Encodes UTF-8 text for a file of the given encoding (no BOM is added here).
std::string encodeText(std::string_view utf8, TextEncoding encoding, Cp932Fallback fallback);
/// The same, appended to `out`: a page written line by line reuses one buffer.
void appendEncodedText(std::string& out, std::string_view utf8, TextEncoding encoding,
                       Cp932Fallback fallback);

/// Replaces each invalid UTF-8 sequence with U+FFFD.
std::string sanitizeUtf8(std::string_view bytes);

} // namespace mivo
