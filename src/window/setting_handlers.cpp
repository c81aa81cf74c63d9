// The setting controls: path globals kept in step with the folder and text boxes, the
// controls that depend on an option, the mirrored thumbnail options and the start picture.

#include <algorithm>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "window/form_main.h"
#include "window/handler_log.h"

namespace mivo {

namespace {

/// The preview's longer side measures 80 pixels; small pictures are enlarged too.
void previewSize(long width, long height, int& pictureWidth, int& pictureHeight) {
    const long long rw = roundHalfEven(80000.0 / static_cast<double>(width));
    const long long rh = roundHalfEven(80000.0 / static_cast<double>(height));
    const long long r = rw < rh ? rw : rh;
    pictureWidth = static_cast<int>(roundHalfEven(static_cast<double>(width) * r / 1000.0));
    pictureHeight = static_cast<int>(roundHalfEven(static_cast<double>(height) * r / 1000.0));
}

} // namespace

// --- Path handlers (quiet while the window loads) ---------------------------------------

void FormMain::DirIndex_Change() {
    logStart("DirIndex_Change");
    if (!mblnLoading) {
        globals_.gstrIndexPath = cmAddPath(DirIndex->path(), TextIndex->text(), kPathSeparator);
        cmWriteLog("DirIndex_Change", 1, "gstrIndexPath [" + globals_.gstrIndexPath + "]");
        mainCheckOpenHtml();
    }
    logEnd("DirIndex_Change");
}

void FormMain::TextIndex_Change() {
    logStart("TextIndex_Change");
    if (!mblnLoading) {
        globals_.gstrIndexPath = cmAddPath(DirIndex->path(), TextIndex->text(), kPathSeparator);
        cmWriteLog("TextIndex_Change", 1, "gstrIndexPath [" + globals_.gstrIndexPath + "]");
        mainCheckOpenHtml();
    }
    logEnd("TextIndex_Change");
}

void FormMain::DirMenu_Change() {
    logStart("DirMenu_Change");
    if (!mblnLoading) {
        globals_.gstrMenuPath = cmAddPath(DirMenu->path(), TextMenu->text(), kPathSeparator);
        cmWriteLog("DirMenu_Change", 1, "gstrMenuPath [" + globals_.gstrMenuPath + "]");
        mainCheckOpenHtml();
    }
    logEnd("DirMenu_Change");
}

void FormMain::TextMenu_Change() {
    logStart("TextMenu_Change");
    if (!mblnLoading) {
        globals_.gstrMenuPath = cmAddPath(DirMenu->path(), TextMenu->text(), kPathSeparator);
        cmWriteLog("TextMenu_Change", 1, "gstrMenuPath [" + globals_.gstrMenuPath + "]");
        mainCheckOpenHtml();
    }
    logEnd("TextMenu_Change");
}

void FormMain::DirPic_Change() {
    logStart("DirPic_Change");
    if (!mblnLoading) {
        globals_.gstrPicPath = DirPic->path();
        markMissing(FramePic, translate("画像フォルダ"), "");
        cmWriteLog("DirPic_Change", 1, "gstrPicPath [" + globals_.gstrPicPath + "]");
        bool exist = false;
        mainExistFilelist(exist);
        FileStartPict->setPath(DirPic->path());
    }
    logEnd("DirPic_Change");
}

void FormMain::DirSam_Change() {
    logStart("DirSam_Change");
    if (!mblnLoading) {
        globals_.gstrSamPath = DirSam->path();
        markMissing(FrameSamDir, "", "");
        cmWriteLog("DirSam_Change", 1, "gstrSamPath [" + globals_.gstrSamPath + "]");
    }
    logEnd("DirSam_Change");
}

void FormMain::TextHtml_Change() {
    logStart("TextHtml_Change");
    if (!mblnLoading) {
        globals_.gstrHtmlPath = TextHtml->text();
        cmWriteLog("TextHtml_Change", 1, "gstrHtmlPath [" + globals_.gstrHtmlPath + "]");
    }
    logEnd("TextHtml_Change");
}

void FormMain::TextMenuHtml_Change() {
    logStart("TextMenuHtml_Change");
    if (!mblnLoading) {
        globals_.gstrMenuHtmlPath = TextMenuHtml->text();
        cmWriteLog("TextMenuHtml_Change", 1,
                   "gstrMenuHtmlPath [" + globals_.gstrMenuHtmlPath + "]");
    }
    logEnd("TextMenuHtml_Change");
}

// --- Dependent controls ---------------------------------------------------------------------

void FormMain::CheckSlideShow_Click() {
    logStart("CheckSlideShow_Click");
    const bool on = CheckSlideShow->value() == 1;
    LabelSlideTime->setEnabled(on);
    TextSlideTime->setEnabled(on);
    LabelSlideTime2->setEnabled(on);
    logEnd("CheckSlideShow_Click");
}

void FormMain::CheckUseFileList_Click() {
    logStart("CheckUseFileList_Click");
    const bool on = CheckUseFileList->value() == 1;
    LabelFilelistWidth->setEnabled(on);
    LabelFilelistHeight->setEnabled(on);
    TextFilelistWidth->setEnabled(on);
    TextFilelistHeight->setEnabled(on);
    LabelFilelistInfo->setEnabled(on);
    logEnd("CheckUseFileList_Click");
}

void FormMain::CheckReduce_Click() {
    logStart("CheckReduce_Click");
    // The media box keeps its value while disabled: ticking the copies again brings it back.
    CheckMedia->setEnabled(CheckReduce->enabled() && CheckReduce->value() == 1);
    logEnd("CheckReduce_Click");
}

void FormMain::OptionStart_Click(int index) {
    logStartIndex("OptionStart_Click", index);
    const bool on = index != 0;
    LabelStartPic->setEnabled(on);
    TextStart->setEnabled(on);
    FileStartPict->setEnabled(on);
    PictureStartPict->setEnabled(on);
    logEnd("OptionStart_Click");
}

void FormMain::OptionSamD_Click(int index) {
    logStartIndex("OptionSamD_Click", index);
    if (!OptionSamH[index]->value()) {
        OptionSamH[index]->select();
    }
    DirSam->setEnabled(index != 0);
    logEnd("OptionSamD_Click");
}

void FormMain::OptionSamH_Click(int index) {
    logStartIndex("OptionSamH_Click", index);
    if (!OptionSamD[index]->value()) {
        OptionSamD[index]->select();
    }
    setSamSizeEnabled(index == 0);
    logEnd("OptionSamH_Click");
}

void FormMain::TextLinkName_Change(int index) {
    logStartIndex("TextLinkName_Change", index);
    TextLinkURL[index]->setEnabled(!TextLinkName[index]->text().empty());
    logEnd("TextLinkName_Change");
}

// --- Start picture ----------------------------------------------------------------------

void FormMain::FileStartPict_Click() {
    logStart("FileStartPict_Click");
    PictureStartPict->cls();
    const std::string name = FileStartPict->fileName();
    const std::string path = cmAddPath(FileStartPict->path(), name, kPathSeparator);
    long width = 0;
    long height = 0;
    // A file that cannot be shown leaves the preview empty and the chosen name as it was.
    if (!name.empty() && services_.loadPicture(path, width, height) && width > 0 && height > 0) {
        int w = 0;
        int h = 0;
        previewSize(width, height, w, h);
        PicturePic->paintPicture(path, static_cast<int>(width), static_cast<int>(height));
        PictureStartPict->paintPicture(path, w, h);
        TextStart->setText(name);
    }
    logEnd("FileStartPict_Click");
}

void FormMain::FileStartPict_PathChange() {
    TextStart->setText("");
}

void FormMain::TextStart_Change() {
    logStart("TextStart_Change");
    globals_.gstrStartName = TextStart->text();
    if (globals_.gstrStartName.empty()) {
        PictureStartPict->cls();
    }
    logEnd("TextStart_Change");
}

} // namespace mivo
