// The launcher buttons, help, the version and licence, and the language of the window.

#include "window/launchers_pane.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/language.h"
#include "common/log.h"
#include "common/paths.h"
#include "common/program.h"
#include "common/text_file.h"
#include "common/translate.h"
#include "window/form_main.h"
#include "window/handler_log.h"
#include "window/open_target.h"

namespace mivo {

namespace {

const char* const kLauncherNames[4] = {translatable("機能1"), translatable("機能2"),
                                       translatable("機能3"), translatable("機能4")};
const char* const kLanguageCaptions[3] = {translatable("自動"), translatable("日本語"), "English"};
const char* const kLanguageTips[3] = {
    translatable("デスクトップの言語に合わせる (日本語以外の言語では英語)"),
    translatable("日本語で表示する"), translatable("英語で表示する")};
const char kLanguageKeys[3] = {'A', 'J', 'E'};

} // namespace

LaunchersPane::LaunchersPane(FormMain& form, const ProgramFiles& files)
    : form_(form), files_(files) {
    // Along the top right of the window.
    for (std::size_t i = 0; i < 4; ++i) {
        const int index = static_cast<int>(i);
        CommandOpen[i] = make<CommandButton>("CommandOpen", &form.Window, index);
        place(CommandOpen[i], {6180 + 660 * index, 0, 615, 255}, kKeepRight,
              translate(kLauncherNames[i]),
              translate("その他タブで設定したプログラムやファイルを開く"));
        CommandOpen[i]->setEnabled(false);
    }

    FrameEtc = make<Frame>("FrameEtc", &form.Window);
    place(FrameEtc, kPaneArea, kGrowWhole);
    FrameEtc->setVisible(false);
    FrameOpen = make<Frame>("FrameOpen", FrameEtc);
    place(FrameOpen, {120, 120, 8175, 4095}, kGrowWide, translate("ランチャー"));
    FrameOpen->setAccessKey('L');
    for (std::size_t i = 0; i < 4; ++i) {
        const int index = static_cast<int>(i);
        const std::string name = translate(kLauncherNames[i]);
        FrameIniOpen[i] = make<Frame>("FrameIniOpen", FrameOpen, index);
        place(FrameIniOpen[i], {120, 240 + 945 * index, 7935, 855}, kGrowWide, name);
        CheckOpen[i] = make<CheckBox>("CheckOpen", FrameIniOpen[i], index);
        place(CheckOpen[i], {120, 240, 2175, 255}, {}, translate("ボタンを表示する"),
              translate("この機能のボタンを画面の上部に表示する"));
        CheckOpen[i]->setAccessibleName(translate("%1のボタンを表示する", {name}));
        CheckOpen[i]->setValue(1);
        LabelOpen[i] = make<Label>("LabelOpen", FrameIniOpen[i], index);
        place(LabelOpen[i], {2400, 270, 855, 255}, {}, translate("表示名"));
        TextOpenName[i] = make<TextBox>("TextOpenName", FrameIniOpen[i], index);
        place(TextOpenName[i], {3300, 240, 1695, 285});
        TextOpenName[i]->setAccessibleName(translate("%1の表示名", {name}));
        TextOpenName[i]->setText(name);
        TextOpen[i] = make<TextBox>("TextOpen", FrameIniOpen[i], index);
        place(TextOpen[i], {120, 540, 7095, 285}, kGrowWide);
        TextOpen[i]->setAccessibleName(translate("%1で開くプログラム、ファイルまたはURL", {name}));
        CommandOpenPath[i] = make<CommandButton>("CommandOpenPath", FrameIniOpen[i], index);
        place(CommandOpenPath[i], {7320, 540, 495, 285}, kKeepRight, "...",
              translate("開くファイルを選択"));
        CommandOpenPath[i]->setAccessibleName(translate("%1で開くファイルを選択", {name}));
    }
    CommandHelp = make<CommandButton>("CommandHelp", FrameEtc);
    place(CommandHelp, {120, 4320, 1215, 375}, {}, translate("ヘルプ"),
          translate("readme.txtを表示 (F1)"));
    CommandHelp->setAccessKey('H');
    FrameVer = make<Frame>("FrameVer", FrameEtc);
    place(FrameVer, {120, 4800, 8175, 1455}, kGrowWide, translate("バージョン情報"));
    CommandURL = make<CommandButton>("CommandURL", FrameVer);
    place(CommandURL, {120, 240, 1215, 375}, {}, "Mivo", translate("バージョンとライセンスを表示"));
    CommandURL->setAccessKey('I');
    PictureIcon = make<PictureBox>("PictureIcon", FrameVer);
    place(PictureIcon, {1440, 240, 480, 480});
    LabelVer = make<Label>("LabelVer", FrameVer);
    place(LabelVer, {2040, 300, 3000, 255}, {}, "Version ");
    LabelNotice = make<Label>("LabelNotice", FrameVer);
    place(LabelNotice, {2040, 660, 6015, 255}, kGrowWide,
          translate("本ソフトウェアは無保証です。自己責任でご利用ください。"));
    // Where this copy keeps its settings: beside the program, or the user's config folder
    // when the program folder is not the user's; the tool-tip names the templates in use.
    LabelStateFolder = make<Label>("LabelStateFolder", FrameVer);
    place(LabelStateFolder, {2040, 1020, 6015, 255}, kGrowWide,
          translate("設定の保存先: %1", {files.stateFolder}),
          translate("テンプレート: %1", {files.templateFolder}));
    // The language of the window and of mivo-make's messages, read at start-up.
    FrameLanguage = make<Frame>("FrameLanguage", FrameEtc);
    place(FrameLanguage, {120, 6360, 8175, 855}, kGrowWide, translate("表示言語"));
    FrameLanguage->setAccessKey('G');
    for (std::size_t i = 0; i < 3; ++i) {
        const int index = static_cast<int>(i);
        OptionLanguage[i] =
            make<OptionButton>("OptionLanguage", FrameLanguage, index, groupLanguage_);
        place(OptionLanguage[i], {120 + 1440 * index, 240, 1335, 255}, {},
              translate(kLanguageCaptions[i]), translate(kLanguageTips[i]));
        OptionLanguage[i]->setAccessKey(kLanguageKeys[i]);
    }
    OptionLanguage[0]->setInitialValue(true);
    LabelLanguageInfo = make<Label>("LabelLanguageInfo", FrameLanguage);
    place(LabelLanguageInfo, {120, 540, 7935, 255}, kGrowWide,
          translate("※次回の起動から反映されます"));
    CommonDialogLaunch.DialogTitle = translate("ファイルの選択");

    for (std::size_t i = 0; i < 4; ++i) {
        const int index = static_cast<int>(i);
        CommandOpen[i]->onClick = [this, index] { CommandOpen_Click(index); };
        CheckOpen[i]->onClick = [this, index] { CheckOpen_Click(index); };
        TextOpen[i]->onChange = [this, index] { TextOpen_Change(index); };
        TextOpenName[i]->onChange = [this, index] { TextOpenName_Change(index); };
        CommandOpenPath[i]->onClick = [this, index] { CommandOpenPath_Click(index); };
    }
    CommandHelp->onClick = [this] { CommandHelp_Click(); };
    CommandURL->onClick = [this] { CommandURL_Click(); };
}

std::span<const SettingBinding<LaunchersPane>> LaunchersPane::settingBindings() {
    using L = LaunchersPane;
    using S = Settings;
    static constexpr SettingBinding<LaunchersPane> kRows[] = {
        bind<&S::TextOpenName, &L::TextOpenName, 0>(ShownAt::Launchers),
        bind<&S::CheckOpen, &L::CheckOpen, 0>(ShownAt::Launchers),
        bind<&S::TextOpen, &L::TextOpen, 0>(ShownAt::Launchers),
        bind<&S::TextOpenName, &L::TextOpenName, 1>(ShownAt::Launchers),
        bind<&S::CheckOpen, &L::CheckOpen, 1>(ShownAt::Launchers),
        bind<&S::TextOpen, &L::TextOpen, 1>(ShownAt::Launchers),
        bind<&S::TextOpenName, &L::TextOpenName, 2>(ShownAt::Launchers),
        bind<&S::CheckOpen, &L::CheckOpen, 2>(ShownAt::Launchers),
        bind<&S::TextOpen, &L::TextOpen, 2>(ShownAt::Launchers),
        bind<&S::TextOpenName, &L::TextOpenName, 3>(ShownAt::Launchers),
        bind<&S::CheckOpen, &L::CheckOpen, 3>(ShownAt::Launchers),
        bind<&S::TextOpen, &L::TextOpen, 3>(ShownAt::Launchers),
        bindWord<&S::Language, &L::OptionLanguage, kLanguageSettings>(ShownAt::Loading),
    };
    return kRows;
}

void LaunchersPane::CommandOpen_Click(int index) {
    logStartIndex("CommandOpen_Click", index);
    form_.openOrSayWhy(resolveLauncherTarget(TextOpen[static_cast<std::size_t>(index)]->text()));
    logEnd("CommandOpen_Click");
}

void LaunchersPane::CheckOpen_Click(int index) {
    logStartIndex("CheckOpen_Click", index);
    const auto i = static_cast<std::size_t>(index);
    CommandOpen[i]->setVisible(CheckOpen[i]->value() == 1);
    logEnd("CheckOpen_Click");
}

void LaunchersPane::TextOpen_Change(int index) {
    logStartIndex("TextOpen_Change", index);
    const auto i = static_cast<std::size_t>(index);
    CommandOpen[i]->setEnabled(!TextOpen[i]->text().empty());
    logEnd("TextOpen_Change");
}

void LaunchersPane::TextOpenName_Change(int index) {
    logStartIndex("TextOpenName_Change", index);
    const auto i = static_cast<std::size_t>(index);
    CommandOpen[i]->setCaption(TextOpenName[i]->text());
    logEnd("TextOpenName_Change");
}

void LaunchersPane::CommandOpenPath_Click(int index) {
    logStartIndex("CommandOpenPath_Click", index);
    TextBox* target = TextOpen[static_cast<std::size_t>(index)];
    if (!target->text().empty()) {
        std::string folder;
        std::string name;
        cmSplitPath(target->text(), false, kPathSeparator, folder, name);
        CommonDialogLaunch.InitDir = folder;
        CommonDialogLaunch.FileName = name;
    }
    // A cancelled dialog changes nothing, whatever name it still holds from an earlier use.
    if (form_.services().showOpenDialog(CommonDialogLaunch) &&
        CommonDialogLaunch.FileName.find(kPathSeparator) != std::string::npos) {
        std::string folder;
        std::string name;
        cmSplitPath(CommonDialogLaunch.FileName, true, kPathSeparator, folder, name);
        CommonDialogLaunch.InitDir = folder;
        target->setText(CommonDialogLaunch.FileName);
    }
    logEnd("CommandOpenPath_Click");
}

void LaunchersPane::CommandHelp_Click() {
    logStart("CommandHelp_Click");
    // The help file lies beside the program, wherever the program was started from. It is
    // shown in the program's own viewer: a text editor chosen by the desktop may need a
    // terminal, and might not read cp932. An English window opens the English one.
    const std::string& helpFile =
        currentLanguage() == UiLanguage::English ? files_.englishHelpFile : files_.helpFile;
    std::vector<std::string> lines;
    errno = 0;
    if (!readTextLines(helpFile, lines)) {
        const std::string reason = errno != 0 ? std::strerror(errno) : translate("読み込めません");
        cmWriteLog("CommandHelp_Click", 4, "InOpenError [" + helpFile + "]");
        form_.services().showWarning(translate("%1 を開けません。\n%2", {helpFile, reason}),
                                     kAppTitle);
    } else {
        std::string text;
        for (const std::string& line : lines) {
            text.append(line).append("\n");
        }
        std::string folder;
        std::string name;
        cmSplitPath(helpFile, true, kPathSeparator, folder, name);
        form_.services().showTextViewer(translate("Mivo ヘルプ - %1", {name}), text);
    }
    logEnd("CommandHelp_Click");
}

void LaunchersPane::CommandURL_Click() {
    logStart("CommandURL_Click");
    // Mivo has no home page of its own: the button tells what a home page would.
    const std::string licence = cmAddPath(files_.programFolder, "LICENSE", kPathSeparator);
    std::string text =
        translate("Mivo %1\n画像フォルダから静的なHTMLフォトギャラリーを作成します。",
                  {versionText()}) +
        "\n\nCopyright (c) 2026 The Mivo authors\n" +
        translate("MIT ライセンスで配布しています。本ソフトウェアは無保証です。");
    if (isPlainFile(licence)) {
        text += "\n" + translate("ライセンスの全文: %1", {licence});
    }
    text += "\n" + translate("使い方はヘルプ (F1) を参照してください。");
    form_.services().showAbout(translate("Mivo について"), text);
    logEnd("CommandURL_Click");
}

} // namespace mivo
