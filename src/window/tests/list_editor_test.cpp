// The gallery list editor and its write-back rules.

#include "window_fixture.h"

namespace mivo::test {
namespace {

using Row = std::vector<std::string>;

class ListEditorTest : public WindowTest {
  protected:
    FormMain& loadWithRows() {
        a = makeFolder(program / "a");
        b = makeFolder(program / "b");
        c = makeFolder(program / "c");
        t = makeFolder(program / "t");
        writeFile(form().listPath(),
                  "One," + a + ",,\r\nTwo," + b + "," + t + ",\r\nThree," + c + ",,\r\n");
        return loadMenuMode();
    }
    /// The gallery list lives on the menu pane, which a user sees only in menu mode.
    FormMain& loadMenuMode() {
        FormMain& f = load();
        f.OptionMenu[0]->click();
        return f;
    }
    std::string a, b, c, t;
};

TEST_F(ListEditorTest, AddOnEmptyListAppendsNewRowWithShownFolder) {
    const std::string pics = makeFolder(program / "pics");
    FormMain& f = loadMenuMode();
    ASSERT_TRUE(f.galleryList.DirListPic->setPath(pics));
    EXPECT_EQ(f.galleryList.ListViewPath->rowCount(), 0)
        << "no row is selected, nothing is written";
    f.galleryList.OptionListSam[1]->select();

    int focus = 0;
    f.galleryList.ListViewPath->addObserver(
        [&](Control&, Property p) { focus += p == Property::Focus; });
    f.galleryList.CommandListAdd->click();
    ASSERT_EQ(f.galleryList.ListViewPath->rowCount(), 1);
    EXPECT_EQ(f.galleryList.ListViewPath->row(0), (Row{"新規", pics, ""}));
    EXPECT_EQ(f.galleryList.ListViewPath->selectedIndex(), 0);
    EXPECT_EQ(f.galleryList.TextListName->text(), "新規");
    EXPECT_TRUE(f.galleryList.OptionListSam[0]->value());
    EXPECT_FALSE(f.galleryList.DirListSam->enabled());
    EXPECT_EQ(focus, 1);

    // A second row is appended after the first, with the same folder.
    f.galleryList.CommandListAdd->click();
    EXPECT_EQ(f.galleryList.ListViewPath->rowCount(), 2);
    EXPECT_EQ(f.galleryList.ListViewPath->selectedIndex(), 1);
}

TEST_F(ListEditorTest, RowClickLoadsTheEditorWithoutWritingBack) {
    FormMain& f = loadWithRows();
    f.galleryList.ListViewPath->clickItem(1);
    EXPECT_EQ(f.galleryList.TextListName->text(), "Two");
    EXPECT_EQ(f.galleryList.DirListPic->path(), b);
    EXPECT_TRUE(f.galleryList.OptionListSam[1]->value());
    EXPECT_TRUE(f.galleryList.DirListSam->enabled());
    EXPECT_EQ(f.galleryList.DirListSam->path(), t);
    EXPECT_TRUE(f.gblnListSync);

    // A row without thumbnails chooses the full-size option; no other row loses its folder.
    f.galleryList.ListViewPath->clickItem(0);
    EXPECT_TRUE(f.galleryList.OptionListSam[0]->value());
    EXPECT_FALSE(f.galleryList.DirListSam->enabled());
    EXPECT_EQ(f.galleryList.DirListSam->path(), t) << "the thumbnail box keeps its folder";
    EXPECT_EQ(f.galleryList.ListViewPath->row(1), (Row{"Two", b, t}));
    EXPECT_EQ(f.galleryList.ListViewPath->row(0), (Row{"One", a, ""}));

    // Edits land in the selected row at once.
    f.galleryList.TextListName->setText("On");
    f.galleryList.TextListName->setText("One!");
    EXPECT_EQ(f.galleryList.ListViewPath->cell(0, 0), "One!");
    f.galleryList.DirListPic->setPath(c);
    EXPECT_EQ(f.galleryList.ListViewPath->cell(0, 1), c);
    f.galleryList.OptionListSam[1]->click();
    EXPECT_EQ(f.galleryList.ListViewPath->cell(0, 2), t);
    f.galleryList.DirListSam->setPath(a);
    EXPECT_EQ(f.galleryList.ListViewPath->cell(0, 2), a);
    f.galleryList.OptionListSam[0]->click();
    EXPECT_EQ(f.galleryList.ListViewPath->cell(0, 2), "");
    EXPECT_EQ(f.galleryList.ListViewPath->row(2), (Row{"Three", c, ""}));
}

TEST_F(ListEditorTest, RowWithVanishedFolderKeepsItsValue) {
    FormMain& f = loadWithRows();
    f.galleryList.ListViewPath->clickItem(1);
    fs::remove_all(a);
    f.galleryList.ListViewPath->clickItem(0);
    EXPECT_EQ(f.galleryList.DirListPic->path(), b) << "the box cannot show a missing folder";
    EXPECT_EQ(f.galleryList.ListViewPath->cell(0, 1), a);
    EXPECT_EQ(f.galleryList.ListViewPath->cell(1, 1), b);
}

TEST_F(ListEditorTest, DeleteSelectsTheNeighbourAndLoadsIt) {
    FormMain& f = loadWithRows();
    f.galleryList.CommandListDelete->click();
    EXPECT_EQ(f.galleryList.ListViewPath->rowCount(), 3) << "no row selected, nothing deleted";

    f.galleryList.ListViewPath->clickItem(2);
    f.galleryList.CommandListDelete->click();
    ASSERT_EQ(f.galleryList.ListViewPath->rowCount(), 2);
    EXPECT_EQ(f.galleryList.ListViewPath->selectedIndex(), 1);
    EXPECT_EQ(f.galleryList.TextListName->text(), "Two");
    EXPECT_EQ(f.galleryList.DirListPic->path(), b);

    f.galleryList.ListViewPath->clickItem(0);
    f.galleryList.CommandListDelete->click();
    ASSERT_EQ(f.galleryList.ListViewPath->rowCount(), 1);
    EXPECT_EQ(f.galleryList.ListViewPath->selectedIndex(), 0);
    EXPECT_EQ(f.galleryList.ListViewPath->row(0), (Row{"Two", b, t}));
    EXPECT_EQ(f.galleryList.TextListName->text(), "Two");

    f.galleryList.CommandListDelete->click();
    EXPECT_EQ(f.galleryList.ListViewPath->rowCount(), 0);
    EXPECT_EQ(f.galleryList.TextListName->text(), "Two")
        << "the editor keeps the removed row's values";
}

TEST_F(ListEditorTest, DeletedRowsComeBackInTurnWhereTheyWere) {
    FormMain& f = loadWithRows();
    EXPECT_FALSE(f.galleryList.undoDelete()) << "nothing deleted yet";
    f.galleryList.ListViewPath->clickItem(1);
    f.galleryList.CommandListDelete->click();
    EXPECT_EQ(f.LabelMess->caption(), "「Two」を一覧から削除しました (Ctrl+Z で元に戻す)");
    f.galleryList.ListViewPath->clickItem(0);
    f.galleryList.CommandListDelete->click();
    ASSERT_EQ(f.galleryList.ListViewPath->rowCount(), 1);

    // The last deleted first, each back in its place, selected and in the editor.
    EXPECT_TRUE(f.galleryList.undoDelete());
    EXPECT_EQ(f.galleryList.ListViewPath->row(0), (Row{"One", a, ""}));
    EXPECT_EQ(f.galleryList.ListViewPath->selectedIndex(), 0);
    EXPECT_TRUE(f.galleryList.undoDelete());
    ASSERT_EQ(f.galleryList.ListViewPath->rowCount(), 3);
    EXPECT_EQ(f.galleryList.ListViewPath->row(1), (Row{"Two", b, t}));
    EXPECT_EQ(f.galleryList.ListViewPath->selectedIndex(), 1);
    EXPECT_EQ(f.galleryList.TextListName->text(), "Two");
    EXPECT_TRUE(f.galleryList.OptionListSam[1]->value());
    EXPECT_EQ(f.LabelMess->caption(), "「Two」を一覧に戻しました");
    EXPECT_FALSE(f.galleryList.undoDelete());

    // Back as they were, the list is the one on disk: an unchanged list is not rewritten.
    const std::string before = readFile(f.listPath());
    f.Form_Unload();
    EXPECT_EQ(readFile(f.listPath()), before);
}

TEST_F(ListEditorTest, NewRowsStartInThePicturesFolderNotTheProgramFolder) {
    services.pictures = makeFolder(program / "Pictures");
    FormMain& f = loadMenuMode();
    EXPECT_EQ(f.galleryList.DirListPic->path(), services.pictures);
    EXPECT_EQ(f.galleryList.DirListSam->path(), services.pictures);
    f.galleryList.CommandListAdd->click();
    EXPECT_EQ(f.galleryList.ListViewPath->row(0), (Row{"新規", services.pictures, ""}));
}

TEST_F(ListEditorTest, UpAndDownSwapRowsAndFollowTheGallery) {
    FormMain& f = loadWithRows();
    f.galleryList.ListViewPath->clickItem(2);
    f.galleryList.CommandListDown->click();
    EXPECT_EQ(f.galleryList.ListViewPath->selectedIndex(), 2) << "the last row cannot go down";
    f.galleryList.ListViewPath->clickItem(0);
    f.galleryList.CommandListUP->click();
    EXPECT_EQ(f.galleryList.ListViewPath->row(0), (Row{"One", a, ""}));

    // The editor shows row 2 (with a folder box elsewhere) while it moves: no folder is
    // taken from the boxes during the move.
    f.galleryList.ListViewPath->clickItem(1);
    f.gblnListSync = false;
    f.galleryList.DirListPic->setPath(c);
    f.gblnListSync = true;
    f.galleryList.CommandListDown->click();
    EXPECT_EQ(f.galleryList.ListViewPath->row(1), (Row{"Three", c, ""}));
    EXPECT_EQ(f.galleryList.ListViewPath->row(2), (Row{"Two", b, t}));
    EXPECT_EQ(f.galleryList.ListViewPath->selectedIndex(), 2);
    EXPECT_TRUE(f.gblnListSync);

    f.galleryList.CommandListUP->click();
    EXPECT_EQ(f.galleryList.ListViewPath->row(1), (Row{"Two", b, t}));
    EXPECT_EQ(f.galleryList.ListViewPath->selectedIndex(), 1);
}

TEST_F(ListEditorTest, ColumnClickSortsBothWaysAndLaterRowsAreAppended) {
    FormMain& f = loadWithRows();
    f.galleryList.ListViewPath->clickItem(1); // "Two" stays selected through the sorts
    f.galleryList.ListViewPath->clickColumn(0);
    EXPECT_EQ(f.galleryList.ListViewPath->cell(0, 0), "One");
    EXPECT_EQ(f.galleryList.ListViewPath->cell(1, 0), "Three");
    EXPECT_EQ(f.galleryList.ListViewPath->cell(2, 0), "Two");
    EXPECT_EQ(f.galleryList.ListViewPath->cell(f.galleryList.ListViewPath->selectedIndex(), 0),
              "Two");

    f.galleryList.ListViewPath->clickColumn(0);
    EXPECT_EQ(f.galleryList.ListViewPath->cell(0, 0), "Two");
    EXPECT_EQ(f.galleryList.ListViewPath->cell(2, 0), "One");
    EXPECT_EQ(f.galleryList.ListViewPath->selectedIndex(), 0);
    EXPECT_TRUE(f.gblnListSync);

    f.galleryList.ListViewPath->clickColumn(2); // ascending by thumbnail folder: empty ones first
    EXPECT_EQ(f.galleryList.ListViewPath->cell(2, 0), "Two");

    f.galleryList.CommandListAdd->click();
    EXPECT_EQ(f.galleryList.ListViewPath->cell(3, 0), "新規");
}

TEST_F(ListEditorTest, FolderBoxesDoNotWriteBeforeStartUpHasFinished) {
    a = makeFolder(program / "a");
    b = makeFolder(program / "b");
    FormMain& f = form();
    f.galleryList.ListViewPath->addRow({"Early", a, ""});
    f.galleryList.ListViewPath->setSelectedIndex(0);
    ASSERT_FALSE(f.gblnListSync);
    f.galleryList.DirListPic->setPath(b);
    EXPECT_EQ(f.galleryList.ListViewPath->cell(0, 1), a);
    f.galleryList.TextListName->setText("Renamed");
    EXPECT_EQ(f.galleryList.ListViewPath->cell(0, 0), "Renamed")
        << "the name box does not consult the flag";
}

TEST_F(ListEditorTest, RowsAreSavedAtExitInTheirOrder) {
    FormMain& f = loadWithRows();
    f.galleryList.ListViewPath->clickItem(0);
    f.galleryList.CommandListDown->click();
    f.Form_Unload();
    EXPECT_EQ(readFile(f.listPath()),
              "Two," + b + "," + t + ",\r\nOne," + a + ",,\r\nThree," + c + ",,\r\n");
}

TEST_F(ListEditorTest, ALongListIsShownInOneChangeAndSavedAsItWas) {
    std::string bytes;
    for (int i = 0; i < 5000; ++i) {
        bytes += "Gallery " + std::to_string(i) + ",/pics/" + std::to_string(i) + ",,\r\n";
    }
    writeFile(form().listPath(), bytes);
    int rowChanges = 0;
    form().galleryList.ListViewPath->addObserver(
        [&](Control&, Property p) { rowChanges += p == Property::Rows ? 1 : 0; });
    FormMain& f = loadMenuMode();
    EXPECT_EQ(rowChanges, 1) << "a view redraws the list once, not once a row";
    ASSERT_EQ(f.galleryList.ListViewPath->rowCount(), 5000);
    EXPECT_EQ(f.galleryList.ListViewPath->row(4999), (Row{"Gallery 4999", "/pics/4999", ""}));
    f.Form_Unload();
    EXPECT_EQ(readFile(f.listPath()), bytes);
}

} // namespace
} // namespace mivo::test
