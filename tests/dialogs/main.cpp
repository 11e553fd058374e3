// Runs the dialog tests inside a QApplication. Headless by default: the test
// binary also runs at build time (test discovery), where no display may exist.

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  // Qt's file dialog saves its state (last folder, sidebar) in the user's
  // configuration; tests must neither read nor change the real one.
  QTemporaryDir config;
  if (config.isValid()) {
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  }
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
