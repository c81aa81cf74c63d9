#pragma once

#include <string>

namespace mivo {

/// What a file of a picture folder is to a gallery.
enum class ItemKind {
    None,         // not shown
    Picture,      // JPEG, GIF or BMP: shown as it is, or through its reduced copies
    MediaPicture, // HEIC, HEIF, AVIF, PNG, WebP or TIFF: shown only through reduced copies
    Video,        // shown as a poster and a video the browser can play
};

/// The kind of the file `name` by its extension, letter case ignored. Without `media` only
/// pictures count: a gallery that does not make copies cannot show the other kinds.
ItemKind itemKindOf(const std::string& name, bool media);

/// True for the HEIF family (HEIC, HEIF, AVIF), which needs libvips built with HEIF support.
bool isHeifName(const std::string& name);

} // namespace mivo
