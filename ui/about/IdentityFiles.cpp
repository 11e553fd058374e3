#include "IdentityFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <string_view>

#include "AppError.h"
#include "GrpFormat.h"
#include "ProgramIdentity.h"

namespace halvarin {

namespace {

using Id = ProgramIdentity;

std::uint32_t ReadLe(const std::vector<std::uint8_t>& bytes, std::size_t at, int width) {
  std::uint32_t value = 0;
  for (int i = 0; i < width; ++i) {
    value |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
  }
  return value;
}

[[noreturn]] void BadIcon(const std::string& why) {
  throw AppError(errInvalidArgument, "ReadIconImage", "The program icon is unusable: " + why);
}

// The identity is plain ASCII; anything else would depend on the code page
// of the resource compiler or the installer compiler, so it is refused.
void RequirePlainAscii(std::string_view text, const char* source, const char* file) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E) {
      throw AppError(errInvalidArgument, source,
                     std::string("The program identity holds a character ") + file +
                         " cannot carry safely: \"" + std::string(text) + "\"");
    }
  }
}

// A resource-script string literal.
std::string RcString(std::string_view text) {
  RequirePlainAscii(text, "MakeResourceScript", "a resource script");
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') {
      out += "\"\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Xml(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Hex16(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
  return text;
}

// A magic value as shared-mime-info reads it: backslash escapes for any byte
// that is not plain printable ASCII, so the archive's magic could change to
// anything and still be matched byte for byte.
std::string MimeMagicValue(std::string_view magic) {
  std::string out;
  for (char c : magic) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E || c == '\\') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  return Xml(out);
}

// Text broken into lines of at most `width` characters at spaces.
std::string Wrap(std::string_view text, std::size_t width) {
  std::string out;
  std::size_t lineLength = 0;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(' '), text.size());
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (word.empty()) {
      continue;
    }
    if (lineLength > 0 && lineLength + 1 + word.size() > width) {
      out += '\n';
      lineLength = 0;
    } else if (lineLength > 0) {
      out += ' ';
      ++lineLength;
    }
    out += word;
    lineLength += word.size();
  }
  return out;
}

// A quoted CMake argument.
std::string CMakeString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"' || c == '$' || c == ';') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// An NSIS string: $ starts a variable and $\" is a quote.
std::string NsisString(std::string_view text) {
  RequirePlainAscii(text, "MakeInstallerSettings", "an installer script");
  std::string out = "\"";
  for (char c : text) {
    if (c == '$') {
      out += "$$";
    } else if (c == '"') {
      out += "$\\\"";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Maintainer() {
  return std::string(Id::Contact);
}

// The release date ("2026-01-01") as a Debian changelog writes it:
// "Thu, 01 Jan 2026 00:00:00 +0000".
std::string ChangelogDate() {
  using namespace std::chrono;
  const std::string date(Id::ReleaseDate);
  const year_month_day day{year{std::stoi(date.substr(0, 4))},
                           month{static_cast<unsigned>(std::stoi(date.substr(5, 2)))},
                           std::chrono::day{static_cast<unsigned>(std::stoi(date.substr(8, 2)))}};
  if (!day.ok()) {
    throw AppError(errInvalidArgument, "ChangelogDate",
                   "The release date \"" + date + "\" is not a date.");
  }
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02u %s %d 00:00:00 +0000",
                kDays[weekday{sys_days{day}}.c_encoding()], static_cast<unsigned>(day.day()),
                kMonths[static_cast<unsigned>(day.month()) - 1], static_cast<int>(day.year()));
  return text;
}

}  // namespace

std::string VersionNumbers() {
  return std::to_string(Id::Major) + "." + std::to_string(Id::Minor) + "." +
         std::to_string(Id::Revision);
}

std::string DesktopEntryFileName() {
  return std::string(Id::AppId) + ".desktop";
}
std::string MetainfoFileName() {
  return std::string(Id::AppId) + ".metainfo.xml";
}
std::string MimeInfoFileName() {
  return std::string(Id::AppId) + ".mime.xml";
}

IconImage ReadIconImage(const std::vector<std::uint8_t>& ico) {
  constexpr std::size_t kHeader = 6;
  constexpr std::size_t kEntry = 16;
  if (ico.size() < kHeader || ReadLe(ico, 0, 2) != 0 || ReadLe(ico, 2, 2) != 1) {
    BadIcon("it is not an .ico file");
  }
  const std::uint32_t count = ReadLe(ico, 4, 2);
  if (ico.size() < kHeader + count * kEntry) {
    BadIcon("its directory is cut short");
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t entry = kHeader + i * kEntry;
    const std::uint32_t size = ReadLe(ico, entry + 8, 4);
    const std::uint32_t offset = ReadLe(ico, entry + 12, 4);
    if (offset > ico.size() || size > ico.size() - offset || size < 40) {
      BadIcon("image " + std::to_string(i + 1) + " lies outside the file");
    }
    // The bitmap header tells the truth; the directory's width and colour
    // fields are often left zero.
    if (ReadLe(ico, offset, 4) != 40) {
      continue;  // a PNG-compressed or unusual image: not the classic bitmap
    }
    const auto width = static_cast<std::int32_t>(ReadLe(ico, offset + 4, 4));
    const auto height2 = static_cast<std::int32_t>(ReadLe(ico, offset + 8, 4));
    const auto bitCount = static_cast<int>(ReadLe(ico, offset + 14, 2));
    if (width != 32 || height2 != 64 || bitCount != 24) {
      continue;
    }
    // Colour rows of 96 bytes and mask rows of 4 bytes, 32 of each.
    constexpr std::uint32_t kExpected = 40 + 32 * 96 + 32 * 4;
    if (size != kExpected) {
      BadIcon("the 32 x 32 image holds " + std::to_string(size) + " bytes, not " +
              std::to_string(kExpected));
    }
    IconImage image;
    image.width = 32;
    image.height = 32;
    image.bitCount = 24;
    image.bitmap.assign(ico.begin() + offset, ico.begin() + offset + size);
    return image;
  }
  BadIcon("it has no 32 x 32 image at 24 bits per pixel");
}

std::string MakeResourceScript(const std::vector<std::uint8_t>& ico) {
  const std::string fixedVersion = std::to_string(Id::Major) + "," + std::to_string(Id::Minor) +
                                   ",0," + std::to_string(Id::Revision);
  std::ostringstream rc;
  rc << "// Windows resources of Halvarin: the version resource and the program icon.\n"
        "// Generated from ui/about/ProgramIdentity.h and resources/halvarin.ico by\n"
        "// halvarin_identity_files (build target update_identity_files); do not edit.\n"
        "// Needs no Windows headers: the few constants are written out.\n"
        "\n"
        "LANGUAGE 0x09, 0x01  // US English (1033)\n"
        "\n"
        "1 VERSIONINFO\n"
        "FILEVERSION "
     << fixedVersion
     << "\n"
        "PRODUCTVERSION "
     << fixedVersion
     << "\n"
        "FILEFLAGSMASK 0x3FL\n"
        "FILEFLAGS 0x0L  // none\n"
        "FILEOS 0x4L  // 32-bit Windows\n"
        "FILETYPE 0x1L  // application\n"
        "FILESUBTYPE 0x0L\n"
        "BEGIN\n"
        "  BLOCK \"StringFileInfo\"\n"
        "  BEGIN\n"
        "    BLOCK \"040904B0\"  // US English, UTF-16\n"
        "    BEGIN\n";
  const std::pair<const char*, std::string_view> values[] = {
      {"Comments", Id::Comments},
      {"CompanyName", Id::CompanyName},
      {"FileDescription", Id::FileDescription},
      {"FileVersion", Id::FileVersion},
      {"InternalName", Id::InternalName},
      {"LegalCopyright", Id::LegalCopyright},
      {"LegalTrademarks", Id::LegalTrademarks},
      {"OriginalFilename", Id::OriginalFilename},
      {"ProductName", Id::ProductName},
      {"ProductVersion", Id::ProductVersion},
  };
  for (const auto& [name, text] : values) {
    rc << "      VALUE \"" << name << "\", " << RcString(text) << "\n";
  }
  rc << "    END\n"
        "  END\n"
        "  BLOCK \"VarFileInfo\"\n"
        "  BEGIN\n"
        "    VALUE \"Translation\", 0x0409, 1200\n"
        "  END\n"
        "END\n";

  if (ico.empty()) {
    return rc.str();
  }
  const IconImage image = ReadIconImage(ico);
  // Written out by hand rather than with an ICON statement, because resource
  // compilers number the images of an icon group themselves and the image
  // must keep its identifier, 30001.
  rc << "\n"
        "// Icon group 1: one image, identifier 30001, 32 x 32 at 24 bits with a 1-bit mask.\n"
        "1 14  // RT_GROUP_ICON\n"
        "BEGIN\n"
        "  0, 1, 1,  // reserved, icon, one image\n"
        "  0x2020, 0x0000,  // width 32, height 32, colour count 0, reserved\n"
        "  1, 24,  // planes, bits per pixel\n"
        "  "
     << image.bitmap.size()
     << "L,  // bytes of the image\n"
        "  30001  // the image's identifier\n"
        "END\n"
        "\n"
        "// The image itself: the 32 x 32 bitmap of resources/halvarin.ico.\n"
        "30001 3  // RT_ICON\n"
        "BEGIN\n";
  for (std::size_t i = 0; i < image.bitmap.size(); i += 2) {
    if (i % 24 == 0) {
      rc << "  ";
    }
    rc << Hex16(image.bitmap[i] | (image.bitmap[i + 1] << 8));
    if (i + 2 < image.bitmap.size()) {
      rc << ((i % 24 == 22) ? ",\n" : ", ");
    }
  }
  rc << "\nEND\n";
  return rc.str();
}

std::string MakeDesktopEntry() {
  std::ostringstream d;
  d << "# Generated from ui/about/ProgramIdentity.h by halvarin_identity_files; do not edit.\n"
       "[Desktop Entry]\n"
       "Type=Application\n"
       "Version=1.4\n"
       "Name="
    << Id::Title << "\nGenericName=" << Id::GenericName << "\nComment=" << Id::Summary
    << "\nExec=" << Id::Executable << " %f\nIcon=" << Id::IconName << "\nMimeType=" << Id::MimeType
    << ";\n"
       "Terminal=false\n"
       "StartupNotify=true\n"
       "Categories=Utility;Archiving;\n"
       "Keywords=GRP;Varn;archive;group;\n";
  return d.str();
}

std::string MakeMetainfo() {
  std::ostringstream m;
  m << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<!-- Generated from ui/about/ProgramIdentity.h by halvarin_identity_files; do not edit. "
       "-->\n"
       "<component type=\"desktop-application\">\n"
       "  <id>"
    << Xml(Id::AppId)
    << "</id>\n"
       "  <metadata_license>CC0-1.0</metadata_license>\n"
       "  <name>"
    << Xml(Id::Title) << "</name>\n  <summary>" << Xml(Id::Summary)
    << "</summary>\n"
       "  <developer_name>"
    << Xml(Id::CompanyName)
    << "</developer_name>\n"
       "  <description>\n"
       "    <p>"
    << Xml(Id::Description)
    << "</p>\n"
       "  </description>\n"
       "  <launchable type=\"desktop-id\">"
    << Xml(DesktopEntryFileName())
    << "</launchable>\n"
       "  <provides>\n"
       "    <binary>"
    << Xml(Id::Executable) << "</binary>\n    <mediatype>" << Xml(Id::MimeType)
    << "</mediatype>\n"
       "  </provides>\n"
       "  <categories>\n"
       "    <category>Utility</category>\n"
       "    <category>Archiving</category>\n"
       "  </categories>\n"
       "  <releases>\n"
       "    <release version=\""
    << VersionNumbers() << "\" date=\"" << Id::ReleaseDate
    << "\"/>\n"
       "  </releases>\n"
       "  <content_rating type=\"oars-1.1\"/>\n"
       "</component>\n";
  return m.str();
}

std::string MakeMimeInfo() {
  std::ostringstream m;
  m << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<!-- Generated from ui/about/ProgramIdentity.h and archive/GrpFormat.h by "
       "halvarin_identity_files; do not edit. -->\n"
       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
       "  <mime-type type=\""
    << Xml(Id::MimeType) << "\">\n    <comment>" << Xml(Id::MimeComment)
    << "</comment>\n"
       "    <generic-icon name=\"package-x-generic\"/>\n"
       "    <glob pattern=\""
    << Xml(Id::MimeGlob)
    << "\"/>\n"
       "    <magic priority=\"60\">\n"
       "      <match type=\"string\" offset=\"0\" value=\""
    << MimeMagicValue(grp::kMagic)
    << "\"/>\n"
       "    </magic>\n"
       "  </mime-type>\n"
       "</mime-info>\n";
  return m.str();
}

std::string MakePackageSettings() {
  const std::string description = std::string(Id::Summary) + "\n" + Wrap(Id::Description, 72) +
                                  "\n\n" + Wrap(Id::CommandLineSummary, 72);
  std::ostringstream c;
  c << "# Generated from ui/about/ProgramIdentity.h by halvarin_identity_files; do not edit.\n"
       "set(HALVARIN_IDENTITY_VERSION "
    << CMakeString(VersionNumbers()) << ")\nset(HALVARIN_PACKAGE_NAME "
    << CMakeString(Id::PackageName) << ")\nset(HALVARIN_PACKAGE_SECTION "
    << CMakeString(Id::PackageSection) << ")\nset(HALVARIN_PACKAGE_MAINTAINER "
    << CMakeString(Maintainer()) << ")\nset(HALVARIN_PACKAGE_DESCRIPTION "
    << CMakeString(description) << ")\n";
  return c.str();
}

std::string MakeDebianChangelog() {
  return std::string(Id::PackageName) + " (" + VersionNumbers() +
         ") unstable; urgency=medium\n\n  * Release " + VersionNumbers() + ".\n\n -- " +
         Maintainer() + "  " + ChangelogDate() + "\n";
}

std::string MakeDebianCopyright() {
  std::string holder(Id::LegalCopyright);
  const std::string_view prefix = "Copyright (C) ";
  if (holder.compare(0, prefix.size(), prefix) == 0) {
    holder.erase(0, prefix.size());
  }
  // Continuation lines of a field start with a space.
  std::string license;
  for (char c : Wrap(Id::LicenseText, 78)) {
    license += c;
    if (c == '\n') {
      license += ' ';
    }
  }
  return "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
         "Upstream-Name: " +
         std::string(Id::Title) + "\nUpstream-Contact: " + Maintainer() +
         "\n\nFiles: *\nCopyright: " + holder + "\nLicense: " + std::string(Id::LicenseName) +
         "\n " + license + "\n";
}

std::string MakeInstallerSettings() {
  // The four numbers of the version resources, as halvarin.rc writes them.
  const std::string versionQuad = std::to_string(Id::Major) + "." + std::to_string(Id::Minor) +
                                  ".0." + std::to_string(Id::Revision);
  const std::string_view extension = Id::MimeGlob.substr(Id::MimeGlob.find('.'));
  const std::pair<const char*, std::string> values[] = {
      {"TITLE", std::string(Id::Title)},
      {"VERSION", VersionNumbers()},
      {"VERSION_QUAD", versionQuad},
      {"PUBLISHER", std::string(Id::CompanyName)},
      {"COPYRIGHT", std::string(Id::LegalCopyright)},
      {"PROGRAM", std::string(Id::Executable) + ".exe"},
      {"EXTENSION", std::string(extension)},
      {"TYPE_NAME", std::string(Id::MimeComment)},
      {"PROGID", std::string(Id::ProgId)},
  };
  std::string nsh =
      "; Generated from ui/about/ProgramIdentity.h by halvarin_identity_files; do not edit.\n";
  for (const auto& [name, text] : values) {
    nsh += std::string("!define HALVARIN_") + name + " " + NsisString(text) + "\n";
  }
  return nsh;
}

std::string MakeWindowsReadme() {
  const std::string program = std::string(Id::Executable) + ".exe";
  const std::string paragraphs[] = {
      std::string(Id::Title) + " " + VersionNumbers() + ": " + std::string(Id::Summary) + ".",
      std::string(Id::Description),
      "Start " + program + ", or double-click an archive: the setup program makes " +
          std::string(Id::Title) + " open them unless another program already does. " +
          std::string(Id::CommandLineSummary) + " In a command prompt: halvarin-grp --help.",
      "sample.grp is a small archive to try it on.",
      "Installed by its setup program, Halvarin is removed under Settings > Apps like any "
      "other program; your archives are never touched. The portable zip needs no "
      "installing: delete its folder to remove it.",
      std::string(Id::LegalCopyright) + ". See LICENSE.txt. Contact: " + Maintainer() + ".",
  };
  std::string text;
  for (const std::string& paragraph : paragraphs) {
    text += (text.empty() ? "" : "\n") + Wrap(paragraph, 72) + "\n";
  }
  return text;
}

std::string MakeWindowsLicense() {
  return std::string(Id::Title) + "\n" + std::string(Id::LegalCopyright) + "\n\n" +
         Wrap(Id::LicenseText, 72) + "\n";
}

}  // namespace halvarin
