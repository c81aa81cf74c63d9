// The folders of menu mode and the gallery list editor: rows of ListViewPath and the controls
// that edit the selected row.

#include "window/gallery_list_pane.h"

#include <algorithm>

#include "common/log.h"
#include "common/paths.h"
#include "common/translate.h"
#include "window/folders_pane.h"
#include "window/form_main.h"
#include "window/handler_log.h"

namespace mivo {

namespace {

constexpr int kColumnName = 0;
constexpr int kColumnPic = 1;
constexpr int kColumnSam = 2;

void swapRows(ListView& list, int a, int b) {
    for (int column = 0; column < static_cast<int>(list.columns().size()); ++column) {
        const std::string kept = list.cell(a, column);
        list.setCell(a, column, list.cell(b, column));
        list.setCell(b, column, kept);
    }
}

} // namespace

GalleryListPane::GalleryListPane(FormMain& form, const std::string& startFolder,
                                 const std::string& picturesFolder)
    : form_(form) {
    FrameMenuPath = make<Frame>("FrameMenuPath", &form.Window);
    place(FrameMenuPath, kPaneArea, kGrowWhole);
    FrameMenuPath->setVisible(false);

    // The gallery list takes most of the extra height, the menu page's folder list the rest.
    FrameMenu = make<Frame>("FrameMenu", FrameMenuPath);
    place(FrameMenu, {120, 120, 8175, 1455}, {0, 100, 0, 20}, translate("メニューファイル"));
    FrameMenu->setAccessKey('U');
    DirMenu = make<FolderBox>("DirMenu", FrameMenu, startFolder, FolderKind::ToMake);
    place(DirMenu, {120, 240, 5175, 1095}, {0, 60, 0, 100}, "", translate(kFolderToMakeTip));
    DirMenu->setAccessibleName(translate("メニューファイルの保存先フォルダ"));
    TextMenu = make<TextBox>("TextMenu", FrameMenu);
    place(TextMenu, {5400, 240, 2655, 285}, {60, 40, 0, 0});
    TextMenu->setAccessibleName(translate("メニューファイル名"));
    FrameMenuHtml = make<Frame>("FrameMenuHtml", FrameMenuPath);
    place(FrameMenuHtml, {120, 1680, 8175, 615}, {0, 100, 20, 0}, translate("Html保存フォルダ"));
    FrameMenuHtml->setAccessKey('H');
    TextMenuHtml = make<TextBox>("TextMenuHtml", FrameMenuHtml);
    place(TextMenuHtml, {120, 240, 3975, 285}, {0, 50, 0, 0});
    TextMenuHtml->setAccessibleName(translate("Html保存フォルダ (メニューフォルダからの相対パス)"));
    LabelMenuHtml = make<Label>("LabelMenuHtml", FrameMenuHtml);
    place(LabelMenuHtml, {4200, 270, 3855, 255}, {50, 50, 0, 0},
          translate("メニューフォルダからの相対パス"));
    FramePathList = make<Frame>("FramePathList", FrameMenuPath);
    place(FramePathList, {120, 2400, 8175, 5175}, {0, 100, 20, 80}, translate("パス設定"));
    FramePathList->setAccessKey('L');
    ListViewPath =
        make<ListView>("ListViewPath", FramePathList,
                       std::vector<ColumnHeader>{{translate("名前"), 1935},
                                                 {translate("画像フォルダ"), 2895},
                                                 {translate("サムネイルフォルダ"), 2895}});
    place(ListViewPath, {120, 240, 7935, 1815}, {0, 100, 0, 50});
    LabelListName = make<Label>("LabelListName", FramePathList);
    place(LabelListName, {120, 2160, 600, 255}, {0, 0, 50, 0}, translate("名前"));
    TextListName = make<TextBox>("TextListName", FramePathList);
    place(TextListName, {720, 2130, 3375, 285}, {0, 100, 50, 0});
    TextListName->setAccessibleName(translate("ギャラリーの名前"));
    CommandListAdd = make<CommandButton>("CommandListAdd", FramePathList);
    place(CommandListAdd, {4200, 2130, 855, 285}, {100, 0, 50, 0}, translate("新規"),
          translate("ギャラリーを一覧の最後に追加"));
    CommandListAdd->setAccessKey('N');
    CommandListDelete = make<CommandButton>("CommandListDelete", FramePathList);
    place(CommandListDelete, {5160, 2130, 855, 285}, {100, 0, 50, 0}, translate("削除"),
          translate("選択したギャラリーを一覧から削除 (Ctrl+Z で元に戻す)"));
    CommandListDelete->setAccessKey('E');
    CommandListUP = make<CommandButton>("CommandListUP", FramePathList);
    place(CommandListUP, {6120, 2130, 495, 285}, {100, 0, 50, 0}, "▲",
          translate("選択したギャラリーを一つ上へ"));
    CommandListDown = make<CommandButton>("CommandListDown", FramePathList);
    place(CommandListDown, {6720, 2130, 495, 285}, {100, 0, 50, 0}, "▼",
          translate("選択したギャラリーを一つ下へ"));
    FrameListPic = make<Frame>("FrameListPic", FramePathList);
    place(FrameListPic, {120, 2520, 3900, 2535}, {0, 50, 50, 50}, translate("画像フォルダ"));
    FrameListPic->setAccessKey('P');
    DirListPic = make<FolderBox>("DirListPic", FrameListPic, picturesFolder);
    place(DirListPic, {120, 240, 3660, 2175}, kGrowWhole);
    DirListPic->setAccessibleName(translate("ギャラリーの画像フォルダ"));
    FrameListSam = make<Frame>("FrameListSam", FramePathList);
    place(FrameListSam, {4140, 2520, 3915, 2535}, {50, 50, 50, 50}, translate("サムネイル"));
    FrameListSam->setAccessKey('T');
    OptionListSam[0] = make<OptionButton>("OptionListSam", FrameListSam, 0, groupListSam_);
    place(OptionListSam[0], {120, 240, 3675, 255}, {}, translate(kOriginalPictures),
          translate(kOriginalPicturesTip));
    OptionListSam[0]->setInitialValue(true);
    OptionListSam[1] = make<OptionButton>("OptionListSam", FrameListSam, 1, groupListSam_);
    place(OptionListSam[1], {120, 480, 3675, 255}, {}, translate(kThumbnailPictures),
          translate(kThumbnailPicturesTip));
    FrameListSamDir = make<Frame>("FrameListSamDir", FrameListSam);
    place(FrameListSamDir, {120, 780, 3675, 1635}, kGrowWhole);
    DirListSam = make<FolderBox>("DirListSam", FrameListSamDir, picturesFolder);
    place(DirListSam, {120, 240, 3435, 1275}, kGrowWhole);
    DirListSam->setAccessibleName(translate("ギャラリーのサムネイルフォルダ"));
    DirListSam->setEnabled(false);

    for (int i = 0; i < 2; ++i) {
        OptionListSam[static_cast<std::size_t>(i)]->onClick = [this, i] { OptionListSam_Click(i); };
    }
    DirMenu->onChange = [this] { DirMenu_Change(); };
    TextMenu->onChange = [this] { TextMenu_Change(); };
    TextMenuHtml->onChange = [this] { TextMenuHtml_Change(); };
    CommandListAdd->onClick = [this] { CommandListAdd_Click(); };
    CommandListDelete->onClick = [this] { CommandListDelete_Click(); };
    CommandListUP->onClick = [this] { CommandListUP_Click(); };
    CommandListDown->onClick = [this] { CommandListDown_Click(); };
    ListViewPath->onItemClick = [this](int row) { ListViewPath_ItemClick(row); };
    ListViewPath->onColumnClick = [this](int column) { ListViewPath_ColumnClick(column); };
    TextListName->onChange = [this] { TextListName_Change(); };
    DirListPic->onChange = [this] { DirListPic_Change(); };
    DirListSam->onChange = [this] { DirListSam_Change(); };
}

void GalleryListPane::showStoredPaths(const Settings& globals) {
    if (!globals.gstrMenuPath.empty()) {
        showPagePath(globals.gstrMenuPath, DirMenu, TextMenu);
    }
    if (!globals.gstrMenuHtmlPath.empty()) {
        TextMenuHtml->setText(globals.gstrMenuHtmlPath);
    }
}

std::vector<GalleryEntry> GalleryListPane::rows() const {
    std::vector<GalleryEntry> entries;
    entries.reserve(static_cast<std::size_t>(ListViewPath->rowCount()));
    for (int i = 0; i < ListViewPath->rowCount(); ++i) {
        entries.push_back({ListViewPath->cell(i, kColumnName), ListViewPath->cell(i, kColumnPic),
                           ListViewPath->cell(i, kColumnSam)});
    }
    return entries;
}

void GalleryListPane::showRows(const std::vector<GalleryEntry>& rows) {
    // One change for the whole list: a view shows thousands of rows at once, not row by row.
    std::vector<std::vector<std::string>> cells;
    cells.reserve(rows.size());
    for (const GalleryEntry& row : rows) {
        cells.push_back({row.strListName, row.strPicPath, row.strSamPath});
    }
    ListViewPath->addRows(std::move(cells));
}

// --- Menu mode's folders (quiet while the window loads) -----------------------------------

void GalleryListPane::menuPathChanged(const char* handler) {
    logStart(handler);
    if (!form_.mblnLoading) {
        std::string& path = form_.globals().gstrMenuPath;
        path = cmAddPath(DirMenu->path(), TextMenu->text(), kPathSeparator);
        cmWriteLog(handler, 1, "gstrMenuPath [" + path + "]");
        form_.mainCheckOpenHtml();
    }
    logEnd(handler);
}

void GalleryListPane::DirMenu_Change() {
    menuPathChanged("DirMenu_Change");
}

void GalleryListPane::TextMenu_Change() {
    menuPathChanged("TextMenu_Change");
}

void GalleryListPane::TextMenuHtml_Change() {
    logStart("TextMenuHtml_Change");
    if (!form_.mblnLoading) {
        form_.globals().gstrMenuHtmlPath = TextMenuHtml->text();
        cmWriteLog("TextMenuHtml_Change", 1, "gstrMenuHtmlPath [" + TextMenuHtml->text() + "]");
    }
    logEnd("TextMenuHtml_Change");
}

// --- The gallery list editor ------------------------------------------------------------------

void GalleryListPane::CommandListAdd_Click() {
    const int row = ListViewPath->addRow({translate("新規"), DirListPic->path(), ""});
    ListViewPath->setSelectedIndex(row);
    TextListName->setText(ListViewPath->cell(row, kColumnName));
    OptionListSam[0]->select();
    ListViewPath->setFocus();
}

void GalleryListPane::CommandListDelete_Click() {
    const int k = ListViewPath->selectedIndex();
    if (ListViewPath->rowCount() == 0 || k < 0) {
        return;
    }
    // Nothing is asked: the row can be brought back.
    deleted_.push_back({k, ListViewPath->row(k)});
    const std::string name = ListViewPath->cell(k, kColumnName);
    const bool wasLast = k == ListViewPath->rowCount() - 1;
    ListViewPath->removeRow(k);
    form_.LabelMess->setCaption(
        translate("「%1」を一覧から削除しました (Ctrl+Z で元に戻す)", {name}));
    if (ListViewPath->rowCount() > 0) {
        const int next = wasLast ? k - 1 : k;
        ListViewPath->setSelectedIndex(next);
        ListViewPath_ItemClick(next);
        ListViewPath->setFocus();
    }
}

bool GalleryListPane::undoDelete() {
    if (deleted_.empty()) {
        return false;
    }
    DeletedRow back = std::move(deleted_.back());
    deleted_.pop_back();
    // The row goes back where it was (at the end, when the rows before it have gone since).
    const int at = std::min(back.row, ListViewPath->rowCount());
    const std::string name = back.cells.empty() ? std::string() : back.cells.front();
    ListViewPath->insertRow(at, std::move(back.cells));
    ListViewPath->setSelectedIndex(at);
    ListViewPath_ItemClick(at);
    ListViewPath->setFocus();
    form_.LabelMess->setCaption(translate("「%1」を一覧に戻しました", {name}));
    return true;
}

void GalleryListPane::CommandListUP_Click() {
    const int k = ListViewPath->selectedIndex();
    if (ListViewPath->rowCount() == 0 || k <= 0) {
        return;
    }
    form_.gblnListSync = false;
    swapRows(*ListViewPath, k, k - 1);
    ListViewPath->setSelectedIndex(k - 1);
    ListViewPath->setFocus();
    form_.gblnListSync = true;
}

void GalleryListPane::CommandListDown_Click() {
    const int k = ListViewPath->selectedIndex();
    if (ListViewPath->rowCount() == 0 || k < 0 || k >= ListViewPath->rowCount() - 1) {
        return;
    }
    form_.gblnListSync = false;
    swapRows(*ListViewPath, k, k + 1);
    ListViewPath->setSelectedIndex(k + 1);
    ListViewPath->setFocus();
    form_.gblnListSync = true;
}

void GalleryListPane::ListViewPath_ItemClick(int row) {
    if (row < 0 || row >= ListViewPath->rowCount()) {
        return;
    }
    // Read the row first: setting the name box writes into the selected row.
    const std::string name = ListViewPath->cell(row, kColumnName);
    const std::string pic = ListViewPath->cell(row, kColumnPic);
    const std::string sam = ListViewPath->cell(row, kColumnSam);
    TextListName->setText(name);
    form_.gblnListSync = false;
    // A folder that no longer exists cannot be shown; the box stays and the row keeps it.
    if (!pic.empty()) {
        DirListPic->setPath(pic);
    }
    if (!sam.empty()) {
        OptionListSam[1]->select();
        DirListSam->setPath(sam);
    } else {
        OptionListSam[0]->select();
    }
    form_.gblnListSync = true;
}

void GalleryListPane::ListViewPath_ColumnClick(int column) {
    const bool ascending = !ListViewPath->sortAscending();
    form_.gblnListSync = false;
    ListViewPath->sortBy(column, ascending);
    form_.gblnListSync = true;
}

void GalleryListPane::TextListName_Change() {
    const int row = ListViewPath->selectedIndex();
    if (row >= 0) {
        ListViewPath->setCell(row, kColumnName, TextListName->text());
    }
}

void GalleryListPane::DirListPic_Change() {
    const int row = ListViewPath->selectedIndex();
    if (form_.gblnListSync && row >= 0) {
        ListViewPath->setCell(row, kColumnPic, DirListPic->path());
    }
}

void GalleryListPane::DirListSam_Change() {
    const int row = ListViewPath->selectedIndex();
    if (form_.gblnListSync && row >= 0) {
        ListViewPath->setCell(row, kColumnSam, DirListSam->path());
    }
}

void GalleryListPane::OptionListSam_Click(int index) {
    DirListSam->setEnabled(index == 1);
    const int row = ListViewPath->selectedIndex();
    if (form_.gblnListSync && row >= 0) {
        ListViewPath->setCell(row, kColumnSam, index == 1 ? DirListSam->path() : "");
    }
}

} // namespace mivo
