#include "settings/gallery_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "support/without_write_access.h"

namespace fs = std::filesystem;

namespace mivo {
namespace {

class GalleryListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        folder_ = fs::temp_directory_path() / ("mivo_list_test_" + std::to_string(::getpid()) +
                                               "_" + std::to_string(counter++));
        fs::create_directories(folder_);
        csv_ = (folder_ / "Mivo.csv").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(folder_, ec);
    }

    void writeBytes(const std::string& bytes) { std::ofstream(csv_, std::ios::binary) << bytes; }
    std::string readBytes() {
        std::ifstream in(csv_, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    std::vector<GalleryEntry> load() {
        std::vector<GalleryEntry> rows;
        mainGetList(csv_, rows);
        return rows;
    }

    fs::path folder_;
    std::string csv_;
};

TEST_F(GalleryListTest, PlainRowsAreWrittenAsTheyAreAndReadBackInOrder) {
    const std::vector<GalleryEntry> rows = {
        {"Trip", "/pics/trip", ""},
        {"旅行", "/pics/旅行", "/thumbs/旅行"},
        {"a\"b", "/p", "/t"},
    };
    ASSERT_TRUE(mainSetList(csv_, rows));
    EXPECT_EQ(readBytes(), "Trip,/pics/trip,,\r\n"
                           "\x97\xB7\x8D\x73,/pics/\x97\xB7\x8D\x73,/thumbs/\x97\xB7\x8D\x73,\r\n"
                           "a\"b,/p,/t,\r\n");
    EXPECT_EQ(load(), rows);

    // Loaded rows come after the rows the list already holds.
    std::vector<GalleryEntry> list = {{"first", "/f", ""}};
    mainGetList(csv_, list);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].strListName, "first");
    EXPECT_EQ(list[1], rows[0]);
}

TEST_F(GalleryListTest, FieldsWithCommaOrLeadingQuoteAreQuoted) {
    const std::vector<GalleryEntry> rows = {
        {"My, trip", "\"quoted\" name", "/t,"},
        {"\"", ",", ""},
    };
    ASSERT_TRUE(mainSetList(csv_, rows));
    EXPECT_EQ(readBytes(), "\"My, trip\",\"\"\"quoted\"\" name\",\"/t,\",\r\n"
                           "\"\"\"\",\",\",,\r\n");
    EXPECT_EQ(load(), rows);
}

TEST_F(GalleryListTest, HandWrittenLinesReadAsTheirFirstThreeFields) {
    writeBytes("\"/My, pictures\",/p\r"
               "short\n"
               "d,e,f,g,h,\r\n"
               "\r\n"
               "\"abc\r\n"
               "\"x\"y,z,w,\r\n"
               "Trip,/pics/trip,,");
    const std::vector<GalleryEntry> expected = {
        {"/My, pictures", "/p", ""},
        {"short", "", ""},
        {"d", "e", "f"},
        {"", "", ""},
        {"abc", "", ""},
        {"x", "", ""},
        {"Trip", "/pics/trip", ""},
    };
    EXPECT_EQ(load(), expected);
}

TEST_F(GalleryListTest, EmptyListGivesEmptyFileAndMissingFileNoRows) {
    EXPECT_TRUE(load().empty());
    ASSERT_TRUE(mainSetList(csv_, {}));
    EXPECT_TRUE(fs::exists(csv_));
    EXPECT_EQ(fs::file_size(csv_), 0u);
    EXPECT_TRUE(load().empty());
}

TEST_F(GalleryListTest, NamesCp932CannotHoldSwitchTheFileToUtf8) {
    const std::vector<GalleryEntry> rows = {{"Café 😀", "/pics/é", ""}, {"旅行", "/p", ""}};
    ASSERT_TRUE(mainSetList(csv_, rows));
    EXPECT_EQ(readBytes(), "\xEF\xBB\xBF"
                           "Café 😀,/pics/é,,\r\n旅行,/p,,\r\n");
    EXPECT_EQ(load(), rows);
}

TEST_F(GalleryListTest, ListsInAnotherEncodingOrWithBrokenCharactersAreUnreadable) {
    using namespace std::string_literals;
    // "旅行,/p,," CR LF as a spreadsheet's "Unicode text" (UTF-16LE), with and without its
    // byte order mark, and as big-endian UTF-16.
    const std::string utf16 = "\xC5\x65\x4C\x88,\0/\0p\0,\0,\0\r\0\n\0"s;
    const std::string utf16Be = "\xFE\xFF\x65\xC5\x88\x4C\0,\0/\0p\0,\0,\0\r\0\n"s;
    const std::vector<std::string> unreadable = {
        "\xFF\xFE" + utf16,
        utf16,
        utf16Be,
        // cp932 with a stray lead byte before a blank, and a byte cp932 does not have.
        "\x97\xB7\x8D\x73,/p,,\r\nA\x81 B,/q,,\r\n",
        "\x97\xB7\x8D\x73,/p\xFD,,\r\n",
        // UTF-8 after its byte order mark, with a cut-off character.
        "\xEF\xBB\xBFTrip\xE6\x97,/p,,\r\n",
        // A NUL in otherwise plain text.
        "Trip,/p\0,,\r\n"s,
    };
    for (const std::string& bytes : unreadable) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        writeBytes(bytes);
        std::vector<GalleryEntry> rows = {{"kept", "/k", ""}};
        EXPECT_FALSE(mainGetList(csv_, rows));
        EXPECT_EQ(rows, (std::vector<GalleryEntry>{{"kept", "/k", ""}})) << "nothing is added";
        EXPECT_EQ(readBytes(), bytes);
    }

    // Characters cp932 has twice (NEC's row 13 and the standard's own) are good text, as is a
    // backslash after a two-byte character.
    writeBytes("\x87\x90\x81\xE0,\x95\x5C\\p,,\r\n");
    std::vector<GalleryEntry> rows;
    EXPECT_TRUE(mainGetList(csv_, rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].strListName, "≒≒");
    EXPECT_EQ(rows[0].strPicPath, "表\\p");
}

TEST_F(GalleryListTest, FailedSaveKeepsTheOldFile) {
    EXPECT_FALSE(mainSetList((folder_ / "missing" / "Mivo.csv").string(), {{"a", "b", "c"}}));

    const std::string before = "Old,/old,,\r\n";
    writeBytes(before);
    ::chmod(folder_.c_str(), 0555);
    const std::vector<GalleryEntry> rows = {{"New", "/new", ""}};
    const std::optional<bool> saved =
        test::runWithoutWriteAccess(folder_.string(), [&] { return mainSetList(csv_, rows); });
    if (!saved) {
        GTEST_SKIP() << "no user here is denied writing to a read-only folder";
    }
    EXPECT_FALSE(*saved) << "the save should fail in a read-only folder";
    EXPECT_EQ(readBytes(), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

} // namespace
} // namespace mivo
