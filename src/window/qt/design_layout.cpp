#include "window/qt/design_layout.h"

#include <algorithm>

#include <QWidget>
#include <QWidgetItem>

namespace mivo::qt {

DesignLayout::DesignLayout(QWidget* parent, QSize designSize)
    : QLayout(parent), design_(designSize) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
    // The design size is the least the container needs, not a size it is fixed at.
    setSizeConstraint(QLayout::SetNoConstraint);
}

DesignLayout::~DesignLayout() {
    while (!entries_.isEmpty()) {
        delete entries_.takeLast().item;
    }
}

void DesignLayout::place(QWidget* widget, const QRect& designPlace, const Stretch& stretch) {
    bool known = false;
    for (Entry& entry : entries_) {
        if (entry.item->widget() == widget) {
            entry.design = designPlace;
            entry.stretch = stretch;
            known = true;
        }
    }
    if (!known) {
        addChildWidget(widget);
        entries_.append({new QWidgetItem(widget), designPlace, stretch});
    }
    // In place at once, also inside a pane not shown yet (whose layout runs when it shows).
    setGeometry(geometry());
    invalidate();
}

void DesignLayout::setDesignSize(QSize size) {
    if (size != design_) {
        design_ = size;
        invalidate();
    }
}

void DesignLayout::addItem(QLayoutItem* item) {
    entries_.append({item, QRect(), Stretch{}});
}

QLayoutItem* DesignLayout::itemAt(int index) const {
    return index >= 0 && index < entries_.size() ? entries_[index].item : nullptr;
}

QLayoutItem* DesignLayout::takeAt(int index) {
    return index >= 0 && index < entries_.size() ? entries_.takeAt(index).item : nullptr;
}

int DesignLayout::count() const {
    return static_cast<int>(entries_.size());
}

void DesignLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    // Design places count from the container's corner, as its children's coordinates do
    // (a frame's title lies inside the design's rectangle, not above it).
    const QWidget* container = parentWidget();
    const QSize now = container != nullptr ? container->size() : rect.size();
    const int extraWidth = now.width() - design_.width();
    const int extraHeight = now.height() - design_.height();
    for (const Entry& entry : entries_) {
        const Twips design{entry.design.x(), entry.design.y(), entry.design.width(),
                           entry.design.height()};
        const Twips grown =
            grownPlace(design, entry.stretch, std::max(0, extraWidth), std::max(0, extraHeight));
        if (QWidget* widget = entry.item->widget()) {
            widget->setGeometry(grown.Left, grown.Top, grown.Width, grown.Height);
        }
    }
}

} // namespace mivo::qt
