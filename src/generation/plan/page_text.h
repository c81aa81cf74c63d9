#pragma once

#include <string>
#include <string_view>

namespace mivo {

/// Percent-encodes what would end, break or change a path inside a link: "%", "#", "?", '"',
/// "<", ">", "\", the control characters and every byte that is not part of a valid UTF-8
/// character ("%25", "%23", ...). Everything else, other characters included, is kept as it is.
std::string encodeLinkPath(std::string_view path);
/// Appends encodeLinkPath(path) to `out`.
void appendLinkPath(std::string& out, std::string_view path);

/// Text for HTML text or a double-quoted attribute: "&", "<", ">" and '"' as "&amp;", "&lt;",
/// "&gt;", "&quot;"; a byte that is not valid UTF-8 becomes U+FFFD. Everything else is kept.
std::string escapeHtmlText(std::string_view text);

/// Link from the page `fromPage` to `target` (both file-system paths): both normalized
/// lexically, then cmRelativePath with "/" separators, then encodeLinkPath. A target that is
/// the page's own folder gives ".", so "." + "/001/index.html" stays inside that folder.
/// Every link made from a path and written into a page goes through here.
std::string relativeLink(const std::string& fromPage, const std::string& target);

/// Links from one page to the files of one folder, each the same as relativeLink(fromPage,
/// folder + "/" + name). The folder's part of the link is worked out once, so a page of many
/// pictures does not normalize and compare the same two paths again for each of them. The
/// folder's part is worked out at the first link asked for (a list page without copies links
/// none of its copy folders), or at once when the log takes level 1, whose lines come in the
/// order they always did.
class FolderLinks {
  public:
    FolderLinks(const std::string& fromPage, const std::string& folder);
    std::string to(const std::string& name) const;
    /// to(name), written over `out`, whose room is used again.
    void linkTo(const std::string& name, std::string& out) const;

  private:
    void workOut() const;
    /// workOut() done directly for a page and a folder that are both plain absolute paths;
    /// false for any others, left to the general way.
    bool workOutPlain() const;

    std::string fromPage_;
    std::string folder_;
    mutable bool workedOut_ = false;
    mutable std::string prefix_;         // a file's link is prefix_ + its encoded name
    mutable bool prefixKnown_ = false;   // else every link is made whole
    mutable std::string pageFolderName_; // the last step of the page's folder: links as "."
};

/// Makes text safe inside a double-quoted script string that sits in an HTML script element:
/// CR, LF, U+2028 and U+2029 become "\r", "\n", "\u2028", "\u2029", and every "<" becomes
/// "\u003c", so neither "</script>" nor "<!--" can reach the HTML parser.
/// Backslashes and quotes are left to the callers.
std::string escapeScriptBreaks(std::string_view text);

/// A video's length for the pages' scripts: seconds with up to three decimals ("12.48", "7").
std::string durationSeconds(long long milliseconds);
/// A video's length as its thumbnail shows it: "m:ss", or "h:mm:ss" from an hour, to the
/// nearest second but never "0:00" for a video that has any length.
std::string durationText(long long milliseconds);

/// One element of aryPicList from a picture entry: the quoting of filelist fields removed
/// (a leading and a trailing quote, quotes after and before a comma), then each backslash
/// doubled, each remaining quote written as \", and escapeScriptBreaks applied.
std::string cleanPicListElement(std::string_view entry);

/// One element of aryMenuList: each backslash doubled, each quote written as \", then
/// escapeScriptBreaks applied.
std::string escapeMenuListElement(std::string_view element);

/// A gallery name as the first field of an aryMenuList element: each "," becomes the
/// full-width comma U+FF0C, so the name always ends at the element's first comma and cannot
/// pose as the link that follows it.
std::string menuListName(std::string_view name);

/// Text as the body of a double-quoted script string that is also harmless in markup or in an
/// attribute of either quote: backslashes doubled, '"', "'", "&", "<", ">" written as
/// "\u0022", "\u0027", "\u0026", "\u003c", "\u003e", then escapeScriptBreaks applied.
std::string escapeScriptData(std::string_view text);
/// Appends escapeScriptData(text) to `out`.
void appendScriptData(std::string& out, std::string_view text);

} // namespace mivo
