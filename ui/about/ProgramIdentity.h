#pragma once

#include <string>
#include <string_view>

namespace halvarin {

// The program's identity, kept in one place: the window title, the About box,
// Qt's application name and version, the Windows version resource and the
// Linux desktop files are all made from these values.
struct ProgramIdentity {
  static constexpr std::string_view Title = "Halvarin";
  static constexpr int Major = 1;
  static constexpr int Minor = 0;
  static constexpr int Revision = 0;

  // Texts of the version resource.
  static constexpr std::string_view Comments =
      "This application was design to allow easy editing of Varn GRP Files. It provides a win32 "
      "interface, including features such as drag drop, icons etc. ";
  static constexpr std::string_view FileDescription = Comments;
  static constexpr std::string_view ProductName = "Halvarin";
  static constexpr std::string_view InternalName = "Halvarin";
  static constexpr std::string_view OriginalFilename = "Halvarin.exe";
  static constexpr std::string_view FileVersion = "1.00";
  static constexpr std::string_view ProductVersion = "1.00";
  static constexpr std::string_view CompanyName = "The Halvarin developers";
  static constexpr std::string_view LegalCopyright = "Copyright (C) 2026 The Halvarin developers";
  static constexpr std::string_view LegalTrademarks = LegalCopyright;
};

}  // namespace halvarin
