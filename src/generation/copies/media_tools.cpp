#include "generation/copies/media_tools.h"

#include "generation/copies/picture_resize.h"

namespace mivo {

std::string MediaTools::missingFor(ItemKind kind, const std::string& name) const {
    if (kind != ItemKind::Picture && kind != ItemKind::None && !startImageLibrary()) {
        return "libvips";
    }
    if (kind == ItemKind::Video && !video.ok()) {
        return video.ffmpeg.empty() ? "ffmpeg" : "ffprobe";
    }
    if (kind == ItemKind::MediaPicture && isHeifName(name)) {
        if (!heif) {
            heif = imageLibraryReads("heifload");
        }
        if (*heif) {
            return {};
        }
        return "libvips HEIF";
    }
    return {};
}

bool MediaTools::writesWebp() const {
    if (!webp) {
        webp = imageLibraryWritesWebp();
    }
    return *webp;
}

} // namespace mivo
