#pragma once

#include <string>
#include <vector>

#include "CommonDialogs.h"
#include "FileSystem.h"
#include "Registry.h"
#include "Win32Toolkit.h"
#include "frmMain.h"

namespace halvarin {

// The running program on Windows: the toolkit, the main window's logic and
// the windows registered with it. wWinMain makes one; the tests make their
// own and drive the same start-up.
class Win32Program {
 public:
  explicit Win32Program(CommonDialogs& dialogs = PlatformCommonDialogs(),
                        Registry& registry = PlatformRegistry(),
                        io::FileSystem& fs = io::FileSystem::Native());
  Win32Program(const Win32Program&) = delete;
  Win32Program& operator=(const Win32Program&) = delete;

  // Shows the main window, laid out by its resize rule, and opens the first
  // of the files named on the command line (OpenStartupFiles).
  void Start(const std::vector<std::string>& files);

  Win32Toolkit toolkit;
  frmMain mainForm;
};

}  // namespace halvarin
