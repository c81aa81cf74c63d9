#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/log.h"
#include "common/paths.h"
#include "generation/pages/pages.h"
#include "generation/pages/template.h"
#include "generation/pictures/thumb_size.h"
#include "support/page_fixture.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;

// A real 3 x 2 baseline JPEG.
const char kJpeg3x2[] =
    "ffd8ffe000104a46494600010100000100010000ffdb004300100b0c0e0c0a100e0d0e1211101318281a1816"
    "16183123251d283a333d3c3933383740485c4e404457453738506d51575f626768673e4d71797064785c6567"
    "63ffdb0043011112121815182f1a1a2f63423842636363636363636363636363636363636363636363636363"
    "6363636363636363636363636363636363636363636363636363ffc000110800020003030122000211010311"
    "01ffc4001500010100000000000000000000000000000005ffc4001410010000000000000000000000000000"
    "0000ffc4001501010100000000000000000000000000000506ffc40014110100000000000000000000000000"
    "000000ffda000c03010002110311003f008a00b5e3ffd9";

std::string fromHex(const char* hex) {
    std::string out;
    for (std::size_t i = 0; hex[i] != '\0' && hex[i + 1] != '\0'; i += 2) {
        out.push_back(static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    }
    return out;
}

void putLe(std::string& out, unsigned long value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// A complete two-colour BMP of the given size.
std::string bmpBytes(unsigned long width, unsigned long height) {
    const unsigned long rowBytes = (width + 31) / 32 * 4;
    const unsigned long dataSize = rowBytes * height;
    std::string out = "BM";
    putLe(out, 62 + dataSize, 4);
    putLe(out, 0, 4);
    putLe(out, 62, 4);
    putLe(out, 40, 4);
    putLe(out, width, 4);
    putLe(out, height, 4);
    putLe(out, 1, 2);
    putLe(out, 1, 2);
    putLe(out, 0, 4);
    putLe(out, dataSize, 4);
    putLe(out, 2835, 4);
    putLe(out, 2835, 4);
    putLe(out, 2, 4);
    putLe(out, 0, 4);
    out.append("\0\0\0\0\xFF\xFF\xFF\0", 8);
    out.append(dataSize, '\0');
    return out;
}

// A 1 x 1 GIF.
const std::string kGif1x1("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF"
                          "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B",
                          35);

class ListPage : public test::PageContextFixture {
  protected:
    void SetUp() override {
        fs::create_directories(dir_ / "site" / "pics");
        settings_.gstrPicPath = (dir_ / "site" / "pics").string();
        settings_.gstrSamPath = (dir_ / "site" / "thumbs").string();
        settings_.OptionSamD = 0;
        settings_.CheckSlideShow = true;
        settings_.TextAllListWidth = "4";
    }
    void addPicture(const std::string& name, const std::string& bytes,
                    const std::string& info = "") {
        if (!bytes.empty()) {
            writeFile(fs::path(settings_.gstrPicPath) / name, bytes);
        }
        Item item;
        item.file = ClassFileData{name, info};
        pictures_.add(std::move(item));
    }
    std::string listPath() const { return (dir_ / "site" / "list.html").string(); }

    // Gallery `no`: the single gallery (0) shown as "sub", or row `no` of the gallery list,
    // with links n1/u1 and n2/u2.
    AlbumJob job(int no = 0, bool filelist = false) const {
        AlbumJob out;
        out.number = no;
        if (no == 0) {
            out.name = "sub";
            out.picPath = settings_.gstrPicPath;
            out.useThumbnails = settings_.OptionSamD == 1;
            out.samPath = settings_.gstrSamPath;
            out.startName = settings_.gstrStartName;
        } else {
            // A row of the gallery list: listed on the menu page, sharing the bar.
            const GalleryEntry& row = rows_[static_cast<std::size_t>(no - 1)];
            out.name = row.strListName;
            out.picPath = row.strPicPath;
            out.useThumbnails = !row.strSamPath.empty();
            out.samPath = row.strSamPath;
            out.namesAreText = true;
            out.upPage = settings_.gstrMenuPath;
            out.barShares = static_cast<int>(rows_.size());
        }
        out.link1Name = "n1";
        out.link1Url = "u1";
        out.link2Name = "n2";
        out.link2Url = "u2";
        out.useFilelist = filelist;
        return out;
    }

    // Writes the list page of `gallery` from the template already in place, with the run's
    // services `run` (the fixture's, without a page store, unless given).
    void write(const AlbumJob& gallery, const RunServices* run = nullptr) {
        Album album;
        album.job = gallery;
        album.paths = paths();
        // The items as the check lists them in the gallery's folder.
        album.items = std::move(pictures_);
        for (Item& item : album.items) {
            item.path = cmAddPath(gallery.picPath, item.name(), kPathSeparator);
        }
        table_ = ListTableResult();
        result_ = AlbumResult();
        mainMakeListHtml(run != nullptr ? *run : run_, planRun(settings_, rows_).pages, album,
                         nullptr, table_, ok_, result_);
        pictures_ = std::move(album.items);
    }

    // The picture entries the table made for the index page.
    std::vector<std::string> entries() const { return table_.pictures.entries; }
    OutputPaths paths() const {
        OutputPaths out;
        out.strListPath = page_;
        out.strIndexLink = "./index.html";
        return out;
    }

    // Writes the list page of gallery `no` from the template and gives back its bytes.
    std::string make(const std::string& templateText, int no = 0, bool filelist = false) {
        writeTemplate("list.html", templateText);
        write(job(no, filelist));
        return readFile(page_);
    }

    // Every bar value set, in order.
    std::vector<double> barValues() const {
        std::vector<double> out;
        for (const auto& [value, max] : sink_.bar) {
            out.push_back(value);
        }
        return out;
    }

    PictureList pictures_;
    ListTableResult table_;
    AlbumResult result_;
    std::string page_ = (dir_ / "site" / "list.html").string();
    bool ok_ = false;
};

TEST_F(ListPage, TableBlockIsWrittenOncePerPictureAndStartNumberFollowsIt) {
    page_ = listPath();
    addPicture("a.bmp", bmpBytes(640, 480));
    addPicture("b.gif", kGif1x1);
    addPicture("c.jpg", fromHex(kJpeg3x2));
    settings_.gstrStartName = "C.JPG";
    const std::string page = make("<p>MV_START_NO</p>\r\n"
                                  "MV_TABLE_START\r\n"
                                  "<a MV_IMG_LINK>MV_IMG_NAME cols=MV_ALL_LIST\r\n"
                                  "<img src=\"mv_img_src\" MV_IMG_SIZE>\r\n"
                                  "MV_TABLE_END\r\n"
                                  "<p>mv_start_no MV_ALL_LIST</p>\r\n");
    EXPECT_TRUE(ok_);
    EXPECT_EQ(page, "<p></p>\r\n"
                    "\r\n<a 0>a cols=4\r\n<img src=\"./pics/a.bmp\" width=160 height=120>\r\n"
                    "\r\n<a 1>b cols=4\r\n<img src=\"./pics/b.gif\" width=160 height=160>\r\n"
                    "\r\n<a 2>c cols=4\r\n<img src=\"./pics/c.jpg\" width=160 height=107>\r\n"
                    "<p>2 4</p>\r\n");
    EXPECT_EQ(entries(), (std::vector<std::string>{"./pics/a.bmp,640,480,a", "./pics/b.gif,1,1,b",
                                                   "./pics/c.jpg,3,2,c"}));
    EXPECT_EQ(table_.startNo, 2);
}

TEST_F(ListPage, PagesOfOneRunComeOutAsEachPageOnItsOwnWhicheverValuesChangeBetweenThem) {
    // The pages of a run share what their lines came out as the last time; a value that
    // differs from album to album, or brings in another placeholder's name, still reaches
    // its page, and the same lines again come out as before.
    page_ = listPath();
    settings_.TextTitle = "T";
    settings_.TextBody = "B";
    settings_.TextSlideTime = "7";
    writeTemplate("list.html", "MV_SUB_TITLE|MV_BODY|mv_title\r\n"
                               "<!-- MV_ALBUM_START -->\r\n"
                               "MV_ALBUM_PATH|MV_ALBUM_UP|MV_SUB_TITLE\r\n"
                               "<!-- MV_ALBUM_END -->\r\n"
                               "MV_SLIDE_START\r\nMV_SLIDE_TIME MV_INDEX_HTML\r\nMV_SLIDE_END\r\n"
                               "MV_TABLE_START\r\n[MV_IMG_NAME MV_IMG_LINK]\r\nMV_TABLE_END\r\n"
                               "<p>MV_START_NO</p>\r\n");
    addPicture("a.bmp", bmpBytes(4, 4));
    addPicture("b.bmp", bmpBytes(8, 8));
    struct Shown {
        std::string name;
        std::string start;
        bool inTree;
    };
    const std::vector<Shown> albums = {{"one", "", false},        {"two MV_BODY", "b.bmp", true},
                                       {"two MV_BODY", "", true}, {"one", "", true},
                                       {"<one>", "b.bmp", false}, {"one", "", false}};
    PageStore store(files_);
    const RunServices shared{files_, status_, 0, &store};
    const std::string root = (dir_ / "index.html").string();
    std::vector<std::string> pages;
    for (const Shown& a : albums) {
        AlbumJob gallery = job();
        gallery.name = a.name;
        gallery.startName = a.start;
        gallery.inTree = a.inTree;
        gallery.namesAreText = a.inTree;
        gallery.trail = {{"top", root}, {a.name, (dir_ / "site" / "index.html").string()}};
        write(gallery);
        const std::string alone = readFile(page_);
        write(gallery, &shared);
        std::string failure;
        ASSERT_TRUE(ok_);
        ASSERT_TRUE(store.placeAll(failure)) << failure;
        EXPECT_EQ(readFile(page_), alone) << a.name;
        pages.push_back(alone);
    }
    EXPECT_EQ(pages[0], "one|B|T\r\n7 ./index.html\r\n\r\n[a 0]\r\n\r\n[b 1]\r\n<p>-1</p>\r\n");
    EXPECT_EQ(pages[1], "two B|B|T\r\n"
                        "<a href=\"./../index.html\" target=\"_top\">top</a> &gt; <a "
                        "href=\"./index.html\" target=\"_top\" aria-current=\"page\">two "
                        "MV_BODY</a>|./../index.html|two B\r\n"
                        "7 ./index.html\r\n\r\n[a 0]\r\n\r\n[b 1]\r\n<p>1</p>\r\n");
    EXPECT_EQ(pages[4].substr(0, 9), "<one>|B|T");
}

TEST_F(ListPage, StartNumberIsMinusOneWithoutAStartPictureOfTheGalleryAndInMenuMode) {
    page_ = listPath();
    addPicture("a.bmp", "");
    // An empty block still writes one empty line per picture.
    const std::string text = "MV_TABLE_START\r\nMV_TABLE_END\r\nMV_START_NO\r\n";
    EXPECT_EQ(make(text), "\r\n-1\r\n");
    settings_.gstrStartName = "zzz.bmp";
    EXPECT_EQ(make(text), "\r\n-1\r\n");
    settings_.gstrStartName = "A.bmp";
    EXPECT_EQ(make(text), "\r\n0\r\n");
    rows_ = {{"one", settings_.gstrPicPath, ""}};
    EXPECT_EQ(make(text, 1), "\r\n-1\r\n");
}

TEST_F(ListPage, ThumbnailsShowAtOwnSizeWhileEntriesPointAtFullSizePictures) {
    page_ = listPath();
    settings_.OptionSamD = 1;
    addPicture("a.bmp", bmpBytes(640, 480));
    addPicture("b&\"c.bmp", bmpBytes(8, 8));
    EXPECT_EQ(make("MV_TABLE_START\r\n[MV_IMG_SRC][MV_IMG_SIZE][mv_img_href]\r\nMV_TABLE_END\r\n"),
              "\r\n[./thumbs/a.bmp][][./pics/a.bmp]\r\n"
              "\r\n[./thumbs/b&amp;%22c.bmp][][./pics/b&amp;%22c.bmp]\r\n");
    EXPECT_EQ(table_.pictures.entries[0], "./pics/a.bmp,640,480,a");
}

TEST_F(ListPage, FullSizePicturesAreScaledIntoTheBoxRoundingHalvesToEven) {
    page_ = listPath();
    addPicture("p80x60.bmp", bmpBytes(80, 60));
    addPicture("p1000x10.bmp", bmpBytes(1000, 10));
    addPicture("p10x110.bmp", bmpBytes(10, 110)); // rate 145, width 14.5
    addPicture("p5x323.bmp", bmpBytes(5, 323));   // rate 50, width 2.5, height 161.5
    addPicture("missing.bmp", "");                // cannot be measured: the box size
    EXPECT_EQ(make("MV_TABLE_START\r\nMV_IMG_NAME MV_IMG_SIZE\r\nMV_TABLE_END\r\n"),
              "\r\np80x60 width=160 height=120\r\n"
              "\r\np1000x10 width=160 height=2\r\n"
              "\r\np10x110 width=14 height=160\r\n"
              "\r\np5x323 width=2 height=162\r\n"
              "\r\nmissing width=160 height=160\r\n");
}

TEST_F(ListPage, FilelistSizesScaleTheBoxAndEntriesKeepZeroSizesAndTheRawRow) {
    page_ = listPath();
    settings_.TextFilelistWidth = 2;
    settings_.TextFilelistHeight = 3;
    addPicture("a.bmp", bmpBytes(8, 8), "Beach,640,480");
    addPicture("b.bmp", bmpBytes(8, 8), "Beach,640");
    addPicture("c.bmp", bmpBytes(8, 8), "");
    addPicture("d.bmp", bmpBytes(8, 8), "x,6400,4800"); // rate 2.5 rounds to 2
    addPicture("e.bmp", bmpBytes(8, 8), "x,abc,10");
    EXPECT_EQ(make("MV_TABLE_START\r\nMV_IMG_SIZE\r\nMV_TABLE_END\r\n", 0, true),
              "\r\nwidth=160 height=120\r\n"
              "\r\nwidth=160 height=160\r\n"
              "\r\nwidth=160 height=160\r\n"
              "\r\nwidth=128 height=96\r\n"
              "\r\nwidth=160 height=160\r\n");
    EXPECT_EQ(table_.pictures.entries[0], "./pics/a.bmp,0,0,a,Beach,640,480");
    EXPECT_EQ(table_.pictures.entries[2], "./pics/c.bmp,0,0,c,");
}

TEST_F(ListPage, QuotedFilelistRowsGiveSizesFromTheirFields) {
    page_ = listPath();
    settings_.TextFilelistWidth = 2;
    settings_.TextFilelistHeight = 3;
    addPicture("a.bmp", bmpBytes(8, 8), "\"Kyoto, dawn\",640,480");
    pictures_[0].file.infoQuoted = true;
    pictures_[0].file.infoFields = {"Kyoto, dawn", "640", "480"};
    addPicture("b.bmp", bmpBytes(8, 8), "Beach,640,480");
    EXPECT_EQ(make("MV_TABLE_START\r\nMV_IMG_SIZE\r\nMV_TABLE_END\r\n", 0, true),
              "\r\nwidth=160 height=120\r\n"
              "\r\nwidth=160 height=120\r\n");
    EXPECT_EQ(table_.pictures.entries[0], "./pics/a.bmp,0,0,a,\"Kyoto, dawn\",640,480");
}

TEST_F(ListPage, SingleModeRescalesTheBarAndStepsItOncePerPicture) {
    page_ = listPath();
    for (int i = 1; i <= 40; ++i) {
        addPicture("p" + std::to_string(i) + ".bmp", "");
    }
    make("MV_TABLE_START\r\nx\r\nMV_TABLE_END\r\n");
    EXPECT_EQ(status_.barMax(), 50);
    EXPECT_EQ(status_.barValue(), 40);
    ASSERT_EQ(sink_.messages.size(), 40u);
    EXPECT_EQ(sink_.messages[2], "p3 (3/40)");
    EXPECT_EQ(sink_.messages[39], "p40 (40/40)");

    pictures_.clear();
    addPicture("a.bmp", "");
    addPicture("b.bmp", "");
    make("MV_TABLE_START\r\nx\r\nMV_TABLE_END\r\n");
    EXPECT_EQ(status_.barMax(), 2); // 2.5 rounds to the even 2
    EXPECT_EQ(status_.barValue(), 2);
}

TEST_F(ListPage, MenuModeGivesEachGalleryAnEqualShareOfTheBar) {
    rows_ = {{"g1", "", ""}, {"g2", settings_.gstrPicPath, ""}, {"g3", "", ""}, {"g4", "", ""}};
    page_ = (dir_ / "site" / "002" / "list.html").string();
    fs::create_directories(dir_ / "site" / "002");
    for (int i = 1; i <= 10; ++i) {
        addPicture("p" + std::to_string(i) + ".bmp", "");
    }
    make("MV_TABLE_START\r\nx\r\nMV_TABLE_END\r\n", 2);
    EXPECT_EQ(barValues(), (std::vector<double>{30, 32, 34, 36, 38, 42, 44, 46, 48, 50}));
    EXPECT_EQ(sink_.messages, std::vector<std::string>{"g2"});
}

TEST_F(ListPage, MenuModeLinksBackToTheMenuAndRecordsTheFirstImage) {
    settings_.OptionMenu = 0;
    settings_.gstrMenuPath = (dir_ / "site" / "index.html").string();
    fs::create_directories(dir_ / "site" / "g2");
    writeFile(dir_ / "site" / "g2" / "a.bmp", bmpBytes(640, 480));
    rows_ = {{"one", (dir_ / "site" / "g1").string(), (dir_ / "site" / "t1").string()},
             {"two", (dir_ / "site" / "g2").string(), ""}};
    fs::create_directories(dir_ / "site" / "002");
    page_ = (dir_ / "site" / "002" / "list.html").string();
    addPicture("a.bmp", "");
    addPicture("b.bmp", "");
    EXPECT_EQ(make("MV_LINK_URL0 MV_LINK_NAME1 MV_LINK_URL1\r\n", 2), "./../index.html n1 u1\r\n");
    make("MV_TABLE_START\r\nMV_TABLE_END\r\n", 2);
    EXPECT_EQ(table_.menuItem, "./g2/a.bmp,width=160 height=120");

    pictures_.clear();
    addPicture("a.bmp", "");
    page_ = (dir_ / "site" / "001" / "list.html").string();
    fs::create_directories(dir_ / "site" / "001");
    rows_[0].strPicPath = (dir_ / "site" / "g2").string();
    make("MV_TABLE_START\r\n[MV_IMG_SRC]\r\nMV_TABLE_END\r\n", 1);
    EXPECT_EQ(table_.menuItem, "./t1/a.bmp,");
    EXPECT_EQ(readFile(page_), "\r\n[./../t1/a.bmp]\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"./../g2/a.bmp,640,480,a"});
}

TEST_F(ListPage, GalleryNamesAreTextInMenuModeWhileSingleModeSettingsKeepTheirMarkup) {
    // "<!--" as a sub-title would comment out the rest of the page, thumbnails and all.
    const std::string name = "<!--<script>&";
    const std::string text = "MV_SUB_TITLE|MV_LINK_NAME1|MV_LINK_NAME2\r\n";
    writeTemplate("list.html", text);
    rows_ = {{name, settings_.gstrPicPath, ""}};
    settings_.OptionMenu = 0;
    settings_.gstrMenuPath = (dir_ / "site" / "index.html").string();
    AlbumJob menuJob = job(1);
    menuJob.link1Name = name;
    menuJob.link1Url = "u1";
    menuJob.link2Name = name;
    menuJob.link2Url = "u2";
    write(menuJob);
    EXPECT_EQ(readFile(page_), "&lt;!--&lt;script&gt;&amp;|&lt;!--&lt;script&gt;&amp;|"
                               "&lt;!--&lt;script&gt;&amp;\r\n");
    settings_.OptionMenu = 1;
    AlbumJob singleJob = job(0);
    singleJob.name = "<b>S</b>";
    singleJob.link1Name = "<i>1</i>";
    singleJob.link1Url = "u1";
    singleJob.link2Name = "<i>2</i>";
    singleJob.link2Url = "u2";
    write(singleJob);
    EXPECT_EQ(readFile(page_), "<b>S</b>|<i>1</i>|<i>2</i>\r\n");
}

TEST_F(ListPage, CopiedLinesSubstituteInOrderIgnoringCaseAndLeaveUnknownNames) {
    page_ = listPath();
    settings_.TextTitle = "T MV_BODY mv_sub_title";
    settings_.TextBody = "B";
    settings_.TextLinkName = {"n0", "x", "x"};
    settings_.TextLinkURL = {"http://h/?a=1#b%", "x", "x"};
    settings_.TextSlideTime = "7";
    EXPECT_EQ(
        make("mv_title|MV_SUB_TITLE|MV_BODY\r\n"
             "MV_START_NO,mv_index_html,MV_LINK_NAME0,MV_LINK_NAME1,MV_LINK_NAME2,"
             "MV_LINK_URL0,MV_LINK_URL1,MV_LINK_URL2,MV_ALL_LIST,MV_IMG_NAME,MV_SLIDE_TIME\r\n"
             "MV_SLIDE_START\r\nMV_SLIDE_TIME mv_index_html MV_TITLE\r\nMV_SLIDE_END\r\n"),
        "T B sub|sub|B\r\n"
        ",./index.html,n0,n1,n2,http://h/?a=1#b%,u1,u2,4,MV_IMG_NAME,MV_SLIDE_TIME\r\n"
        "7 ./index.html MV_TITLE\r\n");
    settings_.CheckSlideShow = false;
    EXPECT_EQ(make("MV_SLIDE_START\r\nMV_SLIDE_TIME\r\nMV_SLIDE_END\r\nA\r\n"), "A\r\n");
}

TEST_F(ListPage, LinksFromPathsPercentEncodeAndNamesOutsideCp932BecomeReferences) {
    settings_.gstrPicPath = (dir_ / "site" / "p%?#").string();
    fs::create_directories(settings_.gstrPicPath);
    page_ = listPath();
    addPicture("a#1.bmp", bmpBytes(640, 480));
    addPicture("caf\xC3\xA9.bmp", bmpBytes(640, 480));
    EXPECT_EQ(make("MV_TABLE_START\r\n<img src=\"MV_IMG_SRC\">MV_IMG_NAME\r\nMV_TABLE_END\r\n"),
              "\r\n<img src=\"./p%25%3F%23/a%231.bmp\">a#1\r\n"
              "\r\n<img src=\"./p%25%3F%23/caf&#233;.bmp\">caf&#233;\r\n");
    EXPECT_EQ(table_.pictures.entries[0], "./p%25%3F%23/a%231.bmp,640,480,a#1");
}

TEST_F(ListPage, FileNamesAreTextInTheTableAndLinksReachTheirExactBytes) {
    page_ = listPath();
    // Each name would run script, break its thumbnail or lose its bytes if written raw.
    addPicture("<svg onload=alert(1)>.bmp", bmpBytes(2, 2));
    addPicture("x\" onerror=\"alert(1).bmp", bmpBytes(2, 2));
    addPicture("a&amp;.bmp", bmpBytes(2, 2));
    addPicture("back\\slash\ttab.bmp", bmpBytes(2, 2));
    addPicture("\x82\xA0\xFF.bmp", bmpBytes(2, 2)); // cp932 bytes, not UTF-8
    // A name that holds a placeholder's name is a name: it is never filled in.
    addPicture("mv_img_name MV_IMG_LINK.bmp", bmpBytes(2, 2));
    EXPECT_EQ(make("MV_TABLE_START\r\n<img src=\"MV_IMG_SRC\" alt=\"MV_IMG_NAME\">MV_IMG_NAME\r\n"
                   "MV_TABLE_END\r\n"),
              "\r\n<img src=\"./pics/%3Csvg onload=alert(1)%3E.bmp\" "
              "alt=\"&lt;svg onload=alert(1)&gt;\">&lt;svg onload=alert(1)&gt;\r\n"
              "\r\n<img src=\"./pics/x%22 onerror=%22alert(1).bmp\" "
              "alt=\"x&quot; onerror=&quot;alert(1)\">x&quot; onerror=&quot;alert(1)\r\n"
              "\r\n<img src=\"./pics/a&amp;amp;.bmp\" alt=\"a&amp;amp;\">a&amp;amp;\r\n"
              "\r\n<img src=\"./pics/back%5Cslash%09tab.bmp\" "
              "alt=\"back\\slash\ttab\">back\\slash\ttab\r\n"
              "\r\n<img src=\"./pics/%82%A0%FF.bmp\" alt=\"&#65533;&#65533;&#65533;\">"
              "&#65533;&#65533;&#65533;\r\n"
              "\r\n<img src=\"./pics/mv_img_name MV_IMG_LINK.bmp\" "
              "alt=\"mv_img_name MV_IMG_LINK\">mv_img_name MV_IMG_LINK\r\n");
    // The entries keep the raw name: the index page escapes it for its script.
    EXPECT_EQ(table_.pictures.entries[2], "./pics/a&amp;.bmp,2,2,a&amp;");
    EXPECT_EQ(table_.pictures.entries[4], "./pics/%82%A0%FF.bmp,2,2,\x82\xA0\xFF");
}

TEST_F(ListPage, HugePicturesAndAbsurdBoxSizesStillGiveVisibleSizesWithoutOverflow) {
    page_ = listPath();
    writeFile(dir_ / "site" / "filelist.csv", "");
    settings_.TextFilelistWidth = 1;
    settings_.TextFilelistHeight = 2;
    addPicture("wide.bmp", "", "40000,300");
    addPicture("huge.bmp", "", "9223372036854775807,9223372036854775807");
    addPicture("tall.bmp", "", "1,9000000000000000000");
    const std::string table = "MV_TABLE_START\r\nMV_IMG_NAME MV_IMG_SIZE\r\nMV_TABLE_END\r\n";
    // The whole-percent step rounds to 0 here: the exact ratio is used, no side below 1.
    EXPECT_EQ(make(table, 0, true), "\r\nwide width=160 height=1\r\n"
                                    "\r\nhuge width=160 height=160\r\n"
                                    "\r\ntall width=1 height=160\r\n");
    settings_.TextSamWidth = 100000000000000000;
    settings_.TextSamHeight = -5;
    EXPECT_EQ(make(table, 0, true), "\r\nwide width=133 height=1\r\n"
                                    "\r\nhuge width=1 height=1\r\n"
                                    "\r\ntall width=1 height=1\r\n");
    addPicture("unknown.bmp", "", "");
    EXPECT_NE(make(table, 0, true).find("unknown width=100000 height=1\r\n"), std::string::npos);
    // A picture of unknown size shows at the box's size, each side clamped.
    EXPECT_EQ(thumbnailSize(0, 0, 0, 160), (PixelSize{1, 160}));
    EXPECT_EQ(thumbnailSize(0, 5, 100001, 160), (PixelSize{100000, 160}));
}

TEST_F(ListPage, MissingTemplateRemovesTheOldPageAndReportsFailure) {
    page_ = listPath();
    writeFile(page_, "old");
    addPicture("a.bmp", "");
    AlbumJob bare;
    bare.picPath = settings_.gstrPicPath;
    write(bare);
    EXPECT_FALSE(ok_);
    EXPECT_FALSE(fs::exists(page_));
    EXPECT_NE(result_.failure.find("list.html"), std::string::npos);
    // A publisher has to take the page off the server too.
    EXPECT_EQ(result_.files.removed, std::vector<std::string>{page_});
    EXPECT_TRUE(result_.files.written.empty());
}

TEST_F(ListPage, TableWritesItsRecordAndOnePictureLinePerPictureToTheLog) {
    const fs::path log = dir_ / "Mivo.log";
    setLogPath(log.string());
    setLogLevel(1);
    page_ = listPath();
    addPicture("a.bmp", bmpBytes(4, 4));
    make("MV_TABLE_START\r\nX\r\nMV_TABLE_END\r\n");
    const std::string text = decodeCp932(readFile(log));
    const std::string picture = (dir_ / "site" / "pics" / "a.bmp").string();
    EXPECT_NE(text.find("[mainMakeListTable] Start Method \r\ninstrTable=[\r\nX]\r\ninstrFile=[" +
                        page_ + "]\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[mainMakeListTable] <" + picture + ">\r\n"), std::string::npos);
    EXPECT_NE(text.find("[mainMakeListHtml] \xE2\x96\xBD"
                        "Start Method\xE2\x96\xBD\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("[mainMakeListHtml] \xE2\x96\xB3"
                        "End Method\xE2\x96\xB3 True\r\n"),
              std::string::npos);
}

} // namespace
} // namespace mivo
