// The HEIC・PNG・WebP・動画も載せる box under 縮小画像を作成する: off by default, saved as
// Html/Media, and only to be ticked while Mivo makes its own copies, keeping its value while
// it cannot be.

#include "window_fixture.h"

#include "settings/ini_file.h"

namespace mivo::test {
namespace {

using MediaOptionTest = WindowTest;

TEST_F(MediaOptionTest, OffAndDisabledByDefaultTickedOnlyAfterTheCopies) {
    FormMain& f = load();
    ASSERT_NE(f.display.CheckMedia, nullptr);
    f.TabStripMivo->select(1); // the display-options pane
    EXPECT_EQ(f.display.CheckMedia->caption(), "HEIC・PNG・WebP・動画も載せる");
    EXPECT_NE(f.display.CheckMedia->toolTipText().find("ffmpeg"), std::string::npos);
    EXPECT_NE(f.display.CheckMedia->toolTipText().find("libvips"), std::string::npos);
    EXPECT_EQ(f.display.CheckMedia->value(), 0);
    EXPECT_FALSE(f.display.CheckMedia->effectiveEnabled());
    // A click on the disabled box does nothing.
    f.display.CheckMedia->click();
    EXPECT_EQ(f.display.CheckMedia->value(), 0);

    f.display.CheckReduce->click();
    EXPECT_TRUE(f.display.CheckMedia->effectiveEnabled());
    f.display.CheckMedia->click();
    EXPECT_TRUE(f.currentSettings().CheckMedia);
    f.Form_Unload();
    EXPECT_EQ(iniEntries(f.iniPath()), (std::vector<std::string>{"Html/Reduce=1", "Html/Media=1"}));
}

TEST_F(MediaOptionTest, StoredValueTicksTheBoxAndIsKeptWhileTheCopiesAreOff) {
    writeIni("[Html]\nReduce=1\nMedia=1\n");
    FormMain& f = load();
    f.TabStripMivo->select(1);
    EXPECT_EQ(f.display.CheckMedia->value(), 1);
    EXPECT_TRUE(f.display.CheckMedia->effectiveEnabled());
    EXPECT_TRUE(f.currentSettings().CheckMedia);

    f.display.CheckReduce->click();
    EXPECT_FALSE(f.display.CheckMedia->enabled());
    EXPECT_EQ(f.display.CheckMedia->value(), 1);
    f.display.CheckReduce->click();
    EXPECT_TRUE(f.display.CheckMedia->enabled());
    EXPECT_EQ(f.display.CheckMedia->value(), 1);

    // Whenever the copies box cannot be used, neither can this one.
    f.display.CheckReduce->setEnabled(false);
    EXPECT_FALSE(f.display.CheckMedia->enabled());
    f.display.CheckReduce->setEnabled(true);
    EXPECT_TRUE(f.display.CheckMedia->enabled());
    f.display.FrameUseSam->setEnabled(false);
    EXPECT_FALSE(f.display.CheckMedia->effectiveEnabled());
    f.display.FrameUseSam->setEnabled(true);

    f.display.CheckReduce->click();
    f.Form_Unload();
    // Only the copies changed; the media choice stays stored for the next time.
    EXPECT_EQ(iniEntries(f.iniPath()), (std::vector<std::string>{"Html/Reduce=0", "Html/Media=1"}));
}

TEST_F(MediaOptionTest, StoredWithoutTheCopiesStaysTickedButDisabled) {
    writeIni("[Html]\nMedia=1\n");
    FormMain& f = load();
    f.TabStripMivo->select(1);
    EXPECT_EQ(f.display.CheckMedia->value(), 1);
    EXPECT_FALSE(f.display.CheckMedia->enabled());
    f.display.CheckReduce->click();
    EXPECT_TRUE(f.display.CheckMedia->enabled());
    EXPECT_EQ(f.display.CheckMedia->value(), 1);
}

TEST_F(MediaOptionTest, LivePhotoBoxIsOnByDefaultAndFollowsTheMediaBox) {
    FormMain& f = load();
    f.TabStripMivo->select(1);
    ASSERT_NE(f.display.CheckLivePhoto, nullptr);
    EXPECT_EQ(f.display.CheckLivePhoto->caption(), "Live Photo を1つにまとめる");
    EXPECT_EQ(f.display.CheckLivePhoto->value(), 1);
    EXPECT_FALSE(f.display.CheckLivePhoto->enabled());
    f.display.CheckReduce->click();
    EXPECT_FALSE(f.display.CheckLivePhoto->enabled());
    f.display.CheckMedia->click();
    EXPECT_TRUE(f.display.CheckLivePhoto->effectiveEnabled());
    f.display.CheckLivePhoto->click();
    EXPECT_FALSE(f.currentSettings().CheckLivePhoto);
    // The copies off: both boxes keep their values, neither can be used.
    f.display.CheckReduce->click();
    EXPECT_FALSE(f.display.CheckLivePhoto->enabled());
    EXPECT_EQ(f.display.CheckLivePhoto->value(), 0);
    f.display.CheckReduce->click();
    EXPECT_TRUE(f.display.CheckLivePhoto->enabled());
    f.Form_Unload();
    EXPECT_EQ(iniEntries(f.iniPath()),
              (std::vector<std::string>{"Html/Reduce=1", "Html/Media=1", "Html/LivePhoto=0"}));
}

} // namespace
} // namespace mivo::test
