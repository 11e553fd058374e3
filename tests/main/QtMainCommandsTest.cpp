// The main window's commands through the real Qt window, headless: keys,
// real drop events and closing the window, with scripted file dialogs and
// message boxes answered as a user would.

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QtTest/QTest>

#include "QtFormWindow.h"
#include "QtToolkit.h"
#include "SampleArchive.h"
#include "ScriptedCommonDialogs.h"
#include "frmMain.h"

namespace halvarin {
namespace {

namespace fs = std::filesystem;

// A message box as the user saw it.
struct Shown {
  QString text;
  QString title;
  QMessageBox::Icon icon;
};

// Answers every message box that opens, in turn, with the next button of
// `answers`, and keeps what each box showed.
class MessageBoxAnswerer {
 public:
  explicit MessageBoxAnswerer(std::vector<QMessageBox::StandardButton> answers)
      : answers_(std::move(answers)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || box == answered_) {
        return;
      }
      answered_ = box;
      shown.push_back({box->text(), box->windowTitle(), box->icon()});
      const QMessageBox::StandardButton answer =
          next_ < answers_.size() ? answers_[next_++] : QMessageBox::Ok;
      if (QAbstractButton* button = box->button(answer)) {
        button->click();
      } else {
        box->reject();
      }
    });
    timer_.start();
  }

  std::vector<Shown> shown;

 private:
  std::vector<QMessageBox::StandardButton> answers_;
  size_t next_ = 0;
  QTimer timer_;
  QPointer<QMessageBox> answered_;
};

class QtMainCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("halvarin-qt-commands-" +
           std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
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
    ASSERT_NE(list, nullptr);
    list->setFocus();
  }
  void TearDown() override {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    fs::remove_all(dir);
  }

  fs::path DiskFile(const std::string& name, const std::string& bytes) {
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::vector<std::string> Items() const {
    std::vector<std::string> texts;
    for (int i = 0; i < list->count(); ++i) {
      texts.push_back(list->item(i)->text().toStdString());
    }
    return texts;
  }

  // A drag from a file manager or an editor, entered, moved and dropped on
  // the list as Qt delivers it.
  void Drop(QMimeData& data) {
    QWidget* viewport = list->viewport();
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &move);
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &dropped);
  }

  // Ctrl+O of `grp`, through the keyboard.
  void OpenWithKeys(const fs::path& grp) {
    dialogs.PushChoice(grp.string());
    QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier);
  }

  ScriptedCommonDialogs dialogs;
  ScopedCommonDialogs scope{dialogs};
  QtToolkit tk;
  frmMain form{tk};
  QtFormWindow* window = nullptr;
  QtListView* list = nullptr;
  fs::path dir;
};

TEST_F(QtMainCommandsTest, DropDeleteAndSaveWithTheKeyboard) {
  const fs::path grp = dir / "keys.grp";
  WriteGroupArchive(grp.string(), {{"LEVEL1.MAP", "map"}, {"TILES.ART", "art"}});
  OpenWithKeys(grp);
  EXPECT_EQ(Items(), (std::vector<std::string>{"LEVEL1.MAP  ", "TILES.ART   "}));

  // Files from a file manager, which offers their paths as text as well.
  const fs::path song = DiskFile("song.mid", "midi");
  const fs::path folder = dir / "folder";
  fs::create_directories(folder);
  const fs::path demo = DiskFile("play.dmo", "demo");
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(song.string())),
                 QUrl::fromLocalFile(QString::fromStdString(folder.string())),
                 QUrl::fromLocalFile(QString::fromStdString(demo.string()))});
  files.setText(QString::fromStdString(song.string() + "\n" + demo.string()));
  Drop(files);
  EXPECT_EQ(Items(),
            (std::vector<std::string>{"LEVEL1.MAP  ", "TILES.ART   ", "song.mid", "play.dmo"}));

  // A text selection from an editor adds nothing.
  QMimeData text;
  text.setText(QString::fromStdString(song.string()));
  Drop(text);
  EXPECT_EQ(list->count(), 4);

  list->setCurrentRow(0);
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(Items(), (std::vector<std::string>{"TILES.ART   ", "song.mid", "play.dmo"}));

  MessageBoxAnswerer boxes({});
  QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(dialogs.Calls().size(), 1u);  // Save wrote back without a dialog
  clsVarnGRP saved;
  ASSERT_TRUE(saved.LoadFile(grp.string()));
  ASSERT_EQ(saved.NumberOfFiles(), 3);
  EXPECT_EQ(saved.filename(1), "TILES.ART   ");
  EXPECT_EQ(saved.filename(2), "song.mid    ");
  EXPECT_EQ(saved.filename(3), "play.dmo    ");
  EXPECT_FALSE(form.Archive->Changed());
}

TEST_F(QtMainCommandsTest, AShortNameAddedLastCutsNoOtherLabel) {
  const fs::path grp = dir / "labels.grp";
  WriteGroupArchive(grp.string(), {{"LEVEL1.MAP", "map"}, {"SETUP.CFG", "cfg"}});
  OpenWithKeys(grp);
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(DiskFile("a.voc", "a").string()))});
  Drop(files);
  ASSERT_EQ(list->count(), 3);
  list->doItemsLayout();
  const int needed = list->fontMetrics().horizontalAdvance(QStringLiteral("LEVEL1.MAP"));
  for (int i = 0; i < list->count(); ++i) {
    EXPECT_GT(list->visualItemRect(list->item(i)).width(), needed) << i;
  }
}

TEST_F(QtMainCommandsTest, ClosingWithUnsavedChangesAsksOnceAndEnds) {
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(DiskFile("a.art", "a").string()))});
  Drop(files);
  ASSERT_EQ(list->count(), 1);

  QPointer<QtFormWindow> watched(window);
  MessageBoxAnswerer boxes({QMessageBox::No});
  window->close();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "File has changed.\nSave now?");
  EXPECT_EQ(boxes.shown[0].title, "Save Changes?");
  EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Question);
  EXPECT_TRUE(tk.Ending());
  EXPECT_EQ(tk.Window("frmMain"), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(watched.isNull());
}

TEST_F(QtMainCommandsTest, ClosingKeepsTheWindowWhenTheSaveFails) {
  const fs::path grp = dir / "kept.grp";
  WriteGroupArchive(grp.string(), {{"LEVEL1.MAP", "map"}});
  OpenWithKeys(grp);
  const fs::path gone = DiskFile("gone.voc", "x");
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString(gone.string()))});
  Drop(files);
  fs::remove(gone);

  {
    MessageBoxAnswerer boxes({QMessageBox::Yes, QMessageBox::Ok});
    window->close();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].title, "Halvarin");
    EXPECT_EQ(boxes.shown[1].icon, QMessageBox::Warning);
    EXPECT_TRUE(boxes.shown[1].text.contains("gone.voc")) << boxes.shown[1].text.toStdString();
  }
  EXPECT_FALSE(tk.Ending());
  EXPECT_EQ(tk.Window("frmMain"), window);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(list->count(), 2);
  EXPECT_TRUE(form.Archive->Changed());

  // The second time the user gives up the edits.
  MessageBoxAnswerer boxes({QMessageBox::No});
  window->close();
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_TRUE(tk.Ending());
  clsVarnGRP onDisk;
  ASSERT_TRUE(onDisk.LoadFile(grp.string()));
  EXPECT_EQ(onDisk.NumberOfFiles(), 1);
}

}  // namespace
}  // namespace halvarin
