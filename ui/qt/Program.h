#pragma once

#include <string>
#include <vector>

#include "QtToolkit.h"
#include "frmMain.h"

namespace halvarin {

// The running program: the toolkit, the main window's logic and the windows
// registered with it. main() makes one after the QApplication exists; the
// tests make their own and drive the same start-up.
class Program {
 public:
  Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Shows the main window, laid out by its resize rule. With files, the
  // first is opened before the window takes any input, as File > Open opens
  // it; a relative path is taken from the current folder. Further files are
  // not opened, and a message box says so.
  void Start(const std::vector<std::string>& files);

  QtToolkit toolkit;
  frmMain mainForm{toolkit};
};

}  // namespace halvarin
