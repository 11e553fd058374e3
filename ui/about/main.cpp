#include <QApplication>
#include <QMainWindow>

#include "ProgramIdentity.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle(QString::fromUtf8(halvarin::ProgramIdentity::Title.data(),
                                          halvarin::ProgramIdentity::Title.size()));
  window.show();
  return app.exec();
}
