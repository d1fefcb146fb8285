// Keeps the toolkit's own chatter (missing runtime folders, font and theme notes) off the
// operator's terminal; only its critical and fatal messages get through.
#pragma once

#include <QtGlobal>

namespace wendlar::ui {

// Whether a toolkit message of this kind reaches standard error. WENDLAR_QT_MESSAGES=1 in
// the environment lets every kind through, for whoever debugs the windows.
bool ShowsQtMessage(QtMsgType type);

// Installs the filter; call once, before the QApplication is created.
void QuietQtMessages();

}  // namespace wendlar::ui
