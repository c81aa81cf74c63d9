#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/message_box.h"
#include "common/program_files.h"
#include "common/translate.h"
#include "generation/plan/status.h"
#include "generation/run/make_run.h"
#include "publish/publish.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"
#include "window/controls.h"
#include "window/display_pane.h"
#include "window/folders_pane.h"
#include "window/gallery_list_pane.h"
#include "window/launchers_pane.h"
#include "window/publish_pane.h"
#include "window/services.h"
#include "window/setting_binding.h"

namespace mivo {

/// The tool-tip of 作成 (while a run goes on, the button stops it and says so).
inline constexpr const char* kMakeToolTip = translatable("ページを作成する");
/// The tool-tip of 公開.
inline constexpr const char* kPublishToolTip =
    translatable("作成したサイトを「公開先」のサーバーに送る (変わったファイルだけ)");

/// A run that took longer than this, ended while the user was in another window, is told
/// through the desktop's notifications.
inline constexpr std::chrono::seconds kNotifyAfter{10};

/// How many folders each folder chooser offers as used lately.
inline constexpr std::size_t kRecentFolders = 10;

/// The main window: its own controls along the top and bottom (the mode, the tab strip, the
/// buttons beside it, the status line, 作成 and 終了), the four panes that own the rest, and
/// what belongs to the whole window: start-up and shut-down, the pane switching, the Make run
/// and the status line. The view binds widgets to the controls; the logic never sees a widget.
class FormMain {
    // First, so that the panes find them made when they are built.
    ProgramFiles files_;
    std::string programFolder_;
    std::string iniPath_;
    std::string listPath_;
    std::string logPath_;
    WindowServices& services_;

  public:
    /// Builds every control with its design-time caption, tool-tip, default and place.
    /// Folder boxes start at the program folder (the gallery editor's at the user's Pictures
    /// folder); the state files, templates and help file are where `files` says. The services
    /// must outlive the form.
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
    /// The window was opened on a folder (`mivo FOLDER`, "Open with Mivo"): single mode on
    /// that picture folder. false (and a box that says so) when it is no folder.
    bool openPictureFolder(const std::string& folder);

    void mainSetStartIni();
    void mainCheckOpenHtml();
    /// Enables CheckUseFileList when DirPic's folder holds filelist.csv.
    void mainExistFilelist(bool& found);

    // --- Panes -----------------------------------------------------------------------
    void TabStripMivo_Click();
    void OptionMenu_Click(int index);

    // --- Commands of the window ---------------------------------------------------------
    void CommandOpenHtml_Click();
    /// Opens the folder that holds the index page (the last run's pages) in the desktop's
    /// file manager.
    void CommandOpenFolder_Click();
    void CommandExit_Click();
    /// Hands a target to the desktop; when it cannot be opened, a box names it and says why.
    void openOrSayWhy(const std::string& target);

    // --- Make run and status line -------------------------------------------------------
    /// Starts a run; while one runs the button reads "中止" and a click stops it.
    void CommandMake_Click();
    /// True from 作成 (or 公開) until the run has handed the window back.
    bool running() const { return running_; }
    /// True from 公開 until the publish has handed the window back.
    bool publishing() const { return publishing_; }
    /// Asks the running run to stop before its next picture or page (a publish within a
    /// second).
    void stopMake();
    /// Sends the site to the server of the 公開先 tab, as `mivo-make --publish-only` does; while
    /// it runs the button reads "中止" and a click stops it.
    void CommandPublish_Click();
    /// What 表示 opens: the site's address after a publish that named one, else the index page.
    std::string shownTarget() const;
    void mainSetStatus(bool inblnMess, const std::string& instrMess, int inintBarType,
                       int inintBarValue);
    /// LabelMess and ProgressBarMake as the core's status sink.
    StatusSink& statusSink();

    // --- Values the core reads --------------------------------------------------------------
    std::vector<GalleryEntry> galleryRows() const { return galleryList.rows(); }
    /// Every setting as the window shows it now: the path globals, and each setting a pane's
    /// table binds to a control read from that control. A text box that holds no whole number
    /// where one belongs keeps the loaded value.
    Settings currentSettings() const;
    /// The path globals (gstrPicPath ... gstrStartName) and the folders used lately, which
    /// the handlers keep up to date; the rest of the record is as loaded.
    Settings& globals() { return globals_; }
    WindowServices& services() { return services_; }

    // --- Controls, in creation order (containers before what they hold) -------------------------
    const std::vector<Control*>& controls() const { return controlOrder_; }
    /// The control named so ("TextLinkName" with index 1), or nullptr.
    Control* findControl(const std::string& name, int index = -1) const;
    /// The pane frame that shows now (FrameDirs, FrameMenuPath, FrameDisplay or FrameEtc).
    Frame* visiblePane() const;

    const std::string& programFolder() const { return programFolder_; }
    const ProgramFiles& programFiles() const { return files_; }
    const std::string& iniPath() const { return iniPath_; }
    const std::string& listPath() const { return listPath_; }
    const std::string& logPath() const { return logPath_; }
    /// The settings as loaded at start-up (never changed afterwards).
    const Settings& loadedSettings() const { return loaded_; }

    /// The settings its own controls show (the mode).
    static std::span<const SettingBinding<FormMain>> settingBindings();

    // Window state.
    bool mblnLoading = false;
    bool gblnListSync = false;

    // The window and its own controls.
    Form Window{"FormMain"};

    std::array<OptionButton*, 3> OptionMenu{};
    /// The folder tree's order ([Ini] TreeOrder): ticked, by date taken; else by name.
    CheckBox* CheckTreeOrder = nullptr;
    TabStrip* TabStripMivo = nullptr;
    CommandButton* CommandOpenHtml = nullptr;
    CommandButton* CommandOpenFolder = nullptr;
    Label* LabelMess = nullptr;
    ProgressBar* ProgressBarMake = nullptr;
    CommandButton* CommandPublish = nullptr;
    CommandButton* CommandMake = nullptr;
    CommandButton* CommandExit = nullptr;

    // The panes, each with its controls and handlers.
    FoldersPane folders;         // FrameDirs: single mode's folders
    GalleryListPane galleryList; // FrameMenuPath: menu mode's folders and the gallery list
    DisplayPane display;         // FrameDisplay
    LaunchersPane launchers;     // FrameEtc and the launcher buttons along the top
    PublishPane server;          // FramePublish: where 公開 sends the site

  private:
    class WindowStatus;
    class WindowMessageBox;

    template <class T, class... Args> T* make(Args&&... args);
    void buildControls();
    /// Shows in their controls the settings that start-up shows at `when` (for Loading: only
    /// the row whose member lies at `member`).
    void showSettings(const Settings& values, ShownAt when, const void* member = nullptr);
    /// During a run nothing that changes a setting takes input; afterwards each control gets
    /// back the state it had.
    void holdInput();
    void releaseInput();
    void finishMake(const MakeResult& result);
    void finishPublish(const PublishResult& result);
    /// The bar says nothing more about time once a run has ended.
    void endRunStatus();
    /// 作成 or 公開 back as it was before the run turned it into 中止.
    void restoreRunButtons();
    /// Saves Mivo.ini and Mivo.csv after a run without asking anything; a failure is logged
    /// under `handler`.
    void saveAfterRun(const char* handler);
    /// Saves Mivo.ini and Mivo.csv; asks to try again or leave without saving when one fails.
    void saveState();
    /// After every run: saves what changed since the last save without asking anything (a
    /// failure is logged; the question comes at exit), then a failure that ended the run gets
    /// a box, and a long run that ended unwatched a notification.
    void afterMake(const MakeResult& result);
    /// Puts the run's picture and page folders first in the lists of folders used lately.
    void rememberFolders(const Settings& settings, const std::vector<GalleryEntry>& rows);
    /// Offers the folders used lately in every folder box.
    void showRecentFolders();

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
    bool publishing_ = false;
    /// The site's address after a publish that completed and named one: 表示 opens it.
    std::string publishedAddress_;
    bool closeAfterRun_ = false;
    std::atomic<bool> stopRequested_{false};
    std::chrono::steady_clock::time_point runStart_{};
    std::vector<std::pair<Control*, bool>> heldControls_;
    bool loaded_ok_ = false;
    bool iniReadable_ = true;  // false: Mivo.ini could not be read and is never replaced
    bool listReadable_ = true; // false: Mivo.csv could not be read and is never replaced
    /// The gallery list as loaded, its folders resolved: an unchanged list is not rewritten, so
    /// relative folders stay as the user wrote them.
    std::vector<GalleryEntry> loadedRows_;

    OptionGroup groupMenu_;

    std::vector<std::unique_ptr<Control>> owned_;
    std::vector<Control*> controlOrder_;
    std::unique_ptr<WindowStatus> status_;
    std::unique_ptr<WindowMessageBox> messageBox_;
};

} // namespace mivo
