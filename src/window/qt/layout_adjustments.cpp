#include "window/qt/layout_adjustments.h"

#include <algorithm>

#include <QFontMetrics>
#include <QString>

#include "window/form_main.h"

namespace mivo::qt {

void fitCaptions(FormMain& form, const QFont& font, double scale) {
    const QFontMetrics metrics(font);
    const auto fits = [&](const Control* label) {
        const double widthPx = label->geometry().Width * scale / 15.0;
        return metrics.horizontalAdvance(QString::fromStdString(label->caption())) <= widthPx;
    };
    // The hint under "列の数" is longer than its frame is wide: give it a second line, move
    // "初期状態" down by that line, and move the filelist.csv frame into the free space of the
    // right-hand column to make room.
    DisplayPane& display = form.display;
    if (!fits(display.LabelAllListInfo)) {
        const int line = 240;
        Twips g = display.FrameAllList->geometry();
        g.Height += line;
        display.FrameAllList->setGeometry(g);
        g = display.LabelAllListInfo->geometry();
        g.Height += line;
        display.LabelAllListInfo->setGeometry(g);
        g = display.FrameStart->geometry();
        g.Top += line;
        display.FrameStart->setGeometry(g);

        const Twips slide = display.FrameSlideShow->geometry();
        Twips filelist = display.FrameFilelist->geometry();
        const int shrink = filelist.Width - slide.Width;
        filelist.Left = slide.Left;
        filelist.Top = slide.Top + slide.Height + 105;
        filelist.Width = slide.Width;
        display.FrameFilelist->setGeometry(filelist);
        // The right-hand column holds the Live Photo box too: the list frame below makes room
        // when the moved frame would reach it.
        Twips list = display.FrameList->geometry();
        const int reach = filelist.Top + filelist.Height + 105 - list.Top;
        if (reach > 0) {
            list.Top += reach;
            display.FrameList->setGeometry(list);
        }
        // It now grows with the right-hand column.
        display.FrameFilelist->setStretch(display.FrameSlideShow->stretch());
        for (Control* child : display.FrameFilelist->children()) {
            Twips c = child->geometry();
            if (c.Left + c.Width > filelist.Width - 120) {
                c.Width = std::max(0, c.Width - shrink);
                child->setGeometry(c);
            }
        }
    }
}

} // namespace mivo::qt
