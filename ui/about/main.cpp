#include <memory>

#ifndef _WIN32
#include <csignal>
#endif

#include <QApplication>

#include "QtAbout.h"
#include "QtFormWindow.h"
#include "QtToolkit.h"
#include "frmMain.h"

int main(int argc, char* argv[]) {
  using namespace halvarin;
#ifndef _WIN32
  // Past a file size limit the system would end the process in the middle of
  // a save; ignored, the write fails instead and the save is undone cleanly.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
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
