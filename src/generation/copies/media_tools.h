#pragma once

#include <optional>
#include <string>

#include "generation/copies/video_tools.h"
#include "generation/plan/item_kind.h"

namespace mivo {

/// What a gallery that shows more than JPEG, GIF and BMP needs, found once per run.
struct MediaTools {
    bool media = false; // HEIC, PNG... pictures and videos are in the list
    VideoPrograms video;
    // The image library reads HEIC, HEIF and AVIF; asked the first time a HEIF picture needs
    // copies, since starting the library costs a run that has nothing to make.
    mutable std::optional<bool> heif;
    // The image library writes WebP: asked the first time it matters, for the same reason.
    mutable std::optional<bool> webp;

    /// What this machine lacks for the item `name` of kind `kind`, or "" when nothing.
    std::string missingFor(ItemKind kind, const std::string& name) const;
    /// True when thumbnails can have WebP copies beside the JPEGs.
    bool writesWebp() const;
};

} // namespace mivo
