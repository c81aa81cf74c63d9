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
    ASSERT_NE(f.CheckMedia, nullptr);
    f.TabStripMivo->select(1); // the display-options pane
    EXPECT_EQ(f.CheckMedia->caption(), "HEIC・PNG・WebP・動画も載せる");
    EXPECT_NE(f.CheckMedia->toolTipText().find("ffmpeg"), std::string::npos);
    EXPECT_NE(f.CheckMedia->toolTipText().find("libvips"), std::string::npos);
    EXPECT_EQ(f.CheckMedia->value(), 0);
    EXPECT_FALSE(f.CheckMedia->effectiveEnabled());
    // A click on the disabled box does nothing.
    f.CheckMedia->click();
    EXPECT_EQ(f.CheckMedia->value(), 0);

    f.CheckReduce->click();
    EXPECT_TRUE(f.CheckMedia->effectiveEnabled());
    f.CheckMedia->click();
    EXPECT_TRUE(f.currentSettings().CheckMedia);
    f.Form_Unload();
    EXPECT_EQ(iniEntries(f.iniPath()), (std::vector<std::string>{"Html/Reduce=1", "Html/Media=1"}));
}

TEST_F(MediaOptionTest, StoredValueTicksTheBoxAndIsKeptWhileTheCopiesAreOff) {
    writeIni("[Html]\nReduce=1\nMedia=1\n");
    FormMain& f = load();
    f.TabStripMivo->select(1);
    EXPECT_EQ(f.CheckMedia->value(), 1);
    EXPECT_TRUE(f.CheckMedia->effectiveEnabled());
    EXPECT_TRUE(f.currentSettings().CheckMedia);

    f.CheckReduce->click();
    EXPECT_FALSE(f.CheckMedia->enabled());
    EXPECT_EQ(f.CheckMedia->value(), 1);
    f.CheckReduce->click();
    EXPECT_TRUE(f.CheckMedia->enabled());
    EXPECT_EQ(f.CheckMedia->value(), 1);

    // Whenever the copies box cannot be used, neither can this one.
    f.CheckReduce->setEnabled(false);
    EXPECT_FALSE(f.CheckMedia->enabled());
    f.CheckReduce->setEnabled(true);
    EXPECT_TRUE(f.CheckMedia->enabled());
    f.FrameUseSam->setEnabled(false);
    EXPECT_FALSE(f.CheckMedia->effectiveEnabled());
    f.FrameUseSam->setEnabled(true);

    f.CheckReduce->click();
    f.Form_Unload();
    // Only the copies changed; the media choice stays stored for the next time.
    EXPECT_EQ(iniEntries(f.iniPath()), (std::vector<std::string>{"Html/Reduce=0", "Html/Media=1"}));
}

TEST_F(MediaOptionTest, StoredWithoutTheCopiesStaysTickedButDisabled) {
    writeIni("[Html]\nMedia=1\n");
    FormMain& f = load();
    f.TabStripMivo->select(1);
    EXPECT_EQ(f.CheckMedia->value(), 1);
    EXPECT_FALSE(f.CheckMedia->enabled());
    f.CheckReduce->click();
    EXPECT_TRUE(f.CheckMedia->enabled());
    EXPECT_EQ(f.CheckMedia->value(), 1);
}

} // namespace
} // namespace mivo::test
