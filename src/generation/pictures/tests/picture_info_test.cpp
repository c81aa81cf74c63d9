#include "generation/pictures/picture_info.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/codepage.h"
#include "common/log.h"
#include "common/text.h"
#include "generation/plan/planners.h"
#include "generation/plan/status.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"

namespace mivo {
namespace {

class PictureInfo : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ =
            std::filesystem::temp_directory_path() /
            ("mivo_picture_info_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        setLogLevel(0);
        setLogPath("");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::string write(const std::string& name, const std::string& bytes) const {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    /// The records that mainGetPicInfo wrote to the log, with the date and time taken off.
    std::string logText() const {
        std::ifstream in(dir_ / "Mivo.log", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        const std::string text = decodeCp932(bytes);
        std::string out;
        bool keep = false;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find("\r\n", start);
            end = end == std::string::npos ? text.size() : end + 2;
            std::string line = text.substr(start, end - start);
            if (line.size() > 20 && line[4] == '/' && line[7] == '/' && line[13] == ':' &&
                line[19] == ' ') {
                line.erase(0, 20);
                keep = startsWith(line, "[mainGetPicInfo] ");
            }
            if (keep) {
                out += line;
            }
            start = end;
        }
        return out;
    }

    struct Result {
        std::string name;
        std::string width;
        std::string height;
    };
    Result run(const std::string& path, bool flag) {
        Result r{"?", "?", "?"};
        const PagePlan pages = planRun(settings_, {}).pages;
        const MeasuredSize size =
            picInfoReadsFile(pages, flag) ? measurePictureFile(path, false) : MeasuredSize{};
        // The item as the listing made it.
        Item item;
        item.file.strName = path.substr(path.rfind('/') + 1);
        item.path = path;
        item.width = -1;
        item.height = -1;
        mainGetPicInfo(pages, flag, size, item, r.name);
        r.width = std::to_string(item.width);
        r.height = std::to_string(item.height);
        return r;
    }

    /// A 640x480 GIF: one 1x1 frame on a 640x480 logical screen.
    static std::string gif640x480() {
        return std::string("GIF89a\x80\x02\xE0\x01\x80\x00\x00\xFF\xFF\xFF\x00\x00\x00"
                           "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B",
                           35);
    }

    std::filesystem::path dir_;
    std::string programFolder_;
    Settings settings_ = defaultSettings(programFolder_);
};

TEST_F(PictureInfo, MeasuresUnlessFilelistGivesBothColumns) {
    const std::string path = write("IMG_01.GIF", gif640x480());
    struct Case {
        bool flag;
        long long widthColumn;
        long long heightColumn;
        const char* width;
        const char* height;
    };
    // Any column number other than 0 counts, not only the first few.
    for (const Case& c : {Case{true, 3, 4, "0", "0"}, Case{true, 3, 0, "640", "480"},
                          Case{true, 0, 4, "640", "480"}, Case{false, 3, 4, "640", "480"},
                          Case{false, 0, 0, "640", "480"}, Case{true, 12, 4, "0", "0"}}) {
        settings_.TextFilelistWidth = c.widthColumn;
        settings_.TextFilelistHeight = c.heightColumn;
        const Result r = run(path, c.flag);
        const std::string label = std::string(c.flag ? "1" : "0") + " " +
                                  std::to_string(c.widthColumn) + "/" +
                                  std::to_string(c.heightColumn);
        EXPECT_EQ(r.name, "IMG_01") << label;
        EXPECT_EQ(r.width, c.width) << label;
        EXPECT_EQ(r.height, c.height) << label;
    }
}

TEST_F(PictureInfo, DisplayNameIsFileNameWithoutExtension) {
    settings_.TextFilelistWidth = 3;
    settings_.TextFilelistHeight = 4;
    for (const auto& [file, name] :
         std::vector<std::pair<std::string, std::string>>{{"IMG_01.JPG", "IMG_01"},
                                                          {"写真 #1 100% é.jpeg", "写真 #1 100% é"},
                                                          {"a.b.gif", "a.b"}}) {
        const Result r = run(dir_.string() + "/" + file, true);
        EXPECT_EQ(r.name, name);
        EXPECT_EQ(r.width, "0");
        EXPECT_EQ(r.height, "0");
    }
}

TEST_F(PictureInfo, UnmeasurablePictureGivesZerosAndAnErrorLine) {
    setLogPath((dir_ / "Mivo.log").string());
    setLogLevel(4);
    const std::string png = write("photo.jpg", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16));
    const std::string cutJpeg = write("cut.jpg", std::string("\xFF\xD8\xFF\xE1\xF0\x00", 6));
    EXPECT_EQ(run(png, false).width, "0");
    const Result r = run(cutJpeg, false);
    EXPECT_EQ(r.name, "cut");
    EXPECT_EQ(r.width, "0");
    EXPECT_EQ(r.height, "0");
    EXPECT_EQ(logText(), "[mainGetPicInfo] PicInfoError [" + png + "]\r\n" +
                             "[mainGetPicInfo] PicInfoError [" + cutJpeg + "]\r\n");
}

TEST_F(PictureInfo, LogsParametersAndResults) {
    setLogPath((dir_ / "Mivo.log").string());
    setLogLevel(1);
    const std::string path = write("IMG 01.gif", gif640x480());
    run(path, false);
    EXPECT_EQ(logText(), "[mainGetPicInfo] ▽Start Method▽\r\ninstrFilePath=[" + path +
                             "]\r\n[mainGetPicInfo] △End Method△\r\noutFileName=[IMG 01]\r\n"
                             "outstrWidth=[640]\r\noutstrHeight=[480]\r\n");
}

} // namespace
} // namespace mivo
