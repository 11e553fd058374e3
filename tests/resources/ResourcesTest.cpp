#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "ResourceImages.h"

namespace halvarin::resources {
namespace {

// Nothing here calls Q_INIT_RESOURCE: that the images load at all shows the
// library registers them by being linked. The Windows program's copies (the
// .ico files) show the same pictures: a stale copy after a redraw would go
// unnoticed otherwise.
TEST(ResourceImages, EntryImagesAreDistinctTransparentIconsAndBadIndexesGetTheFirst) {
  std::vector<QImage> seen;
  for (int index : {1, 2, 3, 4, 5, 0, 6}) {
    const QImage image(QString::fromLatin1(EntryImagePath(index)));
    ASSERT_EQ(image.size(), QSize(32, 32)) << index;
    EXPECT_EQ(qAlpha(image.pixel(0, 0)) + qAlpha(image.pixel(31, 31)), 0) << index;
    EXPECT_EQ(qAlpha(image.pixel(16, 20)), 255) << index;
    const QImage ico =
        QImage(QStringLiteral(HALVARIN_RESOURCES_DIR "/images/entry%1.ico").arg(index))
            .convertToFormat(QImage::Format_ARGB32);
    if (index >= 1 && index <= kEntryImageCount) {
      const QImage png = image.convertToFormat(QImage::Format_ARGB32);
      for (int y = 0; y < 32 * 32; ++y) {
        // Half-clear pixels lose a little colour to rounding on the way.
        const QRgb want = png.pixel(y % 32, y / 32), got = ico.pixel(y % 32, y / 32);
        ASSERT_EQ(qAlpha(want) == 255 ? got : qAlpha(got),
                  qAlpha(want) == 255 ? want : qAlpha(want))
            << index << ":" << y;
      }
    }
    const auto same = static_cast<size_t>(std::ranges::find(seen, image) - seen.begin());
    EXPECT_EQ(same, index >= 1 && index <= kEntryImageCount ? seen.size() : 0u) << index;
    seen.push_back(image);
  }
}

// The About picture is the icon flattened on the dialog face, and the
// Windows icon (colour, mask) shows the same picture: a stale copy after a
// redraw would go unnoticed otherwise.
TEST(ResourceImages, AboutPictureAndIcoMatchTheProgramIcon) {
  const QImage icon = QImage(kProgramIconPath).convertToFormat(QImage::Format_ARGB32);
  const QImage about(kAboutPicturePath);
  const QImage ico = QImage(HALVARIN_ICO_PATH).convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ((std::vector{icon.size(), about.size(), ico.size()}), std::vector(3, QSize(32, 32)));
  EXPECT_FALSE(about.hasAlphaChannel());
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const QRgb png = icon.pixel(x, y), shown = about.pixel(x, y), ico_rgb = ico.pixel(x, y);
      const int a = qAlpha(png);
      const auto off = [&](int (*part)(QRgb)) {
        return std::abs(part(shown) - (part(png) * a + 240 * (255 - a) + 127) / 255);
      };
      ASSERT_LE(off(qRed) + off(qGreen) + off(qBlue), 3) << x << "," << y;
      if (a == 0 || a == 255) {  // a clear pixel must not tint the screen
        ASSERT_EQ(ico_rgb & 0xFFFFFF, a ? png & 0xFFFFFF : 0u) << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace halvarin::resources
