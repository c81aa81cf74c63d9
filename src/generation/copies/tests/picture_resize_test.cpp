#include <gtest/gtest.h>

#include <vips/vips.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "generation/copies/jpeg_direct.h"
#include "generation/copies/picture_resize.h"
#include "generation/pictures/exif_info.h"
#include "generation/pictures/heif_exif.h"
#include "generation/pictures/picture_caption.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::readBytes;
using test::TempDir;

bool convert(const std::string& arguments, const std::string& path) {
    const std::string command = "convert " + arguments + " '" + path + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

JpegLayout layoutOf(const std::string& path) {
    const std::string bytes = readBytes(path);
    JpegLayout layout;
    EXPECT_TRUE(
        readJpegLayout(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), layout))
        << path;
    return layout;
}

// What libvips makes of the picture: the sizes the copies always had.
ResizedSizes sizesFromLibvips(const std::string& path, const ResizeRequest& request) {
    ResizedSizes sizes;
    VipsImage* view = nullptr;
    VipsImage* thumb2x = nullptr;
    VipsImage* thumb = nullptr;
    const int edge = static_cast<int>(request.viewEdge);
    const int w = static_cast<int>(request.boxWidth);
    const int h = static_cast<int>(request.boxHeight);
    if (vips_thumbnail(path.c_str(), &view, edge, "height", edge, "size", VIPS_SIZE_DOWN,
                       nullptr) == 0 &&
        vips_thumbnail_image(view, &thumb2x, w * 2, "height", h * 2, "size", VIPS_SIZE_DOWN,
                             nullptr) == 0 &&
        vips_thumbnail_image(view, &thumb, w, "height", h, "size", VIPS_SIZE_DOWN, nullptr) == 0) {
        sizes = ResizedSizes{vips_image_get_width(thumb),   vips_image_get_height(thumb),
                             vips_image_get_width(thumb2x), vips_image_get_height(thumb2x),
                             vips_image_get_width(view),    vips_image_get_height(view)};
    }
    for (VipsImage* image : {view, thumb2x, thumb}) {
        if (image != nullptr) {
            g_object_unref(image);
        }
    }
    return sizes;
}

struct Decoded {
    int width = 0;
    int height = 0;
    int bands = 0;
    std::vector<double> centre;
};

Decoded decode(const std::string& jpeg) {
    Decoded decoded;
    VipsImage* image = vips_image_new_from_buffer(jpeg.data(), jpeg.size(), "", nullptr);
    if (image == nullptr) {
        return decoded;
    }
    decoded.width = vips_image_get_width(image);
    decoded.height = vips_image_get_height(image);
    decoded.bands = vips_image_get_bands(image);
    double* pixel = nullptr;
    int bands = 0;
    if (vips_getpoint(image, &pixel, &bands, decoded.width / 2, decoded.height / 2, nullptr) == 0) {
        decoded.centre.assign(pixel, pixel + bands);
        g_free(pixel);
    }
    g_object_unref(image);
    return decoded;
}

class PictureResizeTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(startImageLibrary()); }

    // The copies of `path`, checked to be JPEGs of the sizes reported and of libvips's sizes.
    EncodedCopies copiesOf(const std::string& path) {
        EncodedCopies copies;
        std::string error;
        EXPECT_TRUE(resizePicture(path, request, copies, error)) << path << ": " << error;
        EXPECT_EQ(copies.sizes, sizesFromLibvips(path, request)) << path;
        const Decoded view = decode(copies.view);
        const Decoded thumb2x = decode(copies.thumb2x);
        const Decoded thumb = decode(copies.thumb);
        EXPECT_EQ(view.width, copies.sizes.viewWidth);
        EXPECT_EQ(view.height, copies.sizes.viewHeight);
        EXPECT_EQ(thumb2x.width, copies.sizes.thumb2xWidth);
        EXPECT_EQ(thumb2x.height, copies.sizes.thumb2xHeight);
        EXPECT_EQ(thumb.width, copies.sizes.thumbWidth);
        EXPECT_EQ(thumb.height, copies.sizes.thumbHeight);
        return copies;
    }

    TempDir dir;
    ResizeRequest request{160, 120, 2048};
};

void expectColour(const std::string& jpeg, std::vector<double> expected, double within = 6) {
    const Decoded decoded = decode(jpeg);
    ASSERT_EQ(decoded.centre.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(decoded.centre[i], expected[i], within) << "band " << i;
    }
}

TEST_F(PictureResizeTest, CopiesHaveLibvipsSizesAtEveryDecodeScale) {
    // Display copies of 500: decoded at 2/8 (one just above twice the copy, one exactly),
    // 3/8, 4/8, full size (twice the copy exactly), full size upright, smaller than the copy.
    request.viewEdge = 500;
    for (const char* size :
         {"4097x2731", "4000x3000", "3001x2001", "2049x1537", "1000x700", "700x1000", "400x300"}) {
        SCOPED_TRACE(size);
        const std::string path = dir / (std::string(size) + ".jpg");
        ASSERT_TRUE(convert("-size " + std::string(size) + " xc:skyblue -quality 95", path));
        const EncodedCopies copies = copiesOf(path);
        expectColour(copies.view, {135, 206, 235});
        expectColour(copies.thumb, {135, 206, 235});
    }
}

TEST_F(PictureResizeTest, KindsOfJpegKeepTheirLookAndDamagedOnesFailAsBefore) {
    request = ResizeRequest{30, 30, 100};
    const std::string progressive = dir / "progressive.jpg";
    const std::string grey = dir / "grey.jpg";
    const std::string cmyk = dir / "cmyk.jpg";
    const std::string profiled = dir / "p3.jpg";
    ASSERT_TRUE(convert("-size 300x200 xc:skyblue -interlace JPEG", progressive));
    ASSERT_TRUE(convert("-size 300x200 xc:skyblue -colorspace Gray", grey));
    ASSERT_TRUE(convert("-size 300x200 xc:skyblue -colorspace CMYK", cmyk));
    {
        // A picture with a Display P3 profile embedded, made by libvips.
        VipsImage* plain = nullptr;
        VipsImage* p3 = nullptr;
        ASSERT_EQ(vips_black(&plain, 300, 200, "bands", 3, nullptr), 0);
        VipsImage* sky = nullptr;
        const double colour[3] = {135, 206, 235};
        ASSERT_EQ(vips_linear(plain, &sky, std::vector<double>(3, 1.0).data(), colour, 3, "uchar",
                              TRUE, nullptr),
                  0);
        vips_image_set_int(sky, "interpretation", VIPS_INTERPRETATION_sRGB);
        ASSERT_EQ(vips_icc_transform(sky, &p3, "p3", nullptr), 0);
        ASSERT_EQ(vips_jpegsave(p3, profiled.c_str(), "Q", 95, nullptr), 0);
        g_object_unref(plain);
        g_object_unref(sky);
        g_object_unref(p3);
    }
    // The markers send each where it renders right: CMYK and a profile to libvips.
    EXPECT_TRUE(layoutOf(progressive).direct());
    EXPECT_TRUE(layoutOf(grey).direct());
    EXPECT_EQ(layoutOf(grey).components, 1);
    EXPECT_FALSE(layoutOf(cmyk).direct());
    EXPECT_EQ(layoutOf(cmyk).components, 4);
    EXPECT_FALSE(layoutOf(profiled).direct());
    EXPECT_TRUE(layoutOf(profiled).colourProfile);

    const EncodedCopies fromProgressive = copiesOf(progressive);
    expectColour(fromProgressive.view, {135, 206, 235});
    const EncodedCopies fromGrey = copiesOf(grey);
    EXPECT_EQ(decode(fromGrey.view).bands, 1); // a grey picture stays a grey JPEG
    EXPECT_EQ(decode(fromGrey.thumb).bands, 1);
    expectColour(fromGrey.view, decode(readBytes(grey)).centre);
    const EncodedCopies fromCmyk = copiesOf(cmyk);
    EXPECT_EQ(decode(fromCmyk.view).bands, 3);
    // The P3 copy is in sRGB: the copies carry no profile, and the browser takes them as sRGB.
    const EncodedCopies fromProfiled = copiesOf(profiled);
    expectColour(fromProfiled.view, {135, 206, 235}, 3);

    // A file cut short in its picture data is finished by libvips as it always was; one cut
    // before its picture data, or with a frame of no size, fails with libvips's message.
    const std::string whole = readBytes(progressive);
    const std::string cut = dir.write("cut.jpg", whole.substr(0, whole.size() * 2 / 3));
    const EncodedCopies fromCut = copiesOf(cut);
    EXPECT_EQ(fromCut.sizes.viewWidth, 100);
    std::string baseline = readBytes(grey);
    const std::size_t scan = baseline.find("\xFF\xDA");
    ASSERT_NE(scan, std::string::npos);
    const std::string noScan = dir.write("noscan.jpg", baseline.substr(0, scan));
    const std::size_t frame = baseline.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    baseline.replace(frame + 5, 4, std::string(4, '\0'));
    const std::string noSize = dir.write("nosize.jpg", baseline);
    for (const std::string& damaged : {noScan, noSize}) {
        SCOPED_TRACE(damaged);
        EncodedCopies copies;
        std::string error;
        EXPECT_FALSE(resizePicture(damaged, request, copies, error));
        EXPECT_FALSE(error.empty());
    }
}

bool vipsCopy(const std::string& from, const std::string& to) {
    const std::string command = "vips copy '" + from + "' '" + to + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

// Makes `path` from an sRGB sky-blue picture through a colour profile `profile`.
void writeThroughProfile(const std::string& path, const char* profile) {
    VipsImage* plain = nullptr;
    VipsImage* sky = nullptr;
    VipsImage* converted = nullptr;
    ASSERT_EQ(vips_black(&plain, 300, 200, "bands", 3, nullptr), 0);
    const double colour[3] = {135, 206, 235};
    ASSERT_EQ(vips_linear(plain, &sky, std::vector<double>(3, 1.0).data(), colour, 3, "uchar", TRUE,
                          nullptr),
              0);
    vips_image_set_int(sky, "interpretation", VIPS_INTERPRETATION_sRGB);
    ASSERT_EQ(vips_icc_transform(sky, &converted, profile, nullptr), 0);
    ASSERT_EQ(vips_image_write_to_file(converted, path.c_str(), nullptr), 0);
    g_object_unref(plain);
    g_object_unref(sky);
    g_object_unref(converted);
}

TEST_F(PictureResizeTest, AWorkerKeepsItsJpegBuffersOnlyBetweenJpegPictures) {
    // Kept from one JPEG to the next, handed back before libvips decodes another kind, so
    // that a worker never holds a decoded JPEG and a HEIC decode at once.
    const std::string jpeg = dir / "big.jpg";
    const std::string png = dir / "big.png";
    ASSERT_TRUE(convert("-size 3000x2000 xc:skyblue -quality 90", jpeg));
    ASSERT_TRUE(convert("-size 3000x2000 xc:skyblue", png));
    EncodedCopies copies;
    std::string error;
    ASSERT_TRUE(resizePicture(jpeg, request, copies, error)) << error;
    EXPECT_GE(heldPictureBytes(), std::size_t{3000} * 2000 * 3) << "decoded at full size";
    ASSERT_TRUE(resizePicture(png, request, copies, error)) << error;
    EXPECT_EQ(heldPictureBytes(), 0U);
    ASSERT_TRUE(resizePicture(jpeg, request, copies, error)) << error;
    EXPECT_GT(heldPictureBytes(), 0U);
}

TEST_F(PictureResizeTest, OtherKindsOfPictureBecomeUprightSrgbJpegs) {
    request = ResizeRequest{30, 30, 100};
    const std::string sky = dir / "sky.jpg";
    ASSERT_TRUE(convert("-size 300x200 xc:skyblue -quality 95", sky));
    struct Case {
        std::string name;
        double within;
    };
    std::vector<Case> cases = {{"sky.webp", 8}, {"sky.tif", 2}, {"sky.png", 2}};
    for (const char* name : {"sky.heic", "sky.avif"}) {
        if (imageLibraryReads("heifload")) {
            cases.push_back({name, 10});
        }
    }
    for (const Case& c : cases) {
        ASSERT_TRUE(vipsCopy(sky, dir / c.name)) << c.name;
    }
    // 16 bits a channel, CMYK, and a Display P3 profile: all shown in 8-bit sRGB.
    ASSERT_TRUE(convert("-size 300x200 xc:skyblue -depth 16", dir / "deep.png"));
    ASSERT_TRUE(convert("-size 300x200 xc:skyblue -depth 16", dir / "deep.tif"));
    writeThroughProfile(dir / "p3.png", "p3");
    writeThroughProfile(dir / "cmyk.tif", "cmyk");
    cases.insert(cases.end(), {{"deep.png", 2}, {"deep.tif", 2}, {"p3.png", 3}, {"cmyk.tif", 12}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const EncodedCopies copies = copiesOf(dir / c.name);
        EXPECT_EQ(copies.sizes.viewWidth, 100);
        EXPECT_EQ(copies.sizes.viewHeight, 67);
        EXPECT_EQ(decode(copies.view).bands, 3);
        expectColour(copies.view, {135, 206, 235}, c.within);
        expectColour(copies.thumb, {135, 206, 235}, c.within);
    }

    // Transparency is shown on a checker of two mid greys (136 and 160), neither the white box
    // it was on a dark page nor black on a light one; a half-transparent black darkens it.
    ASSERT_TRUE(convert("-size 300x200 xc:none", dir / "clear.png"));
    ASSERT_TRUE(convert("-size 300x200 xc:'rgba(0,0,0,0.5)'", dir / "half.webp"));
    const EncodedCopies clearCopies = copiesOf(dir / "clear.png");
    for (const std::string* copy : {&clearCopies.view, &clearCopies.thumb2x, &clearCopies.thumb}) {
        const Decoded clear = decode(*copy);
        ASSERT_FALSE(clear.centre.empty());
        EXPECT_EQ(clear.bands, 3);
        EXPECT_NEAR(clear.centre[0], 148, 16);
        EXPECT_NEAR(clear.centre[0], clear.centre[2], 2) << "a neutral grey";
    }
    const Decoded half = decode(copiesOf(dir / "half.webp").view);
    ASSERT_FALSE(half.centre.empty());
    EXPECT_NEAR(half.centre[0], 74, 10);

    // Turned upright by the EXIF orientation, on the way libvips takes (CMYK) too.
    for (const char* name : {"turned.jpg", "turned-cmyk.jpg"}) {
        SCOPED_TRACE(name);
        const std::string flat = dir / (std::string("flat-") + name);
        ASSERT_TRUE(convert(
            std::string("-size 300x200 xc:skyblue") +
                (std::string(name).find("cmyk") != std::string::npos ? " -colorspace CMYK" : ""),
            flat));
        VipsImage* image = vips_image_new_from_file(flat.c_str(), nullptr);
        ASSERT_NE(image, nullptr);
        VipsImage* turned = nullptr;
        ASSERT_EQ(vips_copy(image, &turned, nullptr), 0);
        vips_image_set_int(turned, "orientation", 6);
        ASSERT_EQ(vips_image_write_to_file(turned, (dir / name).c_str(), nullptr), 0);
        g_object_unref(image);
        g_object_unref(turned);
        const EncodedCopies copies = copiesOf(dir / name);
        EXPECT_EQ(copies.sizes.viewWidth, 67);
        EXPECT_EQ(copies.sizes.viewHeight, 100);
    }
}

// The mean difference, over every pixel and band, between a copy and `path` as libvips's
// thumbnail makes it at the copy's size; -1 when either cannot be read or the sizes differ.
double meanDifferenceFromLibvips(const std::string& copy, const std::string& path) {
    VipsImage* ours = vips_image_new_from_buffer(copy.data(), copy.size(), "", nullptr);
    VipsImage* theirs = nullptr;
    VipsImage* difference = nullptr;
    double mean = -1;
    if (ours != nullptr &&
        vips_thumbnail(path.c_str(), &theirs, vips_image_get_width(ours), "height",
                       vips_image_get_height(ours), "size", VIPS_SIZE_DOWN, nullptr) == 0 &&
        vips_image_get_width(theirs) == vips_image_get_width(ours) &&
        vips_image_get_height(theirs) == vips_image_get_height(ours) &&
        vips_subtract(ours, theirs, &difference, nullptr) == 0) {
        VipsImage* size = nullptr;
        if (vips_abs(difference, &size, nullptr) == 0) {
            vips_avg(size, &mean, nullptr);
            g_object_unref(size);
        }
    }
    for (VipsImage* image : {ours, theirs, difference}) {
        if (image != nullptr) {
            g_object_unref(image);
        }
    }
    return mean;
}

TEST_F(PictureResizeTest, HeicCopiesMatchTheLibrarysOwnAndComeUpright) {
    if (!imageLibraryReads("heifload")) {
        GTEST_SKIP() << "no HEIC loader";
    }
    request = ResizeRequest{40, 40, 200};
    // A textured picture: a wrong row length, band count, turn or filter shows as a large
    // difference from libvips's own copies, where the JPEG's copies (shrunk the same way) are
    // the measure of what the filters and the encoding alone make of it.
    const std::string rough = dir / "rough.jpg";
    ASSERT_TRUE(convert("-seed 7 -size 600x400 plasma:fractal -quality 95", rough));
    ASSERT_TRUE(vipsCopy(rough, dir / "rough.heic"));
    // The same turned by an EXIF orientation: shown as libvips shows it.
    VipsImage* image = vips_image_new_from_file(rough.c_str(), nullptr);
    ASSERT_NE(image, nullptr);
    VipsImage* turned = nullptr;
    ASSERT_EQ(vips_copy(image, &turned, nullptr), 0);
    vips_image_set_int(turned, "orientation", 6);
    ASSERT_EQ(vips_image_write_to_file(turned, (dir / "turned.heic").c_str(), nullptr), 0);
    g_object_unref(image);
    g_object_unref(turned);
    const EncodedCopies fromJpeg = copiesOf(rough);
    const std::string* jpegCopies[] = {&fromJpeg.view, &fromJpeg.thumb2x, &fromJpeg.thumb};
    for (const char* name : {"rough.heic", "turned.heic"}) {
        SCOPED_TRACE(name);
        const EncodedCopies copies = copiesOf(dir / name);
        const std::string* heicCopies[] = {&copies.view, &copies.thumb2x, &copies.thumb};
        for (std::size_t i = 0; i < 3; ++i) {
            const double jpegDifference = meanDifferenceFromLibvips(*jpegCopies[i], rough);
            const double difference = meanDifferenceFromLibvips(*heicCopies[i], dir / name);
            EXPECT_GE(difference, 0) << i;
            EXPECT_LT(difference, jpegDifference + 1.5) << i;
        }
    }

    // Transparency still takes the library's way: on the checker.
    ASSERT_TRUE(convert("-size 300x200 xc:'rgba(0,0,0,0.5)'", dir / "half.png"));
    ASSERT_TRUE(vipsCopy(dir / "half.png", dir / "half.heic"));
    const Decoded half = decode(copiesOf(dir / "half.heic").view);
    ASSERT_FALSE(half.centre.empty());
    EXPECT_NEAR(half.centre[0], 74, 10);
    EXPECT_EQ(heldPictureBytes(), 0U) << "the library's way holds no buffers of ours";
    // A phone's Display P3 picture is shrunk the same way (its buffers held, as for any HEIC
    // this way), then turned into sRGB: as close to the library's own copy in sRGB as the
    // plain pictures are to theirs.
    writeThroughProfile(dir / "p3.heic", "p3");
    expectColour(copiesOf(dir / "p3.heic").view, {135, 206, 235}, 10);
    EXPECT_GT(heldPictureBytes(), 0U) << "shrunk by Mivo, not by the library";
    VipsImage* roughImage = vips_image_new_from_file(rough.c_str(), nullptr);
    ASSERT_NE(roughImage, nullptr);
    VipsImage* p3 = nullptr;
    ASSERT_EQ(vips_icc_transform(roughImage, &p3, "p3", "input_profile", "srgb", nullptr), 0);
    ASSERT_EQ(vips_image_write_to_file(p3, (dir / "rough-p3.heic").c_str(), nullptr), 0);
    g_object_unref(roughImage);
    g_object_unref(p3);
    const EncodedCopies fromP3 = copiesOf(dir / "rough-p3.heic");
    EXPECT_GT(heldPictureBytes(), 0U);
    // Mean colours, band by band: the two resamplers differ pixel by pixel on this texture
    // (a mean difference of about 4 levels for the plain pictures too), not on average.
    const auto bandMeans = [](VipsImage* image) {
        std::vector<double> means;
        for (int band = 0; band < vips_image_get_bands(image); ++band) {
            VipsImage* one = nullptr;
            double mean = -1;
            if (vips_extract_band(image, &one, band, nullptr) == 0) {
                vips_avg(one, &mean, nullptr);
                g_object_unref(one);
            }
            means.push_back(mean);
        }
        return means;
    };
    VipsImage* ours =
        vips_image_new_from_buffer(fromP3.view.data(), fromP3.view.size(), "", nullptr);
    ASSERT_NE(ours, nullptr);
    VipsImage* theirs = nullptr;
    VipsImage* theirsShown = nullptr;
    ASSERT_EQ(vips_thumbnail((dir / "rough-p3.heic").c_str(), &theirs, vips_image_get_width(ours),
                             "height", vips_image_get_height(ours), "size", VIPS_SIZE_DOWN,
                             nullptr),
              0);
    ASSERT_EQ(vips_icc_transform(theirs, &theirsShown, "srgb", "embedded", TRUE, nullptr), 0);
    const std::vector<double> ourMeans = bandMeans(ours);
    const std::vector<double> shownMeans = bandMeans(theirsShown);
    const std::vector<double> p3Means = bandMeans(theirs);
    ASSERT_EQ(ourMeans.size(), 3U);
    ASSERT_EQ(shownMeans.size(), 3U);
    ASSERT_EQ(p3Means.size(), 3U);
    double fromP3Colours = 0;
    for (std::size_t band = 0; band < 3; ++band) {
        EXPECT_NEAR(ourMeans[band], shownMeans[band], 0.5) << "band " << band;
        fromP3Colours = std::max(fromP3Colours, std::abs(ourMeans[band] - p3Means[band]));
    }
    EXPECT_GT(fromP3Colours, 2.0) << "left in P3, the copy's colours would be this far off";
    for (VipsImage* image : {ours, theirs, theirsShown}) {
        g_object_unref(image);
    }
}

TEST_F(PictureResizeTest, PicturesInMemoryGetTheSameCopies) {
    request = ResizeRequest{30, 30, 100};
    const std::string png = dir / "frame.png";
    ASSERT_TRUE(convert("-size 320x240 xc:skyblue", png));
    EncodedCopies fromBytes;
    std::string error;
    ASSERT_TRUE(resizePictureBytes(readBytes(png), request, fromBytes, error)) << error;
    EXPECT_EQ(fromBytes.sizes, copiesOf(png).sizes);
    expectColour(fromBytes.view, {135, 206, 235}, 2);
    EXPECT_FALSE(resizePictureBytes("not a picture", request, fromBytes, error));
    EXPECT_FALSE(error.empty());

    EXPECT_TRUE(imageLibraryReads("pngload"));
    EXPECT_FALSE(imageLibraryReads("mivonoload"));
}

// An EXIF block as libvips keeps it: "Exif\0\0", then a little-endian TIFF structure with the
// camera model in IFD0 and the f-number and date taken in the Exif IFD.
std::string exifBlock() {
    std::string b("Exif\0\0", 6);
    auto put16 = [&](unsigned v) {
        b.push_back(static_cast<char>(v & 0xFF));
        b.push_back(static_cast<char>(v >> 8));
    };
    auto put32 = [&](unsigned v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    auto entry = [&](unsigned tag, unsigned type, unsigned count, unsigned value) {
        put16(tag);
        put16(type);
        put32(count);
        put32(value);
    };
    b += "II*";
    b.push_back('\0');
    put32(8);
    put16(2); // IFD0 at 8, 30 bytes
    entry(0x0110, 2, 8, 68);
    entry(0x8769, 4, 1, 38);
    put32(0);
    put16(2); // Exif IFD at 38, 30 bytes
    entry(0x829D, 5, 1, 76);
    entry(0x9003, 2, 20, 84);
    put32(0);
    b.append("TestCam\0", 8); // 68
    put32(28);                // 76
    put32(10);
    b.append("2024:05:06 07:08:09\0", 20); // 84
    return b;
}

TEST_F(PictureResizeTest, ShootingDataComesFromTheHeaderOfEveryKind) {
    const std::string block = exifBlock();
    VipsImage* plain = nullptr;
    ASSERT_EQ(vips_black(&plain, 30, 20, "bands", 3, nullptr), 0);
    VipsImage* shot = nullptr;
    ASSERT_EQ(vips_copy(plain, &shot, nullptr), 0);
    vips_image_set_blob_copy(shot, "exif-data", block.data(), block.size());
    std::vector<std::string> names = {"shot.png", "shot.webp"};
    if (imageLibraryReads("heifload")) {
        names.insert(names.end(), {"shot.heic", "shot.avif"});
    }
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ASSERT_EQ(vips_image_write_to_file(shot, (dir / name).c_str(), nullptr), 0)
            << vips_error_buffer();
        ExifInfo info;
        ASSERT_TRUE(readShootingData(dir / name, info));
        // HEIC and AVIF are read from their own boxes, without the image library.
        std::string block;
        EXPECT_EQ(readHeifExifBlock(dir / name, block) == HeifExif::Found,
                  name.ends_with(".heic") || name.ends_with(".avif"));
        EXPECT_EQ(info.dateTaken, "2024-05-06 07:08:09");
        // The date alone, for the order by date, without the image library.
        EXPECT_EQ(readPictureDateTaken(dir / name), "2024-05-06 07:08:09");
        EXPECT_EQ(info.model, "TestCam");
        EXPECT_EQ(info.fNumber, "f/2.8");
    }
    ASSERT_EQ(vips_image_write_to_file(plain, (dir / "plain.png").c_str(), nullptr), 0);
    g_object_unref(plain);
    g_object_unref(shot);
    // A TIFF file is an EXIF structure of its own (little-endian here, big-endian in the run's
    // test of the order by date).
    dir.write("shot.tif", block.substr(6));
    EXPECT_EQ(readPictureDateTaken(dir / "shot.tif"), "2024-05-06 07:08:09");
    EXPECT_EQ(readPictureDateTaken(dir / "plain.png"), "");
    ExifInfo info;
    EXPECT_FALSE(readShootingData(dir / "plain.png", info));
    EXPECT_FALSE(readShootingData(dir / "missing.heic", info));
    EXPECT_TRUE(info.empty());
}

TEST_F(PictureResizeTest, APictureIsReadOnlyAsTheKindItsNameSays) {
    const std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='300' height='200'>"
                            "<rect width='300' height='200' fill='red'/></svg>\n";
    // A PDF of one empty page: another loader libvips keeps for files it can trust.
    const std::string pdf =
        "%PDF-1.1\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[3 0 R]"
        "/Count 1>>endobj\n3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 300 200]>>endobj\n"
        "trailer<</Root 1 0 R>>\n%%EOF\n";
    ASSERT_TRUE(convert("-size 300x200 xc:orange", dir / "real.png"));
    ASSERT_TRUE(convert("-size 300x200 xc:orange", dir / "real.jpg"));
    dir.write("drawing.svg", svg);
    std::error_code ec;
    for (const auto& [name, from] :
         std::vector<std::pair<std::string, std::string>>{{"svg.jpg", "drawing.svg"},
                                                          {"svg.png", "drawing.svg"},
                                                          {"svg.heic", "drawing.svg"},
                                                          {"png.jpg", "real.png"},
                                                          {"jpeg.png", "real.jpg"},
                                                          {"jpeg.gif", "real.jpg"}}) {
        std::filesystem::copy_file(dir / from, dir / name, ec);
    }
    dir.write("pdf.tif", pdf);
    dir.write("pdf.webp", pdf);
    for (const char* name : {"svg.jpg", "svg.png", "svg.heic", "png.jpg", "jpeg.png", "jpeg.gif",
                             "pdf.tif", "pdf.webp"}) {
        SCOPED_TRACE(name);
        EncodedCopies copies;
        std::string error;
        EXPECT_FALSE(resizePicture(dir / name, request, copies, error));
        EXPECT_NE(error.find("名前の示す種類の画像ではありません"), std::string::npos) << error;
        EXPECT_TRUE(copies.view.empty());
        ExifInfo info;
        EXPECT_FALSE(readShootingData(dir / name, info));
    }
    // What the names say, they are.
    for (const char* name : {"real.png", "real.jpg"}) {
        copiesOf(dir / name);
    }
    // A BMP is read by Mivo itself, since libvips reads it only through ImageMagick.
    ASSERT_TRUE(convert("-size 640x480 xc:orange", dir / "real.bmp"));
    std::filesystem::copy_file(dir / "real.jpg", dir / "jpeg.bmp", ec);
    EncodedCopies bmp;
    std::string bmpError;
    ASSERT_TRUE(resizePicture(dir / "real.bmp", request, bmp, bmpError)) << bmpError;
    EXPECT_EQ(bmp.sizes, (ResizedSizes{160, 120, 320, 240, 640, 480}));
    expectColour(bmp.thumb, {255, 165, 0});
    EXPECT_FALSE(resizePicture(dir / "jpeg.bmp", request, bmp, bmpError));
    EXPECT_NE(bmpError.find("名前の示す種類の画像ではありません"), std::string::npos);
    // The loaders libvips marks unsafe are closed even to a caller that names them.
    EXPECT_EQ(vips_image_new_from_file((dir / "drawing.svg").c_str(), nullptr), nullptr);
    vips_error_clear();
    // A poster is ffmpeg's PNG; other bytes are not read.
    EncodedCopies copies;
    std::string error;
    EXPECT_FALSE(resizePictureBytes(svg, request, copies, error));
    EXPECT_TRUE(resizePictureBytes(test::readBytes(dir / "real.png"), request, copies, error))
        << error;
}

} // namespace
} // namespace mivo
