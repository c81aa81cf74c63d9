// The main window's controls as designed: names, captions, tool-tips, defaults and places.

#include "window/form_main.h"

#include "common/language.h"
#include "common/translate.h"

namespace mivo {

namespace {

const char* const kOriginalPictures = translatable("オリジナル画像を利用する");
const char* const kThumbnailPictures = translatable("サムネイル画像を利用する");
const char* const kOriginalPicturesTip =
    translatable("元の画像を縮小表示して、サムネイルの一覧に使う");
const char* const kThumbnailPicturesTip = translatable(
    "別に用意したサムネイル画像のフォルダを使う (画像と同じ名前のファイルがすべて必要)");
const char* const kLauncherNames[4] = {translatable("機能1"), translatable("機能2"),
                                       translatable("機能3"), translatable("機能4")};
const char* const kLanguageCaptions[3] = {translatable("自動"), translatable("日本語"), "English"};
const char* const kLanguageTips[3] = {
    translatable("デスクトップの言語に合わせる (日本語以外の言語では英語)"),
    translatable("日本語で表示する"), translatable("英語で表示する")};

void place(Control* control, Twips geometry, const std::string& caption = {},
           const std::string& toolTip = {}) {
    control->setGeometry(geometry);
    control->setCaption(caption);
    control->setToolTipText(toolTip);
}

} // namespace

template <class T, class... Args> T* FormMain::make(Args&&... args) {
    auto control = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = control.get();
    owned_.push_back(std::move(control));
    controlOrder_.push_back(raw);
    return raw;
}

void FormMain::buildControls() {
    const std::string& home = programFolder_;
    Control* form = &Window;
    controlOrder_.push_back(form);
    place(form, {0, 0, 8895, 9435}, "Mivo");

    // Along the top: the mode and the launcher buttons.
    OptionMenu[0] = make<OptionButton>("OptionMenu", form, 0, groupMenu_);
    place(OptionMenu[0], {120, 0, 2175, 255}, translate("メニューから作成する"),
          translate("「パス設定」の一覧のフォルダごとにギャラリーを作り、"
                    "それらをまとめるメニューページを作る"));
    OptionMenu[1] = make<OptionButton>("OptionMenu", form, 1, groupMenu_);
    place(OptionMenu[1], {2400, 0, 1695, 255}, translate("単体で作成する"),
          translate("1つの画像フォルダから1つのギャラリーを作る"));
    OptionMenu[1]->setInitialValue(true);
    for (int i = 0; i < 4; ++i) {
        CommandOpen[i] = make<CommandButton>("CommandOpen", form, i);
        place(CommandOpen[i], {4560 + 1080 * i, 0, 975, 255}, translate(kLauncherNames[i]),
              translate("その他タブで設定したプログラムやファイルを開く"));
        CommandOpen[i]->setEnabled(false);
    }

    TabStripMivo = make<TabStrip>(
        "TabStripMivo", form,
        std::vector<Tab>{{"Dir", translate("フォルダ"), translate("フォルダの設定")},
                         {"Disp", translate("表示形式"), translate("表示形式の設定")},
                         {"Etc", translate("その他"), translate("バージョン情報等")}});
    place(TabStripMivo, {120, 360, 8655, 8175});
    CommandOpenHtml = make<CommandButton>("CommandOpenHtml", form);
    place(CommandOpenHtml, {7800, 360, 975, 255}, translate("表示"),
          translate("作成されたhtmlを表示"));
    CommandOpenHtml->setEnabled(false);
    CommandOpenFolder = make<CommandButton>("CommandOpenFolder", form);
    place(CommandOpenFolder, {6240, 360, 1455, 255}, translate("フォルダを開く"),
          translate("作成されたhtmlのフォルダをファイルマネージャーで開く"));
    CommandOpenFolder->setAccessibleName(translate("作成されたhtmlのフォルダを開く"));
    CommandOpenFolder->setEnabled(false);

    // The four panes lie on top of each other inside the tab strip.
    const Twips paneArea{240, 720, 8415, 7695};
    FrameDirs = make<Frame>("FrameDirs", form);
    place(FrameDirs, paneArea);
    FrameMenuPath = make<Frame>("FrameMenuPath", form);
    place(FrameMenuPath, paneArea);
    FrameMenuPath->setVisible(false);
    FrameDisplay = make<Frame>("FrameDisplay", form);
    place(FrameDisplay, paneArea);
    FrameDisplay->setVisible(false);
    FrameEtc = make<Frame>("FrameEtc", form);
    place(FrameEtc, paneArea);
    FrameEtc->setVisible(false);

    // Pane FrameDirs: single mode's folders.
    FrameIndex = make<Frame>("FrameIndex", FrameDirs);
    place(FrameIndex, {120, 120, 8175, 1815}, translate("Indexファイル"));
    DirIndex = make<FolderBox>("DirIndex", FrameIndex, home);
    place(DirIndex, {120, 240, 5175, 1455});
    DirIndex->setAccessibleName(translate("Indexファイルの保存先フォルダ"));
    TextIndex = make<TextBox>("TextIndex", FrameIndex);
    place(TextIndex, {5400, 240, 2655, 285});
    TextIndex->setAccessibleName(translate("Indexファイル名"));
    FramePic = make<Frame>("FramePic", FrameDirs);
    place(FramePic, {120, 2040, 8175, 1815}, translate("画像フォルダ"));
    DirPic = make<FolderBox>("DirPic", FramePic, home);
    place(DirPic, {120, 240, 7935, 1455});
    FrameHtml = make<Frame>("FrameHtml", FrameDirs);
    place(FrameHtml, {120, 3960, 8175, 615}, translate("Html保存フォルダ"));
    TextHtml = make<TextBox>("TextHtml", FrameHtml);
    place(TextHtml, {120, 240, 3975, 285});
    TextHtml->setAccessibleName(translate("Html保存フォルダ (Indexフォルダからの相対パス)"));
    LabelHtml = make<Label>("LabelHtml", FrameHtml);
    place(LabelHtml, {4200, 270, 3855, 255}, translate("Indexフォルダからの相対パス"));
    FrameSam = make<Frame>("FrameSam", FrameDirs);
    place(FrameSam, {120, 4680, 8175, 2895}, translate("サムネイル"));
    OptionSamD[0] = make<OptionButton>("OptionSamD", FrameSam, 0, groupSamD_);
    place(OptionSamD[0], {120, 240, 3000, 255}, translate(kOriginalPictures),
          translate(kOriginalPicturesTip));
    OptionSamD[1] = make<OptionButton>("OptionSamD", FrameSam, 1, groupSamD_);
    place(OptionSamD[1], {3240, 240, 3000, 255}, translate(kThumbnailPictures),
          translate(kThumbnailPicturesTip));
    OptionSamD[1]->setInitialValue(true);
    FrameSamDir = make<Frame>("FrameSamDir", FrameSam);
    place(FrameSamDir, {120, 600, 7935, 2175});
    DirSam = make<FolderBox>("DirSam", FrameSamDir, home);
    place(DirSam, {120, 240, 7695, 1815});
    DirSam->setAccessibleName(translate("サムネイルフォルダ"));

    // Pane FrameMenuPath: menu mode's folders and the gallery list.
    FrameMenu = make<Frame>("FrameMenu", FrameMenuPath);
    place(FrameMenu, {120, 120, 8175, 1455}, translate("メニューファイル"));
    DirMenu = make<FolderBox>("DirMenu", FrameMenu, home);
    place(DirMenu, {120, 240, 5175, 1095});
    DirMenu->setAccessibleName(translate("メニューファイルの保存先フォルダ"));
    TextMenu = make<TextBox>("TextMenu", FrameMenu);
    place(TextMenu, {5400, 240, 2655, 285});
    TextMenu->setAccessibleName(translate("メニューファイル名"));
    FrameMenuHtml = make<Frame>("FrameMenuHtml", FrameMenuPath);
    place(FrameMenuHtml, {120, 1680, 8175, 615}, translate("Html保存フォルダ"));
    TextMenuHtml = make<TextBox>("TextMenuHtml", FrameMenuHtml);
    place(TextMenuHtml, {120, 240, 3975, 285});
    TextMenuHtml->setAccessibleName(translate("Html保存フォルダ (メニューフォルダからの相対パス)"));
    LabelMenuHtml = make<Label>("LabelMenuHtml", FrameMenuHtml);
    place(LabelMenuHtml, {4200, 270, 3855, 255}, translate("メニューフォルダからの相対パス"));
    FramePathList = make<Frame>("FramePathList", FrameMenuPath);
    place(FramePathList, {120, 2400, 8175, 5175}, translate("パス設定"));
    ListViewPath =
        make<ListView>("ListViewPath", FramePathList,
                       std::vector<ColumnHeader>{{translate("名前"), 1935},
                                                 {translate("画像フォルダ"), 2895},
                                                 {translate("サムネイルフォルダ"), 2895}});
    place(ListViewPath, {120, 240, 7935, 1815});
    LabelListName = make<Label>("LabelListName", FramePathList);
    place(LabelListName, {120, 2160, 600, 255}, translate("名前"));
    TextListName = make<TextBox>("TextListName", FramePathList);
    place(TextListName, {720, 2130, 3375, 285});
    TextListName->setAccessibleName(translate("ギャラリーの名前"));
    CommandListAdd = make<CommandButton>("CommandListAdd", FramePathList);
    place(CommandListAdd, {4200, 2130, 855, 285}, translate("新規"),
          translate("ギャラリーを一覧の最後に追加"));
    CommandListDelete = make<CommandButton>("CommandListDelete", FramePathList);
    place(CommandListDelete, {5160, 2130, 855, 285}, translate("削除"),
          translate("選択したギャラリーを一覧から削除"));
    CommandListUP = make<CommandButton>("CommandListUP", FramePathList);
    place(CommandListUP, {6120, 2130, 495, 285}, "▲", translate("選択したギャラリーを一つ上へ"));
    CommandListDown = make<CommandButton>("CommandListDown", FramePathList);
    place(CommandListDown, {6720, 2130, 495, 285}, "▼", translate("選択したギャラリーを一つ下へ"));
    FrameListPic = make<Frame>("FrameListPic", FramePathList);
    place(FrameListPic, {120, 2520, 3900, 2535}, translate("画像フォルダ"));
    DirListPic = make<FolderBox>("DirListPic", FrameListPic, home);
    place(DirListPic, {120, 240, 3660, 2175});
    DirListPic->setAccessibleName(translate("ギャラリーの画像フォルダ"));
    FrameListSam = make<Frame>("FrameListSam", FramePathList);
    place(FrameListSam, {4140, 2520, 3915, 2535}, translate("サムネイル"));
    OptionListSam[0] = make<OptionButton>("OptionListSam", FrameListSam, 0, groupListSam_);
    place(OptionListSam[0], {120, 240, 3675, 255}, translate(kOriginalPictures),
          translate(kOriginalPicturesTip));
    OptionListSam[0]->setInitialValue(true);
    OptionListSam[1] = make<OptionButton>("OptionListSam", FrameListSam, 1, groupListSam_);
    place(OptionListSam[1], {120, 480, 3675, 255}, translate(kThumbnailPictures),
          translate(kThumbnailPicturesTip));
    FrameListSamDir = make<Frame>("FrameListSamDir", FrameListSam);
    place(FrameListSamDir, {120, 780, 3675, 1635});
    DirListSam = make<FolderBox>("DirListSam", FrameListSamDir, home);
    place(DirListSam, {120, 240, 3435, 1275});
    DirListSam->setAccessibleName(translate("ギャラリーのサムネイルフォルダ"));
    DirListSam->setEnabled(false);

    // Pane FrameDisplay: the display options.
    FrameTitle = make<Frame>("FrameTitle", FrameDisplay);
    place(FrameTitle, {120, 120, 4095, 615}, translate("タイトル(<title>)"));
    TextTitle = make<TextBox>("TextTitle", FrameTitle);
    place(TextTitle, {120, 240, 3855, 285});
    FrameTitleSub = make<Frame>("FrameTitleSub", FrameDisplay);
    place(FrameTitleSub, {4320, 120, 3975, 615}, translate("サブタイトル"));
    TextTitleS = make<TextBox>("TextTitleS", FrameTitleSub);
    place(TextTitleS, {120, 240, 3735, 285});
    FrameAllList = make<Frame>("FrameAllList", FrameDisplay);
    place(FrameAllList, {120, 840, 4095, 855}, translate("一覧表"));
    LabelAllList = make<Label>("LabelAllList", FrameAllList);
    place(LabelAllList, {120, 270, 735, 255}, translate("列の数"));
    TextAllListWidth = make<TextBox>("TextAllListWidth", FrameAllList);
    place(TextAllListWidth, {960, 240, 615, 285});
    TextAllListWidth->setAccessibleName(translate("一覧表の列の数"));
    TextAllListWidth->setText("0");
    LabelAllListInfo = make<Label>("LabelAllListInfo", FrameAllList);
    place(LabelAllListInfo, {120, 555, 3855, 255},
          translate("※0の場合、ウィンドウの幅に合わせるが、ファイル名を表示しない"));
    FrameStart = make<Frame>("FrameStart", FrameDisplay);
    place(FrameStart, {120, 1800, 4095, 2175}, translate("初期状態"));
    OptionStart[0] = make<OptionButton>("OptionStart", FrameStart, 0, groupStart_);
    place(OptionStart[0], {120, 240, 1575, 255}, translate("一覧表示"),
          translate("トップページを開くと、サムネイルの一覧を表示する"));
    OptionStart[0]->setInitialValue(true);
    OptionStart[1] = make<OptionButton>("OptionStart", FrameStart, 1, groupStart_);
    place(OptionStart[1], {1800, 240, 2055, 255}, translate("インデックス表示"),
          translate("トップページを開くと、サムネイルと大きな画像を並べて表示する"));
    FrameStartPict = make<Frame>("FrameStartPict", FrameStart);
    place(FrameStartPict, {120, 600, 3855, 1455});
    LabelStartPic = make<Label>("LabelStartPic", FrameStartPict);
    place(LabelStartPic, {120, 240, 1215, 255}, translate("初期表示画像"));
    TextStart = make<TextBox>("TextStart", FrameStartPict);
    place(TextStart, {120, 600, 1215, 285});
    FileStartPict = make<FileListBox>("FileStartPict", FrameStartPict, home, kStartPicturePattern);
    place(FileStartPict, {1440, 120, 1095, 1215});
    FileStartPict->setAccessibleName(translate("初期表示画像の一覧"));
    PictureStartPict = make<PictureBox>("PictureStartPict", FrameStartPict);
    place(PictureStartPict, {2580, 120, 1215, 1215});
    FrameUseSam = make<Frame>("FrameUseSam", FrameDisplay);
    place(FrameUseSam, {4320, 840, 3975, 1995}, translate("サムネイル"));
    OptionSamH[0] = make<OptionButton>("OptionSamH", FrameUseSam, 0, groupSamH_);
    place(OptionSamH[0], {120, 240, 3735, 255}, translate(kOriginalPictures),
          translate(kOriginalPicturesTip));
    OptionSamH[1] = make<OptionButton>("OptionSamH", FrameUseSam, 1, groupSamH_);
    place(OptionSamH[1], {120, 480, 3735, 255}, translate(kThumbnailPictures),
          translate(kThumbnailPicturesTip));
    OptionSamH[1]->setInitialValue(true);
    FrameSamSize = make<Frame>("FrameSamSize", FrameUseSam);
    place(FrameSamSize, {120, 780, 3735, 615});
    LabelSamWidth = make<Label>("LabelSamWidth", FrameSamSize);
    place(LabelSamWidth, {120, 270, 375, 255}, translate("幅"));
    TextSamWidth = make<TextBox>("TextSamWidth", FrameSamSize);
    place(TextSamWidth, {540, 240, 615, 285});
    TextSamWidth->setAccessibleName(translate("サムネイルの幅"));
    TextSamWidth->setText("0");
    LabelSamHeight = make<Label>("LabelSamHeight", FrameSamSize);
    place(LabelSamHeight, {1320, 270, 495, 255}, translate("高さ"));
    TextSamHeight = make<TextBox>("TextSamHeight", FrameSamSize);
    place(TextSamHeight, {1860, 240, 615, 285});
    TextSamHeight->setAccessibleName(translate("サムネイルの高さ"));
    TextSamHeight->setText("0");
    FrameSlideShow = make<Frame>("FrameSlideShow", FrameDisplay);
    place(FrameSlideShow, {4320, 2940, 3975, 1125});
    CheckSlideShow = make<CheckBox>("CheckSlideShow", FrameSlideShow);
    place(CheckSlideShow, {120, 240, 3735, 255}, translate("スライドショーを使用する"),
          translate("各ページにスライドショーのボタンを付ける"));
    LabelSlideTime = make<Label>("LabelSlideTime", FrameSlideShow);
    place(LabelSlideTime, {120, 540, 1935, 255}, translate("デフォルトの表示時間"));
    TextSlideTime = make<TextBox>("TextSlideTime", FrameSlideShow);
    place(TextSlideTime, {2100, 510, 615, 285});
    TextSlideTime->setAccessibleName(translate("スライドショーの表示時間 (秒)"));
    TextSlideTime->setText("1");
    LabelSlideTime2 = make<Label>("LabelSlideTime2", FrameSlideShow);
    place(LabelSlideTime2, {2760, 540, 375, 255}, translate("秒"));
    CheckExif = make<CheckBox>("CheckExif", FrameSlideShow);
    place(CheckExif, {120, 840, 3735, 255}, translate("撮影情報を表示する"),
          translate(
              "JPEG画像に記録された撮影情報 (撮影日時、カメラ、露出など) を画像の下に表示する"));
    // Mivo's own thumbnails and display copies belong with the thumbnail choice.
    CheckReduce = make<CheckBox>("CheckReduce", FrameUseSam);
    place(CheckReduce, {120, 1440, 3735, 255}, translate("縮小画像を作成する"),
          translate("サムネイルと表示用の縮小画像を、ページの隣の thumbs と view フォルダに作る"
                    " (元の画像は変更しない)"));
    // Only Mivo's own copies can show these: a browser cannot show HEIC or most videos as
    // they are, and a thumbnail folder holds no posters.
    CheckMedia = make<CheckBox>("CheckMedia", FrameUseSam);
    place(CheckMedia, {120, 1680, 3735, 255}, translate("HEIC・PNG・WebP・動画も載せる"),
          translate("HEIC・AVIF・PNG・WebP・TIFF の画像と動画 (MP4・MOV など) も載せる。"
                    "HEIC・AVIF には HEIF 対応の libvips、動画には ffmpeg が必要"));
    CheckMedia->setEnabled(false);
    const std::string filelistTip = translate("先頭列には、ファイル名を設定してください");
    FrameFilelist = make<Frame>("FrameFilelist", FrameDisplay);
    place(FrameFilelist, {120, 4080, 4095, 1095}, "", filelistTip);
    CheckUseFileList = make<CheckBox>("CheckUseFileList", FrameFilelist);
    place(CheckUseFileList, {120, 240, 3855, 255}, translate("filelist.csvを使用する"),
          filelistTip);
    LabelFilelistWidth = make<Label>("LabelFilelistWidth", FrameFilelist);
    place(LabelFilelistWidth, {120, 540, 735, 255}, translate("幅の列"));
    TextFilelistWidth = make<TextBox>("TextFilelistWidth", FrameFilelist);
    place(TextFilelistWidth, {900, 510, 495, 285});
    TextFilelistWidth->setAccessibleName(translate("filelist.csvの幅の列"));
    TextFilelistWidth->setText("0");
    LabelFilelistHeight = make<Label>("LabelFilelistHeight", FrameFilelist);
    place(LabelFilelistHeight, {1560, 540, 855, 255}, translate("高さの列"));
    TextFilelistHeight = make<TextBox>("TextFilelistHeight", FrameFilelist);
    place(TextFilelistHeight, {2460, 510, 495, 285});
    TextFilelistHeight->setAccessibleName(translate("filelist.csvの高さの列"));
    TextFilelistHeight->setText("0");
    LabelFilelistInfo = make<Label>("LabelFilelistInfo", FrameFilelist);
    place(LabelFilelistInfo, {120, 840, 3855, 255},
          translate("※ 列を指定しない場合は、0を設定する"));
    FrameList = make<Frame>("FrameList", FrameDisplay);
    place(FrameList, {120, 5280, 8175, 2295}, translate("リストファイル"));
    FrameLink = make<Frame>("FrameLink", FrameList);
    place(FrameLink, {120, 240, 5415, 1935}, translate("リンク"));
    const std::string linkCaptions[3] = {translate("メニュー"), translate("戻る"),
                                         translate("進む")};
    for (int i = 0; i < 3; ++i) {
        FrameLinks[i] = make<Frame>("FrameLinks", FrameLink, i);
        place(FrameLinks[i], {120 + 1755 * i, 240, 1695, 1215}, linkCaptions[i]);
        LabelLinkName[i] = make<Label>("LabelLinkName", FrameLinks[i], i);
        place(LabelLinkName[i], {120, 240, 495, 255}, translate("名前"));
        TextLinkName[i] = make<TextBox>("TextLinkName", FrameLinks[i], i);
        place(TextLinkName[i], {600, 210, 975, 285});
        TextLinkName[i]->setAccessibleName(translate("リンク「%1」の名前", {linkCaptions[i]}));
        LabelLinkURL[i] = make<Label>("LabelLinkURL", FrameLinks[i], i);
        place(LabelLinkURL[i], {120, 600, 495, 255}, "URL");
        TextLinkURL[i] = make<TextBox>("TextLinkURL", FrameLinks[i], i);
        place(TextLinkURL[i], {600, 570, 975, 285});
        TextLinkURL[i]->setAccessibleName(translate("リンク「%1」のURL", {linkCaptions[i]}));
        // Enabled by its name: an empty name leaves the address unused.
        TextLinkURL[i]->setEnabled(false);
    }
    LabelLinkInfo1 = make<Label>("LabelLinkInfo1", FrameLink);
    place(LabelLinkInfo1, {120, 1440, 5175, 255}, translate("※名前がブランクの場合、使用しない"));
    LabelLinkInfo2 = make<Label>("LabelLinkInfo2", FrameLink);
    place(LabelLinkInfo2, {120, 1680, 5175, 255},
          translate("※URLは絶対パスか、html保存フォルダからの相対パス"));
    FrameBody = make<Frame>("FrameBody", FrameList);
    place(FrameBody, {5640, 240, 2415, 1935}, translate("ボディ(<body>)"));
    TextBody = make<TextBox>("TextBody", FrameBody);
    place(TextBody, {120, 240, 2175, 1575});
    TextBody->multiLine = true;
    PicturePic = make<PictureBox>("PicturePic", FrameDisplay);
    place(PicturePic, {7920, 120, 495, 495});
    PicturePic->setVisible(false);

    // Pane FrameEtc: launchers, help and version.
    FrameOpen = make<Frame>("FrameOpen", FrameEtc);
    place(FrameOpen, {120, 120, 8175, 4095}, translate("ランチャー"));
    for (int i = 0; i < 4; ++i) {
        const std::string name = translate(kLauncherNames[i]);
        FrameIniOpen[i] = make<Frame>("FrameIniOpen", FrameOpen, i);
        place(FrameIniOpen[i], {120, 240 + 945 * i, 7935, 855}, name);
        CheckOpen[i] = make<CheckBox>("CheckOpen", FrameIniOpen[i], i);
        place(CheckOpen[i], {120, 240, 2175, 255}, translate("ボタンを表示する"),
              translate("この機能のボタンを画面の上部に表示する"));
        CheckOpen[i]->setAccessibleName(translate("%1のボタンを表示する", {name}));
        CheckOpen[i]->setValue(1);
        LabelOpen[i] = make<Label>("LabelOpen", FrameIniOpen[i], i);
        place(LabelOpen[i], {2400, 270, 855, 255}, translate("表示名"));
        TextOpenName[i] = make<TextBox>("TextOpenName", FrameIniOpen[i], i);
        place(TextOpenName[i], {3300, 240, 1695, 285});
        TextOpenName[i]->setAccessibleName(translate("%1の表示名", {name}));
        TextOpenName[i]->setText(name);
        TextOpen[i] = make<TextBox>("TextOpen", FrameIniOpen[i], i);
        place(TextOpen[i], {120, 540, 7095, 285});
        TextOpen[i]->setAccessibleName(translate("%1で開くプログラム、ファイルまたはURL", {name}));
        CommandOpenPath[i] = make<CommandButton>("CommandOpenPath", FrameIniOpen[i], i);
        place(CommandOpenPath[i], {7320, 540, 495, 285}, "...", translate("開くファイルを選択"));
        CommandOpenPath[i]->setAccessibleName(translate("%1で開くファイルを選択", {name}));
    }
    CommandHelp = make<CommandButton>("CommandHelp", FrameEtc);
    place(CommandHelp, {120, 4320, 1215, 375}, translate("ヘルプ"),
          translate("readme.txtを表示 (F1)"));
    FrameVer = make<Frame>("FrameVer", FrameEtc);
    place(FrameVer, {120, 4800, 8175, 1455}, translate("バージョン情報"));
    CommandURL = make<CommandButton>("CommandURL", FrameVer);
    place(CommandURL, {120, 240, 1215, 375}, "Mivo", translate("ホームページを開く"));
    PictureIcon = make<PictureBox>("PictureIcon", FrameVer);
    place(PictureIcon, {1440, 240, 480, 480});
    LabelVer = make<Label>("LabelVer", FrameVer);
    place(LabelVer, {2040, 300, 3000, 255}, "Version ");
    LabelNotice = make<Label>("LabelNotice", FrameVer);
    place(LabelNotice, {2040, 660, 6015, 255},
          translate("本ソフトウェアは無保証です。自己責任でご利用ください。"));
    // Where this copy keeps its settings: beside the program, or the user's config folder
    // when the program folder is not the user's; the tool-tip names the templates in use.
    LabelStateFolder = make<Label>("LabelStateFolder", FrameVer);
    place(LabelStateFolder, {2040, 1020, 6015, 255},
          translate("設定の保存先: %1", {files_.stateFolder}),
          translate("テンプレート: %1", {files_.templateFolder}));
    // The language of the window and of mivo-make's messages, read at start-up.
    FrameLanguage = make<Frame>("FrameLanguage", FrameEtc);
    place(FrameLanguage, {120, 6360, 8175, 855}, translate("表示言語"));
    for (int i = 0; i < 3; ++i) {
        OptionLanguage[i] = make<OptionButton>("OptionLanguage", FrameLanguage, i, groupLanguage_);
        place(OptionLanguage[i], {120 + 1440 * i, 240, 1335, 255}, translate(kLanguageCaptions[i]),
              translate(kLanguageTips[i]));
    }
    OptionLanguage[0]->setInitialValue(true);
    LabelLanguageInfo = make<Label>("LabelLanguageInfo", FrameLanguage);
    place(LabelLanguageInfo, {120, 540, 7935, 255}, translate("※次回の起動から反映されます"));
    CommonDialogLaunch.DialogTitle = translate("ファイルの選択");

    // Along the bottom: status line, progress bar, make and exit.
    LabelMess = make<Label>("LabelMess", form);
    place(LabelMess, {120, 8640, 6495, 255});
    ProgressBarMake = make<ProgressBar>("ProgressBarMake", form);
    place(ProgressBarMake, {120, 9000, 6495, 255});
    CommandMake = make<CommandButton>("CommandMake", form);
    place(CommandMake, {6720, 8640, 975, 615}, translate("作成"), translate(kMakeToolTip));
    CommandExit = make<CommandButton>("CommandExit", form);
    place(CommandExit, {7800, 8640, 975, 615}, translate("終了"), translate("設定を保存して終了"));
}

void FormMain::bindEvents() {
    for (int i = 0; i < 2; ++i) {
        OptionMenu[i]->onClick = [this, i] { OptionMenu_Click(i); };
        OptionStart[i]->onClick = [this, i] { OptionStart_Click(i); };
        OptionSamD[i]->onClick = [this, i] { OptionSamD_Click(i); };
        OptionSamH[i]->onClick = [this, i] { OptionSamH_Click(i); };
        OptionListSam[i]->onClick = [this, i] { OptionListSam_Click(i); };
    }
    TabStripMivo->onClick = [this] { TabStripMivo_Click(); };

    DirIndex->onChange = [this] { DirIndex_Change(); };
    TextIndex->onChange = [this] { TextIndex_Change(); };
    DirMenu->onChange = [this] { DirMenu_Change(); };
    TextMenu->onChange = [this] { TextMenu_Change(); };
    DirPic->onChange = [this] { DirPic_Change(); };
    DirSam->onChange = [this] { DirSam_Change(); };
    TextHtml->onChange = [this] { TextHtml_Change(); };
    TextMenuHtml->onChange = [this] { TextMenuHtml_Change(); };
    CheckSlideShow->onClick = [this] { CheckSlideShow_Click(); };
    CheckUseFileList->onClick = [this] { CheckUseFileList_Click(); };
    CheckReduce->onClick = [this] { CheckReduce_Click(); };
    // The media box follows its copies box when that is disabled or enabled itself.
    CheckReduce->addObserver([this](Control&, Property property) {
        if (property == Property::Enabled) {
            CheckReduce_Click();
        }
    });
    for (int i = 0; i < 3; ++i) {
        TextLinkName[i]->onChange = [this, i] { TextLinkName_Change(i); };
    }
    FileStartPict->onClick = [this] { FileStartPict_Click(); };
    FileStartPict->onPathChange = [this] { FileStartPict_PathChange(); };
    TextStart->onChange = [this] { TextStart_Change(); };

    CommandListAdd->onClick = [this] { CommandListAdd_Click(); };
    CommandListDelete->onClick = [this] { CommandListDelete_Click(); };
    CommandListUP->onClick = [this] { CommandListUP_Click(); };
    CommandListDown->onClick = [this] { CommandListDown_Click(); };
    ListViewPath->onItemClick = [this](int row) { ListViewPath_ItemClick(row); };
    ListViewPath->onColumnClick = [this](int column) { ListViewPath_ColumnClick(column); };
    TextListName->onChange = [this] { TextListName_Change(); };
    DirListPic->onChange = [this] { DirListPic_Change(); };
    DirListSam->onChange = [this] { DirListSam_Change(); };

    for (int i = 0; i < 4; ++i) {
        CommandOpen[i]->onClick = [this, i] { CommandOpen_Click(i); };
        CheckOpen[i]->onClick = [this, i] { CheckOpen_Click(i); };
        TextOpen[i]->onChange = [this, i] { TextOpen_Change(i); };
        TextOpenName[i]->onChange = [this, i] { TextOpenName_Change(i); };
        CommandOpenPath[i]->onClick = [this, i] { CommandOpenPath_Click(i); };
    }
    CommandHelp->onClick = [this] { CommandHelp_Click(); };
    CommandURL->onClick = [this] { CommandURL_Click(); };
    CommandOpenHtml->onClick = [this] { CommandOpenHtml_Click(); };
    CommandOpenFolder->onClick = [this] { CommandOpenFolder_Click(); };
    // The page's folder can be opened whenever the page can be shown.
    CommandOpenHtml->addObserver([this](Control& html, Property property) {
        if (property == Property::Enabled) {
            CommandOpenFolder->setEnabled(html.enabled());
        }
    });
    CommandExit->onClick = [this] { CommandExit_Click(); };
    CommandMake->onClick = [this] { CommandMake_Click(); };
}

Control* FormMain::findControl(const std::string& name, int index) const {
    for (Control* control : controlOrder_) {
        if (control->name() == name && control->index() == index) {
            return control;
        }
    }
    return nullptr;
}

} // namespace mivo
