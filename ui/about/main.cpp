#include <memory>

#include <QApplication>

#include "QtAbout.h"
#include "QtFormWindow.h"
#include "QtToolkit.h"
#include "frmMain.h"

int main(int argc, char* argv[]) {
  using namespace halvarin;
  QApplication app(argc, argv);
  ApplyProgramIdentity();

  QtToolkit toolkit;
  frmMain mainForm(toolkit);
  toolkit.RegisterWindow(frmMain::FormName, [&mainForm](QtToolkit& tk) {
    return std::make_unique<QtFormWindow>(tk, frmMain::Definition(), &mainForm);
  });
  // The About box is only registered here; Help > About creates it.
  RegisterAboutWindow(toolkit);

  // The main window, laid out by its resize rule and shown empty; from here
  // on everything happens in its commands. The program ends through its
  // exit sequence.
  toolkit.Show(frmMain::FormName);
  return app.exec();
}
