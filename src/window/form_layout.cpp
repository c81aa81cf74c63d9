// The main window's own controls as designed: the mode, the tab strip with the buttons beside
// it, the status line, 作成 and 終了. The panes build their own.

#include "window/form_main.h"

#include "common/translate.h"
#include "window/pane.h"

namespace mivo {

template <class T, class... Args> T* FormMain::make(Args&&... args) {
    auto control = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = control.get();
    owned_.push_back(std::move(control));
    controlOrder_.push_back(raw);
    return raw;
}

void FormMain::buildControls() {
    Control* form = &Window;
    controlOrder_.push_back(form);
    place(form, {0, 0, 8895, 9435}, kGrowWhole, "Mivo");

    // Along the top: the mode; the launcher buttons are the launcher pane's.
    OptionMenu[0] = make<OptionButton>("OptionMenu", form, 0, groupMenu_);
    place(OptionMenu[0], {120, 0, 2175, 255}, {}, translate("メニューから作成する"),
          translate("「パス設定」の一覧のフォルダごとにギャラリーを作り、"
                    "それらをまとめるメニューページを作る"));
    OptionMenu[1] = make<OptionButton>("OptionMenu", form, 1, groupMenu_);
    place(OptionMenu[1], {2400, 0, 1695, 255}, {}, translate("単体で作成する"),
          translate("1つの画像フォルダから1つのギャラリーを作る"));
    OptionMenu[1]->setInitialValue(true);
    OptionMenu[2] = make<OptionButton>("OptionMenu", form, 2, groupMenu_);
    place(OptionMenu[2], {4200, 0, 1935, 255}, {}, translate("ツリーで作成する"),
          translate("画像フォルダとその中のフォルダごとにアルバムを作り、"
                    "フォルダの階層のとおりにつなぐ"));
    CheckTreeOrder = make<CheckBox>("CheckTreeOrder", form);
    place(CheckTreeOrder, {6240, 0, 2535, 255}, {}, translate("撮影日時の順に並べる"),
          translate("ツリーのアルバムと画像を、名前の順ではなく撮影日時の順に並べる"));
    CheckTreeOrder->setEnabled(false);

    TabStripMivo = make<TabStrip>(
        "TabStripMivo", form,
        std::vector<Tab>{{"Dir", translate("フォルダ"), translate("フォルダの設定"), 'F'},
                         {"Disp", translate("表示形式"), translate("表示形式の設定"), 'D'},
                         {"Etc", translate("その他"), translate("バージョン情報等"), 'O'},
                         {"Pub", translate("公開先"), translate("公開するサーバーの設定"), 'C'}});
    place(TabStripMivo, {120, 360, 8655, 8175}, kGrowWhole);
    CommandOpenHtml = make<CommandButton>("CommandOpenHtml", form);
    place(CommandOpenHtml, {7800, 360, 975, 255}, kKeepRight, translate("表示"),
          translate("作成されたhtmlを表示"));
    CommandOpenHtml->setAccessKey('S');
    CommandOpenHtml->setEnabled(false);
    CommandOpenFolder = make<CommandButton>("CommandOpenFolder", form);
    place(CommandOpenFolder, {6240, 360, 1455, 255}, kKeepRight, translate("フォルダを開く"),
          translate("作成されたhtmlのフォルダをファイルマネージャーで開く"));
    CommandOpenFolder->setAccessibleName(translate("作成されたhtmlのフォルダを開く"));
    CommandOpenFolder->setEnabled(false);

    // The panes lie on top of each other inside the tab strip; each built its own controls.
    for (const ControlOwner* pane : std::initializer_list<const ControlOwner*>{
             &launchers, &folders, &galleryList, &display, &server}) {
        const std::vector<Control*>& own = pane->controls();
        controlOrder_.insert(controlOrder_.end(), own.begin(), own.end());
    }

    // Along the bottom, staying there: status line, progress bar, make and exit.
    const Stretch bottomWide{0, 100, 100, 0};
    const Stretch bottomRight{100, 0, 100, 0};
    LabelMess = make<Label>("LabelMess", form);
    place(LabelMess, {120, 8640, 5415, 255}, bottomWide);
    ProgressBarMake = make<ProgressBar>("ProgressBarMake", form);
    place(ProgressBarMake, {120, 9000, 5415, 255}, bottomWide);
    CommandPublish = make<CommandButton>("CommandPublish", form);
    place(CommandPublish, {5640, 8640, 975, 615}, bottomRight, translate("公開"),
          translate(kPublishToolTip));
    CommandPublish->setAccessKey('B');
    CommandMake = make<CommandButton>("CommandMake", form);
    place(CommandMake, {6720, 8640, 975, 615}, bottomRight, translate("作成"),
          translate(kMakeToolTip));
    CommandMake->setAccessKey('M');
    CommandExit = make<CommandButton>("CommandExit", form);
    place(CommandExit, {7800, 8640, 975, 615}, bottomRight, translate("終了"),
          translate("設定を保存して終了"));
    CommandExit->setAccessKey('X');

    for (std::size_t i = 0; i < OptionMenu.size(); ++i) {
        const int index = static_cast<int>(i);
        OptionMenu[i]->onClick = [this, index] { OptionMenu_Click(index); };
    }
    TabStripMivo->onClick = [this] { TabStripMivo_Click(); };
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
    CommandPublish->onClick = [this] { CommandPublish_Click(); };
}

std::span<const SettingBinding<FormMain>> FormMain::settingBindings() {
    static constexpr SettingBinding<FormMain> kRows[] = {
        bind<&Settings::OptionMenu, &FormMain::OptionMenu>(ShownAt::Mode),
        bind<&Settings::OptionTreeOrder, &FormMain::CheckTreeOrder>(ShownAt::Mode),
    };
    return kRows;
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
