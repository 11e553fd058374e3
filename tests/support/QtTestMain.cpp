// Test main for the tests that need a QApplication. Offscreen unless a
// display was asked for: the binaries also run at build time (test
// discovery), where no display may exist.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef HALVARIN_TEST_IDENTITY
#include "QtAbout.h"
#endif

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  // Qt's file dialog keeps its state (last folder, sidebar) in the user's
  // configuration; tests must neither read nor change the real one.
  QTemporaryDir config;
  if (config.isValid()) {
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  }
  QApplication app(argc, argv);
#ifdef HALVARIN_TEST_IDENTITY
  halvarin::ApplyProgramIdentity();
#endif
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
