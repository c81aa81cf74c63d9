#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/text_file.h"
#include "generation/plan/status.h"
#include "generation/run/make_run.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::readBytes;
using test::TempDir;

class QuietStatus : public StatusSink {
  public:
    void message(const std::string& /*text*/) override {}
    void progress(double /*value*/, double /*max*/) override {}
    void step() override {}
};

std::string be16(unsigned v) {
    return {static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
}

std::string segment(unsigned char marker, const std::string& body) {
    return std::string{'\xFF', static_cast<char>(marker)} +
           be16(static_cast<unsigned>(body.size() + 2)) + body;
}

/// The header of a 64x48 JPEG whose XMP gives `description` (none when empty) and whose EXIF
/// ImageDescription is `exifDescription`.
std::string jpegWithCaptions(const std::string& description, const std::string& exifDescription) {
    std::string tiff("II\x2A\0\x08\0\0\0\x01\0\x0E\x01\x02\0", 14);
    const auto count = static_cast<std::uint32_t>(exifDescription.size() + 1);
    tiff += std::string{static_cast<char>(count & 0xFF), static_cast<char>(count >> 8), 0, 0};
    tiff += std::string("\x1A\0\0\0\0\0\0\0", 8) + exifDescription + std::string(1, '\0');
    std::string out("\xFF\xD8", 2);
    out += segment(0xE1, std::string("Exif\0\0", 6) + tiff);
    if (!description.empty()) {
        out += segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29) +
                                 "<x:xmpmeta><rdf:RDF><rdf:Description><dc:description><rdf:Alt>"
                                 "<rdf:li xml:lang=\"x-default\">" +
                                 description +
                                 "</rdf:li></rdf:Alt></dc:description></rdf:Description>"
                                 "</rdf:RDF></x:xmpmeta>");
    }
    out += segment(0xC0, std::string("\x08\0\x30\0\x40\x01\x01\x11\0", 9));
    return out + std::string("\xFF\xD9", 2);
}

class CaptionRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.write("prog/html/list.html",
                  "MV_TABLE_START\r\n<img src=\"MV_IMG_SRC\">\r\nMV_TABLE_END\r\n");
        dir.write("prog/html/index.html", "MV_LIST_ARRAY\r\n");
        dir.write("prog/html/pict.html", "MV_INDEX_HTML\r\n");
        dir.write("prog/html/menu.html", "MV_MENU_ARRAY\r\n");
        settings = defaultSettings(dir / "prog");
        settings.OptionMenu = 1;
        settings.OptionSamD = 0;
        settings.gstrPicPath = dir / "pics";
        settings.gstrIndexPath = dir.mkdir("out") + "/index.html";
        dir.write("pics/a.jpg", jpegWithCaptions("箱根の家族旅行", "SONY DSC"));
        dir.write("pics/b.jpg", jpegWithCaptions("", "OLYMPUS DIGITAL CAMERA"));
        dir.write("pics/c.jpg", jpegWithCaptions("", "<script>alert(1)</script> & café"));
        dir.write("pics/d.jpg", jpegWithCaptions("held by the file", ""));
    }
    std::string index() {
        std::vector<GalleryEntry> rows;
        QuietStatus status;
        EXPECT_TRUE(runMake(settings, rows, portableProgramFiles(dir / "prog"), status).done);
        return decodeCp932(readBytes(dir / "out/index.html"));
    }

    TempDir dir;
    Settings settings{};
};

TEST_F(CaptionRunTest, PicturesShowTheirOwnCaptionUnlessFilelistGivesOneOrTheSettingIsOff) {
    ASSERT_TRUE(settings.CheckCaption); // on by default
    std::string page = index();
    EXPECT_NE(page.find("aryPicCaption[0] = [\"箱根の家族旅行\"];"), std::string::npos) << page;
    EXPECT_EQ(page.find("aryPicCaption[1]"), std::string::npos); // boilerplate only
    // Script data never holds markup or a quote of its own; é, which cp932 lacks, is escaped.
    const std::size_t c = page.find("aryPicCaption[2] = [\"");
    ASSERT_NE(c, std::string::npos) << page;
    const std::string line = page.substr(c, page.find('\n', c) - c);
    EXPECT_EQ(line.find("</script>"), std::string::npos) << line;
    EXPECT_NE(line.find("alert(1)"), std::string::npos) << line;
    EXPECT_NE(line.find("caf\\u00e9"), std::string::npos) << line;
    EXPECT_NE(page.find("aryPicCaption[3] = [\"held by the file\"];"), std::string::npos);

    // filelist.csv's caption wins; a row that gives only sizes leaves the picture's own.
    settings.CheckUseFileList = true;
    settings.TextFilelistWidth = 2;
    settings.TextFilelistHeight = 3;
    dir.write("pics/filelist.csv", encodeCp932("名前,説明,幅,高さ\r\na.jpg,湖,64,48\r\n"
                                               "d.jpg, ,64,48\r\n",
                                               Cp932Fallback::Question));
    page = index();
    EXPECT_EQ(page.find("aryPicCaption[0]"), std::string::npos) << page;
    EXPECT_NE(page.find("aryPicCaption[3] = [\"held by the file\"];"), std::string::npos) << page;

    settings.CheckCaption = false;
    page = index();
    EXPECT_EQ(page.find("aryPicCaption"), std::string::npos) << page;
}

} // namespace
} // namespace mivo
