#pragma once

// The headless controls of the main window. A view binds one widget to each control:
//  - building: walk FormMain::controls() (containers before what they hold); kind(),
//    geometry() (twips, relative to parent()), caption(), toolTipText(), enabled() and
//    visible() give the state to build with;
//  - control to widget: addObserver() is told of every property change (Property says
//    which); update the widget with its signals blocked so the change does not come back;
//  - widget to control: a user's edit calls the same setter the program uses (setText,
//    CheckBox::click, OptionButton::click, FolderBox::setPath, FileListBox::clickItem,
//    ListView::clickItem/clickColumn, TabStrip::select, CommandButton::click), which raises
//    the control's event synchronously, as a change made by the program does.

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace mivo {

class Control;

/// Position and size of a control in twips (15 twips per pixel), relative to the client area
/// of its container (the form for top-level controls and panes, else the enclosing frame).
struct Twips {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

/// How a control follows its container when the window is larger than its design size: the
/// share (in percent) of the container's extra width that moves the control right, and that
/// widens it; likewise for the extra height. All zero: it keeps its design place.
struct Stretch {
    int Left = 0;
    int Width = 0;
    int Top = 0;
    int Height = 0;
};

/// The place of a control in a container grown by `extraWidth` x `extraHeight` (any unit, the
/// same as `design`): its design place moved and widened by its shares of the extra room.
Twips grownPlace(const Twips& design, const Stretch& stretch, int extraWidth, int extraHeight);

/// The children of a container in the order a reader's eye takes them, which is the order the
/// keyboard's Tab key goes through them: rows from the top (controls level with each other, by
/// their middles, share a row), each row from the left.
std::vector<Control*> readingOrder(const Control& container);

enum class ControlKind {
    Form,
    Frame,
    Label,
    TextBox,
    CommandButton,
    CheckBox,
    OptionButton,
    FolderBox,
    FileListBox,
    PictureBox,
    TabStrip,
    ProgressBar,
    ListView,
};

/// What an observer is told has changed.
enum class Property {
    Caption,
    ToolTipText,
    Enabled,
    Visible,
    Geometry,
    Text,
    Value,
    Path,
    List,
    ListIndex,
    Picture,
    SelectedTab,
    Range,
    Rows,
    SelectedRow,
    Focus,
};

/// A control of the main window, kept as plain state. Setting a property notifies the
/// observers (the view updates its widget there) and then raises the control's event, as a
/// user's change would; both happen synchronously inside the setter.
class Control {
  public:
    using Observer = std::function<void(Control&, Property)>;

    Control(ControlKind kind, std::string name, Control* parent, int index = -1);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    ControlKind kind() const { return kind_; }
    /// The window's name of the control ("TextLinkName"); index() is its place in a control
    /// array, -1 for a control that is not in one.
    const std::string& name() const { return name_; }
    int index() const { return index_; }
    /// "TextLinkName(1)" for an array element, else the name.
    std::string displayName() const;
    Control* parent() const { return parent_; }
    const std::vector<Control*>& children() const { return children_; }
    /// The pane frame (a direct child of the form) that holds the control; nullptr for the
    /// form and for controls outside the panes.
    const Control* pane() const;

    const Twips& geometry() const { return geometry_; }
    void setGeometry(const Twips& geometry);
    /// How the control grows with its container (set while the form is built).
    const Stretch& stretch() const { return stretch_; }
    void setStretch(const Stretch& stretch) { stretch_ = stretch; }
    /// The letter that, with Alt, reaches the control (0: none). Shown underlined in its
    /// caption, or after it in parentheses where the caption has no such letter (Japanese).
    char accessKey() const { return accessKey_; }
    void setAccessKey(char key) { accessKey_ = key; }

    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& caption);
    const std::string& toolTipText() const { return toolTipText_; }
    void setToolTipText(const std::string& text);
    /// What a screen reader calls a control whose caption (or the label or frame before it)
    /// does not say what it holds; empty when those do. Set once, while the form is built.
    const std::string& accessibleName() const { return accessibleName_; }
    void setAccessibleName(const std::string& name) { accessibleName_ = name; }

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool visible() const { return visible_; }
    void setVisible(bool visible);
    /// Enabled and Visible as the user meets them: every container up to the form must be
    /// enabled (visible) too.
    bool effectiveEnabled() const;
    bool effectiveVisible() const;

    /// Asks the view to move the keyboard focus here.
    void setFocus() { notify(Property::Focus); }

    /// Adds an observer called after every property change; returns its id.
    int addObserver(Observer observer);
    void removeObserver(int id);

  protected:
    void notify(Property property);
    /// A user's action reaches the control only while it is visible and enabled.
    bool acceptsUser() const { return effectiveEnabled() && effectiveVisible(); }

  private:
    ControlKind kind_;
    std::string name_;
    int index_;
    Control* parent_;
    std::vector<Control*> children_;
    Twips geometry_;
    Stretch stretch_;
    char accessKey_ = 0;
    std::string caption_;
    std::string toolTipText_;
    std::string accessibleName_;
    bool enabled_ = true;
    bool visible_ = true;
    int nextObserverId_ = 1;
    std::vector<std::pair<int, Observer>> observers_;
};

/// The window itself (FormMain): caption, client size and the Enabled state that covers
/// every control while a Make run holds the window.
class Form : public Control {
  public:
    explicit Form(std::string name) : Control(ControlKind::Form, std::move(name), nullptr) {}
};

class Frame : public Control {
  public:
    Frame(std::string name, Control* parent, int index = -1)
        : Control(ControlKind::Frame, std::move(name), parent, index) {}
};

class Label : public Control {
  public:
    Label(std::string name, Control* parent, int index = -1)
        : Control(ControlKind::Label, std::move(name), parent, index) {}
};

class TextBox : public Control {
  public:
    TextBox(std::string name, Control* parent, int index = -1)
        : Control(ControlKind::TextBox, std::move(name), parent, index) {}

    const std::string& text() const { return text_; }
    /// Raises onChange when the text differs.
    void setText(const std::string& text);
    /// Multi-line box (the body tag).
    bool multiLine = false;

    std::function<void()> onChange;

  private:
    std::string text_;
};

class CommandButton : public Control {
  public:
    CommandButton(std::string name, Control* parent, int index = -1)
        : Control(ControlKind::CommandButton, std::move(name), parent, index) {}

    /// A user's press: raises onClick unless the button is disabled or hidden.
    void click();

    std::function<void()> onClick;
};

class CheckBox : public Control {
  public:
    CheckBox(std::string name, Control* parent, int index = -1)
        : Control(ControlKind::CheckBox, std::move(name), parent, index) {}

    /// 0 unticked, 1 ticked, 2 grayed.
    int value() const { return value_; }
    /// Raises onClick when the value differs.
    void setValue(int value);
    /// A user's click: ticks an unticked or grayed box, unticks a ticked one.
    void click();

    std::function<void()> onClick;

  private:
    int value_ = 0;
};

class OptionButton;

/// The option buttons that exclude each other (one control array).
struct OptionGroup {
    std::vector<OptionButton*> buttons;
    /// Index of the selected button, -1 when none is.
    int selectedIndex() const;
};

class OptionButton : public Control {
  public:
    OptionButton(std::string name, Control* parent, int index, OptionGroup& group);

    bool value() const { return value_; }
    /// Selects this option and clears the others of its group, then raises onClick (also
    /// when it was selected already).
    void select();
    /// A user's click: select() unless the option is disabled or hidden.
    void click();
    /// Sets the design-time state without raising any event.
    void setInitialValue(bool value) { value_ = value; }
    OptionGroup& group() const { return group_; }

    std::function<void()> onClick;

  private:
    void setValueQuietly(bool value);

    OptionGroup& group_;
    bool value_ = false;
};

/// What a folder box may show.
enum class FolderKind {
    Existing, ///< an existing folder only (pictures, thumbnails)
    ToMake,   ///< also a folder that is not there yet, which 作成 makes (where pages go)
};

/// A folder list: shows one folder, given as an absolute path without a trailing separator
/// (the root "/" excepted). Each box also offers the folders used lately (recent()).
class FolderBox : public Control {
  public:
    FolderBox(std::string name, Control* parent, const std::string& startFolder,
              FolderKind kind = FolderKind::Existing);

    const std::string& path() const { return path_; }
    FolderKind folderKind() const { return kind_; }
    /// Moves to the folder; false (nothing changed) when it is not an existing folder (for a
    /// box of folders to make: not an absolute path, or a path through something that is not
    /// a folder). Raises onChange when the folder differs from the one shown.
    bool setPath(const std::string& path);
    /// The folder shown is there (a folder to make is not, until 作成).
    bool exists() const;
    /// Tells the view to list the folder again (作成 may have made it).
    void relist() { notify(Property::Path); }

    /// The folders offered as used lately, the latest first.
    const std::vector<std::string>& recent() const { return recent_; }
    void setRecent(std::vector<std::string> folders);

    std::function<void()> onChange;

  private:
    std::string path_;
    FolderKind kind_;
    std::vector<std::string> recent_;
};

/// A file list: the files of one folder that match its pattern, in the folder-listing order.
class FileListBox : public Control {
  public:
    FileListBox(std::string name, Control* parent, const std::string& startFolder,
                std::string pattern);

    const std::string& path() const { return path_; }
    /// Shows another folder; false (nothing changed) when it is not an existing folder. A new
    /// folder clears the selection and raises onPathChange.
    bool setPath(const std::string& path);
    /// Patterns separated by ";", matched without regard to ASCII letter case.
    const std::string& pattern() const { return pattern_; }
    /// Lists the files `filter` accepts instead of those matching the pattern (an empty filter
    /// goes back to the pattern), and lists the folder again.
    void setFilter(std::function<bool(const std::string& name)> filter);

    const std::vector<std::string>& list() const { return list_; }
    int listCount() const { return static_cast<int>(list_.size()); }
    int listIndex() const { return listIndex_; }
    /// -1 clears the selection. A new valid index raises onClick; an index out of range is
    /// ignored (false).
    bool setListIndex(int index);
    /// A user's click on an entry: selects it and raises onClick, also when it was selected.
    void clickItem(int index);
    /// The selected file's name, or "" without a selection.
    std::string fileName() const;
    /// Lists the folder again (files may have come or gone).
    void refresh();

    std::function<void()> onPathChange;
    std::function<void()> onClick;

  private:
    std::string path_;
    std::string pattern_;
    std::function<bool(const std::string&)> filter_;
    std::vector<std::string> list_;
    int listIndex_ = -1;
};

/// A picture box: either empty or showing one picture file scaled to a drawing size in pixels.
class PictureBox : public Control {
  public:
    PictureBox(std::string name, Control* parent)
        : Control(ControlKind::PictureBox, std::move(name), parent) {}

    bool hasPicture() const { return hasPicture_; }
    const std::string& picturePath() const { return picturePath_; }
    int drawWidth() const { return drawWidth_; }
    int drawHeight() const { return drawHeight_; }
    /// Clears the box.
    void cls();
    /// Draws the whole picture at the top-left corner, scaled to width x height pixels.
    void paintPicture(const std::string& path, int width, int height);

  private:
    bool hasPicture_ = false;
    std::string picturePath_;
    int drawWidth_ = 0;
    int drawHeight_ = 0;
};

struct Tab {
    std::string Key;
    std::string Caption;
    std::string ToolTipText;
    /// The letter that, with Alt, selects the tab (as Control::accessKey).
    char AccessKey = 0;
};

class TabStrip : public Control {
  public:
    TabStrip(std::string name, Control* parent, std::vector<Tab> tabs)
        : Control(ControlKind::TabStrip, std::move(name), parent), tabs_(std::move(tabs)) {}

    const std::vector<Tab>& tabs() const { return tabs_; }
    int selectedIndex() const { return selected_; }
    std::string selectedKey() const;
    /// Selects a tab (a user's click or the program) and raises onClick.
    void select(int index);

    std::function<void()> onClick;

  private:
    std::vector<Tab> tabs_;
    int selected_ = 0;
};

class ProgressBar : public Control {
  public:
    ProgressBar(std::string name, Control* parent)
        : Control(ControlKind::ProgressBar, std::move(name), parent) {}

    double min() const { return min_; }
    double max() const { return max_; }
    double value() const { return value_; }
    void setMin(double value);
    void setMax(double value);
    void setValue(double value);

  private:
    double min_ = 0;
    double max_ = 100;
    double value_ = 0;
};

struct ColumnHeader {
    std::string Text;
    int Width = 0; // twips
};

/// A list view in report form. Rows are 0-based here (row i is the window's row i + 1);
/// column 0 is the item text, columns 1.. its sub-items.
class ListView : public Control {
  public:
    ListView(std::string name, Control* parent, std::vector<ColumnHeader> columns)
        : Control(ControlKind::ListView, std::move(name), parent), columns_(std::move(columns)) {}

    const std::vector<ColumnHeader>& columns() const { return columns_; }
    int rowCount() const { return static_cast<int>(rows_.size()); }
    const std::vector<std::string>& row(int index) const { return rows_.at(index); }
    std::string cell(int row, int column) const;
    void setCell(int row, int column, const std::string& text);
    /// Appends a row (missing cells are empty) and returns its index.
    int addRow(std::vector<std::string> cells);
    /// Appends many rows with one change: a list of thousands is shown once, not once a row.
    void addRows(std::vector<std::vector<std::string>> rows);
    /// Puts a row in at `index` (0..rowCount()); the selection stays on its row.
    void insertRow(int index, std::vector<std::string> cells);
    void removeRow(int index);
    void clear();

    /// What the latest change of Rows did, so that a view can follow it without redrawing
    /// every row of a long list.
    struct RowsChange {
        enum class Kind {
            Any,     ///< anything (sorted, cleared): compare every row
            Added,   ///< rows [row, row + count) were appended
            Removed, ///< row `row` was taken out; the rows after it moved up
            Cell,    ///< a cell of row `row` changed
        };
        Kind kind = Kind::Any;
        int row = 0;
        int count = 0;
    };
    const RowsChange& lastRowsChange() const { return lastChange_; }

    /// -1 when no row is selected. Selecting by program raises no event.
    int selectedIndex() const { return selected_; }
    void setSelectedIndex(int index);

    int sortKey() const { return sortKey_; }
    bool sortAscending() const { return sortAscending_; }
    /// Sorts the rows once by a column's text (ASCII letters folded, then bytes), keeping the
    /// selection on the same row; rows added later are appended unsorted.
    void sortBy(int column, bool ascending);

    /// A user's click on a row: selects it and raises onItemClick.
    void clickItem(int index);
    /// A user's click on a column header: raises onColumnClick.
    void clickColumn(int column);

    std::function<void(int row)> onItemClick;
    std::function<void(int column)> onColumnClick;

  private:
    std::vector<ColumnHeader> columns_;
    void notifyRows(RowsChange change);

    std::vector<std::vector<std::string>> rows_;
    RowsChange lastChange_;
    int selected_ = -1;
    int sortKey_ = 0;
    bool sortAscending_ = false;
};

/// The file-open dialog: its state between uses. Shown through WindowServices.
struct FileDialog {
    std::string DialogTitle;
    std::string Filter = "*.*";
    std::string InitDir;
    std::string FileName;
};

/// True when the name matches one of the ";"-separated wildcard patterns ("*", "?"),
/// ASCII letters compared without regard to case.
bool matchPattern(const std::string& name, const std::string& patterns);
/// True when the name matches the one wildcard pattern ("*", "?"); a ";" in it is an
/// ordinary character, as it may be in a file name.
bool matchWildcard(const std::string& name, const std::string& pattern);

} // namespace mivo
