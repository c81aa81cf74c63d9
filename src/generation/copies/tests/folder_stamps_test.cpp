#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "generation/copies/copy_record.h"
#include "generation/copies/folder_stamps.h"
#include "generation/copies/web_sizes.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;

bool convertJpeg(const std::string& path, int width, int height) {
    const std::string command = "convert -size " + std::to_string(width) + "x" +
                                std::to_string(height) + " xc:salmon '" + path + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

TEST(FolderStampLines, OnlyAWholeLastLineStampsAndEveryVersionPassesOverIt) {
    const FolderStamps stamps{FolderStamp{12, 1700000000123456789, 1700000000223456789, 5},
                              FolderStamp{13, 1, 2, 4}, FolderStamp{14, 3, 4, 3}};
    const std::string line = folderStampsLine(stamps);
    EXPECT_EQ(line.find('\t'), 0U);
    EXPECT_EQ(line.find('\t', 1), line.rfind('\t')); // one field of numbers: no picture's line
    MadeCopies made;
    made.ok = true;
    made.pictureBytes = 10;
    const std::string record = copyRecordHeader() + copyRecordLine("a.jpg", made);

    FolderStamps read{};
    ASSERT_TRUE(readFolderStamps(record + line, read));
    EXPECT_EQ(read, stamps);
    // The record's lines are read as before: the stamp line names no picture.
    EXPECT_EQ(parseCopyRecord(record + line).size(), 1U);
    EXPECT_EQ(parseCopyRecord(record + line).at("a.jpg"), made);

    // A journal's line after it, an unfinished line, a rewritten record: no stamps.
    EXPECT_FALSE(readFolderStamps(record + line + copyRecordLine("b.jpg", made), read));
    EXPECT_FALSE(readFolderStamps(record + line + "\n", read));
    EXPECT_FALSE(readFolderStamps(record + line.substr(0, line.size() - 1), read));
    EXPECT_FALSE(readFolderStamps(record, read));
    EXPECT_FALSE(readFolderStamps(line, read)); // no record before it
    std::string cut = line;
    cut.erase(cut.rfind(' '), 2);
    EXPECT_FALSE(readFolderStamps(record + cut, read));
    EXPECT_FALSE(readFolderStamps(record + "\tfolders\t1 2 3 4 5 6 7 8 9 10 11 -1\n", read));

    // What a record names, counted without the names and listed with them.
    MadeCopies video = made;
    video.video = true;
    video.webVideoMade = true;
    video.webp = true;
    MadeCopies failed = made;
    failed.ok = false;
    // A Live Photo's motion: its web video alone, or nothing when it plays as it is.
    MadeCopies motion = video;
    motion.webp = false;
    motion.motion = true;
    MadeCopies playedAsItIs = motion;
    playedAsItIs.webVideoMade = false;
    const CopyRecord copies{{"a.jpg", made},
                            {"clip.mov", video},
                            {"x.jpg", failed},
                            {"a.mov", motion},
                            {"b.mov", playedAsItIs}};
    const auto contents = recordedContents(copies);
    const auto counts = recordedCounts(copies);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(contents[i].size(), counts[i]) << i;
    }
    EXPECT_EQ(counts[0], 5U); // the record, 2x/, a.jpg, clip.mov.jpg and its WebP
    EXPECT_EQ(counts[2], 4U); // a.jpg, clip.mov.jpg, clip.mov.mp4, a.mov.mp4
}

class StampedCopiesTest : public ::testing::Test {
  protected:
    StampedCopiesTest() : pics(dir.mkdir("pics")), out(dir.mkdir("out")) {}

    /// A run whose clock is ahead by `ahead` seconds: folders changed before it count as
    /// settled when that is 2 or more.
    WebSizesReport run(const std::vector<std::string>& names, int ahead = 10) {
        PictureList items;
        for (const std::string& name : names) {
            items.add(listedItem(pics, name, ItemKind::Picture));
        }
        CopyJob job;
        job.pageFolder = out;
        job.request = {160, 120, 400};
        job.workers = 1;
        job.progress = [](std::size_t, const Item&, const std::string&) {};
        job.clock = [ahead] { return fileClockNow() + std::int64_t{ahead} * 1000000000; };
        WebSizesReport report;
        std::string error;
        EXPECT_TRUE(makeWebSizes(job, items, report, error)) << error;
        copies.clear();
        for (const Item& item : items) {
            copies.push_back(*item.copy);
        }
        return report;
    }
    std::string record() const { return readBytes(out + "/thumbs/.mivo-copies"); }
    /// The record ends with stamps that the folders still show.
    bool stamped() const {
        FolderStamps stamps{};
        FolderStamps seen{};
        CopyFolderSet folders;
        std::string error;
        if (!readFolderStamps(record(), stamps) || !folders.open(out, error)) {
            return false;
        }
        statCopyFolders(folders, fileClockNow(), seen);
        for (std::size_t i = 0; i < 3; ++i) {
            seen[i].entries = stamps[i].entries;
        }
        return stamps == seen;
    }

    TempDir dir;
    std::string pics;
    std::string out;
    std::vector<WebCopy> copies;
};

TEST_F(StampedCopiesTest, StampedFoldersAreNotListedYetEveryChangeInThemIsSeen) {
    ASSERT_TRUE(convertJpeg(pics + "/a.jpg", 400, 300));
    ASSERT_TRUE(convertJpeg(pics + "/b.jpg", 300, 400));
    const std::vector<std::string> two = {"a.jpg", "b.jpg"};

    // Folders changed just now are not stamped: a change within the same tick of the file
    // system's clock would leave their times as they are.
    EXPECT_EQ(run(two, 0).made, 2U);
    EXPECT_FALSE(stamped());
    // Once settled, the run that finds them as recorded stamps them, and the next keeps the
    // record as it is: the stamps held.
    EXPECT_EQ(run(two).kept, 2U);
    ASSERT_TRUE(stamped());
    const std::string stampedRecord = record();
    EXPECT_EQ(run(two).kept, 2U);
    EXPECT_EQ(record(), stampedRecord);
    EXPECT_TRUE(copies[0].ok);
    EXPECT_EQ(copies[0].sizes.viewWidth, 400);

    // A copy deleted by hand is made again.
    fs::remove(out + "/thumbs/2x/a.jpg");
    WebSizesReport report = run(two);
    EXPECT_EQ(report.made, 1U);
    EXPECT_TRUE(fs::exists(out + "/thumbs/2x/a.jpg"));
    EXPECT_TRUE(stamped());

    // A killed run's temporary file is removed.
    dir.write("out/view/.b.jpg.part-Ab3dE9", "left by a killed run");
    EXPECT_EQ(run(two).kept, 2U);
    EXPECT_FALSE(fs::exists(out + "/view/.b.jpg.part-Ab3dE9"));
    EXPECT_TRUE(stamped());

    // A file of the user's added under a new picture's copy name is never replaced, and
    // folders holding it are not stamped.
    ASSERT_TRUE(convertJpeg(pics + "/c.jpg", 200, 200));
    dir.write("out/thumbs/c.jpg", "mine");
    const std::vector<std::string> three = {"a.jpg", "b.jpg", "c.jpg"};
    report = run(three);
    EXPECT_EQ(report.kept, 2U);
    EXPECT_EQ(report.skipped, 1U);
    EXPECT_EQ(readBytes(out + "/thumbs/c.jpg"), "mine");
    EXPECT_FALSE(stamped());
    fs::remove(out + "/thumbs/c.jpg");
    EXPECT_EQ(run(three).made, 1U);
    EXPECT_TRUE(stamped());

    // A folder touched (its mode changed): listed again, nothing made, stamped anew.
    const std::string before = record();
    ASSERT_EQ(::chmod((out + "/view").c_str(), 0750), 0);
    EXPECT_EQ(run(three).kept, 3U);
    EXPECT_NE(record(), before);
    EXPECT_TRUE(stamped());

    // A record edited in place (the folder's times stay) that names fewer copies than the
    // folders held: listed again, and copies it no longer names are not taken for Mivo's.
    const std::string edited = record();
    const std::size_t line = edited.find("b.jpg\t");
    ASSERT_NE(line, std::string::npos);
    dir.write("out/thumbs/.mivo-copies",
              edited.substr(0, line) + edited.substr(edited.find('\n', line) + 1));
    const std::string bView = readBytes(out + "/view/b.jpg");
    report = run(three);
    EXPECT_EQ(report.skipped, 1U);
    EXPECT_EQ(report.made, 0U);
    EXPECT_EQ(readBytes(out + "/view/b.jpg"), bView);
}

} // namespace
} // namespace mivo
