// The folders of single mode: the index page, the picture folder, the page folder and the
// thumbnails, with the path handlers that keep the path globals in step.

#include "window/folders_pane.h"

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "common/translate.h"
#include "window/form_main.h"
#include "window/handler_log.h"

namespace mivo {

FoldersPane::FoldersPane(FormMain& form, const std::string& startFolder) : form_(form) {
    FrameDirs = make<Frame>("FrameDirs", &form.Window);
    place(FrameDirs, kPaneArea, kGrowWhole);

    // The three folder lists share the extra height; the rest keeps its own.
    FrameIndex = make<Frame>("FrameIndex", FrameDirs);
    place(FrameIndex, {120, 120, 8175, 1815}, {0, 100, 0, 33}, translate("Indexファイル"));
    FrameIndex->setAccessKey('I');
    DirIndex = make<FolderBox>("DirIndex", FrameIndex, startFolder, FolderKind::ToMake);
    place(DirIndex, {120, 240, 5175, 1455}, {0, 60, 0, 100}, "", translate(kFolderToMakeTip));
    DirIndex->setAccessibleName(translate("Indexファイルの保存先フォルダ"));
    TextIndex = make<TextBox>("TextIndex", FrameIndex);
    place(TextIndex, {5400, 240, 2655, 285}, {60, 40, 0, 0});
    TextIndex->setAccessibleName(translate("Indexファイル名"));
    FramePic = make<Frame>("FramePic", FrameDirs);
    place(FramePic, {120, 2040, 8175, 1815}, {0, 100, 33, 33}, translate("画像フォルダ"));
    FramePic->setAccessKey('P');
    DirPic = make<FolderBox>("DirPic", FramePic, startFolder);
    place(DirPic, {120, 240, 7935, 1455}, kGrowWhole);
    FrameHtml = make<Frame>("FrameHtml", FrameDirs);
    place(FrameHtml, {120, 3960, 8175, 615}, {0, 100, 66, 0}, translate("Html保存フォルダ"));
    FrameHtml->setAccessKey('H');
    TextHtml = make<TextBox>("TextHtml", FrameHtml);
    place(TextHtml, {120, 240, 3975, 285}, {0, 50, 0, 0});
    TextHtml->setAccessibleName(translate("Html保存フォルダ (Indexフォルダからの相対パス)"));
    LabelHtml = make<Label>("LabelHtml", FrameHtml);
    place(LabelHtml, {4200, 270, 3855, 255}, {50, 50, 0, 0},
          translate("Indexフォルダからの相対パス"));
    FrameSam = make<Frame>("FrameSam", FrameDirs);
    place(FrameSam, {120, 4680, 8175, 2895}, {0, 100, 66, 34}, translate("サムネイル"));
    FrameSam->setAccessKey('T');
    OptionSamD[0] = make<OptionButton>("OptionSamD", FrameSam, 0, groupSamD_);
    place(OptionSamD[0], {120, 240, 3000, 255}, {}, translate(kOriginalPictures),
          translate(kOriginalPicturesTip));
    OptionSamD[1] = make<OptionButton>("OptionSamD", FrameSam, 1, groupSamD_);
    place(OptionSamD[1], {3240, 240, 3000, 255}, {}, translate(kThumbnailPictures),
          translate(kThumbnailPicturesTip));
    OptionSamD[1]->setInitialValue(true);
    FrameSamDir = make<Frame>("FrameSamDir", FrameSam);
    place(FrameSamDir, {120, 600, 7935, 2175}, kGrowWhole);
    DirSam = make<FolderBox>("DirSam", FrameSamDir, startFolder);
    place(DirSam, {120, 240, 7695, 1815}, kGrowWhole);
    DirSam->setAccessibleName(translate("サムネイルフォルダ"));

    for (int i = 0; i < 2; ++i) {
        OptionSamD[static_cast<std::size_t>(i)]->onClick = [this, i] { OptionSamD_Click(i); };
    }
    DirIndex->onChange = [this] { DirIndex_Change(); };
    TextIndex->onChange = [this] { TextIndex_Change(); };
    DirPic->onChange = [this] { DirPic_Change(); };
    DirSam->onChange = [this] { DirSam_Change(); };
    TextHtml->onChange = [this] { TextHtml_Change(); };
}

std::span<const SettingBinding<FoldersPane>> FoldersPane::settingBindings() {
    static constexpr SettingBinding<FoldersPane> kRows[] = {
        bind<&Settings::OptionSamD, &FoldersPane::OptionSamD>(ShownAt::Loading),
    };
    return kRows;
}

void FoldersPane::showStoredPaths(const Settings& globals) {
    // No drives here: each stored folder goes straight to its folder box. A stored folder that
    // is missing (an unplugged disk) keeps its setting: only the user changes it.
    if (!globals.gstrPicPath.empty() && !DirPic->setPath(globals.gstrPicPath)) {
        markMissingFolder(FramePic, translate("画像フォルダ"), globals.gstrPicPath);
    }
    if (!globals.gstrSamPath.empty() && !DirSam->setPath(globals.gstrSamPath)) {
        markMissingFolder(FrameSamDir, "", globals.gstrSamPath);
    }
    if (!globals.gstrIndexPath.empty()) {
        showPagePath(globals.gstrIndexPath, DirIndex, TextIndex);
    }
    if (!globals.gstrHtmlPath.empty()) {
        TextHtml->setText(globals.gstrHtmlPath);
    }
}

// --- Path handlers (quiet while the window loads) ---------------------------------------

void FoldersPane::indexPathChanged(const char* handler) {
    logStart(handler);
    if (!form_.mblnLoading) {
        std::string& path = form_.globals().gstrIndexPath;
        path = cmAddPath(DirIndex->path(), TextIndex->text(), kPathSeparator);
        cmWriteLog(handler, 1, "gstrIndexPath [" + path + "]");
        form_.mainCheckOpenHtml();
    }
    logEnd(handler);
}

void FoldersPane::DirIndex_Change() {
    indexPathChanged("DirIndex_Change");
}

void FoldersPane::TextIndex_Change() {
    indexPathChanged("TextIndex_Change");
}

void FoldersPane::DirPic_Change() {
    logStart("DirPic_Change");
    if (!form_.mblnLoading) {
        form_.globals().gstrPicPath = DirPic->path();
        markMissingFolder(FramePic, translate("画像フォルダ"), "");
        cmWriteLog("DirPic_Change", 1, "gstrPicPath [" + DirPic->path() + "]");
        bool exist = false;
        form_.mainExistFilelist(exist);
        form_.display.FileStartPict->setPath(DirPic->path());
    }
    logEnd("DirPic_Change");
}

void FoldersPane::DirSam_Change() {
    logStart("DirSam_Change");
    if (!form_.mblnLoading) {
        form_.globals().gstrSamPath = DirSam->path();
        markMissingFolder(FrameSamDir, "", "");
        cmWriteLog("DirSam_Change", 1, "gstrSamPath [" + DirSam->path() + "]");
    }
    logEnd("DirSam_Change");
}

void FoldersPane::TextHtml_Change() {
    logStart("TextHtml_Change");
    if (!form_.mblnLoading) {
        form_.globals().gstrHtmlPath = TextHtml->text();
        cmWriteLog("TextHtml_Change", 1, "gstrHtmlPath [" + TextHtml->text() + "]");
    }
    logEnd("TextHtml_Change");
}

void FoldersPane::OptionSamD_Click(int index) {
    logStartIndex("OptionSamD_Click", index);
    // The display pane's pair mirrors this one.
    OptionButton* partner = form_.display.OptionSamH[static_cast<std::size_t>(index)];
    if (!partner->value()) {
        partner->select();
    }
    DirSam->setEnabled(index != 0);
    logEnd("OptionSamD_Click");
}

// --- Shared by the folder panes -------------------------------------------------------------

void markMissingFolder(Frame* frame, const std::string& caption, const std::string& path) {
    if (path.empty()) {
        frame->setCaption(caption);
        frame->setToolTipText("");
        return;
    }
    frame->setCaption(caption.empty() ? translate("（見つかりません: %1）", {path})
                                      : translate("%1（見つかりません: %2）", {caption, path}));
    frame->setToolTipText(translate("保存されているフォルダが見つかりません: %1", {path}));
}

void showPagePath(const std::string& pagePath, FolderBox* folderBox, TextBox* nameBox) {
    std::string folder;
    std::string name;
    cmSplitPath(pagePath, true, kPathSeparator, folder, name);
    // The page's folder, also one that 作成 is still to make.
    if (folderBox->setPath(folder.empty() && startsWith(pagePath, kPathSeparator) ? kPathSeparator
                                                                                  : folder)) {
        nameBox->setText(name);
        return;
    }
    // A folder the box cannot show (a file in the way): the nearest parent that exists is
    // shown and the name box holds the rest, so that the two still read as the stored path.
    for (std::size_t cut = folder.rfind('/'); cut != std::string::npos;
         cut = cut == 0 ? std::string::npos : folder.rfind('/', cut - 1)) {
        if (folderBox->setPath(cut == 0 ? std::string(kPathSeparator) : folder.substr(0, cut))) {
            nameBox->setText(pagePath.substr(cut + 1));
            return;
        }
    }
    nameBox->setText(name);
}

} // namespace mivo
