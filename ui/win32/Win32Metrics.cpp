#include "Win32Metrics.h"

#include <array>
#include <cwchar>
#include <string_view>
#include <utility>
#include <vector>

#include "ResourceImages.h"
#include "Win32Resources.h"
#include "Win32Text.h"

namespace halvarin {

UINT WindowDpi(HWND window) {
  const UINT dpi = window != nullptr ? ::GetDpiForWindow(window) : ::GetDpiForSystem();
  return dpi != 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

int ScalePixels(int pixels, UINT dpi) {
  return ::MulDiv(pixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

namespace {

bool FontInstalled(const std::string& family) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  std::wcsncat(wanted.lfFaceName, WideText(family).c_str(), LF_FACESIZE - 1);
  bool found = false;
  HDC screen = ::GetDC(nullptr);
  ::EnumFontFamiliesExW(
      screen, &wanted,
      [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
        *reinterpret_cast<bool*>(found) = true;
        return 0;
      },
      reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  return found;
}

// A family with substitutes (the classic dialog font, a bitmap font that
// cannot scale) gives way to the first of them installed; any other family
// is taken as it is, the system finding the closest where it is missing.
std::string InstalledFont(const std::string& family) {
  std::vector<std::string> candidates = FontSubstitutes(family);
  if (candidates.empty()) {
    return family;
  }
  for (const std::string& candidate : candidates) {
    if (FontInstalled(candidate)) {
      return candidate;
    }
  }
  return family;
}

}  // namespace

HFONT CreateDialogFont(UINT dpi, const FontDef& font) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW face{};
  if (::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    face = metrics.lfMessageFont;
  } else {
    face.lfHeight = -ScalePixels(12, dpi);
    std::wcscpy(face.lfFaceName, L"Segoe UI");
  }
  if (!font.Name.empty()) {
    const std::wstring name = WideText(InstalledFont(font.Name));
    face.lfFaceName[0] = L'\0';
    std::wcsncat(face.lfFaceName, name.c_str(), LF_FACESIZE - 1);
  }
  if (font.Size > 0) {
    face.lfHeight = -static_cast<LONG>(font.Size * dpi / 72.0 + 0.5);
  }
  if (font.Bold) {
    face.lfWeight = FW_BOLD;
  }
  return ::CreateFontIndirectW(&face);
}

int ImageResourceId(const std::string& path) {
  static constexpr std::array<std::pair<std::string_view, int>, 7> kPictures = {{
      {resources::kProgramIconPath, IDI_HALVARIN},
      // The About box's picture is the icon's colour part on the dialog
      // face: the icon drawn on that face is the same picture.
      {resources::kAboutPicturePath, IDI_HALVARIN},
      {":/images/entry1.png", IDI_ENTRY1},
      {":/images/entry2.png", IDI_ENTRY2},
      {":/images/entry3.png", IDI_ENTRY3},
      {":/images/entry4.png", IDI_ENTRY4},
      {":/images/entry5.png", IDI_ENTRY5},
  }};
  for (const auto& [name, id] : kPictures) {
    if (name == path) {
      return id;
    }
  }
  return 0;
}

HICON LoadPicture(const std::string& path, int size) {
  const int id = ImageResourceId(path);
  if (id == 0) {
    return nullptr;
  }
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                         IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

}  // namespace halvarin
