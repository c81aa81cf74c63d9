// Which galleries show HEIC, PNG, WebP, TIFF and videos: only those whose copies Mivo makes
// itself, since only a copy can show such an item in a browser.

#include <gtest/gtest.h>

#include "generation/plan/gallery_job.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"

namespace mivo {
namespace {

Settings singleGallery(bool reduce, bool media, bool thumbnailFolder) {
    Settings s;
    s.OptionMenu = 1;
    s.OptionSamD = thumbnailFolder ? 1 : 0;
    s.gstrSamPath = "/albums/thumbs";
    s.CheckReduce = reduce;
    s.CheckMedia = media;
    return s;
}

TEST(PlanRunMedia, SingleGalleryShowsMediaOnlyWithItsOwnCopies) {
    struct Case {
        bool reduce, media, thumbnailFolder, expected;
    };
    for (const Case& c : {Case{true, true, false, true}, Case{false, true, false, false},
                          Case{true, false, false, false}, Case{true, true, true, false}}) {
        const RunPlan run = planRun(singleGallery(c.reduce, c.media, c.thumbnailFolder), {});
        ASSERT_EQ(run.galleries.size(), 1U);
        EXPECT_EQ(run.galleries[0].media, c.expected)
            << "reduce " << c.reduce << " media " << c.media << " thumbs " << c.thumbnailFolder;
    }
}

TEST(PlanRunMedia, MenuRowWithThumbnailsShowsNoMedia) {
    Settings s;
    s.OptionMenu = 0;
    s.CheckReduce = true;
    s.CheckMedia = true;
    const std::vector<GalleryEntry> rows = {{"夏", "/albums/summer", ""},
                                            {"冬", "/albums/winter", "/albums/winter/thumbs"}};
    RunPlan run = planRun(s, rows);
    ASSERT_EQ(run.galleries.size(), 2U);
    EXPECT_TRUE(run.galleries[0].media);
    EXPECT_FALSE(run.galleries[1].media);

    // Without copies no row shows them, whatever the media box says.
    s.CheckReduce = false;
    run = planRun(s, rows);
    EXPECT_FALSE(run.galleries[0].media);
    EXPECT_FALSE(run.galleries[1].media);
}

} // namespace
} // namespace mivo
