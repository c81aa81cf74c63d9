// The display options: the controls that depend on an option, the mirrored thumbnail options,
// the start-picture chooser with its preview, and the adjustments for menu mode.

#include "window/display_pane.h"

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "common/translate.h"
#include "generation/plan/item_kind.h"
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

DisplayPane::DisplayPane(FormMain& form, const std::string& startFolder) : form_(form) {
    FrameDisplay = make<Frame>("FrameDisplay", &form.Window);
    place(FrameDisplay, kPaneArea, kGrowWhole);
    FrameDisplay->setVisible(false);

    // Two columns share the extra width; the start picture's list and the body tag take the
    // extra height.
    const Stretch left{0, 50, 0, 0};
    const Stretch right{50, 50, 0, 0};
    FrameTitle = make<Frame>("FrameTitle", FrameDisplay);
    place(FrameTitle, {120, 120, 4095, 615}, left, translate("タイトル(<title>)"));
    FrameTitle->setAccessKey('T');
    TextTitle = make<TextBox>("TextTitle", FrameTitle);
    place(TextTitle, {120, 240, 3855, 285}, kGrowWide);
    FrameTitleSub = make<Frame>("FrameTitleSub", FrameDisplay);
    place(FrameTitleSub, {4320, 120, 3975, 615}, right, translate("サブタイトル"));
    FrameTitleSub->setAccessKey('L');
    TextTitleS = make<TextBox>("TextTitleS", FrameTitleSub);
    place(TextTitleS, {120, 240, 3735, 285}, kGrowWide);
    FrameAllList = make<Frame>("FrameAllList", FrameDisplay);
    place(FrameAllList, {120, 840, 4095, 855}, left, translate("一覧表"));
    FrameAllList->setAccessKey('A');
    LabelAllList = make<Label>("LabelAllList", FrameAllList);
    place(LabelAllList, {120, 270, 735, 255}, {}, translate("列の数"));
    TextAllListWidth = make<TextBox>("TextAllListWidth", FrameAllList);
    place(TextAllListWidth, {960, 240, 615, 285});
    TextAllListWidth->setAccessibleName(translate("一覧表の列の数"));
    TextAllListWidth->setText("0");
    LabelAllListInfo = make<Label>("LabelAllListInfo", FrameAllList);
    place(LabelAllListInfo, {120, 555, 3855, 255}, kGrowWide,
          translate("※0の場合、ウィンドウの幅に合わせるが、ファイル名を表示しない"));
    FrameStart = make<Frame>("FrameStart", FrameDisplay);
    place(FrameStart, {120, 1800, 4095, 2175}, {0, 50, 0, 50}, translate("初期状態"));
    FrameStart->setAccessKey('V');
    OptionStart[0] = make<OptionButton>("OptionStart", FrameStart, 0, groupStart_);
    place(OptionStart[0], {120, 240, 1575, 255}, {}, translate("一覧表示"),
          translate("トップページを開くと、サムネイルの一覧を表示する"));
    OptionStart[0]->setInitialValue(true);
    OptionStart[1] = make<OptionButton>("OptionStart", FrameStart, 1, groupStart_);
    place(OptionStart[1], {1800, 240, 2055, 255}, {}, translate("インデックス表示"),
          translate("トップページを開くと、サムネイルと大きな画像を並べて表示する"));
    FrameStartPict = make<Frame>("FrameStartPict", FrameStart);
    place(FrameStartPict, {120, 600, 3855, 1455}, kGrowWhole);
    LabelStartPic = make<Label>("LabelStartPic", FrameStartPict);
    place(LabelStartPic, {120, 240, 1215, 255}, {}, translate("初期表示画像"));
    TextStart = make<TextBox>("TextStart", FrameStartPict);
    place(TextStart, {120, 600, 1215, 285});
    FileStartPict =
        make<FileListBox>("FileStartPict", FrameStartPict, startFolder, kStartPicturePattern);
    place(FileStartPict, {1440, 120, 1095, 1215}, kGrowWhole);
    FileStartPict->setAccessibleName(translate("初期表示画像の一覧"));
    PictureStartPict = make<PictureBox>("PictureStartPict", FrameStartPict);
    place(PictureStartPict, {2580, 120, 1215, 1215}, kKeepRight);
    FrameUseSam = make<Frame>("FrameUseSam", FrameDisplay);
    place(FrameUseSam, {4320, 840, 3975, 2235}, right, translate("サムネイル"));
    FrameUseSam->setAccessKey('N');
    OptionSamH[0] = make<OptionButton>("OptionSamH", FrameUseSam, 0, groupSamH_);
    place(OptionSamH[0], {120, 240, 3735, 255}, {}, translate(kOriginalPictures),
          translate(kOriginalPicturesTip));
    OptionSamH[1] = make<OptionButton>("OptionSamH", FrameUseSam, 1, groupSamH_);
    place(OptionSamH[1], {120, 480, 3735, 255}, {}, translate(kThumbnailPictures),
          translate(kThumbnailPicturesTip));
    OptionSamH[1]->setInitialValue(true);
    FrameSamSize = make<Frame>("FrameSamSize", FrameUseSam);
    place(FrameSamSize, {120, 780, 3735, 615}, kGrowWide);
    LabelSamWidth = make<Label>("LabelSamWidth", FrameSamSize);
    place(LabelSamWidth, {120, 270, 375, 255}, {}, translate("幅"));
    TextSamWidth = make<TextBox>("TextSamWidth", FrameSamSize);
    place(TextSamWidth, {540, 240, 615, 285});
    TextSamWidth->setAccessibleName(translate("サムネイルの幅"));
    TextSamWidth->setText("0");
    LabelSamHeight = make<Label>("LabelSamHeight", FrameSamSize);
    place(LabelSamHeight, {1320, 270, 495, 255}, {}, translate("高さ"));
    TextSamHeight = make<TextBox>("TextSamHeight", FrameSamSize);
    place(TextSamHeight, {1860, 240, 615, 285});
    TextSamHeight->setAccessibleName(translate("サムネイルの高さ"));
    TextSamHeight->setText("0");
    // Mivo's own thumbnails and display copies belong with the thumbnail choice.
    CheckReduce = make<CheckBox>("CheckReduce", FrameUseSam);
    place(CheckReduce, {120, 1440, 3735, 255}, kGrowWide, translate("縮小画像を作成する"),
          translate("サムネイルと表示用の縮小画像を、ページの隣の thumbs と view フォルダに作る"
                    " (元の画像は変更しない)"));
    CheckReduce->setAccessKey('R');
    // Only Mivo's own copies can show these: a browser cannot show HEIC or most videos as
    // they are, and a thumbnail folder holds no posters.
    CheckMedia = make<CheckBox>("CheckMedia", FrameUseSam);
    place(CheckMedia, {120, 1680, 3735, 255}, kGrowWide, translate("HEIC・PNG・WebP・動画も載せる"),
          translate("HEIC・AVIF・PNG・WebP・TIFF の画像と動画 (MP4・MOV など) も載せる。"
                    "HEIC・AVIF には HEIF 対応の libvips、動画には ffmpeg が必要"));
    CheckMedia->setAccessKey('I');
    CheckMedia->setEnabled(false);
    // Live Photos: only the media option shows the motion at all.
    CheckLivePhoto = make<CheckBox>("CheckLivePhoto", FrameUseSam);
    place(CheckLivePhoto, {360, 1920, 3495, 255}, kGrowWide,
          translate("Live Photo を1つにまとめる"),
          translate("同じ名前の静止画と短い動画 (iPhone の Live Photo) を1つの画像として載せ、"
                    "動きは画像の表示で再生する"));
    CheckLivePhoto->setAccessKey('H');
    CheckLivePhoto->setEnabled(false);
    FrameSlideShow = make<Frame>("FrameSlideShow", FrameDisplay);
    place(FrameSlideShow, {4320, 3180, 3975, 1395}, right);
    CheckSlideShow = make<CheckBox>("CheckSlideShow", FrameSlideShow);
    place(CheckSlideShow, {120, 240, 3735, 255}, kGrowWide, translate("スライドショーを使用する"),
          translate("各ページにスライドショーのボタンを付ける"));
    CheckSlideShow->setAccessKey('W');
    LabelSlideTime = make<Label>("LabelSlideTime", FrameSlideShow);
    place(LabelSlideTime, {120, 540, 1935, 255}, {}, translate("デフォルトの表示時間"));
    TextSlideTime = make<TextBox>("TextSlideTime", FrameSlideShow);
    place(TextSlideTime, {2100, 510, 615, 285});
    TextSlideTime->setAccessibleName(translate("スライドショーの表示時間 (秒)"));
    TextSlideTime->setText("1");
    LabelSlideTime2 = make<Label>("LabelSlideTime2", FrameSlideShow);
    place(LabelSlideTime2, {2760, 540, 375, 255}, {}, translate("秒"));
    CheckExif = make<CheckBox>("CheckExif", FrameSlideShow);
    place(CheckExif, {120, 840, 3735, 255}, kGrowWide, translate("撮影情報を表示する"),
          translate(
              "JPEG画像に記録された撮影情報 (撮影日時、カメラ、露出など) を画像の下に表示する"));
    CheckExif->setAccessKey('G');
    CheckCaption = make<CheckBox>("CheckCaption", FrameSlideShow);
    place(CheckCaption, {120, 1110, 3735, 255}, kGrowWide,
          translate("画像に記録された説明を表示する"),
          translate("filelist.csvに説明のない画像には、画像に記録された説明 (XMP、IPTC、EXIF) "
                    "を表示する"));
    CheckCaption->setAccessKey('E');
    const std::string filelistTip = translate("先頭列には、ファイル名を設定してください");
    FrameFilelist = make<Frame>("FrameFilelist", FrameDisplay);
    place(FrameFilelist, {120, 4080, 4095, 1095}, {0, 50, 50, 0}, "", filelistTip);
    CheckUseFileList = make<CheckBox>("CheckUseFileList", FrameFilelist);
    place(CheckUseFileList, {120, 240, 3855, 255}, kGrowWide, translate("filelist.csvを使用する"),
          filelistTip);
    CheckUseFileList->setAccessKey('U');
    LabelFilelistWidth = make<Label>("LabelFilelistWidth", FrameFilelist);
    place(LabelFilelistWidth, {120, 540, 735, 255}, {}, translate("幅の列"));
    TextFilelistWidth = make<TextBox>("TextFilelistWidth", FrameFilelist);
    place(TextFilelistWidth, {900, 510, 495, 285});
    TextFilelistWidth->setAccessibleName(translate("filelist.csvの幅の列"));
    TextFilelistWidth->setText("0");
    LabelFilelistHeight = make<Label>("LabelFilelistHeight", FrameFilelist);
    place(LabelFilelistHeight, {1560, 540, 855, 255}, {}, translate("高さの列"));
    TextFilelistHeight = make<TextBox>("TextFilelistHeight", FrameFilelist);
    place(TextFilelistHeight, {2460, 510, 495, 285});
    TextFilelistHeight->setAccessibleName(translate("filelist.csvの高さの列"));
    TextFilelistHeight->setText("0");
    LabelFilelistInfo = make<Label>("LabelFilelistInfo", FrameFilelist);
    place(LabelFilelistInfo, {120, 840, 3855, 255}, kGrowWide,
          translate("※ 列を指定しない場合は、0を設定する"));
    FrameList = make<Frame>("FrameList", FrameDisplay);
    place(FrameList, {120, 5280, 8175, 2295}, {0, 100, 50, 50}, translate("リストファイル"));
    FrameList->setAccessKey('P');
    FrameLink = make<Frame>("FrameLink", FrameList);
    place(FrameLink, {120, 240, 5415, 1935}, {0, 66, 0, 0}, translate("リンク"));
    FrameLink->setAccessKey('K');
    const std::string linkCaptions[3] = {translate("メニュー"), translate("戻る"),
                                         translate("進む")};
    for (std::size_t i = 0; i < 3; ++i) {
        const int index = static_cast<int>(i);
        FrameLinks[i] = make<Frame>("FrameLinks", FrameLink, index);
        place(FrameLinks[i], {120 + 1755 * index, 240, 1695, 1215}, {33 * index, 33, 0, 0},
              linkCaptions[i]);
        LabelLinkName[i] = make<Label>("LabelLinkName", FrameLinks[i], index);
        place(LabelLinkName[i], {120, 240, 495, 255}, {}, translate("名前"));
        TextLinkName[i] = make<TextBox>("TextLinkName", FrameLinks[i], index);
        place(TextLinkName[i], {600, 210, 975, 285}, kGrowWide);
        TextLinkName[i]->setAccessibleName(translate("リンク「%1」の名前", {linkCaptions[i]}));
        LabelLinkURL[i] = make<Label>("LabelLinkURL", FrameLinks[i], index);
        place(LabelLinkURL[i], {120, 600, 495, 255}, {}, "URL");
        TextLinkURL[i] = make<TextBox>("TextLinkURL", FrameLinks[i], index);
        place(TextLinkURL[i], {600, 570, 975, 285}, kGrowWide);
        TextLinkURL[i]->setAccessibleName(translate("リンク「%1」のURL", {linkCaptions[i]}));
        // Enabled by its name: an empty name leaves the address unused.
        TextLinkURL[i]->setEnabled(false);
    }
    LabelLinkInfo1 = make<Label>("LabelLinkInfo1", FrameLink);
    place(LabelLinkInfo1, {120, 1440, 5175, 255}, kGrowWide,
          translate("※名前がブランクの場合、使用しない"));
    LabelLinkInfo2 = make<Label>("LabelLinkInfo2", FrameLink);
    place(LabelLinkInfo2, {120, 1680, 5175, 255}, kGrowWide,
          translate("※URLは絶対パスか、html保存フォルダからの相対パス"));
    FrameBody = make<Frame>("FrameBody", FrameList);
    place(FrameBody, {5640, 240, 2415, 1935}, {66, 34, 0, 100}, translate("ボディ(<body>)"));
    FrameBody->setAccessKey('Y');
    TextBody = make<TextBox>("TextBody", FrameBody);
    place(TextBody, {120, 240, 2175, 1575}, kGrowWhole);
    TextBody->multiLine = true;
    PicturePic = make<PictureBox>("PicturePic", FrameDisplay);
    place(PicturePic, {7920, 120, 495, 495}, kKeepRight);
    PicturePic->setVisible(false);

    for (std::size_t i = 0; i < 2; ++i) {
        const int index = static_cast<int>(i);
        OptionStart[i]->onClick = [this, index] { OptionStart_Click(index); };
        OptionSamH[i]->onClick = [this, index] { OptionSamH_Click(index); };
    }
    CheckSlideShow->onClick = [this] { CheckSlideShow_Click(); };
    CheckUseFileList->onClick = [this] { CheckUseFileList_Click(); };
    CheckReduce->onClick = [this] { CheckReduce_Click(); };
    CheckMedia->onClick = [this] { CheckMedia_Click(); };
    // The media box follows its copies box when that is disabled or enabled itself.
    CheckReduce->addObserver([this](Control&, Property property) {
        if (property == Property::Enabled) {
            CheckReduce_Click();
        }
    });
    for (std::size_t i = 0; i < 3; ++i) {
        const int index = static_cast<int>(i);
        TextLinkName[i]->onChange = [this, index] { TextLinkName_Change(index); };
    }
    FileStartPict->onClick = [this] { FileStartPict_Click(); };
    FileStartPict->onPathChange = [this] { FileStartPict_PathChange(); };
    TextStart->onChange = [this] { TextStart_Change(); };
    listStartPictures();
}

std::span<const SettingBinding<DisplayPane>> DisplayPane::settingBindings() {
    using D = DisplayPane;
    using S = Settings;
    static constexpr SettingBinding<DisplayPane> kRows[] = {
        bind<&S::TextTitle, &D::TextTitle>(ShownAt::Texts),
        bind<&S::TextTitleS, &D::TextTitleS>(ShownAt::Texts),
        bind<&S::TextBody, &D::TextBody>(ShownAt::Texts),
        bind<&S::OptionStart, &D::OptionStart>(ShownAt::Loading),
        bind<&S::CheckUseFileList, &D::CheckUseFileList>(ShownAt::Loading),
        bind<&S::TextFilelistWidth, &D::TextFilelistWidth>(ShownAt::Loading),
        bind<&S::TextFilelistHeight, &D::TextFilelistHeight>(ShownAt::Loading),
        bind<&S::CheckSlideShow, &D::CheckSlideShow>(ShownAt::Loading),
        bind<&S::TextSlideTime, &D::TextSlideTime>(ShownAt::Loading),
        // The folder pane's pair holds the choice; this one only follows it.
        mirror<&S::OptionSamD, &D::OptionSamH>(ShownAt::Loading),
        bind<&S::TextSamWidth, &D::TextSamWidth>(ShownAt::Loading),
        bind<&S::TextSamHeight, &D::TextSamHeight>(ShownAt::Loading),
        bind<&S::TextAllListWidth, &D::TextAllListWidth>(ShownAt::Loading),
        bind<&S::TextLinkName, &D::TextLinkName, 0>(ShownAt::Links),
        bind<&S::TextLinkURL, &D::TextLinkURL, 0>(ShownAt::Links),
        bind<&S::TextLinkName, &D::TextLinkName, 1>(ShownAt::Links),
        bind<&S::TextLinkURL, &D::TextLinkURL, 1>(ShownAt::Links),
        bind<&S::TextLinkName, &D::TextLinkName, 2>(ShownAt::Links),
        bind<&S::TextLinkURL, &D::TextLinkURL, 2>(ShownAt::Links),
        bind<&S::CheckExif, &D::CheckExif>(ShownAt::Loading),
        bind<&S::CheckReduce, &D::CheckReduce>(ShownAt::Loading),
        bind<&S::CheckMedia, &D::CheckMedia>(ShownAt::Loading),
        bind<&S::CheckCaption, &D::CheckCaption>(ShownAt::Loading),
        bind<&S::CheckLivePhoto, &D::CheckLivePhoto>(ShownAt::Loading),
    };
    return kRows;
}

void DisplayPane::showMode(bool menuMode) {
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
}

void DisplayPane::setSamSizeEnabled(bool enabled) {
    LabelSamWidth->setEnabled(enabled);
    TextSamWidth->setEnabled(enabled);
    LabelSamHeight->setEnabled(enabled);
    TextSamHeight->setEnabled(enabled);
}

void DisplayPane::showStartPicture(const std::string& startName) {
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

void DisplayPane::listStartPictures() {
    // As the run decides it: the media kinds need the copies, and the copies the full-size
    // pictures.
    const bool media =
        CheckMedia->value() == 1 && CheckReduce->value() == 1 && OptionSamH[0]->value();
    FileStartPict->setFilter(
        [media](const std::string& name) { return itemKindOf(name, media) != ItemKind::None; });
}

// --- Dependent controls ---------------------------------------------------------------------

void DisplayPane::CheckSlideShow_Click() {
    logStart("CheckSlideShow_Click");
    const bool on = CheckSlideShow->value() == 1;
    LabelSlideTime->setEnabled(on);
    TextSlideTime->setEnabled(on);
    LabelSlideTime2->setEnabled(on);
    logEnd("CheckSlideShow_Click");
}

void DisplayPane::CheckUseFileList_Click() {
    logStart("CheckUseFileList_Click");
    const bool on = CheckUseFileList->value() == 1;
    LabelFilelistWidth->setEnabled(on);
    LabelFilelistHeight->setEnabled(on);
    TextFilelistWidth->setEnabled(on);
    TextFilelistHeight->setEnabled(on);
    LabelFilelistInfo->setEnabled(on);
    logEnd("CheckUseFileList_Click");
}

void DisplayPane::CheckReduce_Click() {
    logStart("CheckReduce_Click");
    // The media box keeps its value while disabled: ticking the copies again brings it back.
    CheckMedia->setEnabled(CheckReduce->enabled() && CheckReduce->value() == 1);
    CheckLivePhoto->setEnabled(CheckMedia->enabled() && CheckMedia->value() == 1);
    listStartPictures();
    logEnd("CheckReduce_Click");
}

void DisplayPane::CheckMedia_Click() {
    logStart("CheckMedia_Click");
    CheckLivePhoto->setEnabled(CheckMedia->enabled() && CheckMedia->value() == 1);
    listStartPictures();
    logEnd("CheckMedia_Click");
}

void DisplayPane::OptionStart_Click(int index) {
    logStartIndex("OptionStart_Click", index);
    const bool on = index != 0;
    LabelStartPic->setEnabled(on);
    TextStart->setEnabled(on);
    FileStartPict->setEnabled(on);
    PictureStartPict->setEnabled(on);
    logEnd("OptionStart_Click");
}

void DisplayPane::OptionSamH_Click(int index) {
    logStartIndex("OptionSamH_Click", index);
    // The folder pane's pair mirrors this one.
    OptionButton* partner = form_.folders.OptionSamD[static_cast<std::size_t>(index)];
    if (!partner->value()) {
        partner->select();
    }
    setSamSizeEnabled(index == 0);
    listStartPictures();
    logEnd("OptionSamH_Click");
}

void DisplayPane::TextLinkName_Change(int index) {
    logStartIndex("TextLinkName_Change", index);
    const auto i = static_cast<std::size_t>(index);
    TextLinkURL[i]->setEnabled(!TextLinkName[i]->text().empty());
    logEnd("TextLinkName_Change");
}

// --- Start picture ----------------------------------------------------------------------

void DisplayPane::FileStartPict_Click() {
    logStart("FileStartPict_Click");
    PictureStartPict->cls();
    const std::string name = FileStartPict->fileName();
    const std::string path = cmAddPath(FileStartPict->path(), name, kPathSeparator);
    long width = 0;
    long height = 0;
    if (!name.empty() && form_.services().loadPicture(path, width, height) && width > 0 &&
        height > 0) {
        int w = 0;
        int h = 0;
        previewSize(width, height, w, h);
        PicturePic->paintPicture(path, static_cast<int>(width), static_cast<int>(height));
        PictureStartPict->paintPicture(path, w, h);
        TextStart->setText(name);
    } else if (!name.empty() && itemKindOf(name, true) != ItemKind::Picture) {
        // A video or a HEIC picture is chosen without a preview; a JPEG, GIF or BMP that
        // cannot be drawn is broken, and the name stays as it was.
        TextStart->setText(name);
    }
    logEnd("FileStartPict_Click");
}

void DisplayPane::FileStartPict_PathChange() {
    TextStart->setText("");
}

void DisplayPane::TextStart_Change() {
    logStart("TextStart_Change");
    form_.globals().gstrStartName = TextStart->text();
    if (TextStart->text().empty()) {
        PictureStartPict->cls();
    }
    logEnd("TextStart_Change");
}

} // namespace mivo
