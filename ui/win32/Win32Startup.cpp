#include "Win32Startup.h"

#include <windows.h>

#include <shellapi.h>

#include "ProgramIdentity.h"
#include "Win32Text.h"

namespace halvarin {

namespace {

bool WriteTo(HANDLE out, const std::string& text) {
  const std::wstring wide = WideText(text);
  DWORD mode = 0;
  DWORD written = 0;
  if (::GetConsoleMode(out, &mode)) {
    return ::WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) &&
           written == wide.size();
  }
  return ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

}  // namespace

std::vector<std::string> ProgramArguments(const wchar_t* commandLine) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** split = ::CommandLineToArgvW(commandLine, &count);
  if (split == nullptr) {
    return arguments;
  }
  for (int i = 1; i < count; ++i) {
    arguments.push_back(Utf8Text(split[i]));
  }
  ::LocalFree(split);
  return arguments;
}

bool TellUser(const std::string& text, bool isError) {
  // A program of the windowed kind gets standard handles only when its
  // starter redirected them.
  HANDLE out = ::GetStdHandle(isError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE && ::GetFileType(out) != FILE_TYPE_UNKNOWN) {
    return WriteTo(out, text);
  }
  if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
    HANDLE console =
        ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    const bool written = console != INVALID_HANDLE_VALUE && WriteTo(console, text);
    if (console != INVALID_HANDLE_VALUE) {
      ::CloseHandle(console);
    }
    ::FreeConsole();
    return written;
  }
  return ::MessageBoxW(nullptr, WideText(text).c_str(), WideText(ProgramIdentity::Title).c_str(),
                       isError ? MB_OK | MB_ICONERROR : MB_OK) != 0;
}

}  // namespace halvarin
