// Start-up, shut-down, panes, the status line and the Make run of the main window.

#include "window/form_main.h"

#include <filesystem>
#include <system_error>

#include "common/log.h"
#include "common/paths.h"
#include "common/program.h"
#include "generation/filelist.h"
#include "generation/make_run.h"
#include "generation/page_failure.h"
#include "window/handler_log.h"

namespace mivo {

namespace fs = std::filesystem;

namespace {

bool hasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

/// Hidden files (a leading dot) are not ordinary files.
bool isHiddenName(const std::string& name) {
    return !name.empty() && name[0] == '.';
}

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
        return !isHiddenName(name) && cmIsFile(path);
    }
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    const fs::directory_iterator end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        std::error_code typeError;
        if (entry.empty() || isHiddenName(entry) || !it->is_regular_file(typeError)) {
            continue;
        }
        if (name.empty() || cmMatchWildcard(entry, name)) {
            return true;
        }
    }
    return false;
}

} // namespace

/// LabelMess and ProgressBarMake seen by the core; a repaint redraws only those two.
class FormMain::WindowStatus : public StatusSink {
  public:
    explicit WindowStatus(FormMain& form) : form_(form) {}
    std::string messageText() const override { return form_.LabelMess->caption(); }
    void setMessageText(const std::string& text) override { form_.LabelMess->setCaption(text); }
    double barMin() const override { return form_.ProgressBarMake->min(); }
    double barMax() const override { return form_.ProgressBarMake->max(); }
    double barValue() const override { return form_.ProgressBarMake->value(); }
    void setBarMin(double value) override { form_.ProgressBarMake->setMin(value); }
    void setBarMax(double value) override { form_.ProgressBarMake->setMax(value); }
    void setBarValue(double value) override { form_.ProgressBarMake->setValue(value); }
    void repaint() override { form_.services_.repaintStatus(); }

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

FormMain::FormMain(std::string programFolder, WindowServices& services)
    : programFolder_(std::move(programFolder)), iniPath_(cmIniPath(programFolder_)),
      listPath_(cmListPath(programFolder_)), logPath_(cmLogPath(programFolder_)),
      services_(services), status_(std::make_unique<WindowStatus>(*this)),
      messageBox_(std::make_unique<WindowMessageBox>(services)) {
    buildControls();
    bindEvents();
    cmSetMessageBoxSink(messageBox_.get());
}

FormMain::~FormMain() {
    cmSetMessageBoxSink(nullptr);
}

StatusSink& FormMain::statusSink() {
    return *status_;
}

// --- Start-up and shut-down -------------------------------------------------------------

void FormMain::Form_Load() {
    cmSetLogPath(logPath_);
    mblnLoading = true;
    mainGetIni(iniPath_, programFolder_, loaded_,
               [this](IniControlRow row, const Settings& loaded) { applyIniRow(row, loaded); });
    gstrPicPath = loaded_.gstrPicPath;
    gstrSamPath = loaded_.gstrSamPath;
    gstrIndexPath = loaded_.gstrIndexPath;
    gstrHtmlPath = loaded_.gstrHtmlPath;
    gstrMenuPath = loaded_.gstrMenuPath;
    gstrMenuHtmlPath = loaded_.gstrMenuHtmlPath;
    gstrStartName = loaded_.gstrStartName;
    loaded_ok_ = true;

    logStart("Form_Load");
    mainSetStartIni();
    std::vector<GalleryEntry> rows;
    mivo::mainGetList(listPath_, rows);
    for (const GalleryEntry& row : rows) {
        ListViewPath->addRow({row.strListName, row.strPicPath, row.strSamPath});
    }
    mblnLoading = false;
    logEnd("Form_Load");
}

void FormMain::applyIniRow(IniControlRow row, const Settings& loaded) {
    switch (row) {
    case IniControlRow::StartType:
        OptionStart[cmOptionValue(loaded.gstrStartTypeF, 0, 1)]->select();
        break;
    case IniControlRow::UseFilelist:
        CheckUseFileList->setValue(cmOptionValue(loaded.gstrUseFilelistF, 0, 1));
        CheckUseFileList_Click();
        break;
    case IniControlRow::FilelistWidth:
        TextFilelistWidth->setText(loaded.gstrFilelistWF);
        break;
    case IniControlRow::FilelistHeight:
        TextFilelistHeight->setText(loaded.gstrFilelistHF);
        break;
    case IniControlRow::UseSlide:
        CheckSlideShow->setValue(cmOptionValue(loaded.gstrUseSlideF, 1, 1));
        CheckSlideShow_Click();
        break;
    case IniControlRow::SlideTime:
        TextSlideTime->setText(loaded.gstrSlideTimeF);
        break;
    case IniControlRow::SamUse: {
        const int n = cmOptionValue(loaded.gstrSamUseF, 1, 1);
        OptionSamD[n]->select();
        OptionSamH[n]->select();
        break;
    }
    case IniControlRow::SamWidth:
        TextSamWidth->setText(loaded.gstrSamWidthF);
        break;
    case IniControlRow::SamHeight:
        TextSamHeight->setText(loaded.gstrSamHeightF);
        break;
    case IniControlRow::AllList:
        TextAllListWidth->setText(loaded.gstrAllListF);
        break;
    }
}

void FormMain::mainSetStartIni() {
    logStart("mainSetStartIni");

    OptionMenu[cmOptionValue(loaded_.gstrModeF, 1, 1)]->select();

    // No drives here: each stored folder goes straight to its folder box.
    if (!gstrPicPath.empty() && !DirPic->setPath(gstrPicPath)) {
        gstrPicPath.clear();
    }
    if (!gstrSamPath.empty() && !DirSam->setPath(gstrSamPath)) {
        gstrSamPath.clear();
    }
    if (!gstrIndexPath.empty()) {
        std::string folder;
        std::string name;
        cmSplitPath(gstrIndexPath, true, kPathSeparator, folder, name);
        DirIndex->setPath(folder);
        TextIndex->setText(name);
    }
    if (!gstrHtmlPath.empty()) {
        TextHtml->setText(gstrHtmlPath);
    }
    if (!gstrMenuPath.empty()) {
        std::string folder;
        std::string name;
        cmSplitPath(gstrMenuPath, true, kPathSeparator, folder, name);
        DirMenu->setPath(folder);
        TextMenu->setText(name);
    }
    if (!gstrMenuHtmlPath.empty()) {
        TextMenuHtml->setText(gstrMenuHtmlPath);
    }

    FileStartPict->setPath(DirPic->path());
    if (!gstrStartName.empty()) {
        const std::string startName = gstrStartName;
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

    TextTitle->setText(loaded_.gstrTitleF);
    TextTitleS->setText(loaded_.gstrTitleSF);
    TextBody->setText(loaded_.gstrBodyF);

    bool exist = false;
    mainExistFilelist(exist);

    for (int i = 0; i < 3; ++i) {
        TextLinkName[i]->setText(loaded_.gstrLinkName[i]);
        TextLinkURL[i]->setText(loaded_.gstrLinkUrl[i]);
    }
    for (int i = 0; i < 4; ++i) {
        TextOpenName[i]->setText(loaded_.gstrLaunchName[i]);
        CheckOpen[i]->setValue(cmOptionValue(loaded_.gstrLaunchUse[i], 1, 1));
        CheckOpen_Click(i);
        TextOpen[i]->setText(loaded_.gstrLaunchPath[i]);
    }

    LabelVer->setCaption("Version " + cmVersionText());
    mainCheckOpenHtml();

    const bool menuMode = OptionMenu[0]->value();
    FrameMenuPath->setVisible(menuMode);
    FrameDirs->setVisible(!menuMode);
    FrameDisplay->setVisible(false);
    FrameEtc->setVisible(false);

    gblnListSync = true;
    logEnd("mainSetStartIni");
}

void FormMain::mainCheckOpenHtml() {
    logStart("mainCheckOpenHtml");
    CommandOpenHtml->setEnabled(findFile(gstrIndexPath));
    logEnd("mainCheckOpenHtml");
}

void FormMain::mainExistFilelist(bool& outblnExist) {
    outblnExist = false;
    mivo::mainExistFilelist(DirPic->path(), outblnExist);
    CheckUseFileList->setEnabled(outblnExist);
}

void FormMain::Form_Unload() {
    logStart("Form_Unload");
    // A window that never finished loading has nothing of its own to save.
    if (loaded_ok_) {
        mainSetIni(iniPath_, loaded_, currentSettings());
        mivo::mainSetList(listPath_, galleryRows());
    }
    logEnd("Form_Unload");
    cmWriteLog("Form_Unload", 2, "▲▲▲End Mivo▲▲▲\r\n");
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
        FrameSamSize->setCaption(menuMode ? "オリジナルの画像を利用する場合" : "");
        OptionSamH[0]->setVisible(!menuMode);
        OptionSamH[1]->setVisible(!menuMode);
        FrameTitleSub->setVisible(!menuMode);
        LabelLinkURL[0]->setVisible(!menuMode);
        TextLinkURL[0]->setVisible(!menuMode);
        FrameLinks[1]->setVisible(!menuMode);
        FrameLinks[2]->setVisible(!menuMode);
        LabelLinkInfo2->setVisible(!menuMode);
        setSamSizeEnabled(menuMode || OptionSamH[0]->value());
        CheckUseFileList->setCaption(menuMode ? "filelist.csvがあれば使用する"
                                              : "filelist.csvを使用する");
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
    mivo::mainSetStatus(*status_, inblnMess, instrMess, inintBarType, inintBarValue);
}

// runMake writes the handler's entry and exit lines itself, around the run.
void FormMain::CommandMake_Click() {
    CommandMake->setEnabled(false);
    CommandExit->setEnabled(false);
    Window.setEnabled(false);

    // Whatever way the run ends, the window is handed back.
    struct Reenable {
        FormMain& form;
        ~Reenable() {
            form.Window.setEnabled(true);
            form.CommandMake->setEnabled(true);
            form.CommandExit->setEnabled(true);
        }
    };
    {
        Reenable reenable{*this};
        ProgressBarMake->setMin(0);
        ProgressBarMake->setMax(100);
        ProgressBarMake->setValue(0);
        LabelMess->setToolTipText("");
        if (runMake(makeSettings(), galleryRows(), *status_)) {
            CommandOpenHtml->setEnabled(true);
        } else {
            // The page that could not be written, and why, beside the unchanged status text.
            LabelMess->setToolTipText(lastPageFailure());
        }
    }
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

CurrentSettings FormMain::currentSettings() const {
    CurrentSettings c;
    c.OptionMenu = groupMenu_.selectedIndex() == 0 ? 0 : 1;
    c.gstrPicPath = gstrPicPath;
    c.gstrSamPath = gstrSamPath;
    c.gstrIndexPath = gstrIndexPath;
    c.gstrHtmlPath = gstrHtmlPath;
    c.gstrMenuPath = gstrMenuPath;
    c.gstrMenuHtmlPath = gstrMenuHtmlPath;
    c.gstrStartName = gstrStartName;
    c.TextTitle = TextTitle->text();
    c.TextTitleS = TextTitleS->text();
    c.TextBody = TextBody->text();
    c.OptionStart = groupStart_.selectedIndex() == 1 ? 1 : 0;
    c.CheckUseFileList = CheckUseFileList->value();
    c.TextFilelistWidth = TextFilelistWidth->text();
    c.TextFilelistHeight = TextFilelistHeight->text();
    c.CheckSlideShow = CheckSlideShow->value();
    c.TextSlideTime = TextSlideTime->text();
    c.OptionSamD = groupSamD_.selectedIndex() == 0 ? 0 : 1;
    c.TextSamWidth = TextSamWidth->text();
    c.TextSamHeight = TextSamHeight->text();
    c.TextAllListWidth = TextAllListWidth->text();
    for (std::size_t i = 0; i < 3; ++i) {
        c.TextLinkName[i] = TextLinkName[i]->text();
        c.TextLinkURL[i] = TextLinkURL[i]->text();
    }
    for (std::size_t i = 0; i < 4; ++i) {
        c.TextOpenName[i] = TextOpenName[i]->text();
        c.CheckOpen[i] = CheckOpen[i]->value();
        c.TextOpen[i] = TextOpen[i]->text();
    }
    return c;
}

MakeSettings FormMain::makeSettings() const {
    MakeSettings s;
    s.programFolder = programFolder_;
    s.OptionMenu = groupMenu_.selectedIndex() == 0 ? 0 : 1;
    s.OptionSamH = groupSamH_.selectedIndex() == 0 ? 0 : 1;
    s.CheckUseFileList = CheckUseFileList->value();
    s.OptionStart = groupStart_.selectedIndex() == 1 ? 1 : 0;
    s.CheckSlideShow = CheckSlideShow->value();
    s.gstrPicPath = gstrPicPath;
    s.gstrSamPath = gstrSamPath;
    s.gstrIndexPath = gstrIndexPath;
    s.gstrHtmlPath = gstrHtmlPath;
    s.gstrMenuPath = gstrMenuPath;
    s.gstrMenuHtmlPath = gstrMenuHtmlPath;
    s.gstrStartName = gstrStartName;
    s.DirIndex = DirIndex->path();
    s.DirMenu = DirMenu->path();
    s.TextTitle = TextTitle->text();
    s.TextTitleS = TextTitleS->text();
    s.TextBody = TextBody->text();
    s.TextFilelistWidth = TextFilelistWidth->text();
    s.TextFilelistHeight = TextFilelistHeight->text();
    s.TextSlideTime = TextSlideTime->text();
    s.TextSamWidth = TextSamWidth->text();
    s.TextSamHeight = TextSamHeight->text();
    s.TextAllListWidth = TextAllListWidth->text();
    for (std::size_t i = 0; i < 3; ++i) {
        s.TextLinkName[i] = TextLinkName[i]->text();
        s.TextLinkURL[i] = TextLinkURL[i]->text();
    }
    return s;
}

} // namespace mivo
