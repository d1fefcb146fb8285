// The window tests share one QApplication; they run offscreen unless told otherwise.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QFont::insertSubstitution("Arial", "Liberation Sans");
  QApplication app(argc, argv);
  QApplication::setApplicationName("Wendlar ");
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setFont(QFont("Arial", 8));
  return RUN_ALL_TESTS();
}
