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
    if (!fits(form.LabelAllListInfo)) {
        const int line = 240;
        Twips g = form.FrameAllList->geometry();
        g.Height += line;
        form.FrameAllList->setGeometry(g);
        g = form.LabelAllListInfo->geometry();
        g.Height += line;
        form.LabelAllListInfo->setGeometry(g);
        g = form.FrameStart->geometry();
        g.Top += line;
        form.FrameStart->setGeometry(g);

        const Twips slide = form.FrameSlideShow->geometry();
        Twips filelist = form.FrameFilelist->geometry();
        const int shrink = filelist.Width - slide.Width;
        filelist.Left = slide.Left;
        filelist.Top = slide.Top + slide.Height + 105;
        filelist.Width = slide.Width;
        form.FrameFilelist->setGeometry(filelist);
        for (Control* child : form.FrameFilelist->children()) {
            Twips c = child->geometry();
            if (c.Left + c.Width > filelist.Width - 120) {
                c.Width = std::max(0, c.Width - shrink);
                child->setGeometry(c);
            }
        }
    }
}

} // namespace mivo::qt
