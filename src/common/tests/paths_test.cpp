#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>

#include "common/message_box.h"
#include "common/paths.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::TempDir;

TEST(AddPath, JoinsWithOneSeparator) {
    EXPECT_EQ(cmAddPath("/a/", "b.txt", "/"), "/a/b.txt");
    EXPECT_EQ(cmAddPath("/a", "b.txt", "/"), "/a/b.txt");
    EXPECT_EQ(cmAddPath("", "b", "/"), "/b");
    EXPECT_EQ(cmAddPath("/a", "/b", "/"), "/a//b");
    EXPECT_EQ(cmAddPath("C:\\a", "b", "\\"), "C:\\a\\b");
}

TEST(SplitPath, SplitsAtTheLastSeparator) {
    std::string folder = "keep";
    std::string name = "keep";
    cmSplitPath("", true, "/", folder, name);
    EXPECT_EQ(folder, "keep");
    EXPECT_EQ(name, "keep");
    cmSplitPath("/a/b.jpg", true, "/", folder, name);
    EXPECT_EQ(folder, "/a");
    EXPECT_EQ(name, "b.jpg");
    cmSplitPath("/b.jpg", true, "/", folder, name);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(name, "b.jpg");
    cmSplitPath("b.jpg", true, "/", folder, name);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(name, "b.jpg");
    cmSplitPath("/a/", true, "/", folder, name);
    EXPECT_EQ(folder, "/a");
    EXPECT_EQ(name, "");
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

TEST(RelativePath, LinksWithinAndBelowTheSameFolder) {
    EXPECT_EQ(cmRelativePath("/web/list.html", "/web/img/a.jpg", "/"), "./img/a.jpg");
    EXPECT_EQ(cmRelativePath("/web/list.html", "/web/pict.html", "/"), "./pict.html");
    EXPECT_EQ(cmRelativePath("/web/list.html", "/web/写真/a b.jpg", "/"), "./写真/a b.jpg");
}

TEST(RelativePath, ClimbsToTheCommonFolder) {
    EXPECT_EQ(cmRelativePath("/site/g/001/list.html", "/site/index.html", "/"),
              "./../../index.html");
    EXPECT_EQ(cmRelativePath("/site/g/list.html", "/site/a.jpg", "/"), "./../a.jpg");
    EXPECT_EQ(cmRelativePath("/site/pages/list.html", "/site/pics/a.jpg", "/"), "./../pics/a.jpg");
    // Letter case counts: "/Site" is another folder than "/site".
    EXPECT_EQ(cmRelativePath("/site/a/list.html", "/Site/a/x.jpg", "/"), "./../../Site/a/x.jpg");
}

TEST(RelativePath, ClimbsToTheRootFolder) {
    EXPECT_EQ(cmRelativePath("/home/u/web/list.html", "/mnt/pics/a.jpg", "/"),
              "./../../../mnt/pics/a.jpg");
    EXPECT_EQ(cmRelativePath("/index.html", "/pics/a.jpg", "/"), "./pics/a.jpg");
}

TEST(RelativePath, ReplacesTheCommonFolderOnlyAtTheStart) {
    EXPECT_EQ(cmRelativePath("/a/index.html", "/a/b/a/c.jpg", "/"), "./b/a/c.jpg");
    EXPECT_EQ(cmRelativePath("/x/a/p/index.html", "/x/a/q/x/a/c.jpg", "/"), "./../q/x/a/c.jpg");
}

TEST(RelativePath, HandlesWindowsShapedPaths) {
    EXPECT_EQ(cmRelativePath("C:\\web\\list.html", "C:\\web\\img\\a.jpg", "/"), "./img/a.jpg");
    EXPECT_EQ(cmRelativePath("c:\\site\\g\\001\\list.html", "C:\\site\\index.html", "/"),
              "./../../index.html");
    EXPECT_EQ(cmRelativePath("C:\\web\\list.html", "D:\\pics\\a.jpg", "/"), "D:/pics/a.jpg");
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
    std::sort(names.begin(), names.end(), cmListingLess);
    EXPECT_EQ(files, names);
}

TEST(GetAllFile, EmptyFolderGivesOneEmptyNameAndMissingFolderShowsTheBox) {
    TempDir dir;
    RecordingBox box;
    cmSetMessageBoxSink(&box);
    std::vector<std::string> files{"untouched"};
    EXPECT_TRUE(cmGetAllFile(dir.path(), files));
    EXPECT_EQ(files, std::vector<std::string>{""});
    files = {"untouched"};
    EXPECT_FALSE(cmGetAllFile(dir / "missing", files));
    EXPECT_EQ(files, std::vector<std::string>{"untouched"});
    cmSetMessageBoxSink(nullptr);
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
    EXPECT_EQ(cmCanonicalPath(dir.path() + "//html/"), want);
    EXPECT_EQ(cmCanonicalPath(dir.path() + "/./html"), want);
    EXPECT_EQ(cmCanonicalPath(dir / "link"), want);
    EXPECT_EQ(cmCanonicalPath(dir / "link/new/../index.html"), want + "/index.html");
    EXPECT_EQ(cmCanonicalPath(""), "");
}

} // namespace
} // namespace mivo
