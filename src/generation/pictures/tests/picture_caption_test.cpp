#include "generation/pictures/picture_caption.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "common/codepage.h"
#include "generation/pictures/exif_info.h"
#include "generation/pictures/heif_exif.h"
#include "generation/pictures/picture_header.h"
#include "support/heif_boxes.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::be16;
using test::be32;
using test::box;

std::string le32(std::uint32_t v) {
    std::string out;
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    return out;
}

/// A little-endian TIFF structure whose IFD0 holds only an ImageDescription of `bytes`.
std::string tiffWithDescription(const std::string& bytes) {
    std::string out("II\x2A\0", 4);
    out += le32(8);
    out += std::string("\x01\0", 2);         // one entry
    out += std::string("\x0E\x01\x02\0", 4); // ImageDescription, ASCII
    out += le32(static_cast<std::uint32_t>(bytes.size() + 1));
    out += le32(26); // header 8 + count 2 + entry 12 + next 4
    out += le32(0);
    out += bytes;
    out.push_back('\0');
    return out;
}

std::string xmpPacket(const std::string& description) {
    return "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
           "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
           "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'>"
           "<dc:description><rdf:Alt>" +
           description + "</rdf:Alt></dc:description></rdf:Description></rdf:RDF></x:xmpmeta>";
}

/// IPTC datasets in a Photoshop image resource block (an APP13 segment's body).
std::string photoshopIptc(const std::string& caption, bool utf8Declared) {
    std::string iptc;
    if (utf8Declared) {
        iptc += std::string("\x1C\x01\x5A", 3) + be16(3) + "\x1B%G";
    }
    iptc += std::string("\x1C\x02\x78", 3) + be16(static_cast<unsigned>(caption.size())) + caption;
    std::string out = "8BIM" + be16(0x0404) + std::string(2, '\0') +
                      be32(static_cast<std::uint32_t>(iptc.size())) + iptc;
    if (iptc.size() % 2 != 0) {
        out.push_back('\0');
    }
    return out;
}

std::string segment(unsigned char marker, const std::string& body) {
    return std::string{'\xFF', static_cast<char>(marker)} +
           be16(static_cast<unsigned>(body.size() + 2)) + body;
}

/// A JPEG header: SOI, the segments given, a 640x480 frame header, EOI.
std::string jpeg(const std::string& segments) {
    const std::string sof = std::string("\x08", 1) + be16(480) + be16(640) +
                            std::string("\x03\x01\x11\x00\x02\x11\x01\x03\x11\x01", 10);
    return std::string("\xFF\xD8", 2) + segments + segment(0xC0, sof) + std::string("\xFF\xD9", 2);
}

std::string xmpSegment(const std::string& description) {
    return segment(0xE1,
                   std::string("http://ns.adobe.com/xap/1.0/\0", 29) + xmpPacket(description));
}
std::string iptcSegment(const std::string& caption, bool utf8Declared) {
    return segment(0xED, std::string("Photoshop 3.0\0", 14) + photoshopIptc(caption, utf8Declared));
}
std::string exifSegment(const std::string& description) {
    return segment(0xE1, std::string("Exif\0\0", 6) + tiffWithDescription(description));
}

std::string jpegCaption(const std::string& file) {
    long width = 0;
    long height = 0;
    ExifInfo info;
    const auto* data = reinterpret_cast<const unsigned char*>(file.data());
    if (!readPictureSizeFromBytes(data, file.size(), width, height, &info)) {
        return "<no size>";
    }
    return info.caption;
}

std::string pngChunk(const std::string& type, const std::string& data) {
    return be32(static_cast<std::uint32_t>(data.size())) + type + data + be32(0);
}
std::string png(const std::string& chunks) {
    return "\x89PNG\r\n\x1A\n" + pngChunk("IHDR", std::string(13, '\x01')) + chunks +
           pngChunk("IEND", "");
}
std::string webpChunk(const std::string& type, const std::string& data) {
    std::string out = type + le32(static_cast<std::uint32_t>(data.size())) + data;
    if (data.size() % 2 != 0) {
        out.push_back('\0');
    }
    return out;
}
std::string webp(const std::string& chunks) {
    return "RIFF" + le32(static_cast<std::uint32_t>(chunks.size() + 4)) + "WEBP" + chunks;
}

// `text` deflated as PNG's compression method 0 (zlib) has it.
std::string deflated(const std::string& text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()), 9);
    out.resize(size);
    return out;
}

// A HEIF file as a phone lays out its boxes: ftyp, then meta with an image item, a `mime`
// item of `contentType` holding `packet` in the meta box's idat, and the iloc that finds it.
std::string heifWithItem(const std::string& contentType, const std::string& packet) {
    const std::string infe1 = box("infe", std::string("\x02\0\0\0\0\x01\0\0hvc1\0", 13));
    const std::string infe2 =
        box("infe", std::string("\x02\0\0\0\0\x02\0\0mime", 12) + "XMP" + std::string(1, '\0') +
                        contentType + std::string(1, '\0'));
    const std::string iinf = box("iinf", std::string("\0\0\0\0\0\x02", 6) + infe1 + infe2);
    // Version 1: four-byte offsets and lengths, the item in idat (construction method 1).
    const std::string iloc =
        box("iloc", std::string("\x01\0\0\0\x44\0\0\x01\0\x02\0\x01\0\0\0\x01", 16) + be32(0) +
                        be32(static_cast<std::uint32_t>(packet.size())));
    const std::string meta = box("meta", std::string(4, '\0') + iinf + iloc + box("idat", packet));
    return box("ftyp", "heic" + be32(0) + "mif1heic") + meta + box("mdat", std::string(64, 'x'));
}

const std::string kHakone = "箱根の家族旅行";

TEST(PictureCaption, CameraBoilerplateIsNeverACaption) {
    for (const char* text :
         {"OLYMPUS DIGITAL CAMERA", "SONY DSC  ", "  DCIM", "Digital Camera", "Default", "default",
          "<KENOX S630  / Samsung S630>", "????", "? ?", "", "   ", "\t\r\n", "　", "\x1F"}) {
        EXPECT_TRUE(isCameraBoilerplate(text)) << text;
        EXPECT_EQ(cleanCaption(text), "") << text;
    }
    for (const char* text : {"箱根の家族旅行", "Default route over the pass", "DCIM folder 2",
                             "<b>", "?!", "SONY DSC-RX100 at the lake"}) {
        EXPECT_FALSE(isCameraBoilerplate(text)) << text;
    }
    // Blanks and control characters fold into one space; long texts are cut at a character.
    EXPECT_EQ(cleanCaption("  Lake\r\n\tAshi\x7F "), "Lake Ashi");
    std::string longText;
    for (int i = 0; i < 600; ++i) {
        longText += "箱";
    }
    EXPECT_EQ(cleanCaption(longText).size(), kCaptionMostChars * 3);
}

TEST(PictureCaption, UndeclaredTextIsDecodedNeverPassedOnInvalid) {
    EXPECT_EQ(decodeUndeclaredText(kHakone), kHakone);
    EXPECT_EQ(decodeUndeclaredText(encodeCp932(kHakone, Cp932Fallback::Question)), kHakone);
    EXPECT_EQ(decodeUndeclaredText("Caf\xE9 \x80"), "Café €"); // Windows-1252
    EXPECT_EQ(decodeUndeclaredText(std::string("Lake\0junk", 9)), "Lake");
    const std::string garbage = decodeUndeclaredText("\xFF\xFE\x81\x8D\xC3");
    EXPECT_EQ(sanitizeUtf8(garbage), garbage);
}

TEST(PictureCaption, XmpDescriptionTakesTheDefaultAlternativeAndDecodesEntities) {
    EXPECT_EQ(xmpDescription(xmpPacket("<rdf:li xml:lang='en'>Lake</rdf:li>"
                                       "<rdf:li xml:lang=\"x-default\">" +
                                       kHakone + "</rdf:li>")),
              kHakone);
    EXPECT_EQ(xmpDescription(xmpPacket("<rdf:li xml:lang='en-GB'>&lt;script&gt;alert(1)&lt;/"
                                       "script&gt; &amp; &#x7B95;&#38754;</rdf:li>")),
              "<script>alert(1)</script> & 箕面");
    // The short form, an attribute; boilerplate, empty and broken packets give nothing.
    EXPECT_EQ(xmpDescription("<rdf:Description dc:description='Lake &amp; hills'/>"),
              "Lake & hills");
    EXPECT_EQ(xmpDescription(xmpPacket("<rdf:li xml:lang='x-default'>SONY DSC</rdf:li>")), "");
    EXPECT_EQ(xmpDescription(xmpPacket("<rdf:li xml:lang='x-default'/>")), "");
    EXPECT_EQ(xmpDescription("<dc:description><rdf:Alt><rdf:li>unclosed"), "");
    EXPECT_EQ(xmpDescription("<dc:description"), "");
    const std::string stray = xmpDescription(xmpPacket("<rdf:li>bad \xFF bytes</rdf:li>"));
    EXPECT_EQ(sanitizeUtf8(stray), stray);
    EXPECT_NE(stray.find("bad"), std::string::npos);
}

TEST(PictureCaption, IptcCaptionFollowsItsDeclaredCharacterSet) {
    EXPECT_EQ(photoshopIptcCaption(photoshopIptc(kHakone, true)), kHakone);
    // Without a declaration: a Japanese camera's Shift_JIS, a Western one's Latin-1.
    EXPECT_EQ(
        photoshopIptcCaption(photoshopIptc(encodeCp932(kHakone, Cp932Fallback::Question), false)),
        kHakone);
    EXPECT_EQ(photoshopIptcCaption(photoshopIptc("M\xFCller's caf\xE9", false)), "Müller's café");
    // Declared UTF-8 that is not: decoded another way, no invalid byte passed on.
    const std::string wrong = photoshopIptcCaption(photoshopIptc("Caf\xE9", true));
    EXPECT_EQ(wrong, "Café");
    // Lengths that claim more than the block holds.
    std::string cut = photoshopIptc("A long caption", true);
    EXPECT_EQ(photoshopIptcCaption(cut.substr(0, cut.size() - 4)), "");
    std::string bigDataset = std::string("\x1C\x02\x78\x80\x04", 5) + be32(0xFFFFFFF0U) + "x";
    EXPECT_EQ(photoshopIptcCaption("8BIM" + be16(0x0404) + std::string(2, '\0') +
                                   be32(static_cast<std::uint32_t>(bigDataset.size())) +
                                   bigDataset),
              "");
    EXPECT_EQ(photoshopIptcCaption("8BIM\x04\x04\xFF"), "");
}

TEST(PictureCaption, JpegCaptionsComeFromXmpThenIptcThenExif) {
    const std::string exifUtf8 = exifSegment("家族旅行");
    const std::string exifSjis = exifSegment(encodeCp932("家族旅行", Cp932Fallback::Question));
    EXPECT_EQ(jpegCaption(jpeg(exifUtf8)), "家族旅行");
    EXPECT_EQ(jpegCaption(jpeg(exifSjis)), "家族旅行");
    EXPECT_EQ(jpegCaption(jpeg(exifSegment("OLYMPUS DIGITAL CAMERA         "))), "");
    EXPECT_EQ(jpegCaption(jpeg(exifUtf8 + iptcSegment("IPTC", true))), "IPTC");
    EXPECT_EQ(jpegCaption(jpeg(exifUtf8 + iptcSegment("IPTC", true) +
                               xmpSegment("<rdf:li xml:lang='x-default'>XMP</rdf:li>"))),
              "XMP");
    // XMP boilerplate does not hide a real IPTC caption.
    EXPECT_EQ(jpegCaption(jpeg(xmpSegment("<rdf:li>DCIM</rdf:li>") + iptcSegment("IPTC", false))),
              "IPTC");

    // The same caption from a file read in chunks and from parts read on demand.
    const std::string file =
        jpeg(exifSjis + xmpSegment("<rdf:li xml:lang='x-default'>" + kHakone + "</rdf:li>"));
    test::TempDir dir;
    const std::string path = dir.path() + "/a.jpg";
    std::ofstream(path, std::ios::binary) << file;
    long width = 0;
    long height = 0;
    ExifInfo fromFile;
    ASSERT_TRUE(readPictureSize(path, width, height, &fromFile));
    EXPECT_EQ(fromFile.caption, kHakone);
    std::vector<FilePart> parts;
    FilePart first;
    first.bytes.assign(file.begin(), file.begin() + 40);
    parts.push_back(first);
    bool ok = false;
    ExifInfo fromParts;
    for (int reads = 0; reads < 20; ++reads) {
        const FileWant want =
            readPictureSizeFromParts(parts, file.size(), width, height, &fromParts, ok);
        if (!want.needed) {
            break;
        }
        FilePart part{want.pos, {}};
        part.bytes.assign(file.begin() + static_cast<long>(want.pos),
                          file.begin() + static_cast<long>(std::min<std::size_t>(
                                             file.size(), want.pos + want.count)));
        parts.push_back(part);
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(fromParts.caption, kHakone);
}

TEST(PictureCaption, DamagedJpegSegmentsGiveNoCaptionAndNoCrash) {
    // An XMP segment that claims more bytes than the file has, a short Photoshop segment,
    // and an IPTC length running past its resource.
    const std::string xmp = xmpSegment("<rdf:li>never read</rdf:li>");
    std::string cut = jpeg("");
    cut.insert(2, xmp.substr(0, xmp.size() / 2));
    EXPECT_EQ(jpegCaption(cut.substr(0, 2 + xmp.size() / 2)), "<no size>");
    EXPECT_EQ(jpegCaption(jpeg(segment(0xED, "Photoshop 3.0"))), "");
    std::string iptc = std::string("Photoshop 3.0\0", 14) + photoshopIptc("caption", false);
    iptc[iptc.size() - 8] = '\x7F'; // the dataset's length byte
    EXPECT_EQ(jpegCaption(jpeg(segment(0xED, iptc))), "");
    // A description whose offset points past the segment.
    std::string tiff = tiffWithDescription("far away");
    tiff[21] = '\x7F'; // the high byte of its offset
    EXPECT_EQ(jpegCaption(jpeg(segment(0xE1, std::string("Exif\0\0", 6) + tiff))), "");
}

TEST(PictureCaption, PngAndWebpCaptionsAreReadFromTheirChunks) {
    const std::string xmp = xmpPacket("<rdf:li xml:lang='x-default'>" + kHakone + "</rdf:li>");
    const std::string itxt = std::string("XML:com.adobe.xmp\0\0\0\0\0", 22) + xmp;
    EXPECT_EQ(readPictureCaptionFromBytes(
                  png(pngChunk("IDAT", std::string(300, 'x')) + pngChunk("iTXt", itxt))),
              kHakone);
    EXPECT_EQ(readPictureCaptionFromBytes(png(pngChunk("eXIf", tiffWithDescription("Lake")))),
              "Lake");
    // Another keyword is another text.
    EXPECT_EQ(readPictureCaptionFromBytes(
                  png(pngChunk("iTXt", std::string("Comment\0\0\0\0\0Lake", 16)))),
              "");

    // WebP: the XMP chunk comes after the image data, and odd chunks are padded.
    EXPECT_EQ(readPictureCaptionFromBytes(webp(webpChunk("VP8X", std::string(10, '\0')) +
                                               webpChunk("VP8 ", std::string(301, 'v')) +
                                               webpChunk("EXIF", tiffWithDescription("Lake")) +
                                               webpChunk("XMP ", xmp))),
              kHakone);
    EXPECT_EQ(readPictureCaptionFromBytes(webp(webpChunk("VP8 ", std::string(7, 'v')) +
                                               webpChunk("EXIF", tiffWithDescription("Lake")))),
              "Lake");

    // Chunks that claim gigabytes, or end early, and files that are neither.
    EXPECT_EQ(readPictureCaptionFromBytes(png(be32(0xFFFFFFF0U) + "iTXt" + itxt.substr(0, 30))),
              "");
    EXPECT_EQ(readPictureCaptionFromBytes(webp("XMP " + le32(0xFFFFFFFFU) + xmp.substr(0, 20))),
              "");
    EXPECT_EQ(readPictureCaptionFromBytes("GIF89a"), "");
    EXPECT_EQ(readPictureCaptionFromBytes(""), "");

    test::TempDir dir;
    const std::string path = dir.path() + "/sticker.webp";
    std::ofstream(path, std::ios::binary) << webp(webpChunk("XMP ", xmp));
    EXPECT_EQ(readPictureCaption(path), kHakone);
    EXPECT_EQ(readPictureCaption(dir.path()), "");
    EXPECT_EQ(readPictureCaption(dir.path() + "/missing.png"), "");
}

TEST(PictureCaption, CompressedPngTextIsInflatedWithinItsCap) {
    const std::string xmp = xmpPacket("<rdf:li xml:lang='x-default'>" + kHakone + "</rdf:li>");
    const std::string xmpKeyword("XML:com.adobe.xmp\0", 18);
    // iTXt with compression flag 1, method 0; it wins over a Description and EXIF.
    EXPECT_EQ(readPictureCaptionFromBytes(png(
                  pngChunk("tEXt", std::string("Description\0Lake", 16)) +
                  pngChunk("eXIf", tiffWithDescription("Seaside")) +
                  pngChunk("iTXt", xmpKeyword + std::string("\x01\0ja\0\0", 6) + deflated(xmp)))),
              kHakone);
    // A Description: zTXt in Latin-1, iTXt in UTF-8 (compressed or not), tEXt; over EXIF.
    const std::string description("Description\0", 12);
    EXPECT_EQ(
        readPictureCaptionFromBytes(png(pngChunk("eXIf", tiffWithDescription("Seaside")) +
                                        pngChunk("zTXt", description + std::string(1, '\0') +
                                                             deflated("Caf\xE9 <b>&amp;</b>")))),
        "Café <b>&amp;</b>");
    EXPECT_EQ(readPictureCaptionFromBytes(png(pngChunk(
                  "iTXt", description + std::string("\x01\0\0\0", 4) + deflated(kHakone)))),
              kHakone);
    EXPECT_EQ(readPictureCaptionFromBytes(
                  png(pngChunk("iTXt", description + std::string(4, '\0') + kHakone))),
              kHakone);
    EXPECT_EQ(readPictureCaptionFromBytes(
                  png(pngChunk("eXIf", tiffWithDescription("Seaside")) +
                      pngChunk("zTXt", description + std::string(1, '\0') + deflated("SONY DSC")))),
              "Seaside");

    // Damaged or hostile: not zlib data, an unknown method, data cut short, and a chunk of a
    // few kilobytes that would inflate to 300 KiB (past the cap) give nothing; 200 KiB is read.
    const std::string cut = deflated(std::string(1000, 'a') + "Lake");
    for (const std::string& body :
         {description + std::string(1, '\0') + "not zlib at all",
          description + std::string(1, '\x01') + deflated("Lake"),
          description + std::string(1, '\0') + cut.substr(0, cut.size() / 2),
          description + std::string(1, '\0') + deflated(std::string(300 * 1024, 'a'))}) {
        EXPECT_EQ(readPictureCaptionFromBytes(png(pngChunk("zTXt", body))), "");
    }
    EXPECT_EQ(
        readPictureCaptionFromBytes(png(pngChunk(
            "zTXt", description + std::string(1, '\0') + deflated(std::string(200 * 1024, 'a'))))),
        std::string(kCaptionMostChars, 'a'));
}

TEST(PictureCaption, HeifCaptionsComeFromTheXmpItem) {
    const std::string xmp =
        xmpPacket("<rdf:li xml:lang='x-default'>" + kHakone + " &lt;b&gt;</rdf:li>");
    EXPECT_EQ(readPictureCaptionFromBytes(heifWithItem("application/rdf+xml", xmp)),
              kHakone + " <b>");
    std::string block;
    EXPECT_EQ(readHeifXmpBlockFromBytes(heifWithItem("application/rdf+xml", xmp), block),
              HeifExif::Found);
    EXPECT_EQ(block, xmp);
    // Another mime item, none at all, an item larger than the file, and a cut meta box.
    EXPECT_EQ(readPictureCaptionFromBytes(heifWithItem("text/plain", xmp)), "");
    EXPECT_EQ(readHeifXmpBlockFromBytes(heifWithItem("text/plain", xmp), block), HeifExif::None);
    std::string far = heifWithItem("application/rdf+xml", xmp);
    const std::size_t length = far.find("idat") - 4 - 4; // the extent's length, before idat
    far.replace(length, 4, be32(0x7FFFFFF0U));
    EXPECT_EQ(readPictureCaptionFromBytes(far), "");
    const std::string whole = heifWithItem("application/rdf+xml", xmp);
    EXPECT_EQ(readPictureCaptionFromBytes(whole.substr(0, whole.find("iloc"))), "");

    test::TempDir dir;
    const std::string path = dir.path() + "/IMG_0001.HEIC";
    std::ofstream(path, std::ios::binary) << heifWithItem("application/rdf+xml", xmp);
    EXPECT_EQ(readPictureCaption(path), kHakone + " <b>");
}

} // namespace
} // namespace mivo
