#include <memory>

#include <QApplication>
#include <QString>

#include "ProgramIdentity.h"
#include "QtFormWindow.h"
#include "QtToolkit.h"
#include "frmMain.h"

int main(int argc, char* argv[]) {
  using namespace halvarin;
  QApplication app(argc, argv);
  QApplication::setApplicationName(
      QString::fromUtf8(ProgramIdentity::Title.data(), ProgramIdentity::Title.size()));
  QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                          .arg(ProgramIdentity::Major)
                                          .arg(ProgramIdentity::Minor)
                                          .arg(ProgramIdentity::Revision));

  QtToolkit toolkit;
  frmMain mainForm(toolkit);
  toolkit.RegisterWindow(frmMain::FormName, [&mainForm](QtToolkit& tk) {
    return std::make_unique<QtFormWindow>(tk, frmMain::Definition(), &mainForm);
  });

  // The main window, laid out by its resize rule and shown empty; from here
  // on everything happens in its commands. The program ends through its
  // exit sequence.
  toolkit.Show(frmMain::FormName);
  return app.exec();
}
