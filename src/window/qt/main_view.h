#pragma once

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QWidget>

#include "window/form_main.h"

class QAbstractItemView;
class QButtonGroup;
class QLabel;
class QCloseEvent;
class QScrollArea;
class QRadioButton;

namespace mivo::qt {

class DesignLayout;

/// The main window on screen: one widget per control of FormMain, placed by the controls'
/// twip geometry (15 twips per pixel, enlarged when the caption font is larger than the one
/// the geometry was drawn for) in layouts that take the design size as their least and hand
/// extra room to the lists and text boxes, each bound both ways. A user's edit sets the
/// control, which raises the window's handler; a control's change updates its widget without
/// echoing back. The Tab key follows the layout; Alt and a control's letter reach it.
class MainView : public QWidget {
  public:
    /// Builds the widgets for every control of the form. Call form.Form_Load() afterwards (or
    /// before: the widgets follow the controls either way).
    explicit MainView(FormMain& form);
    ~MainView() override;
    MainView(const MainView&) = delete;
    MainView& operator=(const MainView&) = delete;

    /// The widget that stands for a control, nullptr for one without.
    QWidget* widgetFor(const Control* control) const;
    /// By the window's name and array index ("TextLinkName", 1).
    QWidget* widgetFor(const std::string& name, int index = -1) const;

    /// Pixels per twip times 15: 1.0 when the font matches the geometry's design font.
    double scale() const { return scale_; }
    int toPixels(int twips) const;

    /// Repaints the status label and the progress bar now, without running the event loop.
    void repaintStatus();
    /// While held, the status label and the bar keep what they show; on release they show the
    /// controls' state at once (a run's status calls are handed over in batches).
    void holdStatusWidgets(bool hold);
    /// Closes the widget once the form has saved its state.
    void closeWidget();

    /// Puts the window where Mivo.ini says it was closed (call after Form_Load, before show):
    /// on the screen it was on, or the primary one when that screen is gone, and no larger
    /// than that screen. Without a stored size the window keeps its design size.
    void restorePlace();
    /// Where the window is now (its place and size when not maximized).
    bool currentPlace(WindowPlace& out) const;

    /// The widgets that take the keyboard focus, in the order the Tab key goes through them
    /// (every pane's, visible or not).
    const std::vector<QWidget*>& focusChain() const { return focusChain_; }
    /// Moves the focus to the first control of the pane that shows (after a pane switch from
    /// the keyboard).
    void focusIntoPane();

    /// A caption as a widget shows it: "&" doubled, and the access key marked (in front of
    /// its letter, or after the caption in parentheses when the caption has no such letter).
    static QString shownCaption(const std::string& caption, char accessKey);

  protected:
    void closeEvent(QCloseEvent* event) override;
    /// Enter and Space on the file list and the gallery list choose the row under the cursor.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* createWidget(Control& control, QWidget* parent);
    void connectUserEdits(Control& control, QWidget* widget);
    void apply(Control& control, Property property);
    void applyAll(Control& control);
    void placeWidget(const Control& control, QWidget* widget);
    void fillFileList(const FileListBox& box, QWidget* widget);
    void fillRows(const ListView& view, QWidget* widget);
    void showSelectedRow(const ListView& view, QWidget* widget);
    void showPicture(const PictureBox& box, QWidget* widget);
    void syncOptionGroup(const OptionButton& option);
    /// Checks the option's widget as the control holds it and makes the chosen option of
    /// its group the group's stop in the Tab order.
    void showOption(const OptionButton& option, QRadioButton* radio);
    /// Highlights the chosen row only (none for -1), wherever the keyboard's cursor is.
    void showChosenRow(QAbstractItemView* view, int row);
    Control* controlFor(const QWidget* widget) const;
    /// What a screen reader calls the control: the name the form gives it, else its caption,
    /// or for a box without one the caption of the label before it or of its frame.
    std::string accessibleCaption(const Control& control) const;
    /// Gives the widget (and each part of a folder chooser) the control's accessible name.
    void showAccessibleName(const Control& control, QWidget* widget);
    /// An arrow key on an option button chooses the next (or previous) option of its group.
    bool chooseByArrow(QRadioButton* radio, int key);

    /// The status row (status line, bar, 作成, 終了) begins here, below the tab strip.
    static constexpr int kStatusRowTop = 8580;
    static constexpr int kDesignWidth = 8895;

    bool inStatusRow(const Control& control) const;
    void layoutStatusRow();
    /// The status line as much as it has room for; the whole text in its tool-tip when cut.
    void showStatusText();
    /// The layout of a container control's widget (the canvas for the form).
    DesignLayout* layoutOf(const Control* container) const;
    /// Puts the focus chain in the reading order of the controls (rows from the top, each
    /// from the left, a frame's controls where the frame is).
    void orderFocus();
    void collectFocus(const Control& container, std::vector<QWidget*>& chain) const;
    /// The design size where the screen holds it, else as much as the screen holds.
    void fitToScreen();
    /// `wanted` moved and shrunk to lie whole on the screen it overlaps most.
    QRect placeOnScreen(const QRect& wanted) const;

    FormMain& form_;
    QScrollArea* scroll_ = nullptr;
    QWidget* canvas_ = nullptr;
    QWidget* statusRow_ = nullptr;
    double scale_ = 1.0;
    /// True while the view writes into a widget; signals raised then are not the user's.
    bool updating_ = false;
    bool closing_ = false;
    bool sortShown_ = false;
    bool statusHeld_ = false;
    std::unordered_map<const Control*, QWidget*> widgets_;
    std::unordered_map<const Control*, DesignLayout*> layouts_;
    std::vector<QWidget*> focusChain_;
    /// One exclusive button group per option group of the window.
    std::unordered_map<const OptionGroup*, QButtonGroup*> buttonGroups_;
    std::vector<std::pair<Control*, int>> observers_;
};

} // namespace mivo::qt
