#pragma once

#include <cstdint>
#include <string>

namespace mivo::test {

/// Big-endian numbers and boxes, as HEIF files and their EXIF items are written.
inline std::string be16(unsigned v) {
    return {static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
}

inline std::string be32(std::uint32_t v) {
    return be16(v >> 16) + be16(v & 0xFFFF);
}

/// A box: its size (header included), its four-letter type, its body.
inline std::string box(const std::string& type, const std::string& body) {
    return be32(static_cast<std::uint32_t>(8 + body.size())) + type + body;
}

} // namespace mivo::test
