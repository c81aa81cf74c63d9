#include "generation/run/filelist.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "common/log.h"
#include "common/text_file.h"
#include "generation/plan/status.h"
#include "settings/settings.h"
#include "support/page_fixture.h"

namespace fs = std::filesystem;

namespace mivo {
namespace {

class FilelistTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("mivo_filelist_" + std::string(info->name()) + "_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        settings_.OptionMenu = 1;
    }

    void TearDown() override {
        setLogLevel(0);
        setLogPath("");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    void writeFilelist(const std::string& bytes) {
        std::ofstream(dir_ / "filelist.csv", std::ios::binary) << bytes;
    }

    void addPictures(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            Item item;
            item.file.strName = name;
            pictures_.add(std::move(item));
        }
    }

    /// Reads filelist.csv for the single gallery, or for gallery `number` in menu mode.
    bool run(int number = 0) {
        AlbumJob job;
        // As the planners make it: the single folder needs its filelist.csv, a row does not.
        job.strictFilelist = !settings_.menuMode();
        job.number = number;
        job.picPath = dir_.string();
        job.useFilelist = true;
        bool result = false;
        head_.clear();
        mainCheckFilelist(status_, job, pictures_, head_, result);
        return result;
    }

    /// A fresh status line and bar, as a new run starts with.
    void resetStatus() {
        sink_.clear();
        status_ = RunStatus(&sink_);
    }

    std::string info(const std::string& name) const {
        const Item* item = pictures_.find(name);
        return item == nullptr ? "<none>" : item->file.strInfo;
    }

    using Messages = std::vector<std::string>;

    fs::path dir_;
    std::string programFolder_;
    ProgramFiles files_ = portableProgramFiles(programFolder_);
    Settings settings_ = defaultSettings(programFolder_);
    test::RecordingSink sink_;
    RunStatus status_{&sink_};
    std::string head_; // the heading the last read gave
    std::vector<GalleryEntry> rows_;
    PictureList pictures_;
};

TEST_F(FilelistTest, HeaderIsTheTextAfterTheFirstCommaAndRowsFillTheirPictures) {
    addPictures({"a.jpg", "b.jpg", "c.jpg"});
    writeFilelist("name,caption,width,height\r\na.jpg,Sunset,640,480\r\nb.jpg,Harbour,800,600\r\n");
    EXPECT_TRUE(run());
    EXPECT_EQ(head_, "caption,width,height");
    EXPECT_EQ(info("a.jpg"), "Sunset,640,480");
    EXPECT_EQ(info("b.jpg"), "Harbour,800,600");
    EXPECT_EQ(info("c.jpg"), "");
    EXPECT_TRUE(sink_.messages.empty());
}

TEST_F(FilelistTest, MissingFileCannotBeUsed) {
    addPictures({"a.jpg"});
    EXPECT_FALSE(run());
    EXPECT_EQ(sink_.messages, Messages{"filelist.csvを使用できません"});

    // A folder of that name is no file.
    fs::create_directory(dir_ / "filelist.csv");
    resetStatus();
    EXPECT_FALSE(run());
    EXPECT_EQ(sink_.messages, Messages{"filelist.csvを使用できません"});
    EXPECT_EQ(head_, "");
}

TEST_F(FilelistTest, FileWithoutUsableHeaderIsInvalid) {
    addPictures({"a.jpg"});
    for (const char* bytes :
         {"", "\r\n", "name\r\na.jpg,x\r\n", "name,\r\na.jpg,x\r\n", "\r\na.jpg,x\r\n"}) {
        SCOPED_TRACE(bytes);
        resetStatus();
        writeFilelist(bytes);
        EXPECT_FALSE(run());
        EXPECT_EQ(sink_.messages, Messages{"filelist.csvの内容が不正です"});
        EXPECT_EQ(head_, "");
        EXPECT_EQ(info("a.jpg"), "");
    }
}

TEST_F(FilelistTest, MenuModeShowsNoMessages) {
    settings_.OptionMenu = 0;
    addPictures({"a.jpg"});
    EXPECT_FALSE(run(1));
    writeFilelist("name\r\n");
    EXPECT_FALSE(run(1));
    EXPECT_TRUE(sink_.messages.empty());
}

TEST_F(FilelistTest, OnlyAHeaderIsEnough) {
    addPictures({"a.jpg"});
    writeFilelist("name,caption");
    EXPECT_TRUE(run());
    EXPECT_EQ(head_, "caption");
    EXPECT_EQ(info("a.jpg"), "");
}

TEST_F(FilelistTest, RowsWithoutAUsableCommaOrPictureAreSkipped) {
    addPictures({"a.jpg", "b.jpg"});
    writeFilelist("name,caption\r\n"
                  "\r\n"
                  ",a.jpg\r\n"
                  "a.jpg,\r\n"
                  "a.jpg\r\n"
                  "zzz.jpg,unknown\r\n"
                  "\"\",empty quoted name\r\n"
                  "\"b.jpg\"\r\n"
                  " b.jpg,blank before\r\n");
    EXPECT_TRUE(run());
    EXPECT_EQ(info("a.jpg"), "");
    EXPECT_EQ(info("b.jpg"), "");
    EXPECT_TRUE(sink_.messages.empty());
}

TEST_F(FilelistTest, NamesMatchIgnoringCaseAndLaterRowsWin) {
    addPictures({"a.jpg", "B.JPG"});
    writeFilelist("name,caption\r\nA.JPG,caption\r\nb.jpg,x,y\r\nb.Jpg,z\r\n");
    EXPECT_TRUE(run());
    EXPECT_EQ(pictures_[0].file.strInfo, "caption");
    EXPECT_EQ(pictures_[1].file.strInfo, "z");
}

TEST_F(FilelistTest, InformationIsKeptRaw) {
    addPictures({"a.jpg", "b.jpg"});
    writeFilelist("\"name\",\"caption, long\",\"w\"\r\n"
                  "a.jpg,\"Sunset, red\",640, 480 \r\n"
                  "b.jpg,,,\r\n");
    EXPECT_TRUE(run());
    EXPECT_EQ(head_, "\"caption, long\",\"w\"");
    EXPECT_EQ(info("a.jpg"), "\"Sunset, red\",640, 480 ");
    EXPECT_EQ(info("b.jpg"), ",,");
}

TEST_F(FilelistTest, QuotedFieldsHoldCommasLineBreaksAndDoubledQuotes) {
    addPictures({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"});
    writeFilelist("name,\"place, date\",width\r\n"
                  "a.jpg,\"Kyoto, Kiyomizu at dawn\",640\r\n"
                  "\"b.jpg\",\"two\r\nlines\",\"say \"\"hi\"\"\"\r\n"
                  "c.jpg,5\" screen,\"x\r\n"
                  "d.jpg,plain,row\r\n"
                  "e.jpg,\"\",\r\n");
    EXPECT_TRUE(run());
    // The header goes to the page as written; its script reads the quotes.
    EXPECT_EQ(head_, "\"place, date\",width");
    const ClassFileData* a = &pictures_.find("a.jpg")->file;
    EXPECT_EQ(a->strInfo, "\"Kyoto, Kiyomizu at dawn\",640");
    EXPECT_TRUE(a->infoQuoted);
    EXPECT_EQ(a->infoFields, (std::vector<std::string>{"Kyoto, Kiyomizu at dawn", "640"}));
    // A quoted name matches; a quoted field runs over the line break.
    const ClassFileData* b = &pictures_.find("b.jpg")->file;
    EXPECT_EQ(b->strInfo, "\"two\nlines\",\"say \"\"hi\"\"\"");
    EXPECT_EQ(b->infoFields, (std::vector<std::string>{"two\nlines", "say \"hi\""}));
    // A quote that never closes: the line is read as a plain one, and the next line too.
    const ClassFileData* c = &pictures_.find("c.jpg")->file;
    EXPECT_EQ(c->strInfo, "5\" screen,\"x");
    EXPECT_FALSE(c->infoQuoted);
    EXPECT_EQ(info("d.jpg"), "plain,row");
    EXPECT_FALSE(pictures_.find("d.jpg")->file.infoQuoted);
    EXPECT_EQ(pictures_.find("e.jpg")->file.infoFields, (std::vector<std::string>{"", ""}));
}

TEST_F(FilelistTest, AQuoteNeverClosedEndsAtItsLineEnd) {
    addPictures({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg", "g.jpg"});
    writeFilelist("name,caption,width\r\n"
                  "a.jpg,\"Sunset, red,640\r\n"
                  "b.jpg,Harbour,800\r\n"
                  "c.jpg,\"Tower, night\",1000\r\n"
                  "d.jpg,plain,20\r\n"
                  "e.jpg,\"two\r\nlines\",\"x\"\"y\"\r\n"
                  "f.jpg,\"open\r\n"
                  "g.jpg,\"\"\"quoted\"\"\",7\r\n");
    EXPECT_TRUE(run());
    // Read as a line without quotes, split at its first comma; the next rows are rows.
    EXPECT_EQ(info("a.jpg"), "\"Sunset, red,640");
    EXPECT_FALSE(pictures_.find("a.jpg")->file.infoQuoted);
    EXPECT_EQ(info("b.jpg"), "Harbour,800");
    const ClassFileData* c = &pictures_.find("c.jpg")->file;
    EXPECT_EQ(c->strInfo, "\"Tower, night\",1000");
    EXPECT_EQ(c->infoFields, (std::vector<std::string>{"Tower, night", "1000"}));
    EXPECT_EQ(info("d.jpg"), "plain,20");
    // A field closed on a later line still holds its line break.
    const ClassFileData* e = &pictures_.find("e.jpg")->file;
    EXPECT_EQ(e->infoFields, (std::vector<std::string>{"two\nlines", "x\"y"}));
    // Nor does a later row whose quoted field starts with a doubled quote.
    EXPECT_EQ(info("f.jpg"), "\"open");
    EXPECT_EQ(pictures_.find("g.jpg")->file.infoFields,
              (std::vector<std::string>{"\"quoted\"", "7"}));
}

TEST_F(FilelistTest, LinesEndAtCrLfCrOrLf) {
    addPictures({"a.jpg", "b.jpg", "c.jpg"});
    writeFilelist("name,caption\ra.jpg,A\nb.jpg,B\r\nc.jpg,C");
    EXPECT_TRUE(run());
    EXPECT_EQ(head_, "caption");
    EXPECT_EQ(info("a.jpg"), "A");
    EXPECT_EQ(info("b.jpg"), "B");
    EXPECT_EQ(info("c.jpg"), "C");
}

TEST_F(FilelistTest, ReadsCp932AndUtf8WithBom) {
    addPictures({"写真.jpg"});
    // "名前,説明" / "写真.jpg,夕焼け" in code page 932.
    writeFilelist("\x96\xbc\x91\x4f,\x90\xe0\x96\xbe\r\n"
                  "\x8e\xca\x90\x5e.jpg,\x97\x5b\x8f\xc4\x82\xaf\r\n");
    EXPECT_TRUE(run());
    EXPECT_EQ(head_, "説明");
    EXPECT_EQ(info("写真.jpg"), "夕焼け");

    writeFilelist("\xEF\xBB\xBF名前,説明 é\r\n写真.jpg,夕焼け ☀\r\n");
    EXPECT_TRUE(run());
    EXPECT_EQ(head_, "説明 é");
    EXPECT_EQ(info("写真.jpg"), "夕焼け ☀");
}

TEST_F(FilelistTest, LogsStartAndResult) {
    const std::string logPath = (dir_ / "Mivo.log").string();
    setLogPath(logPath);
    setLogLevel(1);
    addPictures({"a.jpg"});
    EXPECT_FALSE(run());
    writeFilelist("name,caption\r\n");
    EXPECT_TRUE(run());
    setLogLevel(0);

    std::vector<std::string> lines;
    ASSERT_TRUE(readTextLines(logPath, lines));
    std::vector<std::string> mine;
    for (const auto& line : lines) {
        const auto at = line.find(" [mainCheckFilelist] ");
        if (at != std::string::npos) {
            mine.push_back(line.substr(at + 1));
        }
    }
    EXPECT_EQ(mine, (std::vector<std::string>{"[mainCheckFilelist] ▽Start Method▽",
                                              "[mainCheckFilelist] △End Method△ False",
                                              "[mainCheckFilelist] ▽Start Method▽",
                                              "[mainCheckFilelist] △End Method△ True"}));
}

TEST_F(FilelistTest, ExistFilelistFindsOnlyAPlainFile) {
    const std::string logPath = (dir_ / "Mivo.log").string();
    setLogPath(logPath);
    setLogLevel(1);

    bool exist = true;
    mainExistFilelist(dir_.string(), exist);
    EXPECT_FALSE(exist);

    fs::create_directory(dir_ / "filelist.csv");
    exist = true;
    mainExistFilelist(dir_.string(), exist);
    EXPECT_FALSE(exist);
    fs::remove(dir_ / "filelist.csv");

    writeFilelist("name,caption\r\n");
    mainExistFilelist(dir_.string() + "/", exist);
    EXPECT_TRUE(exist);

    exist = true;
    mainExistFilelist("", exist);
    EXPECT_FALSE(exist);
    setLogLevel(0);

    std::vector<std::string> lines;
    ASSERT_TRUE(readTextLines(logPath, lines));
    std::vector<std::string> mine;
    for (const auto& line : lines) {
        const auto at = line.find(" [mainExistFilelist] ");
        if (at != std::string::npos) {
            mine.push_back(line.substr(at + 1));
        }
    }
    const std::string start = "[mainExistFilelist] ▽Start Method▽";
    const std::string no = "[mainExistFilelist] △End Method△ False";
    EXPECT_EQ(mine, (std::vector<std::string>{start, no, start, no, start,
                                              "[mainExistFilelist] exist filelist.csv",
                                              "[mainExistFilelist] △End Method△ True", start, no}));
}

} // namespace
} // namespace mivo
