#pragma once

#include <QWidget>

#include "window/controls.h"

class QAction;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMimeData;
class QToolButton;

namespace mivo::qt {

/// One folder box on Linux, where there are no drives: a path field with a button that offers
/// the folders used lately and a "..." button that opens the folder dialog, over a list of the
/// folder's sub-folders ("..", then by name) that the user walks with the mouse or the
/// keyboard (Enter opens the folder under the cursor). Every move goes through
/// FolderBox::setPath, so the window's handlers run as they would for a drive-and-folder pair.
/// A folder dropped from a file manager is chosen the same way. A box of folders to make takes
/// a typed folder that is not there yet; another box says so beside the field.
class FolderChooser : public QWidget {
  public:
    FolderChooser(FolderBox& box, QWidget* parent);

    /// Shows the box's folder again (after the control changed it).
    void refresh();
    /// Offers the box's folders used lately again (after the control changed them).
    void refreshRecent();
    /// Moves the box to a folder typed or chosen by the user; false when the box cannot take
    /// it (no folder, or for a box of folders to make, no path a folder could be made at).
    bool moveTo(const QString& folder);
    /// The reason shown beside the path field for the last folder refused ("" when none).
    QString refusal() const;
    /// Names the path field and the folder list `name` for screen readers, and the "..."
    /// button as the choice of that folder.
    void setAccessibleNames(const QString& name);

    QLineEdit* pathField() const { return pathField_; }
    QToolButton* recentButton() const { return recentButton_; }
    QToolButton* browseButton() const { return browseButton_; }
    QListWidget* folderList() const { return folderList_; }

    /// The one local folder a drag carries, else "" (files, several items, remote addresses).
    static QString droppedFolder(const QMimeData* data);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void openItem(QListWidgetItem* item);
    void browse();
    /// Marks the path field: the folder typed could not be taken (empty text: no mark).
    void showRefusal(const QString& reason);

    FolderBox& box_;
    QLineEdit* pathField_;
    QToolButton* recentButton_;
    QToolButton* browseButton_;
    QListWidget* folderList_;
    QAction* refusalMark_ = nullptr;
};

} // namespace mivo::qt
