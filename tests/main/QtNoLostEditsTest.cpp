// The window never loses edits or files through a box or a dialog: the real
// window, Qt's own message boxes and file dialogs, driven headless as a user
// would drive them.

#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QtTest/QTest>

#include "QtFormWindow.h"
#include "QtToolkit.h"
#include "SampleArchive.h"
#include "frmMain.h"

namespace halvarin {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Acts on the modal widgets that open, each kind with its own queue of
// steps; with no step left a box gets No or OK and a file dialog is
// cancelled. Two timers, because a timer does not fire again while its own
// slot runs a nested event loop.
class Driver {
 public:
  template <typename W>
  using Steps = std::deque<std::function<void(W*)>>;

  Driver() {
    Watch<QFileDialog>(dialogTimer_, dialogSteps, [](QFileDialog* dialog) { dialog->reject(); });
    Watch<QMessageBox>(boxTimer_, boxSteps, [](QMessageBox* box) {
      box->button(box->button(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok)->click();
    });
  }

  static std::function<void(QMessageBox*)> Answer(QMessageBox::StandardButton button) {
    return [button](QMessageBox* box) { box->button(button)->click(); };
  }
  // Types into the name box and presses the accept button; the list's
  // selection is cleared as typing with the focus in the box would.
  static void Type(QFileDialog* dialog, const fs::path& path) {
    dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"))->clearSelection();
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
        ->setText(QString::fromStdString(path.string()));
    static_cast<QDialog*>(dialog)->accept();
  }
  static std::function<void(QFileDialog*)> Choose(const fs::path& path) {
    return [path](QFileDialog* dialog) { Type(dialog, path); };
  }

  Steps<QFileDialog> dialogSteps;
  Steps<QMessageBox> boxSteps;
  std::vector<QString> texts;  // every box as the driver met it

 private:
  template <typename W>
  void Watch(QTimer& timer, Steps<W>& steps, std::function<void(W*)> otherwise) {
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [this, &steps, otherwise] {
      auto* widget = qobject_cast<W*>(QApplication::activeModalWidget());
      if (widget == nullptr || !widget->isVisible()) {
        return;
      }
      if constexpr (std::is_same_v<W, QMessageBox>) {
        texts.push_back(widget->text());
      }
      const auto step = steps.empty() ? otherwise : steps.front();
      if (!steps.empty()) {
        steps.pop_front();
      }
      step(widget);
    });
    timer.start();
  }

  QTimer dialogTimer_;
  QTimer boxTimer_;
};

class QtNoLostEditsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("halvarin-no-lost-edits-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    tk.RegisterWindow("frmMain", [this](QtToolkit& toolkit) {
      return std::make_unique<QtFormWindow>(toolkit, frmMain::Definition(), &form);
    });
    tk.Show("frmMain");
    window = qobject_cast<QtFormWindow*>(tk.Window("frmMain"));
    ASSERT_NE(window, nullptr);
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    list = qobject_cast<QtListView*>(window->Control("ListView1"));
  }
  void TearDown() override {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    fs::remove_all(dir);
  }

  fs::path DiskFile(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return dir / name;
  }
  void Menu(const char* item) { window->MenuAction(item)->trigger(); }
  void DropFile(const fs::path& path) {
    const int before = list->count();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path.string()))});
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(list->viewport(), &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(list->viewport(), &drop);
    ASSERT_EQ(list->count(), before + 1) << path;
  }
  std::vector<std::string> Items() const {
    std::vector<std::string> texts;
    for (int i = 0; i < list->count(); ++i) {
      texts.push_back(list->item(i)->text().toStdString());
    }
    return texts;
  }

  Driver driver;
  QtToolkit tk;
  frmMain form{tk};
  QtFormWindow* window = nullptr;
  QtListView* list = nullptr;
  fs::path dir;
};

// Esc and the title bar's close button answer Cancel, or OK on a box with
// nothing else; a box with neither must be answered with a button.
TEST_F(QtNoLostEditsTest, EscAndCloseAnswerOnlyCancelOrALoneOk) {
  const std::vector<std::pair<int32_t, int32_t>> escapes = {
      {vbOKOnly, vbOK},         {vbOKCancel, vbCancel},   {vbAbortRetryIgnore, 0},
      {vbYesNoCancel, vbCancel}, {vbYesNo | vbQuestion, 0}, {vbRetryCancel, vbCancel}};
  for (const bool byKey : {true, false}) {
    for (const auto& [style, escape] : escapes) {
      SCOPED_TRACE(std::to_string(style) + (byKey ? " Esc" : " close"));
      bool stayed = false;
      driver.boxSteps.push_back([&, byKey](QMessageBox* box) {
        byKey ? QTest::keyClick(box, Qt::Key_Escape) : void(box->close());
        stayed = box->isVisible();
      });
      driver.boxSteps.push_back([](QMessageBox* box) { box->buttons().front()->click(); });
      const int32_t answer = tk.MsgBox("Sure?", style, "Question");
      EXPECT_EQ(stayed, escape == 0);
      if (escape != 0) {
        EXPECT_EQ(answer, escape);
        driver.boxSteps.clear();
      }
    }
  }
}

// The question before closing the window keeps its box up through Esc and
// the close button; the edits then reach a file by the user's answer.
TEST_F(QtNoLostEditsTest, SaveChangesCannotBeEscaped) {
  DropFile(DiskFile("a.voc", "sound"));
  driver.boxSteps = {[](QMessageBox* box) {
                       QTest::keyClick(box, Qt::Key_Escape);
                       box->close();
                     },
                     Driver::Answer(QMessageBox::Yes)};
  driver.dialogSteps = {Driver::Choose(dir / "kept")};
  window->close();
  EXPECT_EQ(driver.texts.size(), 2u);
  clsVarnGRP saved;
  ASSERT_TRUE(saved.LoadFile((dir / "kept.grp").string()));
  EXPECT_EQ(saved.NumberOfFiles(), 1);
}

// Save As asks about the name that will be written, ".grp" included, and
// Extract asks too; Save to the archive's own file does not. After a save the
// list shows the names as stored.
TEST_F(QtNoLostEditsTest, ReplacingAFileIsAskedAboutFirst) {
  const fs::path other = DiskFile("mod.grp", "unrelated");
  const fs::path notes = DiskFile("notes.txt", "notes");
  DropFile(DiskFile("averyveryverylongnamewithoutdot", "long"));
  driver.dialogSteps = {[&](QFileDialog* dialog) {
    for (const char* typed : {"mod", "notes.txt"}) {
      Driver::Type(dialog, dir / typed);
      EXPECT_TRUE(dialog->isVisible()) << typed;  // No keeps the dialog open
    }
  }};
  Menu("mnufilesaveas");
  ASSERT_EQ(driver.texts.size(), 2u);
  EXPECT_TRUE(driver.texts[0].startsWith("mod.grp already exists")) << driver.texts[0].toStdString();
  EXPECT_TRUE(driver.texts[1].startsWith("notes.txt already exists"));
  EXPECT_EQ(ReadFile(other), "unrelated");
  EXPECT_EQ(ReadFile(notes), "notes");

  driver.dialogSteps = {Driver::Choose(dir / "mod")};
  driver.boxSteps = {Driver::Answer(QMessageBox::Yes)};
  Menu("mnufilesaveas");
  EXPECT_EQ(driver.texts.size(), 3u);
  EXPECT_EQ(Items(), std::vector<std::string>{"averyveryver"});
  DropFile(notes);
  Menu("mnufilesave");
  EXPECT_EQ(driver.texts.size(), 3u);
  EXPECT_EQ(Items(), (std::vector<std::string>{"averyveryver", "notes.txt   "}));

  list->setCurrentRow(1);
  driver.dialogSteps = {Driver::Choose(notes)};
  Menu("mnuitemextract");
  ASSERT_EQ(driver.texts.size(), 4u);
  EXPECT_TRUE(driver.texts[3].startsWith("notes.txt already exists"));
}

// File > Save writes back to the file that was opened, whatever its name.
TEST_F(QtNoLostEditsTest, SaveWritesToTheFileThatWasOpened) {
  const fs::path game = dir / "game";
  WriteGroupArchive(game.string(), {{"LEVEL1.MAP", "map"}});
  const fs::path other = DiskFile("game.grp", "unrelated");
  driver.dialogSteps = {Driver::Choose(game)};
  Menu("mnuFileOpen");
  DropFile(DiskFile("a.voc", "sound"));
  Menu("mnufilesave");
  EXPECT_TRUE(driver.texts.empty());
  clsVarnGRP saved;
  ASSERT_TRUE(saved.LoadFile(game.string()));
  EXPECT_EQ(saved.NumberOfFiles(), 2);
  EXPECT_EQ(ReadFile(other), "unrelated");
}

// A typed path too long for the dialog's answer is refused in the dialog,
// with a message; it is never taken for a cancel.
TEST_F(QtNoLostEditsTest, ALongPathIsRefusedWithAMessage) {
  DropFile(DiskFile("a.voc", "sound"));
  fs::path deep = dir;
  for (int i = 0; i < 5; ++i) {
    deep /= std::string(200, static_cast<char>('a' + i));
  }
  driver.dialogSteps = {[&](QFileDialog* dialog) {
    Driver::Type(dialog, deep / "x.grp");
    EXPECT_TRUE(dialog->isVisible());
  }};
  Menu("mnufilesave");
  ASSERT_EQ(driver.texts.size(), 1u);
  EXPECT_TRUE(driver.texts[0].startsWith("The path is too long: " + QString::fromStdString(dir)))
      << driver.texts[0].toStdString();
  EXPECT_TRUE(form.Archive->Changed());
}

// Add Item refuses at once, naming the file, what no save could read.
TEST_F(QtNoLostEditsTest, AddItemRefusesWhatIsNoOrdinaryFile) {
  const fs::path fifo = dir / "pipe.voc";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const fs::path& path : {dir / "missing.voc", fifo, fs::path("/dev/null")}) {
    SCOPED_TRACE(path.string());
    driver.texts.clear();
    driver.dialogSteps = {Driver::Choose(path)};
    Menu("mnuitemadd");
    ASSERT_EQ(driver.texts.size(), 1u);
    EXPECT_TRUE(driver.texts[0].contains(QString::fromStdString(path.string())))
        << driver.texts[0].toStdString();
    EXPECT_EQ(list->count(), 0);
  }
  EXPECT_FALSE(form.Archive && form.Archive->Changed());
}

}  // namespace
}  // namespace halvarin
