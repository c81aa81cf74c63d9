#pragma once

#include <string>
#include <string_view>

namespace mivo {

/// A moving picture at most this large is shown moving from its original; a larger one is
/// shown by its still copy, as any picture.
constexpr long long kSmallMovingPicture = 1024 * 1024;

/// Whether the GIF or WebP file `path` holds an animation, from its header alone: a GIF with
/// more than one image (read only up to the second), a WebP whose extended header says it is
/// animated. `bytes` gets the file's size. false for any other file, or one that cannot be read.
bool readPictureMoves(const std::string& path, long long& bytes);
/// The same for a whole file held in memory.
bool pictureMovesFromBytes(std::string_view file);

} // namespace mivo
