// The real main window, headless: what the recording toolkit cannot show
// (shortcuts, real drops, the right-click pop-up, the close a failed save
// vetoes, the command guard and its message box, the window builder), and one
// script run against both toolkits so that the double cannot drift from Qt.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>

#include "AppError.h"
#include "ArchiveBytes.h"
#include "QtFormWindow.h"
#include "QtToolkit.h"
#include "QtWatch.h"
#include "RecordingToolkit.h"
#include "ScriptedCommonDialogs.h"
#include "TempDir.h"
#include "frmMain.h"

namespace halvarin::testing {
namespace {

// Records the events a window sends, for tests of the window alone.
struct RecordingEvents : FormEvents {
  void Click(const std::string& name) override {
    clicks.push_back(name);
    if (fail)
      throw AppError(errFileNotFound, "test", "Cannot open x.grp: No such file (" + name + ")");
  }
  void MouseDown(const std::string& control, int16_t button, int16_t shift, float, float) override {
    clicks.push_back(control + ":" + std::to_string(button) + ":" + std::to_string(shift));
  }
  std::vector<std::string> clicks;
  bool fail = false;
};

// Answers each message box that opens with the next button, keeping its text.
std::vector<QString> Answer(const std::function<void()>& action,
                            std::vector<QMessageBox::StandardButton> answers) {
  std::vector<QString> shown;
  WatchModals(action, [&](QWidget* popup) {
    auto* box = qobject_cast<QMessageBox*>(popup);
    ASSERT_NE(box, nullptr);
    shown.push_back(box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon()));
    box->button(shown.size() <= answers.size() ? answers[shown.size() - 1] : QMessageBox::Ok)
        ->click();
  });
  return shown;
}

class QtMainWindowTest : public ::testing::Test {
 protected:
  QtFormWindow* Show(FormEvents* events) {
    tk.RegisterWindow("frmMain", [events](QtToolkit& toolkit) {
      return std::make_unique<QtFormWindow>(toolkit, frmMain::Definition(), events);
    });
    tk.Show("frmMain");
    window = qobject_cast<QtFormWindow*>(tk.Window("frmMain"));
    EXPECT_NE(window, nullptr);
    QApplication::setActiveWindow(window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    list = qobject_cast<QtListView*>(window->Control("ListView1"));
    list->setFocus();
    return window;
  }
  void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  std::vector<std::string> Items() const {
    std::vector<std::string> texts;
    for (int i = 0; i < list->count(); ++i)
      texts.push_back(list->item(i)->text().toStdString());
    return texts;
  }
  QMimeData* Files(const std::vector<std::string>& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const std::string& path : paths)
      urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    data->setUrls(urls);
    data->setText(QString::fromStdString(paths.front()));  // file managers offer text too
    mime.reset(data);
    return data;
  }

  TempDir dir;
  ScriptedCommonDialogs dialogs;
  QtToolkit tk;
  frmMain form{tk, dialogs};
  RecordingEvents events;
  QtFormWindow* window = nullptr;
  QtListView* list = nullptr;
  std::unique_ptr<QMimeData> mime;
};

TEST_F(QtMainWindowTest, TheWindowAsTheUserSeesIt) {
  Show(&form);
  EXPECT_EQ(window->windowTitle(), "Halvarin");
  QWidget* client = window->ClientArea();
  EXPECT_EQ(client->size(), QSize(window->Px(6210), window->Px(4155)));
  QStringList menus;
  for (QAction* bar : window->menuBar()->actions()) {
    menus << bar->text();
    for (QAction* a : bar->menu()->actions())
      menus << (a->isSeparator() ? "-" : a->text() + " " + a->shortcut().toString());
  }
  EXPECT_EQ(menus.join("|").toStdString(),
            "&File|&New Ctrl+N|&Open Ctrl+O|&Save Ctrl+S|Save &As |-|E&xit |&Item|&Add Item |"
            "&Extract Item |&Delete Item Del|&Help|&About ");
  auto* status = qobject_cast<QStatusBar*>(window->Control("StatusBar1"));
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->geometry(),
            QRect(0, client->height() - window->Px(255), client->width(), window->Px(255)));
  EXPECT_EQ(list->geometry(), QRect(0, 0, client->width(), client->height() - status->height()));
  EXPECT_EQ(list->viewMode(), QListView::IconMode);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(list->ImageCount(), 5);
  EXPECT_EQ(QApplication::focusWidget(), list);

  // Resized by the user: the list stays above the status bar.
  window->resize(window->Px(9000), window->Px(6000) + window->height() - client->height());
  QTest::qWait(20);
  EXPECT_EQ(list->geometry(), QRect(0, 0, client->width(), client->height() - status->height()));
  EXPECT_EQ(status->geometry().bottom(), client->height() - 1);
}

TEST_F(QtMainWindowTest, ShortcutsMouseButtonsAndTheRightClickPopUp) {
  Show(&events);
  QTest::keyClick(list, Qt::Key_N, Qt::ControlModifier);
  QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier);
  QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier);
  QTest::keyClick(list, Qt::Key_Delete);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
  QTest::mouseClick(list->viewport(), Qt::MiddleButton, Qt::ControlModifier | Qt::AltModifier,
                    QPoint(5, 5));
  EXPECT_EQ(events.clicks, (std::vector<std::string>{"mnuFileNew", "mnuFileOpen", "mnufilesave",
                                                     "mnuitemdelete", "ListView1:1:1",
                                                     "ListView1:4:6"}));
}

TEST_F(QtMainWindowTest, TheRightClickPopsUpTheItemMenuOnTheClickedItem) {
  Show(&form);
  tk.ListAdd("frmMain", "ListView1", "ONE.MAP", 5, 5);
  tk.ListAdd("frmMain", "ListView1", "TWO.ART", 4, 4);
  list->doItemsLayout();
  const QPoint onSecond = list->visualItemRect(list->item(1)).center();
  for (Qt::MouseButton button : {Qt::RightButton, Qt::LeftButton}) {
    QWidget* shown = nullptr;
    WatchModals([&] { QTest::mousePress(list->viewport(), button, Qt::ShiftModifier, onSecond); },
                [&](QWidget* popup) { shown = popup; });
    QTest::mouseRelease(list->viewport(), button, Qt::ShiftModifier, onSecond);
    EXPECT_EQ(shown, button == Qt::RightButton ? window->Menu("mnuitem") : nullptr);
  }
  EXPECT_EQ(tk.SelectedText("frmMain", "ListView1"), "TWO.ART");
}

TEST_F(QtMainWindowTest, RealDropsAddFilesAndCutNoLabel) {
  Show(&form);
  tk.ListAdd("frmMain", "ListView1", "LEVEL1.MAP  ", 5, 5);
  WriteAll(dir / "a.mid", "midi");
  WriteAll(dir / "play.dmo", "demo");
  fs::create_directories(dir / "folder");
  // Never a move: the source must not delete what was dropped.
  EXPECT_EQ(Drop(list->viewport(), *Files({dir / "a.mid", dir / "folder", dir / "play.dmo"})),
            Qt::CopyAction);
  QMimeData text;
  text.setText(QString::fromStdString(dir / "a.mid"));  // a text selection adds nothing
  Drop(list->viewport(), text);
  EXPECT_EQ(Items(), (std::vector<std::string>{"LEVEL1.MAP  ", "a.mid", "play.dmo"}));
  // A short name added last cuts no other label.
  list->doItemsLayout();
  const int needed = list->fontMetrics().horizontalAdvance(QStringLiteral("LEVEL1.MAP"));
  for (int i = 0; i < list->count(); ++i) {
    EXPECT_GT(list->visualItemRect(list->item(i)).width(), needed) << i;
  }
}


TEST_F(QtMainWindowTest, AFailedSaveKeepsTheWindowOpenWithTheEdits) {
  Show(&form);
  WriteAll(dir / "gone.voc", "x");
  Drop(list->viewport(), *Files({dir / "gone.voc"}));
  fs::remove(dir / "gone.voc");
  dialogs.PushChoice(dir / "kept.grp");  // Save As after Yes
  const auto shown = Answer([&] { window->close(); }, {QMessageBox::Yes, QMessageBox::Ok});
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "Save Changes?|File has changed.\nSave now?|4");
  EXPECT_TRUE(shown[1].startsWith("Halvarin|") && shown[1].contains("gone.voc") &&
              shown[1].endsWith("|2"))
      << shown[1].toStdString();
  EXPECT_FALSE(tk.Ending());
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(list->count(), 1);

  QPointer<QtFormWindow> watched(window);
  EXPECT_EQ(Answer([&] { window->close(); }, {QMessageBox::No}).size(), 1u);
  EXPECT_TRUE(tk.Ending());
  EXPECT_EQ(tk.Window("frmMain"), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(watched.isNull());
  EXPECT_FALSE(fs::exists(dir / "kept.grp"));
}

TEST_F(QtMainWindowTest, AFailingCommandIsShownNotThrownIntoQt) {
  Show(&events);
  events.fail = true;
  const auto shown = Answer([&] { window->MenuAction("mnuFileOpen")->trigger(); }, {});
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].toStdString(), "Halvarin|Cannot open x.grp: No such file (mnuFileOpen)|3");
  const auto asked = Answer([&] { tk.MsgBox("Unavailable", vbOKOnly, ""); }, {});
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].toStdString(), "Halvarin|Unavailable|0");
}

// The same calls on the recording toolkit and on Qt's give the same answers.
TEST_F(QtMainWindowTest, TheDoubleBehavesAsTheRealToolkit) {
  Show(&form);
  RecordingToolkit double_;
  std::vector<std::string> seen[2];
  const auto run = [](Toolkit& t, const std::function<void(int32_t)>& select, std::vector<std::string>& out) {
    const std::string f = "frmMain", l = "ListView1";
    const auto error = [&](const std::function<void()>& call) {
      try {
        call();
        return 0;
      } catch (const AppError& e) {
        return static_cast<int>(e.Number());
      }
    };
    for (const char* text : {"A.MAP", "B.ART", "C.VOC"})
      t.ListAdd(f, l, text, 1, 1);
    out.push_back(std::to_string(t.ListCount(f, l)) + " " + std::to_string(t.SelectedIndex(f, l)));
    select(3);
    t.ListRemove(f, l, 1);
    out.push_back(std::to_string(t.SelectedIndex(f, l)) + " " + t.SelectedText(f, l));
    // Not compared: removing the selected item leaves no selection in the
    // double, while Qt selects the next item.
    t.ListRemove(f, l, 1);
    out.push_back(std::to_string(error([&] { t.ListRemove(f, l, 2); })) + " " +
                  std::to_string(error([&] { t.ListRemove(f, l, 0); })) + " " +
                  std::to_string(error([&] { t.SetControlHeight(f, l, -1); })));
    t.SetControlWidth(f, l, 1500);
    t.ListClear(f, l);
    out.push_back(std::to_string(t.ListCount(f, l)) + " " + std::to_string(t.SelectedIndex(f, l)) +
                  " " + std::to_string(t.ControlWidth(f, l)));
  };
  run(double_, [&](int32_t i) { double_.Select("frmMain", "ListView1", i); }, seen[0]);
  run(tk, [&](int32_t i) { list->setCurrentRow(i - 1); }, seen[1]);
  EXPECT_EQ(seen[0], seen[1]);
}

// Any window is built from its definition: a fixed dialog with a default and
// cancel button, a bold label, a line of a control array, a picture.
TEST_F(QtMainWindowTest, TheWindowBuilderAndItsLifeCycle) {
  FormDefinition def;
  def.Name = "frmDialog";
  def.Border = BorderStyle::FixedDialog;
  def.ClientWidth = 5730;
  def.ClientHeight = 3555;
  ControlDef ok{"cmdOK", ControlKind::CommandButton, -1, 4245, 2625, 1260, 345, 0, {}};
  ok.Settings.Caption = "OK";
  ok.Settings.Default = ok.Settings.Cancel = true;
  ControlDef label{"lblVersion", ControlKind::Label, -1, 1050, 600, 3885, 225, 6, {}};
  label.Settings.Font = FontDef{"Sans", 9.75, true};
  ControlDef line{"Line1", ControlKind::Line, 2, 0, 0, 0, 0, -1, {}};
  line.Settings.X1 = line.Settings.X2 = 960;
  line.Settings.Y1 = 480;
  line.Settings.Y2 = 960;
  def.Controls = {ok, label, line};
  int made = 0;
  tk.RegisterWindow("frmDialog", [&](QtToolkit& toolkit) {
    ++made;
    return std::make_unique<QtFormWindow>(toolkit, def, &events);
  });
  tk.Show("frmDialog");
  tk.Show("frmDialog");
  auto* dialog = qobject_cast<QtFormWindow*>(tk.Window("frmDialog"));
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(made, 1);
  EXPECT_EQ(dialog->size(), QSize(dialog->Px(5730), dialog->Px(3555)));
  EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
  ASSERT_NE(dialog->Control("Line1(2)"), nullptr);
  EXPECT_EQ(dialog->Control("Line1(2)")->geometry().topLeft(), QPoint(dialog->Px(960), dialog->Px(480)));
  tk.SetCaption("frmDialog", "lblVersion", "Version 1.0.0");
  EXPECT_EQ(tk.Caption("frmDialog", "lblVersion"), "Version 1.0.0");
  EXPECT_TRUE(dialog->Control("lblVersion")->font().bold());
  QApplication::setActiveWindow(dialog);
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
  QTest::keyClick(dialog, Qt::Key_Return);
  QTest::keyClick(dialog, Qt::Key_Escape);
  EXPECT_EQ(events.clicks, (std::vector<std::string>{"cmdOK", "cmdOK"}));

  dialog->close();  // the title bar's close box unloads it; the next Show makes a new one
  EXPECT_EQ(tk.Window("frmDialog"), nullptr);
  tk.Show("frmDialog");
  EXPECT_EQ(made, 2);
  Show(&form);
  window->MenuAction("mnufileexit")->trigger();  // Exit closes every window
  EXPECT_TRUE(tk.Ending());
  EXPECT_EQ(tk.Window("frmDialog"), nullptr);
}

}  // namespace
}  // namespace halvarin::testing
