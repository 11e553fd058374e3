#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace halvarin {

// Files made from the program identity (ProgramIdentity.h), so that no title,
// version or description is ever written twice. The generated files are
// committed in resources/; the tool halvarin_identity_files (build target
// update_identity_files) rewrites them, and a test checks they are current.

// "1.0.0": major.minor.revision.
std::string VersionNumbers();

// The one 32 x 32 image of an .ico file, as its bitmap bytes (what a Windows
// icon resource holds), with its width, height and bits per pixel.
struct IconImage {
  int width = 0;
  int height = 0;
  int bitCount = 0;
  std::vector<std::uint8_t> bitmap;
};

// Picks the 32 x 32, 24-bit image out of an .ico file. Throws AppError for a
// file that is not an icon or lacks that image.
IconImage ReadIconImage(const std::vector<std::uint8_t>& ico);

// The Windows resource script: version resource 1 and, when an icon is given,
// icon group 1 holding the single image 30001. Without an icon (empty
// vector) only the version resource is written.
std::string MakeResourceScript(const std::vector<std::uint8_t>& ico);

// The freedesktop desktop entry and the AppStream metainfo.
std::string MakeDesktopEntry();
std::string MakeMetainfo();

// The shared-MIME-info package of the archive type; its magic is the
// archive format's own.
std::string MakeMimeInfo();

// The Debian package: a CMake script setting the package's name, section,
// maintainer and description (read by the build), its changelog and its
// machine-readable copyright file.
std::string MakePackageSettings();
std::string MakeDebianChangelog();
std::string MakeDebianCopyright();

// The Windows installer's settings, an NSIS include of !define lines (names,
// version, publisher, the archive type), and the two texts installed beside
// the programs on Windows: a short README and the licence.
std::string MakeInstallerSettings();
std::string MakeWindowsReadme();
std::string MakeWindowsLicense();

// File names of the generated files within resources/.
std::string DesktopEntryFileName();
std::string MetainfoFileName();
std::string MimeInfoFileName();

}  // namespace halvarin
