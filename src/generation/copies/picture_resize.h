#pragma once

#include <cstddef>
#include <string>

#include "generation/pictures/heif_exif.h"
#include "generation/plan/item.h"

namespace mivo {

/// The sizes one picture is reduced to: the thumbnail box (made at 1x and at 2x for dense
/// screens) and the long edge of the display copy. Nothing is ever enlarged.
struct ResizeRequest {
    long long boxWidth = 160;
    long long boxHeight = 160;
    long long viewEdge = 2048;

    bool operator==(const ResizeRequest&) const = default;
};

/// The checker transparent parts of a picture are shown on in its JPEG copies and its MP4
/// animation: two mid greys in squares of kCheckerSquare pixels of the display copy (of the 2x
/// thumbnail too; half that in the 1x one), light where the square's column and row add up even.
inline constexpr int kCheckerLight = 160;
inline constexpr int kCheckerDark = 136;
inline constexpr int kCheckerSquare = 8;

/// The three JPEG files of one picture's copies, encoded in memory, and their pixel sizes; and,
/// where the image library writes WebP, the two thumbnails as WebP too (with the picture's
/// transparency, which the JPEGs show on a checker).
struct EncodedCopies {
    std::string thumb;
    std::string thumb2x;
    std::string view;
    std::string thumbWebp;
    std::string thumb2xWebp;
    ResizedSizes sizes;
};

/// Decodes `picture` once (shrunk while loading where the format allows it), turned upright by
/// its EXIF orientation and in sRGB, and encodes three JPEGs: the thumbnail at 1x and 2x of the
/// box and the display copy. Nothing is written to disk here. false (with `error` set) when
/// the picture cannot be decoded or encoded.
bool resizePicture(const std::string& picture, const ResizeRequest& request, EncodedCopies& copies,
                   std::string& error);

/// The same three copies of a picture encoded in memory (a video's poster PNG).
bool resizePictureBytes(const std::string& bytes, const ResizeRequest& request,
                        EncodedCopies& copies, std::string& error);

/// The animation copy of the moving WebP `picture`: every frame reduced into `width` x
/// `height` (the display copy's size), kept with its times, as animated WebP bytes in memory.
bool animatedWebpCopy(const std::string& picture, long long width, long long height,
                      std::string& bytes, std::string& error);

/// True when the image library reads WebP and writes animated WebP.
bool imageLibraryMakesAnimatedWebp();

/// True when the image library is there and has the loader `loader` ("heifload",
/// "webpload"...), so that a run can say once that a kind of picture cannot be read.
bool imageLibraryReads(const char* loader);

/// True when the image library is there and writes WebP.
bool imageLibraryWritesWebp();

/// Reads the shooting data of a picture the image library reads (HEIC, AVIF, and PNG, WebP or
/// TIFF holding an EXIF block) from its header alone, without decoding its pixels. false when
/// it cannot be read or holds no EXIF block.
bool readShootingData(const std::string& path, ExifInfo& info);
/// The same with the EXIF item of a HEIF file already read (readHeifItems): the image library
/// is asked only when `found` is Unknown.
bool readShootingData(const std::string& path, HeifExif found, const std::string& block,
                      ExifInfo& info);

/// Prepares the image library once per process; false when it cannot start.
bool startImageLibrary();

/// Frees what the image library keeps for the calling thread; workers call it before they end.
void endImageThread();

/// The bytes the calling thread keeps from picture to picture for JPEG and BMP pictures (their
/// decoded pixels); handed back before the image library decodes a picture.
std::size_t heldPictureBytes();

} // namespace mivo
