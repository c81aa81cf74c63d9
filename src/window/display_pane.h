#pragma once

#include <array>
#include <span>
#include <string>

#include "window/pane.h"
#include "window/setting_binding.h"

namespace mivo {

class FormMain;

/// The file patterns the start-picture list showed before the media option: what the window
/// lists until the settings are shown.
inline constexpr const char* kStartPicturePattern = "*.jpg;*.jpeg;*.bmp";

/// The display options (the "表示形式" tab, FrameDisplay): titles, the thumbnail table, the
/// opening view and its first picture, thumbnails and copies, the slide show, filelist.csv,
/// the links and the body tag.
class DisplayPane : public ControlOwner {
  public:
    /// The start-picture list starts at `startFolder` until the settings are shown.
    DisplayPane(FormMain& form, const std::string& startFolder);

    /// Adjusts the pane to the mode (menu mode takes the thumbnail choice from each gallery
    /// and fills the back and forward links itself).
    void showMode(bool menuMode);
    /// Enables the thumbnail size boxes and their labels.
    void setSamSizeEnabled(bool enabled);
    /// Selects the stored start picture in the list (its preview drawn), or keeps its name
    /// without preview when the folder does not hold it.
    void showStartPicture(const std::string& startName);

    void CheckSlideShow_Click();
    void CheckUseFileList_Click();
    void CheckReduce_Click();
    void CheckMedia_Click();
    void OptionStart_Click(int index);
    void OptionSamH_Click(int index);
    void TextLinkName_Change(int index);
    void FileStartPict_Click();
    void FileStartPict_PathChange();
    void TextStart_Change();

    /// The settings its controls show.
    static std::span<const SettingBinding<DisplayPane>> settingBindings();

    Frame* FrameDisplay = nullptr;
    Frame* FrameTitle = nullptr;
    TextBox* TextTitle = nullptr;
    Frame* FrameTitleSub = nullptr;
    TextBox* TextTitleS = nullptr;
    Frame* FrameAllList = nullptr;
    TextBox* TextAllListWidth = nullptr;
    Label* LabelAllList = nullptr;
    Label* LabelAllListInfo = nullptr;
    Frame* FrameStart = nullptr;
    std::array<OptionButton*, 2> OptionStart{};
    Frame* FrameStartPict = nullptr;
    Label* LabelStartPic = nullptr;
    TextBox* TextStart = nullptr;
    FileListBox* FileStartPict = nullptr;
    PictureBox* PictureStartPict = nullptr;
    Frame* FrameUseSam = nullptr;
    std::array<OptionButton*, 2> OptionSamH{};
    Frame* FrameSamSize = nullptr;
    Label* LabelSamWidth = nullptr;
    TextBox* TextSamWidth = nullptr;
    Label* LabelSamHeight = nullptr;
    TextBox* TextSamHeight = nullptr;
    CheckBox* CheckReduce = nullptr;
    CheckBox* CheckMedia = nullptr;
    CheckBox* CheckLivePhoto = nullptr;
    Frame* FrameSlideShow = nullptr;
    CheckBox* CheckSlideShow = nullptr;
    Label* LabelSlideTime = nullptr;
    TextBox* TextSlideTime = nullptr;
    Label* LabelSlideTime2 = nullptr;
    CheckBox* CheckExif = nullptr;
    CheckBox* CheckCaption = nullptr;
    Frame* FrameFilelist = nullptr;
    CheckBox* CheckUseFileList = nullptr;
    Label* LabelFilelistWidth = nullptr;
    TextBox* TextFilelistWidth = nullptr;
    Label* LabelFilelistHeight = nullptr;
    TextBox* TextFilelistHeight = nullptr;
    Label* LabelFilelistInfo = nullptr;
    Frame* FrameList = nullptr;
    Frame* FrameLink = nullptr;
    std::array<Frame*, 3> FrameLinks{};
    std::array<Label*, 3> LabelLinkName{};
    std::array<TextBox*, 3> TextLinkName{};
    std::array<Label*, 3> LabelLinkURL{};
    std::array<TextBox*, 3> TextLinkURL{};
    Label* LabelLinkInfo1 = nullptr;
    Label* LabelLinkInfo2 = nullptr;
    Frame* FrameBody = nullptr;
    TextBox* TextBody = nullptr;
    PictureBox* PicturePic = nullptr;

  private:
    /// The start-picture list offers what the run will show: with the media option (and the
    /// copies it needs) also HEIC, PNG, WebP pictures and videos.
    void listStartPictures();

    FormMain& form_;
    OptionGroup groupStart_;
    OptionGroup groupSamH_;
};

} // namespace mivo
