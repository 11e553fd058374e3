#include "Win32Program.h"

#include <memory>

#include "StartupFiles.h"
#include "Win32FormWindow.h"
#include "frmAbout.h"

namespace halvarin {

Win32Program::Win32Program(CommonDialogs& dialogs, Registry& registry, io::FileSystem& fs)
    : mainForm(toolkit, dialogs, fs) {
  toolkit.RegisterWindow(frmMain::FormName, [this](Win32Toolkit& tk) {
    return std::make_unique<Win32FormWindow>(tk, frmMain::Definition(), &mainForm);
  });
  // Only registered here: Help > About makes the About box, with its System
  // Info button reading the system's registry.
  toolkit.RegisterWindow(frmAbout::FormName, [&registry](Win32Toolkit& tk) {
    auto form = std::make_unique<frmAbout>(tk, registry);
    auto window = std::make_unique<Win32FormWindow>(tk, frmAbout::Definition(), form.get());
    window->AdoptEvents(std::move(form));
    return window;
  });
  toolkit.OnSessionEnd([this] { mainForm.RemoveDragCopies(); });
}

void Win32Program::Start(const std::vector<std::string>& files) {
  toolkit.Show(frmMain::FormName);
  OpenStartupFiles(mainForm, toolkit, files);
}

}  // namespace halvarin
