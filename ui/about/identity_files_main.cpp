// Rewrites the files made from the program identity in the resources folder
// given on the command line: the resource script, the desktop entry, the
// metainfo, the MIME type, the Debian package's settings, changelog and
// copyright, and the Windows installer's settings, README and licence. Run
// through the build target update_identity_files after a change to
// ProgramIdentity.h or to the icon.

#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "IdentityFiles.h"

namespace {

void Write(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    throw std::runtime_error("cannot write " + path.string());
  }
  std::cout << "wrote " << path.string() << "\n";
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cerr << "usage: halvarin_identity_files RESOURCES_FOLDER\n";
    return 2;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::vector<std::uint8_t> ico;
    std::ifstream in(folder / "halvarin.ico", std::ios::binary);
    if (in) {
      ico.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } else {
      std::cerr << "no halvarin.ico: the resource script gets no icon\n";
    }
    Write(folder / "halvarin.rc", halvarin::MakeResourceScript(ico));
    Write(folder / halvarin::DesktopEntryFileName(), halvarin::MakeDesktopEntry());
    Write(folder / halvarin::MetainfoFileName(), halvarin::MakeMetainfo());
    Write(folder / halvarin::MimeInfoFileName(), halvarin::MakeMimeInfo());
    std::filesystem::create_directories(folder / "debian");
    Write(folder / "debian" / "package.cmake", halvarin::MakePackageSettings());
    Write(folder / "debian" / "changelog", halvarin::MakeDebianChangelog());
    Write(folder / "debian" / "copyright", halvarin::MakeDebianCopyright());
    std::filesystem::create_directories(folder / "windows");
    Write(folder / "windows" / "identity.nsh", halvarin::MakeInstallerSettings());
    Write(folder / "windows" / "README.txt", halvarin::MakeWindowsReadme());
    Write(folder / "windows" / "LICENSE.txt", halvarin::MakeWindowsLicense());
  } catch (const std::exception& e) {
    std::cerr << "halvarin_identity_files: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
