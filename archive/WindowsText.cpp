#include "WindowsText.h"

#include <climits>
#include <cstdio>

namespace halvarin {

namespace {

std::optional<std::wstring> Widened(std::string_view utf8, DWORD flags) {
  if (utf8.empty()) {
    return std::wstring();
  }
  if (utf8.size() > static_cast<std::size_t>(INT_MAX)) {
    return std::nullopt;
  }
  const int size = static_cast<int>(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, nullptr, 0);
  if (n <= 0) {
    return std::nullopt;
  }
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, wide.data(), n);
  return wide;
}

std::optional<std::string> Narrowed(std::wstring_view wide, DWORD flags) {
  if (wide.empty()) {
    return std::string();
  }
  if (wide.size() > static_cast<std::size_t>(INT_MAX)) {
    return std::nullopt;
  }
  const int size = static_cast<int>(wide.size());
  const int n =
      ::WideCharToMultiByte(CP_UTF8, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) {
    return std::nullopt;
  }
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, flags, wide.data(), size, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

}  // namespace

std::wstring WideText(std::string_view utf8) {
  return Widened(utf8, 0).value_or(std::wstring());
}

std::string Utf8Text(std::wstring_view wide) {
  return Narrowed(wide, 0).value_or(std::string());
}

std::optional<std::wstring> ExactWideText(std::string_view utf8) {
  return Widened(utf8, MB_ERR_INVALID_CHARS);
}

std::optional<std::string> ExactUtf8Text(std::wstring_view wide) {
  return Narrowed(wide, WC_ERR_INVALID_CHARS);
}

std::string SystemReason(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason(text != nullptr ? text : L"", text != nullptr ? n : 0);
  if (text != nullptr) {
    ::LocalFree(text);
  }
  while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' ||
                             reason.back() == L' ' || reason.back() == L'.')) {
    reason.pop_back();
  }
  if (reason.empty()) {
    char code[32];
    std::snprintf(code, sizeof code, "error 0x%08lX", static_cast<unsigned long>(error));
    return code;
  }
  return Utf8Text(reason);
}

}  // namespace halvarin
