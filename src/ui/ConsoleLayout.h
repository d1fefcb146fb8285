// The console's layout: the Designer form's controls placed in Qt layouts so the window
// scales, with the position read-outs growing with it and STOP always large.
#pragma once

#include <QSize>

class QLabel;
class QWidget;

namespace Ui {
class Spool;
}

namespace wendlar::ui {

// The smallest client area the console must still show everything in, and the size it
// opens at when no size was remembered.
inline constexpr QSize kConsoleMinimumClient{576, 698};
inline constexpr QSize kConsoleDefaultClient{800, 860};
// STOP never gets lower than this.
inline constexpr int kStopMinimumHeight = 64;

// Puts every control of the form into layouts on the central widget; object names,
// captions and parents stay as the form made them. Widgets placed here carry the property
// "laidOut", so model geometry is not applied to them.
void LayOutConsole(Ui::Spool& form, QWidget& central);

// Sizes the read-out digits (and their axis letters) to the room their labels have now.
void FitReadouts(Ui::Spool& form);

}  // namespace wendlar::ui
