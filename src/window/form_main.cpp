// Start-up, shut-down, panes, the status line and the Make run of the main window.

#include "window/form_main.h"

#include <utility>

#include "common/log.h"
#include "common/paths.h"
#include "common/program.h"
#include "common/translate.h"
#include "generation/pages/template.h"
#include "generation/run/filelist.h"
#include "generation/run/make_run.h"
#include "settings/starter_settings.h"
#include "settings/stored_paths.h"
#include "window/handler_log.h"

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

} // namespace

/// LabelMess and ProgressBarMake as the core's status sink; each status call ends in a repaint
/// of those two.
class FormMain::WindowStatus : public StatusSink {
  public:
    explicit WindowStatus(FormMain& form) : form_(form) {}
    void message(const std::string& text) override { form_.LabelMess->setCaption(text); }
    void progress(double value, double max) override {
        form_.ProgressBarMake->setMin(0);
        form_.ProgressBarMake->setMax(max);
        form_.ProgressBarMake->setValue(value);
    }
    void step() override { form_.services_.repaintStatus(); }
    bool stopRequested() const override { return form_.stopRequested_.load(); }

  private:
    FormMain& form_;
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

FormMain::FormMain(ProgramFiles files, WindowServices& services)
    : files_(std::move(files)), programFolder_(files_.programFolder), iniPath_(files_.iniPath()),
      listPath_(files_.listPath()), logPath_(files_.logPath()), services_(services),
      status_(std::make_unique<WindowStatus>(*this)),
      messageBox_(std::make_unique<WindowMessageBox>(services)) {
    buildControls();
    bindEvents();
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

// --- Start-up and shut-down -------------------------------------------------------------

void FormMain::Form_Load() {
    prepareStateFolder(files_);
    setLogPath(logPath_);
    mblnLoading = true;
    iniReadable_ = mivo::mainGetIni(iniPath_, programFolder_, loaded_,
                                    [this](const SettingRow& row, const Settings& values) {
                                        if (row.setWhileLoading) {
                                            applySettingRow(row, values);
                                        }
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
    // One change for the whole list: a view shows thousands of rows at once, not row by row.
    std::vector<std::vector<std::string>> cells;
    cells.reserve(rows.size());
    for (const GalleryEntry& row : rows) {
        cells.push_back({row.strListName, row.strPicPath, row.strSamPath});
    }
    ListViewPath->addRows(std::move(cells));
    savedRows_ = galleryRows();
    if (!listReadable_) {
        cmWriteLog("mainGetList", 4, "InOpenError [" + listPath_ + "]");
    }
    mblnLoading = false;
    logEnd("Form_Load");

    // Said once, after the window is filled: a file that could not be read stays as it is.
    for (const auto& [readable, path] :
         {std::pair{iniReadable_, iniPath_}, std::pair{listReadable_, listPath_}}) {
        if (!readable) {
            services_.showMessage(
                translate("%1 を読み込めません。このファイルは終了時にも書き換えません。", {path}),
                kAppTitle);
        }
    }
}

void FormMain::mainSetStartIni() {
    logStart("mainSetStartIni");

    OptionMenu[loaded_.OptionMenu]->select();

    // No drives here: each stored folder goes straight to its folder box. A stored folder that
    // is missing (an unplugged disk) keeps its setting: only the user changes it.
    if (!globals_.gstrPicPath.empty() && !DirPic->setPath(globals_.gstrPicPath)) {
        markMissing(FramePic, translate("画像フォルダ"), globals_.gstrPicPath);
    }
    if (!globals_.gstrSamPath.empty() && !DirSam->setPath(globals_.gstrSamPath)) {
        markMissing(FrameSamDir, "", globals_.gstrSamPath);
    }
    if (!globals_.gstrIndexPath.empty()) {
        showPagePath(globals_.gstrIndexPath, DirIndex, TextIndex);
    }
    if (!globals_.gstrHtmlPath.empty()) {
        TextHtml->setText(globals_.gstrHtmlPath);
    }
    if (!globals_.gstrMenuPath.empty()) {
        showPagePath(globals_.gstrMenuPath, DirMenu, TextMenu);
    }
    if (!globals_.gstrMenuHtmlPath.empty()) {
        TextMenuHtml->setText(globals_.gstrMenuHtmlPath);
    }

    FileStartPict->setPath(DirPic->path());
    if (!globals_.gstrStartName.empty()) {
        const std::string startName = globals_.gstrStartName;
        TextStart->setText(startName);
        for (int i = 0; i < FileStartPict->listCount(); ++i) {
            if (FileStartPict->list()[static_cast<std::size_t>(i)] == startName) {
                if (FileStartPict->listIndex() == i) {
                    FileStartPict_Click();
                } else {
                    FileStartPict->setListIndex(i);
                }
                break;
            }
        }
    }

    for (const char* key : {"Title", "TitleS", "Body"}) {
        applySettingRow(*findSettingRow("Html", key), loaded_);
    }

    bool exist = false;
    mainExistFilelist(exist);

    for (int i = 0; i < 3; ++i) {
        const std::string k = std::to_string(i + 1);
        applySettingRow(*findSettingRow("Link", "Name" + k), loaded_);
        applySettingRow(*findSettingRow("Link", "Url" + k), loaded_);
    }
    for (int i = 0; i < 4; ++i) {
        const std::string k = std::to_string(i + 1);
        applySettingRow(*findSettingRow("Launcher", "Name" + k), loaded_);
        applySettingRow(*findSettingRow("Launcher", "Use" + k), loaded_);
        applySettingRow(*findSettingRow("Launcher", "Path" + k), loaded_);
    }

    LabelVer->setCaption("Version " + versionText());
    mainCheckOpenHtml();

    const bool menuMode = OptionMenu[0]->value();
    FrameMenuPath->setVisible(menuMode);
    FrameDirs->setVisible(!menuMode);
    FrameDisplay->setVisible(false);
    FrameEtc->setVisible(false);

    gblnListSync = true;
    logEnd("mainSetStartIni");
}

void FormMain::markMissing(Frame* frame, const std::string& caption, const std::string& path) {
    if (path.empty()) {
        frame->setCaption(caption);
        frame->setToolTipText("");
        return;
    }
    frame->setCaption(caption.empty() ? translate("（見つかりません: %1）", {path})
                                      : translate("%1（見つかりません: %2）", {caption, path}));
    frame->setToolTipText(translate("保存されているフォルダが見つかりません: %1", {path}));
}

void FormMain::mainCheckOpenHtml() {
    logStart("mainCheckOpenHtml");
    CommandOpenHtml->setEnabled(findFile(globals_.gstrIndexPath));
    logEnd("mainCheckOpenHtml");
}

void FormMain::mainExistFilelist(bool& found) {
    found = false;
    mivo::mainExistFilelist(DirPic->path(), found);
    CheckUseFileList->setEnabled(found);
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
    TabStripMivo_Click();
}

void FormMain::TabStripMivo_Click() {
    FrameMenuPath->setVisible(false);
    FrameDisplay->setVisible(false);
    FrameDirs->setVisible(false);
    FrameEtc->setVisible(false);

    const bool menuMode = OptionMenu[0]->value();
    const std::string key = TabStripMivo->selectedKey();
    if (key == "Dir") {
        if (menuMode) {
            FrameMenuPath->setVisible(true);
        } else {
            FrameDirs->setVisible(true);
        }
    } else if (key == "Disp") {
        FrameStart->setVisible(!menuMode);
        FrameSamSize->setCaption(menuMode ? translate("オリジナルの画像を利用する場合") : "");
        OptionSamH[0]->setVisible(!menuMode);
        OptionSamH[1]->setVisible(!menuMode);
        FrameTitleSub->setVisible(!menuMode);
        LabelLinkURL[0]->setVisible(!menuMode);
        TextLinkURL[0]->setVisible(!menuMode);
        FrameLinks[1]->setVisible(!menuMode);
        FrameLinks[2]->setVisible(!menuMode);
        LabelLinkInfo2->setVisible(!menuMode);
        setSamSizeEnabled(menuMode || OptionSamH[0]->value());
        CheckUseFileList->setCaption(menuMode ? translate("filelist.csvがあれば使用する")
                                              : translate("filelist.csvを使用する"));
        FrameDisplay->setVisible(true);
    } else if (key == "Etc") {
        FrameEtc->setVisible(true);
    }
}

void FormMain::setSamSizeEnabled(bool enabled) {
    LabelSamWidth->setEnabled(enabled);
    TextSamWidth->setEnabled(enabled);
    LabelSamHeight->setEnabled(enabled);
    TextSamHeight->setEnabled(enabled);
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
    holdInput();
    CommandMake->setCaption(translate("中止"));
    CommandMake->setToolTipText(translate("作成を中止する"));

    Settings settings = currentSettings();
    // A box disabled because the picture folder has no filelist.csv cannot be unticked, so it
    // does not count; its stored value stays for a folder that has one.
    if (!settings.menuMode() && !CheckUseFileList->enabled()) {
        settings.CheckUseFileList = false;
    }
    auto result = std::make_shared<MakeResult>();
    services_.runInBackground(
        [settings = std::move(settings), rows = galleryRows(), files = files_,
         result](StatusSink& sink) { *result = runMake(settings, rows, files, sink); },
        *status_, [this, result] { finishMake(*result); });
}

void FormMain::stopMake() {
    if (!running_ || stopRequested_) {
        return;
    }
    stopRequested_ = true;
    // One stop is enough: a second click is not kept for later.
    CommandMake->setEnabled(false);
}

void FormMain::finishMake(const MakeResult& result) {
    LabelMess->setToolTipText(result.items.empty()     ? result.failure
                              : result.failure.empty() ? result.items
                                                       : result.failure + "\n\n" + result.items);
    releaseInput();
    if (result.done) {
        CommandOpenHtml->setEnabled(true);
    }
    CommandMake->setCaption(translate("作成"));
    CommandMake->setToolTipText(translate(kMakeToolTip));
    CommandMake->setEnabled(true);
    running_ = false;
    CommandMake->setFocus();
    afterMake(result);
    if (closeAfterRun_) {
        requestClose();
    }
}

void FormMain::holdInput() {
    heldControls_.clear();
    for (Control* control :
         {static_cast<Control*>(OptionMenu[0]), static_cast<Control*>(OptionMenu[1]),
          static_cast<Control*>(FrameDirs), static_cast<Control*>(FrameMenuPath),
          static_cast<Control*>(FrameDisplay), static_cast<Control*>(FrameEtc),
          static_cast<Control*>(CommandOpenHtml), static_cast<Control*>(CommandExit)}) {
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
        !services_.askYesNo(translate("作成中です。作成を中止して終了しますか？"), kAppTitle)) {
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

std::vector<GalleryEntry> FormMain::galleryRows() const {
    std::vector<GalleryEntry> rows;
    rows.reserve(static_cast<std::size_t>(ListViewPath->rowCount()));
    for (int i = 0; i < ListViewPath->rowCount(); ++i) {
        rows.push_back(
            {ListViewPath->cell(i, 0), ListViewPath->cell(i, 1), ListViewPath->cell(i, 2)});
    }
    return rows;
}

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
    for (const SettingRow& row : settingRows()) {
        if (row.heldByControl()) {
            readSettingRow(row, current);
        }
    }
    return current;
}

} // namespace mivo
