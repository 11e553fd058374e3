// Test main for the tests that build real windows: a QApplication on the
// offscreen platform unless a display was asked for, so that the tests (and
// the listing of tests at build time) run without one.
#include <cstdlib>

#include <gtest/gtest.h>

#include <QApplication>

#include "QtAbout.h"

int main(int argc, char* argv[]) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  QApplication app(argc, argv);
  halvarin::ApplyProgramIdentity();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
