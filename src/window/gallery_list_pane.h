#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

#include "settings/gallery_list.h"
#include "window/pane.h"
#include "window/setting_binding.h"

namespace mivo {

class FormMain;

/// The folders of menu mode and the gallery list editor (the "フォルダ" tab in menu mode,
/// FrameMenuPath): where the menu page goes, the folder of the galleries, and the rows of
/// ListViewPath with the controls that edit the selected row. None of the list editor's
/// handlers writes to the log.
class GalleryListPane : public ControlOwner {
  public:
    /// The menu page's folder box starts at `startFolder`, the editor's folder boxes at
    /// `picturesFolder` (where a new row's pictures are looked for first).
    GalleryListPane(FormMain& form, const std::string& startFolder,
                    const std::string& picturesFolder);

    /// Shows the stored menu page and gallery folder (start-up).
    void showStoredPaths(const Settings& globals);
    /// The rows as the list holds them.
    std::vector<GalleryEntry> rows() const;
    /// Fills the list in one change (start-up).
    void showRows(const std::vector<GalleryEntry>& rows);

    void DirMenu_Change();
    void TextMenu_Change();
    void TextMenuHtml_Change();

    void CommandListAdd_Click();
    /// Deletes the selected row; it can be brought back with undoDelete().
    void CommandListDelete_Click();
    void CommandListUP_Click();
    void CommandListDown_Click();
    /// `row` is the 0-based row of ListViewPath.
    void ListViewPath_ItemClick(int row);
    /// `column` is 0 for the name, 1 for the picture folder, 2 for the thumbnail folder.
    void ListViewPath_ColumnClick(int column);
    void TextListName_Change();
    void DirListPic_Change();
    void DirListSam_Change();
    void OptionListSam_Click(int index);

    /// Puts the row deleted last back where it was, selected (Ctrl+Z in the list); false
    /// when no deleted row is left to bring back.
    bool undoDelete();
    bool canUndoDelete() const { return !deleted_.empty(); }

    /// The settings its controls show (none: the list has its own file).
    static std::span<const SettingBinding<GalleryListPane>> settingBindings() { return {}; }

    Frame* FrameMenuPath = nullptr;
    Frame* FrameMenu = nullptr;
    FolderBox* DirMenu = nullptr;
    TextBox* TextMenu = nullptr;
    Frame* FrameMenuHtml = nullptr;
    TextBox* TextMenuHtml = nullptr;
    Label* LabelMenuHtml = nullptr;
    Frame* FramePathList = nullptr;
    ListView* ListViewPath = nullptr;
    Label* LabelListName = nullptr;
    TextBox* TextListName = nullptr;
    CommandButton* CommandListAdd = nullptr;
    CommandButton* CommandListDelete = nullptr;
    CommandButton* CommandListUP = nullptr;
    CommandButton* CommandListDown = nullptr;
    Frame* FrameListPic = nullptr;
    FolderBox* DirListPic = nullptr;
    Frame* FrameListSam = nullptr;
    std::array<OptionButton*, 2> OptionListSam{};
    Frame* FrameListSamDir = nullptr;
    FolderBox* DirListSam = nullptr;

  private:
    struct DeletedRow {
        int row;
        std::vector<std::string> cells;
    };

    void menuPathChanged(const char* handler);

    FormMain& form_;
    OptionGroup groupListSam_;
    std::vector<DeletedRow> deleted_;
};

} // namespace mivo
