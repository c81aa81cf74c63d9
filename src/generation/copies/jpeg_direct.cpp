#include "generation/copies/jpeg_direct.h"

#include <dlfcn.h>
#include <turbojpeg.h>

#include <cstdint>
#include <cstring>
#include <mutex>

namespace mivo {

namespace {

// TurboJPEG is opened at the first reduced picture, as libvips is: a run that reduces nothing
// loads neither. It decodes at any of the scales M/8 that libjpeg-turbo offers, where libvips
// only decodes at 1/1, 1/2, 1/4 and 1/8.
struct JpegLibrary {
    decltype(&::tjInitDecompress) initDecompress = nullptr;
    decltype(&::tjDecompress2) decompress = nullptr;
    decltype(&::tjDestroy) destroy = nullptr;
};

JpegLibrary turbo;
bool jpegReady = false;

template <typename Function> bool bind(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    return function != nullptr;
}

std::uint32_t be16(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 8U) | p[1];
}

// The orientation tag of IFD0 in the TIFF structure of an Exif block; 1 when there is none
// or it is damaged (libvips leaves such a picture as stored too).
int exifOrientation(const unsigned char* tiff, std::size_t size) {
    if (size < 8) {
        return 1;
    }
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) {
        return 1;
    }
    auto u16 = [little](const unsigned char* p) -> std::uint32_t {
        return little ? (static_cast<std::uint32_t>(p[1]) << 8U) | p[0] : be16(p);
    };
    auto u32 = [&u16, little](const unsigned char* p) -> std::uint32_t {
        return little ? (u16(p + 2) << 16U) | u16(p) : (u16(p) << 16U) | u16(p + 2);
    };
    if (u16(tiff + 2) != 0x2A) {
        return 1;
    }
    const std::size_t ifd = u32(tiff + 4);
    if (ifd > size || size - ifd < 2) {
        return 1;
    }
    const std::size_t count = u16(tiff + ifd);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + i * 12;
        if (entry > size || size - entry < 12) {
            return 1;
        }
        if (u16(tiff + entry) == 0x0112) {
            const std::uint32_t value = u16(tiff + entry + 8);
            return u16(tiff + entry + 2) == 3 && value >= 1 && value <= 8 ? static_cast<int>(value)
                                                                          : 1;
        }
    }
    return 1;
}

} // namespace

bool readJpegLayout(const unsigned char* data, std::size_t size, JpegLayout& layout) {
    layout = JpegLayout{};
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
        return false;
    }
    bool exifSeen = false;
    std::size_t pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF) {
            return false;
        }
        const unsigned char marker = data[pos + 1];
        if (marker == 0xFF) {
            ++pos; // fill byte
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            pos += 2;
            continue;
        }
        if (marker == 0xD9) {
            return false; // an image with no scan
        }
        const std::size_t length = be16(data + pos + 2);
        if (length < 2 || length > size - pos - 2) {
            return false;
        }
        const unsigned char* body = data + pos + 4;
        const std::size_t bodySize = length - 2;
        if (marker == 0xDA) {
            return layout.stored.width > 0;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            if (bodySize < 6) {
                return false;
            }
            // C0 baseline, C1 extended, C2 progressive: Huffman coded, what TurboJPEG reads.
            layout.huffman = marker <= 0xC2;
            layout.precision = body[0];
            layout.stored.height = be16(body + 1);
            layout.stored.width = be16(body + 3);
            layout.components = body[5];
        } else if (marker == 0xE1 && !exifSeen && bodySize >= 6 &&
                   std::memcmp(body, "Exif\0\0", 6) == 0) {
            exifSeen = true;
            layout.orientation = exifOrientation(body + 6, bodySize - 6);
        } else if (marker == 0xE2 && bodySize >= 12 &&
                   std::memcmp(body, "ICC_PROFILE\0", 12) == 0) {
            layout.colourProfile = true;
        }
        pos += 2 + length;
    }
    return false;
}

bool startJpegLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        void* handle = dlopen("libturbojpeg.so.0", RTLD_NOW | RTLD_LOCAL);
        jpegReady = handle != nullptr && bind(handle, "tjInitDecompress", turbo.initDecompress) &&
                    bind(handle, "tjDecompress2", turbo.decompress) &&
                    bind(handle, "tjDestroy", turbo.destroy);
    });
    return jpegReady;
}

bool decodeJpegScaled(const unsigned char* data, std::size_t size, const JpegLayout& layout,
                      int eighths, Pixels& out) {
    if (!startJpegLibrary() || !layout.direct() || eighths < 1 || eighths > 8) {
        return false;
    }
    tjhandle decoder = turbo.initDecompress();
    if (decoder == nullptr) {
        return false;
    }
    out.bands = layout.components == 1 ? 1 : 3;
    out.width = static_cast<int>(scaledEdge(layout.stored.width, eighths));
    out.height = static_cast<int>(scaledEdge(layout.stored.height, eighths));
    out.data.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) *
                    static_cast<std::size_t>(out.bands));
    // One call decodes the whole picture on this thread (TurboJPEG starts no threads of its
    // own); a warning stops it, so a damaged file goes to libvips at once.
    const int failed = turbo.decompress(
        decoder, data, static_cast<unsigned long>(size), out.data.data(), out.width, 0, out.height,
        out.bands == 1 ? TJPF_GRAY : TJPF_RGB, TJFLAG_STOPONWARNING);
    turbo.destroy(decoder);
    if (failed != 0) {
        return false;
    }
    return true;
}

} // namespace mivo
