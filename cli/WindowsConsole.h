#pragma once

// halvarin-grp's standard streams on Windows, for as long as the object
// lives: bytes pass unchanged (no "\r\n" for "\n", no end at a Ctrl-Z in a
// NUL-separated list), and a console shows and takes UTF-8, the encoding of
// every name the program prints. The console's own settings come back
// afterwards: it belongs to the shell that started the program.

#include <string>

namespace halvarin::cli {

class WindowsConsole {
 public:
  WindowsConsole();
  ~WindowsConsole();
  WindowsConsole(const WindowsConsole&) = delete;
  WindowsConsole& operator=(const WindowsConsole&) = delete;

  // Whether standard error is a console that understands the escape
  // sequences of the progress line. The device NUL is no console.
  bool ErrIsTerminal() const { return errIsTerminal_; }

 private:
  unsigned outputCodePage_ = 0;  // 0: left alone
  unsigned inputCodePage_ = 0;
  unsigned long errMode_ = 0;
  bool errModeChanged_ = false;
  bool errIsTerminal_ = false;
};

}  // namespace halvarin::cli
