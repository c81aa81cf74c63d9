// Start-up, shut-down, panes, the status line and the Make run of the main window.

#include "window/form_main.h"

#include <utility>

#include "common/log.h"
#include "common/paths.h"
#include "common/program.h"
#include "common/translate.h"
#include "generation/run/filelist.h"
#include "generation/run/make_run.h"
#include "settings/settings_table.h"
#include "settings/starter_settings.h"
#include "settings/stored_paths.h"
#include "window/handler_log.h"
#include "window/time_left.h"

namespace mivo {

namespace {

const char* const kSaveRetry = translatable("%1 を保存できません: %2\nもう一度保存しますか？");

bool hasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

/// Hidden files (a leading dot) are not ordinary files.
/// True when the path names an ordinary file; the name part may hold wildcards, and an empty
/// name part (a path ending in the separator) stands for any file of the folder.
bool findFile(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const std::size_t cut = path.rfind('/');
    const std::string folder =
        cut == std::string::npos ? std::string(".") : (cut == 0 ? "/" : path.substr(0, cut));
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (!name.empty() && !hasWildcard(name)) {
        return !isHiddenName(name) && isPlainFile(path);
    }
    bool found = false;
    listVisibleFiles(folder, [&name, &found](const char* entry) {
        found = name.empty() || matchWildcard(entry, name);
        return !found;
    });
    return found;
}

/// Shows the rows of one table that start-up shows at `when`.
template <class Owner>
void showRows(Owner& owner, std::span<const SettingBinding<Owner>> rows, const Settings& values,
              ShownAt when, const void* member) {
    for (const SettingBinding<Owner>& row : rows) {
        if (row.shownAt == when && (member == nullptr || row.member(values) == member)) {
            row.show(owner, values);
        }
    }
}

/// Reads back the values of one table's controls.
template <class Owner>
void readRows(const Owner& owner, std::span<const SettingBinding<Owner>> rows, Settings& values) {
    for (const SettingBinding<Owner>& row : rows) {
        if (row.read != nullptr) {
            row.read(owner, values);
        }
    }
}

} // namespace

/// LabelMess and ProgressBarMake as the core's status sink; each status call ends in a repaint
/// of those two. The bar says how long the part it measures has still to go.
class FormMain::WindowStatus : public StatusSink {
  public:
    explicit WindowStatus(FormMain& form) : form_(form) {}
    void message(const std::string& text) override { form_.LabelMess->setCaption(text); }
    void progress(double value, double max) override {
        form_.ProgressBarMake->setMin(0);
        form_.ProgressBarMake->setMax(max);
        form_.ProgressBarMake->setValue(value);
        // A publish names its own time left in the status line.
        if (form_.running_ && !form_.publishing_) {
            const auto now = form_.services_.now();
            timeLeft_.progress(value, max, now);
            form_.ProgressBarMake->setCaption(timeLeftText(timeLeft_.seconds(now)));
        }
    }
    void step() override { form_.services_.repaintStatus(); }
    bool stopRequested() const override { return form_.stopRequested_.load(); }
    /// A run has ended: the bar says nothing more about time.
    void runEnded() {
        timeLeft_.reset();
        form_.ProgressBarMake->setCaption("");
    }

  private:
    FormMain& form_;
    TimeLeft timeLeft_;
};

class FormMain::WindowMessageBox : public MessageBoxSink {
  public:
    explicit WindowMessageBox(WindowServices& services) : services_(services) {}
    void showMessage(const std::string& text, const std::string& caption) override {
        services_.showMessage(text, caption);
    }

  private:
    WindowServices& services_;
};

namespace {

std::string picturesFolderOr(const WindowServices& services, const std::string& fallback) {
    std::string folder = services.picturesFolder();
    return folder.empty() ? fallback : folder;
}

} // namespace

FormMain::FormMain(ProgramFiles files, WindowServices& services)
    : files_(std::move(files)), programFolder_(files_.programFolder), iniPath_(files_.iniPath()),
      listPath_(files_.listPath()), logPath_(files_.logPath()), services_(services),
      folders(*this, programFolder_),
      galleryList(*this, programFolder_, picturesFolderOr(services, programFolder_)),
      display(*this, programFolder_), launchers(*this, files_), server(*this),
      status_(std::make_unique<WindowStatus>(*this)),
      messageBox_(std::make_unique<WindowMessageBox>(services)) {
    buildControls();
    setMessageBoxSink(messageBox_.get());
}

FormMain::FormMain(const std::string& programFolder, WindowServices& services)
    : FormMain(portableProgramFiles(programFolder), services) {}

FormMain::~FormMain() {
    setMessageBoxSink(nullptr);
}

StatusSink& FormMain::statusSink() {
    return *status_;
}

void FormMain::endRunStatus() {
    status_->runEnded();
}

void FormMain::showSettings(const Settings& values, ShownAt when, const void* member) {
    showRows(*this, settingBindings(), values, when, member);
    showRows(folders, FoldersPane::settingBindings(), values, when, member);
    showRows(galleryList, GalleryListPane::settingBindings(), values, when, member);
    showRows(display, DisplayPane::settingBindings(), values, when, member);
    showRows(launchers, LaunchersPane::settingBindings(), values, when, member);
    showRows(server, PublishPane::settingBindings(), values, when, member);
}

// --- Start-up and shut-down -------------------------------------------------------------

void FormMain::Form_Load() {
    prepareStateFolder(files_);
    setLogPath(logPath_);
    mblnLoading = true;
    // Each control whose setting the load shows at once is set as its row is read.
    iniReadable_ = mivo::mainGetIni(iniPath_, programFolder_, loaded_,
                                    [this](const SettingRow& row, const Settings& values) {
                                        showSettings(values, ShownAt::Loading, row.address(values));
                                    });
    globals_ = loaded_;
    saved_ = loaded_;
    loaded_ok_ = true;

    logStart("Form_Load");
    mainSetStartIni();
    std::vector<GalleryEntry> rows;
    listReadable_ = mivo::mainGetList(listPath_, rows);
    resolveGalleryPaths(rows, settingsFolderOf(listPath_));
    loadedRows_ = rows;
    galleryList.showRows(rows);
    savedRows_ = galleryRows();
    if (!listReadable_) {
        cmWriteLog("mainGetList", 4, "InOpenError [" + listPath_ + "]");
    }
    showRecentFolders();
    mblnLoading = false;
    logEnd("Form_Load");

    // Said once, after the window is filled: a file that could not be read stays as it is.
    for (const auto& [readable, path] :
         {std::pair{iniReadable_, iniPath_}, std::pair{listReadable_, listPath_}}) {
        if (!readable) {
            services_.showWarning(
                translate("%1 を読み込めません。このファイルは終了時にも書き換えません。", {path}),
                kAppTitle);
        }
    }
}

void FormMain::mainSetStartIni() {
    logStart("mainSetStartIni");

    showSettings(loaded_, ShownAt::Mode);
    folders.showStoredPaths(globals_);
    galleryList.showStoredPaths(globals_);

    display.FileStartPict->setPath(folders.DirPic->path());
    if (!globals_.gstrStartName.empty()) {
        display.showStartPicture(globals_.gstrStartName);
    }

    showSettings(loaded_, ShownAt::Texts);
    bool exist = false;
    mainExistFilelist(exist);
    showSettings(loaded_, ShownAt::Links);
    showSettings(loaded_, ShownAt::Launchers);

    launchers.LabelVer->setCaption("Version " + versionText());
    mainCheckOpenHtml();

    const bool menuMode = OptionMenu[0]->value();
    CheckTreeOrder->setEnabled(OptionMenu[2]->value());
    galleryList.FrameMenuPath->setVisible(menuMode);
    folders.FrameDirs->setVisible(!menuMode);
    display.FrameDisplay->setVisible(false);
    launchers.FrameEtc->setVisible(false);
    server.FramePublish->setVisible(false);

    gblnListSync = true;
    logEnd("mainSetStartIni");
}

bool FormMain::openPictureFolder(const std::string& folder) {
    if (!isFolder(folder)) {
        services_.showWarning(translate("フォルダが見つかりません: %1", {folder}), kAppTitle);
        return false;
    }
    // A picture folder is single mode's: its folder pane shows it.
    OptionMenu[1]->select();
    TabStripMivo->select(0);
    return folders.DirPic->setPath(folder);
}

void FormMain::mainCheckOpenHtml() {
    logStart("mainCheckOpenHtml");
    CommandOpenHtml->setEnabled(findFile(globals_.gstrIndexPath));
    logEnd("mainCheckOpenHtml");
}

void FormMain::mainExistFilelist(bool& found) {
    found = false;
    mivo::mainExistFilelist(folders.DirPic->path(), found);
    display.CheckUseFileList->setEnabled(found);
}

void FormMain::Form_Unload() {
    logStart("Form_Unload");
    // A window that never finished loading has nothing of its own to save.
    if (loaded_ok_) {
        saveState();
    }
    logEnd("Form_Unload");
    cmWriteLog("Form_Unload", 2, "▲▲▲End Mivo▲▲▲\r\n");
}

void FormMain::saveState() {
    const Settings current = currentSettings();
    const std::vector<GalleryEntry> rows = galleryRows();
    bool iniDone = !iniReadable_;
    // The list is written when it changed, or to create it; an unchanged one keeps its text.
    bool listDone = !listReadable_ || (rows == loadedRows_ && pathExists(listPath_));
    for (;;) {
        std::string error;
        if (!iniDone) {
            iniDone = mivo::mainSetIni(iniPath_, saved_, current, &error);
            if (!iniDone && !services_.askRetry(translate(kSaveRetry, {iniPath_, translate(error)}),
                                                kAppTitle)) {
                iniDone = true;
            }
            continue;
        }
        if (!listDone) {
            listDone = mivo::mainSetList(listPath_, rows, &error);
            if (!listDone && !services_.askRetry(
                                 translate(kSaveRetry, {listPath_, translate(error)}), kAppTitle)) {
                listDone = true;
            }
            continue;
        }
        return;
    }
}

void FormMain::requestClose() {
    if (closed_) {
        return;
    }
    closed_ = true;
    Form_Unload();
    services_.closeWindow();
}

// --- Panes --------------------------------------------------------------------------------

void FormMain::OptionMenu_Click(int /*index*/) {
    // Only a folder tree has an order to choose; the box keeps its value while disabled.
    CheckTreeOrder->setEnabled(OptionMenu[2]->value());
    TabStripMivo_Click();
}

void FormMain::TabStripMivo_Click() {
    galleryList.FrameMenuPath->setVisible(false);
    display.FrameDisplay->setVisible(false);
    folders.FrameDirs->setVisible(false);
    launchers.FrameEtc->setVisible(false);
    server.FramePublish->setVisible(false);

    const bool menuMode = OptionMenu[0]->value();
    const std::string key = TabStripMivo->selectedKey();
    if (key == "Dir") {
        if (menuMode) {
            galleryList.FrameMenuPath->setVisible(true);
        } else {
            folders.FrameDirs->setVisible(true);
        }
    } else if (key == "Disp") {
        display.showMode(menuMode);
        display.FrameDisplay->setVisible(true);
    } else if (key == "Etc") {
        launchers.FrameEtc->setVisible(true);
    } else if (key == "Pub") {
        server.FramePublish->setVisible(true);
    }
}

Frame* FormMain::visiblePane() const {
    for (Frame* pane : {folders.FrameDirs, galleryList.FrameMenuPath, display.FrameDisplay,
                        launchers.FrameEtc, server.FramePublish}) {
        if (pane->visible()) {
            return pane;
        }
    }
    return nullptr;
}

// --- Status line and the Make run ---------------------------------------------------------

void FormMain::mainSetStatus(bool inblnMess, const std::string& instrMess, int inintBarType,
                             int inintBarValue) {
    RunStatus status(status_.get(), LabelMess->caption(), ProgressBarMake->max(),
                     ProgressBarMake->value());
    mivo::mainSetStatus(status, inblnMess, instrMess, inintBarType, inintBarValue);
}

// runMake writes the handler's entry and exit lines itself, around the run.
void FormMain::CommandMake_Click() {
    if (running_) {
        stopMake();
        return;
    }
    running_ = true;
    stopRequested_ = false;
    runStart_ = services_.now();
    // 表示 shows the pages made from now on, until a publish names the site's address again.
    publishedAddress_.clear();
    CommandOpenHtml->setToolTipText(translate("作成されたhtmlを表示"));
    holdInput();
    CommandPublish->setEnabled(false);
    // Alt+T stops (the T of Stop); the panes that use it are held meanwhile.
    CommandMake->setAccessKey('T');
    CommandMake->setCaption(translate("中止"));
    CommandMake->setToolTipText(translate("作成を中止する"));

    // The run decides about a filelist.csv that is not there, as mivo-make does: the box is
    // only disabled for such a folder, and keeps its tick for the next one.
    Settings settings = currentSettings();
    std::vector<GalleryEntry> rows = galleryRows();
    auto result = std::make_shared<MakeResult>();
    services_.runInBackground(
        [settings = std::move(settings), rows = std::move(rows), files = files_,
         result](StatusSink& sink) { *result = runMake(settings, rows, files, sink); },
        *status_, [this, result] { finishMake(*result); });
}

void FormMain::stopMake() {
    if (!running_ || stopRequested_) {
        return;
    }
    stopRequested_ = true;
    // One stop is enough: a second click is not kept for later.
    (publishing_ ? CommandPublish : CommandMake)->setEnabled(false);
}

void FormMain::finishMake(const MakeResult& result) {
    status_->runEnded();
    LabelMess->setToolTipText(result.items.empty()     ? result.failure
                              : result.failure.empty() ? result.items
                                                       : result.failure + "\n\n" + result.items);
    releaseInput();
    if (result.done) {
        CommandOpenHtml->setEnabled(true);
    }
    restoreRunButtons();
    running_ = false;
    CommandMake->setFocus();
    // The run may have made the folders of the pages.
    folders.DirIndex->relist();
    galleryList.DirMenu->relist();
    afterMake(result);
    if (closeAfterRun_) {
        requestClose();
    }
}

void FormMain::holdInput() {
    heldControls_.clear();
    for (Control* control :
         {static_cast<Control*>(OptionMenu[0]), static_cast<Control*>(OptionMenu[1]),
          static_cast<Control*>(OptionMenu[2]), static_cast<Control*>(folders.FrameDirs),
          static_cast<Control*>(galleryList.FrameMenuPath),
          static_cast<Control*>(display.FrameDisplay), static_cast<Control*>(launchers.FrameEtc),
          static_cast<Control*>(server.FramePublish), static_cast<Control*>(CommandOpenHtml),
          static_cast<Control*>(CommandExit)}) {
        heldControls_.emplace_back(control, control->enabled());
        control->setEnabled(false);
    }
}

void FormMain::releaseInput() {
    for (const auto& [control, enabled] : heldControls_) {
        control->setEnabled(enabled);
    }
    heldControls_.clear();
}

bool FormMain::confirmClose() {
    if (!running_) {
        return true;
    }
    if (closeAfterRun_ ||
        !services_.askYesNo(publishing_ ? translate("公開中です。公開を中止して終了しますか？")
                                        : translate("作成中です。作成を中止して終了しますか？"),
                            kAppTitle)) {
        return false;
    }
    // The run may have ended while the question was open: then there is nothing to wait
    // for, and a yes kept for later would close the window at the end of the next run.
    if (!running_) {
        return true;
    }
    closeAfterRun_ = true;
    stopMake();
    return false;
}

// --- Values the core reads ----------------------------------------------------------------

Settings FormMain::currentSettings() const {
    Settings current = globals_;
    // The window's place is the view's: saved as it is at the time of the save.
    if (WindowPlace place; services_.windowPlace(place)) {
        current.WindowLeft = place.left;
        current.WindowTop = place.top;
        current.WindowWidth = place.width;
        current.WindowHeight = place.height;
        current.WindowMaximized = place.maximized;
    }
    readRows(*this, settingBindings(), current);
    readRows(folders, FoldersPane::settingBindings(), current);
    readRows(galleryList, GalleryListPane::settingBindings(), current);
    readRows(display, DisplayPane::settingBindings(), current);
    readRows(launchers, LaunchersPane::settingBindings(), current);
    readRows(server, PublishPane::settingBindings(), current);
    return current;
}

} // namespace mivo
