#pragma once

#include <string>
#include <vector>

namespace mivo {

/// One gallery of menu mode: one row of the list view, one line of Mivo.csv.
struct GalleryEntry {
    std::string strListName; // the gallery's name
    std::string strPicPath;  // folder of its pictures
    std::string strSamPath;  // folder of its thumbnails; empty = the pictures serve as thumbnails

    bool operator==(const GalleryEntry&) const = default;
};

/// Appends the rows of the list file to `rows`. A missing file adds nothing and gives true;
/// false, adding nothing, when the file is there but cannot be read, or is not cp932 or UTF-8
/// after a byte order mark (UTF-16, broken characters): it must then never be replaced.
bool mainGetList(const std::string& listPath, std::vector<GalleryEntry>& rows);

/// Rewrites the list file atomically: one line "name,pic,thumb," CR LF per row. A field that
/// holds a comma or begins with a double quote is quoted, inner quotes doubled. false (old
/// file kept) when the file cannot be written or is read-only; `errorText` then says why.
bool mainSetList(const std::string& listPath, const std::vector<GalleryEntry>& rows,
                 std::string* errorText = nullptr);

} // namespace mivo
