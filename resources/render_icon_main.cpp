// Renders the program icon's SVG into the PNG sizes of the desktop icon theme
// at build time, so that the installed icons always match the SVG:
//   halvarin_render_icon ICON.svg OUT_FOLDER SIZE...
// writes OUT_FOLDER/SIZExSIZE/halvarin.png for each size. Qt's own SVG
// renderer paints without a display or a running application.

#include <cstdio>
#include <string>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

int main(int argc, char* argv[]) {
  if (argc < 4) {
    std::fputs("usage: halvarin_render_icon ICON.svg OUT_FOLDER SIZE...\n", stderr);
    return 2;
  }
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  if (!svg.isValid()) {
    std::fprintf(stderr, "halvarin_render_icon: %s is not a usable SVG file\n", argv[1]);
    return 1;
  }
  const QString folder = QString::fromLocal8Bit(argv[2]);
  const QString name = QFileInfo(QString::fromLocal8Bit(argv[1])).completeBaseName() + ".png";
  for (int i = 3; i < argc; ++i) {
    const int size = std::stoi(argv[i]);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    const QString sized = QString::number(size) + "x" + QString::number(size);
    const QString target = folder + "/" + sized + "/" + name;
    if (!QDir(folder).mkpath(sized) ||
        !image.convertToFormat(QImage::Format_ARGB32).save(target, "PNG")) {
      std::fprintf(stderr, "halvarin_render_icon: cannot write %s\n", qPrintable(target));
      return 1;
    }
  }
  return 0;
}
