// The window tests share one QApplication; they run offscreen unless told otherwise.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("WENDLAR_SOURCE_DIR")) qputenv("WENDLAR_SOURCE_DIR", WENDLAR_TEST_SOURCE_DIR);
  if (qEnvironmentVariableIsEmpty("WENDLAR_BINARY_DIR")) qputenv("WENDLAR_BINARY_DIR", WENDLAR_TEST_BINARY_DIR);
  ::testing::InitGoogleTest(&argc, argv);
  QFont::insertSubstitution("Arial", "Liberation Sans");
  QApplication app(argc, argv);
  QApplication::setApplicationName("Wendlar ");
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setFont(QFont("Arial", 8));
  return RUN_ALL_TESTS();
}
