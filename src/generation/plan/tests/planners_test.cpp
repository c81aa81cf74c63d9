// The trees the planners make from the settings: a single folder is a root without children;
// the gallery list is a root of albums only whose children are its rows. And which albums
// show HEIC, PNG, WebP, TIFF and videos: only those whose copies Mivo makes itself, since only
// a copy can show such an item in a browser.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generation/plan/planners.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"

namespace mivo {
namespace {

Settings singleGallery(bool reduce, bool media, bool thumbnailFolder) {
    Settings s;
    s.OptionMenu = 1;
    s.gstrIndexPath = "/site/index.html";
    s.gstrPicPath = "/albums/all";
    s.OptionSamD = thumbnailFolder ? 1 : 0;
    s.gstrSamPath = "/albums/thumbs";
    s.CheckReduce = reduce;
    s.CheckMedia = media;
    return s;
}

TEST(Planners, ASingleFolderIsARootWithoutChildrenAtTheIndexPage) {
    Settings s = singleGallery(false, false, false);
    s.gstrHtmlPath = "pages";
    s.TextTitleS = "<b>S</b>";
    s.gstrStartName = "b.jpg";
    s.CheckUseFileList = true;
    s.TextSamWidth = 120;
    const RunPlan plan = planRun(s, {{"ignored", "/elsewhere", ""}});
    ASSERT_EQ(plan.refusal, nullptr);
    const Album& root = *plan.root;
    EXPECT_TRUE(root.showsFolder);
    EXPECT_TRUE(root.children.empty());
    EXPECT_EQ(root.parent, nullptr);
    EXPECT_FALSE(root.place.ownFolder);
    EXPECT_EQ(root.place.page, "/site/index.html");
    EXPECT_EQ(root.place.subFolder, "pages");
    EXPECT_EQ(root.job.picPath, "/albums/all");
    EXPECT_EQ(root.job.name, "<b>S</b>");
    EXPECT_FALSE(root.job.namesAreText); // the user's own setting, markup and all
    EXPECT_EQ(root.job.startName, "b.jpg");
    EXPECT_TRUE(root.job.useFilelist);
    EXPECT_TRUE(root.job.strictFilelist);
    EXPECT_TRUE(root.job.upPage.empty()); // link 0 is the user's
    EXPECT_EQ(root.job.barShares, 0);
    EXPECT_EQ(plan.top.page, "/site/index.html");
    EXPECT_EQ(plan.top.subFolder, "pages");
    EXPECT_EQ(plan.pages.thumbWidth, 120);
    EXPECT_EQ(pageFolderOf(plan.top), "/site/pages");
}

TEST(Planners, TheGalleryListIsARootWhoseChildrenAreItsRowsInNumberedFolders) {
    Settings s;
    s.OptionMenu = 0;
    s.gstrMenuPath = "/site/menu.html";
    s.gstrMenuHtmlPath = "g";
    s.gstrStartName = "a.jpg";
    s.CheckUseFileList = true;
    const std::vector<GalleryEntry> rows = {{"夏", "/albums/summer", ""},
                                            {"秋", "/albums/autumn", "/albums/autumn/t"},
                                            {"冬", "/albums/winter", ""}};
    const RunPlan plan = planRun(s, rows);
    ASSERT_EQ(plan.refusal, nullptr);
    const Album& root = *plan.root;
    EXPECT_FALSE(root.showsFolder);
    EXPECT_EQ(root.childrenPage, "/site/menu.html");
    EXPECT_EQ(root.childrenSubFolder, "g");
    EXPECT_EQ(plan.top.page, "/site/menu.html");
    EXPECT_EQ(plan.top.subFolder, "g");
    ASSERT_EQ(root.children.size(), 3U);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Album& child = *root.children[i];
        SCOPED_TRACE(rows[i].strListName);
        EXPECT_EQ(child.parent, &root);
        EXPECT_TRUE(child.showsFolder);
        EXPECT_TRUE(child.children.empty());
        EXPECT_EQ(child.job.number, static_cast<int>(i + 1));
        EXPECT_EQ(child.job.barShares, 3);
        EXPECT_EQ(child.job.name, rows[i].strListName);
        EXPECT_EQ(child.job.picPath, rows[i].strPicPath);
        EXPECT_TRUE(child.job.namesAreText);
        EXPECT_EQ(child.job.upPage, "/site/menu.html");
        EXPECT_TRUE(child.job.startName.empty()); // the start picture is the single folder's
        EXPECT_TRUE(child.job.useFilelist);
        EXPECT_FALSE(child.job.strictFilelist);
        EXPECT_TRUE(child.place.ownFolder);
        EXPECT_EQ(child.place.page, "/site/menu.html");
        EXPECT_EQ(child.place.subFolder, "g");
    }
    EXPECT_EQ(root.children[0]->place.folderName, "001");
    EXPECT_EQ(root.children[2]->place.folderName, "003");
    // The neighbours are links 1 and 2; the first has no previous one, the last no next one.
    const AlbumJob& middle = root.children[1]->job;
    EXPECT_EQ(middle.link1Name, "夏");
    EXPECT_EQ(middle.link1Url, "../001/index.html");
    EXPECT_EQ(middle.link2Name, "冬");
    EXPECT_EQ(middle.link2Url, "../003/index.html");
    EXPECT_TRUE(root.children[0]->job.link1Url.empty());
    EXPECT_TRUE(root.children[2]->job.link2Url.empty());
    EXPECT_TRUE(middle.useThumbnails);
    EXPECT_EQ(middle.samPath, "/albums/autumn/t");
}

TEST(Planners, SettingsThatMakeNoRunAreRefusedWithWhyInOrder) {
    struct Case {
        int mode;
        const char* indexOrMenu;
        const char* picPath;
        std::vector<GalleryEntry> rows;
        const char* refusal;
    };
    const std::vector<Case> cases = {
        {1, "", "/p", {}, kMessNoIndexPath},
        {1, "/site/", "/p", {}, kMessNoIndexPath},
        {1, "/site/index.html", "", {}, kMessNoPicPath},
        // An empty list is told before a missing menu page.
        {0, "", "/p", {}, kMessNoFolder},
        {0, "", "/p", {{"a", "/p", ""}}, kMessNoMenuPath},
        {0, "/site/menu.html", "", {{"a", "/p", ""}}, nullptr},
    };
    for (const Case& c : cases) {
        Settings s;
        s.OptionMenu = c.mode;
        s.gstrIndexPath = c.indexOrMenu;
        s.gstrMenuPath = c.indexOrMenu;
        s.gstrPicPath = c.picPath;
        SCOPED_TRACE(std::string(c.indexOrMenu) + " | " + c.picPath);
        const RunPlan plan = planRun(s, c.rows);
        // By text: each file may hold its own copy of a message (the sanitizers keep them apart).
        EXPECT_EQ(plan.refusal == nullptr, c.refusal == nullptr);
        if (plan.refusal != nullptr && c.refusal != nullptr) {
            EXPECT_STREQ(plan.refusal, c.refusal);
        }
        if (c.refusal != nullptr) {
            EXPECT_TRUE(plan.root->children.empty());
        }
    }
}

TEST(Planners, SingleGalleryShowsMediaOnlyWithItsOwnCopies) {
    struct Case {
        bool reduce, media, thumbnailFolder, expected;
    };
    for (const Case& c : {Case{true, true, false, true}, Case{false, true, false, false},
                          Case{true, false, false, false}, Case{true, true, true, false}}) {
        const RunPlan run = planRun(singleGallery(c.reduce, c.media, c.thumbnailFolder), {});
        EXPECT_EQ(run.root->job.media, c.expected)
            << "reduce " << c.reduce << " media " << c.media << " thumbs " << c.thumbnailFolder;
        EXPECT_EQ(run.root->job.makeCopies, c.reduce && !c.thumbnailFolder);
    }
}

TEST(Planners, MenuRowWithThumbnailsShowsNoMedia) {
    Settings s;
    s.OptionMenu = 0;
    s.gstrMenuPath = "/site/index.html";
    s.CheckReduce = true;
    s.CheckMedia = true;
    const std::vector<GalleryEntry> rows = {{"夏", "/albums/summer", ""},
                                            {"冬", "/albums/winter", "/albums/winter/thumbs"}};
    RunPlan run = planRun(s, rows);
    ASSERT_EQ(run.root->children.size(), 2U);
    EXPECT_TRUE(run.root->children[0]->job.media);
    EXPECT_FALSE(run.root->children[1]->job.media);

    // Without copies no row shows them, whatever the media box says.
    s.CheckReduce = false;
    run = planRun(s, rows);
    EXPECT_FALSE(run.root->children[0]->job.media);
    EXPECT_FALSE(run.root->children[1]->job.media);
}

} // namespace
} // namespace mivo
