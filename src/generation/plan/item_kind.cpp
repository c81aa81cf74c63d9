#include "generation/plan/item_kind.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "common/paths.h"

namespace mivo {

namespace {

constexpr std::array<std::string_view, 4> kPictures{"jpg", "jpeg", "gif", "bmp"};
constexpr std::array<std::string_view, 7> kMediaPictures{"heic", "heif", "avif", "png",
                                                         "webp", "tif",  "tiff"};
constexpr std::array<std::string_view, 7> kVideos{"mp4", "m4v", "mov", "webm", "mkv", "avi", "3gp"};

template <std::size_t N>
bool holds(const std::array<std::string_view, N>& list, const std::string& ext) {
    return std::find(list.begin(), list.end(), ext) != list.end();
}

} // namespace

ItemKind itemKindOf(const std::string& name, bool media) {
    const std::string ext = cmGetExt(name);
    if (holds(kPictures, ext)) {
        return ItemKind::Picture;
    }
    if (!media) {
        return ItemKind::None;
    }
    if (holds(kMediaPictures, ext)) {
        return ItemKind::MediaPicture;
    }
    return holds(kVideos, ext) ? ItemKind::Video : ItemKind::None;
}

bool isHeifName(const std::string& name) {
    const std::string ext = cmGetExt(name);
    return ext == "heic" || ext == "heif" || ext == "avif";
}

} // namespace mivo
