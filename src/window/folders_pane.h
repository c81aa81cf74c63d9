#pragma once

#include <array>
#include <span>
#include <string>

#include "window/pane.h"
#include "window/setting_binding.h"

namespace mivo {

class FormMain;

/// The folders of single mode (the "フォルダ" tab in single mode, FrameDirs): where the index
/// page goes, the picture folder, the folder of the other pages, and the thumbnails. Its path
/// handlers keep the path globals in step with the boxes.
class FoldersPane : public ControlOwner {
  public:
    /// The folder boxes start at `startFolder` until the settings are shown.
    FoldersPane(FormMain& form, const std::string& startFolder);

    /// Shows the stored folders (start-up): a stored folder that is missing keeps its setting
    /// and is marked on its frame.
    void showStoredPaths(const Settings& globals);

    void DirIndex_Change();
    void TextIndex_Change();
    void DirPic_Change();
    void DirSam_Change();
    void TextHtml_Change();
    void OptionSamD_Click(int index);

    /// The settings its controls show.
    static std::span<const SettingBinding<FoldersPane>> settingBindings();

    Frame* FrameDirs = nullptr;
    Frame* FrameIndex = nullptr;
    FolderBox* DirIndex = nullptr;
    TextBox* TextIndex = nullptr;
    Frame* FramePic = nullptr;
    FolderBox* DirPic = nullptr;
    Frame* FrameHtml = nullptr;
    TextBox* TextHtml = nullptr;
    Label* LabelHtml = nullptr;
    Frame* FrameSam = nullptr;
    std::array<OptionButton*, 2> OptionSamD{};
    Frame* FrameSamDir = nullptr;
    FolderBox* DirSam = nullptr;

  private:
    void indexPathChanged(const char* handler);

    FormMain& form_;
    OptionGroup groupSamD_;
};

/// Shows on a folder's frame that its stored folder is missing (an empty path: it is not).
void markMissingFolder(Frame* frame, const std::string& caption, const std::string& path);

/// Shows a stored page path in its folder box and name box: the folder (made by 作成 when it
/// is not there yet) and the page's file name.
void showPagePath(const std::string& pagePath, FolderBox* folderBox, TextBox* nameBox);

} // namespace mivo
