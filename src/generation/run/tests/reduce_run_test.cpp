#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "generation/plan/status.h"
#include "generation/run/make_run.h"
#include "generation/run/run_lock.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"
#include "support/page_fixture.h"
#include "support/run_fixture.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;
using test::contains;
using test::readBytes;
using test::RecordingSink;
using test::TempDir;

class QuietStatus : public StatusSink {
  public:
    void message(const std::string&) override {}
    void progress(double, double) override {}
    void step() override {}
};

/// Galleries made by a whole run with the shipped templates, from real JPEGs.
class ReduceRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::writeShippedTemplates(dir, "prog/html");
        dir.mkdir("pics");
        for (const char* name : {"a.jpg", "b.jpg"}) {
            const std::string command =
                "convert -size 800x600 xc:orange '" + (dir / "pics/") + name + "' 2>/dev/null";
            ASSERT_EQ(std::system(command.c_str()), 0);
        }
        dir.write("pics/c.jpg", "broken");
        settings = defaultSettings(dir / "prog");
        settings.OptionMenu = 1;
        settings.OptionSamD = 0;
        settings.gstrPicPath = dir / "pics";
        settings.gstrIndexPath = dir / "out/index.html";
        dir.mkdir("out");
    }

    bool run() {
        QuietStatus status;
        result = runMake(settings, rows, portableProgramFiles(dir / "prog"), status);
        return result.done;
    }
    /// The status messages of a run.
    std::vector<std::string> runMessages() {
        RecordingSink status;
        result = runMake(settings, rows, portableProgramFiles(dir / "prog"), status);
        bar = status.bar;
        return status.messages;
    }
    std::string page(const std::string& name) const { return readBytes(dir / ("out/" + name)); }

    TempDir dir;
    Settings settings{};
    std::vector<GalleryEntry> rows;
    MakeResult result;
    std::vector<std::pair<double, double>> bar; // value, max
};

TEST_F(ReduceRunTest, OptionOffOrUnusedLeavesThePagesAsTheyWere) {
    // The list template as it was before it knew the 2x thumbnail.
    std::string oldList = readBytes(dir / "prog/html/list.html");
    const std::size_t at = oldList.find("MV_IMG_2X");
    ASSERT_NE(at, std::string::npos);
    oldList.erase(at, 9);

    settings.CheckReduce = false;
    ASSERT_TRUE(run());
    const std::string list = page("list.html");
    const std::string index = page("index.html");
    EXPECT_FALSE(fs::exists(dir / "out/thumbs"));
    EXPECT_FALSE(fs::exists(dir / "out/view"));
    EXPECT_FALSE(contains(list, " srcset=\""));

    dir.write("prog/html/list.html", oldList);
    ASSERT_TRUE(run());
    EXPECT_EQ(page("list.html"), list);
    EXPECT_EQ(page("index.html"), index);

    // On, but the gallery names its own thumbnail folder: nothing is made, nothing changes.
    dir.mkdir("thumbs");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
        fs::copy_file(dir / ("pics/" + std::string(name)), dir / ("thumbs/" + std::string(name)));
    }
    settings.OptionSamD = 1;
    settings.gstrSamPath = dir / "thumbs";
    settings.CheckReduce = false;
    ASSERT_TRUE(run());
    const std::string withFolder = page("list.html");
    settings.CheckReduce = true;
    ASSERT_TRUE(run());
    EXPECT_EQ(page("list.html"), withFolder);
    EXPECT_FALSE(fs::exists(dir / "out/thumbs"));
}

TEST_F(ReduceRunTest, OptionOnShowsMivosThumbnailsAndDisplayCopies) {
    settings.CheckReduce = true;
    settings.TextSamWidth = 160;
    settings.TextSamHeight = 160;
    // The status names each picture as its copies are made (the broken one too), then again
    // as the list is written; a run with nothing changed shows only the list's pass and the
    // picture that still cannot be read, which is tried again on every run.
    const std::vector<std::string> first = runMessages();
    const std::vector<std::string> again = runMessages();
    auto count = [](const std::vector<std::string>& messages, const std::string& text) {
        return std::count(messages.begin(), messages.end(), text);
    };
    EXPECT_EQ(count(first, "a (1/3)"), 2);
    EXPECT_EQ(count(first, "c (3/3)"), 2);
    EXPECT_EQ(count(again, "a (1/3)"), 1);
    EXPECT_EQ(count(again, "b (2/3)"), 1);
    EXPECT_EQ(count(again, "c (3/3)"), 2);
    EXPECT_EQ(again.back(), first.back());
    // Every page is written, but a copy that could not be made fails the run, naming it.
    EXPECT_EQ(again.back(), "作成に失敗しました (縮小画像を作成できませんでした: c.jpg)");
    EXPECT_FALSE(result.done);
    EXPECT_TRUE(contains(result.failure, dir / "pics/c.jpg")) << result.failure;
    const std::string list = page("list.html");
    EXPECT_TRUE(contains(list, "<img src=\"./thumbs/a.jpg\" srcset=\"./thumbs/2x/a.jpg 2x\" "
                               "width=160 height=120 alt=\"a\""))
        << list;
    // A picture that cannot be decoded shows its original, as without the option.
    EXPECT_TRUE(contains(list, "<img src=\"./../pics/c.jpg\" width=160 height=160 alt=\"c\""));
    // WebP thumbnails beside the JPEGs, offered through <picture>; none for the original.
    EXPECT_TRUE(contains(list, "<picture><source type=\"image/webp\" srcset=\"./thumbs/a.jpg.webp "
                               "1x, ./thumbs/2x/a.jpg.webp 2x\"><img src=\"./thumbs/a.jpg\""))
        << list;
    EXPECT_TRUE(contains(list, "<picture><img src=\"./../pics/c.jpg\""));
    EXPECT_TRUE(fs::exists(dir / "out/thumbs/2x/b.jpg.webp"));
    EXPECT_TRUE(fs::exists(dir / "out/thumbs/2x/b.jpg"));
    EXPECT_TRUE(fs::exists(dir / "out/view/b.jpg"));
    // The picture view loads the display copy; the original is one link away.
    const std::string index = page("index.html");
    EXPECT_TRUE(
        contains(index, "aryPicList[0] = \"./view/a.jpg#original=./../pics/a.jpg,800,600,a\";"))
        << index;
    EXPECT_TRUE(contains(index, "aryPicList[2] = \"./../pics/c.jpg,0,0,c\";"));
    EXPECT_TRUE(
        contains(index, "aryPicWebp[0] = [\"./thumbs/a.jpg.webp\", \"./thumbs/2x/a.jpg.webp\"];"));
    EXPECT_FALSE(contains(index, "aryPicWebp[2]"));
    // A template of the user's from before the WebP thumbnails shows the JPEGs as it did.
    const std::string template_ = readBytes(dir / "prog/html/list.html");
    std::string older = template_;
    for (const std::string cut : {"<picture>MV_IMG_WEBP", "</picture>"}) {
        older.erase(older.find(cut), cut.size());
    }
    dir.write("prog/html/list.html", older);
    runMessages();
    EXPECT_TRUE(contains(page("list.html"), "data-time=\"\"><img src=\"./thumbs/a.jpg\""));
    EXPECT_FALSE(contains(page("list.html"), ".webp"));
    dir.write("prog/html/list.html", template_);

    // Menu mode: each gallery's copies in its own numbered folder, the menu shows them too.
    settings.OptionMenu = 0;
    settings.gstrMenuPath = dir / "out/menu/index.html";
    dir.mkdir("out/menu");
    rows.push_back({"one", dir / "pics", ""});
    EXPECT_FALSE(run());
    EXPECT_EQ(result.failure.rfind("縮小画像を作成できません: " + (dir / "pics/c.jpg"), 0), 0U)
        << result.failure;
    EXPECT_TRUE(fs::exists(dir / "out/menu/001/thumbs/a.jpg"));
    EXPECT_TRUE(fs::exists(dir / "out/menu/001/view/a.jpg"));
    EXPECT_TRUE(contains(readBytes(dir / "out/menu/index.html"),
                         "./001/thumbs/a.jpg,width=160 height=120"));
}

TEST_F(ReduceRunTest, CopyFailuresFailTheRunOnlyAfterEveryPageIsWritten) {
    std::filesystem::remove(dir / "pics/c.jpg");
    std::filesystem::copy_file(dir / "pics/a.jpg", dir / "pics/d.jpg");
    settings.CheckReduce = true;
    // The bar counts copies made of copies to make while they are made.
    runMessages();
    ASSERT_TRUE(result.done) << result.failure;
    for (const double made : {1.0, 2.0, 3.0}) {
        EXPECT_NE(std::find(bar.begin(), bar.end(), std::make_pair(made, 3.0)), bar.end());
    }

    // Display copies cannot be written (a file in the folder's place): the pages are written
    // with the originals, then the run fails naming the folder.
    std::filesystem::remove_all(dir / "out/view");
    dir.write("out/view", "a file");
    std::filesystem::remove(dir / "out/list.html");
    const std::vector<std::string> messages = runMessages();
    EXPECT_FALSE(result.done);
    EXPECT_EQ(messages.back(),
              "作成に失敗しました (縮小画像を作成できませんでした: a.jpg, b.jpg, d.jpg)");
    EXPECT_TRUE(contains(result.failure, dir / "out/view")) << result.failure;
    EXPECT_TRUE(contains(page("list.html"), "./../pics/a.jpg"));

    // Menu mode names the gallery whose copies failed.
    settings.OptionMenu = 0;
    settings.gstrMenuPath = dir / "out/menu/index.html";
    dir.write("out/menu/001/thumbs", "a file");
    rows.push_back({"one", dir / "pics", ""});
    EXPECT_EQ(runMessages().back(),
              "作成に失敗しました [one] (縮小画像を作成できませんでした: a.jpg, b.jpg, d.jpg)");
    EXPECT_TRUE(std::filesystem::exists(dir / "out/menu/index.html"));
}

TEST_F(ReduceRunTest, SecondRunIntoTheSameFoldersIsRefusedWhileTheFirstHoldsThem) {
    std::optional<RunLock> first(std::in_place);
    std::string busy;
    ASSERT_TRUE(first->take({dir / "out"}, busy));
    const std::vector<std::string> messages = runMessages();
    EXPECT_FALSE(result.done);
    EXPECT_EQ(messages.back().rfind("別の作成がこのフォルダに書き込み中です [" + (dir / "out"), 0),
              0U)
        << messages.back();
    EXPECT_FALSE(result.failure.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "out/list.html"));
    // Once the first run lets go, the next goes ahead.
    first.reset();
    EXPECT_TRUE(run()) << result.failure;
}

} // namespace
} // namespace mivo
