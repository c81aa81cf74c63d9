// The copier's check read ahead of its album: taken only while the items and the record are
// what it read, and never a reason to keep a copy that is missing or out of date.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "generation/copies/copy_check.h"
#include "generation/copies/copy_folders.h"
#include "generation/copies/web_sizes.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

bool convertJpeg(const std::string& path, int width, int height) {
    const std::string command = "convert -size " + std::to_string(width) + "x" +
                                std::to_string(height) + " xc:teal '" + path + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

class CopyCheckTest : public ::testing::Test {
  protected:
    CopyCheckTest() : pics(dir.mkdir("pics")), out(dir.mkdir("out")) {}

    PictureList items(const std::vector<std::string>& names) const {
        PictureList list;
        for (const std::string& name : names) {
            list.add(listedItem(pics, name, ItemKind::Picture));
        }
        return list;
    }

    /// The check of `names` as the run reads it one album ahead.
    CopyCheck readAhead(const std::vector<std::string>& names) const {
        return readCopyCheck(out,
                             std::make_shared<const PictureList>(copyCheckItems(items(names))));
    }

    /// Whether `check` holds for `names` against the copy folders as they are.
    bool holds(const CopyCheck& check, const std::vector<std::string>& names) const {
        CopyFolderSet folders;
        std::string error;
        return folders.open(out, error) && copyCheckHolds(check, items(names), folders.thumbs);
    }

    /// The copier over `names`, with `ahead` when given; each item's copy in `copies`.
    WebSizesReport run(const std::vector<std::string>& names, const CopyCheck* ahead = nullptr) {
        PictureList list = items(names);
        CopyJob job;
        job.pageFolder = out;
        job.request.boxWidth = 160;
        job.request.boxHeight = 120;
        job.request.viewEdge = 400;
        job.workers = 1;
        job.ahead = ahead;
        job.progress = [](std::size_t, const Item&, const std::string&) {};
        WebSizesReport report;
        std::string folderError;
        EXPECT_TRUE(makeWebSizes(job, list, report, folderError)) << folderError;
        copies.clear();
        for (const Item& item : list) {
            copies.push_back(*item.copy);
        }
        return report;
    }

    TempDir dir;
    std::string pics;
    std::string out;
    std::vector<WebCopy> copies;
};

TEST_F(CopyCheckTest, ACheckReadAheadIsTakenOnlyWhileItsItemsAndRecordAreWhatItRead) {
    // Read before the album's folder has any copy folder: nothing is made, and once the copier
    // wrote its record the check no longer holds.
    ASSERT_TRUE(convertJpeg(pics + "/a.jpg", 800, 600));
    ASSERT_TRUE(convertJpeg(pics + "/b.jpg", 300, 600));
    ASSERT_TRUE(convertJpeg(pics + "/c.jpg", 100, 50));
    const std::vector<std::string> abc = {"a.jpg", "b.jpg", "c.jpg"};
    const CopyCheck beforeAny = readAhead(abc);
    EXPECT_TRUE(beforeAny.ready);
    EXPECT_FALSE(fs::exists(out + "/thumbs"));
    EXPECT_EQ(run(abc, &beforeAny).made, 3U);
    EXPECT_FALSE(holds(beforeAny, abc));

    // Nothing changed: the check holds and every copy is kept as it was.
    const CopyCheck unchanged = readAhead(abc);
    EXPECT_TRUE(holds(unchanged, abc));
    WebSizesReport kept = run(abc, &unchanged);
    EXPECT_EQ(kept.kept, 3U);
    EXPECT_EQ(kept.made, 0U);
    EXPECT_EQ(copies[1].sizes.thumbWidth, 60);

    // A copy that went after the check was read is made again: the folders are looked at when
    // the album's turn comes.
    const CopyCheck thenRemoved = readAhead(abc);
    ASSERT_TRUE(fs::remove(out + "/view/b.jpg"));
    EXPECT_EQ(run(abc, &thenRemoved).made, 1U);
    EXPECT_TRUE(fs::exists(out + "/view/b.jpg"));

    // The record changed after the check was read (c made again for a new picture): the old
    // record and stamps are not taken, c keeps its new copies' sizes.
    const CopyCheck stale = readAhead(abc);
    ASSERT_TRUE(convertJpeg(pics + "/c.jpg", 50, 100));
    EXPECT_EQ(run(abc).made, 1U);
    EXPECT_FALSE(holds(stale, abc));
    kept = run(abc, &stale);
    EXPECT_EQ(kept.kept, 3U);
    EXPECT_EQ(copies[2].sizes.thumbWidth, 50);
    EXPECT_EQ(copies[2].sizes.thumbHeight, 100);

    // The items changed after the check was read (b left the album): each item keeps its own
    // copies, and b's are deleted.
    const CopyCheck forThree = readAhead(abc);
    const std::vector<std::string> ac = {"a.jpg", "c.jpg"};
    EXPECT_FALSE(holds(forThree, ac));
    const WebSizesReport two = run(ac, &forThree);
    EXPECT_EQ(two.kept, 2U);
    EXPECT_EQ(two.removed, 1U);
    EXPECT_EQ(copies[1].fileName, "c.jpg");
    EXPECT_EQ(copies[1].sizes.thumbWidth, 50);
    EXPECT_FALSE(fs::exists(out + "/view/b.jpg"));

    // A big moving picture's copy names depend on the tools the album finds: not read ahead.
    PictureList moving = items({"a.jpg"});
    moving[0].moves = true;
    moving[0].bytes = 4 << 20;
    const CopyCheck bigMoving =
        readCopyCheck(out, std::make_shared<const PictureList>(copyCheckItems(moving)));
    EXPECT_FALSE(bigMoving.ready);
}

} // namespace
} // namespace mivo
