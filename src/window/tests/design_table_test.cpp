// The window as designed, written down once from the design description: every control's
// caption, the tool-tips, the form defaults of the boxes and the places of the controls along
// the edges, compared with the window the program builds. A changed caption, a lost tool-tip
// or a moved 作成 fails here.

#include "window_fixture.h"

namespace mivo::test {
namespace {

struct Designed {
    const char* name;
    int index; // -1 outside a control array
    const char* caption;
};

// Captions, in the panes' order.
const Designed kCaptions[] = {
    {"FormMain", -1, "Mivo"},
    {"OptionMenu", 0, "メニューから作成する"},
    {"OptionMenu", 1, "単体で作成する"},
    {"OptionMenu", 2, "ツリーで作成する"},
    {"CommandOpen", 0, "機能1"},
    {"CommandOpen", 3, "機能4"},
    {"CommandOpenHtml", -1, "表示"},
    {"CommandMake", -1, "作成"},
    {"CommandExit", -1, "終了"},
    {"FrameIndex", -1, "Indexファイル"},
    {"FramePic", -1, "画像フォルダ"},
    {"FrameHtml", -1, "Html保存フォルダ"},
    {"LabelHtml", -1, "Indexフォルダからの相対パス"},
    {"FrameSam", -1, "サムネイル"},
    {"OptionSamD", 0, "オリジナル画像を利用する"},
    {"OptionSamD", 1, "サムネイル画像を利用する"},
    {"FrameMenu", -1, "メニューファイル"},
    {"FrameMenuHtml", -1, "Html保存フォルダ"},
    {"LabelMenuHtml", -1, "メニューフォルダからの相対パス"},
    {"FramePathList", -1, "パス設定"},
    {"LabelListName", -1, "名前"},
    {"CommandListAdd", -1, "新規"},
    {"CommandListDelete", -1, "削除"},
    {"CommandListUP", -1, "▲"},
    {"CommandListDown", -1, "▼"},
    {"FrameListPic", -1, "画像フォルダ"},
    {"FrameListSam", -1, "サムネイル"},
    {"OptionListSam", 0, "オリジナル画像を利用する"},
    {"OptionListSam", 1, "サムネイル画像を利用する"},
    {"FrameTitle", -1, "タイトル(<title>)"},
    {"FrameTitleSub", -1, "サブタイトル"},
    {"FrameAllList", -1, "一覧表"},
    {"LabelAllList", -1, "列の数"},
    {"LabelAllListInfo", -1, "※0の場合、ウィンドウの幅に合わせるが、ファイル名を表示しない"},
    {"FrameStart", -1, "初期状態"},
    {"OptionStart", 0, "一覧表示"},
    {"OptionStart", 1, "インデックス表示"},
    {"LabelStartPic", -1, "初期表示画像"},
    {"FrameUseSam", -1, "サムネイル"},
    {"OptionSamH", 0, "オリジナル画像を利用する"},
    {"OptionSamH", 1, "サムネイル画像を利用する"},
    {"FrameSamSize", -1, ""},
    {"LabelSamWidth", -1, "幅"},
    {"LabelSamHeight", -1, "高さ"},
    {"CheckSlideShow", -1, "スライドショーを使用する"},
    {"LabelSlideTime", -1, "デフォルトの表示時間"},
    {"LabelSlideTime2", -1, "秒"},
    {"CheckUseFileList", -1, "filelist.csvを使用する"},
    {"LabelFilelistWidth", -1, "幅の列"},
    {"LabelFilelistHeight", -1, "高さの列"},
    {"LabelFilelistInfo", -1, "※ 列を指定しない場合は、0を設定する"},
    {"FrameList", -1, "リストファイル"},
    {"FrameLink", -1, "リンク"},
    {"FrameLinks", 0, "メニュー"},
    {"FrameLinks", 1, "戻る"},
    {"FrameLinks", 2, "進む"},
    {"LabelLinkName", 2, "名前"},
    {"LabelLinkURL", 1, "URL"},
    {"LabelLinkInfo1", -1, "※名前がブランクの場合、使用しない"},
    {"LabelLinkInfo2", -1, "※URLは絶対パスか、html保存フォルダからの相対パス"},
    {"FrameBody", -1, "ボディ(<body>)"},
    {"FrameOpen", -1, "ランチャー"},
    {"FrameIniOpen", 0, "機能1"},
    {"FrameIniOpen", 3, "機能4"},
    {"CheckOpen", 2, "ボタンを表示する"},
    {"LabelOpen", 1, "表示名"},
    {"CommandOpenPath", 0, "..."},
    {"CommandHelp", -1, "ヘルプ"},
    {"FrameVer", -1, "バージョン情報"},
    {"CommandURL", -1, "Mivo"},
    {"LabelVer", -1, "Version "},
};

// The places of the controls along the window's edges (twips: left, top, width, height).
struct Placed {
    const char* name;
    int index;
    Twips place;
};
const Placed kPlaces[] = {
    {"FormMain", -1, {0, 0, 8895, 9435}},           {"OptionMenu", 0, {120, 0, 2175, 255}},
    {"OptionMenu", 1, {2400, 0, 1695, 255}},        {"OptionMenu", 2, {4200, 0, 1935, 255}},
    {"CommandOpen", 0, {6180, 0, 615, 255}},        {"CommandOpen", 1, {6840, 0, 615, 255}},
    {"CommandOpen", 2, {7500, 0, 615, 255}},        {"CommandOpen", 3, {8160, 0, 615, 255}},
    {"TabStripMivo", -1, {120, 360, 8655, 8175}},   {"CommandOpenHtml", -1, {7800, 360, 975, 255}},
    {"LabelMess", -1, {120, 8640, 5415, 255}},      {"ProgressBarMake", -1, {120, 9000, 5415, 255}},
    {"CommandPublish", -1, {5640, 8640, 975, 615}}, {"CommandMake", -1, {6720, 8640, 975, 615}},
    {"CommandExit", -1, {7800, 8640, 975, 615}},    {"FrameDirs", -1, {240, 720, 8415, 7695}},
    {"FrameMenuPath", -1, {240, 720, 8415, 7695}},  {"FrameDisplay", -1, {240, 720, 8415, 7695}},
    {"FrameEtc", -1, {240, 720, 8415, 7695}},       {"FramePublish", -1, {240, 720, 8415, 7695}},
    {"PicturePic", -1, {7920, 120, 495, 495}},
};

// Form defaults of the boxes, before any setting is loaded.
const Designed kDefaults[] = {
    {"TextAllListWidth", -1, "0"}, {"TextSamWidth", -1, "0"},      {"TextSamHeight", -1, "0"},
    {"TextSlideTime", -1, "1"},    {"TextFilelistWidth", -1, "0"}, {"TextFilelistHeight", -1, "0"},
    {"TextOpenName", 0, "機能1"},  {"TextOpenName", 1, "機能2"},   {"TextOpenName", 2, "機能3"},
    {"TextOpenName", 3, "機能4"},
};

using DesignTableTest = WindowTest;

TEST_F(DesignTableTest, TheBuiltWindowMatchesTheDesign) {
    FormMain& f = form();
    for (const Designed& d : kCaptions) {
        const Control* c =
            std::string(d.name) == "FormMain" ? &f.Window : f.findControl(d.name, d.index);
        ASSERT_NE(c, nullptr) << d.name << "(" << d.index << ")";
        EXPECT_EQ(c->caption(), d.caption) << c->displayName();
    }
    for (const Placed& p : kPlaces) {
        const Control* c =
            std::string(p.name) == "FormMain" ? &f.Window : f.findControl(p.name, p.index);
        ASSERT_NE(c, nullptr) << p.name;
        const Twips& g = c->geometry();
        EXPECT_EQ((std::vector<int>{g.Left, g.Top, g.Width, g.Height}),
                  (std::vector<int>{p.place.Left, p.place.Top, p.place.Width, p.place.Height}))
            << c->displayName();
    }
    EXPECT_EQ(f.display.PictureStartPict->geometry().Width, 1215);
    EXPECT_EQ(f.display.PictureStartPict->geometry().Height, 1215);
    for (const Designed& d : kDefaults) {
        const Control* control = f.findControl(d.name, d.index);
        ASSERT_NE(control, nullptr) << d.name;
        ASSERT_EQ(control->kind(), ControlKind::TextBox) << d.name;
        const auto* box = static_cast<const TextBox*>(control);
        EXPECT_EQ(box->text(), d.caption) << box->displayName();
    }
    EXPECT_EQ(f.galleryList.ListViewPath->columns().size(), 3U);
    EXPECT_EQ(f.galleryList.ListViewPath->columns()[0].Text, "名前");
    EXPECT_EQ(f.galleryList.ListViewPath->columns()[1].Text, "画像フォルダ");
    EXPECT_EQ(f.galleryList.ListViewPath->columns()[2].Text, "サムネイルフォルダ");
    const std::vector<std::vector<std::string>> tabs = {
        {"Dir", "フォルダ", "フォルダの設定"},
        {"Disp", "表示形式", "表示形式の設定"},
        {"Etc", "その他", "バージョン情報等"},
        {"Pub", "公開先", "公開するサーバーの設定"}};
    ASSERT_EQ(f.TabStripMivo->tabs().size(), tabs.size());
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        const Tab& t = f.TabStripMivo->tabs()[i];
        EXPECT_EQ((std::vector<std::string>{t.Key, t.Caption, t.ToolTipText}), tabs[i]);
    }

    // The designed tool-tips, and one on every button.
    EXPECT_EQ(f.CommandOpenHtml->toolTipText(), "作成されたhtmlを表示");
    EXPECT_EQ(f.display.FrameFilelist->toolTipText(), "先頭列には、ファイル名を設定してください");
    EXPECT_EQ(f.display.CheckUseFileList->toolTipText(),
              "先頭列には、ファイル名を設定してください");
    for (const Control* c : f.controls()) {
        if (c->kind() == ControlKind::CommandButton) {
            EXPECT_FALSE(c->toolTipText().empty()) << c->displayName();
        }
    }
}

} // namespace
} // namespace mivo::test
