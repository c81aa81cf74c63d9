#pragma once

class QFont;

namespace mivo {
class FormMain;
}

namespace mivo::qt {

/// Moves the few controls whose design place is too small for their caption in the given
/// font, through the controls' own geometry (so the controls and the widgets agree). Does
/// nothing where every caption fits already.
void fitCaptions(FormMain& form, const QFont& font, double scale);

} // namespace mivo::qt
