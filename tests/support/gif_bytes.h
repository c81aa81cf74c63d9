#pragma once

#include <string>

namespace mivo::test {

/// A GIF header is all a picture needs to be measured.
inline std::string gifBytes(int width, int height) {
    std::string bytes = "GIF89a";
    bytes += static_cast<char>(width & 0xff);
    bytes += static_cast<char>(width >> 8);
    bytes += static_cast<char>(height & 0xff);
    bytes += static_cast<char>(height >> 8);
    bytes += std::string("\x80\x00\x00", 3);
    return bytes;
}

} // namespace mivo::test
