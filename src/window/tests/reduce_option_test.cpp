// The 縮小画像を作成する box on the display-options pane: off by default, read from and saved as
// Html/Reduce, and handed to the run with the other settings.

#include "window_fixture.h"

#include "settings/ini_file.h"

namespace mivo::test {
namespace {

using ReduceOptionTest = WindowTest;

TEST_F(ReduceOptionTest, OffByDefaultAndSavedOnlyWhenTicked) {
    FormMain& f = load();
    ASSERT_NE(f.display.CheckReduce, nullptr);
    f.TabStripMivo->select(1); // the display-options pane
    EXPECT_EQ(f.display.CheckReduce->caption(), "縮小画像を作成する");
    EXPECT_EQ(f.display.CheckReduce->value(), 0);
    EXPECT_FALSE(f.currentSettings().CheckReduce);
    f.display.CheckReduce->click();
    EXPECT_TRUE(f.currentSettings().CheckReduce);
    f.Form_Unload();
    EXPECT_EQ(iniEntries(f.iniPath()), (std::vector<std::string>{"Html/Reduce=1"}));
}

TEST_F(ReduceOptionTest, StoredValueTicksTheBox) {
    writeIni("[Html]\nReduce=1\n");
    FormMain& f = load();
    EXPECT_EQ(f.display.CheckReduce->value(), 1);
    EXPECT_TRUE(f.currentSettings().CheckReduce);
    f.Form_Unload();
    // Unchanged, so nothing is written: the stored line stays as it was.
    EXPECT_EQ(iniEntries(f.iniPath()), (std::vector<std::string>{"Html/Reduce=1"}));
}

} // namespace
} // namespace mivo::test
