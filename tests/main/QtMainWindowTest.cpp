#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QtTest/QTest>

#include "AppError.h"
#include "QtFormWindow.h"
#include "QtToolkit.h"
#include "frmMain.h"

namespace halvarin {
namespace {

// Records the events a window sends.
struct RecordingEvents : FormEvents {
  void Load() override { ++loads; }
  void Unload() override { ++unloads; }
  void Click(const std::string& name) override {
    clicks.push_back(name);
    if (onClick) {
      onClick(name);
    }
  }
  void Resize(float w, float h, bool minimized) override {
    lastWidth = w;
    lastHeight = h;
    lastMinimized = minimized;
    ++resizes;
  }
  void MouseDown(const std::string& control, int16_t button, int16_t shift, float, float) override {
    downs.push_back(control + ":" + std::to_string(button) + ":" + std::to_string(shift));
  }
  void DragDrop(const std::string& control, const DataObject& data) override {
    dropControl = control;
    dropText = data.GetFormat(vbCFText);
    dropFiles = data.Files();
  }

  int loads = 0;
  int unloads = 0;
  int resizes = 0;
  float lastWidth = -1;
  float lastHeight = -1;
  bool lastMinimized = false;
  std::vector<std::string> clicks;
  std::vector<std::string> downs;
  std::string dropControl;
  bool dropText = false;
  std::vector<std::string> dropFiles;
  std::function<void(const std::string&)> onClick;
};

QtListView* ListOf(QtFormWindow* window) {
  return qobject_cast<QtListView*>(window->Control("ListView1"));
}

// Runs `action` while watching for a pop-up menu or modal dialog to open;
// `inspect` sees it (or nullptr when none opened) and it is then closed.
void WatchForPopup(const std::function<void()>& action,
                   const std::function<void(QWidget*)>& inspect) {
  bool seen = false;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QWidget* popup = QApplication::activePopupWidget();
    if (popup == nullptr) {
      popup = QApplication::activeModalWidget();
    }
    if (popup != nullptr && !seen) {
      seen = true;
      inspect(popup);
      popup->close();
    }
  });
  timer.start();
  action();
  for (int i = 0; i < 5; ++i) {
    QTest::qWait(10);
  }
  timer.stop();
  if (!seen) {
    inspect(nullptr);
  }
}

class QtMainWindowTest : public ::testing::Test {
 protected:
  // The main window with frmMain, or with a recorder in frmMain's place.
  QtFormWindow* ShowMain(bool recordOnly) {
    FormEvents* target = recordOnly ? static_cast<FormEvents*>(&events) : &form;
    tk.RegisterWindow("frmMain", [target](QtToolkit& toolkit) {
      return std::make_unique<QtFormWindow>(toolkit, frmMain::Definition(), target);
    });
    tk.Show("frmMain");
    auto* window = qobject_cast<QtFormWindow*>(tk.Window("frmMain"));
    EXPECT_NE(window, nullptr);
    QApplication::setActiveWindow(window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    return window;
  }

  void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  QtToolkit tk;
  frmMain form{tk};
  RecordingEvents events;
};

TEST_F(QtMainWindowTest, WindowIsBuiltFromItsDefinition) {
  QtFormWindow* window = ShowMain(false);
  EXPECT_EQ(window->windowTitle(), "Halvarin");
  QWidget* client = window->ClientArea();
  EXPECT_EQ(client->size(), QSize(window->Px(6210), window->Px(4155)));

  auto* status = qobject_cast<QStatusBar*>(window->Control("StatusBar1"));
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->geometry(),
            QRect(0, client->height() - window->Px(255), client->width(), window->Px(255)));
  const QList<QLabel*> panels = status->findChildren<QLabel*>();
  ASSERT_EQ(panels.size(), 1);
  EXPECT_TRUE(panels[0]->text().isEmpty());
  EXPECT_EQ(panels[0]->width(), window->Px(1440));

  QtListView* list = ListOf(window);
  ASSERT_NE(list, nullptr);
  // The resize rule ran before the window showed: the list fills the rest.
  EXPECT_EQ(list->geometry(), QRect(0, 0, client->width(), client->height() - status->height()));
  EXPECT_EQ(list->viewMode(), QListView::IconMode);
  EXPECT_EQ(list->flow(), QListView::LeftToRight);
  EXPECT_EQ(list->iconSize(), QSize(window->Px(480), window->Px(480)));
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_TRUE(list->uniformItemSizes());
  EXPECT_TRUE(list->acceptDrops());
  EXPECT_EQ(list->ImageCount(), 5);
  EXPECT_EQ(QApplication::focusWidget(), list);
}

TEST_F(QtMainWindowTest, MenuTreeHasTheCaptionsAndShortcuts) {
  QtFormWindow* window = ShowMain(false);
  struct Entry {
    QString text;
    QKeySequence shortcut;
    bool separator;
  };
  auto entries = [](const QList<QAction*>& actions) {
    std::vector<Entry> list;
    for (QAction* a : actions) {
      list.push_back({a->text(), a->shortcut(), a->isSeparator()});
    }
    return list;
  };
  const std::vector<Entry> bar = entries(window->menuBar()->actions());
  ASSERT_EQ(bar.size(), 3u);
  EXPECT_EQ(bar[0].text, "&File");
  EXPECT_EQ(bar[1].text, "&Item");
  EXPECT_EQ(bar[2].text, "&Help");

  const std::vector<Entry> file = entries(window->Menu("mnufile")->actions());
  ASSERT_EQ(file.size(), 6u);
  EXPECT_EQ(file[0].text, "&New");
  EXPECT_EQ(file[0].shortcut, QKeySequence(Qt::CTRL | Qt::Key_N));
  EXPECT_EQ(file[1].text, "&Open");
  EXPECT_EQ(file[1].shortcut, QKeySequence(Qt::CTRL | Qt::Key_O));
  EXPECT_EQ(file[2].text, "&Save");
  EXPECT_EQ(file[2].shortcut, QKeySequence(Qt::CTRL | Qt::Key_S));
  EXPECT_EQ(file[3].text, "Save &As");
  EXPECT_TRUE(file[3].shortcut.isEmpty());
  EXPECT_TRUE(file[4].separator);
  EXPECT_EQ(file[5].text, "E&xit");

  const std::vector<Entry> item = entries(window->Menu("mnuitem")->actions());
  ASSERT_EQ(item.size(), 3u);
  EXPECT_EQ(item[0].text, "&Add Item");
  EXPECT_EQ(item[1].text, "&Extract Item");
  EXPECT_EQ(item[2].text, "&Delete Item");
  EXPECT_EQ(item[2].shortcut, QKeySequence(Qt::Key_Delete));

  const std::vector<Entry> help = entries(window->Menu("mnuHelp")->actions());
  ASSERT_EQ(help.size(), 1u);
  EXPECT_EQ(help[0].text, "&About");

  for (QAction* a : window->findChildren<QAction*>()) {
    EXPECT_TRUE(a->isVisible() && a->isEnabled() && !a->isChecked())
        << a->objectName().toStdString();
  }
}

TEST_F(QtMainWindowTest, ShortcutsAndMenuItemsReachTheirHandlers) {
  QtFormWindow* window = ShowMain(true);
  QtListView* list = ListOf(window);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_N, Qt::ControlModifier);
  QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier);
  QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier);
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(events.clicks, (std::vector<std::string>{"mnuFileNew", "mnuFileOpen", "mnufilesave",
                                                     "mnuitemdelete"}));

  events.clicks.clear();
  const std::vector<std::string> items = {"mnuFileNew",     "mnuFileOpen",   "mnufilesave",
                                          "mnufilesaveas",  "mnufileexit",   "mnuitemadd",
                                          "mnuitemextract", "mnuitemdelete", "mnuHelpAbout"};
  for (const std::string& name : items) {
    window->MenuAction(name)->trigger();
  }
  EXPECT_EQ(events.clicks, items);
}

TEST_F(QtMainWindowTest, RightClickOnTheListPopsUpTheItemMenu) {
  QtFormWindow* window = ShowMain(false);
  QtListView* list = ListOf(window);
  tk.ListAdd("frmMain", "ListView1", "ONE.MAP", 5, 5);
  tk.ListAdd("frmMain", "ListView1", "TWO.ART", 4, 4);
  list->doItemsLayout();
  const QPoint onSecond = list->visualItemRect(list->item(1)).center();
  const QPoint empty(list->viewport()->width() - 5, list->viewport()->height() - 5);

  const Qt::KeyboardModifiers modifiers[] = {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier,
                                             Qt::ShiftModifier | Qt::ControlModifier};
  for (Qt::KeyboardModifiers modifier : modifiers) {
    for (QPoint at : {empty, onSecond}) {
      QWidget* shown = nullptr;
      WatchForPopup([&] { QTest::mousePress(list->viewport(), Qt::RightButton, modifier, at); },
                    [&](QWidget* popup) { shown = popup; });
      QTest::mouseRelease(list->viewport(), Qt::RightButton, modifier, at);
      EXPECT_EQ(shown, window->Menu("mnuitem")) << int(modifier);
    }
  }
  // The pop-up acts on the item that was right-clicked.
  EXPECT_EQ(tk.SelectedIndex("frmMain", "ListView1"), 2);
  EXPECT_EQ(tk.SelectedText("frmMain", "ListView1"), "TWO.ART");

  for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton}) {
    QWidget* shown = nullptr;
    WatchForPopup([&] { QTest::mousePress(list->viewport(), button, {}, onSecond); },
                  [&](QWidget* popup) { shown = popup; });
    QTest::mouseRelease(list->viewport(), button, {}, onSecond);
    EXPECT_EQ(shown, nullptr) << int(button);
  }
}

TEST_F(QtMainWindowTest, MouseButtonsAndModifiersReachTheForm) {
  QtFormWindow* window = ShowMain(true);
  QWidget* viewport = ListOf(window)->viewport();
  QTest::mousePress(viewport, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
  QTest::mouseRelease(viewport, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
  QTest::mousePress(viewport, Qt::MiddleButton, Qt::ControlModifier | Qt::AltModifier,
                    QPoint(5, 5));
  QTest::mouseRelease(viewport, Qt::MiddleButton, {}, QPoint(5, 5));
  QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(5, 5));
  QTest::mouseRelease(viewport, Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_EQ(events.downs,
            (std::vector<std::string>{"ListView1:1:1", "ListView1:4:6", "ListView1:2:0"}));
}

TEST_F(QtMainWindowTest, ListItemsThroughTheToolkit) {
  ShowMain(false);
  const std::string f = "frmMain";
  const std::string l = "ListView1";
  tk.ListAdd(f, l, std::string("LEVEL1.MAP\0\0", 12), 5, 5);
  tk.ListAdd(f, l, "SETUP.CFG", 1, 1);
  tk.ListAdd(f, l, "THEME.MID", 3, 3);
  EXPECT_EQ(tk.ListCount(f, l), 3);
  EXPECT_EQ(tk.SelectedIndex(f, l), 0);
  EXPECT_EQ(tk.SelectedText(f, l), "");

  QtListView* list = ListOf(qobject_cast<QtFormWindow*>(tk.Window(f)));
  EXPECT_EQ(list->item(0)->text(), "LEVEL1.MAP");
  list->setCurrentRow(2);
  EXPECT_EQ(tk.SelectedIndex(f, l), 3);
  EXPECT_EQ(tk.SelectedText(f, l), "THEME.MID");

  tk.ListRemove(f, l, 1);
  EXPECT_EQ(tk.ListCount(f, l), 2);
  EXPECT_EQ(list->item(0)->text(), "SETUP.CFG");
  EXPECT_EQ(tk.SelectedIndex(f, l), 2);

  auto expectError = [](int32_t number, const std::function<void()>& call) {
    try {
      call();
      ADD_FAILURE() << "no error";
    } catch (const AppError& error) {
      EXPECT_EQ(error.Number(), number) << error.Description();
    }
  };
  expectError(errSubscriptOutOfRange, [&] { tk.ListRemove(f, l, 3); });
  expectError(errSubscriptOutOfRange, [&] { tk.ListRemove(f, l, 0); });
  expectError(errSubscriptOutOfRange, [&] { tk.ListAdd(f, l, "X", 6, 6); });
  expectError(errInvalidArgument, [&] { tk.SetControlHeight(f, l, -1); });
  expectError(errInvalidArgument, [&] { tk.ListCount(f, "StatusBar1"); });
  expectError(errInvalidArgument, [&] { tk.ControlHeight(f, "NoSuchControl"); });
  expectError(errInvalidArgument, [&] { tk.ListCount("frmNowhere", l); });
  expectError(errInvalidArgument, [&] { tk.Show("frmNowhere"); });
  expectError(errFileNotFound, [&] { tk.StartProgram("/nonexistent/halvarin-no-program"); });
  expectError(errPathFileAccess, [&] { tk.StartProgram(QDir::tempPath().toStdString()); });

  tk.ListClear(f, l);
  EXPECT_EQ(tk.ListCount(f, l), 0);
  EXPECT_EQ(tk.SelectedIndex(f, l), 0);
}

TEST_F(QtMainWindowTest, ResizingTheWindowKeepsTheListAboveTheStatusBar) {
  QtFormWindow* window = ShowMain(false);
  QWidget* client = window->ClientArea();
  const int menuHeight = window->height() - client->height();
  window->resize(window->Px(9000), window->Px(6000) + menuHeight);
  QTest::qWait(20);
  QtListView* list = ListOf(window);
  QWidget* status = window->Control("StatusBar1");
  EXPECT_EQ(client->size(), QSize(window->Px(9000), window->Px(6000)));
  EXPECT_EQ(list->geometry(), QRect(0, 0, client->width(), client->height() - status->height()));
  EXPECT_EQ(status->geometry(),
            QRect(0, client->height() - status->height(), client->width(), status->height()));
  EXPECT_FLOAT_EQ(tk.ControlHeight("frmMain", "StatusBar1"), window->Twips(status->height()));
}

TEST_F(QtMainWindowTest, ShowCreatesOnceAndUnloadDestroys) {
  int made = 0;
  tk.RegisterWindow("frmTest", [&](QtToolkit& toolkit) {
    ++made;
    FormDefinition def;
    def.Name = "frmTest";
    def.Caption = "Test";
    def.ClientWidth = 3000;
    def.ClientHeight = 2000;
    return std::make_unique<QtFormWindow>(toolkit, def, &events);
  });
  tk.Show("frmTest");
  QWidget* first = tk.Window("frmTest");
  tk.Show("frmTest");
  EXPECT_EQ(made, 1);
  EXPECT_EQ(tk.Window("frmTest"), first);
  EXPECT_EQ(events.loads, 1);
  EXPECT_GE(events.resizes, 1);
  EXPECT_FLOAT_EQ(events.lastWidth, 3000);

  tk.Unload("frmTest");
  EXPECT_EQ(events.unloads, 1);
  EXPECT_EQ(tk.Window("frmTest"), nullptr);
  tk.Unload("frmTest");  // not loaded: nothing
  EXPECT_EQ(events.unloads, 1);

  tk.Show("frmTest");
  EXPECT_EQ(made, 2);
  EXPECT_EQ(events.loads, 2);
  tk.Window("frmTest")->close();  // the title bar's close box
  EXPECT_EQ(events.unloads, 2);
  EXPECT_EQ(tk.Window("frmTest"), nullptr);
}

TEST_F(QtMainWindowTest, ExitClosesEveryWindowAndEndsTheProgram) {
  QtFormWindow* window = ShowMain(false);
  QPointer<QtFormWindow> watched(window);
  tk.RegisterWindow("frmOther", [&](QtToolkit& toolkit) {
    FormDefinition def;
    def.Name = "frmOther";
    return std::make_unique<QtFormWindow>(toolkit, def, &events);
  });
  tk.Show("frmOther");
  window->MenuAction("mnufileexit")->trigger();
  EXPECT_TRUE(tk.Ending());
  EXPECT_EQ(tk.Window("frmMain"), nullptr);
  EXPECT_EQ(tk.Window("frmOther"), nullptr);
  EXPECT_EQ(events.unloads, 0);  // ending runs no further handler
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(watched.isNull());
}

TEST_F(QtMainWindowTest, DroppedFilesAndTextReachTheForm) {
  QtFormWindow* window = ShowMain(true);
  QWidget* viewport = ListOf(window)->viewport();
  auto drop = [&](QMimeData& data) {
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &move);
    QDropEvent dropped(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &dropped);
    // Never a move: the source must not delete what was dropped.
    EXPECT_EQ(dropped.dropAction(), Qt::CopyAction);
  };

  QMimeData files;
  files.setUrls({QUrl::fromLocalFile("/tmp/a b.map"), QUrl::fromLocalFile("/tmp/c.voc"),
                 QUrl("https://example.invalid/x.art")});
  files.setText("/tmp/a b.map\n/tmp/c.voc");  // file managers offer the paths as text too
  drop(files);
  EXPECT_EQ(events.dropControl, "ListView1");
  EXPECT_FALSE(events.dropText);
  EXPECT_EQ(events.dropFiles, (std::vector<std::string>{"/tmp/a b.map", "/tmp/c.voc"}));

  QMimeData text;
  text.setText("some words");
  drop(text);
  EXPECT_TRUE(events.dropText);
  EXPECT_TRUE(events.dropFiles.empty());
}

TEST_F(QtMainWindowTest, MessageBoxShowsTextTitleButtonsAndReturnsTheAnswer) {
  int32_t answer = 0;
  WatchForPopup(
      [&] {
        answer = tk.MsgBox("File has changed.\r\nSave now?", vbYesNo | vbQuestion, "Save Changes?");
      },
      [](QWidget* popup) {
        auto* box = qobject_cast<QMessageBox*>(popup);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "File has changed.\nSave now?");
        EXPECT_EQ(box->windowTitle(), "Save Changes?");
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
        box->button(QMessageBox::No)->click();
      });
  EXPECT_EQ(answer, vbNo);

  WatchForPopup([&] { answer = tk.MsgBox("Unavailable", vbOKOnly); },
                [](QWidget* popup) {
                  auto* box = qobject_cast<QMessageBox*>(popup);
                  ASSERT_NE(box, nullptr);
                  EXPECT_EQ(box->windowTitle(), "Halvarin");
                  EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
                  EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
                  box->button(QMessageBox::Ok)->click();
                });
  EXPECT_EQ(answer, vbOK);
}

TEST_F(QtMainWindowTest, AFailingCommandIsReportedNotThrownIntoQt) {
  QtFormWindow* window = ShowMain(true);
  events.onClick = [](const std::string& name) {
    throw AppError(errFileNotFound, "test", "Cannot open x.grp: No such file (" + name + ")");
  };
  QString shown;
  WatchForPopup([&] { window->MenuAction("mnuFileOpen")->trigger(); },
                [&](QWidget* popup) {
                  auto* box = qobject_cast<QMessageBox*>(popup);
                  ASSERT_NE(box, nullptr);
                  shown = box->text();
                  box->button(QMessageBox::Ok)->click();
                });
  EXPECT_EQ(shown, "Cannot open x.grp: No such file (mnuFileOpen)");
}

TEST_F(QtMainWindowTest, DialogControlsFromTheirDefinition) {
  FormDefinition def;
  def.Name = "frmDialog";
  def.Caption = "Dialog";
  def.Border = BorderStyle::FixedDialog;
  def.ClientWidth = 5730;
  def.ClientHeight = 3555;
  ControlDef ok{"cmdOK", ControlKind::CommandButton, -1, 4245, 2625, 1260, 345, 0, {}};
  ok.Settings.Caption = "OK";
  ok.Settings.Default = true;
  ok.Settings.Cancel = true;
  ControlDef label{"lblVersion", ControlKind::Label, -1, 1050, 600, 3885, 225, 6, {}};
  label.Settings.Font = FontDef{"Sans", 9.75, true};
  ControlDef line{"Line1", ControlKind::Line, 2, 0, 0, 0, 0, -1, {}};
  line.Settings.X1 = 960;
  line.Settings.Y1 = 480;
  line.Settings.X2 = 5005;
  line.Settings.Y2 = 480;
  line.Settings.BorderColor = Colour{128, 128, 128};
  ControlDef picture{"picIcon", ControlKind::PictureBox, -1, 240, 240, 540, 540, 1, {}};
  picture.Settings.Picture = ":/images/halvarin.png";
  picture.Settings.Border = FrameStyle::Sunken;
  def.Controls = {ok, label, line, picture};
  tk.RegisterWindow("frmDialog", [&](QtToolkit& toolkit) {
    return std::make_unique<QtFormWindow>(toolkit, def, &events);
  });
  tk.Show("frmDialog");
  auto* window = qobject_cast<QtFormWindow*>(tk.Window("frmDialog"));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->size(), QSize(window->Px(5730), window->Px(3555)));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  ASSERT_NE(window->Control("Line1(2)"), nullptr);
  EXPECT_EQ(window->Control("Line1(2)")->geometry().topLeft(),
            QPoint(window->Px(960), window->Px(480)));

  tk.SetCaption("frmDialog", "lblVersion", "Version 1.0.0");
  EXPECT_EQ(tk.Caption("frmDialog", "lblVersion"), "Version 1.0.0");
  EXPECT_EQ(tk.Caption("frmDialog", "cmdOK"), "OK");
  EXPECT_TRUE(window->Control("lblVersion")->font().bold());

  QApplication::setActiveWindow(window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  EXPECT_EQ(QApplication::focusWidget(), window->Control("cmdOK"));
  QTest::keyClick(window, Qt::Key_Return);
  QTest::keyClick(window, Qt::Key_Escape);
  qobject_cast<QPushButton*>(window->Control("cmdOK"))->click();
  EXPECT_EQ(events.clicks, (std::vector<std::string>{"cmdOK", "cmdOK", "cmdOK"}));
}

}  // namespace
}  // namespace halvarin
