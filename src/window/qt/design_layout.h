#pragma once

#include <QLayout>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QSize>

#include "window/controls.h"

namespace mivo::qt {

/// The layout of one container of the window (the canvas, a pane, a frame): each widget at
/// its design place, the container's design size its minimum, and the room beyond that handed
/// to the widgets by their stretch shares (the lists and text boxes grow, the buttons beside
/// them move along). At the design size every widget is exactly where the design puts it.
class DesignLayout : public QLayout {
  public:
    /// Sets itself on `parent`, whose design size (pixels) is `designSize`.
    DesignLayout(QWidget* parent, QSize designSize);
    ~DesignLayout() override;
    DesignLayout(const DesignLayout&) = delete;
    DesignLayout& operator=(const DesignLayout&) = delete;

    /// Places `widget` at `designPlace` (pixels, in the container), growing by `stretch`.
    void place(QWidget* widget, const QRect& designPlace, const Stretch& stretch);
    /// The container's own design size changed (the window's font is larger than the
    /// design's, or a frame was moved to make room for a caption).
    void setDesignSize(QSize size);
    QSize designSize() const { return design_; }

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override { return design_; }
    QSize minimumSize() const override { return design_; }
    void setGeometry(const QRect& rect) override;

  private:
    struct Entry {
        QLayoutItem* item;
        QRect design;
        Stretch stretch;
    };
    QList<Entry> entries_;
    QSize design_;
};

} // namespace mivo::qt
