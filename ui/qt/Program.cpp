#include "Program.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "ProgramIdentity.h"
#include "QtAbout.h"
#include "QtFormWindow.h"

namespace halvarin {

namespace {

// The archive keeps the path it was opened from and Save writes back to it,
// so a relative path is fixed against the folder current at start-up. On
// POSIX systems the path's bytes pass through unchanged.
std::string FromCurrentFolder(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}

}  // namespace

Program::Program() {
  toolkit.RegisterWindow(frmMain::FormName, [this](QtToolkit& tk) {
    return std::make_unique<QtFormWindow>(tk, frmMain::Definition(), &mainForm);
  });
  // The About box is only registered here; Help > About creates it.
  RegisterAboutWindow(toolkit);
}

void Program::Start(const std::vector<std::string>& files) {
  toolkit.Show(frmMain::FormName);
  if (files.empty()) {
    return;
  }
  mainForm.RunCommand([&] { mainForm.OpenArchive(FromCurrentFolder(files.front())); });
  if (files.size() > 1) {
    const std::size_t others = files.size() - 1;
    toolkit.MsgBox(
        "Only one archive is open at a time; " +
            (others == 1 ? std::string("the other file given was not opened.")
                         : "the " + std::to_string(others) + " other files given were not opened."),
        vbOKOnly | vbInformation, std::string(ProgramIdentity::Title));
  }
}

}  // namespace halvarin
