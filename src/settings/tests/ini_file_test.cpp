#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "common/codepage.h"
#include "common/log.h"
#include "support/without_write_access.h"

namespace fs = std::filesystem;

namespace mivo {
namespace {

class IniFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        folder_ = fs::temp_directory_path() /
                  ("mivo_ini_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(folder_);
        ini_ = (folder_ / "Mivo.ini").string();
    }
    void TearDown() override {
        setLogLevel(0);
        setLogPath("");
        std::error_code ec;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(folder_, ec);
    }

    void writeBytes(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string readBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    /// The log's lines with their date and time cut off.
    std::vector<std::string> logLines(const std::string& path) {
        static const std::regex stamp(R"(^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} )");
        std::vector<std::string> lines;
        const std::string bytes = decodeCp932(readBytes(path));
        std::size_t start = 0;
        while (start < bytes.size()) {
            const auto end = bytes.find("\r\n", start);
            const std::string line = bytes.substr(start, end - start);
            lines.push_back(std::regex_replace(line, stamp, ""));
            if (end == std::string::npos) {
                break;
            }
            start = end + 2;
        }
        return lines;
    }

    fs::path folder_;
    std::string ini_;
};

TEST_F(IniFileTest, ReadsValuesWholeWithoutBlanksAndEmptyQuotes) {
    const std::string longValue(300, 'x');
    writeBytes(ini_, "[Html]\r\n"
                     "Title=\"\"\r\n"
                     "Body=  <body bgcolor=\"black\">\t \r\n"
                     "TWidth = 120\r\n"
                     "Long=" +
                         longValue + "\r\n");
    EXPECT_EQ(cmGetIni(ini_, "Html", "Title", "アルバム"), "");
    EXPECT_EQ(cmGetIni(ini_, "Html", "Body", ""), "<body bgcolor=\"black\">");
    EXPECT_EQ(cmGetIni(ini_, "Html", "TWidth", "160"), "120");
    EXPECT_EQ(cmGetIni(ini_, "Html", "Long", ""), longValue);
    // Defaults go through the same rules.
    EXPECT_EQ(cmGetIni(ini_, "Html", "Missing", "  5 "), "5");
    EXPECT_EQ(cmGetIni(ini_, "Html", "Missing", "\"\""), "");
    EXPECT_EQ(cmGetIni(ini_, "Nowhere", "Title", "d"), "d");
}

TEST_F(IniFileTest, MatchesSectionAndKeyIgnoringAsciiCase) {
    writeBytes(ini_, "; Title=comment\r\n"
                     "[ hTmL ]\r\n"
                     "tItLe=first\r\n"
                     "TITLE=second\r\n"
                     "[Path]\r\n"
                     "Title=other section\r\n");
    EXPECT_EQ(cmGetIni(ini_, "Html", "Title", "d"), "first");
    EXPECT_EQ(cmGetIni(ini_, "Path", "title", "d"), "other section");
    EXPECT_EQ(cmGetIni(ini_, "Log", "Title", "d"), "d");
}

TEST_F(IniFileTest, MissingFileGivesDefaultAndStaysMissing) {
    EXPECT_EQ(cmGetIni(ini_, "Log", "Level", "0"), "0");
    EXPECT_FALSE(fs::exists(ini_));
}

TEST_F(IniFileTest, ReadsCp932AndUtf8WithBom) {
    writeBytes(ini_, "[Html]\r\nTitle=\x83\x41\x83\x8B\x83\x6F\x83\x80\r\n"
                     "TitleS=\x8B\x40\x94\x5C"
                     "2\r\n");
    EXPECT_EQ(cmGetIni(ini_, "Html", "Title", ""), "アルバム");
    EXPECT_EQ(cmGetIni(ini_, "Html", "TitleS", ""), "機能2");
    writeBytes(ini_, "\xEF\xBB\xBF[Html]\r\nTitle=Café 😀\r\n");
    EXPECT_EQ(cmGetIni(ini_, "Html", "Title", ""), "Café 😀");
}

TEST_F(IniFileTest, WriteKeepsEveryOtherLineByteForByte) {
    // A hand-edited file: comments, blank lines, an unknown section, a LF-only line, a
    // cp932 comment whose second byte is a backslash, and no line end at the very end.
    const std::string before = "; \x8B\x40\x94\x5C settings\r\n"
                               "\r\n"
                               "[Html]\r\n"
                               "Title = old  \r\n"
                               "Extra=keep me\n"
                               "\r\n"
                               "; next section\r\n"
                               "[Custom]\r\n"
                               "Unknown=  spaced  \r\n"
                               "[Path]\r\n"
                               "Pic=/pics";
    writeBytes(ini_, before);

    ASSERT_TRUE(cmSetIni(ini_, "html", "TITLE", "new"));
    std::string expected = "; \x8B\x40\x94\x5C settings\r\n"
                           "\r\n"
                           "[Html]\r\n"
                           "Title=new\r\n"
                           "Extra=keep me\n"
                           "\r\n"
                           "; next section\r\n"
                           "[Custom]\r\n"
                           "Unknown=  spaced  \r\n"
                           "[Path]\r\n"
                           "Pic=/pics";
    EXPECT_EQ(readBytes(ini_), expected);

    // A new key goes after the section's last key, before its blank line and comment.
    ASSERT_TRUE(cmSetIni(ini_, "Html", "Body", "<body>"));
    // A key added to the last section gives the unterminated last line its line end.
    ASSERT_TRUE(cmSetIni(ini_, "Path", "Thum", "/thumbs"));
    // A new section goes at the end, after a blank line.
    ASSERT_TRUE(
        cmSetIni(ini_, "Link", "Name1", "\xE3\x83\xA1\xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC"));
    expected = "; \x8B\x40\x94\x5C settings\r\n"
               "\r\n"
               "[Html]\r\n"
               "Title=new\r\n"
               "Extra=keep me\n"
               "Body=<body>\r\n"
               "\r\n"
               "; next section\r\n"
               "[Custom]\r\n"
               "Unknown=  spaced  \r\n"
               "[Path]\r\n"
               "Pic=/pics\r\n"
               "Thum=/thumbs\r\n"
               "\r\n"
               "[Link]\r\n"
               "Name1=\x83\x81\x83\x6A\x83\x85\x81\x5B\r\n";
    EXPECT_EQ(readBytes(ini_), expected);
    EXPECT_EQ(cmGetIni(ini_, "Custom", "Unknown", ""), "spaced");
}

TEST_F(IniFileTest, MissingFileIsCreatedWithTheSection) {
    ASSERT_TRUE(cmSetIni(ini_, "Html", "Title", "x"));
    EXPECT_EQ(readBytes(ini_), "[Html]\r\nTitle=x\r\n");
}

TEST_F(IniFileTest, EmptyValueIsWrittenAsEmptyQuotes) {
    writeBytes(ini_, "[Html]\r\nTitle=old\r\n");
    ASSERT_TRUE(cmSetIni(ini_, "Html", "Title", ""));
    EXPECT_EQ(readBytes(ini_), "[Html]\r\nTitle=\"\"\r\n");
    EXPECT_EQ(cmGetIni(ini_, "Html", "Title", "アルバム"), "");
}

TEST_F(IniFileTest, LongAndNonCp932ValuesSurviveAndChooseTheEncoding) {
    writeBytes(ini_, "; \x90\xDD\x92\xE8\r\n[Html]\r\nTitle=old\r\n");
    const std::string body = "<body " + std::string(400, 'b') + ">";
    ASSERT_TRUE(cmSetIni(ini_, "Html", "Body", body));
    EXPECT_EQ(cmGetIni(ini_, "Html", "Body", ""), body);
    EXPECT_EQ(readBytes(ini_).substr(0, 3), "; \x90");

    // cp932 has no é and no emoji: the whole file turns to UTF-8, comment included.
    ASSERT_TRUE(cmSetIni(ini_, "Html", "Title", "Café 😀"));
    EXPECT_EQ(readBytes(ini_),
              "\xEF\xBB\xBF; 設定\r\n[Html]\r\nTitle=Café 😀\r\nBody=" + body + "\r\n");
    EXPECT_EQ(cmGetIni(ini_, "Html", "Title", ""), "Café 😀");

    // Once everything fits again, the file is plain cp932 again.
    ASSERT_TRUE(cmSetIni(ini_, "Html", "Title", "写真"));
    EXPECT_EQ(readBytes(ini_),
              "; \x90\xDD\x92\xE8\r\n[Html]\r\nTitle=\x8E\xCA\x90\x5E\r\nBody=" + body + "\r\n");
}

TEST_F(IniFileTest, LineBreakInValueDoesNotSplitTheLine) {
    ASSERT_TRUE(cmSetIni(ini_, "Html", "Title", "a\r\nb\nc"));
    EXPECT_EQ(readBytes(ini_), "[Html]\r\nTitle=a b c\r\n");
}

TEST_F(IniFileTest, WriteLogsParametersAndErrors) {
    const std::string log = (folder_ / "Mivo.log").string();
    setLogPath(log);
    setLogLevel(1);
    EXPECT_TRUE(cmSetIni(ini_, "Html", "Title", ""));
    const std::string unwritable = (folder_ / "missing" / "Mivo.ini").string();
    EXPECT_FALSE(cmSetIni(unwritable, "Html", "Title", "x"));
    EXPECT_FALSE(fs::exists(unwritable));
    const std::vector<std::string> expected = {
        "[cmSetIni] ▽Start Method▽",
        "instrSection=[Html]",
        "instrKeyName=[Title]",
        "instrValue=[]",
        "[cmSetIni] △End Method△",
        "[cmSetIni] ▽Start Method▽",
        "instrSection=[Html]",
        "instrKeyName=[Title]",
        "instrValue=[x]",
        "[cmSetIni] WritePrivateProfileString Error [0]",
        "[cmSetIni] △End Method△",
    };
    EXPECT_EQ(logLines(log), expected);
}

TEST_F(IniFileTest, FailedWriteLeavesTheOldFile) {
    const std::string before = "[Html]\r\nTitle=old\r\n";
    writeBytes(ini_, before);
    ::chmod(folder_.c_str(), 0555);
    const std::optional<bool> written = test::runWithoutWriteAccess(
        folder_.string(), [&] { return cmSetIni(ini_, "Html", "Title", "new"); });
    if (!written) {
        GTEST_SKIP() << "no user here is denied writing to a read-only folder";
    }
    EXPECT_FALSE(*written) << "the write should fail in a read-only folder";
    EXPECT_EQ(readBytes(ini_), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(IniFileTest, SaveThroughSymlinkKeepsTheLink) {
    const std::string real = (folder_ / "real.ini").string();
    writeBytes(real, "[Html]\r\nTitle=old\r\n");
    fs::create_symlink(real, ini_);
    ASSERT_TRUE(cmSetIni(ini_, "Html", "Title", "new"));
    EXPECT_TRUE(fs::is_symlink(ini_));
    EXPECT_EQ(readBytes(real), "[Html]\r\nTitle=new\r\n");
}

TEST_F(IniFileTest, FolderInPlaceOfTheFileIsNotReplaced) {
    fs::create_directory(ini_);
    EXPECT_EQ(cmGetIni(ini_, "Html", "Title", "d"), "d");
    EXPECT_FALSE(cmSetIni(ini_, "Html", "Title", "x"));
    EXPECT_TRUE(fs::is_directory(ini_));
}

} // namespace
} // namespace mivo
