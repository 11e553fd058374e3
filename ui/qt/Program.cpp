#include "Program.h"

#include <memory>

#include "QtAbout.h"
#include "QtFormWindow.h"
#include "StartupFiles.h"

namespace halvarin {

Program::Program() {
  toolkit.RegisterWindow(frmMain::FormName, [this](QtToolkit& tk) {
    return std::make_unique<QtFormWindow>(tk, frmMain::Definition(), &mainForm);
  });
  // The About box is only registered here; Help > About creates it.
  RegisterAboutWindow(toolkit);
}

void Program::Start(const std::vector<std::string>& files) {
  toolkit.Show(frmMain::FormName);
  OpenStartupFiles(mainForm, toolkit, files);
}

}  // namespace halvarin
