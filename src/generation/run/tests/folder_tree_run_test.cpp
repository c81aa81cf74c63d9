// Folder-tree runs with the shipped templates and with templates of earlier versions: albums
// in folders of their own, where each album is, its sub-albums, and folders a stranger made.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/codepage.h"
#include "generation/plan/status.h"
#include "generation/run/date_order.h"
#include "generation/run/make_run.h"
#include "settings/settings.h"
#include "support/gif_bytes.h"
#include "support/page_fixture.h"
#include "support/run_fixture.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;
using test::contains;
using test::readBytes;

class FolderTreeRun : public test::RunFixture {
  protected:
    void SetUp() override {
        RunFixture::SetUp();
        settings.OptionMenu = 2;
        settings.gstrHtmlPath = "html";
    }

    void picture(const std::string& name) const { dir.write("pics/" + name, test::gifBytes(4, 3)); }

    /// A page as UTF-8 (the shipped templates are cp932).
    std::string page(const std::string& name) const {
        return decodeCp932(readBytes(dir / ("out/" + name)));
    }
};

TEST_F(FolderTreeRun, AlbumsFollowTheFoldersWithWhereTheyAreAndTheirSubAlbums) {
    picture("top.gif");
    picture("2024/京都/IMG_10.gif");
    picture("2024/京都/IMG_2.gif");
    picture("2024/夏休み/a.gif");
    picture("2025/a.gif");
    picture("2025/cover.jpg");
    picture(".hidden/a.gif");
    dir.mkdir("pics/empty/deeper");
    dir.write("pics/2025/filelist.csv", "name,caption\r\ncover.jpg,Cover caption\r\n");
    settings.CheckUseFileList = true;
    const std::vector<std::string> messages = run();
    ASSERT_TRUE(result.done) << result.failure << "\n" << messages.back();
    EXPECT_EQ(messages.back(), "完了しました");

    // The root's own pages where single mode puts them, every album in a folder below.
    for (const char* made :
         {"index.html", "html/list.html", "html/2024/index.html", "html/2024/京都/pict.html",
          "html/2024/夏休み/list.html", "html/2025/index.html"}) {
        EXPECT_TRUE(fs::exists(dir / ("out/" + std::string(made)))) << made;
    }
    // No album for a hidden or an empty folder; 2024 has no pictures of its own: its index
    // lists its albums, and it has no list page.
    EXPECT_FALSE(fs::exists(dir / "out/html/.hidden"));
    EXPECT_FALSE(fs::exists(dir / "out/html/empty"));
    EXPECT_FALSE(fs::exists(dir / "out/html/2024/list.html"));

    const std::string root = page("index.html");
    EXPECT_TRUE(contains(root,
                         "aryAlbumList[0] = [\"2024\", \"./html/2024/index.html\", "
                         "\"./../pics/2024/京都/IMG_2.gif\", \"160\", \"120\", \"0\", \"3\","))
        << root;
    // The album's cover is the picture the user named cover.jpg, not its first.
    EXPECT_TRUE(contains(root, "aryAlbumList[1] = [\"2025\", \"./html/2025/index.html\", "
                               "\"./../pics/2025/cover.jpg\""))
        << root;
    EXPECT_FALSE(contains(root, "aryAlbumList[2]"));

    // Natural order, and every page of an album says where it is, each step a link.
    const std::string kyoto = page("html/2024/京都/index.html");
    EXPECT_LT(kyoto.find("IMG_2.gif"), kyoto.find("IMG_10.gif"));
    const std::string crumbs = "<a href=\"./../../../index.html\" target=\"_top\">写真</a> &gt; "
                               "<a href=\"./../index.html\" target=\"_top\">2024</a> &gt; "
                               "<a href=\"./index.html\" target=\"_top\" aria-current=\"page\">"
                               "京都</a> <a class=\"up\" href=\"./../index.html\"";
    for (const char* name : {"index.html", "list.html", "pict.html"}) {
        EXPECT_TRUE(contains(page("html/2024/京都/" + std::string(name)), crumbs)) << name;
    }
    // Neighbours among its siblings, and link 0 back up.
    const std::string list = page("html/2024/京都/list.html");
    EXPECT_TRUE(contains(list, "<a class=\"link0\" href=\"./../index.html\"")) << list;
    EXPECT_TRUE(contains(list, "<a class=\"link2\" href=\"../夏休み/index.html\"")) << list;
    const std::string year = page("html/2024/index.html");
    EXPECT_TRUE(contains(year, "aryMenuList[0] = \"京都,./京都/index.html,")) << year;
    EXPECT_TRUE(contains(year, "aryAlbumList[1] = [\"夏休み\", \"./夏休み/index.html\"")) << year;
    // Each folder's own filelist.csv gives its captions.
    EXPECT_TRUE(contains(page("html/2025/index.html"), "Cover caption"));
    bool listed = false;
    for (const std::string& file : result.files.written) {
        listed = listed || file == dir / "out/html/2024/夏休み/pict.html";
    }
    EXPECT_TRUE(listed);
}

/// A 4x3 JPEG whose EXIF block says it was taken at `date` ("YYYY:MM:DD hh:mm:ss").
std::string jpegTakenAt(const std::string& date) {
    std::string tiff("MM\0\x2A\0\0\0\x08", 8);
    // IFD0: one entry, the Exif IFD at 26; the Exif IFD: DateTimeOriginal, its text at 44.
    tiff += std::string("\0\x01\x87\x69\0\x04\0\0\0\x01\0\0\0\x1A\0\0\0\0", 18);
    tiff += std::string("\0\x01\x90\x03\0\x02\0\0\0\x14\0\0\0\x2C\0\0\0\0", 18);
    tiff += date + std::string(1, '\0');
    const std::string app1 = std::string("Exif\0\0", 6) + tiff;
    const auto size = static_cast<unsigned char>(app1.size() + 2);
    std::string jpeg("\xFF\xD8\xFF\xE1\0", 5);
    jpeg += static_cast<char>(size);
    jpeg += app1;
    jpeg += std::string("\xFF\xC0\0\x11\x08\0\x03\0\x04\x03\x01\x11\0\x02\x11\0\x03\x11\0", 19);
    return jpeg + "\xFF\xD9";
}

TEST_F(FolderTreeRun, DateOrderPutsItemsAndAlbumsInTheOrderTheyWereTaken) {
    // By name: a before b, IMG_1 before IMG_2. By date: b's picture was taken in 2019; in a,
    // IMG_2.gif has no date and its file time (2020) comes before IMG_1's EXIF date (2023).
    dir.write("pics/a/IMG_1.jpg", jpegTakenAt("2023:06:07 08:09:10"));
    picture("a/IMG_2.gif");
    dir.write("pics/b/x.jpg", jpegTakenAt("2019:01:02 03:04:05"));
    picture("top.gif");
    const auto sixYearsAgo = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 6);
    fs::last_write_time(dir / "pics/a/IMG_2.gif", sixYearsAgo);

    for (const int order : {0, 1}) {
        SCOPED_TRACE(order);
        settings.OptionTreeOrder = order;
        run();
        ASSERT_TRUE(result.done) << result.failure;
        const std::string root = page("index.html");
        const std::string a = page("html/a/index.html");
        const std::string aList = page("html/a/list.html");
        const bool byDate = order == 1;
        EXPECT_EQ(root.find("aryAlbumList[0] = [\"b\"") != std::string::npos, byDate) << root;
        EXPECT_EQ(a.find("IMG_2.gif") < a.find("IMG_1.jpg"), byDate) << a;
        // The neighbours follow the order shown: a's previous album is b by date.
        EXPECT_EQ(contains(aList, "<a class=\"link1\" href=\"../b/index.html\""), byDate) << aList;
    }
}

/// The TIFF structure of jpegTakenAt: IFD0 leads to an Exif IFD with DateTimeOriginal.
std::string tiffTakenAt(const std::string& date) {
    const std::string jpeg = jpegTakenAt(date);
    return jpeg.substr(12, static_cast<std::size_t>(static_cast<unsigned char>(jpeg[5])) - 8);
}

std::string be32(std::size_t n) {
    return {static_cast<char>(n >> 24U), static_cast<char>(n >> 16U), static_cast<char>(n >> 8U),
            static_cast<char>(n)};
}

std::string le32(std::size_t n) {
    return {static_cast<char>(n), static_cast<char>(n >> 8U), static_cast<char>(n >> 16U),
            static_cast<char>(n >> 24U)};
}

TEST(DateOrder, PngWebpAndTiffAreOrderedByTheirExifDateNotTheirFileTime) {
    test::TempDir dir;
    const std::string tiff = tiffTakenAt("2021:03:04 05:06:07");
    // A PNG with its eXIf chunk after the header, a WebP with its EXIF chunk ("Exif\0\0" and
    // the TIFF structure), a TIFF file: taken in 2021, 2019 and 2020.
    const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + be32(13) + "IHDR" +
                            std::string(13, '\0') + "CRC!" + be32(tiff.size()) + "eXIf" + tiff +
                            "CRC!" + be32(0) + "IEND" + "CRC!";
    std::string exif = std::string("Exif\0\0", 6) + tiffTakenAt("2019:01:02 03:04:05");
    if (exif.size() % 2 != 0) {
        exif += '\0';
    }
    const std::string webpBody = "WEBP" + std::string("VP8X") + le32(10) + std::string(10, '\0') +
                                 "EXIF" + le32(exif.size()) + exif;
    dir.write("pics/a.png", png);
    dir.write("pics/b.webp", "RIFF" + le32(webpBody.size()) + webpBody);
    dir.write("pics/c.tif", tiffTakenAt("2020:07:08 09:10:11"));
    dir.write("pics/d.gif", test::gifBytes(2, 2));
    // File times in the opposite order, the picture without a date the oldest of all.
    const auto now = fs::file_time_type::clock::now();
    const std::vector<std::string> names{"a.png", "b.webp", "c.tif", "d.gif"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        fs::last_write_time(dir / ("pics/" + names[i]),
                            now - std::chrono::hours(24 * 365 * static_cast<int>(i + 8)));
    }
    Album album;
    for (const std::string& name : names) {
        album.items.add(listedItem(dir / "pics", name, ItemKind::Picture));
    }
    orderItemsByDate(album, [] { return false; });
    std::vector<std::string> order;
    for (const Item& item : album.items) {
        order.push_back(item.name() + " " + item.orderDate);
    }
    // The GIF has only its file time, eleven years ago.
    ASSERT_EQ(order.size(), 4U);
    EXPECT_TRUE(order[0].starts_with("d.gif ")) << order[0];
    EXPECT_EQ(order[1], "b.webp 2019-01-02 03:04:05");
    EXPECT_EQ(order[2], "c.tif 2020-07-08 09:10:11");
    EXPECT_EQ(order[3], "a.png 2021-03-04 05:06:07");
}

TEST_F(FolderTreeRun, FoldersAStrangerNamedGetSafeFoldersAndTheRestIsMade) {
    const std::vector<std::string> hostile = {"a<b",       "q\"uote", "hash#1", "per%41", "what?",
                                              "new\nline", "bad\xff", "Photos", "photos", "thumbs"};
    for (const std::string& name : hostile) {
        picture(name + "/a.gif");
    }
    // 40 levels deep.
    std::string deep = "d";
    for (int level = 1; level < 40; ++level) {
        deep += "/d";
    }
    picture(deep + "/a.gif");
    // A link loop inside the picture folder, a link out of it, a link to a folder already
    // made, and a link that leads nowhere but round.
    dir.mkdir("outside");
    dir.write("outside/x.gif", test::gifBytes(2, 2));
    ASSERT_EQ(::symlink((dir / "pics").c_str(), (dir / "pics/Photos/up").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "pics/away").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "pics/photos").c_str(), (dir / "pics/zz-again").c_str()), 0);
    ASSERT_EQ(::symlink("circle", (dir / "pics/circle").c_str()), 0);
    const std::vector<std::string> messages = run();
    ASSERT_TRUE(result.done) << result.failure << "\n" << messages.back();

    const std::string html = dir / "out/html/";
    for (const char* made : {"a_b", "q_uote", "hash_1", "per_41", "what_", "new_line", "bad_",
                             "Photos", "photos~2", "thumbs~2"}) {
        EXPECT_TRUE(fs::exists(html + made + "/index.html")) << made;
    }
    std::string deepOut = html + deep;
    EXPECT_TRUE(fs::exists(deepOut + "/list.html"));
    EXPECT_FALSE(fs::exists(html + "away"));
    EXPECT_FALSE(fs::exists(html + "zz-again"));
    EXPECT_FALSE(fs::exists(html + "Photos/up"));
    // The names stay the folders' own where they are shown.
    const std::string root = page("index.html");
    EXPECT_TRUE(contains(root, "[\"a\\u003cb\", \"./html/a_b/index.html\"")) << root;
    EXPECT_TRUE(contains(root, "[\"new\\nline\"")) << root;
    EXPECT_TRUE(contains(root, "[\"bad\\ufffd\"")) << root;
    // The link out and the circle are named at the end; what they are not is not.
    EXPECT_TRUE(contains(result.items, dir / "pics/away")) << result.items;
    EXPECT_TRUE(contains(result.items, dir / "pics/circle")) << result.items;
    EXPECT_FALSE(contains(result.items, "zz-again")) << result.items;
}

TEST_F(FolderTreeRun, EachAlbumTakesItsThumbnailsFromTheSameSubFolderOfTheThumbnailFolder) {
    picture("top.gif");
    picture("2024/a.gif");
    picture("2024/京都/b.gif");
    picture("2025/c.gif");
    // Ready-made thumbnails of their own size; 2025 has no sub-folder in the thumbnail folder,
    // and the thumbnail folder inside the picture folder is never an album.
    for (const char* name : {"top.gif", "2024/a.gif", "2024/京都/b.gif"}) {
        dir.write("pics/ready/" + std::string(name), test::gifBytes(8, 6));
    }
    settings.OptionSamD = 1;
    settings.gstrSamPath = dir / "pics/ready";
    run();
    // The album without its thumbnails is left out and named, as a single gallery without its
    // thumbnail folder is refused; the rest is made, with no copies.
    EXPECT_TRUE(contains(result.items, dir / "pics/2025")) << result.items;
    EXPECT_FALSE(fs::exists(dir / "out/html/2025"));
    EXPECT_FALSE(fs::exists(dir / "out/html/ready"));
    EXPECT_FALSE(fs::exists(dir / "out/html/2024/京都/thumbs"));
    EXPECT_TRUE(contains(page("html/list.html"), "../pics/ready/top.gif"))
        << page("html/list.html");
    EXPECT_TRUE(contains(page("html/2024/list.html"), "../pics/ready/2024/a.gif"))
        << page("html/2024/list.html");
    const std::string kyoto = page("html/2024/京都/list.html");
    EXPECT_TRUE(contains(kyoto, "../pics/ready/2024/京都/b.gif")) << kyoto;

    // A thumbnail missing from its sub-folder leaves that album out as well.
    fs::remove(dir / "pics/ready/2024/京都/b.gif");
    run();
    EXPECT_TRUE(contains(result.items, dir / "pics/2024/京都")) << result.items;
    EXPECT_TRUE(fs::exists(dir / "out/html/2024/list.html"));
}

/// Asks the run to stop once the status line names `album`.
class StopAtAlbum : public test::RecordingSink {
  public:
    explicit StopAtAlbum(std::string album) : album_(std::move(album)) {}
    void message(const std::string& text) override {
        test::RecordingSink::message(text);
        stop_ = stop_ || text == album_;
    }
    bool stopRequested() const override { return stop_; }

  private:
    std::string album_;
    bool stop_ = false;
};

TEST_F(FolderTreeRun, HeadersReadAheadOfTheirAlbumStayWithItAndAStopEndsThem) {
    // Each album's headers are read while the album before it is made: every album shows its
    // own pictures' sizes in its own order, and the picture that cannot be read is the
    // failure of its own album alone.
    for (int k = 0; k < 6; ++k) {
        const std::string album = "a" + std::to_string(k);
        for (int j = 0; j < 3; ++j) {
            dir.write("pics/" + album + "/p" + std::to_string(j) + ".gif",
                      test::gifBytes(10 + k, 20 + j));
        }
    }
    dir.write("pics/a3/bad.gif", "GIF8");
    run();
    ASSERT_TRUE(result.done) << result.failure;
    for (int k = 0; k < 6; ++k) {
        const std::string index = page("html/a" + std::to_string(k) + "/index.html");
        const std::string width = "," + std::to_string(10 + k) + ",";
        for (int j = 0; j < 3; ++j) {
            EXPECT_TRUE(contains(index, width + std::to_string(20 + j) + ",p" + std::to_string(j)))
                << k << index;
        }
        EXPECT_LT(index.find(",p0"), index.find(",p2")) << k;
        EXPECT_EQ(contains(index, ",0,0,bad"), k == 3) << k;
        const std::string other = "," + std::to_string(k == 0 ? 11 : 10) + ",20,p0";
        EXPECT_FALSE(contains(index, other)) << k;
    }

    // Albums with Live Photos and no copies: each motion is unfolded into its album's list
    // and folded back before the pages, so those albums are read when their turn comes.
    settings.CheckMedia = true;
    ASSERT_TRUE(test::shell("ffmpeg -nostdin -y -loglevel error -f lavfi -i "
                            "testsrc=size=64x48:rate=10 -t 1 -c:v libx264 -pix_fmt yuv420p '" +
                            (dir / "pics/a0/live.mov") + "' && convert -size 30x40 xc:teal '" +
                            (dir / "pics/a0/live.jpg") + "'"));
    for (int k = 1; k < 6; ++k) {
        for (const char* name : {"live.mov", "live.jpg"}) {
            fs::copy_file(dir / ("pics/a0/" + std::string(name)),
                          dir / ("pics/a" + std::to_string(k) + "/" + name));
        }
    }
    run();
    ASSERT_TRUE(result.done) << result.failure;
    for (int k = 0; k < 6; ++k) {
        const std::string index = page("html/a" + std::to_string(k) + "/index.html");
        EXPECT_TRUE(contains(index, "," + std::to_string(10 + k) + ",20,p0")) << k << index;
        EXPECT_TRUE(contains(index, ",30,40,live")) << k << index;
        EXPECT_FALSE(contains(index, "live.mov")) << k << index;
    }

    // Stopped while a2 is made, with a3's headers being read: the run ends, stopped, and
    // makes no album after it.
    fs::remove_all(dir / "out");
    dir.mkdir("out");
    StopAtAlbum stop("a2");
    result = runMake(settings, {}, portableProgramFiles(dir / "prog"), stop);
    EXPECT_TRUE(result.stopped);
    EXPECT_FALSE(result.done);
    EXPECT_TRUE(fs::exists(dir / "out/html/a1/index.html"));
    EXPECT_FALSE(fs::exists(dir / "out/html/a3/list.html"));
    EXPECT_EQ(stop.messages.back(), "中止しました");
}

TEST_F(FolderTreeRun, CopiesCheckedAheadOfTheirAlbumStayWithItAndNothingIsMissed) {
    // Each album's record, copy names and picture stamps are read while the album before it is
    // made, and its headers by a copy of its names: every album shows its own pictures and
    // copies, a change made before the run is seen, and a copy that went is made again.
    settings.CheckReduce = true;
    const auto jpeg = [this](const std::string& name, int width, int height) {
        return "convert -size " + std::to_string(width) + "x" + std::to_string(height) +
               " xc:teal '" + (dir / ("pics/" + name)) + "'";
    };
    std::string convert = "true";
    for (int k = 0; k < 6; ++k) {
        dir.mkdir("pics/a" + std::to_string(k));
        for (int j = 0; j < 3; ++j) {
            convert += " && " + jpeg("a" + std::to_string(k) + "/p" + std::to_string(j) + ".jpg",
                                     10 + k, 20 + j);
        }
    }
    ASSERT_TRUE(test::shell(convert));
    const auto shows = [this](int k, int j, int width, int height) {
        const std::string album = "html/a" + std::to_string(k) + "/";
        const std::string name = "p" + std::to_string(j);
        const std::string size = std::to_string(width) + "," + std::to_string(height);
        return contains(page(album + "index.html"), "," + size + "," + name) &&
               contains(page(album + "list.html"), "<img src=\"./thumbs/" + name +
                                                       ".jpg\" srcset=\"./thumbs/2x/" + name +
                                                       ".jpg 2x\" width=" + std::to_string(width) +
                                                       " height=" + std::to_string(height) + " ");
    };
    run();
    ASSERT_TRUE(result.done) << result.failure;
    run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_TRUE(result.files.written.empty());
    for (int k = 0; k < 6; ++k) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_TRUE(shows(k, j, 10 + k, 20 + j)) << k << j << page("html/a0/list.html");
        }
    }

    // Changed before the run: a picture of a4, a copy of a3 gone; a1 gains a picture that
    // cannot be reduced, which fails the run at its end, naming a1 alone.
    ASSERT_TRUE(test::shell(jpeg("a4/p1.jpg", 30, 31)));
    ASSERT_TRUE(fs::remove(dir / "out/html/a3/view/p2.jpg"));
    dir.write("pics/a1/bad.jpg", "not a picture");
    const std::vector<std::string> messages = run();
    EXPECT_FALSE(result.done);
    EXPECT_EQ(messages.back().rfind("作成に失敗しました [a1]", 0), 0U) << messages.back();
    EXPECT_TRUE(shows(4, 1, 30, 31));
    EXPECT_TRUE(shows(5, 1, 15, 21));
    EXPECT_TRUE(fs::exists(dir / "out/html/a3/view/p2.jpg"));
    EXPECT_TRUE(wrote("html/a3/view/p2.jpg"));
    EXPECT_FALSE(wrote("html/a5/"));

    // Stopped while a2 is made, with a3 checked ahead: the run ends, stopped, and nothing of
    // a3 is made, not even its folder.
    fs::remove_all(dir / "out");
    dir.mkdir("out");
    StopAtAlbum stop("a2");
    result = runMake(settings, {}, portableProgramFiles(dir / "prog"), stop);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(stop.messages.back(), "中止しました");
    EXPECT_TRUE(fs::exists(dir / "out/html/a1/thumbs/p0.jpg"));
    EXPECT_FALSE(fs::exists(dir / "out/html/a3"));
}

TEST_F(FolderTreeRun, TenThousandSiblingFoldersAreWalkedQuickly) {
    const std::string pics = dir / "pics/f";
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(::mkdir((pics + std::to_string(i)).c_str(), 0755), 0);
    }
    picture("f9999/a.gif");
    picture("f10/a.gif");
    const auto start = std::chrono::steady_clock::now();
    run();
    ASSERT_TRUE(result.done) << result.failure;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    const std::string root = page("index.html");
    // Natural order: f10 before f9999.
    EXPECT_TRUE(contains(root, "aryAlbumList[0] = [\"f10\"")) << root;
    EXPECT_TRUE(contains(root, "aryAlbumList[1] = [\"f9999\"")) << root;
}

TEST_F(FolderTreeRun, TemplatesOfEarlierVersionsStillMakeEveryAlbum) {
    // Templates that know nothing of albums: their pages are made, nothing is left unfilled
    // that they had, and the album block's names never appear.
    dir.write("prog/html/index.html", "<h1>MV_TITLE</h1>\r\nMV_LIST_ARRAY\r\n");
    dir.write("prog/html/list.html", "<a href=\"MV_LINK_URL0\">MV_LINK_NAME0</a>\r\n"
                                     "<!-- MV_TABLE_START -->\r\n<img src=\"MV_IMG_SRC\">\r\n"
                                     "<!-- MV_TABLE_END -->\r\n");
    dir.write("prog/html/pict.html", "<p>MV_SUB_TITLE</p>\r\n");
    dir.write("prog/html/menu.html", "MV_MENU_ARRAY\r\n");
    picture("2024/a.gif");
    picture("2024/b/c.gif");
    const std::vector<std::string> messages = run();
    ASSERT_TRUE(result.done) << result.failure << messages.back();
    const std::string year = page("html/2024/index.html");
    EXPECT_TRUE(contains(year, "aryPicList[0]")) << year;
    EXPECT_FALSE(contains(year, "MV_")) << year;
    EXPECT_TRUE(contains(page("html/2024/list.html"), "<a href=\"./../../index.html\">"));
    EXPECT_TRUE(contains(page("index.html"), "aryMenuList[0] = \"2024,./html/2024/index.html,"))
        << page("index.html");
}

} // namespace
} // namespace mivo
