// The About box as the user meets it: the program's two windows on the Qt
// toolkit, wired by start-up itself.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>
#include <QRegion>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include "Program.h"
#include "QtFormWindow.h"
#include "frmAbout.h"
#include "frmMain.h"

namespace halvarin {
namespace {

class AboutWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { program.Start({}); }  // as start-up does
  void TearDown() override {
    toolkit.End();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  QtFormWindow* Main() { return qobject_cast<QtFormWindow*>(toolkit.Window(frmMain::FormName)); }
  QtFormWindow* About() { return qobject_cast<QtFormWindow*>(toolkit.Window(frmAbout::FormName)); }
  QtFormWindow* ChooseHelpAbout() {
    Main()->MenuAction("mnuHelpAbout")->trigger();
    QApplication::processEvents();
    return About();
  }
  QString Text(const char* name) { return About()->Control(name)->property("text").toString(); }

  Program program;
  QtToolkit& toolkit = program.toolkit;
};

TEST_F(AboutWindowTest, AFixedModelessBoxShowsTheIdentityWithNothingCovered) {
  EXPECT_EQ(About(), nullptr);  // made on first use
  QtFormWindow* about = ChooseHelpAbout();
  ASSERT_NE(about, nullptr);
  ASSERT_TRUE(about->isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // modeless
  EXPECT_EQ(about->windowTitle(), "About Halvarin");
  const auto minMax = Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
  EXPECT_EQ(about->windowFlags() & (Qt::WindowType_Mask | minMax), Qt::Dialog);
  EXPECT_EQ(about->minimumSize(), about->maximumSize());
  EXPECT_EQ(about->parentWidget(), Main());  // not in the task bar
  EXPECT_EQ(
      Text("lblTitle") + '|' + Text("lblVersion") + '|' + Text("Label1") + '|' + Text("cmdSysInfo"),
      "Halvarin|Version " HALVARIN_VERSION
      "|The Halvarin developers <halvarin@example.org>|&System Info...");
  EXPECT_TRUE(Text("lblDescription").endsWith("email me at:"));
  EXPECT_TRUE(Text("lblDisclaimer").startsWith("Warning: Use this program"));
  EXPECT_TRUE(About()->Control("lblTitle")->font().bold());
  EXPECT_EQ(qobject_cast<QLabel*>(About()->Control("picIcon"))->pixmap().size(), QSize(32, 32));

  // Everything lies inside the window, and no two texts cover each other.
  const QRect client = about->ClientArea()->rect();
  QRegion covered;
  for (const char* name : {"lblTitle", "lblVersion", "lblDescription", "Label1", "lblDisclaimer",
                           "picIcon", "cmdOK", "cmdSysInfo"}) {
    const QRect box = About()->Control(name)->geometry();
    EXPECT_TRUE(client.contains(box)) << name;
    EXPECT_FALSE(covered.intersects(box)) << name;
    covered += box;
  }

  // Two engraved rules: a grey row with two white rows below.
  const QImage image = about->ClientArea()->grab().toImage();
  const qreal dpr = image.devicePixelRatio();
  auto at = [&](int x, int y) { return QColor(image.pixel(QPoint(x, y) * dpr)).name(); };
  for (int rule : {480, 2445}) {
    const int x = about->Px(3000), y = about->Px(rule);
    EXPECT_EQ(at(x, y) + at(x, y + 1) + at(x, y + 2), "#808080#ffffff#ffffff") << rule;
  }

  // Focus starts on OK; Tab goes to System Info and back.
  ASSERT_TRUE(QTest::qWaitForWindowActive(about));
  EXPECT_EQ(QApplication::focusWidget(), About()->Control("cmdOK"));
  QTest::keyClick(about, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), About()->Control("cmdSysInfo"));
}

TEST_F(AboutWindowTest, OneBoxAtATimeClosedByEnterEscOrTheCloseBox) {
  QtFormWindow* first = ChooseHelpAbout();
  About()->Control("lblVersion")->setProperty("text", "changed while open");
  EXPECT_EQ(ChooseHelpAbout(), first);  // brought forward, not loaded again
  EXPECT_EQ(Text("lblVersion"), "changed while open");

  for (const int key : {int(Qt::Key_Return), int(Qt::Key_Escape), 0}) {  // 0: the close box
    ASSERT_NE(ChooseHelpAbout(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(About()));
    About()->Control("cmdSysInfo")->setFocus();
    key != 0 ? QTest::keyClick(About()->Control("cmdSysInfo"), Qt::Key(key))
             : void(About()->close());
    QApplication::processEvents();
    EXPECT_EQ(About(), nullptr) << key;
  }
  EXPECT_NE(Main(), nullptr);
  ChooseHelpAbout();
  EXPECT_EQ(Text("lblVersion"), "Version " HALVARIN_VERSION);  // a fresh load
}

// Every label and button of both windows shows its whole text, word-wrapped
// as shown, in a readable size: with the fonts found for the ones the
// definitions name, and with the system's fallback alone. ctest runs this
// at the scales 1, 1.5 and 2 (QT_SCALE_FACTOR).
TEST_F(AboutWindowTest, EveryTextShowsWhole) {
  const QString named = QStringLiteral("MS Sans Serif");
  const QStringList substitutes = QFont::substitutes(named);
  for (const bool fallbackAlone : {false, true}) {
    fallbackAlone ? QFont::removeSubstitutions(named) : void();
    for (QtFormWindow* window : {Main(), ChooseHelpAbout()}) {
      for (const ControlDef& def : window->Definition().Controls) {
        QWidget* w = window->Control(def.Name);
        QRectF room;
        QString text;
        int flags = 0;
        if (auto* label = qobject_cast<QLabel*>(w); label && def.Kind == ControlKind::Label) {
          room = label->contentsRect();
          text = label->text();
          flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
          QStyleOptionButton option;
          option.initFrom(button);
          room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
          text = button->text();
          flags = Qt::AlignCenter | Qt::TextShowMnemonic;
        } else {
          continue;
        }
        const QRectF ink = QFontMetricsF(w->font()).boundingRect(room, flags, text);
        EXPECT_TRUE(room.contains(ink) && w->font().pointSizeF() >= 7)
            << def.Name << " " << fallbackAlone << ": "
            << QFontInfo(w->font()).family().toStdString() << " " << w->font().pointSizeF()
            << " pt needs " << ink.width() << "x" << ink.height() << ", has " << room.width() << "x"
            << room.height();
      }
    }
    About()->close();
  }
  QFont::insertSubstitutions(named, substitutes);
}

TEST(ProgramIdentityTest, QtCarriesTheProgramsNameVersionAndIcon) {
  EXPECT_EQ(QApplication::applicationName(), "Halvarin");
  EXPECT_EQ(QApplication::applicationVersion(), HALVARIN_VERSION);
  EXPECT_EQ(QGuiApplication::desktopFileName(), "org.halvarin.Halvarin");
  EXPECT_FALSE(QApplication::windowIcon().isNull());
}

}  // namespace
}  // namespace halvarin
