// The list of files a run wrote, replaced and removed, which a publishing step reads to bring
// a copy of the site up to date: every page and copy of a first run is new, a run with
// nothing changed rewrites the pages only, and the copies of a picture taken away are gone.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "generation/plan/status.h"
#include "generation/run/make_run.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

class QuietStatus : public StatusSink {
  public:
    void message(const std::string&) override {}
    void progress(double, double) override {}
    void step() override {}
};

using Files = std::set<std::string>;

Files setOf(const std::vector<std::string>& paths) {
    return {paths.begin(), paths.end()};
}

class ManifestTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::writeShippedTemplates(dir, "prog/html");
        dir.mkdir("pics");
        for (const char* name : {"a.jpg", "b.jpg"}) {
            picture(name, "orange");
        }
        settings = defaultSettings(dir / "prog");
        settings.OptionMenu = 1;
        settings.OptionSamD = 0;
        settings.CheckReduce = true;
        settings.gstrPicPath = dir / "pics";
        settings.gstrIndexPath = dir / "out/index.html";
        dir.mkdir("out");
    }

    void picture(const std::string& name, const std::string& colour) {
        const std::string command =
            "convert -size 64x48 xc:" + colour + " '" + (dir / "pics/") + name + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    const Manifest& run() {
        QuietStatus status;
        result = runMake(settings, rows, portableProgramFiles(dir / "prog"), status);
        EXPECT_TRUE(result.done) << result.failure;
        return result.files;
    }

    /// The three pages of the single gallery, beside its index page.
    Files pages() const { return {out("index.html"), out("list.html"), out("pict.html")}; }
    /// The copies of the picture `name` in its gallery's copy folders, WebP thumbnails too.
    Files copiesOf(const std::string& name) const {
        return {out("thumbs/" + name), out("thumbs/2x/" + name), out("view/" + name),
                out("thumbs/" + name + ".webp"), out("thumbs/2x/" + name + ".webp")};
    }
    std::string out(const std::string& name) const { return dir / ("out/" + name); }

    TempDir dir;
    Settings settings{};
    std::vector<GalleryEntry> rows;
    MakeResult result;
};

Files joined(std::initializer_list<Files> parts) {
    Files all;
    for (const Files& part : parts) {
        all.insert(part.begin(), part.end());
    }
    return all;
}

TEST_F(ManifestTest, AFirstRunListsEveryPageCopyAndTheRecordAsWritten) {
    const Manifest& files = run();
    EXPECT_EQ(
        setOf(files.written),
        joined({pages(), copiesOf("a.jpg"), copiesOf("b.jpg"), {out("thumbs/.mivo-copies")}}));
    EXPECT_EQ(files.written.size(), setOf(files.written).size()); // each once
    EXPECT_TRUE(files.replaced.empty());
    EXPECT_TRUE(files.removed.empty());
    for (const std::string& path : files.written) {
        EXPECT_TRUE(fs::exists(path)) << path;
    }
}

TEST_F(ManifestTest, ARerunReplacesThePagesAndOnlyTheCopiesOfWhatChanged) {
    run();
    // Nothing changed: the pages are written again, no copy is touched, nor the record.
    Manifest files = run();
    EXPECT_EQ(setOf(files.replaced), pages());
    EXPECT_TRUE(files.written.empty());
    EXPECT_TRUE(files.removed.empty());

    // A picture made anew has its copies replaced, and the record with them.
    fs::remove(dir / "pics/a.jpg");
    picture("a.jpg", "navy");
    files = run();
    EXPECT_EQ(setOf(files.replaced),
              joined({pages(), copiesOf("a.jpg"), {out("thumbs/.mivo-copies")}}));
    EXPECT_TRUE(files.written.empty());
    EXPECT_TRUE(files.removed.empty());
}

TEST_F(ManifestTest, APictureTakenAwayHasItsCopiesListedAsRemoved) {
    run();
    fs::remove(dir / "pics/b.jpg");
    const Manifest& files = run();
    EXPECT_EQ(setOf(files.removed), copiesOf("b.jpg"));
    for (const std::string& path : files.removed) {
        EXPECT_FALSE(fs::exists(path)) << path;
    }
    EXPECT_EQ(setOf(files.replaced), joined({pages(), {out("thumbs/.mivo-copies")}}));
    EXPECT_TRUE(files.written.empty());
}

TEST_F(ManifestTest, MenuModeListsEveryGallerysPagesAndTheMenuPage) {
    settings.OptionMenu = 0;
    settings.CheckReduce = false;
    settings.gstrMenuPath = dir / "out/menu.html";
    settings.gstrMenuHtmlPath = "g";
    rows = {{"one", dir / "pics", ""}, {"two", dir / "pics", ""}};
    const Manifest& files = run();
    EXPECT_EQ(setOf(files.written),
              (Files{out("menu.html"), out("g/001/index.html"), out("g/001/list.html"),
                     out("g/001/pict.html"), out("g/002/index.html"), out("g/002/list.html"),
                     out("g/002/pict.html")}));
    EXPECT_TRUE(files.replaced.empty());
    EXPECT_TRUE(files.removed.empty());
}

} // namespace
} // namespace mivo
