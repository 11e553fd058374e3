#include "WindowsConsole.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace halvarin::cli {

namespace {

bool IsConsole(DWORD which, DWORD* mode) {
  const HANDLE h = ::GetStdHandle(which);
  return h != INVALID_HANDLE_VALUE && h != nullptr && ::GetConsoleMode(h, mode);
}

}  // namespace

WindowsConsole::WindowsConsole() {
  (void)_setmode(_fileno(stdin), _O_BINARY);
  (void)_setmode(_fileno(stdout), _O_BINARY);
  (void)_setmode(_fileno(stderr), _O_BINARY);

  DWORD mode = 0;
  if (IsConsole(STD_OUTPUT_HANDLE, &mode) || IsConsole(STD_ERROR_HANDLE, &mode)) {
    const UINT previous = ::GetConsoleOutputCP();
    if (previous != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
      outputCodePage_ = previous;
    }
  }
  if (IsConsole(STD_INPUT_HANDLE, &mode)) {
    const UINT previous = ::GetConsoleCP();
    if (previous != CP_UTF8 && ::SetConsoleCP(CP_UTF8)) {
      inputCodePage_ = previous;
    }
  }
  if (IsConsole(STD_ERROR_HANDLE, &mode)) {
    errMode_ = mode;
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) {
      errIsTerminal_ = true;
    } else if (::SetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE),
                                mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
      errModeChanged_ = true;
      errIsTerminal_ = true;
    }
    // An older console would print the escape sequences: no progress there.
  }
}

WindowsConsole::~WindowsConsole() {
  std::fflush(stdout);
  std::fflush(stderr);
  if (outputCodePage_ != 0) {
    ::SetConsoleOutputCP(outputCodePage_);
  }
  if (inputCodePage_ != 0) {
    ::SetConsoleCP(inputCodePage_);
  }
  if (errModeChanged_) {
    ::SetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), errMode_);
  }
}

}  // namespace halvarin::cli
