// The window never loses edits or files through a box or a dialog: the real
// window, Qt's own message boxes and file dialogs, driven headless as a user
// would drive them.

#include <sys/stat.h>

#include <deque>
#include <functional>

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QUrl>

#include "ArchiveBytes.h"
#include "QtFormWindow.h"
#include "QtToolkit.h"
#include "QtWatch.h"
#include "SampleArchive.h"
#include "TempDir.h"
#include "frmMain.h"

namespace halvarin::testing {
namespace {

using BoxStep = std::function<void(QMessageBox*)>;
using DialogStep = std::function<void(QFileDialog*)>;

BoxStep Press(QMessageBox::StandardButton button) {
  return [button](QMessageBox* box) { box->button(button)->click(); };
}
// Types into the name box and presses the accept button; the list's
// selection is cleared as typing with the focus in the box would.
void Type(QFileDialog* dialog, const std::string& path) {
  dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"))->clearSelection();
  dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(path));
  static_cast<QDialog*>(dialog)->accept();
}
DialogStep Choose(const std::string& path) {
  return [path](QFileDialog* dialog) { Type(dialog, path); };
}

class QtNoLostEditsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tk.RegisterWindow("frmMain", [this](QtToolkit& toolkit) {
      return std::make_unique<QtFormWindow>(toolkit, frmMain::Definition(), &form);
    });
    tk.Show("frmMain");
    window = qobject_cast<QtFormWindow*>(tk.Window("frmMain"));
    ASSERT_NE(window, nullptr);
    list = qobject_cast<QtListView*>(window->Control("ListView1"));
  }
  void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  // Runs `action`, each box and file dialog that opens taking the next step
  // of its kind; with none left a box gets No or OK, a dialog is cancelled.
  void Run(const std::function<void()>& action) {
    WatchModals(action, [this](QWidget* open) {
      if (auto* box = qobject_cast<QMessageBox*>(open)) {
        texts.push_back(box->text());
        const BoxStep step = boxes.empty() ? Press(box->button(QMessageBox::No) ? QMessageBox::No
                                                                                 : QMessageBox::Ok)
                                           : boxes.front();
        boxes.empty() ? void() : boxes.pop_front();
        step(box);
      } else if (auto* dialog = qobject_cast<QFileDialog*>(open); dialog && !dialogs.empty()) {
        const DialogStep step = dialogs.front();
        dialogs.pop_front();
        step(dialog);
      }
    });
  }
  void Menu(const char* item) { Run([&] { window->MenuAction(item)->trigger(); }); }
  std::string DropFile(const std::string& name, const std::string& bytes) {
    WriteAll(dir / name, bytes);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir / name))});
    Drop(list->viewport(), data);
    return dir / name;
  }
  std::vector<std::string> Items() const {
    std::vector<std::string> texts;
    for (int i = 0; i < list->count(); ++i) {
      texts.push_back(list->item(i)->text().toStdString());
    }
    return texts;
  }

  TempDir dir;
  QtToolkit tk;
  frmMain form{tk};
  QtFormWindow* window = nullptr;
  QtListView* list = nullptr;
  std::deque<BoxStep> boxes;
  std::deque<DialogStep> dialogs;
  std::vector<QString> texts;  // every box as it was met
};

// Esc and the title bar's close button answer Cancel, or OK on a box with
// nothing else; a box with neither must be answered with a button.
TEST_F(QtNoLostEditsTest, EscAndCloseAnswerOnlyCancelOrALoneOk) {
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
      if (escape != 0) {
        EXPECT_EQ(answer, escape);
      }
    }
  }
}

// The question before closing the window keeps its box up through Esc and
// the close button; the edits then reach a file by the user's answer.
TEST_F(QtNoLostEditsTest, SaveChangesCannotBeEscaped) {
  DropFile("a.voc", "sound");
  boxes = {[](QMessageBox* box) {
             QTest::keyClick(box, Qt::Key_Escape);
             box->close();
           },
           Press(QMessageBox::Yes)};
  dialogs = {Choose(dir / "kept")};
  Run([&] { window->close(); });
  EXPECT_EQ(texts.size(), 2u);
  EXPECT_EQ(ReadAll(dir / "kept.grp"), ArchiveBytes({{Padded("a.voc"), "sound"}}));
}

// Save As asks about the name that will be written, ".grp" included, and
// Extract asks too; Save to the archive's own file does not, whatever that
// file is called. After a save the list shows the names as stored.
TEST_F(QtNoLostEditsTest, ReplacingAFileIsAskedAboutFirst) {
  WriteGroupArchive(dir / "game", {{"LEVEL1.MAP", "map"}});
  WriteAll(dir / "game.grp", "unrelated");
  dialogs = {Choose(dir / "game")};
  Menu("mnuFileOpen");
  const std::string notes = DropFile("notes.txt", "notes");
  DropFile("averyveryverylongnamewithoutdot", "long");
  dialogs = {[&](QFileDialog* dialog) {
    for (const char* typed : {"game", "notes.txt"}) {
      Type(dialog, dir / typed);
      EXPECT_TRUE(dialog->isVisible()) << typed;  // No keeps the dialog open
    }
  }};
  Menu("mnufilesaveas");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_TRUE(texts[0].startsWith("game.grp already exists")) << texts[0].toStdString();
  EXPECT_TRUE(texts[1].startsWith("notes.txt already exists"));
  EXPECT_EQ(ReadAll(dir / "game.grp"), "unrelated");
  EXPECT_EQ(ReadAll(notes), "notes");

  Menu("mnufilesave");
  EXPECT_EQ(texts.size(), 2u);
  EXPECT_EQ(Items(), (std::vector<std::string>{"LEVEL1.MAP  ", "notes.txt   ", "averyveryver"}));
  EXPECT_EQ(ReadAll(dir / "game.grp"), "unrelated");

  dialogs = {Choose(dir / "game")};
  boxes = {Press(QMessageBox::Yes)};
  Menu("mnufilesaveas");
  EXPECT_EQ(texts.size(), 3u);
  EXPECT_EQ(ReadAll(dir / "game.grp"), ReadAll(dir / "game"));

  list->setCurrentRow(1);
  dialogs = {Choose(notes)};
  Menu("mnuitemextract");
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_TRUE(texts[3].startsWith("notes.txt already exists"));
}

// A typed path too long for the dialog's answer is refused in the dialog,
// with a message; it is never taken for a cancel.
TEST_F(QtNoLostEditsTest, ALongPathIsRefusedWithAMessage) {
  DropFile("a.voc", "sound");
  std::string deep = dir.Path().string();
  for (char c = 'a'; c < 'f'; ++c) {
    deep += "/" + std::string(200, c);
  }
  dialogs = {[&](QFileDialog* dialog) {
    Type(dialog, deep + "/x.grp");
    EXPECT_TRUE(dialog->isVisible());
  }};
  Menu("mnufilesave");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_TRUE(texts[0].startsWith("The path is too long: " + QString::fromStdString(dir.Path().string())))
      << texts[0].toStdString();
  EXPECT_TRUE(form.Archive->Changed());
}

// Add Item refuses at once, naming the file, what no save could read.
TEST_F(QtNoLostEditsTest, AddItemRefusesWhatIsNoOrdinaryFile) {
  ASSERT_EQ(::mkfifo((dir / "pipe.voc").c_str(), 0600), 0);
  for (const std::string& path : {dir / "missing.voc", dir / "pipe.voc", std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    texts.clear();
    dialogs = {Choose(path)};
    Menu("mnuitemadd");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(texts[0].contains(QString::fromStdString(path))) << texts[0].toStdString();
    EXPECT_EQ(list->count(), 0);
  }
  EXPECT_FALSE(form.Archive && form.Archive->Changed());
}

}  // namespace
}  // namespace halvarin::testing
