#include <gtest/gtest.h>
#include <QApplication>
#include <QtGlobal>

// Test discovery runs this program at build time, where no display may be
// reachable: without a platform chosen by the caller, use the offscreen one.
int main(int argc, char* argv[]) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
