// The 公開先 tab: the server the site goes to and what of the originals it holds.

#include "window/publish_pane.h"

#include "common/translate.h"
#include "window/form_main.h"

namespace mivo {

namespace {

struct BoxRow {
    const char* caption;
    const char* toolTip;
};

const BoxRow kBoxRows[8] = {
    {translatable("サーバー"),
     translatable("SSH で接続するサーバーの名前 (ssh の設定の Host も可)")},
    {translatable("ユーザー"), translatable("空欄のときは ssh の設定に従う")},
    {translatable("ポート"), translatable("0 のときは ssh の設定に従う (通常は 22)")},
    {translatable("サーバーのフォルダ"),
     translatable("サイトを置くサーバーのフォルダ (空欄のときはログインしたホーム)")},
    {translatable("ssh の設定ファイル"), translatable("空欄のときは ~/.ssh/config")},
    {translatable("rclone のリモート"), translatable("rclone config で作ったリモートの名前")},
    {translatable("リモートのフォルダ"), translatable("サイトを置くリモートのフォルダ")},
    {translatable("公開アドレス"),
     translatable("公開したサイトのアドレス (公開のあと「表示」で開く)")},
};

const char* const kOriginalsCaptions[3] = {
    translatable("元の画像と動画は画像フォルダにリンクする"),
    translatable("元の画像と動画もサイトのフォルダに置く (自己完結したサイト)"),
    translatable("元の画像は公開しない (保存は表示用の画像、動画はWeb用の動画)"),
};
const char* const kOriginalsTips[3] = {
    translatable("これまでどおり、ページから画像フォルダの元のファイルにリンクする"),
    translatable("ページがリンクするファイルをすべてサイトのフォルダの下に置く "
                 "(できるときはハードリンク、できないときはコピー)"),
    translatable("元の大きさの画像をサーバーに置かない"),
};

} // namespace

PublishPane::PublishPane(FormMain& form) {
    FramePublish = make<Frame>("FramePublish", &form.Window);
    place(FramePublish, kPaneArea, kGrowWhole);
    FramePublish->setVisible(false);

    FrameServer = make<Frame>("FrameServer", FramePublish);
    place(FrameServer, {120, 120, 8175, 4095}, kGrowWide, translate("送り先"));
    FrameServer->setAccessKey('A');
    OptionTransport[0] = make<OptionButton>("OptionTransport", FrameServer, 0, groupTransport_);
    place(OptionTransport[0], {120, 240, 2775, 255}, {}, "rsync (SSH)",
          translate("SSH で接続して rsync で送る (自分の鍵とエージェントを使う)"));
    OptionTransport[1] = make<OptionButton>("OptionTransport", FrameServer, 1, groupTransport_);
    place(OptionTransport[1], {3000, 240, 4935, 255}, {}, "rclone",
          translate("rclone config で設定したリモート (S3、WebDAV、FTP など) に送る"));
    OptionTransport[0]->setInitialValue(true);
    OptionTransport[0]->setAccessKey('R');
    OptionTransport[1]->setAccessKey('N');

    std::array<Label*, 8> labels{};
    std::array<TextBox*, 8> boxes{};
    const std::array<const char*, 8> names{"Host",      "User",         "Port",       "Folder",
                                           "SshConfig", "RcloneRemote", "RclonePath", "Address"};
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const int top = 600 + 420 * static_cast<int>(i);
        labels[i] = make<Label>(std::string("Label") + names[i], FrameServer);
        place(labels[i], {120, top + 30, 2055, 255}, {}, translate(kBoxRows[i].caption));
        boxes[i] = make<TextBox>(std::string("Text") + names[i], FrameServer);
        place(boxes[i], {2280, top, 5775, 285}, kGrowWide, {}, translate(kBoxRows[i].toolTip));
        boxes[i]->setAccessibleName(translate(kBoxRows[i].caption));
    }
    LabelHost = labels[0];
    TextHost = boxes[0];
    LabelUser = labels[1];
    TextUser = boxes[1];
    LabelPort = labels[2];
    TextPort = boxes[2];
    TextPort->setText("0");
    LabelFolder = labels[3];
    TextFolder = boxes[3];
    LabelSshConfig = labels[4];
    TextSshConfig = boxes[4];
    LabelRcloneRemote = labels[5];
    TextRcloneRemote = boxes[5];
    LabelRclonePath = labels[6];
    TextRclonePath = boxes[6];
    LabelAddress = labels[7];
    TextAddress = boxes[7];

    FrameOriginals = make<Frame>("FrameOriginals", FramePublish);
    place(FrameOriginals, {120, 4320, 8175, 1215}, kGrowWide, translate("元の画像と動画"));
    FrameOriginals->setAccessKey('V');
    for (std::size_t i = 0; i < OptionOriginals.size(); ++i) {
        const int index = static_cast<int>(i);
        OptionOriginals[i] =
            make<OptionButton>("OptionOriginals", FrameOriginals, index, groupOriginals_);
        place(OptionOriginals[i], {120, 240 + 300 * index, 7935, 255}, kGrowWide,
              translate(kOriginalsCaptions[i]), translate(kOriginalsTips[i]));
    }
    OptionOriginals[0]->setInitialValue(true);

    LabelKeyInfo = make<Label>("LabelKeyInfo", FramePublish);
    place(LabelKeyInfo, {120, 5640, 8175, 255}, kGrowWide,
          translate("※パスワードは保存しません。SSH の鍵か rclone config の設定でログインします"));

    for (std::size_t i = 0; i < OptionTransport.size(); ++i) {
        const int index = static_cast<int>(i);
        OptionTransport[i]->onClick = [this, index] { OptionTransport_Click(index); };
    }
    OptionTransport_Click(0);
}

void PublishPane::OptionTransport_Click(int index) {
    const bool rclone = index == 1;
    for (Control* control : {static_cast<Control*>(TextHost), static_cast<Control*>(TextUser),
                             static_cast<Control*>(TextPort), static_cast<Control*>(TextFolder),
                             static_cast<Control*>(TextSshConfig)}) {
        control->setEnabled(!rclone);
    }
    TextRcloneRemote->setEnabled(rclone);
    TextRclonePath->setEnabled(rclone);
}

std::span<const SettingBinding<PublishPane>> PublishPane::settingBindings() {
    using P = PublishPane;
    using S = Settings;
    static constexpr SettingBinding<PublishPane> kRows[] = {
        bindWord<&S::PublishTransportName, &P::OptionTransport, kTransportWords>(ShownAt::Texts),
        bind<&S::PublishHost, &P::TextHost>(ShownAt::Texts),
        bind<&S::PublishUser, &P::TextUser>(ShownAt::Texts),
        bind<&S::PublishPort, &P::TextPort>(ShownAt::Texts),
        bind<&S::PublishFolder, &P::TextFolder>(ShownAt::Texts),
        bind<&S::PublishSshConfig, &P::TextSshConfig>(ShownAt::Texts),
        bind<&S::PublishRcloneRemote, &P::TextRcloneRemote>(ShownAt::Texts),
        bind<&S::PublishRclonePath, &P::TextRclonePath>(ShownAt::Texts),
        bind<&S::PublishAddress, &P::TextAddress>(ShownAt::Texts),
        bind<&S::PublishOriginals, &P::OptionOriginals>(ShownAt::Texts),
    };
    return kRows;
}

} // namespace mivo
