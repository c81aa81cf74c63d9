// The main window on the offscreen platform: widgets for every control, both-way binding,
// captions that fit, the folder chooser, and a Make run started with the mouse.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include "settings/ini_file.h"
#include "support/temp_dir.h"
#include "window/form_main.h"
#include "window/qt/desktop_services.h"
#include "window/qt/folder_chooser.h"
#include "window/qt/main_view.h"

namespace mivo::qt {
namespace {

namespace fs = std::filesystem;

/// The text a widget draws for a control's caption: with its access key ("作成(M)"), the
/// key's "&" gone.
QString drawnText(const Control& control) {
    QString text = MainView::shownCaption(control.caption(), control.accessKey());
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

/// The desktop services, also noting what the window looked like at every status repaint.
class RecordingServices : public DesktopServices {
  public:
    struct Paint {
        QString label;
        int bar = 0;
        bool panesEnabled = true;
        QString makeCaption;
    };
    void statusPainted() override {
        if (view != nullptr) {
            paints.push_back(
                {view->findChild<QLabel*>(QStringLiteral("LabelMess"))->text(),
                 view->findChild<QProgressBar*>(QStringLiteral("ProgressBarMake"))->value(),
                 view->findChild<QWidget*>(QStringLiteral("FrameDirs"))->isEnabled(),
                 view->findChild<QPushButton*>(QStringLiteral("CommandMake"))->text()});
        }
    }
    /// Questions are answered here rather than in a box nobody would click.
    bool askYesNo(const std::string& text, const std::string& /*caption*/) override {
        questions.push_back(text);
        return answer;
    }
    MainView* view = nullptr;
    std::vector<Paint> paints;
    std::vector<std::string> questions;
    bool answer = false;
};

/// A program folder with the shipped templates, a folder of pictures, and the window on it.
class MainViewTest : public testing::Test {
  protected:
    void SetUp() override {
        std::error_code ec;
        fs::copy(std::string(MIVO_SOURCE_DIR) + "/html", dir_ / "html", fs::copy_options::recursive,
                 ec);
        pictures_ = dir_.mkdir("album");
        makePicture(pictures_ + "/beach.jpg", 160, 120, Qt::blue);
        makePicture(pictures_ + "/forest.jpg", 120, 160, Qt::darkGreen);
        makePicture(pictures_ + "/sunset.jpg", 200, 100, Qt::red);
        dir_.mkdir("album/sub");
        output_ = dir_.mkdir("site");
        ini_ = dir_ / "Mivo.ini";
        // The sample album: single mode, full-size pictures as thumbnails.
        cmSetIni(ini_, "Ini", "Mode", "1");
        cmSetIni(ini_, "Path", "Pic", pictures_);
        cmSetIni(ini_, "Path", "Thum", pictures_);
        cmSetIni(ini_, "Path", "Index", output_ + "/index.html");
        cmSetIni(ini_, "Html", "TUse", "0");
    }

    void TearDown() override {
        services_.abandonRun();
        if (view_) {
            services_.setView(nullptr);
            services_.view = nullptr;
        }
        view_.reset();
        form_.reset();
    }

    static void makePicture(const std::string& path, int width, int height, Qt::GlobalColor color) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(color);
        ASSERT_TRUE(image.save(QString::fromStdString(path), "JPEG"));
    }

    void openWindow() {
        form_ = std::make_unique<FormMain>(dir_.path(), services_);
        view_ = std::make_unique<MainView>(*form_);
        services_.setView(view_.get());
        services_.view = view_.get();
        form_->Form_Load();
        view_->restorePlace();
        view_->show();
        QCoreApplication::processEvents();
    }

    template <class W> W* widget(const char* objectName) const {
        W* found = view_->findChild<W*>(QString::fromLatin1(objectName));
        EXPECT_NE(found, nullptr) << objectName;
        return found;
    }

    /// Lets the event loop run until the Make run has handed the window back.
    void waitForRun(int timeoutMs = 30000) const {
        QElapsedTimer clock;
        clock.start();
        while (form_->running() && clock.elapsed() < timeoutMs) {
            QTest::qWait(5);
        }
        ASSERT_FALSE(form_->running()) << "the run did not end";
    }

    void clickTab(int index) {
        auto* tabs = widget<QTabWidget>("TabStripMivo");
        QTabBar* bar = tabs->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    void clickOption(const char* objectName) {
        auto* option = widget<QRadioButton>(objectName);
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
    }

    /// Every caption shown is drawn whole, inside its widget, and no two widgets of one frame
    /// overlap.
    void expectCaptionsWholeAndApart(const std::string& where) const {
        for (const Control* control : form_->controls()) {
            QWidget* w = view_->widgetFor(control);
            if (w == view_.get() || !w->isVisible()) {
                continue;
            }
            const QString caption = drawnText(*control);
            const QFontMetrics metrics(w->font());
            const int textWidth = metrics.horizontalAdvance(caption);
            // No tofu: the caption font itself holds every character.
            for (const char32_t ch : caption.toUcs4()) {
                EXPECT_TRUE(metrics.inFontUcs4(ch))
                    << where << " " << control->displayName() << " U+" << std::hex
                    << static_cast<unsigned>(ch) << std::dec;
            }
            if (caption.isEmpty()) {
                // nothing to clip
            } else if (auto* label = qobject_cast<QLabel*>(w); label && label->wordWrap()) {
                EXPECT_LE(label->heightForWidth(w->width()), w->height())
                    << where << " " << control->displayName();
            } else if (control->kind() == ControlKind::Label) {
                EXPECT_LE(textWidth, w->contentsRect().width())
                    << where << " " << control->displayName();
                EXPECT_LE(metrics.height(), w->height()) << where << " " << control->displayName();
            } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
                EXPECT_LE(w->sizeHint().width(), w->width())
                    << where << " " << control->displayName();
            } else if (qobject_cast<QPushButton*>(w)) {
                EXPECT_LE(textWidth + 6, w->width()) << where << " " << control->displayName();
                EXPECT_LE(metrics.height(), w->height()) << where << " " << control->displayName();
            } else if (qobject_cast<QGroupBox*>(w)) {
                EXPECT_LE(textWidth + 16, w->width()) << where << " " << control->displayName();
            }
            // Siblings inside a frame never overlap (the form's own children do by
            // design: the panes and the 表示 button lie over the tab strip).
            if (control->parent() == nullptr || control->parent() == &form_->Window) {
                continue;
            }
            for (const Control* other : control->parent()->children()) {
                QWidget* ow = view_->widgetFor(other);
                if (other == control || ow == nullptr || !ow->isVisible()) {
                    continue;
                }
                // A pixel of rounding where a label meets its box is not an overlap.
                const QRect common = w->geometry().intersected(ow->geometry());
                EXPECT_FALSE(common.width() > 2 && common.height() > 2)
                    << where << " " << control->displayName() << " overlaps "
                    << other->displayName();
            }
        }
    }

    test::TempDir dir_;
    std::string pictures_;
    std::string output_;
    std::string ini_;
    RecordingServices services_;
    std::unique_ptr<FormMain> form_;
    std::unique_ptr<MainView> view_;
};

TEST_F(MainViewTest, EveryControlHasAWidgetWithItsCaptionAndToolTip) {
    openWindow();
    EXPECT_EQ(view_->windowTitle(), QStringLiteral("Mivo"));
    for (const Control* control : form_->controls()) {
        QWidget* w = view_->widgetFor(control);
        ASSERT_NE(w, nullptr) << control->displayName();
        const QString caption = QString::fromStdString(control->caption());
        const QString shown = MainView::shownCaption(control->caption(), control->accessKey());
        if (auto* label = qobject_cast<QLabel*>(w);
            label && control->kind() == ControlKind::Label) {
            EXPECT_EQ(label->text(), caption) << control->displayName();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_EQ(button->text(), shown) << control->displayName();
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            EXPECT_EQ(group->title(), shown) << control->displayName();
        }
        EXPECT_EQ(w->toolTip(), QString::fromStdString(control->toolTipText()))
            << control->displayName();
    }
    auto* tabs = widget<QTabWidget>("TabStripMivo");
    ASSERT_EQ(tabs->count(), 4);
    // Each tab with its access key (Alt+F, Alt+D, Alt+O).
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("フォルダ(&F)"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("表示形式(&D)"));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("その他(&O)"));
    EXPECT_EQ(tabs->tabText(3), QStringLiteral("公開先(&C)"));
    EXPECT_EQ(tabs->tabToolTip(2), QStringLiteral("バージョン情報等"));
    auto* list = widget<QTreeWidget>("ListViewPath");
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("サムネイルフォルダ"));
    EXPECT_EQ(widget<QPushButton>("CommandOpenHtml")->toolTip(),
              QStringLiteral("作成されたhtmlを表示"));
    // Loaded from Mivo.ini: single mode with its folder pane showing.
    EXPECT_TRUE(widget<QRadioButton>("OptionMenu_1")->isChecked());
    EXPECT_TRUE(widget<QWidget>("FrameDirs")->isVisible());
    EXPECT_FALSE(widget<QWidget>("FrameMenuPath")->isVisible());
    EXPECT_EQ(widget<FolderChooser>("DirPic")->pathField()->text(),
              QString::fromStdString(pictures_));

    // The tabs from the keyboard.
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
    QTest::keyClick(view_.get(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(form_->TabStripMivo->selectedIndex(), 1);
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_TRUE(widget<QWidget>("FrameDisplay")->isVisible());
    QTest::keyClick(view_.get(), Qt::Key_PageUp, Qt::ControlModifier);
    QTest::keyClick(view_.get(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(form_->TabStripMivo->selectedIndex(), 3);
    EXPECT_TRUE(widget<QWidget>("FramePublish")->isVisible());
}

/// Every caption shown in either mode on any tab is drawn whole, inside its widget, and no
/// two widgets of one frame overlap.
TEST_F(MainViewTest, CaptionsFitAndWidgetsDoNotOverlapInEveryPane) {
    openWindow();
    for (const char* mode : {"OptionMenu_0", "OptionMenu_1"}) {
        clickOption(mode);
        for (int tab = 0; tab < 3; ++tab) {
            clickTab(tab);
            QCoreApplication::processEvents();
            expectCaptionsWholeAndApart(std::string(mode) + " tab " + std::to_string(tab));
        }
    }
}

/// A 1366 x 768 screen at 100, 125, 150 and 200 % (the window sees 1366/s x 768/s), each with
/// the caption font at 96, 120 and 144 dpi: 作成, 終了 and the status line are always whole on
/// screen, and every other control can be scrolled into view.
TEST_F(MainViewTest, WindowFitsEveryScreenWithTheStatusRowAlwaysInView) {
    const QFont original = QApplication::font();
    for (const double screenScale : {1.0, 1.25, 1.5, 2.0}) {
        for (const double fontScale : {1.0, 1.25, 1.5}) {
            QFont font = original;
            font.setPixelSize(static_cast<int>(12 * fontScale));
            QApplication::setFont(font);
            openWindow();
            const QSize screen(static_cast<int>(1366 / screenScale) - 16,
                               static_cast<int>(768 / screenScale) - 48);
            view_->resize(screen.expandedTo(view_->minimumSize()));
            QCoreApplication::processEvents();
            const std::string where =
                "screen x" + std::to_string(screenScale) + " font x" + std::to_string(fontScale);
            EXPECT_LE(view_->height(), std::max(screen.height(), view_->minimumHeight())) << where;
            for (const char* name :
                 {"CommandPublish", "CommandMake", "CommandExit", "LabelMess", "ProgressBarMake"}) {
                QWidget* w = widget<QWidget>(name);
                const QRect inView(w->mapTo(view_.get(), QPoint(0, 0)), w->size());
                EXPECT_TRUE(view_->rect().contains(inView)) << where << " " << name;
                EXPECT_GT(w->width(), 0) << where << " " << name;
            }
            auto* scroll = view_->findChild<QScrollArea*>(QStringLiteral("FormScroll"));
            ASSERT_NE(scroll, nullptr);
            for (const char* name : {"TextBody", "CommandHelp", "TabStripMivo", "CommandOpen_3"}) {
                QWidget* w = widget<QWidget>(name);
                scroll->ensureWidgetVisible(w, 0, 0);
                QCoreApplication::processEvents();
                const QRect inViewport(w->mapTo(scroll->viewport(), QPoint(0, 0)), w->size());
                EXPECT_TRUE(scroll->viewport()->rect().intersects(inViewport))
                    << where << " " << name;
            }
            TearDown();
        }
    }
    QApplication::setFont(original);
}

TEST_F(MainViewTest, ScreenReadersHearCaptionsAndTheKeyboardReachesEverything) {
    openWindow();
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
    // Names as the window shows them, never the program's own names.
    const std::vector<std::pair<const char*, const char*>> names = {
        {"CommandMake", "作成"},
        {"OptionMenu_0", "メニューから作成する"},
        {"TextTitle", "タイトル(<title>)"},
        {"TextListName", "ギャラリーの名前"},
        {"TextOpen_1", "機能2で開くプログラム、ファイルまたはURL"},
        {"TextSamWidth", "サムネイルの幅"},
        {"DirPic", "画像フォルダ"},
        {"TextLinkURL_2", "リンク「進む」のURL"},
        {"ListViewPath", "パス設定"},
        {"CheckUseFileList", "filelist.csvを使用する"}};
    for (const auto& [object, name] : names) {
        EXPECT_EQ(widget<QWidget>(object)->accessibleName(), QString::fromUtf8(name)) << object;
    }
    for (const Control* control : form_->controls()) {
        QWidget* w = view_->widgetFor(control);
        if (w != view_.get() && control->kind() != ControlKind::Frame &&
            control->kind() != ControlKind::PictureBox) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << control->displayName();
            EXPECT_NE(w->accessibleName().toStdString(), control->displayName());
        }
    }
    // What the accessibility layer hands a screen reader: option buttons are radio buttons.
    QAccessibleInterface* option =
        QAccessible::queryAccessibleInterface(widget<QWidget>("OptionSamD_1"));
    ASSERT_NE(option, nullptr);
    EXPECT_EQ(option->role(), QAccessible::RadioButton);
    EXPECT_EQ(option->text(QAccessible::Name), QStringLiteral("サムネイル画像を利用する"));
    QAccessibleInterface* make =
        QAccessible::queryAccessibleInterface(widget<QWidget>("CommandMake"));
    ASSERT_NE(make, nullptr);
    EXPECT_EQ(make->text(QAccessible::Name), QStringLiteral("作成"));
    // A renamed launcher is announced by its new name.
    form_->launchers.TextOpenName[0]->setText("画像編集");
    EXPECT_EQ(widget<QWidget>("CommandOpen_0")->accessibleName(), QStringLiteral("画像編集"));

    // The tab strip is in the Tab order; its arrow keys switch panes.
    auto* bar = widget<QTabWidget>("TabStripMivo")->tabBar();
    widget<QRadioButton>("OptionMenu_1")->setFocus(Qt::TabFocusReason);
    bool reachedTabs = false;
    for (int i = 0; i < 12 && !reachedTabs; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reachedTabs = QApplication::focusWidget() == bar;
    }
    ASSERT_TRUE(reachedTabs);
    QTest::keyClick(bar, Qt::Key_Right);
    EXPECT_EQ(form_->TabStripMivo->selectedIndex(), 1);
    EXPECT_TRUE(widget<QWidget>("FrameDisplay")->isVisible());

    // Arrow keys in an option group choose, as clicking does.
    auto* listView = widget<QRadioButton>("OptionStart_0");
    ASSERT_TRUE(listView->isChecked());
    listView->setFocus(Qt::TabFocusReason);
    QTest::keyClick(listView, Qt::Key_Right);
    EXPECT_TRUE(form_->display.OptionStart[1]->value());
    EXPECT_TRUE(widget<QRadioButton>("OptionStart_1")->isChecked());
    EXPECT_TRUE(widget<QRadioButton>("OptionStart_1")->hasFocus());
    EXPECT_TRUE(widget<QListWidget>("FileStartPict")->isEnabled());
    QTest::keyClick(widget<QRadioButton>("OptionStart_1"), Qt::Key_Up);
    EXPECT_TRUE(form_->display.OptionStart[0]->value());

    // Qt's own texts (context menus, dialogs) are Japanese when its translations are there.
    if (QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                          QStringLiteral("/qtbase_ja.qm"))) {
        EXPECT_NE(QCoreApplication::translate("QLineEdit", "&Undo"), QStringLiteral("&Undo"));
    }
}

TEST_F(MainViewTest, EveryFocusableWidgetIsNamedForScreenReadersAndEveryChoiceHasATip) {
    openWindow();
    std::set<QString> controlNames;
    for (const Control* control : form_->controls()) {
        controlNames.insert(QString::fromStdString(control->name()));
        controlNames.insert(QString::fromStdString(control->displayName()));
    }
    // Whatever takes the keyboard focus, in every pane of both modes, as the accessibility
    // layer hands it to a screen reader: never empty, never the program's own name.
    int focusable = 0;
    for (const int mode : {1, 0}) {
        form_->OptionMenu[mode]->select();
        for (int tab = 0; tab < 3; ++tab) {
            form_->TabStripMivo->select(tab);
            QCoreApplication::processEvents();
            for (QWidget* w : view_->findChildren<QWidget*>()) {
                if (w->focusPolicy() == Qt::NoFocus || !w->isVisible()) {
                    continue;
                }
                ++focusable;
                QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(w);
                ASSERT_NE(shown, nullptr);
                const QString name = shown->text(QAccessible::Name);
                const QString where =
                    w->objectName() + QStringLiteral(" in ") + w->parentWidget()->objectName() +
                    QStringLiteral(" (%1)").arg(QString::fromLatin1(w->metaObject()->className()));
                EXPECT_FALSE(name.trimmed().isEmpty()) << where.toStdString();
                EXPECT_EQ(controlNames.count(name), 0U)
                    << where.toStdString() << " is announced as " << name.toStdString();
                EXPECT_NE(name, QStringLiteral("...")) << where.toStdString();
                // Check boxes and options say what they do, on the screen and to the reader.
                if (qobject_cast<QCheckBox*>(w) != nullptr ||
                    qobject_cast<QRadioButton*>(w) != nullptr) {
                    EXPECT_FALSE(w->toolTip().isEmpty()) << where.toStdString();
                    EXPECT_FALSE(shown->text(QAccessible::Description).isEmpty())
                        << where.toStdString();
                }
            }
        }
    }
    EXPECT_GT(focusable, 60);
    // The folder choosers by the frame or label that titles them.
    const std::vector<std::pair<const char*, const char*>> folders = {
        {"DirIndex", "Indexファイルの保存先フォルダ"},
        {"DirPic", "画像フォルダ"},
        {"DirSam", "サムネイルフォルダ"},
        {"DirMenu", "メニューファイルの保存先フォルダ"},
        {"DirListPic", "ギャラリーの画像フォルダ"},
        {"DirListSam", "ギャラリーのサムネイルフォルダ"}};
    for (const auto& [object, name] : folders) {
        auto* chooser = widget<FolderChooser>(object);
        for (QWidget* part : {static_cast<QWidget*>(chooser->pathField()),
                              static_cast<QWidget*>(chooser->folderList())}) {
            EXPECT_EQ(QAccessible::queryAccessibleInterface(part)->text(QAccessible::Name),
                      QString::fromUtf8(name))
                << object;
        }
        EXPECT_TRUE(QAccessible::queryAccessibleInterface(chooser->browseButton())
                        ->text(QAccessible::Name)
                        .contains(QString::fromUtf8(name)))
            << object;
    }
    EXPECT_TRUE(widget<QCheckBox>("CheckReduce")->toolTip().contains(QStringLiteral("thumbs")));
    EXPECT_TRUE(widget<QCheckBox>("CheckReduce")->toolTip().contains(QStringLiteral("view")));
}

TEST_F(MainViewTest, TabReachesEveryOptionGroupAndTheArrowsReachEachOption) {
    openWindow();
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
    form_->galleryList.ListViewPath->addRow({"夏", pictures_, ""});
    struct Pane {
        int mode;
        int tab;
        std::vector<std::string> groups;
    };
    const std::vector<Pane> panes = {{1, 0, {"OptionMenu", "OptionSamD"}},
                                     {1, 1, {"OptionMenu", "OptionStart", "OptionSamH"}},
                                     {1, 2, {"OptionMenu"}},
                                     {0, 0, {"OptionMenu", "OptionListSam"}},
                                     {0, 1, {"OptionMenu"}}};
    const auto groupOf = [](const QWidget* w) {
        const QString name = w->objectName();
        return qobject_cast<const QRadioButton*>(w) != nullptr
                   ? name.left(name.lastIndexOf(QLatin1Char('_'))).toStdString()
                   : std::string();
    };
    // Every option shows what its control holds, whichever group was last chosen in.
    const auto expectShownAsHeld = [this](const std::string& where) {
        for (const Control* control : form_->controls()) {
            if (control->kind() == ControlKind::OptionButton) {
                EXPECT_EQ(static_cast<QRadioButton*>(view_->widgetFor(control))->isChecked(),
                          static_cast<const OptionButton*>(control)->value())
                    << where << " " << control->displayName();
            }
        }
    };
    for (const Pane& pane : panes) {
        const std::string where =
            "mode " + std::to_string(pane.mode) + " tab " + std::to_string(pane.tab);
        SCOPED_TRACE(where);
        clickOption(pane.mode == 0 ? "OptionMenu_0" : "OptionMenu_1");
        form_->TabStripMivo->select(pane.tab);
        QCoreApplication::processEvents();
        expectShownAsHeld(where);
        // Once round the Tab order from the first control, the chosen mode.
        QWidget* first = view_->widgetFor("OptionMenu", pane.mode);
        first->setFocus(Qt::TabFocusReason);
        std::vector<QWidget*> stops;
        for (int i = 0; i < 200; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget() == first) {
                break;
            }
            stops.push_back(QApplication::focusWidget());
        }
        ASSERT_EQ(QApplication::focusWidget(), first) << "the Tab order comes round";
        for (const std::string& group : pane.groups) {
            // One stop per group, on its chosen option (the mode itself is where we began).
            std::vector<QWidget*> inGroup;
            std::copy_if(stops.begin(), stops.end(), std::back_inserter(inGroup),
                         [&](const QWidget* w) { return groupOf(w) == group; });
            QWidget* stop = group == "OptionMenu" ? first : nullptr;
            if (group != "OptionMenu") {
                ASSERT_EQ(inGroup.size(), 1U) << group << " is one stop of the Tab order";
                stop = inGroup.front();
            }
            EXPECT_TRUE(static_cast<QRadioButton*>(stop)->isChecked()) << group;
            // The arrow keys go to the other option and back, choosing as they go.
            const auto* held = static_cast<OptionButton*>(form_->findControl(
                group, stop->objectName().section(QLatin1Char('_'), -1).toInt()));
            ASSERT_NE(held, nullptr);
            stop->setFocus(Qt::TabFocusReason);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
            QWidget* other = QApplication::focusWidget();
            EXPECT_NE(other, stop) << group;
            EXPECT_EQ(groupOf(other), group);
            EXPECT_TRUE(static_cast<QRadioButton*>(other)->isChecked()) << group;
            EXPECT_FALSE(held->value()) << group << " the control holds the other option";
            expectShownAsHeld(where + " " + group + " right");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
            EXPECT_EQ(QApplication::focusWidget(), view_->widgetFor(held));
            EXPECT_TRUE(held->value()) << group;
            expectShownAsHeld(where + " " + group + " left");
            if (group == "OptionMenu") {
                form_->TabStripMivo->select(pane.tab); // the mode went and came back
            }
        }
    }
}

TEST_F(MainViewTest, TypingIntoTheTitleBoxSetsTheControlAndTheSavedIni) {
    openWindow();
    clickTab(1);
    auto* title = widget<QLineEdit>("TextTitle");
    ASSERT_TRUE(title->isVisible());
    title->setFocus();
    QTest::keyClick(title, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(title, QStringLiteral("Summer "));
    EXPECT_EQ(form_->display.TextTitle->text(), "Summer ");
    // Japanese arrives through the input method as committed text.
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("夏の旅"));
    QApplication::sendEvent(title, &commit);
    EXPECT_EQ(form_->display.TextTitle->text(), "Summer 夏の旅");
    EXPECT_EQ(title->text(), QStringLiteral("Summer 夏の旅"));

    auto* exit = widget<QPushButton>("CommandExit");
    QTest::mouseClick(exit, Qt::LeftButton);
    EXPECT_TRUE(form_->closed());
    EXPECT_FALSE(view_->isVisible());
    EXPECT_EQ(cmGetIni(ini_, "Html", "Title", "<none>"), "Summer 夏の旅");
}

TEST_F(MainViewTest, ProgramChangesShowInTheWidgetsWithoutEchoingBack) {
    openWindow();
    clickTab(1);
    int textNotices = 0;
    const int id = form_->display.TextTitle->addObserver(
        [&](Control&, Property property) { textNotices += property == Property::Text ? 1 : 0; });
    form_->display.TextTitle->setText("旅の写真");
    EXPECT_EQ(widget<QLineEdit>("TextTitle")->text(), QStringLiteral("旅の写真"));
    EXPECT_EQ(textNotices, 1); // the widget's update did not come back as an edit
    form_->display.TextTitle->removeObserver(id);

    // A check box's handler enables its dependants; a disabled frame disables what it holds.
    form_->display.CheckSlideShow->setValue(0);
    EXPECT_EQ(widget<QCheckBox>("CheckSlideShow")->checkState(), Qt::Unchecked);
    EXPECT_FALSE(widget<QLineEdit>("TextSlideTime")->isEnabled());
    QTest::mouseClick(widget<QCheckBox>("CheckSlideShow"), Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_EQ(form_->display.CheckSlideShow->value(), 1);
    EXPECT_TRUE(widget<QLineEdit>("TextSlideTime")->isEnabled());
    form_->display.CheckSlideShow->setValue(2);
    EXPECT_EQ(widget<QCheckBox>("CheckSlideShow")->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(widget<QLineEdit>("TextSlideTime")->isEnabled());
    form_->display.FrameUseSam->setEnabled(false);
    EXPECT_FALSE(widget<QRadioButton>("OptionSamH_0")->isEnabled());
    EXPECT_FALSE(widget<QLineEdit>("TextSamWidth")->isEnabled());
    form_->display.FrameUseSam->setEnabled(true);
    EXPECT_TRUE(widget<QRadioButton>("OptionSamH_0")->isEnabled());

    // The thumbnail option pairs mirror each other on screen too.
    clickOption("OptionSamH_1");
    EXPECT_TRUE(widget<QRadioButton>("OptionSamH_1")->isChecked());
    EXPECT_FALSE(widget<QRadioButton>("OptionSamH_0")->isChecked());
    EXPECT_TRUE(widget<QRadioButton>("OptionSamD_1")->isChecked());
    EXPECT_EQ(form_->folders.OptionSamD[1]->value(), true);
    clickOption("OptionSamH_1"); // clicking the chosen option keeps it chosen
    EXPECT_TRUE(widget<QRadioButton>("OptionSamH_1")->isChecked());

    // Menu mode hides the single-mode panes and everything inside them.
    form_->OptionMenu[0]->select();
    clickTab(0);
    EXPECT_TRUE(widget<QWidget>("FrameMenuPath")->isVisible());
    EXPECT_FALSE(widget<QWidget>("FrameDirs")->isVisible());
    EXPECT_FALSE(widget<FolderChooser>("DirPic")->isVisible());

    form_->galleryList.ListViewPath->addRow({"夏", "/tmp", ""});
    form_->galleryList.ListViewPath->addRow({"冬", "/", "/tmp"});
    auto* rows = widget<QTreeWidget>("ListViewPath");
    ASSERT_EQ(rows->topLevelItemCount(), 2);
    EXPECT_EQ(rows->topLevelItem(1)->text(2), QStringLiteral("/tmp"));
    form_->galleryList.ListViewPath->setCell(0, 0, "真夏");
    EXPECT_EQ(rows->topLevelItem(0)->text(0), QStringLiteral("真夏"));
    // A click on a row loads it into the editing controls; a header click sorts.
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {},
                      rows->visualItemRect(rows->topLevelItem(1)).center());
    EXPECT_EQ(form_->galleryList.ListViewPath->selectedIndex(), 1);
    EXPECT_EQ(widget<QLineEdit>("TextListName")->text(), QStringLiteral("冬"));
    EXPECT_TRUE(widget<QRadioButton>("OptionListSam_1")->isChecked());
    QHeaderView* header = rows->header();
    const QPoint folderHeader(header->sectionViewportPosition(1) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, folderHeader);
    EXPECT_EQ(rows->topLevelItem(0)->text(1), QStringLiteral("/"));
    EXPECT_EQ(rows->currentItem()->text(0), QStringLiteral("冬")); // the selection moved along
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, folderHeader);
    EXPECT_EQ(rows->topLevelItem(0)->text(1), QStringLiteral("/tmp"));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);

    form_->mainSetStatus(true, "作成中です", 1, 42);
    EXPECT_EQ(widget<QLabel>("LabelMess")->text(), QStringLiteral("作成中です"));
    EXPECT_EQ(widget<QProgressBar>("ProgressBarMake")->value(), 42);
    EXPECT_GT(services_.repaintCount(), 0);
}

TEST_F(MainViewTest, FolderChooserMovesByPathFieldAndByKeyboard) {
    openWindow();
    auto* chooser = widget<FolderChooser>("DirPic");
    QLineEdit* field = chooser->pathField();
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, QString::fromStdString(output_));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(form_->currentSettings().gstrPicPath, output_);
    EXPECT_EQ(widget<QListWidget>("FileStartPict")->count(), 0);

    // A picture folder that does not exist is refused, and the field says so beside what was
    // typed (kept, to be put right); leaving the field shows the folder again.
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("/no/such/folder"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(form_->currentSettings().gstrPicPath, output_);
    EXPECT_EQ(field->text(), QStringLiteral("/no/such/folder"));
    EXPECT_EQ(chooser->refusal(), QStringLiteral("フォルダが見つかりません: /no/such/folder"));
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_TRUE(chooser->refusal().isEmpty()) << "typing again clears the mark";

    // ".." then "album" then "sub", walked with the arrow keys and Enter.
    QListWidget* folders = chooser->folderList();
    folders->setFocus();
    ASSERT_EQ(folders->item(0)->text(), QStringLiteral(".."));
    folders->setCurrentRow(0);
    QTest::keyClick(folders, Qt::Key_Return);
    EXPECT_EQ(form_->currentSettings().gstrPicPath, dir_.path());
    const auto album = folders->findItems(QStringLiteral("album"), Qt::MatchExactly);
    ASSERT_EQ(album.size(), 1);
    folders->setCurrentItem(album.front());
    QTest::keyClick(folders, Qt::Key_Return);
    EXPECT_EQ(form_->currentSettings().gstrPicPath, pictures_);
    EXPECT_EQ(widget<QListWidget>("FileStartPict")->count(), 3);
    QTest::keyClick(folders, Qt::Key_Down); // past ".." to "sub"
    QTest::keyClick(folders, Qt::Key_Return);
    EXPECT_EQ(form_->currentSettings().gstrPicPath, pictures_ + "/sub");
}

TEST_F(MainViewTest, StartPictureListShowsAPreviewOfTheChosenPicture) {
    openWindow();
    clickTab(1);
    clickOption("OptionStart_1");
    auto* files = widget<QListWidget>("FileStartPict");
    ASSERT_EQ(files->count(), 3);
    const auto beach = files->findItems(QStringLiteral("beach.jpg"), Qt::MatchExactly);
    ASSERT_EQ(beach.size(), 1);
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                      files->visualItemRect(beach.front()).center());
    EXPECT_EQ(form_->display.TextStart->text(), "beach.jpg");
    EXPECT_EQ(widget<QLineEdit>("TextStart")->text(), QStringLiteral("beach.jpg"));
    const QPixmap preview = widget<QLabel>("PictureStartPict")->pixmap();
    EXPECT_EQ(preview.size(), QSize(80, 60)); // 160 x 120 drawn with its long side at 80
}

TEST_F(MainViewTest, ListsChooseByClickOrEnterNeverByFocusOrArrows) {
    cmSetIni(ini_, "Html", "Start", "1"); // start with the index view: the file list is enabled
    openWindow();
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
    clickTab(1);
    auto* files = widget<QListWidget>("FileStartPict");
    ASSERT_EQ(files->count(), 3);
    ASSERT_EQ(form_->display.TextStart->text(), "");

    // Focus and arrow keys move the cursor only.
    files->setFocus(Qt::TabFocusReason);
    QTest::keyClick(files, Qt::Key_Down);
    QTest::keyClick(files, Qt::Key_Down);
    EXPECT_EQ(form_->display.TextStart->text(), "");
    EXPECT_EQ(form_->display.FileStartPict->listIndex(), -1);
    EXPECT_TRUE(files->selectedItems().isEmpty());
    // Space (or Enter) chooses the file under the cursor.
    const QString underCursor = files->currentItem()->text();
    QTest::keyClick(files, Qt::Key_Space);
    EXPECT_EQ(form_->display.TextStart->text(), underCursor.toStdString());
    // The start picture cleared by hand comes back with a click on the chosen file.
    auto* start = widget<QLineEdit>("TextStart");
    start->selectAll();
    QTest::keyClick(start, Qt::Key_Delete);
    ASSERT_EQ(form_->currentSettings().gstrStartName, "");
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                      files->visualItemRect(files->currentItem()).center());
    EXPECT_EQ(form_->currentSettings().gstrStartName, underCursor.toStdString());

    // The gallery list: Tab into it selects nothing, edits go nowhere until a row is chosen.
    clickOption("OptionMenu_0");
    clickTab(0);
    form_->galleryList.ListViewPath->addRow({"夏", pictures_, ""});
    form_->galleryList.ListViewPath->addRow({"冬", "/", ""});
    auto* rows = widget<QTreeWidget>("ListViewPath");
    rows->setFocus(Qt::TabFocusReason);
    QTest::keyClick(rows, Qt::Key_Down);
    EXPECT_EQ(form_->galleryList.ListViewPath->selectedIndex(), -1);
    auto* name = widget<QLineEdit>("TextListName");
    QTest::keyClicks(name, QStringLiteral("x"));
    EXPECT_EQ(form_->galleryList.ListViewPath->cell(0, 0), "夏");
    EXPECT_EQ(form_->galleryList.ListViewPath->cell(1, 0), "冬");
    rows->setFocus(Qt::TabFocusReason);
    QTest::keyClick(rows, Qt::Key_Return);
    const int chosen = rows->indexOfTopLevelItem(rows->currentItem());
    EXPECT_EQ(form_->galleryList.ListViewPath->selectedIndex(), chosen);
    EXPECT_EQ(name->text(),
              QString::fromStdString(form_->galleryList.ListViewPath->cell(chosen, 0)));
}

TEST_F(MainViewTest, AHundredThousandGalleriesOpenAtOnceAndStayEditable) {
    constexpr int kRows = 100000;
    std::string list;
    for (int i = 0; i < kRows; ++i) {
        list +=
            "Gallery " + std::to_string(i) + "," + pictures_ + "/" + std::to_string(i) + ",,\r\n";
    }
    dir_.write("Mivo.csv", list);
    cmSetIni(ini_, "Ini", "Mode", "0");

    QElapsedTimer clock;
    clock.start();
    openWindow();
    const qint64 openMs = clock.elapsed();
    RecordProperty("open_ms", static_cast<int>(openMs));
    std::printf("[ timing ] %d rows open in %lld ms\n", kRows, static_cast<long long>(openMs));
    EXPECT_LT(openMs, 5000) << "the window took that long to open";

    auto* rows = widget<QTreeWidget>("ListViewPath");
    ASSERT_EQ(rows->topLevelItemCount(), kRows);
    EXPECT_EQ(rows->topLevelItem(0)->text(0), QStringLiteral("Gallery 0"));
    EXPECT_EQ(rows->topLevelItem(kRows - 1)->text(0), QStringLiteral("Gallery 99999"));
    EXPECT_EQ(rows->topLevelItem(kRows - 1)->text(1), QString::fromStdString(pictures_ + "/99999"));

    // The editor still follows single rows, each edit without showing the whole list again.
    clock.restart();
    QTest::mouseClick(widget<QPushButton>("CommandListAdd"), Qt::LeftButton);
    ASSERT_EQ(rows->topLevelItemCount(), kRows + 1);
    auto* name = widget<QLineEdit>("TextListName");
    name->selectAll();
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("秋"));
    QApplication::sendEvent(name, &commit);
    QTest::keyClicks(name, QStringLiteral(" 2"));
    EXPECT_EQ(rows->topLevelItem(kRows)->text(0), QStringLiteral("秋 2"));
    EXPECT_EQ(rows->currentItem(), rows->topLevelItem(kRows));
    form_->galleryList.ListViewPath->clickItem(500);
    QTest::mouseClick(widget<QPushButton>("CommandListDelete"), Qt::LeftButton);
    ASSERT_EQ(rows->topLevelItemCount(), kRows);
    EXPECT_EQ(rows->topLevelItem(500)->text(0), QStringLiteral("Gallery 501"));
    EXPECT_EQ(rows->currentItem(), rows->topLevelItem(500));
    EXPECT_EQ(name->text(), QStringLiteral("Gallery 501"));
    const qint64 editMs = clock.elapsed();
    std::printf("[ timing ] add, rename and delete in %lld ms\n", static_cast<long long>(editMs));
    EXPECT_LT(editMs, 2000);
}

TEST_F(MainViewTest, TabbingThroughTheWholeWindowChangesNoSetting) {
    cmSetIni(ini_, "Html", "Start", "1");
    openWindow();
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
    form_->galleryList.ListViewPath->addRow({"夏", pictures_, ""});
    for (const int mode : {1, 0}) {
        form_->OptionMenu[mode]->select();
        for (int tab = 0; tab < 3; ++tab) {
            form_->TabStripMivo->select(tab);
            const Settings before = form_->currentSettings();
            const auto rowsBefore = form_->galleryRows();
            widget<QPushButton>("CommandMake")->setFocus(Qt::TabFocusReason);
            std::set<QWidget*> reached;
            for (int i = 0; i < 120; ++i) {
                QWidget* focus = QApplication::focusWidget();
                ASSERT_NE(focus, nullptr);
                reached.insert(focus);
                QTest::keyClick(focus, Qt::Key_Tab);
            }
            EXPECT_TRUE(form_->currentSettings() == before) << "mode " << mode << " tab " << tab;
            EXPECT_EQ(form_->galleryRows().size(), rowsBefore.size());
            EXPECT_EQ(form_->galleryRows().front().strListName, rowsBefore.front().strListName);
            EXPECT_GT(reached.size(), 5U);
        }
    }
}

TEST_F(MainViewTest, MakeButtonBuildsTheSampleAlbumAndHandsTheWindowBack) {
    openWindow();
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
    auto* make = widget<QPushButton>("CommandMake");
    make->setFocus(Qt::TabFocusReason);
    QTest::keyClick(make, Qt::Key_Space);
    waitForRun();
    EXPECT_TRUE(make->hasFocus()) << "the focus comes back to 作成 after a run";

    EXPECT_EQ(widget<QLabel>("LabelMess")->text(), QStringLiteral("完了しました"));
    EXPECT_EQ(widget<QProgressBar>("ProgressBarMake")->value(), 100);
    for (const char* page : {"index.html", "list.html", "pict.html"}) {
        EXPECT_TRUE(fs::is_regular_file(output_ + "/" + page)) << page;
    }
    EXPECT_TRUE(view_->isEnabled());
    EXPECT_TRUE(make->isEnabled());
    EXPECT_TRUE(widget<QPushButton>("CommandExit")->isEnabled());
    EXPECT_TRUE(widget<QPushButton>("CommandOpenHtml")->isEnabled());
    // The run showed its progress while it held the settings.
    ASSERT_FALSE(services_.paints.empty());
    EXPECT_FALSE(services_.paints.front().panesEnabled);
    EXPECT_EQ(services_.paints.front().makeCaption, QStringLiteral("中止(&T)"));
    EXPECT_EQ(make->text(), QStringLiteral("作成(&M)"));
    EXPECT_EQ(services_.paints.back().label, QStringLiteral("完了しました"));
    EXPECT_EQ(services_.paints.back().bar, 100);

    // 公開 beside it, with no server set: the publish runs behind the window as 作成 does, and
    // its failure comes back in the status line and a box.
    auto* publish = widget<QPushButton>("CommandPublish");
    EXPECT_EQ(publish->text(), QStringLiteral("公開(&B)"));
    QString said;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&said] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            said = box->text();
            box->accept();
        }
    });
    answer.start(20);
    QTest::mouseClick(publish, Qt::LeftButton);
    waitForRun();
    QElapsedTimer clock;
    clock.start();
    while (said.isEmpty() && clock.elapsed() < 5000) {
        QTest::qWait(10);
    }
    answer.stop();
    EXPECT_FALSE(form_->publishing());
    EXPECT_TRUE(said.startsWith(QStringLiteral("公開に失敗しました。"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QString::fromStdString(form_->LabelMess->caption())));
    EXPECT_EQ(publish->text(), QStringLiteral("公開(&B)"));
    EXPECT_TRUE(publish->isEnabled());
    EXPECT_TRUE(make->isEnabled());
}

TEST_F(MainViewTest, MakeRunsOffTheWindowThreadAndStopsWhenAsked) {
    // Enough small pictures that a run lasts several hand-overs of the status line.
    QImage tiny(2, 2, QImage::Format_RGB32);
    tiny.fill(Qt::gray);
    for (int i = 0; i < 3000; ++i) {
        ASSERT_TRUE(tiny.save(QString::fromStdString(pictures_ + "/p" + std::to_string(i) + ".bmp"),
                              "BMP"));
    }
    openWindow();
    auto* make = widget<QPushButton>("CommandMake");

    // A whole run: the window's logic hears every status call, the screen is painted at most
    // about twenty times a second.
    int captions = 0;
    const int watch = form_->LabelMess->addObserver([&captions](Control&, Property property) {
        captions += property == Property::Caption ? 1 : 0;
    });
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(make, Qt::LeftButton);
    EXPECT_TRUE(form_->running()) << "作成 returns at once; the run goes on behind the window";
    waitForRun();
    const qint64 elapsed = clock.elapsed();
    form_->LabelMess->removeObserver(watch);
    EXPECT_EQ(widget<QLabel>("LabelMess")->text(), QStringLiteral("完了しました"));
    // One line per picture (the three of the album too), the check, the start and the end.
    EXPECT_EQ(captions, 3003 + 3) << "every status line of the run reached the window's logic";
    EXPECT_LE(services_.repaintCount(), elapsed / MakeWorker::kIntervalMs + 3);

    // A run stopped: the pages written before stay as they were, and the window says so.
    dir_.write("site/list.html", "old list");
    dir_.write("site/index.html", "old index");
    QTest::mouseClick(make, Qt::LeftButton);
    ASSERT_TRUE(form_->running());
    EXPECT_EQ(make->text(), QStringLiteral("中止(&T)"));
    EXPECT_FALSE(widget<QWidget>("FrameDirs")->isEnabled());
    EXPECT_FALSE(widget<QPushButton>("CommandExit")->isEnabled());
    EXPECT_FALSE(widget<QRadioButton>("OptionMenu_0")->isEnabled());
    QTest::mouseClick(make, Qt::LeftButton);
    EXPECT_FALSE(make->isEnabled()) << "a second 中止 is not kept for later";
    waitForRun();
    EXPECT_EQ(widget<QLabel>("LabelMess")->text(), QStringLiteral("中止しました"));
    EXPECT_EQ(test::readBytes(output_ + "/list.html"), "old list");
    EXPECT_EQ(test::readBytes(output_ + "/index.html"), "old index");
    EXPECT_EQ(make->text(), QStringLiteral("作成(&M)"));
    EXPECT_TRUE(make->isEnabled());
    EXPECT_TRUE(widget<QWidget>("FrameDirs")->isEnabled());
    EXPECT_TRUE(widget<QPushButton>("CommandExit")->isEnabled());
}

TEST_F(MainViewTest, ShellOpenSaysWhyAndStartsProgramsInTheCurrentFolder) {
    DesktopServices services;
    EXPECT_FALSE(services.shellOpen("", ""));
    EXPECT_FALSE(services.shellOpen(dir_ / "missing.html", ""));
    EXPECT_EQ(services.openFailureReason(), "ファイルまたはフォルダが見つかりません");
    // The offscreen platform has no desktop to hand a page to: that is the reason given.
    dir_.write("page.html", "<html></html>");
    EXPECT_FALSE(services.shellOpen(dir_ / "page.html", ""));
    EXPECT_EQ(services.openFailureReason(), "このファイルを開くアプリケーションが見つかりません");

    // A program runs in Mivo's current folder, not in its own.
    const std::string tools = dir_.mkdir("tools");
    const std::string here = dir_.mkdir("here");
    // Written whole under another name and then renamed: the test never reads it half-made.
    dir_.write("tools/where.sh", "#!/bin/sh\npwd > \"" + dir_.path() + "/where.tmp\" && mv \"" +
                                     dir_.path() + "/where.tmp\" \"" + dir_.path() +
                                     "/where.txt\"\n");
    fs::permissions(tools + "/where.sh", fs::perms::owner_all);
    const fs::path before = fs::current_path();
    fs::current_path(here);
    EXPECT_TRUE(services.shellOpen(tools + "/where.sh", ""));
    fs::current_path(before);
    QElapsedTimer clock;
    clock.start();
    while (test::readBytes(dir_ / "where.txt") == "<missing>" && clock.elapsed() < 10000) {
        QTest::qWait(20);
    }
    EXPECT_EQ(test::readBytes(dir_ / "where.txt"), here + "\n");
}

TEST_F(MainViewTest, F1ShowsTheReadmeInTheProgramsOwnViewer) {
    fs::copy_file(std::string(MIVO_SOURCE_DIR) + "/readme.txt", dir_ / "readme.txt");
    openWindow();
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
    QTest::keyClick(QApplication::focusWidget() != nullptr ? QApplication::focusWidget()
                                                           : view_.get(),
                    Qt::Key_F1);
    QWidget* viewer = services_.textViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    auto* text = viewer->findChild<QPlainTextEdit*>(QStringLiteral("TextViewerText"));
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_TRUE(text->toPlainText().contains(QStringLiteral("Mivo とは"))) << "cp932 decoded";
    viewer->close();
}

TEST_F(MainViewTest, AFolderDroppedOnAFolderBoxIsChosenAndAnythingElseRefused) {
    const std::string more = dir_.mkdir("more pictures");
    makePicture(more + "/lake.jpg", 40, 30, Qt::cyan);
    openWindow();
    auto* chooser = widget<FolderChooser>("DirPic");
    // What a file manager hands over: text/uri-list with file:// addresses.
    const auto drop = [&](QWidget* target, const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
        EXPECT_EQ(dropped.isAccepted(), enter.isAccepted());
        return enter.isAccepted();
    };
    const QUrl moreUrl = QUrl::fromLocalFile(QString::fromStdString(more));
    for (const QList<QUrl>& refused :
         {QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(more + "/lake.jpg"))},
          QList<QUrl>{moreUrl, QUrl::fromLocalFile(QString::fromStdString(pictures_))},
          QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(dir_ / "gone"))},
          QList<QUrl>{QUrl(QStringLiteral("https://example.org/album/"))}, QList<QUrl>{}}) {
        EXPECT_FALSE(drop(chooser, refused)) << refused.size();
        EXPECT_EQ(form_->folders.DirPic->path(), pictures_);
    }
    EXPECT_EQ(form_->currentSettings().gstrPicPath, pictures_);

    // One folder: chosen as with the chooser, and the window follows (the start-picture list
    // now lists the new folder's pictures).
    EXPECT_TRUE(drop(chooser, {moreUrl}));
    EXPECT_EQ(form_->folders.DirPic->path(), more);
    EXPECT_EQ(chooser->pathField()->text(), QString::fromStdString(more));
    EXPECT_EQ(form_->currentSettings().gstrPicPath, more);
    EXPECT_EQ(form_->display.FileStartPict->list(), std::vector<std::string>{"lake.jpg"});

    // The index box: the page goes into the dropped folder under its name.
    EXPECT_TRUE(drop(widget<FolderChooser>("DirIndex"), {moreUrl}));
    EXPECT_EQ(form_->currentSettings().gstrIndexPath, more + "/index.html");
    // The path field does not take the address in as text.
    EXPECT_FALSE(chooser->pathField()->acceptDrops());
    EXPECT_TRUE(chooser->acceptDrops());
}

TEST_F(MainViewTest, CtrlEnterPressesMakeAndCtrlQClosesAsTheCloseButtonDoes) {
    openWindow();
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
    // From a text box, where Enter alone would do nothing.
    clickTab(1);
    auto* title = widget<QLineEdit>("TextTitle");
    title->setFocus();
    QTest::keyClick(title, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(form_->running()) << "Ctrl+Return pressed 作成";
    waitForRun();
    EXPECT_TRUE(fs::is_regular_file(output_ + "/index.html"));
    fs::remove(output_ + "/index.html");
    QTest::keyClick(view_.get(), Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_TRUE(form_->running()) << "Ctrl+Enter pressed 作成";

    // During the run Ctrl+Q asks, as the close button does; "no" keeps the window.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(services_.questions,
              std::vector<std::string>{"作成中です。作成を中止して終了しますか？"});
    EXPECT_FALSE(form_->closed());
    EXPECT_TRUE(view_->isVisible());
    waitForRun();
    EXPECT_TRUE(fs::is_regular_file(output_ + "/index.html"));

    // Afterwards it closes at once, saving what was typed.
    form_->display.TextTitle->setText("湖");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(form_->closed());
    EXPECT_FALSE(view_->isVisible());
    EXPECT_EQ(services_.questions.size(), 1U);
    EXPECT_EQ(cmGetIni(ini_, "Html", "Title", "<none>"), "湖");
}

TEST_F(MainViewTest, TheWindowReopensWhereItWasClosedAndAlwaysOnScreen) {
    openWindow();
    const QSize design = view_->size();
    EXPECT_EQ(cmGetIni(ini_, "Window", "Width", "<none>"), "<none>");
    const QRect screen = view_->screen()->availableGeometry();
    const QRect moved(screen.left() + 40, screen.top() + 30, screen.width() / 2 + 20,
                      screen.height() / 2 + 10);
    view_->setGeometry(moved);
    QCoreApplication::processEvents();
    widget<QPushButton>("CommandExit")->click();
    ASSERT_TRUE(form_->closed());
    EXPECT_EQ(cmGetIni(ini_, "Window", "Left", "<none>"), std::to_string(moved.left()));
    EXPECT_EQ(cmGetIni(ini_, "Window", "Width", "<none>"), std::to_string(moved.width()));
    EXPECT_EQ(cmGetIni(ini_, "Window", "Maximized", "<none>"), "0");
    TearDown();

    openWindow();
    EXPECT_EQ(view_->geometry(), moved);
    // Closed maximized: it opens maximized, and keeps the place it had before.
    view_->showMaximized();
    QCoreApplication::processEvents();
    view_->close();
    ASSERT_TRUE(form_->closed());
    EXPECT_EQ(cmGetIni(ini_, "Window", "Maximized", "<none>"), "1");
    EXPECT_EQ(cmGetIni(ini_, "Window", "Width", "<none>"), std::to_string(moved.width()));
    TearDown();
    openWindow();
    EXPECT_TRUE(view_->isMaximized());
    TearDown();

    // A place on a screen that is gone, larger than the screen there is: brought back whole.
    cmSetIni(ini_, "Window", "Maximized", "0");
    for (const auto& [left, top] : {std::pair{-5000, 200}, std::pair{200, 9000},
                                    std::pair{screen.right() - 5, screen.bottom() - 5}}) {
        cmSetIni(ini_, "Window", "Left", std::to_string(left));
        cmSetIni(ini_, "Window", "Top", std::to_string(top));
        cmSetIni(ini_, "Window", "Width", std::to_string(screen.width() * 3));
        cmSetIni(ini_, "Window", "Height", "480");
        openWindow();
        EXPECT_TRUE(screen.contains(view_->geometry())) << left << "," << top;
        EXPECT_LE(view_->width(), screen.width()) << left << "," << top;
        EXPECT_EQ(view_->height(), 480);
        TearDown();
    }

    // A Mivo.ini without the keys (or with unusable ones) opens at the design size.
    cmSetIni(ini_, "Window", "Width", "0");
    cmSetIni(ini_, "Window", "Height", "x");
    openWindow();
    EXPECT_EQ(view_->size(), design);
}

/// The widget's place in its parent, in pixels of the design (the font here is the design's).
QRect designPlace(const MainView& view, const Control& control) {
    const Twips& g = control.geometry();
    return {view.toPixels(g.Left), view.toPixels(g.Top), view.toPixels(g.Width),
            view.toPixels(g.Height)};
}

TEST_F(MainViewTest, AGrownWindowWidensTheListsAndBoxesAndKeepsEveryCaptionWhole) {
    openWindow();
    ASSERT_DOUBLE_EQ(view_->scale(), 1.0);
    // At the design size nothing has moved: every widget of a frame is at its design place.
    for (const Control* control : form_->controls()) {
        if (control->parent() != nullptr && control->parent() != &form_->Window) {
            EXPECT_EQ(view_->widgetFor(control)->geometry(), designPlace(*view_, *control))
                << control->displayName();
        }
    }
    const std::vector<const char*> growing = {
        "DirPic",     "DirIndex",     "DirSam",     "TextTitle", "TextBody",      "FileStartPict",
        "TextOpen_0", "ListViewPath", "DirListPic", "DirMenu",   "TextLinkURL_1", "LabelMess"};
    std::map<std::string, QSize> before;
    for (const char* name : growing) {
        before[name] = widget<QWidget>(name)->size();
    }

    view_->resize(1920, 1080);
    QCoreApplication::processEvents();
    ASSERT_EQ(view_->size(), QSize(1920, 1080));
    for (const char* mode : {"OptionMenu_0", "OptionMenu_1"}) {
        clickOption(mode);
        for (int tab = 0; tab < 3; ++tab) {
            clickTab(tab);
            QCoreApplication::processEvents();
            expectCaptionsWholeAndApart("1920x1080 " + std::string(mode) + " tab " +
                                        std::to_string(tab));
        }
    }
    for (const char* name : growing) {
        EXPECT_GT(widget<QWidget>(name)->width(), before[name].width()) << name;
    }
    for (const char* name : {"DirPic", "ListViewPath", "TextBody", "FileStartPict"}) {
        EXPECT_GT(widget<QWidget>(name)->height(), before[name].height()) << name;
    }
    // 作成 and 終了 keep to the bottom right corner, the launchers to the top right.
    const QRect make(widget<QWidget>("CommandMake")->mapTo(view_.get(), QPoint(0, 0)),
                     widget<QWidget>("CommandMake")->size());
    EXPECT_GT(make.left(), 1700);
    EXPECT_GT(make.top(), 1000);
    EXPECT_GT(widget<QWidget>("CommandOpen_3")->mapTo(view_.get(), QPoint(0, 0)).x(), 1700);
    // Back at the design size, back at the design places.
    clickTab(1);
    view_->resize(view_->toPixels(8895), view_->toPixels(9435));
    QCoreApplication::processEvents();
    EXPECT_EQ(widget<QWidget>("TextTitle")->geometry(),
              designPlace(*view_, *form_->display.TextTitle));
}

TEST(MainViewCaptions, AccessKeysAreMarkedOnTheirLetterOrAfterTheCaption) {
    EXPECT_EQ(MainView::shownCaption("Make", 'M'), QStringLiteral("&Make"));
    EXPECT_EQ(MainView::shownCaption("Open folder", 'P'), QStringLiteral("O&pen folder"));
    EXPECT_EQ(MainView::shownCaption("Title (<title>)", 'T'), QStringLiteral("&Title (<title>)"));
    EXPECT_EQ(MainView::shownCaption("作成", 'M'), QStringLiteral("作成(&M)"));
    EXPECT_EQ(MainView::shownCaption("Indexファイル", 'I'), QStringLiteral("&Indexファイル"));
    // A caption's own "&" is shown, not taken for a key.
    EXPECT_EQ(MainView::shownCaption("Tom & Jerry", 0), QStringLiteral("Tom && Jerry"));
    EXPECT_EQ(MainView::shownCaption("&Co", 'C'), QStringLiteral("&&&Co"));
    EXPECT_EQ(MainView::shownCaption("&", 'X'), QStringLiteral("&&(&X)"));
}

TEST_F(MainViewTest, AccessKeysReachTabsBoxesAndButtons) {
    openWindow();
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
    widget<QWidget>("OptionMenu_1")->setFocus(Qt::TabFocusReason);
    // Alt+D: the display tab; Alt+T: into the title's box there.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
    EXPECT_EQ(form_->TabStripMivo->selectedIndex(), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), widget<QWidget>("TextTitle"));
    // Alt+R ticks the reduced copies as a click would.
    // (A button's key clicks it a moment later, as Qt shows the press.)
    const bool reduce = form_->display.CheckReduce->value() == 1;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
    QTest::qWait(300);
    EXPECT_EQ(form_->display.CheckReduce->value() == 1, !reduce);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
    QTest::qWait(300);
    // Alt+F: back to the folders; Alt+P: the picture folder.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
    EXPECT_EQ(form_->TabStripMivo->selectedIndex(), 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), widget<FolderChooser>("DirPic")->pathField());
    // Alt+M presses 作成, wherever the focus is.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_M, Qt::AltModifier);
    QElapsedTimer clock;
    clock.start();
    while (!fs::exists(output_ + "/index.html") && clock.elapsed() < 10000) {
        QTest::qWait(10);
    }
    waitForRun();
    EXPECT_TRUE(fs::exists(output_ + "/index.html")) << "Alt+M made the gallery";
}

TEST_F(MainViewTest, TabFollowsEachPaneAndCtrlPageDownLandsInIt) {
    openWindow();
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
    form_->galleryList.ListViewPath->addRow({"夏", pictures_, ""});
    QWidget* tabs = widget<QTabWidget>("TabStripMivo")->tabBar();
    for (const int mode : {1, 0}) {
        form_->OptionMenu[mode]->select();
        for (int tab = 0; tab < 3; ++tab) {
            form_->TabStripMivo->select(tab);
            QCoreApplication::processEvents();
            SCOPED_TRACE("mode " + std::to_string(mode) + " tab " + std::to_string(tab));
            const QWidget* pane = view_->widgetFor(form_->visiblePane());
            // What the Tab key reaches in the pane, in the order it reaches it...
            tabs->setFocus(Qt::TabFocusReason);
            std::vector<QWidget*> reached;
            for (int i = 0; i < 150; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QWidget* focus = QApplication::focusWidget();
                if (focus == widget<QWidget>("CommandMake")) {
                    break;
                }
                if (pane->isAncestorOf(focus)) {
                    reached.push_back(focus);
                }
            }
            // ...is the pane's part of the layout's reading order, every stop the keyboard can
            // take on the way.
            std::vector<QWidget*> expected;
            for (QWidget* w : view_->focusChain()) {
                if (pane->isAncestorOf(w) && w->isVisible() && w->isEnabled() &&
                    (w->focusPolicy() & Qt::TabFocus) != 0) {
                    expected.push_back(w);
                }
            }
            ASSERT_FALSE(expected.empty());
            const auto names = [](const std::vector<QWidget*>& widgets) {
                std::string text;
                for (const QWidget* w : widgets) {
                    text += (w->objectName().isEmpty()
                                 ? w->parentWidget()->objectName() + QStringLiteral(".part")
                                 : w->objectName())
                                .toStdString() +
                            " ";
                }
                return text;
            };
            EXPECT_EQ(names(reached), names(expected));
            // Ctrl+PgDn and back: the keyboard lands on the pane's first stop, not on 作成.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
            EXPECT_EQ(QApplication::focusWidget(), expected.front());
        }
    }
    // Where the design puts them side by side, the left one comes first.
    const std::vector<QWidget*>& chain = view_->focusChain();
    const auto place = [&chain](QWidget* w) { return std::find(chain.begin(), chain.end(), w); };
    EXPECT_LT(place(widget<QWidget>("CommandOpenFolder")),
              place(widget<QWidget>("CommandOpenHtml")));
    EXPECT_LT(place(widget<QWidget>("CheckReduce")), place(widget<QWidget>("CheckExif")));
    EXPECT_LT(place(widget<QWidget>("CommandExit")), chain.end());
}

TEST_F(MainViewTest, APageFolderTypedBeforeItExistsIsTakenAndMadeByMake) {
    openWindow();
    auto* chooser = widget<FolderChooser>("DirIndex");
    QLineEdit* field = chooser->pathField();
    field->setFocus();
    field->selectAll();
    const std::string fresh = output_ + "/2024/summer";
    QTest::keyClicks(field, QString::fromStdString(fresh));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(chooser->refusal().isEmpty());
    EXPECT_EQ(form_->currentSettings().gstrIndexPath, fresh + "/index.html");
    ASSERT_EQ(chooser->folderList()->count(), 1);
    EXPECT_EQ(chooser->folderList()->item(0)->text(),
              QStringLiteral("（まだありません。「作成」のときに作られます）"));
    EXPECT_FALSE(fs::exists(output_ + "/2024"));

    widget<QPushButton>("CommandMake")->click();
    waitForRun();
    EXPECT_EQ(widget<QLabel>("LabelMess")->text(), QStringLiteral("完了しました"));
    EXPECT_TRUE(fs::is_regular_file(fresh + "/index.html"));
    EXPECT_EQ(chooser->folderList()->item(0)->text(), QStringLiteral("..")) << "listed again";
    // The folder used is offered next time from the arrow beside the path.
    ASSERT_TRUE(chooser->recentButton()->isEnabled());
    ASSERT_EQ(chooser->recentButton()->menu()->actions().size(), 1);
    EXPECT_EQ(chooser->recentButton()->menu()->actions().front()->text(),
              QString::fromStdString(fresh));
}

TEST_F(MainViewTest, AFailureThatEndsARunComesInAWarningBoxAndTheStatusLineIsReadableWhole) {
    cmSetIni(ini_, "Path", "Pic", dir_.mkdir("nothing here"));
    openWindow();
    // The box is answered as a user would, once it is up.
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString said;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            icon = box->icon();
            said = box->text();
            box->accept();
        }
    });
    answer.start(20);
    widget<QPushButton>("CommandMake")->click();
    waitForRun();
    QElapsedTimer clock;
    clock.start();
    while (said.isEmpty() && clock.elapsed() < 5000) {
        QTest::qWait(10);
    }
    answer.stop();
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(said, QStringLiteral("作成に失敗しました。\n\n画像フォルダに画像がありません"));

    // A message longer than the line: its start and end shown, all of it in the tool-tip.
    const std::string reason = "(" + std::string(120, 'x') + ") end of the reason";
    form_->mainSetStatus(true, "画像フォルダを開けません [/a/long/folder] " + reason, 0, 0);
    auto* line = widget<QLabel>("LabelMess");
    EXPECT_TRUE(line->text().startsWith(QStringLiteral("画像フォルダを開けません")));
    EXPECT_TRUE(line->text().endsWith(QStringLiteral("end of the reason")));
    EXPECT_TRUE(line->text().contains(QChar(0x2026))) << line->text().toStdString();
    EXPECT_LE(line->fontMetrics().horizontalAdvance(line->text()), line->contentsRect().width());
    EXPECT_EQ(line->toolTip(),
              QString::fromStdString("画像フォルダを開けません [/a/long/folder] " + reason));
    // Room enough, the whole line.
    view_->resize(1900, view_->height());
    QCoreApplication::processEvents();
    EXPECT_EQ(line->text().toStdString(), "画像フォルダを開けません [/a/long/folder] " + reason);
    EXPECT_TRUE(line->toolTip().isEmpty());
}

TEST_F(MainViewTest, CtrlZInTheGalleryListBringsBackTheRowDeletedLast) {
    cmSetIni(ini_, "Ini", "Mode", "0");
    dir_.write("Mivo.csv", "Spring," + pictures_ + ",,\r\nSummer," + pictures_ + ",,\r\n");
    openWindow();
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
    auto* rows = widget<QTreeWidget>("ListViewPath");
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {},
                      rows->visualItemRect(rows->topLevelItem(0)).center());
    QTest::mouseClick(widget<QPushButton>("CommandListDelete"), Qt::LeftButton);
    ASSERT_EQ(rows->topLevelItemCount(), 1);
    // In the name box Ctrl+Z undoes the typing; in the list it brings the row back.
    auto* name = widget<QLineEdit>("TextListName");
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("!"));
    QTest::keyClick(name, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(name->text(), QStringLiteral("Summer"));
    EXPECT_EQ(rows->topLevelItemCount(), 1);
    rows->setFocus();
    QTest::keyClick(rows, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(rows->topLevelItemCount(), 2);
    EXPECT_EQ(rows->topLevelItem(0)->text(0), QStringLiteral("Spring"));
    EXPECT_EQ(rows->currentItem(), rows->topLevelItem(0));
    EXPECT_EQ(name->text(), QStringLiteral("Spring"));
}

/// A notification service on a bus of its own: it keeps what it is sent.
class FakeNotifications : public QDBusVirtualObject {
  public:
    QString introspect(const QString& /*path*/) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QStringLiteral("Notify")) {
            return false;
        }
        received.push_back(message.arguments());
        connection.send(message.createReply(QVariantList{1U}));
        return true;
    }
    std::vector<QVariantList> received;
};

TEST(DesktopNotifications, GoToTheSessionBusAndFailQuietlyWithoutOne) {
    const QByteArray keptBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray keptRuntime = qgetenv("XDG_RUNTIME_DIR");
    const test::TempDir runtime;
    // No bus at all: nothing is sent, at once.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(DesktopServices::sendNotification("Mivo", "完了しました"));
    EXPECT_LT(clock.elapsed(), 1000);

    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address=1")});
    if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(5000)) {
        qputenv("XDG_RUNTIME_DIR", keptRuntime);
        GTEST_SKIP() << "no dbus-daemon to run a session bus";
    }
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    {
        // A bus without a notification service: sent, and no answer waited for.
        clock.restart();
        EXPECT_TRUE(DesktopServices::sendNotification("Mivo", "完了しました"));
        EXPECT_LT(clock.elapsed(), 1000);

        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("fake"));
        ASSERT_TRUE(service.isConnected());
        FakeNotifications notifications;
        ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
        ASSERT_TRUE(service.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"),
                                                  &notifications));
        EXPECT_TRUE(DesktopServices::sendNotification("Mivo", "完了しました"));
        clock.restart();
        while (notifications.received.empty() && clock.elapsed() < 5000) {
            QTest::qWait(10);
        }
        ASSERT_EQ(notifications.received.size(), 1U);
        const QVariantList& notify = notifications.received.front();
        ASSERT_EQ(notify.size(), 8);
        EXPECT_EQ(notify[0].toString(), QStringLiteral("Mivo"));         // the application
        EXPECT_EQ(notify[3].toString(), QStringLiteral("Mivo"));         // the summary
        EXPECT_EQ(notify[4].toString(), QStringLiteral("完了しました")); // the body
        service.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
    QDBusConnection::disconnectFromBus(QStringLiteral("mivo-notifications"));
    daemon.kill();
    daemon.waitForFinished(5000);
    if (keptBus.isNull()) {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    } else {
        qputenv("DBUS_SESSION_BUS_ADDRESS", keptBus);
    }
    qputenv("XDG_RUNTIME_DIR", keptRuntime);
}

} // namespace
} // namespace mivo::qt
