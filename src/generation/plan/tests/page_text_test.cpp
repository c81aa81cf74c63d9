#include "generation/plan/page_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/log.h"

#include "common/paths.h"
#include "generation/plan/item_kind.h"

namespace mivo {
namespace {

// A page's links to the files of a folder, worked out once per folder, are the links
// relativeLink makes for each file on its own.
TEST(FolderLinks, AgreeWithRelativeLinkWhereverPageAndFolderAre) {
    const char* pages[] = {"/out/index.html",       "/out/list.html", "/out/sub/list.html",
                           "/p/list.html",          "/p/x/list.html", "/list.html",
                           "/out/./a/../list.html", "/P/list.html",   "rel/list.html"};
    const char* folders[] = {"/p",          "/p/", "/p/x",     "/out", "/out/sub/thumbs", "/",
                             "/out/../p/.", "/P",  "rel/pics", "",     "/p//q",           "/ou"};
    const char* names[] = {"IMG_0001.jpg",
                           "写真 1.jpg",
                           "a%b#c?.JPG",
                           "q\"u<o>te.jpg",
                           "bad\xff.jpg",
                           "x",
                           "list.html",
                           "sub",
                           ".",
                           "..",
                           "",
                           "e\xe2\x80\xa8.jpg"};
    for (const char* page : pages) {
        for (const char* folder : folders) {
            const FolderLinks links(page, folder);
            for (const char* name : names) {
                EXPECT_EQ(links.to(name), relativeLink(page, cmAddPath(folder, name, "/")))
                    << page << " -> " << folder << " / " << name;
            }
        }
    }
}

// The links made straight from plain paths are the links made step by step (as they are for a
// log that takes every line), whatever the page's name and steps and the target's.
TEST(RelativeLink, PlainPathsGiveTheLinksMadeStepByStep) {
    const char* pages[] = {
        "/out/sub/list.html", "/out/sub/index.html",  "/out/sub/..",         "/out/sub/.",
        "/out/sub/",          "/out/./sub/list.html", "/out/sub//pict.html", "rel/list.html",
        "list.html",          "/list.html",           "/写真/京\xff/x.html", "/out/sub",
        "/o:/list.html",      "/out/subway/list.html"};
    const char* targets[] = {"/out/index.html",
                             "/out/sub/thumbs/a.jpg",
                             "/out/sub",
                             "/pics/京都/a b.jpg",
                             "/out",
                             "rel/pics/x.jpg",
                             "/",
                             "/out/sub/../x/y.jpg",
                             "list.html",
                             "/out/sub/",
                             "/写真/a%#?.jpg",
                             "/out/subway/a.jpg",
                             "/o:/a.jpg",
                             "/out/su"};
    std::vector<std::string> fresh;
    setLogPath(std::string(testing::TempDir()) + "relative_link_test.log");
    setLogLevel(1);
    for (const char* page : pages) {
        for (const char* target : targets) {
            fresh.push_back(relativeLink(page, target));
        }
    }
    setLogLevel(0);
    setLogPath("");
    std::size_t k = 0;
    for (const char* page : pages) {
        for (const char* target : targets) {
            EXPECT_EQ(relativeLink(page, target), fresh[k++]) << page << " -> " << target;
        }
    }
}

TEST(MediaText, VideoLengthsAndItemKinds) {
    EXPECT_EQ(durationSeconds(12480), "12.48");
    EXPECT_EQ(durationSeconds(7000), "7");
    EXPECT_EQ(durationSeconds(5), "0.005");
    EXPECT_EQ(durationText(0), "0:00");
    EXPECT_EQ(durationText(200), "0:01"); // a video that has any length never shows 0:00
    EXPECT_EQ(durationText(59499), "0:59");
    EXPECT_EQ(durationText(59500), "1:00");
    EXPECT_EQ(durationText(3725000), "1:02:05");
    EXPECT_EQ(itemKindOf("IMG_0001.HEIC", true), ItemKind::MediaPicture);
    EXPECT_EQ(itemKindOf("IMG_0001.HEIC", false), ItemKind::None);
    EXPECT_EQ(itemKindOf("a.JPG", false), ItemKind::Picture);
    EXPECT_EQ(itemKindOf("clip.Mov", true), ItemKind::Video);
    EXPECT_EQ(itemKindOf("-i.mp4", true), ItemKind::Video);
    EXPECT_EQ(itemKindOf("notes.txt", true), ItemKind::None);
    EXPECT_EQ(itemKindOf("mp4", true), ItemKind::None);
    // A media item's entry keeps its name when a quote in it is escaped.
    EXPECT_EQ(cleanPicListElement("./view/a\".png.jpg#original=./a%22.png,1,1,a\",\"x\""),
              "./view/a\\\".png.jpg#original=./a%22.png,1,1,a\\\",x");
}

} // namespace
} // namespace mivo
