#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "FormDefinition.h"
#include "QtAbout.h"
#include "QtFormWindow.h"
#include "QtToolkit.h"
#include "ScriptedRegistry.h"
#include "frmAbout.h"
#include "frmMain.h"

namespace halvarin {
namespace {

// The program's two windows on the Qt toolkit, as start-up wires them, with
// an empty scripted registry so that System Information is never found.
class AboutWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReplaceRegistry(std::make_unique<ScriptedRegistry>());
    mainForm = std::make_unique<frmMain>(toolkit);
    toolkit.RegisterWindow(frmMain::FormName, [this](QtToolkit& tk) {
      return std::make_unique<QtFormWindow>(tk, frmMain::Definition(), mainForm.get());
    });
    RegisterAboutWindow(toolkit);
    toolkit.Show(frmMain::FormName);
  }
  void TearDown() override {
    toolkit.End();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ReplaceRegistry(nullptr);
  }

  QtFormWindow* MainWindow() {
    return qobject_cast<QtFormWindow*>(toolkit.Window(frmMain::FormName));
  }
  QtFormWindow* About() { return qobject_cast<QtFormWindow*>(toolkit.Window(frmAbout::FormName)); }
  // Help > About, as the user chooses it.
  QtFormWindow* ChooseHelpAbout() {
    MainWindow()->MenuAction("mnuHelpAbout")->trigger();
    QApplication::processEvents();
    return About();
  }
  QLabel* Label(const char* name) { return qobject_cast<QLabel*>(About()->Control(name)); }
  QPushButton* Button(const char* name) {
    return qobject_cast<QPushButton*>(About()->Control(name));
  }
  QRect Box(int left, int top, int width, int height) {
    return QRect(About()->Px(left), About()->Px(top), About()->Px(width), About()->Px(height));
  }

  QtToolkit toolkit;
  std::unique_ptr<frmMain> mainForm;
};

TEST_F(AboutWindowTest, StartsWithTheMainWindowOnlyAndCreatesTheAboutBoxOnFirstUse) {
  EXPECT_NE(MainWindow(), nullptr);
  EXPECT_EQ(About(), nullptr);
  QtFormWindow* about = ChooseHelpAbout();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->isVisible());
  // Modeless: the main window stays usable.
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(MainWindow()->isEnabled());
}

TEST_F(AboutWindowTest, WindowAsBuilt) {
  QtFormWindow* about = ChooseHelpAbout();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->windowTitle(), "About Halvarin");

  // A fixed dialog frame with a close box only, owned by the main window so
  // that it is not listed in the task bar.
  const Qt::WindowFlags flags = about->windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(about->minimumSize(), about->maximumSize());
  EXPECT_EQ(about->parentWidget(), MainWindow());
  EXPECT_FALSE(about->windowIcon().isNull());

  // Client area 5730 x 3555 at 2340, 1935 on the screen.
  EXPECT_EQ(about->ClientArea()->size(), Box(0, 0, 5730, 3555).size());
  EXPECT_EQ(about->ClientArea()->mapToGlobal(QPoint(0, 0)),
            QPoint(about->Px(2340), about->Px(1935)));

  struct Text {
    const char* name;
    QString text;
    QRect box;
  };
  const Text labels[] = {
      {"lblTitle", "Halvarin", Box(1050, 240, 3885, 240)},
      {"lblVersion", "Version 1.0.0", Box(1050, 600, 3885, 225)},
      {"lblDescription",
       "This application was design to allow easy editing of Varn GRP Files. If you find any "
       "bugs or have any suggestions on how to improve this program, email me at:",
       Box(1050, 840, 3885, 1050)},
      {"Label1", "The Halvarin developers <halvarin@example.org>", Box(1080, 1920, 3975, 495)},
      {"lblDisclaimer",
       "Warning: Use this program at your own risk, I take no responsibility for any damage "
       "this program may cause.",
       Box(255, 2625, 3870, 825)},
  };
  for (const auto& l : labels) {
    QLabel* label = Label(l.name);
    ASSERT_NE(label, nullptr) << l.name;
    EXPECT_EQ(label->text(), l.text) << l.name;
    EXPECT_EQ(label->geometry(), l.box) << l.name;
    EXPECT_EQ(label->focusPolicy(), Qt::NoFocus) << l.name;
  }
  EXPECT_TRUE(Label("lblDescription")->wordWrap());
  EXPECT_TRUE(Label("lblDisclaimer")->wordWrap());
  EXPECT_TRUE(Label("Label1")->alignment() & Qt::AlignHCenter);

  // Fonts: the dialog font at 9.75 pt (bold for the title), the window's
  // default font for the disclaimer; black where the design says so.
  for (const char* name : {"lblTitle", "lblVersion", "lblDescription", "Label1"}) {
    EXPECT_DOUBLE_EQ(Label(name)->font().pointSizeF(), 9.75) << name;
  }
  EXPECT_TRUE(Label("lblTitle")->font().bold());
  EXPECT_FALSE(Label("lblVersion")->font().bold());
  EXPECT_EQ(Label("lblDisclaimer")->font(), about->ClientArea()->font());
  for (const char* name : {"lblTitle", "lblDescription", "lblDisclaimer"}) {
    EXPECT_EQ(Label(name)->palette().color(QPalette::WindowText), QColor(Qt::black)) << name;
  }

  EXPECT_EQ(Button("cmdOK")->text(), "OK");
  EXPECT_EQ(Button("cmdOK")->geometry(), Box(4245, 2625, 1260, 345));
  EXPECT_TRUE(Button("cmdOK")->isDefault());
  EXPECT_EQ(Button("cmdSysInfo")->text(), "&System Info...");
  EXPECT_EQ(Button("cmdSysInfo")->geometry(), Box(4260, 3075, 1245, 345));

  // The program's picture in a sunken frame, the box fitted around it.
  auto* icon = qobject_cast<QLabel*>(about->Control("picIcon"));
  ASSERT_NE(icon, nullptr);
  ASSERT_FALSE(icon->pixmap().isNull());
  EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
  EXPECT_EQ(icon->frameShadow(), QFrame::Sunken);
  EXPECT_EQ(icon->geometry(),
            QRect(QPoint(about->Px(240), about->Px(240)), QSize(32, 32) + QSize(4, 4)));

  // cmdOK has the focus; Tab goes on to cmdSysInfo and back.
  ASSERT_TRUE(QTest::qWaitForWindowActive(about));
  EXPECT_EQ(QApplication::focusWidget(), Button("cmdOK"));
  QTest::keyClick(about, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Button("cmdSysInfo"));
  QTest::keyClick(about, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Button("cmdOK"));
}

TEST_F(AboutWindowTest, TwoEngravedRules) {
  QtFormWindow* about = ChooseHelpAbout();
  ASSERT_NE(about, nullptr);
  const QImage image = about->ClientArea()->grab().toImage();
  ASSERT_FALSE(image.isNull());
  const double scale = image.devicePixelRatio();
  auto pixel = [&](int xTwips, int yPixel) {
    return QColor(
        image.pixel(static_cast<int>(about->Px(xTwips) * scale), static_cast<int>(yPixel * scale)));
  };
  // Each rule: a grey row, then two white rows below it.
  for (int rule : {480, 2445}) {
    const int y = about->Px(rule);
    for (int x : {1500, 3000, 4900}) {
      EXPECT_EQ(pixel(x, y), QColor(128, 128, 128)) << rule << " " << x;
      EXPECT_EQ(pixel(x, y + 1), QColor(Qt::white)) << rule << " " << x;
      EXPECT_EQ(pixel(x, y + 2), QColor(Qt::white)) << rule << " " << x;
    }
  }
  // The lower rule spans the dialog; the upper one starts right of the icon.
  EXPECT_EQ(pixel(200, about->Px(2445)), QColor(128, 128, 128));
  EXPECT_NE(pixel(600, about->Px(480)), QColor(128, 128, 128));
}

TEST_F(AboutWindowTest, EnterEscAndTheCloseBoxUnloadIt) {
  const int keys[] = {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape};
  for (int key : keys) {
    QtFormWindow* about = ChooseHelpAbout();
    ASSERT_NE(about, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(about));
    // Wherever the focus is.
    Button("cmdSysInfo")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key));
    QApplication::processEvents();
    EXPECT_EQ(About(), nullptr) << key;
  }

  QtFormWindow* about = ChooseHelpAbout();
  ASSERT_NE(about, nullptr);
  QTest::mouseClick(Button("cmdOK"), Qt::LeftButton);
  EXPECT_EQ(About(), nullptr);

  about = ChooseHelpAbout();
  ASSERT_NE(about, nullptr);
  about->close();
  QApplication::processEvents();
  EXPECT_EQ(About(), nullptr);
  EXPECT_NE(MainWindow(), nullptr);
}

TEST_F(AboutWindowTest, SecondAboutBringsTheSameWindowForward) {
  QtFormWindow* first = ChooseHelpAbout();
  ASSERT_NE(first, nullptr);
  Label("lblVersion")->setText("changed while open");
  QtFormWindow* second = ChooseHelpAbout();
  EXPECT_EQ(first, second);
  int count = 0;
  for (QWidget* w : QApplication::allWidgets()) {
    count += w->isWindow() && w->isVisible() && w->objectName() == frmAbout::FormName;
  }
  EXPECT_EQ(count, 1);
  EXPECT_EQ(Label("lblVersion")->text(), "changed while open");  // not loaded again

  // After closing, the next About is a fresh load.
  Button("cmdOK")->click();
  QApplication::processEvents();
  ASSERT_NE(ChooseHelpAbout(), nullptr);
  EXPECT_EQ(Label("lblVersion")->text(), "Version 1.0.0");
}

TEST_F(AboutWindowTest, UnavailableSystemInformationIsReportedAndTheBoxStaysOpen) {
  QtFormWindow* about = ChooseHelpAbout();
  ASSERT_NE(about, nullptr);
  QString text;
  QString title;
  int buttons = 0;
  bool iconless = false;
  // The message box is modal: answer it from the event loop it runs.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      return;
    }
    poll.stop();
    text = box->text();
    title = box->windowTitle();
    buttons = box->standardButtons();
    iconless = box->icon() == QMessageBox::NoIcon;
    box->accept();
  });
  poll.start(10);
  QTest::mouseClick(Button("cmdSysInfo"), Qt::LeftButton);
  poll.stop();
  EXPECT_EQ(text, "System Information Is Unavailable At This Time");
  EXPECT_EQ(title, "Halvarin");
  EXPECT_EQ(buttons, QMessageBox::Ok);
  EXPECT_TRUE(iconless);
  EXPECT_EQ(About(), about);
  EXPECT_TRUE(about->isVisible());
}

TEST_F(AboutWindowTest, EndingTheProgramClosesTheAboutBoxToo) {
  QtFormWindow* about = ChooseHelpAbout();
  ASSERT_NE(about, nullptr);
  QPointer<QtFormWindow> watched(about);
  toolkit.End();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(toolkit.Window(frmAbout::FormName), nullptr);
  EXPECT_TRUE(watched.isNull());
}

TEST(ProgramIdentityTest, QtKnowsTheProgram) {
  EXPECT_EQ(QApplication::applicationName(), "Halvarin");
  EXPECT_EQ(QApplication::applicationVersion(), "1.0.0");
  EXPECT_EQ(QGuiApplication::desktopFileName(), "org.halvarin.Halvarin");
  EXPECT_FALSE(QApplication::windowIcon().isNull());
}

}  // namespace
}  // namespace halvarin
