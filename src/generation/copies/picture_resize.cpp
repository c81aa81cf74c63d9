#include "generation/copies/picture_resize.h"

#include <dlfcn.h>
#include <vips/vips.h>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/translate.h"
#include "generation/copies/copy_geometry.h"
#include "generation/copies/jpeg_direct.h"
#include "generation/copies/resample.h"
#include "generation/pictures/bmp_decode.h"
#include "generation/pictures/exif_info.h"
#include "generation/pictures/heif_exif.h"

namespace mivo {

namespace {

// JPEG quality: thumbnails are small and many, display copies are looked at closely.
constexpr int kThumbQuality = 80;
constexpr int kViewQuality = 85;
// WebP quality of the 2x and the 1x thumbnails, and the encoder's effort: each comes within
// 0.2 dB of the JPEG thumbnail's closeness to the full-size picture (bench/webp_thumbs.sh):
// 2x at 78, 1x at 76 (the JPEGs at 80 are closer at 1x: 78 was 0.09 dB above them there,
// 76 at 2x lost 0.43 dB). Effort 6, libwebp's most but one, makes them 4 % smaller than its
// default 4 at the same closeness, for some 10 ms more of a core a picture (both encodes).
constexpr int kThumb2xWebpQuality = 78;
constexpr int kThumbWebpQuality = 76;
constexpr int kThumbWebpEffort = 6;
// Animation copies: a display-sized picture, encoded as fast as libwebp's default allows.
constexpr int kAnimationWebpQuality = 80;
constexpr int kAnimationWebpEffort = 4;
// How far into an ICC profile its description is looked for.
constexpr std::size_t kDescribed = 4096;

// libvips is opened when the first picture is reduced, not linked: it brings about a hundred
// libraries with it, and loading them cost every run 20 ms with a warm cache (many times that
// with a cold one) although most runs never reduce a picture. Without it installed, pictures
// keep their originals, as with any picture it cannot read.
struct ImageLibrary {
    decltype(&::vips_version) version = nullptr;
    decltype(&::vips_init) init = nullptr;
    decltype(&::vips_concurrency_set) concurrencySet = nullptr;
    decltype(&::vips_cache_set_max) cacheSetMax = nullptr;
    decltype(&::vips_cache_set_max_mem) cacheSetMaxMem = nullptr;
    decltype(&::vips_cache_set_max_files) cacheSetMaxFiles = nullptr;
    decltype(&::vips_thread_shutdown) threadShutdown = nullptr;
    decltype(&::vips_error_buffer) errorBuffer = nullptr;
    decltype(&::vips_error_clear) errorClear = nullptr;
    decltype(&::vips_thumbnail) thumbnail = nullptr;
    decltype(&::vips_thumbnail_image) thumbnailImage = nullptr;
    decltype(&::vips_thumbnail_buffer) thumbnailBuffer = nullptr;
    decltype(&::vips_type_find) typeFind = nullptr;
    decltype(&::vips_image_new_from_file) fromFile = nullptr;
    decltype(&::vips_image_get_blob) getBlob = nullptr;
    decltype(&::vips_image_get_int) getInt = nullptr;
    decltype(&::vips_icc_transform) iccTransform = nullptr;
    decltype(&::vips_image_get_bands) bands = nullptr;
    decltype(&::vips_image_copy_memory) copyMemory = nullptr;
    decltype(&::vips_image_new_from_memory) fromMemory = nullptr;
    decltype(&::vips_image_hasalpha) hasAlpha = nullptr;
    decltype(&::vips_array_double_newv) doubleArray = nullptr;
    decltype(&::vips_area_unref) areaUnref = nullptr;
    decltype(&::vips_flatten) flatten = nullptr;
    decltype(&::vips_composite2) composite2 = nullptr;
    decltype(&::vips_jpegsave_buffer) jpegSaveBuffer = nullptr;
    // Absent or without a WebP encoder: thumbnails are JPEG only, and moving WebP pictures
    // too big for their originals are shown still.
    decltype(&::vips_webpsave_buffer) webpSaveBuffer = nullptr;
    decltype(&::vips_image_remove) imageRemove = nullptr;
    decltype(&::vips_image_get_width) width = nullptr;
    decltype(&::vips_image_get_height) height = nullptr;
    decltype(&::g_object_unref) unref = nullptr;
    decltype(&::g_free) free = nullptr;
    decltype(&::g_log_set_handler) logSetHandler = nullptr;
    decltype(&::vips_foreign_find_load) findLoad = nullptr;
    decltype(&::vips_foreign_find_load_buffer) findLoadBuffer = nullptr;
    decltype(&::vips_nickname_find) nicknameFind = nullptr;
    decltype(&::g_type_from_name) typeFromName = nullptr;
    // Since libvips 8.13; without it the loader check of each picture still stands.
    decltype(&::vips_block_untrusted_set) blockUntrusted = nullptr;
    // Without it a HEIC picture with a colour profile of its own takes the library's way.
    decltype(&::vips_image_set_blob_copy) setBlobCopy = nullptr;
};

ImageLibrary vips;
bool libraryReady = false;

template <typename Function> bool bind(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    return function != nullptr;
}

// The library's file name follows from the interface version the headers were made for.
std::string libraryFileName() {
    return "libvips.so." + std::to_string(VIPS_LIBRARY_CURRENT - VIPS_LIBRARY_AGE);
}

bool openLibrary() {
    void* handle = dlopen(libraryFileName().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        return false;
    }
    ImageLibrary& v = vips;
    // g_object_unref and g_free come from GObject and GLib, which the library brings with it.
    const bool bound =
        bind(handle, "vips_version", v.version) && bind(handle, "vips_init", v.init) &&
        bind(handle, "vips_concurrency_set", v.concurrencySet) &&
        bind(handle, "vips_cache_set_max", v.cacheSetMax) &&
        bind(handle, "vips_cache_set_max_mem", v.cacheSetMaxMem) &&
        bind(handle, "vips_cache_set_max_files", v.cacheSetMaxFiles) &&
        bind(handle, "vips_thread_shutdown", v.threadShutdown) &&
        bind(handle, "vips_error_buffer", v.errorBuffer) &&
        bind(handle, "vips_error_clear", v.errorClear) &&
        bind(handle, "vips_thumbnail", v.thumbnail) &&
        bind(handle, "vips_thumbnail_image", v.thumbnailImage) &&
        bind(handle, "vips_thumbnail_buffer", v.thumbnailBuffer) &&
        bind(handle, "vips_type_find", v.typeFind) &&
        bind(handle, "vips_image_new_from_file", v.fromFile) &&
        bind(handle, "vips_image_get_blob", v.getBlob) &&
        bind(handle, "vips_image_get_int", v.getInt) &&
        bind(handle, "vips_icc_transform", v.iccTransform) &&
        bind(handle, "vips_image_get_bands", v.bands) &&
        bind(handle, "vips_image_copy_memory", v.copyMemory) &&
        bind(handle, "vips_image_remove", v.imageRemove) &&
        bind(handle, "vips_image_new_from_memory", v.fromMemory) &&
        bind(handle, "vips_image_hasalpha", v.hasAlpha) &&
        bind(handle, "vips_array_double_newv", v.doubleArray) &&
        bind(handle, "vips_area_unref", v.areaUnref) && bind(handle, "vips_flatten", v.flatten) &&
        bind(handle, "vips_composite2", v.composite2) &&
        bind(handle, "vips_jpegsave_buffer", v.jpegSaveBuffer) &&
        bind(handle, "vips_image_get_width", v.width) &&
        bind(handle, "vips_image_get_height", v.height) &&
        bind(handle, "g_object_unref", v.unref) && bind(handle, "g_free", v.free) &&
        bind(handle, "g_log_set_handler", v.logSetHandler) &&
        bind(handle, "vips_foreign_find_load", v.findLoad) &&
        bind(handle, "vips_foreign_find_load_buffer", v.findLoadBuffer) &&
        bind(handle, "vips_nickname_find", v.nicknameFind) &&
        bind(handle, "g_type_from_name", v.typeFromName);
    bind(handle, "vips_block_untrusted_set", v.blockUntrusted);
    bind(handle, "vips_webpsave_buffer", v.webpSaveBuffer);
    bind(handle, "vips_image_set_blob_copy", v.setBlobCopy);
    // The same check the library's own start-up macro makes: an interface the headers do not
    // describe is not used. The library stays open for the life of the process.
    return bound && v.version(3) - v.version(5) == VIPS_LIBRARY_CURRENT - VIPS_LIBRARY_AGE;
}

// Owns one reference to a VipsImage.
class ImageRef {
  public:
    ImageRef() = default;
    explicit ImageRef(VipsImage* image) : image_(image) {}
    ~ImageRef() { reset(); }
    ImageRef(const ImageRef&) = delete;
    ImageRef& operator=(const ImageRef&) = delete;

    VipsImage* get() const { return image_; }
    VipsImage** out() {
        reset();
        return &image_;
    }
    void swap(ImageRef& other) noexcept { std::swap(image_, other.image_); }
    void reset() {
        if (image_ != nullptr) {
            vips.unref(image_);
            image_ = nullptr;
        }
    }

  private:
    VipsImage* image_ = nullptr;
};

std::string takeLibraryError() {
    std::string text = vips.errorBuffer();
    vips.errorClear();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text.empty() ? "cannot be read" : text;
}

const char* const kNotWhatItsNameSays = translatable("名前の示す種類の画像ではありません");

// The loader a picture named `path` must be read with: the one of the kind its extension says.
// libvips picks a loader by what a file holds, and a picture folder may come from a stranger:
// an SVG or a PDF named .jpg must not reach the SVG or PDF loader.
const char* loaderForName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string ext = cmGetExt(slash == std::string::npos ? path : path.substr(slash + 1));
    static const std::pair<const char*, const char*> kLoaders[] = {
        {"jpg", "jpegload"},  {"jpeg", "jpegload"}, {"gif", "gifload"},   {"png", "pngload"},
        {"webp", "webpload"}, {"tif", "tiffload"},  {"tiff", "tiffload"}, {"heic", "heifload"},
        {"heif", "heifload"}, {"avif", "heifload"},
    };
    for (const auto& [extension, loader] : kLoaders) {
        if (ext == extension) {
            return loader;
        }
    }
    return nullptr;
}

// The short name ("jpegload", "pngload_buffer") of the loader class the library found, or "".
std::string loaderName(const char* className) {
    vips.errorClear();
    if (className == nullptr) {
        return {};
    }
    const char* nickname = vips.nicknameFind(vips.typeFromName(className));
    return nickname != nullptr ? nickname : "";
}

// true when the library would read `path` with the loader its name calls for; otherwise
// `error` says what the file is instead.
bool holdsWhatItsNameSays(const std::string& path, std::string& error) {
    const char* wanted = loaderForName(path);
    const std::string found = loaderName(vips.findLoad(path.c_str()));
    if (wanted != nullptr && found == wanted) {
        return true;
    }
    error = std::string(kNotWhatItsNameSays) + ": " +
            (found.empty() ? std::string("unknown content") : found);
    return false;
}

// Encodes `image` as a JPEG into `bytes`. The caller writes the file: where it goes and how it
// is put in place is the copy folder's business, not the image library's.
// `optimize` gives each file Huffman tables of its own: some 5 % smaller, but it encodes the
// picture twice (four times the time for a display copy, 30 ms of a picture's 100 here).
bool encodeJpeg(VipsImage* image, int quality, std::string& bytes, std::string& error,
                bool optimize = true) {
    void* buffer = nullptr;
    std::size_t length = 0;
    if (vips.jpegSaveBuffer(image, &buffer, &length, "Q", quality, "strip", TRUE, "optimize_coding",
                            optimize ? TRUE : FALSE, nullptr) != 0) {
        error = takeLibraryError();
        return false;
    }
    bytes.assign(static_cast<const char*>(buffer), length);
    vips.free(buffer);
    return true;
}

// Saves `image` as WebP at `quality` into `bytes`. libvips 8.14 rewrites the EXIF block of an
// image it saves as WebP even when told to strip it, and was seen reading that block after it
// had been freed: a private copy of the pixels without the block is saved instead.
bool saveWebp(VipsImage* image, int quality, int effort, std::string& bytes, std::string& error) {
    ImageRef bare(vips.copyMemory(image));
    if (bare.get() == nullptr) {
        error = takeLibraryError();
        return false;
    }
    vips.imageRemove(bare.get(), "exif-data");
    void* buffer = nullptr;
    std::size_t length = 0;
    if (vips.webpSaveBuffer(bare.get(), &buffer, &length, "Q", quality, "effort", effort, "strip",
                            TRUE, nullptr) != 0) {
        error = takeLibraryError();
        return false;
    }
    bytes.assign(static_cast<const char*>(buffer), length);
    vips.free(buffer);
    return true;
}

// Encodes `image` (with its transparency, if any) as a WebP thumbnail of `quality` into
// `bytes`. Nothing is encoded where the library writes no WebP: the thumbnails stay JPEG only.
bool encodeWebp(VipsImage* image, int quality, std::string& bytes, std::string& error) {
    bytes.clear();
    if (vips.webpSaveBuffer == nullptr) {
        return true;
    }
    return saveWebp(image, quality, kThumbWebpEffort, bytes, error);
}

int side(long long value) {
    return static_cast<int>(value < 1 ? 1 : (value > 100000 ? 100000 : value));
}

// `webp`, when given, gets the pixels as a WebP thumbnail of `webpQuality` too.
bool encodePixels(const Pixels& pixels, int quality, std::string& bytes, std::string& error,
                  bool optimize = true, std::string* webp = nullptr, int webpQuality = 0) {
    ImageRef image(vips.fromMemory(pixels.data.data(), pixels.data.size(), pixels.width,
                                   pixels.height, pixels.bands, VIPS_FORMAT_UCHAR));
    if (image.get() == nullptr) {
        error = takeLibraryError();
        return false;
    }
    return encodeJpeg(image.get(), quality, bytes, error, optimize) &&
           (webp == nullptr || encodeWebp(image.get(), webpQuality, *webp, error));
}

// The whole file in memory: the decoder wants it so, and the markers are read from it first.
bool readWholeFile(const std::string& path, ByteBuffer& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size < 0) {
        ::close(fd);
        return false;
    }
    // One byte more than the file holds, so that a file that grew meanwhile is seen to be read
    // short of its end (and left to libvips).
    bytes.resize(static_cast<std::size_t>(status.st_size) + 1);
    std::size_t used = 0;
    while (used < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    ::close(fd);
    const bool whole = used == static_cast<std::size_t>(status.st_size);
    bytes.resize(used);
    return whole;
}

// What a worker keeps from picture to picture: buffers allocated once are not handed back to
// the system and faulted in again for every picture (that cost as much as the resampling).
// One decoded picture at most per worker.
struct DirectBuffers {
    ByteBuffer file;
    Pixels decoded;
    Pixels shrunk;
    Pixels view;
    Pixels thumb2x;
    Pixels thumb;
};

// The JPEG and BMP paths' buffers of the calling worker.
DirectBuffers& workerBuffers() {
    thread_local DirectBuffers buffers;
    return buffers;
}

// Hands the worker's buffers back before libvips decodes a picture: they hold a whole decoded
// camera picture (36 MB at 4000x3000, 72 MB at 6000x4000) that libvips has no use for, and a
// HEIC decode needs some 80 MB of its own (libde265's frame, libheif's YCbCr and RGB). Kept,
// both workers of a phone roll held both at once: 355 MiB for 48 JPEG and 12 HEIC pictures,
// where the HEIC pictures alone peaked at 240 MiB. Faulting them in again costs a few ms when
// the next picture is a JPEG.
void releaseWorkerBuffers() {
    DirectBuffers none;
    std::swap(workerBuffers(), none);
}

// The thumbnails from the display copy in `b.view`, and the three copies encoded.
bool thumbnailsFromView(DirectBuffers& b, const ResizeRequest& request, EncodedCopies& copies,
                        std::string& error) {
    const PictureSize view{b.view.width, b.view.height};
    const long boxWidth = side(request.boxWidth);
    const long boxHeight = side(request.boxHeight);
    const PictureSize thumb2xSize = fitInside(view.width, view.height, boxWidth * 2, boxHeight * 2);
    const PictureSize thumbSize = fitInside(view.width, view.height, boxWidth, boxHeight);
    // The 1x thumbnail has the size libvips gives it from the display copy, and its pixels from
    // the 2x one: a quarter of the reading.
    shrinkPixels(b.view, static_cast<int>(thumb2xSize.width), static_cast<int>(thumb2xSize.height),
                 b.thumb2x);
    shrinkPixels(b.thumb2x, static_cast<int>(thumbSize.width), static_cast<int>(thumbSize.height),
                 b.thumb);
    if (!encodePixels(b.view, kViewQuality, copies.view, error, false) ||
        !encodePixels(b.thumb2x, kThumbQuality, copies.thumb2x, error, true, &copies.thumb2xWebp,
                      kThumb2xWebpQuality) ||
        !encodePixels(b.thumb, kThumbQuality, copies.thumb, error, true, &copies.thumbWebp,
                      kThumbWebpQuality)) {
        return false;
    }
    copies.sizes = ResizedSizes{b.thumb.width,    b.thumb.height, b.thumb2x.width,
                                b.thumb2x.height, b.view.width,   b.view.height};
    return true;
}

// The copies of a plain JPEG (8-bit grey or colour, no colour profile) without libvips's
// loader: decoded once at the smallest scale M/8 that still covers twice the display copy
// (see decodeNeed), shrunk to it with Lanczos3, turned upright, and the thumbnails shrunk from it.
// The sizes are those libvips gives for the same picture. false when the picture is not one for
// this path or the decoder refuses it (`tried` false: libvips then does the picture from the
// start), or when a copy cannot be encoded (`tried` true, `error` set).
bool directCopies(const std::string& picture, const ResizeRequest& request, EncodedCopies& copies,
                  std::string& error, bool& tried) {
    tried = false;
    DirectBuffers& b = workerBuffers();
    JpegLayout layout;
    if (!readWholeFile(picture, b.file) || !readJpegLayout(b.file.data(), b.file.size(), layout) ||
        !layout.direct()) {
        return false;
    }
    const bool turned = layout.orientation >= 5;
    const long uprightWidth = turned ? layout.stored.height : layout.stored.width;
    const long uprightHeight = turned ? layout.stored.width : layout.stored.height;
    const long edge = side(request.viewEdge);
    const PictureSize view = fitInside(uprightWidth, uprightHeight, edge, edge);
    const PictureSize storedView =
        turned ? PictureSize{view.height, view.width} : PictureSize{view.width, view.height};
    if (!decodeJpegScaled(b.file.data(), b.file.size(), layout,
                          decodeEighths(layout.stored, decodeNeed(storedView)), b.decoded)) {
        return false;
    }
    tried = true;
    shrinkPixels(b.decoded, static_cast<int>(storedView.width), static_cast<int>(storedView.height),
                 b.shrunk);
    if (layout.orientation > 1) {
        orientPixels(b.shrunk, layout.orientation, b.view);
    } else {
        std::swap(b.shrunk, b.view);
    }
    return thumbnailsFromView(b, request, copies, error);
}

// The copies of a BMP, decoded here: libvips reads BMP only through ImageMagick, one of the
// loaders it calls unsafe for files from strangers.
bool bmpCopies(const std::string& picture, const ResizeRequest& request, EncodedCopies& copies,
               std::string& error) {
    DirectBuffers& b = workerBuffers();
    if (!readWholeFile(picture, b.file)) {
        error = "cannot be read";
        return false;
    }
    if (b.file.size() < 2 || b.file[0] != 'B' || b.file[1] != 'M') {
        error = std::string(kNotWhatItsNameSays) + ": not a BMP";
        return false;
    }
    if (!decodeBmp(b.file.data(), b.file.size(), b.decoded, error)) {
        return false;
    }
    const long edge = side(request.viewEdge);
    const PictureSize view = fitInside(b.decoded.width, b.decoded.height, edge, edge);
    if (view.width == b.decoded.width && view.height == b.decoded.height) {
        std::swap(b.decoded, b.view);
    } else {
        shrinkPixels(b.decoded, static_cast<int>(view.width), static_cast<int>(view.height),
                     b.view);
    }
    return thumbnailsFromView(b, request, copies, error);
}

// True when `profile` is an ICC profile of RGB colours other than sRGB.
bool otherRgbProfile(const unsigned char* profile, std::size_t size) {
    if (size < 132 || std::string_view(reinterpret_cast<const char*>(profile) + 16, 4) != "RGB ") {
        return false;
    }
    // The description of the sRGB profiles cameras and programs embed names it.
    const std::string_view bytes(reinterpret_cast<const char*>(profile),
                                 std::min(size, kDescribed));
    return bytes.find("sRGB") == std::string_view::npos;
}

// The copies are written without a colour profile, so their colours must be those a browser
// assumes then: a picture with an RGB profile of its own (Display P3 from a phone, Adobe RGB)
// is turned into sRGB, or it would look pale. (The library's loader already turns CMYK into
// sRGB; its profile then stays attached, and is no RGB profile.)
bool toShownColours(ImageRef& image, std::string& error) {
    const void* profile = nullptr;
    std::size_t size = 0;
    const int colourBands = vips.bands(image.get()) - (vips.hasAlpha(image.get()) != 0 ? 1 : 0);
    if (colourBands != 3 || vips.getBlob(image.get(), "icc-profile-data", &profile, &size) != 0) {
        vips.errorClear();
        return true;
    }
    if (!otherRgbProfile(static_cast<const unsigned char*>(profile), size)) {
        return true;
    }
    ImageRef shown;
    if (vips.iccTransform(image.get(), shown.out(), "srgb", "embedded", TRUE, nullptr) != 0) {
        error = takeLibraryError();
        return false;
    }
    image.swap(shown);
    return true;
}

// `pixels` (RGB in the colours of the ICC profile `profile`) turned into the colours a browser
// assumes, as toShownColours turns a picture the library loaded: in place, the same size.
bool toShownPixels(Pixels& pixels, const std::string& profile, std::string& error) {
    ImageRef image(vips.fromMemory(pixels.data.data(), pixels.data.size(), pixels.width,
                                   pixels.height, pixels.bands, VIPS_FORMAT_UCHAR));
    if (image.get() == nullptr) {
        error = takeLibraryError();
        return false;
    }
    vips.setBlobCopy(image.get(), "icc-profile-data", profile.data(), profile.size());
    if (!toShownColours(image, error)) {
        return false;
    }
    ImageRef shown(vips.copyMemory(image.get()));
    image.reset();
    if (shown.get() == nullptr || shown.get()->data == nullptr) {
        error = takeLibraryError();
        return false;
    }
    if (vips.width(shown.get()) != pixels.width || vips.height(shown.get()) != pixels.height ||
        vips.bands(shown.get()) != pixels.bands || shown.get()->BandFmt != VIPS_FORMAT_UCHAR) {
        error = "the colour profile changed the picture's shape";
        return false;
    }
    std::memcpy(pixels.data.data(), shown.get()->data, pixels.data.size());
    return true;
}

// The copies of a HEIC or AVIF picture of 8 bits a channel, grey or RGB, without
// transparency: decoded whole by libheif (there is no smaller decode), then shrunk and turned
// upright as a JPEG's pixels are (directCopies), with the sizes libvips gives. libvips's own
// reduce of a 12-megapixel picture to the display copy took some 0.15 s of a core more, a
// seventh of the picture's time. A picture with an RGB profile of its own (a phone's Display
// P3) is turned into sRGB once shrunk, as the library's way turns its display-sized picture.
// Any other picture, or one the library cannot decode (`tried` false), is left to the general
// path and its messages.
bool decodedHeifCopies(const std::string& picture, const ResizeRequest& request,
                       EncodedCopies& copies, std::string& error, bool& tried) {
    tried = false;
    ImageRef image(vips.fromFile(picture.c_str(), nullptr));
    if (image.get() == nullptr) {
        vips.errorClear();
        return false;
    }
    const int bands = vips.bands(image.get());
    const void* profile = nullptr;
    std::size_t profileSize = 0;
    const bool otherColours =
        bands == 3 && vips.getBlob(image.get(), "icc-profile-data", &profile, &profileSize) == 0 &&
        otherRgbProfile(static_cast<const unsigned char*>(profile), profileSize);
    vips.errorClear();
    if ((bands != 1 && bands != 3) || vips.hasAlpha(image.get()) != 0 ||
        image.get()->BandFmt != VIPS_FORMAT_UCHAR ||
        (otherColours && vips.setBlobCopy == nullptr)) {
        return false;
    }
    const std::string ownProfile =
        otherColours ? std::string(static_cast<const char*>(profile), profileSize) : std::string();
    // The turn libvips's thumbnail would give it: libheif has applied the file's own
    // transformations, and libvips leaves an EXIF orientation only where one is still due.
    int orientation = 1;
    if (vips.getInt(image.get(), "orientation", &orientation) != 0) {
        vips.errorClear();
        orientation = 1;
    }
    releaseWorkerBuffers();
    ImageRef decoded(vips.copyMemory(image.get()));
    image.reset();
    if (decoded.get() == nullptr || decoded.get()->data == nullptr) {
        vips.errorClear();
        return false;
    }
    tried = true;
    const PixelView stored{decoded.get()->data, vips.width(decoded.get()),
                           vips.height(decoded.get()), bands};
    const bool turned = orientation >= 5 && orientation <= 8;
    const long edge = side(request.viewEdge);
    const PictureSize view = fitInside(turned ? stored.height : stored.width,
                                       turned ? stored.width : stored.height, edge, edge);
    const PictureSize storedView =
        turned ? PictureSize{view.height, view.width} : PictureSize{view.width, view.height};
    DirectBuffers& b = workerBuffers();
    shrinkPixels(stored, static_cast<int>(storedView.width), static_cast<int>(storedView.height),
                 b.shrunk);
    decoded.reset();
    if (orientation > 1 && orientation <= 8) {
        orientPixels(b.shrunk, orientation, b.view);
    } else {
        std::swap(b.shrunk, b.view);
    }
    if (!ownProfile.empty() && !toShownPixels(b.view, ownProfile, error)) {
        return false;
    }
    return thumbnailsFromView(b, request, copies, error);
}

// Puts a picture with transparency on a checker of two mid greys, in squares of `square`
// pixels, and keeps the result in memory. A JPEG holds no transparency, and the page's colour
// is the visitor's (light or dark): a neutral checker reads as "nothing here" on either, where
// white was a white box on a dark page.
bool onChecker(ImageRef& image, int square, std::string& error) {
    const int width = vips.width(image.get());
    const int height = vips.height(image.get());
    std::vector<unsigned char> pattern(static_cast<std::size_t>(width) * height * 3);
    std::size_t at = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto grey = static_cast<unsigned char>(
                ((x / square + y / square) % 2) == 0 ? kCheckerLight : kCheckerDark);
            pattern[at] = pattern[at + 1] = pattern[at + 2] = grey;
            at += 3;
        }
    }
    ImageRef base(
        vips.fromMemory(pattern.data(), pattern.size(), width, height, 3, VIPS_FORMAT_UCHAR));
    ImageRef mixed;
    ImageRef flat;
    VipsArrayDouble* grey = vips.doubleArray(1, static_cast<double>(kCheckerLight));
    const bool failed =
        base.get() == nullptr ||
        vips.composite2(base.get(), image.get(), mixed.out(), VIPS_BLEND_MODE_OVER, nullptr) != 0 ||
        vips.flatten(mixed.get(), flat.out(), "background", grey, nullptr) != 0;
    vips.areaUnref(VIPS_AREA(grey));
    if (failed) {
        error = takeLibraryError();
        return false;
    }
    // Into memory while the pattern is still here.
    ImageRef inMemory(vips.copyMemory(flat.get()));
    if (inMemory.get() == nullptr) {
        error = takeLibraryError();
        return false;
    }
    image.swap(inMemory);
    return true;
}

// The three copies from a picture the library has loaded at the display size (or smaller),
// upright: in sRGB, the thumbnails made from it, and each put on a checker when it has
// transparency (squares of the same size on a screen of either density).
bool copiesFromLoaded(ImageRef& loaded, const ResizeRequest& request, EncodedCopies& copies,
                      std::string& error) {
    if (!toShownColours(loaded, error)) {
        return false;
    }
    ImageRef view(vips.copyMemory(loaded.get()));
    loaded.reset();
    if (view.get() == nullptr) {
        error = takeLibraryError();
        return false;
    }
    const bool transparent = vips.hasAlpha(view.get()) != 0;
    const int boxWidth = side(request.boxWidth);
    const int boxHeight = side(request.boxHeight);
    ImageRef thumb2x;
    ImageRef thumb;
    if (vips.thumbnailImage(view.get(), thumb2x.out(), boxWidth * 2, "height", boxHeight * 2,
                            "size", VIPS_SIZE_DOWN, "no_rotate", TRUE, nullptr) != 0 ||
        vips.thumbnailImage(view.get(), thumb.out(), boxWidth, "height", boxHeight, "size",
                            VIPS_SIZE_DOWN, "no_rotate", TRUE, nullptr) != 0) {
        error = takeLibraryError();
        return false;
    }
    // The WebP thumbnails keep the transparency the JPEGs cannot hold.
    if (!encodeWebp(thumb2x.get(), kThumb2xWebpQuality, copies.thumb2xWebp, error) ||
        !encodeWebp(thumb.get(), kThumbWebpQuality, copies.thumbWebp, error)) {
        return false;
    }
    if (transparent &&
        (!onChecker(thumb, kCheckerSquare / 2, error) ||
         !onChecker(thumb2x, kCheckerSquare, error) || !onChecker(view, kCheckerSquare, error))) {
        return false;
    }
    if (!encodeJpeg(view.get(), kViewQuality, copies.view, error) ||
        !encodeJpeg(thumb2x.get(), kThumbQuality, copies.thumb2x, error) ||
        !encodeJpeg(thumb.get(), kThumbQuality, copies.thumb, error)) {
        return false;
    }
    ResizedSizes& sizes = copies.sizes;
    sizes.viewWidth = vips.width(view.get());
    sizes.viewHeight = vips.height(view.get());
    sizes.thumb2xWidth = vips.width(thumb2x.get());
    sizes.thumb2xHeight = vips.height(thumb2x.get());
    sizes.thumbWidth = vips.width(thumb.get());
    sizes.thumbHeight = vips.height(thumb.get());
    return true;
}

// The shooting data of an EXIF block as libvips keeps it: "Exif\0\0" and the TIFF structure,
// or the TIFF structure alone.
bool readExifBlock(const unsigned char* data, std::size_t size, ExifInfo& info) {
    static const unsigned char kMark[] = {'E', 'x', 'i', 'f', 0, 0};
    // HEIF files may keep the block behind a 4-byte offset: look a little way in for the mark.
    for (std::size_t at = 0; at + sizeof kMark <= size && at <= 16; ++at) {
        if (std::equal(kMark, kMark + sizeof kMark, data + at)) {
            return readExifInfo(data + at + sizeof kMark, size - at - sizeof kMark, info);
        }
    }
    return readExifInfo(data, size, info);
}

// The library's warnings ("heifload: ignoring nclx profile" for every phone picture) go to
// the log, not to the terminal the status lines of mivo-make are read from.
void logLibraryWarning(const gchar* /*domain*/, GLogLevelFlags /*level*/, const gchar* message,
                       gpointer /*data*/) {
    cmWriteLog("libvips", 4, message != nullptr ? message : "");
}

// A HEIC or AVIF picture is decoded whole, whatever size its copies are: HEVC and AV1 have no
// smaller decode, libheif (1.15 in Debian 12) decodes every tile of the picture, and libvips
// (8.14) takes the picture's embedded thumbnail only when it is at least the size asked for,
// which a phone's (320x240 or so) never is for the display copy. A 12-megapixel picture is
// some 18 MB as the decoder's YCbCr and 36 MB as the RGB libvips reads, each allocated and
// freed once per picture. glibc raises its mmap threshold to the size of the first such
// buffer freed and keeps the later ones in its heaps, one heap per thread, where freed memory
// is seldom handed back: 50 HEIC pictures peaked at 465 MB with two workers. A fixed threshold
// keeps every buffer of a megabyte or more a mapping of its own, returned to the system when
// freed (259 MB for the same pictures). Buffers a worker keeps from picture to picture (the
// JPEG path's) are not freed, so they are not mapped again.
void keepLargeBuffersApart() {
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
}

} // namespace

bool startImageLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        keepLargeBuffersApart();
        libraryReady = openLibrary() && vips.init("mivo") == 0;
        if (libraryReady) {
            // Loaders the library itself calls unsafe on files from strangers (ImageMagick,
            // PDF, SVG, FITS, Matlab...) are never used.
            if (vips.blockUntrusted != nullptr) {
                vips.blockUntrusted(TRUE);
            }
            vips.logSetHandler(
                "VIPS", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
                logLibraryWarning, nullptr);
            // The pictures are shared out to worker threads; one picture at a time needs no
            // threads of its own, and a cache of decoded pictures would only hold memory.
            vips.concurrencySet(1);
            vips.cacheSetMax(0);
            vips.cacheSetMaxMem(0);
            vips.cacheSetMaxFiles(0);
        }
    });
    return libraryReady;
}

void endImageThread() {
    if (libraryReady) {
        vips.threadShutdown();
    }
}

std::size_t heldPictureBytes() {
    const DirectBuffers& b = workerBuffers();
    std::size_t bytes = b.file.capacity();
    for (const Pixels* pixels : {&b.decoded, &b.shrunk, &b.view, &b.thumb2x, &b.thumb}) {
        bytes += pixels->data.capacity();
    }
    return bytes;
}

bool resizePicture(const std::string& picture, const ResizeRequest& request, EncodedCopies& copies,
                   std::string& error) {
    if (!startImageLibrary()) {
        error = "the image library did not start";
        return false;
    }
    if (cmGetExt(picture.substr(picture.find_last_of('/') + 1)) == "bmp") {
        return bmpCopies(picture, request, copies, error);
    }
    if (!holdsWhatItsNameSays(picture, error)) {
        return false;
    }
    bool tried = false;
    if (std::string_view(loaderForName(picture)) == "jpegload" &&
        directCopies(picture, request, copies, error, tried)) {
        return true;
    }
    if (tried) {
        return false; // decoded, but a copy could not be encoded
    }
    if (std::string_view(loaderForName(picture)) == "heifload") {
        const bool made = decodedHeifCopies(picture, request, copies, error, tried);
        if (tried) {
            malloc_trim(0); // as below
            return made;
        }
    }
    releaseWorkerBuffers();
    const int edge = side(request.viewEdge);
    // One decode for all three sizes: shrunk while loading to the display size, turned upright,
    // and kept in memory (at most edge x edge pixels) while the copies are written from it.
    ImageRef loaded;
    if (vips.thumbnail(picture.c_str(), loaded.out(), edge, "height", edge, "size", VIPS_SIZE_DOWN,
                       nullptr) != 0) {
        error = takeLibraryError();
        return false;
    }
    const bool made = copiesFromLoaded(loaded, request, copies, error);
    // The free blocks a decode leaves in the heaps of this worker and of the library's own
    // thread (libde265's and libheif's smaller blocks between the large ones) go back to the
    // system now; kept, the next decode found them too scattered to use and asked for more:
    // 12 HEIC pictures peaked at 240 MiB with two workers, 191 MiB with this.
    malloc_trim(0);
    return made;
}

bool resizePictureBytes(const std::string& bytes, const ResizeRequest& request,
                        EncodedCopies& copies, std::string& error) {
    if (!startImageLibrary()) {
        error = "the image library did not start";
        return false;
    }
    // ffmpeg's frame, as PNG, and nothing else.
    if (loaderName(vips.findLoadBuffer(bytes.data(), bytes.size())) != "pngload_buffer") {
        error = "not a PNG picture";
        return false;
    }
    const int edge = side(request.viewEdge);
    ImageRef loaded;
    // The library only reads the buffer, whatever its declaration says.
    if (vips.thumbnailBuffer(const_cast<char*>(bytes.data()), bytes.size(), loaded.out(), edge,
                             "height", edge, "size", VIPS_SIZE_DOWN, nullptr) != 0) {
        error = takeLibraryError();
        return false;
    }
    return copiesFromLoaded(loaded, request, copies, error);
}

bool imageLibraryMakesAnimatedWebp() {
    return imageLibraryReads("webpload") && vips.webpSaveBuffer != nullptr;
}

bool animatedWebpCopy(const std::string& picture, long long width, long long height,
                      std::string& bytes, std::string& error) {
    if (!imageLibraryMakesAnimatedWebp()) {
        error = "the image library cannot write animated WebP";
        return false;
    }
    if (!holdsWhatItsNameSays(picture, error)) {
        return false;
    }
    // Every frame (n=-1), each reduced into the display copy's box; the frames' times and the
    // loop count go with them into the saved file.
    // (The options after the name: the last bracket is ours, whatever the name holds.)
    const std::string allPages = picture + "[n=-1]";
    releaseWorkerBuffers();
    ImageRef loaded;
    if (vips.thumbnail(allPages.c_str(), loaded.out(), side(width), "height", side(height), "size",
                       VIPS_SIZE_DOWN, nullptr) != 0) {
        error = takeLibraryError();
        return false;
    }
    return saveWebp(loaded.get(), kAnimationWebpQuality, kAnimationWebpEffort, bytes, error);
}

bool imageLibraryReads(const char* loader) {
    return startImageLibrary() && vips.typeFind("VipsOperation", loader) != 0;
}

bool imageLibraryWritesWebp() {
    return startImageLibrary() && vips.webpSaveBuffer != nullptr &&
           vips.typeFind("VipsOperation", "webpsave_buffer") != 0;
}

bool readShootingData(const std::string& path, ExifInfo& info) {
    // HEIC and AVIF keep EXIF as an item the file's boxes point to: read straight from there,
    // so that a run with nothing to make neither starts the image library nor opens a
    // picture through it.
    std::string block;
    const HeifExif found = readHeifExifBlock(path, block);
    return readShootingData(path, found, block, info);
}

bool readShootingData(const std::string& path, HeifExif found, const std::string& block,
                      ExifInfo& info) {
    info = ExifInfo{};
    switch (found) {
    case HeifExif::Found:
        return readExifBlock(reinterpret_cast<const unsigned char*>(block.data()), block.size(),
                             info);
    case HeifExif::None:
        return false;
    case HeifExif::Unknown:
        break;
    }
    std::string notWhatItSays;
    if (!startImageLibrary() || !holdsWhatItsNameSays(path, notWhatItSays)) {
        return false;
    }
    // Opening a file reads its header; the pixels are decoded only when asked for, never here.
    ImageRef image(vips.fromFile(path.c_str(), nullptr));
    if (image.get() == nullptr) {
        vips.errorClear();
        return false;
    }
    const void* data = nullptr;
    std::size_t size = 0;
    if (vips.getBlob(image.get(), "exif-data", &data, &size) != 0 || data == nullptr) {
        vips.errorClear();
        return false;
    }
    return readExifBlock(static_cast<const unsigned char*>(data), size, info);
}

} // namespace mivo
