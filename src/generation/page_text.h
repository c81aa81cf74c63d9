#pragma once

#include <string>
#include <string_view>

namespace mivo {

/// Percent-encodes the three characters that would end or break a path inside a link:
/// "%" as "%25", "#" as "%23", "?" as "%3F". Everything else is kept as it is.
std::string encodeLinkPath(std::string_view path);

/// Link from the page `fromPage` to `target` (both file-system paths): cmRelativePath with "/"
/// separators, then encodeLinkPath. Every link made from a path and written into a page goes
/// through here.
std::string relativeLink(const std::string& fromPage, const std::string& target);

/// Makes text safe inside a double-quoted script string that sits in an HTML script element:
/// CR, LF, U+2028 and U+2029 become "\r", "\n", "\u2028", "\u2029", and "</" becomes "<\/".
/// Backslashes and quotes are left to the callers.
std::string escapeScriptBreaks(std::string_view text);

/// One element of aryPicList from a picture entry: the quoting of filelist fields removed
/// (a leading and a trailing quote, quotes after and before a comma), then each backslash
/// doubled, each remaining quote written as \", and escapeScriptBreaks applied.
std::string cleanPicListElement(std::string_view entry);

/// One element of aryMenuList: each backslash doubled, each quote written as \", then
/// escapeScriptBreaks applied.
std::string escapeMenuListElement(std::string_view element);

} // namespace mivo
