#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "common/message_box.h"
#include "common/program_files.h"
#include "common/translate.h"
#include "generation/plan/status.h"
#include "generation/run/make_run.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"
#include "settings/settings_table.h"
#include "window/controls.h"
#include "window/services.h"

namespace mivo {

/// The home-page address opened by the "Mivo" button of the version frame.
inline constexpr const char* kHomePageUrl = "https://mivo.example.org/";

/// The tool-tip of 作成 (while a run goes on, the button stops it and says so).
inline constexpr const char* kMakeToolTip = translatable("ページを作成する");

/// The file patterns the start-picture list shows.
inline constexpr const char* kStartPicturePattern = "*.jpg;*.jpeg;*.bmp";

/// The main window: every control by its name, the path globals, and the handlers that keep
/// them in step. The view binds widgets to the controls; the logic never sees a widget.
class FormMain {
  public:
    /// Builds every control with its design-time caption, tool-tip, default and place.
    /// Folder boxes start at the program folder; the state files, templates and help file are
    /// where `files` says. The services must outlive the form.
    FormMain(ProgramFiles files, WindowServices& services);
    /// A program folder that holds Mivo.ini, Mivo.csv, Mivo.log, html/ and readme.txt itself.
    FormMain(const std::string& programFolder, WindowServices& services);
    ~FormMain();
    FormMain(const FormMain&) = delete;
    FormMain& operator=(const FormMain&) = delete;

    // --- Start-up and shut-down -----------------------------------------------------
    void Form_Load();
    void Form_Unload();
    /// Closes the window once: Form_Unload, then the view is asked to close its widget.
    /// Further calls do nothing (the view calls it from its close event too).
    void requestClose();
    bool closed() const { return closed_; }
    /// Asked when the user closes the window: true when it may close now. During a run it asks
    /// whether to stop; on yes the run stops and the window closes when it has ended (at once
    /// when it ended while the question was open).
    bool confirmClose();

    void mainSetStartIni();
    void mainCheckOpenHtml();
    /// Enables CheckUseFileList when DirPic's folder holds filelist.csv.
    void mainExistFilelist(bool& found);

    // --- Panes -----------------------------------------------------------------------
    void TabStripMivo_Click();
    void OptionMenu_Click(int index);

    // --- Setting controls --------------------------------------------------------------
    void DirIndex_Change();
    void TextIndex_Change();
    void DirMenu_Change();
    void TextMenu_Change();
    void DirPic_Change();
    void DirSam_Change();
    void TextHtml_Change();
    void TextMenuHtml_Change();
    void CheckSlideShow_Click();
    void CheckUseFileList_Click();
    void CheckReduce_Click();
    void OptionStart_Click(int index);
    void OptionSamD_Click(int index);
    void OptionSamH_Click(int index);
    void TextLinkName_Change(int index);
    void FileStartPict_Click();
    void FileStartPict_PathChange();
    void TextStart_Change();

    // --- Gallery list editor ---------------------------------------------------------------
    void CommandListAdd_Click();
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

    // --- Launcher and external commands -------------------------------------------------------
    void CommandOpen_Click(int index);
    void CheckOpen_Click(int index);
    void TextOpen_Change(int index);
    void TextOpenName_Change(int index);
    void CommandOpenPath_Click(int index);
    void CommandHelp_Click();
    void CommandURL_Click();
    void CommandOpenHtml_Click();
    /// Opens the folder that holds the index page (the last run's pages) in the desktop's
    /// file manager.
    void CommandOpenFolder_Click();
    void CommandExit_Click();

    // --- Make run and status line -------------------------------------------------------
    /// Starts a run; while one runs the button reads "中止" and a click stops it.
    void CommandMake_Click();
    /// True from 作成 until the run has handed the window back.
    bool running() const { return running_; }
    /// Asks the running run to stop before its next picture or page.
    void stopMake();
    void mainSetStatus(bool inblnMess, const std::string& instrMess, int inintBarType,
                       int inintBarValue);
    /// LabelMess and ProgressBarMake as the core's status sink.
    StatusSink& statusSink();

    // --- Values the core reads --------------------------------------------------------------
    std::vector<GalleryEntry> galleryRows() const;
    /// Every setting as the window shows it now: the path globals, and each other row of the
    /// settings table read from its control. A text box that holds no whole number where one
    /// belongs keeps the loaded value.
    Settings currentSettings() const;

    // --- Controls, in creation order (containers before what they hold) -------------------------
    const std::vector<Control*>& controls() const { return controlOrder_; }
    /// The control named so ("TextLinkName" with index 1), or nullptr.
    Control* findControl(const std::string& name, int index = -1) const;

    const std::string& programFolder() const { return programFolder_; }
    const ProgramFiles& programFiles() const { return files_; }
    const std::string& iniPath() const { return iniPath_; }
    const std::string& listPath() const { return listPath_; }
    const std::string& logPath() const { return logPath_; }
    /// The settings as loaded at start-up (never changed afterwards).
    const Settings& loadedSettings() const { return loaded_; }

    // Window state.
    bool mblnLoading = false;
    bool gblnListSync = false;

    // The window and its controls.
    Form Window{"FormMain"};

    std::array<OptionButton*, 2> OptionMenu{};
    std::array<CommandButton*, 4> CommandOpen{};
    TabStrip* TabStripMivo = nullptr;
    CommandButton* CommandOpenHtml = nullptr;
    CommandButton* CommandOpenFolder = nullptr;
    Label* LabelMess = nullptr;
    ProgressBar* ProgressBarMake = nullptr;
    CommandButton* CommandMake = nullptr;
    CommandButton* CommandExit = nullptr;

    Frame* FrameDirs = nullptr;
    Frame* FrameMenuPath = nullptr;
    Frame* FrameDisplay = nullptr;
    Frame* FrameEtc = nullptr;

    // FrameDirs
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

    // FrameMenuPath
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

    // FrameDisplay
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
    Frame* FrameSlideShow = nullptr;
    CheckBox* CheckSlideShow = nullptr;
    CheckBox* CheckExif = nullptr;
    Label* LabelSlideTime = nullptr;
    TextBox* TextSlideTime = nullptr;
    Label* LabelSlideTime2 = nullptr;
    CheckBox* CheckReduce = nullptr;
    CheckBox* CheckMedia = nullptr;
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

    // FrameEtc
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
    class WindowStatus;
    class WindowMessageBox;

    template <class T, class... Args> T* make(Args&&... args);
    void buildControls();
    void bindEvents();
    /// Shows a row's value in its control (and runs what the load runs after it).
    void applySettingRow(const SettingRow& row, const Settings& values);
    /// Reads a row's current value from its control into `values`.
    void readSettingRow(const SettingRow& row, Settings& values) const;
    void setSamSizeEnabled(bool enabled);
    /// Hands a target to the desktop; when it cannot be opened, a message box names it and
    /// says why.
    void openOrSayWhy(const std::string& target);
    /// During a run nothing that changes a setting takes input; afterwards each control gets
    /// back the state it had.
    void holdInput();
    void releaseInput();
    void finishMake(const MakeResult& result);
    /// Shows on a folder's frame that its stored folder is missing (an empty path: it is not).
    void markMissing(Frame* frame, const std::string& caption, const std::string& path);
    /// Saves Mivo.ini and Mivo.csv; asks to try again or leave without saving when one fails.
    void saveState();
    /// After every run: saves what changed since the last save without asking anything (a
    /// failure is logged; the question comes at exit), then a failure gets a message box.
    void afterMake(const MakeResult& result);
    /// Shows a stored page path in its folder box and name box. A folder that does not exist
    /// yet (作成 makes it) shows its nearest existing parent, the rest of the path going into
    /// the name box, so that the two still read as the stored path.
    void showPagePath(const std::string& pagePath, FolderBox* folderBox, TextBox* nameBox);

    ProgramFiles files_;
    std::string programFolder_;
    std::string iniPath_;
    std::string listPath_;
    std::string logPath_;
    WindowServices& services_;
    Settings loaded_{};
    /// The path globals (gstrPicPath ... gstrStartName) live here; the other members are the
    /// loaded values, since their controls hold the current ones.
    Settings globals_{};
    /// What Mivo.ini and Mivo.csv hold since the last save (the loaded values at first): a
    /// save writes what differs from them.
    Settings saved_{};
    std::vector<GalleryEntry> savedRows_;
    bool closed_ = false;
    bool running_ = false;
    bool closeAfterRun_ = false;
    std::atomic<bool> stopRequested_{false};
    std::vector<std::pair<Control*, bool>> heldControls_;
    bool loaded_ok_ = false;
    bool iniReadable_ = true;  // false: Mivo.ini could not be read and is never replaced
    bool listReadable_ = true; // false: Mivo.csv could not be read and is never replaced
    /// The gallery list as loaded, its folders resolved: an unchanged list is not rewritten, so
    /// relative folders stay as the user wrote them.
    std::vector<GalleryEntry> loadedRows_;

    OptionGroup groupMenu_;
    OptionGroup groupSamD_;
    OptionGroup groupSamH_;
    OptionGroup groupStart_;
    OptionGroup groupListSam_;
    OptionGroup groupLanguage_;

    std::vector<std::unique_ptr<Control>> owned_;
    std::vector<Control*> controlOrder_;
    std::unique_ptr<WindowStatus> status_;
    std::unique_ptr<WindowMessageBox> messageBox_;
};

} // namespace mivo
