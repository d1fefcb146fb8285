#include "ui/QtMessages.h"

#include <QString>

#include <cstdio>

namespace wendlar::ui {

namespace {

void FilterMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (!ShowsQtMessage(type)) return;
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  std::fflush(stderr);
}

}  // namespace

bool ShowsQtMessage(QtMsgType type) {
  if (qEnvironmentVariableIntValue("WENDLAR_QT_MESSAGES") != 0) return true;
  return type == QtCriticalMsg || type == QtFatalMsg;
}

void QuietQtMessages() { qInstallMessageHandler(FilterMessage); }

}  // namespace wendlar::ui
