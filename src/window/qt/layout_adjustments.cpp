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
    // The hint under "列の数" is longer than its frame is wide: give it a second line and move
    // "初期状態" down by that line, taking the line from the slack around its picture list, so
    // that the filelist.csv frame below it and the right-hand column stay where they are.
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
        g.Height -= line;
        display.FrameStart->setGeometry(g);
        // The picture list's frame moves up to the option buttons' last line (105) and gives
        // up what it held below its list (135).
        g = display.FrameStartPict->geometry();
        g.Top -= 105;
        g.Height -= line - 105;
        display.FrameStartPict->setGeometry(g);
        g = display.FileStartPict->geometry();
        g.Height = std::min(g.Height, display.FrameStartPict->geometry().Height - g.Top);
        display.FileStartPict->setGeometry(g);
    }
}

} // namespace mivo::qt
