// The real main window on Qt, headless: what the recording toolkit cannot
// show (the window as built, shortcuts, the right-click pop-up, real drops
// and drags, Qt's boxes, the close an unfinished save vetoes, the command guard,
// the progress window), one check each, and the script every toolkit runs
// (ToolkitContract.h) on both, so that the double cannot drift from Qt. The
// commands' logic is frmMainTest's, on the double.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <QAccessible>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <csignal>
#include <future>

#include "ArchiveBytes.h"
#include "ArchiveLock.h"
#include "ChildProcess.h"
#include "EndOnSignal.h"
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
  FaultyFileSystem faulty;
  QtToolkit tk;
  frmMain form{tk, scripted, faulty};
  RecordingEvents events;
  QtFormWindow* window = nullptr;
  QtListView* list = nullptr;
  std::function<void(QMessageBox*)> answer = [](QMessageBox* b) { b->defaultButton()->click(); };
  std::vector<QString> texts;
};

TEST_F(QtMainWindowTest, TheWindowShowsItsMenusAndFillsItsClientAreaWithTheListAndStatusBar) {
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
  // Read out as shown, less padding and control characters.
  form.AddListItem(std::string("LEVEL1.MAP\0\0", 12));
  form.AddListItem("\001bad.dat   ");
  QAccessibleInterface* items = QAccessible::queryAccessibleInterface(list);
  EXPECT_EQ(QStringList({list->accessibleName(), status->accessibleName(),
                         items->child(0)->text(QAccessible::Name),
                         items->child(1)->text(QAccessible::Name)}),
            QStringList({"Entries", "Status", "LEVEL1.MAP", "bad.dat"}));
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

TEST_F(QtMainWindowTest, ShortcutsAndMouseButtonsReachTheFormAndAFailingCommandIsShownInABox) {
  Show(&events);
  QTest::keySequence(list, QKeySequence("Del"));  // which key is which is in the menus' text
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 5));
  QTest::mouseClick(list->viewport(), Qt::MiddleButton, Qt::ControlModifier | Qt::AltModifier,
                    QPoint(5, 5));
  QTest::keyClick(list, Qt::Key_Menu);  // the keyboard's pop-up requests: a right click
  QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
  EXPECT_EQ(events.clicks,
            (std::vector<std::string>{"mnuitemdelete", "ListView1:1:1", "ListView1:4:6",
                                      "ListView1:2:0", "ListView1:2:0"}));
  events.fail = true;
  Run([&] { window->MenuAction("mnuFileOpen")->trigger(); });
  EXPECT_EQ(texts,
            std::vector<QString>{"Halvarin|Cannot open x.grp: No such file (mnuFileOpen)|3"});
}

// Real drops add files, as a copy, by their bytes (a name need not be
// UTF-8), and a short name added last cuts no label; a file from another
// copy of the program's drag folder is copied, so it saves after that
// program has gone. The right button, the Menu key and Shift+F10 pop up the
// Item menu on the item selected, the keys there and not at the mouse.
TEST_F(QtMainWindowTest, DropsAddCopiesByTheirBytesAndThePopUpOpensOnTheSelectedItem) {
  Show(&form);
  WriteGroupArchive(dir / "a.grp", {{"LEVEL1.MAP", "1"}, {"../TWO.ART", "22"}});
  scripted.PushChoice(dir / "a.grp");
  window->MenuAction("mnuFileOpen")->trigger();
  WriteAll(dir / "a.mid", "midi");
  WriteAll(dir / "b\xff.dmo", "demo");
  fs::create_directories(dir.Path() / "halvarin-drag-other/1");
  WriteAll(dir / "halvarin-drag-other/1/FROMA.TXT", "from a");
  QMimeData files;
  files.setUrls(
      {QUrl::fromLocalFile(QString::fromStdString(dir / "a.mid")),
       QUrl::fromEncoded("file://" +
                         QByteArray::fromStdString(dir / "b\xff.dmo").toPercentEncoding("/")),
       QUrl::fromLocalFile(QString::fromStdString(dir / "halvarin-drag-other/1/FROMA.TXT"))});
  files.setText(files.urls()[0].toLocalFile());              // file managers offer text too
  EXPECT_EQ(Drop(list->viewport(), files), Qt::CopyAction);  // a move would delete the files
  fs::remove_all(dir.Path() / "halvarin-drag-other");
  ASSERT_EQ(list->count(), 5);
  EXPECT_EQ(list->item(2)->text() + list->item(4)->text(), "a.midFROMA.TXT");
  list->doItemsLayout();
  const int needed = list->fontMetrics().horizontalAdvance(QStringLiteral("LEVEL1.MAP"));
  for (int i = 0; i < list->count(); ++i) {
    EXPECT_GT(list->visualItemRect(list->item(i)).width(), needed) << i;
  }
  Run([&] { window->MenuAction("mnufilesave")->trigger(); });
  clsVarnGRP saved;
  ASSERT_TRUE(saved.LoadFile(dir / "a.grp"));
  // The undecodable name and FROMA.TXT, without a word.
  EXPECT_EQ(std::tuple(saved.NumberOfFiles(), saved.FileSize(4) + saved.FileSize(5), texts.size()),
            std::tuple(5, 4 + 6, 0u));

  const QPoint onSecond = list->visualItemRect(list->item(1)).center();
  std::vector<std::string> shown;  // with the item selected when it shows, and where
  const auto popUp = [&](const std::function<void()>& how) {
    WatchModals(how, [&](QWidget* popup) {
      shown.push_back(popup == window->Menu("mnuitem") ? tk.SelectedText("frmMain", "ListView1")
                                                       : "?");
      const QPoint from = popup->pos() - list->viewport()->mapToGlobal(onSecond);
      shown.back() += from.manhattanLength() <= 2 ? " there" : "";
    });
  };
  popUp([&] { QTest::mousePress(list->viewport(), Qt::RightButton, {}, onSecond); });
  QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, onSecond);
  QCursor::setPos(window->mapToGlobal(QPoint(1, 1)));
  popUp([&] { QTest::keyClick(list, Qt::Key_Menu); });
  popUp([&] { QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier); });
  EXPECT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown.at(1) + "|" + shown.at(2), "../TWO.ART   there|../TWO.ART   there");
}

// A drag offers the entry's bytes as a file, which dropped back on the list
// adds nothing, in the session's runtime folder. Every copy stays while the
// program runs; a drag folder that someone else has put in the place of
// ours is never written into, nor cleaned up. A drag whose button came up
// while its copy was written does not start.
TEST_F(QtMainWindowTest, DragsOfferCopiesThatStayInAFolderThatIsStillOurs) {
  const std::string run = dir / "run";
  fs::create_directory(run);
  fs::permissions(run, fs::perms::owner_all);
  const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(run));
  Show(&form);
  WriteGroupArchive(dir / "a.grp", {{"LEVEL1.MAP", "1"}, {"TWO.ART", std::string(5 << 20, '2')}});
  form.OpenArchive(dir / "a.grp");
  const auto drag = [&](int row) {
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, QPoint(1, 1));
    const std::unique_ptr<QMimeData> data = list->DragData(row);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, QPoint(1, 1));
    if (!data || data->urls().size() != 1 || Drop(list->viewport(), *data) != Qt::IgnoreAction) {
      return fs::path();
    }
    return fs::path(data->urls()[0].toLocalFile().toStdString());
  };
  const fs::path first = drag(0), root = first.parent_path().parent_path();
  EXPECT_EQ(root.parent_path(), run);
  const fs::path second = drag(1);
  EXPECT_EQ(ReadAll(first) + std::to_string(ReadAll(second).size()), "1" + std::to_string(5 << 20));

  // A cleaner removes the folder, and another user makes one by its name.
  fs::remove_all(root);
  fs::create_directory(root);
  fs::permissions(root, fs::perms::all);
  (void)::chown(root.c_str(), kNobody, kNobody);
  const fs::path third = drag(0);
  EXPECT_EQ(ReadAll(third), "1");
  EXPECT_TRUE(fs::is_empty(root));  // so not in it

  // The button comes up while the progress window shows.
  std::promise<void> released;
  faulty.Before(Op::SyncFiles, 1,
                [up = released.get_future().share()] { up.wait_for(std::chrono::seconds(20)); });
  QTest::mousePress(list->viewport(), Qt::LeftButton, {}, QPoint(1, 1));
  std::unique_ptr<QMimeData> stuck;
  WatchModals([&] { stuck = list->DragData(1); },
              [&](QWidget* progress) {
                if (qobject_cast<QtProgressWindow*>(progress) != nullptr) {
                  QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, QPoint(1, 1));
                  released.set_value();
                  // Not closed by the watch, which would cancel the copy.
                  EXPECT_TRUE(QTest::qWaitFor([&] { return !progress->isVisible(); }));
                }
              });
  EXPECT_EQ(stuck, nullptr);
  EXPECT_EQ(list->count(), 2);
  form.RemoveDragCopies();
  EXPECT_FALSE(fs::exists(third));
  EXPECT_TRUE(fs::is_empty(root));  // throws when it is gone
  qputenv("XDG_RUNTIME_DIR", previous);
}

// The recovery question as Qt shows it: the reason, then the offer, Yes
// the default; Yes fills the list with what is left.
TEST_F(QtMainWindowTest, ADamagedArchiveAsksToOpenWhatIsLeft) {
  Show(&form);
  const std::string bytes = ArchiveBytes({{Padded("A.MAP"), "map"}, {Padded("B.ART"), "art"}});
  WriteAll(dir / "cut.grp", bytes.substr(0, bytes.size() - 1));
  scripted.PushChoice(dir / "cut.grp");
  Run([&] { window->MenuAction("mnuFileOpen")->trigger(); });
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_TRUE(texts[0].startsWith("Halvarin|\"" + QString::fromStdString(dir / "cut.grp") +
                                  "\" is damaged: entry 2 (\"B.ART\", 3 bytes at position 52)"))
      << texts[0].toStdString();
  EXPECT_TRUE(texts[0].endsWith(
      ".\n\ncut.grp is damaged: 1 of 2 entries can be recovered. Open them as a new archive?|2"))
      << texts[0].toStdString();
  EXPECT_EQ(list->count(), 1);
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

// Another program that holds the archive's lock until it is killed.
pid_t HoldLock(const std::string& archive) {
  int ready[2];
  if (::pipe(ready) != 0) {
    return -1;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(ArchiveLock::LockPathFor(archive).c_str(), O_CREAT | O_RDWR, 0644);
    ::_exit(fd < 0 || ::flock(fd, LOCK_EX) != 0 || ::write(ready[1], "x", 1) != 1 || ::pause());
  }
  char x = 0;
  const bool held = pid > 0 && ::read(ready[0], &x, 1) == 1;
  ::close(ready[0]), ::close(ready[1]);
  return held ? pid : -1;
}

// A save stopped in its progress window. Cancel before the last report
// leaves every file, the edits and the window as they were, with nothing
// more to say; past it, Cancel is not offered, nor heard when pressed
// anyway, and the save completes without a word of a cancel. A save that
// waits for another program's lock says so, and Cancel ends the wait.
// SIGTERM stops a save as Cancel does, and then the program ends, leaving
// no temporary or lock file. The first runs from closing the window: after
// Yes to the question the window stays; No then closes it for good. (Cancel
// at every report is the archive's own test.)
TEST_F(QtMainWindowTest, CancelOrASignalStopsASaveLeavingEveryFileAsItWas) {
  Show(&form);
  const std::string original =
      ArchiveBytes({{Padded("BIG.ART"), std::string((4 << 20) + 5, 'b')}, {Padded("S.MAP"), "m"}});
  const std::string waiting = "Waiting for another program to finish writing a.grp";
  const std::string cancelling = "Cancelling; every file stays as it was.";
  QPointer<QtFormWindow> watched(window);
  struct Case {
    const char* how;
    Op heldAt;  // Op::Count: held by another program's lock
    std::string shown, after;
  };
  for (const auto& [how, heldAt, shown, after] :
       {Case{"close", Op::Sync, "Writing a.grp", cancelling},
        Case{"Cancel", Op::Rename, "Writing a.grp", "Writing a.grp"},
        Case{"Cancel", Op::Count, waiting, cancelling},
        Case{"SIGTERM", Op::Sync, "Writing a.grp", cancelling}}) {
    SCOPED_TRACE(std::string(how) + " " + std::to_string(int(heldAt)));
    WriteAll(dir / "a.grp", original);
    form.OpenArchive(dir / "a.grp");
    list->setCurrentRow(1);
    window->MenuAction("mnuitemdelete")->trigger();  // an edit to lose
    std::promise<void> pressed;
    const pid_t holder = heldAt == Op::Count ? HoldLock(dir / "a.grp") : 0;
    if (holder == 0) {
      faulty.Before(heldAt, 1, [until = pressed.get_future().share()] {
        until.wait_for(std::chrono::seconds(20));
      });
    }
    int exitStatus = 0;
    EndOnSignal ending(
        tk, [&] { form.RemoveDragCopies(); }, [&](int s) { exitStatus = s; });
    texts.clear();
    std::string seen, seenAfter;
    Run(
        [&] {
          how == std::string("close") ? void(window->close())
                                      : window->MenuAction("mnufilesave")->trigger();
        },
        [&](QWidget* open) {
          auto* progress = qobject_cast<QtProgressWindow*>(open);
          if (progress == nullptr || !seen.empty()) {
            return;
          }
          const auto label = [&] { return progress->findChild<QLabel*>()->text().toStdString(); };
          const std::string before = label();
          const auto* bar = progress->findChild<QProgressBar*>();
          EXPECT_EQ(bar->accessibleName(), "Progress");
          seen =
              before + (bar->isTextVisible() && bar->text().startsWith("0 bytes of 0") ? "?" : "");
          if (how == std::string("SIGTERM")) {
            std::raise(SIGTERM);
          } else {
            // Also as if pressed before the window could take Cancel away.
            progress->CancelButton()->setEnabled(true);
            progress->CancelButton()->click();
          }
          EXPECT_TRUE(QTest::qWaitFor([&] { return label() != before; }, 300) || label() == after);
          seenAfter = label();
          pressed.set_value();
          EXPECT_TRUE(QTest::qWaitFor([&] { return !progress->isVisible(); }));
        });
    if (holder > 0) {
      ::kill(holder, SIGKILL), ::waitpid(holder, nullptr, 0);
      fs::remove(ArchiveLock::LockPathFor(dir / "a.grp"));  // left as a crash leaves it
    }
    const bool saved = heldAt == Op::Rename;
    EXPECT_EQ(seen + "|" + seenAfter, shown + "|" + after);
    EXPECT_EQ(texts.size(), how == std::string("close") ? 1u : 0u);  // only the question
    EXPECT_EQ(ReadAll(dir / "a.grp") == original, !saved);
    EXPECT_EQ(dir.Names(), std::set<std::string>{"a.grp"});
    EXPECT_EQ(exitStatus, how == std::string("SIGTERM") ? 128 + SIGTERM : 0);
    ASSERT_EQ(std::pair(tk.Ending(), watched && watched->isVisible()), std::pair(false, true));
  }
  // Asked: the edits stayed after the signal.
  answer = [](QMessageBox* box) { box->button(QMessageBox::No)->click(); };
  Run([&] { window->close(); });
  EXPECT_EQ(std::tuple(texts.size(), tk.Ending(), tk.Window("frmMain")),
            std::tuple(1u, true, nullptr));
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
