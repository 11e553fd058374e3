#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ResourceImages.h"

namespace halvarin {
namespace {

bool IsClear(const QImage& image, int x, int y) {
  return qAlpha(image.pixel(x, y)) == 0;
}

// Nothing in this test calls Q_INIT_RESOURCE: that the images load at all
// shows the library registers them by being linked.
TEST(ResourceImages, EntryImagesAreDistinctIconsWithRealTransparency) {
  std::vector<QImage> images;
  for (int index = 1; index <= resources::kEntryImageCount; ++index) {
    SCOPED_TRACE(index);
    QPixmap pixmap(QString::fromLatin1(resources::EntryImagePath(index)));
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.size(), QSize(32, 32));
    ASSERT_TRUE(pixmap.hasAlphaChannel());
    const QImage image = pixmap.toImage();
    EXPECT_TRUE(IsClear(image, 0, 0));
    EXPECT_TRUE(IsClear(image, 31, 0));
    EXPECT_TRUE(IsClear(image, 0, 31));
    EXPECT_TRUE(IsClear(image, 31, 31));
    EXPECT_EQ(qAlpha(image.pixel(16, 20)), 255) << "the subject fills the middle";
    for (const QImage& earlier : images) {
      EXPECT_NE(image, earlier);
    }
    images.push_back(image);
  }
}

TEST(ResourceImages, OutOfRangeIndexesFallBackToTheGenericImage) {
  EXPECT_STREQ(resources::EntryImagePath(0), ":/images/entry1.png");
  EXPECT_STREQ(resources::EntryImagePath(6), ":/images/entry1.png");
  EXPECT_STREQ(resources::EntryImagePath(5), ":/images/entry5.png");
}

QImage ProgramIcon() {
  return QImage(QString::fromLatin1(resources::kProgramIconPath))
      .convertToFormat(QImage::Format_ARGB32);
}

TEST(ResourceImages, AboutPictureIsTheIconFlattenedOnTheDialogFace) {
  const QImage icon = ProgramIcon();
  ASSERT_EQ(icon.size(), QSize(32, 32));
  ASSERT_TRUE(icon.hasAlphaChannel());
  EXPECT_TRUE(IsClear(icon, 0, 31));

  const QImage about(QString::fromLatin1(resources::kAboutPicturePath));
  ASSERT_EQ(about.size(), QSize(32, 32));
  EXPECT_FALSE(about.hasAlphaChannel());
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const QRgb source = icon.pixel(x, y);
      const QRgb shown = about.pixel(x, y);
      const int a = qAlpha(source);
      const auto blend = [a](int c) { return (c * a + 240 * (255 - a) + 127) / 255; };
      ASSERT_LE(std::abs(qRed(shown) - blend(qRed(source))), 1) << x << "," << y;
      ASSERT_LE(std::abs(qGreen(shown) - blend(qGreen(source))), 1) << x << "," << y;
      ASSERT_LE(std::abs(qBlue(shown) - blend(qBlue(source))), 1) << x << "," << y;
    }
  }
}

std::uint32_t Le(const QByteArray& data, int at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(data[at + i]);
  }
  return value;
}

// The Windows build's icon must be one 32x32 image at 24 bits with a 1-bit
// mask, and must still show the picture the PNG shows: a stale .ico after a
// redraw would go unnoticed on Linux otherwise.
TEST(ProgramIcon, IcoHoldsOne24BitImageWithMaskMatchingThePng) {
  QFile file(QStringLiteral(HALVARIN_ICO_PATH));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray ico = file.readAll();
  constexpr int kImageOffset = 6 + 16;
  constexpr int kXorBytes = 32 * 32 * 3;
  constexpr int kAndBytes = 32 * 4;
  ASSERT_EQ(ico.size(), kImageOffset + 40 + kXorBytes + kAndBytes);

  const int header = kImageOffset;
  EXPECT_EQ(Le(ico, 12, 2), 24u);  // bits per pixel
  EXPECT_EQ(Le(ico, header + 8, 4), 64u);  // colour and mask stacked

  const QImage icon = ProgramIcon();
  ASSERT_EQ(icon.size(), QSize(32, 32));
  const int xor_start = header + 40;
  const int and_start = xor_start + kXorBytes;
  int opaque = 0;
  for (int y = 0; y < 32; ++y) {
    const int row = 31 - y;  // bitmaps are stored bottom-up
    for (int x = 0; x < 32; ++x) {
      const bool masked_out =
          (static_cast<unsigned char>(ico[and_start + row * 4 + x / 8]) >> (7 - x % 8)) & 1;
      const QRgb png = icon.pixel(x, y);
      ASSERT_EQ(masked_out, qAlpha(png) < 128) << x << "," << y;
      const int at = xor_start + row * 96 + x * 3;
      const int b = static_cast<unsigned char>(ico[at]);
      const int g = static_cast<unsigned char>(ico[at + 1]);
      const int r = static_cast<unsigned char>(ico[at + 2]);
      if (masked_out) {
        ASSERT_EQ(r | g | b, 0) << "a transparent pixel must not tint the screen";
      } else if (qAlpha(png) == 255) {
        ++opaque;
        ASSERT_EQ(qRgb(r, g, b), qRgb(qRed(png), qGreen(png), qBlue(png))) << x << "," << y;
      }
    }
  }
  EXPECT_GT(opaque, 32 * 32 / 3) << "the picture is bold enough to read at 32x32";
}

}  // namespace
}  // namespace halvarin

int main(int argc, char** argv) {
  // gtest_discover_tests runs this binary during the build, where there may
  // be no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
