#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/message_box.h"
#include "common/paths.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::TempDir;

TEST(AddPath, JoinsWithOneSeparator) {
    struct Row {
        std::string folder, name, separator, expected;
    };
    for (const Row& r : {Row{"/a/", "b.txt", "/", "/a/b.txt"}, Row{"/a", "b.txt", "/", "/a/b.txt"},
                         Row{"", "b", "/", "/b"}, Row{"/a", "/b", "/", "/a//b"},
                         Row{"C:\\a", "b", "\\", "C:\\a\\b"}}) {
        EXPECT_EQ(cmAddPath(r.folder, r.name, r.separator), r.expected)
            << r.folder << " + " << r.name;
    }
}

TEST(SplitPath, SplitsAtTheLastSeparator) {
    struct Row {
        std::string path, folder, name;
    };
    // An empty path leaves both parts as they were.
    for (const Row& r :
         {Row{"", "keep", "keep"}, Row{"/a/b.jpg", "/a", "b.jpg"}, Row{"/b.jpg", "", "b.jpg"},
          Row{"b.jpg", "", "b.jpg"}, Row{"/a/", "/a", ""}}) {
        std::string folder = "keep";
        std::string name = "keep";
        cmSplitPath(r.path, true, "/", folder, name);
        EXPECT_EQ(folder, r.folder) << r.path;
        EXPECT_EQ(name, r.name) << r.path;
    }
}

TEST(SplitPath, KeepsAnExistingFolderWholeWhenAskedTo) {
    TempDir dir;
    const std::string sub = dir.mkdir("sub");
    std::string folder;
    std::string name;
    cmSplitPath(sub, false, "/", folder, name);
    EXPECT_EQ(folder, sub);
    EXPECT_EQ(name, "");
    cmSplitPath(sub, true, "/", folder, name);
    EXPECT_EQ(folder, dir.path());
    EXPECT_EQ(name, "sub");
    cmSplitPath(dir / "missing", false, "/", folder, name);
    EXPECT_EQ(folder, dir.path());
    EXPECT_EQ(name, "missing");
}

TEST(RelativePath, LinksFromOnePageToAnotherFile) {
    struct Row {
        std::string from, to, expected;
    };
    const std::vector<Row> rows = {
        // Within and below the same folder.
        {"/web/list.html", "/web/img/a.jpg", "./img/a.jpg"},
        {"/web/list.html", "/web/pict.html", "./pict.html"},
        {"/web/list.html", "/web/写真/a b.jpg", "./写真/a b.jpg"},
        // Up to the common folder; letter case counts ("/Site" is another folder than "/site").
        {"/site/g/001/list.html", "/site/index.html", "./../../index.html"},
        {"/site/g/list.html", "/site/a.jpg", "./../a.jpg"},
        {"/site/pages/list.html", "/site/pics/a.jpg", "./../pics/a.jpg"},
        {"/site/a/list.html", "/Site/a/x.jpg", "./../../Site/a/x.jpg"},
        // Up to the root.
        {"/home/u/web/list.html", "/mnt/pics/a.jpg", "./../../../mnt/pics/a.jpg"},
        {"/index.html", "/pics/a.jpg", "./pics/a.jpg"},
        // The common folder is replaced only at the start.
        {"/a/index.html", "/a/b/a/c.jpg", "./b/a/c.jpg"},
        {"/x/a/p/index.html", "/x/a/q/x/a/c.jpg", "./../q/x/a/c.jpg"},
        // Climbing through folders whose names are not ASCII, or hold bytes that are not UTF-8.
        {"/写真/京都/夏/list.html", "/写真/春/a.jpg", "./../../春/a.jpg"},
        {"/p/\xE5\x86/\xff\xfe/list.html", "/p/q.jpg", "./../../q.jpg"},
        {"/\xE5/x/list.html", "/y/a.jpg", "./../../y/a.jpg"},
        // Windows-shaped paths.
        {"C:\\web\\list.html", "C:\\web\\img\\a.jpg", "./img/a.jpg"},
        {"c:\\site\\g\\001\\list.html", "C:\\site\\index.html", "./../../index.html"},
        {"C:\\web\\list.html", "D:\\pics\\a.jpg", "D:/pics/a.jpg"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(cmRelativePath(r.from, r.to, "/"), r.expected) << r.from << " -> " << r.to;
    }
}

class RecordingBox : public MessageBoxSink {
  public:
    void showMessage(const std::string& text, const std::string& caption) override {
        shown.push_back(caption + ":" + text);
    }
    std::vector<std::string> shown;
};

TEST(GetAllFile, ListsVisibleRegularFilesInFoldedOrder) {
    TempDir dir;
    dir.write("b.jpg", "x");
    dir.write("A.JPG", "x");
    dir.write("a.jpg", "x");
    dir.write("_x.gif", "x");
    dir.write(".hidden.jpg", "x");
    dir.write("写真.jpg", "x");
    dir.mkdir("folder.jpg");
    std::filesystem::create_symlink(dir / "b.jpg", dir / "link.jpg");
    std::filesystem::create_symlink(dir / "folder.jpg", dir / "dirlink");
    std::vector<std::string> files;
    ASSERT_TRUE(cmGetAllFile(dir.path(), files));
    // "_" (0x5F) sorts after the upper-cased letters; exact bytes break the A.JPG/a.jpg tie.
    EXPECT_EQ(files, (std::vector<std::string>{"A.JPG", "a.jpg", "b.jpg", "link.jpg", "_x.gif",
                                               "写真.jpg"}));
}

TEST(VisibleFiles, HiddenNamesAreLeftOutAndTheListingStopsWhenAsked) {
    TempDir dir;
    for (const char* name : {"a.jpg", ".a.jpg", "..b", "b.jpg", "c.jpg"}) {
        dir.write(name, "x");
    }
    std::filesystem::create_symlink(dir / ".a.jpg", dir / "seen.jpg");
    std::filesystem::create_symlink(dir / "a.jpg", dir / ".unseen.jpg");
    std::vector<std::string> all;
    ASSERT_TRUE(listVisibleFiles(dir.path(), [&all](const char* name) {
        all.emplace_back(name);
        return true;
    }));
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg", "seen.jpg"}));
    int calls = 0;
    EXPECT_TRUE(listVisibleFiles(dir.path(), [&calls](const char*) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(listVisibleFiles(dir / "missing", [](const char*) { return true; }));
}

TEST(GetAllFile, OrderIsTheListingOrderForNamesThatDifferInCaseLengthAndSigns) {
    TempDir dir;
    std::vector<std::string> names = {"ab.jpg", "AB.jpg", "aB.jpg", "a_b.jpg", "a.jpg", "A.jpg",
                                      "a~.jpg", "a[.jpg", "a",      "A",       "b",     "é.jpg",
                                      "É.jpg",  "ab",     "abc",    "Ab",      "z1",    "Z10",
                                      "z2",     "~",      "写真"};
    for (const std::string& name : names) {
        dir.write(name, "x");
    }
    std::vector<std::string> files;
    ASSERT_TRUE(cmGetAllFile(dir.path(), files));
    std::sort(names.begin(), names.end(), listingLess);
    EXPECT_EQ(files, names);
}

TEST(GetAllFile, EmptyFolderGivesOneEmptyNameAndMissingFolderShowsTheBox) {
    TempDir dir;
    RecordingBox box;
    setMessageBoxSink(&box);
    std::vector<std::string> files{"untouched"};
    EXPECT_TRUE(cmGetAllFile(dir.path(), files));
    EXPECT_EQ(files, std::vector<std::string>{""});
    files = {"untouched"};
    EXPECT_FALSE(cmGetAllFile(dir / "missing", files));
    EXPECT_EQ(files, std::vector<std::string>{"untouched"});
    setMessageBoxSink(nullptr);
    // The box names the folder and what is wrong with it.
    EXPECT_EQ(box.shown, std::vector<std::string>{"Mivo:致命的エラー: フォルダがありません [" +
                                                  (dir / "missing") + "]"});
}

TEST(Extension, FollowsTheDotRules) {
    EXPECT_EQ(cmGetExt("a.JPEG"), "jpeg");
    EXPECT_EQ(cmGetExt("IMG.JPG"), "jpg");
    EXPECT_EQ(cmGetExt("a.b"), "b");
    EXPECT_EQ(cmGetExt("ab"), "");
    EXPECT_EQ(cmGetExt("a."), "");
    EXPECT_EQ(cmGetExt(".htaccess"), "");
    EXPECT_EQ(cmGetExt("dir.x/file"), "");
    EXPECT_EQ(cmGetExt("dir.x\\file"), "");
    EXPECT_EQ(cmGetExt("写真.jpg"), "jpg");
    EXPECT_EQ(cmGetExt("写.j"), "j"); // three characters, though seven bytes
    EXPECT_EQ(cmCutExt("photo.large.jpg"), "photo.large");
    EXPECT_EQ(cmCutExt("ab"), "ab");
    EXPECT_EQ(cmCutExt("dir.x\\file"), "dir.x\\file");
    EXPECT_EQ(cmCutExt("写真.JPG"), "写真");
}

TEST(NormalizedPath, ResolvesDotStepsAndDoubledSeparatorsAndDropsTheTrailingOne) {
    // The lexical rules of std::filesystem, without a trailing separator (the root keeps its).
    auto expected = [](const std::string& path) {
        std::string out = std::filesystem::path(path).lexically_normal().string();
        while (out.size() > 1 && out.back() == '/') {
            out.pop_back();
        }
        return out;
    };
    for (const std::string path : {"/a/b",
                                   "/a/b/",
                                   "a",
                                   "/",
                                   "//a",
                                   "a//b",
                                   "a/b//",
                                   "a/./b",
                                   "a/../b",
                                   "./a",
                                   "../a",
                                   "/a/b/..",
                                   "/a/b/.",
                                   ".",
                                   "..",
                                   "a/.b/..c/...",
                                   "/p/2024 summer/IMG 1.jpg",
                                   "x\\y/./z",
                                   "/site/pages/../list.html",
                                   "/site/./001/index.html"}) {
        EXPECT_EQ(normalizedPath(path), expected(path)) << path;
    }
    EXPECT_EQ(normalizedPath("/site/pages/../list.html"), "/site/list.html");
    EXPECT_EQ(normalizedPath("a/b/"), "a/b");
    EXPECT_EQ(normalizedPath(""), "");
}

TEST(CanonicalPath, NormalizesAndResolvesLinks) {
    TempDir dir;
    const std::string html = dir.mkdir("html");
    std::filesystem::create_symlink(html, dir / "link");
    const std::string want = std::filesystem::canonical(html).string();
    EXPECT_EQ(canonicalPath(dir.path() + "//html/"), want);
    EXPECT_EQ(canonicalPath(dir.path() + "/./html"), want);
    EXPECT_EQ(canonicalPath(dir / "link"), want);
    EXPECT_EQ(canonicalPath(dir / "link/new/../index.html"), want + "/index.html");
    EXPECT_EQ(canonicalPath(""), "");
}

} // namespace
} // namespace mivo
