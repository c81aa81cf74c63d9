#include "window/qt/folder_chooser.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "common/translate.h"

namespace mivo::qt {

namespace {

constexpr int kFolderRole = Qt::UserRole + 1;

QString expandHome(const QString& text) {
    if (text == QStringLiteral("~")) {
        return QDir::homePath();
    }
    if (text.startsWith(QStringLiteral("~/"))) {
        return QDir::homePath() + text.mid(1);
    }
    return text;
}

} // namespace

FolderChooser::FolderChooser(FolderBox& box, QWidget* parent)
    : QWidget(parent), box_(box), pathField_(new QLineEdit(this)),
      recentButton_(new QToolButton(this)), browseButton_(new QToolButton(this)),
      folderList_(new QListWidget(this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(pathField_, 1);
    row->addWidget(recentButton_);
    row->addWidget(browseButton_);
    column->addLayout(row);
    column->addWidget(folderList_, 1);

    browseButton_->setText(QStringLiteral("..."));
    browseButton_->setToolTip(QString::fromStdString(translate("フォルダを選択")));
    browseButton_->setFocusPolicy(Qt::StrongFocus);
    // The folders used lately, a click away (the arrow key opens the list from the keyboard).
    recentButton_->setArrowType(Qt::DownArrow);
    recentButton_->setToolTip(QString::fromStdString(translate("最近使ったフォルダ")));
    recentButton_->setPopupMode(QToolButton::InstantPopup);
    recentButton_->setFocusPolicy(Qt::StrongFocus);
    recentButton_->setMenu(new QMenu(recentButton_));
    const bool toMake = box_.folderKind() == FolderKind::ToMake;
    pathField_->setToolTip(
        QString::fromStdString(toMake ? translate("フォルダのパス (Enterで移動。まだないフォルダは"
                                                  "「作成」のときに作られます)")
                                      : translate("フォルダのパス (Enterで移動)")));
    folderList_->setToolTip(
        QString::fromStdString(translate("Enterまたはダブルクリックでフォルダを開く")));
    folderList_->setUniformItemSizes(true);
    // A folder dragged from a file manager is dropped on the whole box: the path field would
    // otherwise take the dragged address in as typed text.
    setAcceptDrops(true);
    pathField_->setAcceptDrops(false);
    folderList_->setAcceptDrops(false);

    // A folder that cannot be taken is said beside the field, which keeps what was typed
    // so that it can be put right.
    connect(pathField_, &QLineEdit::returnPressed, this, [this] { moveTo(pathField_->text()); });
    connect(pathField_, &QLineEdit::textEdited, this, [this] { showRefusal({}); });
    // Leaving the field without Enter drops what was typed.
    connect(pathField_, &QLineEdit::editingFinished, this, [this] {
        if (!pathField_->hasFocus()) {
            showRefusal({});
            pathField_->setText(QString::fromStdString(box_.path()));
        }
    });
    connect(browseButton_, &QToolButton::clicked, this, [this] { browse(); });
    connect(folderList_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { openItem(item); });
    refresh();
    refreshRecent();
}

void FolderChooser::refreshRecent() {
    QMenu* menu = recentButton_->menu();
    menu->clear();
    for (const std::string& folder : box_.recent()) {
        const QString path = QString::fromStdString(folder);
        QAction* entry = menu->addAction(path);
        connect(entry, &QAction::triggered, this, [this, path] { moveTo(path); });
    }
    recentButton_->setEnabled(!box_.recent().empty());
}

QString FolderChooser::refusal() const {
    return refusalMark_ != nullptr && refusalMark_->isVisible() ? refusalMark_->toolTip()
                                                                : QString();
}

void FolderChooser::showRefusal(const QString& reason) {
    if (refusalMark_ == nullptr) {
        if (reason.isEmpty()) {
            return;
        }
        refusalMark_ = pathField_->addAction(style()->standardIcon(QStyle::SP_MessageBoxWarning),
                                             QLineEdit::TrailingPosition);
    }
    refusalMark_->setToolTip(reason);
    refusalMark_->setVisible(!reason.isEmpty());
    pathField_->setAccessibleDescription(reason);
}

void FolderChooser::setAccessibleNames(const QString& name) {
    pathField_->setAccessibleName(name);
    folderList_->setAccessibleName(name);
    recentButton_->setAccessibleName(
        QString::fromStdString(translate("%1: 最近使ったフォルダ", {name.toStdString()})));
    browseButton_->setAccessibleName(
        QString::fromStdString(translate("%1を選択", {name.toStdString()})));
}

void FolderChooser::refresh() {
    const QString folder = QString::fromStdString(box_.path());
    if (pathField_->text() != folder) {
        pathField_->setText(folder);
        pathField_->setCursorPosition(0);
    }
    folderList_->clear();
    QDir dir(folder);
    if (!dir.exists()) {
        // A folder to make: nothing to list yet, and the list says why.
        auto* note = new QListWidgetItem(
            QString::fromStdString(translate("（まだありません。「作成」のときに作られます）")),
            folderList_);
        note->setFlags(Qt::NoItemFlags);
        return;
    }
    if (!dir.isRoot()) {
        auto* up = new QListWidgetItem(QStringLiteral(".."), folderList_);
        up->setData(kFolderRole, QFileInfo(folder).absolutePath());
    }
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::LocaleAware);
    for (const QFileInfo& entry : entries) {
        auto* item = new QListWidgetItem(entry.fileName(), folderList_);
        item->setData(kFolderRole, entry.absoluteFilePath());
    }
    // The keyboard starts at the first entry, but nothing is shown selected: the folder on
    // display is the one in the path field, not "..".
    if (folderList_->count() > 0) {
        folderList_->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    }
}

bool FolderChooser::moveTo(const QString& folder) {
    QString text = expandHome(folder.trimmed());
    if (text.isEmpty()) {
        return false;
    }
    const QFileInfo info(QDir::current(), text);
    // Folder boxes hold absolute paths without a trailing separator (the root excepted).
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    const bool toMake = box_.folderKind() == FolderKind::ToMake;
    if ((!info.isDir() && !toMake) || !box_.setPath(clean.toStdString())) {
        showRefusal(QString::fromStdString(
            toMake ? translate("ここにはフォルダを作れません: %1", {clean.toStdString()})
                   : translate("フォルダが見つかりません: %1", {clean.toStdString()})));
        return false;
    }
    showRefusal({});
    // setPath raised no change when the folder was already shown; show it anyway.
    refresh();
    return true;
}

QString FolderChooser::droppedFolder(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return {};
    }
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) {
        return {};
    }
    const QFileInfo info(urls.front().toLocalFile());
    return info.isDir() ? QDir::cleanPath(info.absoluteFilePath()) : QString();
}

void FolderChooser::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedFolder(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void FolderChooser::dragMoveEvent(QDragMoveEvent* event) {
    if (droppedFolder(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void FolderChooser::dropEvent(QDropEvent* event) {
    const QString folder = droppedFolder(event->mimeData());
    if (folder.isEmpty() || !moveTo(folder)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void FolderChooser::openItem(QListWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    moveTo(item->data(kFolderRole).toString());
    folderList_->setFocus();
}

void FolderChooser::browse() {
    // A folder still to make is not there to start in: its nearest parent is. The dialog can
    // make a new folder too.
    QString start = QString::fromStdString(box_.path());
    while (!start.isEmpty() && !QFileInfo(start).isDir() && start != QStringLiteral("/")) {
        start = QFileInfo(start).absolutePath();
    }
    const QString chosen = QFileDialog::getExistingDirectory(
        window(), QString::fromStdString(translate("フォルダの選択")), start,
        QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty()) {
        moveTo(chosen);
    }
}

} // namespace mivo::qt
