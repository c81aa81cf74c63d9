#include "window/qt/main_view.h"

#include <algorithm>
#include <cmath>

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/translate.h"
#include "window/qt/app_setup.h"
#include "window/qt/design_layout.h"
#include "window/qt/folder_chooser.h"
#include "window/qt/layout_adjustments.h"

namespace mivo::qt {

namespace {

QString toQt(const std::string& text) {
    return QString::fromStdString(text);
}

/// The multi-line box holds CR LF line ends, as a multi-line text box does; the widget holds
/// "\n".
std::string fromPlainText(const QString& text) {
    std::string out;
    for (const char c : text.toStdString()) {
        if (c == '\n') {
            out += "\r\n";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}

QString toPlainText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                continue;
            }
            out += '\n';
        } else {
            out += text[i];
        }
    }
    return QString::fromStdString(out);
}

/// The design font of the geometry draws a Japanese character 12 pixels wide (9 points at
/// 96 dots per inch). A larger caption font enlarges the whole window alike, so nothing
/// that fitted the design is clipped; a smaller one keeps the design size.
double scaleForFont(const QFont& font) {
    const QFontMetricsF metrics(font);
    const double em = metrics.horizontalAdvance(QChar(0x3042)); // あ
    return std::max(1.0, em / 12.0);
}

/// Pane frames (placed on the form itself) lie inside the tab strip: they have no border.
bool isPane(const Control& control) {
    return control.kind() == ControlKind::Frame && control.parent() != nullptr &&
           control.parent()->kind() == ControlKind::Form;
}

/// Items for rows [first, count) of the list view, not yet in any tree.
QList<QTreeWidgetItem*> itemsFor(const ListView& view, int first, int count) {
    QList<QTreeWidgetItem*> items;
    items.reserve(count - first);
    const int columns = static_cast<int>(view.columns().size());
    for (int row = first; row < count; ++row) {
        QStringList texts;
        texts.reserve(columns);
        for (const std::string& cell : view.row(row)) {
            texts << toQt(cell);
        }
        items << new QTreeWidgetItem(texts);
    }
    return items;
}

void showRowTexts(const ListView& view, int row, QTreeWidgetItem* item) {
    const int columns = static_cast<int>(view.columns().size());
    for (int column = 0; column < columns; ++column) {
        const QString text = toQt(view.cell(row, column));
        if (item->text(column) != text) {
            item->setText(column, text);
        }
    }
}

} // namespace

MainView::MainView(FormMain& form) : form_(form) {
    setObjectName(QStringLiteral("FormMain"));
    scale_ = scaleForFont(font());
    fitCaptions(form_, font(), scale_);

    // Everything above the status row scrolls when the window is smaller than its design (a
    // small screen, large fonts, a user's resize); the status row with 作成 and 終了 stays
    // at the bottom, always in view.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("FormScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    // The canvas takes the room the window has, the design size at least.
    scroll_->setWidgetResizable(true);
    scroll_->setFocusPolicy(Qt::NoFocus);
    canvas_ = new QWidget;
    canvas_->setObjectName(QStringLiteral("FormCanvas"));
    scroll_->setWidget(canvas_);
    layouts_[&form_.Window] = new DesignLayout(canvas_, QSize());
    statusRow_ = new QWidget(this);
    statusRow_->setObjectName(QStringLiteral("StatusRow"));
    statusRow_->installEventFilter(this);
    layout->addWidget(scroll_, 1);
    layout->addWidget(statusRow_);

    for (Control* control : form_.controls()) {
        QWidget* widget = nullptr;
        if (control == &form_.Window) {
            widget = this;
        } else if (control->parent() == &form_.Window) {
            widget = createWidget(*control, inStatusRow(*control) ? statusRow_ : canvas_);
        } else {
            const auto parent = widgets_.find(control->parent());
            widget = createWidget(*control, parent != widgets_.end() ? parent->second : canvas_);
        }
        widgets_[control] = widget;
        applyAll(*control);
        if (widget != this) {
            connectUserEdits(*control, widget);
        }
        const int id = control->addObserver(
            [this](Control& changed, Property property) { apply(changed, property); });
        observers_.emplace_back(control, id);
    }
    orderFocus();
    fitToScreen();

    // F1 opens the help, wherever the focus is.
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, [this] {
        if (!form_.running()) {
            form_.launchers.CommandHelp_Click();
        }
    });
    // Ctrl+Q closes the window as its close button does (during a run it asks first).
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this,
            [this] { close(); });
    // Ctrl+Enter presses 作成 (中止 during a run), wherever the focus is.
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(Qt::CTRL | key), this), &QShortcut::activated, this,
                [this] { form_.CommandMake->click(); });
    }
    // The tab strip from the keyboard, wherever the focus is: Ctrl+PgDown / Ctrl+PgUp (and
    // Ctrl+Tab / Ctrl+Shift+Tab) step through the tabs as clicking them does.
    const auto step = [this](int delta) {
        TabStrip& strip = *form_.TabStripMivo;
        const int count = static_cast<int>(strip.tabs().size());
        if (isEnabled() && count > 0) {
            strip.select((strip.selectedIndex() + delta + count) % count);
            // The keyboard goes on in the pane it asked for, not where it was.
            focusIntoPane();
        }
    };
    for (const QKeySequence& next :
         {QKeySequence(Qt::CTRL | Qt::Key_PageDown), QKeySequence(Qt::CTRL | Qt::Key_Tab)}) {
        connect(new QShortcut(next, this), &QShortcut::activated, this, [step] { step(1); });
    }
    for (const QKeySequence& previous : {QKeySequence(Qt::CTRL | Qt::Key_PageUp),
                                         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)}) {
        connect(new QShortcut(previous, this), &QShortcut::activated, this, [step] { step(-1); });
    }
    // Ctrl+Z in the gallery list brings back the row deleted last (a text box there undoes
    // its own typing first).
    auto* undo = new QShortcut(QKeySequence::Undo, widgetFor(form_.galleryList.FramePathList));
    undo->setContext(Qt::WidgetWithChildrenShortcut);
    connect(undo, &QShortcut::activated, this, [this] {
        if (!form_.running()) {
            form_.galleryList.undoDelete();
        }
    });
}

MainView::~MainView() {
    for (const auto& [control, id] : observers_) {
        control->removeObserver(id);
    }
}

int MainView::toPixels(int twips) const {
    return static_cast<int>(std::lround(twips * scale_ / 15.0));
}

QWidget* MainView::widgetFor(const Control* control) const {
    const auto it = widgets_.find(control);
    return it != widgets_.end() ? it->second : nullptr;
}

QWidget* MainView::widgetFor(const std::string& name, int index) const {
    return widgetFor(form_.findControl(name, index));
}

QWidget* MainView::createWidget(Control& control, QWidget* parent) {
    QWidget* widget = nullptr;
    switch (control.kind()) {
    case ControlKind::Form:
        widget = new QWidget(parent);
        break;
    case ControlKind::Frame:
        widget = isPane(control) ? new QWidget(parent) : new QGroupBox(parent);
        break;
    case ControlKind::Label: {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        widget = label;
        break;
    }
    case ControlKind::TextBox:
        if (static_cast<TextBox&>(control).multiLine) {
            auto* edit = new QPlainTextEdit(parent);
            edit->setTabChangesFocus(true);
            widget = edit;
        } else {
            widget = new QLineEdit(parent);
        }
        break;
    case ControlKind::CommandButton:
        widget = new QPushButton(parent);
        break;
    case ControlKind::CheckBox:
        widget = new QCheckBox(parent);
        break;
    case ControlKind::OptionButton: {
        // Each option group of the window is a button group of its own. Qt's grouping of
        // auto-exclusive buttons by parent would take in every option below the mode buttons
        // on the canvas: one Tab stop for all of them, and a click there clearing options of
        // other groups on screen.
        auto* option = new QRadioButton(parent);
        QButtonGroup*& group = buttonGroups_[&static_cast<OptionButton&>(control).group()];
        if (group == nullptr) {
            group = new QButtonGroup(this);
            group->setExclusive(true);
        }
        group->addButton(option);
        widget = option;
        break;
    }
    case ControlKind::FolderBox:
        widget = new FolderChooser(static_cast<FolderBox&>(control), parent);
        break;
    case ControlKind::FileListBox:
        widget = new QListWidget(parent);
        break;
    case ControlKind::PictureBox: {
        auto* picture = new QLabel(parent);
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (control.name() == "PictureIcon") {
            const int side =
                toPixels(std::min(control.geometry().Width, control.geometry().Height));
            picture->setPixmap(programIcon().pixmap(side, side));
        } else {
            picture->setFrameShape(QFrame::StyledPanel);
            picture->setFrameShadow(QFrame::Sunken);
        }
        widget = picture;
        break;
    }
    case ControlKind::TabStrip: {
        auto* tabs = new QTabWidget(parent);
        for (const Tab& tab : static_cast<TabStrip&>(control).tabs()) {
            const int at =
                tabs->addTab(new QWidget(tabs), shownCaption(tab.Caption, tab.AccessKey));
            tabs->setTabToolTip(at, toQt(tab.ToolTipText));
        }
        // The panes lie over the tab strip; only its tabs take the keyboard focus, in the Tab
        // order like any control (the arrow keys then step through the tabs).
        tabs->setFocusPolicy(Qt::NoFocus);
        tabs->tabBar()->setFocusPolicy(Qt::TabFocus);
        widget = tabs;
        break;
    }
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setTextVisible(false);
        widget = bar;
        break;
    }
    case ControlKind::ListView: {
        auto& view = static_cast<ListView&>(control);
        auto* tree = new QTreeWidget(parent);
        tree->setRootIsDecorated(false);
        tree->setUniformRowHeights(true);
        tree->setAllColumnsShowFocus(true);
        tree->setSelectionMode(QAbstractItemView::SingleSelection);
        tree->setSortingEnabled(false);
        QStringList headers;
        for (const ColumnHeader& column : view.columns()) {
            headers << toQt(column.Text);
        }
        tree->setHeaderLabels(headers);
        for (std::size_t i = 0; i < view.columns().size(); ++i) {
            tree->setColumnWidth(static_cast<int>(i), toPixels(view.columns()[i].Width));
        }
        tree->header()->setSectionsClickable(true);
        tree->header()->setStretchLastSection(true);
        widget = tree;
        break;
    }
    }
    const std::string name = control.index() >= 0
                                 ? control.name() + "_" + std::to_string(control.index())
                                 : control.name();
    widget->setObjectName(toQt(name));
    showAccessibleName(control, widget);
    if (control.kind() == ControlKind::OptionButton) {
        widget->installEventFilter(this); // arrow keys choose within the group
    }
    return widget;
}

void MainView::connectUserEdits(Control& control, QWidget* widget) {
    switch (control.kind()) {
    case ControlKind::TextBox: {
        auto& box = static_cast<TextBox&>(control);
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            connect(edit, &QLineEdit::textEdited, this, [this, &box](const QString& text) {
                if (!updating_) {
                    box.setText(text.toStdString());
                }
            });
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
            connect(plain, &QPlainTextEdit::textChanged, this, [this, &box, plain] {
                if (!updating_) {
                    box.setText(fromPlainText(plain->toPlainText()));
                }
            });
        }
        break;
    }
    case ControlKind::CommandButton: {
        auto& button = static_cast<CommandButton&>(control);
        connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, this,
                [&button] { button.click(); });
        break;
    }
    case ControlKind::CheckBox: {
        auto& check = static_cast<CheckBox&>(control);
        connect(static_cast<QCheckBox*>(widget), &QCheckBox::clicked, this, [this, &check] {
            check.click();
            apply(check, Property::Value); // the widget shows what the control holds
        });
        break;
    }
    case ControlKind::OptionButton: {
        auto& option = static_cast<OptionButton&>(control);
        connect(static_cast<QRadioButton*>(widget), &QRadioButton::clicked, this, [this, &option] {
            option.click();
            syncOptionGroup(option);
        });
        break;
    }
    case ControlKind::FileListBox: {
        // A file is chosen by a click or by Enter or Space on it, never by the focus or the
        // arrow keys moving through the list; a click on the chosen file chooses it again.
        auto& box = static_cast<FileListBox&>(control);
        auto* list = static_cast<QListWidget*>(widget);
        connect(list, &QAbstractItemView::clicked, this, [this, &box](const QModelIndex& index) {
            if (!updating_ && index.isValid()) {
                box.clickItem(index.row());
            }
        });
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, &box, list] {
                    if (!updating_) {
                        showChosenRow(list, box.listIndex());
                    }
                });
        list->installEventFilter(this);
        break;
    }
    case ControlKind::TabStrip: {
        auto& strip = static_cast<TabStrip&>(control);
        connect(static_cast<QTabWidget*>(widget), &QTabWidget::currentChanged, this,
                [this, &strip](int index) {
                    if (!updating_ && index >= 0) {
                        strip.select(index);
                    }
                });
        break;
    }
    case ControlKind::ListView: {
        auto& view = static_cast<ListView&>(control);
        auto* tree = static_cast<QTreeWidget*>(widget);
        // As with the file list: a row is chosen by a click or Enter or Space, not by focus.
        connect(tree, &QAbstractItemView::clicked, this, [this, &view](const QModelIndex& index) {
            if (!updating_ && index.isValid()) {
                view.clickItem(index.row());
            }
        });
        connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, &view, tree] {
                    if (!updating_) {
                        showChosenRow(tree, view.selectedIndex());
                    }
                });
        tree->installEventFilter(this);
        connect(tree->header(), &QHeaderView::sectionClicked, this, [this, &view](int column) {
            if (!updating_) {
                sortShown_ = true;
                view.clickColumn(column);
                apply(view, Property::Rows);
            }
        });
        break;
    }
    default:
        break;
    }
}

void MainView::applyAll(Control& control) {
    for (const Property property :
         {Property::Geometry, Property::Caption, Property::ToolTipText, Property::Text,
          Property::Value, Property::Range, Property::List, Property::ListIndex, Property::Picture,
          Property::SelectedTab, Property::Rows, Property::SelectedRow, Property::Enabled,
          Property::Visible}) {
        apply(control, property);
    }
}

bool MainView::inStatusRow(const Control& control) const {
    return &control == form_.LabelMess || &control == form_.ProgressBarMake ||
           &control == form_.CommandPublish || &control == form_.CommandMake ||
           &control == form_.CommandExit;
}

void MainView::placeWidget(const Control& control, QWidget* widget) {
    const Twips& g = control.geometry();
    if (widget == this) {
        const QSize canvas(toPixels(g.Width), toPixels(kStatusRowTop));
        canvas_->setMinimumSize(canvas);
        layoutOf(&control)->setDesignSize(canvas);
        statusRow_->setFixedHeight(toPixels(g.Height - kStatusRowTop));
        return;
    }
    if (inStatusRow(control)) {
        layoutStatusRow();
        return;
    }
    const QRect design(toPixels(g.Left), toPixels(g.Top), toPixels(g.Width), toPixels(g.Height));
    if (DesignLayout* layout = layoutOf(control.parent())) {
        layout->place(widget, design, control.stretch());
    } else {
        widget->setGeometry(design);
    }
    // A frame lays out what it holds the same way.
    if (control.kind() == ControlKind::Frame) {
        DesignLayout*& own = layouts_[&control];
        if (own == nullptr) {
            own = new DesignLayout(widget, design.size());
        } else {
            own->setDesignSize(design.size());
        }
    }
}

DesignLayout* MainView::layoutOf(const Control* container) const {
    const auto it = layouts_.find(container);
    return it != layouts_.end() ? it->second : nullptr;
}

QString MainView::shownCaption(const std::string& caption, char accessKey) {
    QString shown = toQt(caption);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    if (accessKey == 0) {
        return shown;
    }
    // Marked on its letter where the caption has it (English), else after the caption in
    // parentheses, as Japanese captions show their keys.
    const QChar key = QChar::fromLatin1(accessKey);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i].toUpper() == key.toUpper()) {
            shown.insert(i, QLatin1Char('&'));
            return shown;
        }
    }
    return shown + QStringLiteral("(&") + key.toUpper() + QLatin1Char(')');
}

void MainView::collectFocus(const Control& container, std::vector<QWidget*>& chain) const {
    for (const Control* child : readingOrder(container)) {
        QWidget* widget = widgetFor(child);
        if (widget == nullptr) {
            continue;
        }
        if (!child->children().empty()) {
            collectFocus(*child, chain);
        } else if (child->kind() == ControlKind::FolderBox) {
            auto* chooser = static_cast<FolderChooser*>(widget);
            chain.push_back(chooser->pathField());
            chain.push_back(chooser->recentButton());
            chain.push_back(chooser->browseButton());
            chain.push_back(chooser->folderList());
        } else if (child->kind() == ControlKind::TabStrip) {
            chain.push_back(static_cast<QTabWidget*>(widget)->tabBar());
        } else {
            chain.push_back(widget);
        }
    }
}

void MainView::orderFocus() {
    focusChain_.clear();
    collectFocus(form_.Window, focusChain_);
    // Only what can take the focus is chained: a label in between would break the chain.
    std::erase_if(focusChain_, [](const QWidget* w) { return w->focusPolicy() == Qt::NoFocus; });
    for (std::size_t i = 1; i < focusChain_.size(); ++i) {
        QWidget::setTabOrder(focusChain_[i - 1], focusChain_[i]);
    }
}

void MainView::focusIntoPane() {
    const QWidget* pane = widgetFor(form_.visiblePane());
    if (pane == nullptr) {
        return;
    }
    for (QWidget* widget : focusChain_) {
        if (pane->isAncestorOf(widget) && widget->isVisible() && widget->isEnabled() &&
            (widget->focusPolicy() & Qt::TabFocus) != 0) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void MainView::showStatusText() {
    auto* label = static_cast<QLabel*>(widgetFor(form_.LabelMess));
    if (label == nullptr) {
        return;
    }
    // A long message keeps its start and its end (where a failure's reason is); the whole of
    // it is in the tool-tip, with what the run added about it.
    const QString full = toQt(form_.LabelMess->caption());
    const int room = std::max(0, label->contentsRect().width());
    const QString shown = label->fontMetrics().horizontalAdvance(full) <= room
                              ? full
                              : label->fontMetrics().elidedText(full, Qt::ElideMiddle, room);
    label->setText(shown);
    QString tip = toQt(form_.LabelMess->toolTipText());
    if (shown != full) {
        tip = tip.isEmpty() ? full : full + QLatin1Char('\n') + tip;
    }
    label->setToolTip(tip);
    label->setAccessibleDescription(full);
}

void MainView::layoutStatusRow() {
    // The design's places, measured from the right edge for the two buttons; the status line
    // and the bar take the width that is left, so a narrow window keeps 公開, 作成 and 終了
    // whole.
    const int right = statusRow_->width() > 0 ? statusRow_->width() : toPixels(kDesignWidth);
    const auto place = [this](Control* control, int left, int width) {
        QWidget* widget = widgetFor(control);
        if (widget == nullptr) {
            return;
        }
        const Twips& g = control->geometry();
        widget->setGeometry(left, toPixels(g.Top - kStatusRowTop), std::max(0, width),
                            toPixels(g.Height));
    };
    const Twips& exit = form_.CommandExit->geometry();
    const Twips& make = form_.CommandMake->geometry();
    const int exitLeft = right - toPixels(kDesignWidth - exit.Left);
    const int makeLeft = exitLeft - toPixels(exit.Left - make.Left);
    place(form_.CommandExit, exitLeft, toPixels(exit.Width));
    place(form_.CommandMake, makeLeft, toPixels(make.Width));
    const Twips& publish = form_.CommandPublish->geometry();
    const int publishLeft = makeLeft - toPixels(make.Left - publish.Left);
    place(form_.CommandPublish, publishLeft, toPixels(publish.Width));
    for (Control* line :
         {static_cast<Control*>(form_.LabelMess), static_cast<Control*>(form_.ProgressBarMake)}) {
        const Twips& g = line->geometry();
        place(line, toPixels(g.Left),
              publishLeft - toPixels(publish.Left - g.Left - g.Width) - toPixels(g.Left));
    }
    showStatusText();
}

void MainView::fitToScreen() {
    const QSize design(toPixels(kDesignWidth), toPixels(form_.Window.geometry().Height));
    QSize size = design;
    if (const QScreen* where = screen(); where != nullptr) {
        // Leave room for the title bar and the frame the window manager adds.
        const QSize room = where->availableGeometry().size() - QSize(16, 48);
        if (room.height() < size.height()) {
            // The panes will scroll up and down: room for the scroll bar beside them.
            size.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
        }
        size = size.boundedTo(room);
    }
    setMinimumSize(std::min(design.width(), toPixels(4800)), statusRow_->height() + toPixels(1500));
    resize(size.expandedTo(minimumSize()));
}

void MainView::restorePlace() {
    const Settings& stored = form_.loadedSettings();
    if (stored.WindowWidth > 0 && stored.WindowHeight > 0) {
        setGeometry(placeOnScreen(
            QRect(static_cast<int>(stored.WindowLeft), static_cast<int>(stored.WindowTop),
                  static_cast<int>(stored.WindowWidth), static_cast<int>(stored.WindowHeight))));
    }
    if (stored.WindowMaximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

QRect MainView::placeOnScreen(const QRect& wanted) const {
    const QScreen* target = QGuiApplication::primaryScreen();
    long long overlap = 0;
    for (const QScreen* candidate : QGuiApplication::screens()) {
        const QRect common = candidate->availableGeometry().intersected(wanted);
        const long long area = static_cast<long long>(common.width()) * common.height();
        if (area > overlap) {
            overlap = area;
            target = candidate;
        }
    }
    if (target == nullptr) {
        return wanted;
    }
    // As at the first start: room for the title bar and the frame the window manager adds.
    const QRect room = target->availableGeometry();
    const QSize size = wanted.size()
                           .boundedTo(room.size() - QSize(16, 48))
                           .expandedTo(minimumSize())
                           .boundedTo(maximumSize());
    const int left = std::clamp(wanted.left(), room.left(),
                                std::max(room.left(), room.right() + 1 - size.width()));
    const int top = std::clamp(wanted.top(), room.top(),
                               std::max(room.top(), room.bottom() + 1 - size.height()));
    return {QPoint(left, top), size};
}

bool MainView::currentPlace(WindowPlace& out) const {
    const bool maximized = isMaximized();
    const QRect rect = maximized || isMinimized() || isFullScreen() ? normalGeometry() : geometry();
    if (rect.width() <= 0 || rect.height() <= 0) {
        return false;
    }
    out = {rect.left(), rect.top(), rect.width(), rect.height(), maximized};
    return true;
}

void MainView::apply(Control& control, Property property) {
    QWidget* widget = widgetFor(&control);
    if (widget == nullptr) {
        return;
    }
    if (statusHeld_ && (&control == form_.LabelMess || &control == form_.ProgressBarMake)) {
        return;
    }
    const bool wasUpdating = updating_;
    updating_ = true;
    switch (property) {
    case Property::Geometry:
        placeWidget(control, widget);
        if (control.kind() == ControlKind::Label) {
            // A label drawn two lines high wraps its caption, as a multi-line label does.
            auto* label = static_cast<QLabel*>(widget);
            label->setWordWrap(widget->height() >= 2 * label->fontMetrics().height());
        }
        break;
    case Property::Caption: {
        const QString caption = toQt(control.caption());
        if (widget != this) {
            showAccessibleName(control, widget);
        }
        if (widget == this) {
            setWindowTitle(caption);
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            group->setTitle(shownCaption(control.caption(), control.accessKey()));
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            button->setText(shownCaption(control.caption(), control.accessKey()));
        } else if (&control == form_.LabelMess) {
            showStatusText();
        } else if (control.kind() == ControlKind::Label) {
            static_cast<QLabel*>(widget)->setText(caption);
        } else if (control.kind() == ControlKind::ProgressBar) {
            // The bar says how long its part of the run has still to go.
            auto* bar = static_cast<QProgressBar*>(widget);
            bar->setFormat(caption);
            bar->setTextVisible(!caption.isEmpty());
            bar->setAccessibleDescription(caption);
        }
        break;
    }
    case Property::ToolTipText:
        if (&control == form_.LabelMess) {
            showStatusText();
        } else {
            widget->setToolTip(toQt(control.toolTipText()));
        }
        break;
    case Property::Enabled:
        // Qt disables everything inside a disabled widget, as the form does for its frames.
        widget->setEnabled(control.enabled());
        break;
    case Property::Visible:
        if (widget != this) {
            widget->setVisible(control.visible());
        }
        break;
    case Property::Text:
        if (control.kind() == ControlKind::TextBox) {
            const auto& box = static_cast<const TextBox&>(control);
            if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
                const QString text = toQt(box.text());
                if (edit->text() != text) {
                    edit->setText(text);
                    if (!edit->hasFocus()) {
                        edit->setCursorPosition(0); // show the start of a long path
                    }
                }
            } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
                if (fromPlainText(plain->toPlainText()) != box.text()) {
                    plain->setPlainText(toPlainText(box.text()));
                }
            }
        }
        break;
    case Property::Value:
        if (control.kind() == ControlKind::CheckBox) {
            const int value = static_cast<const CheckBox&>(control).value();
            auto* check = static_cast<QCheckBox*>(widget);
            check->setTristate(value == 2);
            check->setCheckState(value == 1   ? Qt::Checked
                                 : value == 2 ? Qt::PartiallyChecked
                                              : Qt::Unchecked);
        } else if (control.kind() == ControlKind::OptionButton) {
            showOption(static_cast<const OptionButton&>(control),
                       static_cast<QRadioButton*>(widget));
        } else if (control.kind() == ControlKind::ProgressBar) {
            const auto& bar = static_cast<const ProgressBar&>(control);
            auto* progress = static_cast<QProgressBar*>(widget);
            const auto value = static_cast<int>(std::lround(bar.value()));
            progress->setValue(std::clamp(value, progress->minimum(), progress->maximum()));
        }
        break;
    case Property::Range:
        if (control.kind() == ControlKind::ProgressBar) {
            const auto& bar = static_cast<const ProgressBar&>(control);
            auto* progress = static_cast<QProgressBar*>(widget);
            progress->setRange(static_cast<int>(std::lround(bar.min())),
                               static_cast<int>(std::lround(bar.max())));
            const auto value = static_cast<int>(std::lround(bar.value()));
            progress->setValue(std::clamp(value, progress->minimum(), progress->maximum()));
        }
        break;
    case Property::Path:
        if (control.kind() == ControlKind::FolderBox) {
            static_cast<FolderChooser*>(widget)->refresh();
        } else if (control.kind() == ControlKind::FileListBox) {
            fillFileList(static_cast<const FileListBox&>(control), widget);
        }
        break;
    case Property::List:
    case Property::ListIndex:
        if (control.kind() == ControlKind::FolderBox) {
            static_cast<FolderChooser*>(widget)->refreshRecent();
        } else if (control.kind() == ControlKind::FileListBox) {
            fillFileList(static_cast<const FileListBox&>(control), widget);
        }
        break;
    case Property::Picture:
        if (control.kind() == ControlKind::PictureBox) {
            showPicture(static_cast<const PictureBox&>(control), widget);
        }
        break;
    case Property::SelectedTab:
        if (control.kind() == ControlKind::TabStrip) {
            static_cast<QTabWidget*>(widget)->setCurrentIndex(
                static_cast<const TabStrip&>(control).selectedIndex());
        }
        break;
    case Property::Rows:
        if (control.kind() == ControlKind::ListView) {
            fillRows(static_cast<const ListView&>(control), widget);
        }
        break;
    case Property::SelectedRow:
        if (control.kind() == ControlKind::ListView) {
            showSelectedRow(static_cast<const ListView&>(control), widget);
        }
        break;
    case Property::Focus:
        if (control.kind() == ControlKind::FolderBox) {
            static_cast<FolderChooser*>(widget)->folderList()->setFocus();
        } else if (control.kind() == ControlKind::TabStrip) {
            static_cast<QTabWidget*>(widget)->tabBar()->setFocus();
        } else {
            widget->setFocus();
        }
        break;
    }
    updating_ = wasUpdating;
}

void MainView::fillFileList(const FileListBox& box, QWidget* widget) {
    auto* list = static_cast<QListWidget*>(widget);
    const std::vector<std::string>& names = box.list();
    bool same = list->count() == static_cast<int>(names.size());
    for (int i = 0; same && i < list->count(); ++i) {
        same = list->item(i)->text() == toQt(names[static_cast<std::size_t>(i)]);
    }
    if (!same) {
        list->clear();
        for (const std::string& name : names) {
            list->addItem(toQt(name));
        }
    }
    if (box.listIndex() >= 0 && list->currentRow() != box.listIndex()) {
        list->setCurrentRow(box.listIndex());
    }
    showChosenRow(list, box.listIndex());
}

void MainView::showChosenRow(QAbstractItemView* view, int row) {
    const bool wasUpdating = updating_;
    updating_ = true;
    QItemSelectionModel* selection = view->selectionModel();
    const QModelIndex index = view->model()->index(row, 0);
    if (index.isValid()) {
        selection->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        selection->clearSelection();
    }
    updating_ = wasUpdating;
}

bool MainView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == statusRow_ && event->type() == QEvent::Resize) {
        layoutStatusRow();
        return false;
    }
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (auto* radio = qobject_cast<QRadioButton*>(watched)) {
        return chooseByArrow(radio, key);
    }
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space) {
        return QWidget::eventFilter(watched, event);
    }
    // Enter or Space chooses the row the keyboard is on, as a click on it would.
    if (auto* list = qobject_cast<QListWidget*>(watched)) {
        auto* box = static_cast<FileListBox*>(controlFor(list));
        if (box != nullptr && list->currentRow() >= 0) {
            box->clickItem(list->currentRow());
        }
        return true;
    }
    if (auto* tree = qobject_cast<QTreeWidget*>(watched)) {
        auto* view = static_cast<ListView*>(controlFor(tree));
        QTreeWidgetItem* item = tree->currentItem();
        if (view != nullptr && item != nullptr) {
            view->clickItem(tree->indexOfTopLevelItem(item));
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool MainView::chooseByArrow(QRadioButton* radio, int key) {
    int step = 0;
    if (key == Qt::Key_Down || key == Qt::Key_Right) {
        step = 1;
    } else if (key == Qt::Key_Up || key == Qt::Key_Left) {
        step = -1;
    } else {
        return false;
    }
    auto* option = static_cast<OptionButton*>(controlFor(radio));
    if (option == nullptr) {
        return false;
    }
    // The next option of the group that the user can reach is chosen, as a click would.
    const std::vector<OptionButton*>& members = option->group().buttons;
    const auto count = static_cast<int>(members.size());
    int at = static_cast<int>(std::find(members.begin(), members.end(), option) - members.begin());
    for (int tries = 1; tries < count; ++tries) {
        at = (at + step + count) % count;
        OptionButton* next = members[static_cast<std::size_t>(at)];
        if (next->effectiveEnabled() && next->effectiveVisible()) {
            next->click();
            syncOptionGroup(*next);
            if (QWidget* w = widgetFor(next)) {
                w->setFocus(Qt::TabFocusReason);
            }
            break;
        }
    }
    return true;
}

std::string MainView::accessibleCaption(const Control& control) const {
    if (!control.accessibleName().empty()) {
        return control.accessibleName();
    }
    if (!control.caption().empty()) {
        return control.caption();
    }
    // A box without a caption is named by the label just before it in its frame...
    const Control* parent = control.parent();
    if (parent != nullptr) {
        const auto& siblings = parent->children();
        const auto it = std::find(siblings.begin(), siblings.end(), &control);
        if (it != siblings.begin() && it != siblings.end()) {
            const Control* before = *(it - 1);
            if (before->kind() == ControlKind::Label && !before->caption().empty()) {
                return before->caption();
            }
        }
    }
    // ...else by the nearest frame around it that has a caption.
    for (const Control* up = parent; up != nullptr; up = up->parent()) {
        if (up->kind() == ControlKind::Frame && !up->caption().empty()) {
            return up->caption();
        }
    }
    if (&control == form_.LabelMess) {
        return translate("状態");
    }
    if (control.kind() == ControlKind::TabStrip) {
        return translate("設定ページ"); // each tab is announced by its own caption
    }
    if (&control == form_.ProgressBarMake) {
        return translate("進行状況");
    }
    return {};
}

void MainView::showAccessibleName(const Control& control, QWidget* widget) {
    const QString name = toQt(accessibleCaption(control));
    widget->setAccessibleName(name);
    // The parts of a folder chooser take the keyboard focus, so they carry the name.
    if (control.kind() == ControlKind::FolderBox) {
        static_cast<FolderChooser*>(widget)->setAccessibleNames(name);
    }
}

Control* MainView::controlFor(const QWidget* widget) const {
    for (const auto& [control, shown] : widgets_) {
        if (shown == widget) {
            return const_cast<Control*>(control);
        }
    }
    return nullptr;
}

void MainView::fillRows(const ListView& view, QWidget* widget) {
    auto* tree = static_cast<QTreeWidget*>(widget);
    const ListView::RowsChange& change = view.lastRowsChange();
    using Kind = ListView::RowsChange::Kind;
    const int shown = tree->topLevelItemCount();
    const int count = view.rowCount();
    // A list of many thousand rows follows each change in one step: the row typed into, the
    // row taken out, the rows added. Only what cannot be followed so shows every row again.
    if (change.kind == Kind::Cell && shown == count) {
        showRowTexts(view, change.row, tree->topLevelItem(change.row));
    } else if (change.kind == Kind::Removed && shown == count + 1) {
        delete tree->takeTopLevelItem(change.row);
    } else if (change.kind == Kind::Added && shown == change.row &&
               change.row + change.count == count) {
        tree->addTopLevelItems(itemsFor(view, shown, count));
    } else {
        tree->setUpdatesEnabled(false);
        if (count == 0) {
            tree->clear();
        }
        while (tree->topLevelItemCount() > count) {
            delete tree->takeTopLevelItem(tree->topLevelItemCount() - 1);
        }
        // Rows change in place (sorted), so the items there are reused.
        const int kept = tree->topLevelItemCount();
        for (int row = 0; row < kept; ++row) {
            showRowTexts(view, row, tree->topLevelItem(row));
        }
        tree->addTopLevelItems(itemsFor(view, kept, count));
        tree->setUpdatesEnabled(true);
    }
    tree->header()->setSortIndicatorShown(sortShown_);
    if (sortShown_) {
        tree->header()->setSortIndicator(
            view.sortKey(), view.sortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
    showSelectedRow(view, widget);
}

void MainView::showSelectedRow(const ListView& view, QWidget* widget) {
    auto* tree = static_cast<QTreeWidget*>(widget);
    const int row = view.selectedIndex();
    QTreeWidgetItem* item = row >= 0 ? tree->topLevelItem(row) : nullptr;
    if (item == nullptr) {
        showChosenRow(tree, -1);
        return;
    }
    if (tree->currentItem() != item) {
        tree->setCurrentItem(item);
    }
    showChosenRow(tree, row);
    tree->scrollToItem(item);
}

void MainView::showPicture(const PictureBox& box, QWidget* widget) {
    auto* label = static_cast<QLabel*>(widget);
    if (box.name() == "PictureIcon") {
        return;
    }
    if (!box.hasPicture()) {
        label->clear();
        return;
    }
    // Drawn at the top-left corner in the size the window computed, in pixels.
    QImageReader reader(toQt(box.picturePath()));
    reader.setAutoTransform(false);
    const QSize size(std::max(1, box.drawWidth()), std::max(1, box.drawHeight()));
    reader.setScaledSize(size);
    const QImage image = reader.read();
    if (image.isNull()) {
        label->clear();
        return;
    }
    label->setPixmap(QPixmap::fromImage(image));
}

void MainView::showOption(const OptionButton& option, QRadioButton* radio) {
    QButtonGroup* group = radio->group();
    if (!option.value() && radio->isChecked() && group != nullptr) {
        // An exclusive group keeps its checked button; the control may hold none chosen.
        group->setExclusive(false);
        radio->setChecked(false);
        group->setExclusive(true);
    } else {
        radio->setChecked(option.value());
    }
    // The Tab key stops once in a group, on its chosen option (on each while none is).
    const bool anyChosen = option.group().selectedIndex() >= 0;
    for (const OptionButton* member : option.group().buttons) {
        if (QWidget* w = widgetFor(member)) {
            w->setFocusPolicy(!anyChosen || member->value() ? Qt::StrongFocus : Qt::ClickFocus);
        }
    }
}

void MainView::syncOptionGroup(const OptionButton& option) {
    for (OptionButton* member : option.group().buttons) {
        apply(*member, Property::Value);
    }
}

void MainView::repaintStatus() {
    // Only the two status widgets: the run holds the event thread, so this is what the user
    // sees move, and no input is processed here.
    for (Control* control :
         {static_cast<Control*>(form_.LabelMess), static_cast<Control*>(form_.ProgressBarMake)}) {
        if (QWidget* widget = widgetFor(control); widget != nullptr && widget->isVisible()) {
            widget->repaint();
        }
    }
}

void MainView::holdStatusWidgets(bool hold) {
    statusHeld_ = hold;
    if (!hold) {
        applyAll(*form_.LabelMess);
        applyAll(*form_.ProgressBarMake);
    }
}

void MainView::closeWidget() {
    if (!closing_) {
        close();
    }
}

void MainView::closeEvent(QCloseEvent* event) {
    // During a run the user is asked whether to stop it; the window then closes when the run
    // has stopped.
    if (!form_.closed() && !form_.confirmClose()) {
        event->ignore();
        return;
    }
    // The title bar's close button closes like 終了: settings and list are saved first.
    closing_ = true;
    form_.requestClose();
    closing_ = false;
    event->accept();
}

} // namespace mivo::qt
