// A picture folder made by someone else: files that name other files, files that are not what
// their names say, files that cannot be read, and names whose copies would meet.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "generation/plan/status.h"
#include "generation/run/make_run.h"
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
using test::shell;

/// The files below `folder`, by their path inside it.
std::set<std::string> filesUnder(const std::string& folder) {
    std::set<std::string> files;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
        if (entry.is_regular_file()) {
            files.insert(fs::relative(entry.path(), folder).string());
        }
    }
    return files;
}

class HostileFolderTest : public test::RunFixture {
  protected:
    void SetUp() override {
        RunFixture::SetUp();
        ASSERT_TRUE(shell("convert -size 80x60 xc:orange '" + (dir / "pics/a.jpg") + "'"));
        settings.CheckReduce = true;
        settings.CheckMedia = true;
    }
};

TEST_F(HostileFolderTest, NothingAFileNamesOutsideTheFolderReachesTheGallery) {
    // A video of the user's own, outside the picture folder, and files in it that name it.
    ASSERT_TRUE(shell("ffmpeg -nostdin -y -f lavfi -i testsrc=size=160x120:rate=10 -t 1 "
                      "-c:v mpeg2video '" +
                      dir.mkdir("private") + "/home.ts'"));
    const std::string outside = dir / "private/home.ts";
    const std::string playlist = "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:1,\n";
    dir.write("pics/x.mp4", playlist + outside + "\n#EXT-X-ENDLIST\n");
    dir.write("pics/y.mov", playlist + "../private/home.ts\n#EXT-X-ENDLIST\n");
    dir.write("pics/z.mkv", playlist + "file:" + outside + "\n#EXT-X-ENDLIST\n");
    dir.write("pics/w.avi", "ffconcat version 1.0\nfile '" + outside + "'\n");
    // Pictures that are something else: libvips would render them by what they hold.
    const std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='90' height='60'>"
                            "<image href='file://" +
                            (dir / "private/secret.png") + "' width='90' height='60'/></svg>\n";
    ASSERT_TRUE(shell("convert -size 90x60 xc:red '" + (dir / "private/secret.png") + "'"));
    dir.write("pics/drawing.jpg", svg);
    dir.write("pics/drawing.png", svg);

    const std::vector<std::string> messages = run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_EQ(
        messages.back(),
        "完了しました (載せられなかった画像・動画: drawing.jpg, drawing.png, w.avi ほか 3 件)");
    for (const char* name : {"x.mp4", "y.mov", "z.mkv", "w.avi", "drawing.jpg", "drawing.png"}) {
        EXPECT_TRUE(contains(result.items, dir / ("pics/" + std::string(name)))) << result.items;
    }
    // The copies of the one real picture (its thumbnails in WebP too), the record, and nothing
    // else.
    EXPECT_EQ(filesUnder(dir / "out/thumbs"),
              (std::set<std::string>{".mivo-copies", "a.jpg", "2x/a.jpg", "a.jpg.webp",
                                     "2x/a.jpg.webp"}));
    EXPECT_EQ(filesUnder(dir / "out/view"), (std::set<std::string>{"a.jpg"}));
    EXPECT_FALSE(contains(readBytes(dir / "out/index.html"), "drawing"));

    // Not tried again while they stay as they are, and still named.
    run();
    EXPECT_TRUE(result.done);
    EXPECT_TRUE(contains(result.items, dir / "pics/x.mp4")) << result.items;
}

TEST_F(HostileFolderTest, OneRuleForPicturesThatCannotBeReadAndAnEndingThatSaysEverything) {
    dir.write("pics/broken.jpg", std::string("\xFF\xD8\xFF\xE0 not a picture", 18));
    for (const char* name : {"b1.png", "b2.png", "b3.png", "b4.png"}) {
        dir.write("pics/" + std::string(name), "\x89PNG\r\n\x1A\n damaged");
    }
    // With the media option every picture that cannot be read is left out and named.
    std::vector<std::string> messages = run();
    ASSERT_TRUE(result.done) << result.failure;
    // The folder's listing order: three of the five, and how many more.
    EXPECT_TRUE(messages.back().starts_with("完了しました (載せられなかった画像・動画: "));
    EXPECT_TRUE(messages.back().ends_with(".png ほか 2 件)") ||
                messages.back().ends_with(".jpg ほか 2 件)"))
        << messages.back();
    EXPECT_TRUE(contains(result.items, dir / "pics/broken.jpg")) << result.items;
    EXPECT_FALSE(contains(readBytes(dir / "out/list.html"), "broken"));
    EXPECT_TRUE(contains(readBytes(dir / "out/list.html"), "a.jpg"));

    // Without it, a JPEG that cannot be reduced fails the run, as it always has.
    settings.CheckMedia = false;
    messages = run();
    EXPECT_FALSE(result.done);
    EXPECT_EQ(messages.back(), "作成に失敗しました (縮小画像を作成できませんでした: broken.jpg)");

    // A failure and items left out in one run: the ending says both.
    settings.CheckMedia = true;
    settings.OptionMenu = 0;
    settings.gstrMenuPath = dir / "out/menu/index.html";
    dir.mkdir("pics2");
    fs::copy_file(dir / "pics/a.jpg", dir / "pics2/c.jpg");
    dir.write("out/menu/001/thumbs", "a file where the copies go");
    messages = run({{"one", dir / "pics2", ""}, {"two", dir / "pics", ""}});
    EXPECT_FALSE(result.done);
    EXPECT_TRUE(messages.back().starts_with("作成に失敗しました [one] (縮小画像を作成できませんで"
                                            "した: c.jpg / 載せられなかった画像・動画: "))
        << messages.back();
    EXPECT_TRUE(messages.back().ends_with(" ほか 2 件)")) << messages.back();
    EXPECT_TRUE(contains(result.failure, dir / "out/menu/001/thumbs")) << result.failure;
    EXPECT_TRUE(contains(result.items, dir / "pics/b4.png")) << result.items;
    EXPECT_TRUE(contains(result.items, dir / "pics2/c.jpg")) << result.items;
}

TEST_F(HostileFolderTest, NoTwoItemsShareACopyWhateverTheirNames) {
    // Each picture its own colour; "A.JPG" and the fixture's "a.jpg" are one name where letter
    // case is not told apart.
    const std::vector<std::pair<std::string, std::string>> pictures = {
        {"b.gif", "blue"}, {"b.gif.jpg", "green"}, {"x.png", "white"}, {"A.JPG", "black"}};
    for (const auto& [name, colour] : pictures) {
        ASSERT_TRUE(
            shell("convert -size 80x60 xc:" + colour + " '" + (dir / ("pics/" + name)) + "'"));
    }
    run();
    ASSERT_TRUE(result.done) << result.failure << result.items;
    EXPECT_EQ(result.items, "");
    EXPECT_EQ(filesUnder(dir / "out/view"),
              (std::set<std::string>{"A.JPG", "a~2.jpg", "b.gif.jpg", "b.gif~2.jpg", "x.png.jpg"}));
    const std::string index = readBytes(dir / "out/index.html");
    EXPECT_TRUE(contains(index, "./view/b.gif~2.jpg#original=./../pics/b.gif,")) << index;
    EXPECT_TRUE(contains(index, "./view/b.gif.jpg#original=./../pics/b.gif.jpg,")) << index;

    // Nothing changed: nothing is made again.
    const std::string record = readBytes(dir / "out/thumbs/.mivo-copies");
    run();
    EXPECT_EQ(readBytes(dir / "out/thumbs/.mivo-copies"), record);

    // The JPEG gone, the GIF's copies take the usual name; the variant's files go.
    fs::remove(dir / "pics/b.gif.jpg");
    run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_EQ(filesUnder(dir / "out/view"),
              (std::set<std::string>{"A.JPG", "a~2.jpg", "b.gif.jpg", "x.png.jpg"}));
    EXPECT_TRUE(
        contains(readBytes(dir / "out/index.html"), "./view/b.gif.jpg#original=./../pics/b.gif,"));

    // A copy's name taken by a file the user put there: shown from the original, and named.
    fs::copy_file(dir / "pics/x.png", dir / "pics/y.png");
    dir.write("out/view/y.png.jpg", "the user's own");
    const std::vector<std::string> messages = run();
    EXPECT_TRUE(result.done);
    EXPECT_EQ(messages.back(), "完了しました (載せられなかった画像・動画: y.png)");
    EXPECT_EQ(readBytes(dir / "out/view/y.png.jpg"), "the user's own");
    fs::copy_file(dir / "pics/A.JPG", dir / "pics/z.jpg");
    dir.write("out/view/z.jpg", "the user's own");
    EXPECT_EQ(run().back(),
              "完了しました (載せられなかった画像・動画: y.png / 縮小画像なしで載せた画像: z.jpg)");
}

} // namespace
} // namespace mivo
