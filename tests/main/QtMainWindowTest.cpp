// The real main window on Qt, headless: what the recording toolkit cannot
// show (the window as built, shortcuts, the right-click pop-up, real drops
// and drags, Qt's boxes and file dialogs, the close a failed save vetoes, the
// command guard, the progress window), one check each, and one script run
// against both toolkits so that the double cannot drift from Qt.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>
#include <chrono>
#include <deque>
#include <future>

#include "AppError.h"
#include "ArchiveBytes.h"
#include "FaultyFileSystem.h"
#include "QtFormWindow.h"
#include "QtProgressWindow.h"
#include "QtToolkit.h"
#include "QtWatch.h"
#include "RecordingToolkit.h"
#include "SampleArchive.h"
#include "ScriptedCommonDialogs.h"
#include "TempDir.h"
#include "frmMain.h"

namespace halvarin::testing {
namespace {

// Records the events a window sends, for tests of the window alone.
struct RecordingEvents : FormEvents {
  void Click(const std::string& name) override {
    clicks.push_back(name);
    if (fail) throw AppError(errFileNotFound, "test", "Cannot open x.grp: No such file (" + name + ")");
  }
  void MouseDown(const std::string& control, int16_t button, int16_t shift, float, float) override {
    clicks.push_back(control + ":" + std::to_string(button) + ":" + std::to_string(shift));
  }
  std::vector<std::string> clicks;
  bool fail = false;
};

using BoxStep = std::function<void(QMessageBox*)>;
using DialogStep = std::function<void(QFileDialog*)>;

BoxStep Press(QMessageBox::StandardButton button) {
  return [button](QMessageBox* box) { box->button(button)->click(); };
}
// Types into the name box and presses the accept button; the list's
// selection is cleared as typing with the focus in the box would.
void Type(QFileDialog* dialog, const std::string& path) {
  dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"))->clearSelection();
  auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  name->setText(QString::fromStdString(path));
  static_cast<QDialog*>(dialog)->accept();
}

class QtMainWindowTest : public ::testing::Test {
 protected:
  void Show(FormEvents* events) {
    tk.RegisterWindow("frmMain", [events](QtToolkit& toolkit) {
      return std::make_unique<QtFormWindow>(toolkit, frmMain::Definition(), events);
    });
    tk.Show("frmMain");
    window = qobject_cast<QtFormWindow*>(tk.Window("frmMain"));
    ASSERT_NE(window, nullptr);
    QApplication::setActiveWindow(window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    list = qobject_cast<QtListView*>(window->Control("ListView1"));
    list->setFocus();
  }
  void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  // Runs `action`, each box and file dialog that opens taking the next step
  // of its kind; with none left a box gets No or OK, a dialog is cancelled.
  // Keeps every box met as "title|text|icon".
  void Run(const std::function<void()>& action) {
    WatchModals(action, [this](QWidget* open) {
      if (auto* box = qobject_cast<QMessageBox*>(open)) {
        texts.push_back(box->windowTitle() + "|" + box->text() + "|" +
                        QString::number(box->icon()));
        if (boxes.empty()) {
          box->button(box->button(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok)->click();
        } else {
          const BoxStep step = boxes.front();
          boxes.pop_front();
          step(box);
        }
      } else if (auto* dialog = qobject_cast<QFileDialog*>(open); dialog && !dialogs.empty()) {
        const DialogStep step = dialogs.front();
        dialogs.pop_front();
        step(dialog);
      }
    });
  }
  void Menu(const char* item) { Run([&] { window->MenuAction(item)->trigger(); }); }
  Qt::DropAction DropFiles(const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : paths) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    data.setUrls(urls);
    data.setText(QString::fromStdString(paths.front()));  // file managers offer text too
    return Drop(list->viewport(), data);
  }
  std::vector<std::string> Items() const {
    std::vector<std::string> items;
    for (int i = 0; i < list->count(); ++i) items.push_back(list->item(i)->text().toStdString());
    return items;
  }

  TempDir dir;
  ScriptedCommonDialogs scripted;
  QtToolkit tk;
  frmMain form{tk, scripted};
  frmMain real{tk};  // on Qt's own file dialogs
  RecordingEvents events;
  QtFormWindow* window = nullptr;
  QtListView* list = nullptr;
  std::deque<BoxStep> boxes;
  std::deque<DialogStep> dialogs;
  std::vector<QString> texts;
};

TEST_F(QtMainWindowTest, TheWindowAsTheUserSeesIt) {
  Show(&form);
  EXPECT_EQ(window->windowTitle(), "Halvarin");
  QWidget* client = window->ClientArea();
  EXPECT_EQ(client->size(), QSize(window->Px(6210), window->Px(4155)));
  QStringList menus;
  for (QAction* bar : window->menuBar()->actions()) {
    menus << bar->text();
    for (QAction* a : bar->menu()->actions()) {
      menus << (a->isSeparator() ? "-" : a->text() + " " + a->shortcut().toString());
    }
  }
  EXPECT_EQ(menus.join("|").toStdString(),
            "&File|&New Ctrl+N|&Open Ctrl+O|&Save Ctrl+S|Save &As |-|E&xit |&Item|&Add Item |"
            "&Extract Item |&Delete Item Del|&Help|&About ");
  auto* status = qobject_cast<QStatusBar*>(window->Control("StatusBar1"));
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->height(), window->Px(255));
  EXPECT_EQ(std::tuple(list->viewMode(), list->selectionMode(), list->editTriggers(), list->ImageCount()),
            std::tuple(QListView::IconMode, QAbstractItemView::SingleSelection, QAbstractItemView::NoEditTriggers, 5));
  // Also once resized by the user: the list fills the client area above the status bar.
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(status->geometry(), QRect(0, client->height() - status->height(), client->width(),
                                        status->height()));
    EXPECT_EQ(list->geometry(), QRect(0, 0, client->width(), client->height() - status->height()));
    window->resize(window->Px(9000), window->Px(6000) + window->height() - client->height());
    QTest::qWait(20);
  }
}

TEST_F(QtMainWindowTest, ShortcutsMouseButtonsAndTheRightClickPopUp) {
  Show(&events);
  for (const auto& [key, modifiers] : {std::pair{Qt::Key_N, Qt::ControlModifier}, {Qt::Key_O, Qt::ControlModifier},
                                      {Qt::Key_S, Qt::ControlModifier}, {Qt::Key_Delete, Qt::NoModifier}}) {
    QTest::keyClick(list, key, modifiers);
  }
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
  EXPECT_EQ(DropFiles({dir / "a.mid", dir / "folder", dir / "play.dmo"}), Qt::CopyAction);
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

// A drag out of the list offers the entry's bytes as a file; dropped back on
// the list it adds nothing.
TEST_F(QtMainWindowTest, ADragOffersTheEntryAsAFile) {
  Show(&form);
  WriteGroupArchive(dir / "a.grp", {{"ONE.MAP", "1"}, {"../TWO.ART", "22"}});
  scripted.PushChoice(dir / "a.grp");
  window->MenuAction("mnuFileOpen")->trigger();
  const std::unique_ptr<QMimeData> data = list->DragData(1);
  ASSERT_TRUE(data != nullptr && data->urls().size() == 1);
  EXPECT_EQ(ReadAll(data->urls()[0].toLocalFile().toStdString()), "22");
  EXPECT_EQ(Drop(list->viewport(), *data), Qt::IgnoreAction);
  EXPECT_EQ(list->count(), 2);
}

TEST_F(QtMainWindowTest, AFailedSaveKeepsTheWindowOpenWithTheEdits) {
  Show(&form);
  WriteAll(dir / "gone.voc", "x");
  DropFiles({dir / "gone.voc"});
  fs::remove(dir / "gone.voc");
  scripted.PushChoice(dir / "kept.grp");  // Save As after Yes
  boxes = {Press(QMessageBox::Yes)};
  Run([&] { window->close(); });
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "Save Changes?|File has changed.\nSave now?|4");
  EXPECT_TRUE(texts[1].startsWith("Halvarin|") && texts[1].contains("gone.voc") &&
              texts[1].endsWith("|2"))
      << texts[1].toStdString();
  EXPECT_TRUE(!tk.Ending() && window->isVisible() && list->count() == 1);

  QPointer<QtFormWindow> watched(window);
  Run([&] { window->close(); });  // No
  EXPECT_TRUE(texts.size() == 3u && tk.Ending() && tk.Window("frmMain") == nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(watched.isNull());
  EXPECT_FALSE(fs::exists(dir / "kept.grp"));
}

TEST_F(QtMainWindowTest, AFailingCommandIsShownNotThrownIntoQt) {
  Show(&events);
  events.fail = true;
  Menu("mnuFileOpen");
  Run([&] { tk.MsgBox("Unavailable", vbOKOnly, ""); });
  EXPECT_EQ(texts, (std::vector<QString>{"Halvarin|Cannot open x.grp: No such file (mnuFileOpen)|3",
                                         "Halvarin|Unavailable|0"}));
}

// Esc and the title bar's close button answer Cancel, or OK on a box with
// nothing else; a box with neither must be answered with a button.
TEST_F(QtMainWindowTest, EscAndCloseAnswerOnlyCancelOrALoneOk) {
  const std::vector<std::pair<int32_t, int32_t>> escapes = {
      {vbOKOnly, vbOK},          {vbOKCancel, vbCancel},     {vbAbortRetryIgnore, 0},
      {vbYesNoCancel, vbCancel}, {vbYesNo | vbQuestion, 0}, {vbRetryCancel, vbCancel}};
  for (const bool byKey : {true, false}) {
    for (const auto& [style, escape] : escapes) {
      SCOPED_TRACE(std::to_string(style) + (byKey ? " Esc" : " close"));
      bool stayed = false;
      boxes = {[&, byKey](QMessageBox* box) {
                 byKey ? QTest::keyClick(box, Qt::Key_Escape) : void(box->close());
                 stayed = box->isVisible();
               },
               [](QMessageBox* box) { box->buttons().front()->click(); }};
      int32_t answer = 0;
      Run([&] { answer = tk.MsgBox("Sure?", style, "Question"); });
      EXPECT_EQ(stayed, escape == 0);
      EXPECT_EQ(answer, escape == 0 ? answer : escape);
    }
  }
}

// Save As in Qt's dialog after Yes to the question before closing asks
// about replacing the name that will be written, ".grp" included, and No
// keeps the dialog open.
TEST_F(QtMainWindowTest, ReplacingTheNameWithItsExtensionIsAskedAbout) {
  Show(&real);
  WriteAll(dir / "kept.grp", "unrelated");
  WriteAll(dir / "a.voc", "sound");
  DropFiles({dir / "a.voc"});
  boxes = {Press(QMessageBox::Yes), Press(QMessageBox::No), Press(QMessageBox::Yes)};
  dialogs = {[&](QFileDialog* dialog) {
    Type(dialog, dir / "kept");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(ReadAll(dir / "kept.grp"), "unrelated");
    Type(dialog, dir / "kept");
  }};
  Run([&] { window->close(); });
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_TRUE(texts[1].contains("kept.grp already exists")) << texts[1].toStdString();
  EXPECT_EQ(ReadAll(dir / "kept.grp"), ArchiveBytes({{Padded("a.voc"), "sound"}}));
}

// A save and an extraction held at a progress report until Cancel is pressed
// in the progress window, over a main window that keeps painting: every file
// and the document stay as they were, with no message. (Cancel at every
// report is the archive's own test.)
TEST_F(QtMainWindowTest, CancelInTheProgressWindow) {
  Show(&form);
  WriteGroupArchive(dir / "a.grp", {{"BIG.ART", std::string((4 << 20) + 5, 'b')}, {"S.MAP", "map"}});
  WriteAll(dir / "x.art", "an older x");
  FaultyFileSystem faulty;
  form.Archive = std::make_unique<clsVarnGRP>(faulty);
  ASSERT_TRUE(form.Archive->LoadFile(dir / "a.grp"));
  form.HasFile = true;
  form.RefreshList();
  list->setCurrentRow(1);
  window->MenuAction("mnuitemdelete")->trigger();  // an edit to lose
  const auto files = [&] {
    std::map<std::string, std::string> all;
    for (const std::string& name : dir.Names()) all[name] = ReadAll(dir / name);
    return all;
  };
  const auto before = files();
  struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      count += event->type() == QEvent::Paint ? 1 : 0;
      return false;
    }
  } painted;
  list->viewport()->installEventFilter(&painted);
  // Held before the `nth` call of `op`; the report after it finds Cancel pressed.
  for (const auto& [command, op, nth] : {std::tuple{"mnufilesave", Op::Sync, 1}, {"mnuitemextract", Op::CopyRange, 1}}) {
    SCOPED_TRACE(command);
    std::promise<void> cancelled;
    std::shared_future<void> pressed = cancelled.get_future().share();
    faulty.Before(op, nth, [pressed] { pressed.wait_for(std::chrono::seconds(20)); });
    QString shown;
    int paintsAtShow = -1, shownBoxes = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        ++shownBoxes;
        box->reject();
      }
      auto* progress = qobject_cast<QtProgressWindow*>(QApplication::activeModalWidget());
      if (progress == nullptr || !progress->CancelButton()->isEnabled()) return;
      if (paintsAtShow < 0) {  // the main window must keep painting under it
        shown = progress->findChild<QLabel*>()->text();
        paintsAtShow = painted.count;
        list->viewport()->update();
      } else if (painted.count > paintsAtShow) {
        progress->CancelButton()->click();
        cancelled.set_value();
      }
    });
    watch.start(10);
    list->setCurrentRow(0);
    if (command == std::string("mnuitemextract")) scripted.PushChoice(dir / "x.art");
    window->MenuAction(command)->trigger();
    watch.stop();
    EXPECT_TRUE(shown.contains(command == std::string("mnufilesave") ? "a.grp" : "x.art")) << shown.toStdString();
    EXPECT_EQ(shownBoxes, 0);
    EXPECT_EQ(files(), before);
    EXPECT_TRUE(form.Archive->Changed() && form.HasFile);
    EXPECT_EQ(list->count(), 1);
  }
  window->MenuAction("mnufilesave")->trigger();  // not cancelled, it works
  EXPECT_FALSE(form.Archive->Changed());
}

// The same calls on the recording toolkit and on Qt's give the same answers.
TEST_F(QtMainWindowTest, TheDoubleBehavesAsTheRealToolkit) {
  Show(&form);
  RecordingToolkit double_;
  const auto run = [](Toolkit& t, const std::function<void()>& selectThird) {
    const std::string f = "frmMain", l = "ListView1";
    const auto error = [&](const std::function<void()>& call) {
      try {
        call();
        return std::string(" 0");
      } catch (const AppError& e) {
        return " " + std::to_string(e.Number());
      }
    };
    for (const char* text : {"A.MAP", "B.ART", "C.VOC"}) t.ListAdd(f, l, text, 1, 1);
    std::string seen = std::to_string(t.ListCount(f, l)) + std::to_string(t.SelectedIndex(f, l));
    selectThird();
    t.ListRemove(f, l, 1);
    seen += std::to_string(t.SelectedIndex(f, l)) + t.SelectedText(f, l);
    // Not compared: removing the selected item leaves no selection in the
    // double, while Qt selects the next item.
    t.ListRemove(f, l, 1);
    seen += error([&] { t.ListRemove(f, l, 2); }) + error([&] { t.ListRemove(f, l, 0); }) +
            error([&] { t.SetControlHeight(f, l, -1); });
    t.SetControlWidth(f, l, 1500);
    t.ListClear(f, l);
    return seen + std::to_string(t.ListCount(f, l)) + std::to_string(t.SelectedIndex(f, l)) +
           std::to_string(t.ControlWidth(f, l));
  };
  EXPECT_EQ(run(double_, [&] { double_.Select("frmMain", "ListView1", 3); }),
            run(tk, [&] { list->setCurrentRow(2); }));
}

}  // namespace
}  // namespace halvarin::testing
