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
    // Pages in folders of one letter (whose names a file's link can reach), deep pages linking
    // their own copy folders and their neighbours', and steps a link encodes.
    const char* pages[] = {"/out/index.html",       "/out/list.html",   "/out/sub/list.html",
                           "/p/list.html",          "/p/x/list.html",   "/list.html",
                           "/out/./a/../list.html", "/P/list.html",     "rel/list.html",
                           "/out/a/list.html",      "/out/b/list.html", "/x/y/z/list.html",
                           "/o%t/b#/list.html"};
    const char* folders[] = {"/p",
                             "/p/",
                             "/p/x",
                             "/out",
                             "/out/sub/thumbs",
                             "/",
                             "/out/../p/.",
                             "/P",
                             "rel/pics",
                             "",
                             "/p//q",
                             "/ou",
                             "/out/a",
                             "/out/a/thumbs/2x",
                             "/x/q/view",
                             "/x/y/z/thumbs//",
                             "/o%t/b#/thumbs",
                             "/o%t",
                             "/out/sub"};
    const char* names[] = {"IMG_0001.jpg",
                           "写真 1.jpg",
                           "a%b#c?.JPG",
                           "q\"u<o>te.jpg",
                           "bad\xff.jpg",
                           "x",
                           "a",
                           "b",
                           "z",
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

// Text for a script string and a link, escaped or encoded where it must be and otherwise
// as it is; the append forms add exactly that to what is there.
TEST(PageText, ScriptDataAndLinkPathsEscapeOnlyWhatTheyMust) {
    EXPECT_EQ(escapeScriptData("./thumbs/IMG_0001.jpg.webp"), "./thumbs/IMG_0001.jpg.webp");
    EXPECT_EQ(escapeScriptData("a\\b\"c'd&e<f>g\r\nh\xE2\x80\xA8i\xE2\x80\xA9j\xE2\x82\xACk"),
              "a\\\\b\\u0022c\\u0027d\\u0026e\\u003cf\\u003eg\\r\\nh\\u2028i\\u2029j\xE2\x82\xACk");
    std::string out = "x=";
    appendScriptData(out, "p<q");
    appendScriptData(out, "r");
    EXPECT_EQ(out, "x=p\\u003cqr");
    EXPECT_EQ(encodeLinkPath("./thumbs/2x/IMG_1.jpg"), "./thumbs/2x/IMG_1.jpg");
    EXPECT_EQ(encodeLinkPath("a%b#c?d\"e<f>g\\h\x7Fi\x01j k\xE5\x86\x99\xFF"),
              "a%25b%23c%3Fd%22e%3Cf%3Eg%5Ch%7Fi%01j k\xE5\x86\x99%FF");
    // A character cut short at the end, or broken in the middle, is encoded byte by byte.
    EXPECT_EQ(encodeLinkPath("\xE5\x86"), "%E5%86");
    EXPECT_EQ(encodeLinkPath("\xE5x\x99"), "%E5x%99");
    out = "./";
    appendLinkPath(out, "#1");
    EXPECT_EQ(out, "./%231");
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
