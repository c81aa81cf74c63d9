// The gallery list editor: rows of ListViewPath and the controls that edit the selected row.
// None of these handlers writes to the log.

#include "window/form_main.h"

namespace mivo {

namespace {

constexpr int kColumnName = 0;
constexpr int kColumnPic = 1;
constexpr int kColumnSam = 2;

} // namespace

void FormMain::CommandListAdd_Click() {
    const int row = ListViewPath->addRow({translate("新規"), DirListPic->path(), ""});
    ListViewPath->setSelectedIndex(row);
    TextListName->setText(ListViewPath->cell(row, kColumnName));
    OptionListSam[0]->select();
    ListViewPath->setFocus();
}

void FormMain::CommandListDelete_Click() {
    const int k = ListViewPath->selectedIndex();
    if (ListViewPath->rowCount() == 0 || k < 0) {
        return;
    }
    const bool wasLast = k == ListViewPath->rowCount() - 1;
    ListViewPath->removeRow(k);
    if (ListViewPath->rowCount() > 0) {
        const int next = wasLast ? k - 1 : k;
        ListViewPath->setSelectedIndex(next);
        ListViewPath_ItemClick(next);
        ListViewPath->setFocus();
    }
}

namespace {

void swapRows(ListView& list, int a, int b) {
    for (int column = 0; column < static_cast<int>(list.columns().size()); ++column) {
        const std::string kept = list.cell(a, column);
        list.setCell(a, column, list.cell(b, column));
        list.setCell(b, column, kept);
    }
}

} // namespace

void FormMain::CommandListUP_Click() {
    const int k = ListViewPath->selectedIndex();
    if (ListViewPath->rowCount() == 0 || k <= 0) {
        return;
    }
    gblnListSync = false;
    swapRows(*ListViewPath, k, k - 1);
    ListViewPath->setSelectedIndex(k - 1);
    ListViewPath->setFocus();
    gblnListSync = true;
}

void FormMain::CommandListDown_Click() {
    const int k = ListViewPath->selectedIndex();
    if (ListViewPath->rowCount() == 0 || k < 0 || k >= ListViewPath->rowCount() - 1) {
        return;
    }
    gblnListSync = false;
    swapRows(*ListViewPath, k, k + 1);
    ListViewPath->setSelectedIndex(k + 1);
    ListViewPath->setFocus();
    gblnListSync = true;
}

void FormMain::ListViewPath_ItemClick(int row) {
    if (row < 0 || row >= ListViewPath->rowCount()) {
        return;
    }
    // Read the row first: setting the name box writes into the selected row.
    const std::string name = ListViewPath->cell(row, kColumnName);
    const std::string pic = ListViewPath->cell(row, kColumnPic);
    const std::string sam = ListViewPath->cell(row, kColumnSam);
    TextListName->setText(name);
    gblnListSync = false;
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
    gblnListSync = true;
}

void FormMain::ListViewPath_ColumnClick(int column) {
    const bool ascending = !ListViewPath->sortAscending();
    gblnListSync = false;
    ListViewPath->sortBy(column, ascending);
    gblnListSync = true;
}

void FormMain::TextListName_Change() {
    const int row = ListViewPath->selectedIndex();
    if (row >= 0) {
        ListViewPath->setCell(row, kColumnName, TextListName->text());
    }
}

void FormMain::DirListPic_Change() {
    const int row = ListViewPath->selectedIndex();
    if (gblnListSync && row >= 0) {
        ListViewPath->setCell(row, kColumnPic, DirListPic->path());
    }
}

void FormMain::DirListSam_Change() {
    const int row = ListViewPath->selectedIndex();
    if (gblnListSync && row >= 0) {
        ListViewPath->setCell(row, kColumnSam, DirListSam->path());
    }
}

void FormMain::OptionListSam_Click(int index) {
    DirListSam->setEnabled(index == 1);
    const int row = ListViewPath->selectedIndex();
    if (gblnListSync && row >= 0) {
        ListViewPath->setCell(row, kColumnSam, index == 1 ? DirListSam->path() : "");
    }
}

} // namespace mivo
