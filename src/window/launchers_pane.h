#pragma once

#include <array>
#include <span>
#include <string>

#include "common/program_files.h"
#include "window/pane.h"
#include "window/setting_binding.h"

namespace mivo {

class FormMain;

/// The launchers and the other things (the "その他" tab, FrameEtc): the four launcher
/// buttons along the top of the window with their settings, help, version and licence, where
/// the settings are kept, and the language of the window.
class LaunchersPane : public ControlOwner {
  public:
    LaunchersPane(FormMain& form, const ProgramFiles& files);

    void CommandOpen_Click(int index);
    void CheckOpen_Click(int index);
    void TextOpen_Change(int index);
    void TextOpenName_Change(int index);
    void CommandOpenPath_Click(int index);
    void CommandHelp_Click();
    /// The "Mivo" button: the version and the licence in a box.
    void CommandURL_Click();

    /// The settings its controls show.
    static std::span<const SettingBinding<LaunchersPane>> settingBindings();

    /// The launcher buttons along the top of the window, outside the pane.
    std::array<CommandButton*, 4> CommandOpen{};

    Frame* FrameEtc = nullptr;
    Frame* FrameOpen = nullptr;
    std::array<Frame*, 4> FrameIniOpen{};
    std::array<CheckBox*, 4> CheckOpen{};
    std::array<Label*, 4> LabelOpen{};
    std::array<TextBox*, 4> TextOpenName{};
    std::array<TextBox*, 4> TextOpen{};
    std::array<CommandButton*, 4> CommandOpenPath{};
    CommandButton* CommandHelp = nullptr;
    Frame* FrameVer = nullptr;
    CommandButton* CommandURL = nullptr;
    PictureBox* PictureIcon = nullptr;
    Label* LabelVer = nullptr;
    Label* LabelNotice = nullptr;
    Label* LabelStateFolder = nullptr;
    Frame* FrameLanguage = nullptr;
    /// [Ini] Language: automatic, Japanese, English (kLanguageSettings); read at start-up.
    std::array<OptionButton*, 3> OptionLanguage{};
    Label* LabelLanguageInfo = nullptr;

    FileDialog CommonDialogLaunch;

  private:
    FormMain& form_;
    const ProgramFiles& files_;
    OptionGroup groupLanguage_;
};

} // namespace mivo
