#pragma once

#include <string>
#include <string_view>

namespace halvarin {

// The program's identity, kept in one place: the window title, the About box,
// Qt's application name and version, the Windows version resource and
// installer and the Linux desktop files are all made from these values.
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

  // The About box's contact line.
  static constexpr std::string_view Contact = "The Halvarin developers <halvarin@example.org>";

  // Desktop integration on Linux: the application id (names the desktop
  // entry and the metainfo), the command, the icon's theme name, and the
  // texts that software centres and menus show.
  static constexpr std::string_view AppId = "org.halvarin.Halvarin";
  static constexpr std::string_view Executable = "halvarin";
  static constexpr std::string_view IconName = "halvarin";
  static constexpr std::string_view GenericName = "Group Archive Editor";
  static constexpr std::string_view Summary = "Edit Varn GRP group archives";
  static constexpr std::string_view Description =
      "Halvarin opens a Varn GRP group archive, the single file in which the game Varn keeps "
      "its art, maps, sounds, music and recorded demos, and shows the entries as icons. Add "
      "files through a dialog or by dropping them on the list, delete and extract entries, and "
      "save the archive under its own name or a new one. Unsaved edits are never discarded "
      "without asking.";
  static constexpr std::string_view ReleaseDate = "2026-01-01";

  // The shared MIME type of group archives: file managers offer the program
  // for it, found by the glob or, for a file renamed without its extension,
  // by the archive's magic (archive/GrpFormat.h).
  static constexpr std::string_view MimeType = "application/x-varn-grp";
  static constexpr std::string_view MimeComment = "Varn GRP group archive";
  static constexpr std::string_view MimeGlob = "*.grp";

  // The same type on Windows: the ProgID under which the installer
  // registers its name (MimeComment), icon and open verb.
  static constexpr std::string_view ProgId = "Halvarin.GroupArchive";

  // The Debian package: its name, section and the command-line program it
  // carries beside the window program.
  static constexpr std::string_view PackageName = "halvarin";
  static constexpr std::string_view PackageSection = "utils";
  static constexpr std::string_view CommandLineSummary =
      "The command-line program halvarin-grp lists, checks, extracts, creates and edits "
      "archives in scripts and on machines without a display.";
  // No licence has been chosen yet: the package says so rather than
  // inventing one.
  static constexpr std::string_view LicenseName = "all-rights-reserved";
  static constexpr std::string_view LicenseText =
      "No licence has been granted for Halvarin yet. Until one is, all rights are reserved "
      "by the copyright holders.";
};

}  // namespace halvarin
