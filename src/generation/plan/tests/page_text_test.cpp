#include "generation/plan/page_text.h"

#include <gtest/gtest.h>

#include <string>

#include "common/paths.h"

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

} // namespace
} // namespace mivo
