// The main window on the offscreen platform: widgets for every control, both-way binding,
// captions that fit, the folder chooser, and a Make run started with the mouse.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "settings/ini_file.h"
#include "support/temp_dir.h"
#include "window/form_main.h"
#include "window/qt/desktop_services.h"
#include "window/qt/folder_chooser.h"
#include "window/qt/main_view.h"

namespace mivo::qt {
namespace {

namespace fs = std::filesystem;

/// The desktop services, also noting what the window looked like at every status repaint.
class RecordingServices : public DesktopServices {
  public:
    struct Paint {
        QString label;
        int bar = 0;
        bool windowEnabled = true;
    };
    void repaintStatus() override {
        DesktopServices::repaintStatus();
        if (view != nullptr) {
            paints.push_back(
                {view->findChild<QLabel*>(QStringLiteral("LabelMess"))->text(),
                 view->findChild<QProgressBar*>(QStringLiteral("ProgressBarMake"))->value(),
                 view->isEnabled()});
        }
    }
    MainView* view = nullptr;
    std::vector<Paint> paints;
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
        view_->show();
        QCoreApplication::processEvents();
    }

    template <class W> W* widget(const char* objectName) const {
        W* found = view_->findChild<W*>(QString::fromLatin1(objectName));
        EXPECT_NE(found, nullptr) << objectName;
        return found;
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
        if (auto* label = qobject_cast<QLabel*>(w);
            label && control->kind() == ControlKind::Label) {
            EXPECT_EQ(label->text(), caption) << control->displayName();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_EQ(button->text(), caption) << control->displayName();
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            EXPECT_EQ(group->title(), caption) << control->displayName();
        }
        EXPECT_EQ(w->toolTip(), QString::fromStdString(control->toolTipText()))
            << control->displayName();
    }
    auto* tabs = widget<QTabWidget>("TabStripMivo");
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("フォルダ"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("表示形式"));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("その他"));
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
    EXPECT_EQ(form_->TabStripMivo->selectedIndex(), 2);
    EXPECT_TRUE(widget<QWidget>("FrameEtc")->isVisible());
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
            const std::string where = std::string(mode) + " tab " + std::to_string(tab);
            for (const Control* control : form_->controls()) {
                QWidget* w = view_->widgetFor(control);
                if (w == view_.get() || !w->isVisible()) {
                    continue;
                }
                const QString caption = QString::fromStdString(control->caption());
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
                    EXPECT_LE(metrics.height(), w->height())
                        << where << " " << control->displayName();
                } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
                    EXPECT_LE(w->sizeHint().width(), w->width())
                        << where << " " << control->displayName();
                } else if (qobject_cast<QPushButton*>(w)) {
                    EXPECT_LE(textWidth + 6, w->width()) << where << " " << control->displayName();
                    EXPECT_LE(metrics.height(), w->height())
                        << where << " " << control->displayName();
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
    EXPECT_EQ(form_->TextTitle->text(), "Summer ");
    // Japanese arrives through the input method as committed text.
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("夏の旅"));
    QApplication::sendEvent(title, &commit);
    EXPECT_EQ(form_->TextTitle->text(), "Summer 夏の旅");
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
    const int id = form_->TextTitle->addObserver(
        [&](Control&, Property property) { textNotices += property == Property::Text ? 1 : 0; });
    form_->TextTitle->setText("旅の写真");
    EXPECT_EQ(widget<QLineEdit>("TextTitle")->text(), QStringLiteral("旅の写真"));
    EXPECT_EQ(textNotices, 1); // the widget's update did not come back as an edit
    form_->TextTitle->removeObserver(id);

    // A check box's handler enables its dependants; a disabled frame disables what it holds.
    form_->CheckSlideShow->setValue(0);
    EXPECT_EQ(widget<QCheckBox>("CheckSlideShow")->checkState(), Qt::Unchecked);
    EXPECT_FALSE(widget<QLineEdit>("TextSlideTime")->isEnabled());
    QTest::mouseClick(widget<QCheckBox>("CheckSlideShow"), Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_EQ(form_->CheckSlideShow->value(), 1);
    EXPECT_TRUE(widget<QLineEdit>("TextSlideTime")->isEnabled());
    form_->CheckSlideShow->setValue(2);
    EXPECT_EQ(widget<QCheckBox>("CheckSlideShow")->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(widget<QLineEdit>("TextSlideTime")->isEnabled());
    form_->FrameUseSam->setEnabled(false);
    EXPECT_FALSE(widget<QRadioButton>("OptionSamH_0")->isEnabled());
    EXPECT_FALSE(widget<QLineEdit>("TextSamWidth")->isEnabled());
    form_->FrameUseSam->setEnabled(true);
    EXPECT_TRUE(widget<QRadioButton>("OptionSamH_0")->isEnabled());

    // The thumbnail option pairs mirror each other on screen too.
    clickOption("OptionSamH_1");
    EXPECT_TRUE(widget<QRadioButton>("OptionSamH_1")->isChecked());
    EXPECT_FALSE(widget<QRadioButton>("OptionSamH_0")->isChecked());
    EXPECT_TRUE(widget<QRadioButton>("OptionSamD_1")->isChecked());
    EXPECT_EQ(form_->OptionSamD[1]->value(), true);
    clickOption("OptionSamH_1"); // clicking the chosen option keeps it chosen
    EXPECT_TRUE(widget<QRadioButton>("OptionSamH_1")->isChecked());

    // Menu mode hides the single-mode panes and everything inside them.
    form_->OptionMenu[0]->select();
    clickTab(0);
    EXPECT_TRUE(widget<QWidget>("FrameMenuPath")->isVisible());
    EXPECT_FALSE(widget<QWidget>("FrameDirs")->isVisible());
    EXPECT_FALSE(widget<FolderChooser>("DirPic")->isVisible());

    form_->ListViewPath->addRow({"夏", "/tmp", ""});
    form_->ListViewPath->addRow({"冬", "/", "/tmp"});
    auto* rows = widget<QTreeWidget>("ListViewPath");
    ASSERT_EQ(rows->topLevelItemCount(), 2);
    EXPECT_EQ(rows->topLevelItem(1)->text(2), QStringLiteral("/tmp"));
    form_->ListViewPath->setCell(0, 0, "真夏");
    EXPECT_EQ(rows->topLevelItem(0)->text(0), QStringLiteral("真夏"));
    // A click on a row loads it into the editing controls; a header click sorts.
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {},
                      rows->visualItemRect(rows->topLevelItem(1)).center());
    EXPECT_EQ(form_->ListViewPath->selectedIndex(), 1);
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

    // A folder that does not exist is refused and the field shows the folder again.
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("/no/such/folder"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(form_->currentSettings().gstrPicPath, output_);
    EXPECT_EQ(field->text(), QString::fromStdString(output_));

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
    EXPECT_EQ(form_->TextStart->text(), "beach.jpg");
    EXPECT_EQ(widget<QLineEdit>("TextStart")->text(), QStringLiteral("beach.jpg"));
    const QPixmap preview = widget<QLabel>("PictureStartPict")->pixmap();
    EXPECT_EQ(preview.size(), QSize(80, 60)); // 160 x 120 drawn with its long side at 80
}

TEST_F(MainViewTest, MakeButtonBuildsTheSampleAlbumAndHandsTheWindowBack) {
    openWindow();
    auto* make = widget<QPushButton>("CommandMake");
    QTest::mouseClick(make, Qt::LeftButton);

    EXPECT_EQ(widget<QLabel>("LabelMess")->text(), QStringLiteral("完了しました"));
    EXPECT_EQ(widget<QProgressBar>("ProgressBarMake")->value(), 100);
    for (const char* page : {"index.html", "list.html", "pict.html"}) {
        EXPECT_TRUE(fs::is_regular_file(output_ + "/" + page)) << page;
    }
    EXPECT_TRUE(view_->isEnabled());
    EXPECT_TRUE(make->isEnabled());
    EXPECT_TRUE(widget<QPushButton>("CommandExit")->isEnabled());
    EXPECT_TRUE(widget<QPushButton>("CommandOpenHtml")->isEnabled());
    // The run showed its progress while it held the window.
    ASSERT_FALSE(services_.paints.empty());
    EXPECT_FALSE(services_.paints.front().windowEnabled);
    const bool makingShown = std::any_of(services_.paints.begin(), services_.paints.end(),
                                         [](const RecordingServices::Paint& paint) {
                                             return paint.label == QStringLiteral("作成中です");
                                         });
    EXPECT_TRUE(makingShown);
    EXPECT_EQ(services_.paints.back().bar, 100);
}

TEST_F(MainViewTest, ShellOpenRefusesWhatCannotBeOpened) {
    DesktopServices services;
    EXPECT_FALSE(services.shellOpen("", ""));
    EXPECT_FALSE(services.shellOpen(dir_ / "missing.html", ""));
    // The offscreen platform has no desktop to hand a page to; the failure is only reported.
    dir_.write("page.html", "<html></html>");
    EXPECT_FALSE(services.shellOpen(dir_ / "page.html", ""));
}

} // namespace
} // namespace mivo::qt
