// The real main window on Qt, headless: what the recording toolkit cannot
// show (the window as built, shortcuts, the right-click pop-up, real drops
// and drags, Qt's boxes, the close an unfinished save vetoes, the command guard,
// the progress window), one check each, and the script every toolkit runs
// (ToolkitContract.h) on both, so that the double cannot drift from Qt. The
// commands' logic is frmMainTest's, on the double.

#include <gtest/gtest.h>

#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <future>

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
#include "ToolkitContract.h"
#include "frmMain.h"

namespace halvarin::testing {
namespace {

// Records the events a window sends, for tests of the window alone.
struct RecordingEvents : FormEvents {
  void Click(const std::string& name) override {
    clicks.push_back(name);
    if (fail) {
      throw AppError(errFileNotFound, "test", "Cannot open x.grp: No such file (" + name + ")");
    }
  }
  void MouseDown(const std::string& control, int16_t button, int16_t shift, float, float) override {
    clicks.push_back(control + ":" + std::to_string(button) + ":" + std::to_string(shift));
  }
  std::vector<std::string> clicks;
  bool fail = false;
};

class QtMainWindowTest : public ::testing::Test {
 protected:
  void Show(FormEvents* events) {
    tk.RegisterWindow("frmMain", [events](QtToolkit& toolkit) {
      return std::make_unique<QtFormWindow>(toolkit, frmMain::Definition(), events);
    });
    tk.Show("frmMain");
    window = qobject_cast<QtFormWindow*>(tk.Window("frmMain"));
    QApplication::setActiveWindow(window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    list = qobject_cast<QtListView*>(window->Control("ListView1"));
    list->setFocus();
  }
  void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  // Runs `action`; each box that opens is kept as "title|text|icon" and
  // answered by `answer`, by default with its default button. Any other
  // window goes to `other`.
  void Run(const std::function<void()>& action, const std::function<void(QWidget*)>& other = {}) {
    WatchModals(action, [&](QWidget* open) {
      auto* box = qobject_cast<QMessageBox*>(open);
      if (box == nullptr) {
        return other ? other(open) : void();
      }
      texts.push_back(box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon()));
      answer(box);
    });
  }

  TempDir dir;
  ScriptedCommonDialogs scripted;
  QtToolkit tk;
  frmMain form{tk, scripted};
  RecordingEvents events;
  QtFormWindow* window = nullptr;
  QtListView* list = nullptr;
  std::function<void(QMessageBox*)> answer = [](QMessageBox* b) { b->defaultButton()->click(); };
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
  EXPECT_EQ(status->height(), window->Px(255));
  EXPECT_EQ(
      std::tuple(list->viewMode(), list->selectionMode(), list->editTriggers(), list->ImageCount()),
      std::tuple(QListView::IconMode, QAbstractItemView::SingleSelection,
                 QAbstractItemView::NoEditTriggers, 5));
  // Also once resized by the user: the list fills the client area above the status bar.
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(status->geometry(),
              QRect(0, client->height() - status->height(), client->width(), status->height()));
    EXPECT_EQ(list->geometry(), QRect(0, 0, client->width(), client->height() - status->height()));
    window->resize(window->Px(9000), window->Px(6000) + window->height() - client->height());
    QTest::qWait(20);
  }
}

TEST_F(QtMainWindowTest, ShortcutsMouseButtonsAndAFailingCommandShownNotThrownIntoQt) {
  Show(&events);
  QTest::keySequence(list, QKeySequence("Del"));  // which key is which is in the menus' text
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
  QTest::mouseClick(list->viewport(), Qt::MiddleButton, Qt::ControlModifier | Qt::AltModifier,
                    QPoint(5, 5));
  EXPECT_EQ(events.clicks,
            (std::vector<std::string>{"mnuitemdelete", "ListView1:1:1", "ListView1:4:6"}));
  events.fail = true;
  Run([&] { window->MenuAction("mnuFileOpen")->trigger(); });
  EXPECT_EQ(texts,
            std::vector<QString>{"Halvarin|Cannot open x.grp: No such file (mnuFileOpen)|3"});
}

// Real drops add files, as a copy, and a short name added last cuts no
// label; a drag out of the list offers the entry's bytes as a file, which
// dropped back on the list adds nothing; the right button pops up the Item
// menu on the item it selects.
TEST_F(QtMainWindowTest, RealDropsDragsAndTheRightClickPopUp) {
  Show(&form);
  WriteGroupArchive(dir / "a.grp", {{"LEVEL1.MAP", "1"}, {"../TWO.ART", "22"}});
  scripted.PushChoice(dir / "a.grp");
  window->MenuAction("mnuFileOpen")->trigger();
  WriteAll(dir / "a.mid", "midi");
  WriteAll(dir / "play.dmo", "demo");
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir / "a.mid")),
                 QUrl::fromLocalFile(QString::fromStdString(dir / "play.dmo"))});
  files.setText(files.urls()[0].toLocalFile());              // file managers offer text too
  EXPECT_EQ(Drop(list->viewport(), files), Qt::CopyAction);  // a move would delete the files
  const std::unique_ptr<QMimeData> data = list->DragData(1);
  ASSERT_TRUE(data != nullptr && data->urls().size() == 1);
  EXPECT_EQ(ReadAll(data->urls()[0].toLocalFile().toStdString()), "22");
  EXPECT_EQ(Drop(list->viewport(), *data), Qt::IgnoreAction);
  ASSERT_EQ(list->count(), 4);
  EXPECT_EQ(list->item(2)->text() + list->item(3)->text(), "a.midplay.dmo");
  list->doItemsLayout();
  const int needed = list->fontMetrics().horizontalAdvance(QStringLiteral("LEVEL1.MAP"));
  for (int i = 0; i < list->count(); ++i) {
    EXPECT_GT(list->visualItemRect(list->item(i)).width(), needed) << i;
  }
  const QPoint onSecond = list->visualItemRect(list->item(1)).center();
  std::string shown;  // with the item selected when it shows
  WatchModals([&] { QTest::mousePress(list->viewport(), Qt::RightButton, {}, onSecond); },
              [&](QWidget* popup) {
                shown = popup == window->Menu("mnuitem") ? tk.SelectedText("frmMain", "ListView1")
                                                         : "?";
              });
  QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, onSecond);
  EXPECT_EQ(shown, "../TWO.ART  ");
}

// Each box with its icon, titled with the program's name unless given one.
// Esc and the title bar's close button answer Cancel, or OK on a box with
// nothing else; a box with neither stays, to be answered with a button.
TEST_F(QtMainWindowTest, BoxIconsAndEscAndCloseAnsweringOnlyCancelOrALoneOk) {
  std::string seen;
  for (const bool byKey : {true, false}) {
    answer = [&](QMessageBox* box) {
      seen += std::to_string(box->icon());
      byKey ? QTest::keyClick(box, Qt::Key_Escape) : void(box->close());
      if (box->isVisible()) {
        seen += " stayed";
        box->defaultButton()->click();
      }
    };
    for (const int32_t style : std::initializer_list<int32_t>{
             vbOKOnly, vbOKCancel | vbExclamation, vbAbortRetryIgnore | vbInformation,
             vbYesNoCancel, vbYesNo | vbQuestion, vbRetryCancel | vbCritical}) {
      Run([&] { seen += " " + std::to_string(tk.MsgBox("Sure?", style, "")) + "|"; });
    }
  }
  EXPECT_EQ(seen, "0 1|2 2|1 stayed 3|0 2|4 stayed 6|3 2|0 1|2 2|1 stayed 3|0 2|4 stayed 6|3 2|");
  EXPECT_EQ(texts.front(), "Halvarin|Sure?|0");
}

// Closing with edits asks first; after Yes, a save held at a progress report
// until Cancel is pressed in the progress window leaves the window open with
// the file and the document as they were and nothing more to say. No then
// closes it for good. (Cancel at every report is the archive's own test.)
TEST_F(QtMainWindowTest, ASaveCancelledInTheProgressWindowKeepsTheWindowOpen) {
  Show(&form);
  WriteGroupArchive(dir / "a.grp",
                    {{"BIG.ART", std::string((4 << 20) + 5, 'b')}, {"S.MAP", "map"}});
  FaultyFileSystem faulty;
  form.Archive = std::make_unique<clsVarnGRP>(faulty);
  ASSERT_TRUE(form.Archive->LoadFile(dir / "a.grp"));
  form.HasFile = true;
  form.RefreshList();
  list->setCurrentRow(1);
  window->MenuAction("mnuitemdelete")->trigger();  // an edit to lose
  std::promise<void> cancelled;
  faulty.Before(Op::Sync, 1, [pressed = cancelled.get_future().share()] {
    pressed.wait_for(std::chrono::seconds(20));
  });
  QString shown;
  QPointer<QtFormWindow> watched(window);
  Run([&] { window->close(); },  // Yes, the question's default button
      [&](QWidget* open) {
        auto* progress = qobject_cast<QtProgressWindow*>(open);
        if (progress == nullptr || !progress->CancelButton()->isEnabled()) {
          return;
        }
        shown = progress->findChild<QLabel*>()->text();
        progress->CancelButton()->click();
        cancelled.set_value();
      });
  EXPECT_TRUE(shown.contains("a.grp")) << shown.toStdString();
  EXPECT_EQ(texts, std::vector<QString>{"Save Changes?|File has changed.\nSave now?|4"});
  ASSERT_TRUE(!tk.Ending() && watched && window->isVisible() && form.Archive->Changed() &&
              list->count() == 1);

  answer = [](QMessageBox* box) { box->button(QMessageBox::No)->click(); };
  Run([&] { window->close(); });
  EXPECT_TRUE(texts.size() == 2u && tk.Ending() && tk.Window("frmMain") == nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(watched.isNull());
}

// The same calls on the recording toolkit and on Qt's give the same answers.
TEST_F(QtMainWindowTest, TheDoubleBehavesAsTheRealToolkit) {
  Show(&form);
  RecordingToolkit double_;
  EXPECT_EQ(ToolkitContract(double_, [&] { double_.Select("frmMain", "ListView1", 3); }),
            ToolkitContract(tk, [&] { list->setCurrentRow(2); }));
}

}  // namespace
}  // namespace halvarin::testing
