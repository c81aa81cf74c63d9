#include "window/controls.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/paths.h"
#include "common/text.h"

namespace mivo {

namespace fs = std::filesystem;

namespace {

char foldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool matchOne(const std::string& name, std::size_t n, const std::string& pattern, std::size_t p) {
    while (p < pattern.size()) {
        if (pattern[p] == '*') {
            // Collapse a run of stars, then try every split of the rest of the name.
            while (p < pattern.size() && pattern[p] == '*') {
                ++p;
            }
            if (p == pattern.size()) {
                return true;
            }
            for (std::size_t k = n; k <= name.size(); ++k) {
                if (matchOne(name, k, pattern, p)) {
                    return true;
                }
            }
            return false;
        }
        if (n == name.size()) {
            return false;
        }
        if (pattern[p] != '?' && foldAscii(pattern[p]) != foldAscii(name[n])) {
            return false;
        }
        ++p;
        ++n;
    }
    return n == name.size();
}

/// Absolute, lexically normal folder path without trailing separator; "" for an empty path or
/// one the system cannot make absolute.
std::string cleanFolder(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    std::error_code ec;
    fs::path folder(path);
    if (!folder.is_absolute()) {
        folder = fs::absolute(folder, ec);
        if (ec) {
            return {};
        }
    }
    std::string text = folder.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

/// The same, "" when the path does not name an existing folder.
std::string existingFolder(const std::string& path) {
    std::string text = cleanFolder(path);
    std::error_code ec;
    if (text.empty() || !fs::is_directory(text, ec)) {
        return {};
    }
    return text;
}

/// A folder that 作成 could make: its nearest existing ancestor is a folder (nothing on the
/// way is a file).
bool canBeMade(const std::string& folder) {
    std::error_code ec;
    for (fs::path at(folder); !at.empty(); at = at.parent_path()) {
        if (fs::exists(at, ec)) {
            return fs::is_directory(at, ec);
        }
        if (at == at.parent_path()) {
            break;
        }
    }
    return false;
}

} // namespace

Twips grownPlace(const Twips& design, const Stretch& stretch, int extraWidth, int extraHeight) {
    // Each edge moves by a whole share of the extra room, rounded the same way wherever it
    // is computed, so that neighbours that share an edge never overlap.
    const auto share = [](int extra, int percent) { return extra * percent / 100; };
    const int left = share(extraWidth, stretch.Left);
    const int right = share(extraWidth, stretch.Left + stretch.Width);
    const int top = share(extraHeight, stretch.Top);
    const int bottom = share(extraHeight, stretch.Top + stretch.Height);
    return {design.Left + left, design.Top + top, std::max(0, design.Width + right - left),
            std::max(0, design.Height + bottom - top)};
}

std::vector<Control*> readingOrder(const Control& container) {
    std::vector<Control*> children = container.children();
    std::stable_sort(children.begin(), children.end(), [](const Control* a, const Control* b) {
        return a->geometry().Top < b->geometry().Top;
    });
    std::vector<Control*> ordered;
    ordered.reserve(children.size());
    std::size_t rowStart = 0;
    while (rowStart < children.size()) {
        // A control starts a row; the next ones join it while their tops lie above the middle
        // of the lowest control in it (a label beside its box, buttons level with a tab row).
        const int rowTop = children[rowStart]->geometry().Top;
        int rowHeight = children[rowStart]->geometry().Height;
        std::size_t rowEnd = rowStart + 1;
        while (rowEnd < children.size()) {
            const Twips& next = children[rowEnd]->geometry();
            if (next.Top >= rowTop + std::min(rowHeight, next.Height) / 2) {
                break;
            }
            rowHeight = std::min(rowHeight, next.Height);
            ++rowEnd;
        }
        std::vector<Control*> row(children.begin() + static_cast<std::ptrdiff_t>(rowStart),
                                  children.begin() + static_cast<std::ptrdiff_t>(rowEnd));
        std::stable_sort(row.begin(), row.end(), [](const Control* a, const Control* b) {
            return a->geometry().Left < b->geometry().Left;
        });
        ordered.insert(ordered.end(), row.begin(), row.end());
        rowStart = rowEnd;
    }
    return ordered;
}

bool matchPattern(const std::string& name, const std::string& patterns) {
    std::size_t start = 0;
    while (start <= patterns.size()) {
        const std::size_t end = std::min(patterns.find(';', start), patterns.size());
        const std::string one = patterns.substr(start, end - start);
        if (!one.empty() && matchOne(name, 0, one, 0)) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool matchWildcard(const std::string& name, const std::string& pattern) {
    return matchOne(name, 0, pattern, 0);
}

// --- Control ---------------------------------------------------------------------------

Control::Control(ControlKind kind, std::string name, Control* parent, int index)
    : kind_(kind), name_(std::move(name)), index_(index), parent_(parent) {
    if (parent_ != nullptr) {
        parent_->children_.push_back(this);
    }
}

std::string Control::displayName() const {
    return index_ < 0 ? name_ : name_ + "(" + std::to_string(index_) + ")";
}

const Control* Control::pane() const {
    const Control* c = this;
    while (c->parent_ != nullptr && c->parent_->parent_ != nullptr) {
        c = c->parent_;
    }
    if (c == this && parent_ == nullptr) {
        return nullptr;
    }
    // Panes are the frames placed directly on the form.
    return c->kind_ == ControlKind::Frame ? c : nullptr;
}

void Control::setGeometry(const Twips& geometry) {
    geometry_ = geometry;
    notify(Property::Geometry);
}

void Control::setCaption(const std::string& caption) {
    if (caption_ != caption) {
        caption_ = caption;
        notify(Property::Caption);
    }
}

void Control::setToolTipText(const std::string& text) {
    if (toolTipText_ != text) {
        toolTipText_ = text;
        notify(Property::ToolTipText);
    }
}

void Control::setEnabled(bool enabled) {
    if (enabled_ != enabled) {
        enabled_ = enabled;
        notify(Property::Enabled);
    }
}

void Control::setVisible(bool visible) {
    if (visible_ != visible) {
        visible_ = visible;
        notify(Property::Visible);
    }
}

bool Control::effectiveEnabled() const {
    for (const Control* c = this; c != nullptr; c = c->parent_) {
        if (!c->enabled_) {
            return false;
        }
    }
    return true;
}

bool Control::effectiveVisible() const {
    for (const Control* c = this; c != nullptr; c = c->parent_) {
        if (!c->visible_) {
            return false;
        }
    }
    return true;
}

int Control::addObserver(Observer observer) {
    const int id = nextObserverId_++;
    observers_.emplace_back(id, std::move(observer));
    return id;
}

void Control::removeObserver(int id) {
    std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void Control::notify(Property property) {
    // A copy, so an observer may remove itself while being told.
    const auto observers = observers_;
    for (const auto& entry : observers) {
        entry.second(*this, property);
    }
}

// --- TextBox, CommandButton, CheckBox ---------------------------------------------------

void TextBox::setText(const std::string& text) {
    if (text_ == text) {
        return;
    }
    text_ = text;
    notify(Property::Text);
    if (onChange) {
        onChange();
    }
}

void CommandButton::click() {
    if (acceptsUser() && onClick) {
        onClick();
    }
}

void CheckBox::setValue(int value) {
    if (value_ == value) {
        return;
    }
    value_ = value;
    notify(Property::Value);
    if (onClick) {
        onClick();
    }
}

void CheckBox::click() {
    if (acceptsUser()) {
        setValue(value_ == 1 ? 0 : 1);
    }
}

// --- OptionButton -----------------------------------------------------------------------

int OptionGroup::selectedIndex() const {
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i]->value()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

OptionButton::OptionButton(std::string name, Control* parent, int index, OptionGroup& group)
    : Control(ControlKind::OptionButton, std::move(name), parent, index), group_(group) {
    group_.buttons.push_back(this);
}

void OptionButton::setValueQuietly(bool value) {
    if (value_ != value) {
        value_ = value;
        notify(Property::Value);
    }
}

void OptionButton::select() {
    for (OptionButton* other : group_.buttons) {
        if (other != this) {
            other->setValueQuietly(false);
        }
    }
    setValueQuietly(true);
    if (onClick) {
        onClick();
    }
}

void OptionButton::click() {
    if (acceptsUser()) {
        select();
    }
}

// --- FolderBox, FileListBox -------------------------------------------------------------

FolderBox::FolderBox(std::string name, Control* parent, const std::string& startFolder,
                     FolderKind kind)
    : Control(ControlKind::FolderBox, std::move(name), parent), kind_(kind) {
    path_ = existingFolder(startFolder);
    if (path_.empty()) {
        path_ = startFolder;
    }
}

bool FolderBox::setPath(const std::string& path) {
    std::string folder = existingFolder(path);
    // A folder for pages may be one that 作成 makes; it is typed in full, never taken from
    // the working folder.
    if (folder.empty() && kind_ == FolderKind::ToMake && startsWith(path, kPathSeparator)) {
        folder = cleanFolder(path);
        if (!canBeMade(folder)) {
            folder.clear();
        }
    }
    if (folder.empty()) {
        return false;
    }
    if (folder != path_) {
        path_ = folder;
        notify(Property::Path);
        if (onChange) {
            onChange();
        }
    }
    return true;
}

bool FolderBox::exists() const {
    return isFolder(path_);
}

void FolderBox::setRecent(std::vector<std::string> folders) {
    if (folders != recent_) {
        recent_ = std::move(folders);
        notify(Property::List);
    }
}

FileListBox::FileListBox(std::string name, Control* parent, const std::string& startFolder,
                         std::string pattern)
    : Control(ControlKind::FileListBox, std::move(name), parent), pattern_(std::move(pattern)) {
    path_ = existingFolder(startFolder);
    if (path_.empty()) {
        path_ = startFolder;
    }
    refresh();
}

bool FileListBox::setPath(const std::string& path) {
    const std::string folder = existingFolder(path);
    if (folder.empty()) {
        return false;
    }
    if (folder == path_) {
        return true;
    }
    path_ = folder;
    listIndex_ = -1;
    refresh();
    notify(Property::Path);
    if (onPathChange) {
        onPathChange();
    }
    return true;
}

void FileListBox::refresh() {
    std::vector<std::string> names;
    listVisibleFiles(path_, [this, &names](const char* name) {
        if (filter_ ? filter_(name) : matchPattern(name, pattern_)) {
            names.emplace_back(name);
        }
        return true;
    });
    std::sort(names.begin(), names.end(), listingLess);
    const std::string selected = fileName();
    list_ = std::move(names);
    listIndex_ = -1;
    for (std::size_t i = 0; i < list_.size(); ++i) {
        if (!selected.empty() && list_[i] == selected) {
            listIndex_ = static_cast<int>(i);
        }
    }
    notify(Property::List);
}

void FileListBox::setFilter(std::function<bool(const std::string& name)> filter) {
    filter_ = std::move(filter);
    refresh();
}

bool FileListBox::setListIndex(int index) {
    if (index < -1 || index >= listCount()) {
        return false;
    }
    if (index == listIndex_) {
        return true;
    }
    listIndex_ = index;
    notify(Property::ListIndex);
    if (index >= 0 && onClick) {
        onClick();
    }
    return true;
}

void FileListBox::clickItem(int index) {
    if (!acceptsUser() || index < 0 || index >= listCount()) {
        return;
    }
    if (index != listIndex_) {
        setListIndex(index);
    } else if (onClick) {
        onClick();
    }
}

std::string FileListBox::fileName() const {
    if (listIndex_ < 0 || listIndex_ >= listCount()) {
        return {};
    }
    return list_[static_cast<std::size_t>(listIndex_)];
}

// --- PictureBox, TabStrip, ProgressBar --------------------------------------------------

void PictureBox::cls() {
    hasPicture_ = false;
    picturePath_.clear();
    drawWidth_ = 0;
    drawHeight_ = 0;
    notify(Property::Picture);
}

void PictureBox::paintPicture(const std::string& path, int width, int height) {
    hasPicture_ = true;
    picturePath_ = path;
    drawWidth_ = width;
    drawHeight_ = height;
    notify(Property::Picture);
}

std::string TabStrip::selectedKey() const {
    if (selected_ < 0 || selected_ >= static_cast<int>(tabs_.size())) {
        return {};
    }
    return tabs_[static_cast<std::size_t>(selected_)].Key;
}

void TabStrip::select(int index) {
    if (index < 0 || index >= static_cast<int>(tabs_.size())) {
        return;
    }
    if (selected_ != index) {
        selected_ = index;
        notify(Property::SelectedTab);
    }
    if (onClick) {
        onClick();
    }
}

void ProgressBar::setMin(double value) {
    min_ = value;
    notify(Property::Range);
}

void ProgressBar::setMax(double value) {
    max_ = value;
    notify(Property::Range);
}

void ProgressBar::setValue(double value) {
    value_ = value;
    notify(Property::Value);
}

// --- ListView ---------------------------------------------------------------------------

std::string ListView::cell(int row, int column) const {
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    const auto& cells = rows_[static_cast<std::size_t>(row)];
    if (column < 0 || column >= static_cast<int>(cells.size())) {
        return {};
    }
    return cells[static_cast<std::size_t>(column)];
}

void ListView::setCell(int row, int column, const std::string& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= static_cast<int>(columns_.size())) {
        return;
    }
    auto& value = rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    if (value != text) {
        value = text;
        notifyRows({RowsChange::Kind::Cell, row, 1});
    }
}

int ListView::addRow(std::vector<std::string> cells) {
    cells.resize(columns_.size());
    rows_.push_back(std::move(cells));
    notifyRows({RowsChange::Kind::Added, rowCount() - 1, 1});
    return rowCount() - 1;
}

void ListView::addRows(std::vector<std::vector<std::string>> rows) {
    if (rows.empty()) {
        return;
    }
    const int first = rowCount();
    rows_.reserve(rows_.size() + rows.size());
    for (std::vector<std::string>& cells : rows) {
        cells.resize(columns_.size());
        rows_.push_back(std::move(cells));
    }
    notifyRows({RowsChange::Kind::Added, first, rowCount() - first});
}

void ListView::insertRow(int index, std::vector<std::string> cells) {
    index = std::clamp(index, 0, rowCount());
    cells.resize(columns_.size());
    rows_.insert(rows_.begin() + index, std::move(cells));
    if (selected_ >= index) {
        ++selected_;
    }
    notifyRows({});
    notify(Property::SelectedRow);
}

void ListView::notifyRows(RowsChange change) {
    lastChange_ = change;
    notify(Property::Rows);
}

void ListView::removeRow(int index) {
    if (index < 0 || index >= rowCount()) {
        return;
    }
    rows_.erase(rows_.begin() + index);
    if (selected_ == index) {
        selected_ = -1;
    } else if (selected_ > index) {
        --selected_;
    }
    notifyRows({RowsChange::Kind::Removed, index, 1});
    notify(Property::SelectedRow);
}

void ListView::clear() {
    rows_.clear();
    selected_ = -1;
    notifyRows({});
    notify(Property::SelectedRow);
}

void ListView::setSelectedIndex(int index) {
    if (index < -1 || index >= rowCount()) {
        return;
    }
    if (selected_ != index) {
        selected_ = index;
        notify(Property::SelectedRow);
    }
}

void ListView::sortBy(int column, bool ascending) {
    if (column < 0 || column >= static_cast<int>(columns_.size())) {
        return;
    }
    sortKey_ = column;
    sortAscending_ = ascending;
    std::vector<std::size_t> order(rows_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    const auto col = static_cast<std::size_t>(column);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return ascending ? listingLess(rows_[a][col], rows_[b][col])
                         : listingLess(rows_[b][col], rows_[a][col]);
    });
    std::vector<std::vector<std::string>> sorted;
    sorted.reserve(rows_.size());
    int newSelected = -1;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (static_cast<int>(order[i]) == selected_) {
            newSelected = static_cast<int>(i);
        }
        sorted.push_back(std::move(rows_[order[i]]));
    }
    rows_ = std::move(sorted);
    selected_ = newSelected;
    notifyRows({});
    notify(Property::SelectedRow);
}

void ListView::clickItem(int index) {
    if (!acceptsUser() || index < 0 || index >= rowCount()) {
        return;
    }
    setSelectedIndex(index);
    if (onItemClick) {
        onItemClick(index);
    }
}

void ListView::clickColumn(int column) {
    if (!acceptsUser() || column < 0 || column >= static_cast<int>(columns_.size())) {
        return;
    }
    if (onColumnClick) {
        onColumnClick(column);
    }
}

} // namespace mivo
