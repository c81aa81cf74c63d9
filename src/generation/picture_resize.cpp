#include "generation/picture_resize.h"

#include <vips/vips.h>

#include <cstdio>
#include <mutex>
#include <utility>

namespace mivo {

namespace {

// JPEG quality: thumbnails are small and many, display copies are looked at closely.
constexpr int kThumbQuality = 80;
constexpr int kViewQuality = 85;

bool libraryReady = false;

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
            g_object_unref(image_);
            image_ = nullptr;
        }
    }

  private:
    VipsImage* image_ = nullptr;
};

std::string takeLibraryError() {
    std::string text = vips_error_buffer();
    vips_error_clear();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text.empty() ? "cannot be read" : text;
}

// Writes `image` as a JPEG under a temporary name beside `path`, then renames it.
bool saveJpeg(VipsImage* image, const std::string& path, int quality, std::string& error) {
    const std::string part = path + ".part";
    if (vips_jpegsave(image, part.c_str(), "Q", quality, "strip", TRUE, "optimize_coding", TRUE,
                      nullptr) != 0) {
        error = takeLibraryError();
        std::remove(part.c_str());
        return false;
    }
    if (std::rename(part.c_str(), path.c_str()) != 0) {
        error = "cannot be renamed to " + path;
        std::remove(part.c_str());
        return false;
    }
    return true;
}

int side(long long value) {
    return static_cast<int>(value < 1 ? 1 : (value > 100000 ? 100000 : value));
}

} // namespace

bool startImageLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        libraryReady = VIPS_INIT("mivo") == 0;
        if (libraryReady) {
            // The pictures are shared out to worker threads; one picture at a time needs no
            // threads of its own, and a cache of decoded pictures would only hold memory.
            vips_concurrency_set(1);
            vips_cache_set_max(0);
            vips_cache_set_max_mem(0);
            vips_cache_set_max_files(0);
        }
    });
    return libraryReady;
}

void endImageThread() {
    if (libraryReady) {
        vips_thread_shutdown();
    }
}

bool resizePicture(const std::string& picture, const ResizeRequest& request,
                   const std::string& thumbPath, const std::string& thumb2xPath,
                   const std::string& viewPath, ResizedSizes& sizes, std::string& error) {
    if (!startImageLibrary()) {
        error = "the image library did not start";
        return false;
    }
    const int edge = side(request.viewEdge);
    // One decode for all three sizes: shrunk while loading to the display size, turned upright,
    // and kept in memory (at most edge x edge pixels) while the copies are written from it.
    ImageRef loaded;
    if (vips_thumbnail(picture.c_str(), loaded.out(), edge, "height", edge, "size", VIPS_SIZE_DOWN,
                       nullptr) != 0) {
        error = takeLibraryError();
        return false;
    }
    ImageRef view(vips_image_copy_memory(loaded.get()));
    loaded.reset();
    if (view.get() == nullptr) {
        error = takeLibraryError();
        return false;
    }
    if (vips_image_hasalpha(view.get()) != 0) {
        // JPEG holds no transparency: put the picture on white, as a page shows it.
        VipsArrayDouble* white = vips_array_double_newv(1, 255.0);
        ImageRef flat;
        const int failed = vips_flatten(view.get(), flat.out(), "background", white, nullptr);
        vips_area_unref(VIPS_AREA(white));
        if (failed != 0) {
            error = takeLibraryError();
            return false;
        }
        ImageRef flatInMemory(vips_image_copy_memory(flat.get()));
        if (flatInMemory.get() == nullptr) {
            error = takeLibraryError();
            return false;
        }
        view.swap(flatInMemory);
    }
    const int boxWidth = side(request.boxWidth);
    const int boxHeight = side(request.boxHeight);
    ImageRef thumb2x;
    ImageRef thumb;
    if (vips_thumbnail_image(view.get(), thumb2x.out(), boxWidth * 2, "height", boxHeight * 2,
                             "size", VIPS_SIZE_DOWN, "no_rotate", TRUE, nullptr) != 0 ||
        vips_thumbnail_image(view.get(), thumb.out(), boxWidth, "height", boxHeight, "size",
                             VIPS_SIZE_DOWN, "no_rotate", TRUE, nullptr) != 0) {
        error = takeLibraryError();
        return false;
    }
    if (!saveJpeg(view.get(), viewPath, kViewQuality, error) ||
        !saveJpeg(thumb2x.get(), thumb2xPath, kThumbQuality, error) ||
        !saveJpeg(thumb.get(), thumbPath, kThumbQuality, error)) {
        std::remove(viewPath.c_str());
        std::remove(thumb2xPath.c_str());
        std::remove(thumbPath.c_str());
        return false;
    }
    sizes.viewWidth = vips_image_get_width(view.get());
    sizes.viewHeight = vips_image_get_height(view.get());
    sizes.thumb2xWidth = vips_image_get_width(thumb2x.get());
    sizes.thumb2xHeight = vips_image_get_height(thumb2x.get());
    sizes.thumbWidth = vips_image_get_width(thumb.get());
    sizes.thumbHeight = vips_image_get_height(thumb.get());
    return true;
}

} // namespace mivo
