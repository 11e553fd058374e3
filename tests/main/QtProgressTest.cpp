// The progress window of the real main window, headless: a save and an
// extraction held at a chosen progress report until Cancel is pressed in the
// window, which must then leave every file and the document as they were,
// with no message.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "FaultyFileSystem.h"
#include "QtFormWindow.h"
#include "QtProgressWindow.h"
#include "QtToolkit.h"
#include "SampleArchive.h"
#include "ScriptedCommonDialogs.h"
#include "frmMain.h"

namespace halvarin {
namespace {

namespace fs = std::filesystem;
using testing::Op;

std::map<std::string, std::string> Files(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::ifstream in(e.path(), std::ios::binary);
    files[e.path().filename().string()].assign(std::istreambuf_iterator<char>(in), {});
  }
  return files;
}

struct PaintCounter : QObject {
  int count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    count += event->type() == QEvent::Paint ? 1 : 0;
    return false;
  }
};

TEST(QtProgressTest, CancelInTheWindowAtTheFirstMiddleAndLastReport) {
  const fs::path dir = fs::temp_directory_path() /
                       ("halvarin-qt-progress-" + std::to_string(QCoreApplication::applicationPid()));
  fs::create_directories(dir);
  // Two pieces of copying, then the flush before the last report.
  WriteGroupArchive((dir / "a.grp").string(),
                    {{"BIG.ART", std::string((4 << 20) + 5, 'b')}, {"S.MAP", "map"}});
  std::ofstream(dir / "x.art") << "an older x";
  ScriptedCommonDialogs dialogs;
  QtToolkit tk;
  frmMain form{tk, dialogs};
  tk.RegisterWindow("frmMain", [&form](QtToolkit& toolkit) {
    return std::make_unique<QtFormWindow>(toolkit, frmMain::Definition(), &form);
  });
  tk.Show("frmMain");
  auto* window = qobject_cast<QtFormWindow*>(tk.Window("frmMain"));
  auto* list = qobject_cast<QtListView*>(window->Control("ListView1"));
  dialogs.PushChoice((dir / "a.grp").string());
  window->MenuAction("mnuFileOpen")->trigger();
  testing::FaultyFileSystem faulty;
  form.Archive = std::make_unique<clsVarnGRP>(faulty);
  ASSERT_TRUE(form.Archive->LoadFile((dir / "a.grp").string()));
  list->setCurrentRow(1);
  window->MenuAction("mnuitemdelete")->trigger();  // an edit to lose
  const auto before = Files(dir);
  PaintCounter painted;
  list->viewport()->installEventFilter(&painted);

  // The operation is held before the `nth` call of `op`; the report that
  // follows it is the one that finds Cancel pressed.
  const std::tuple<std::string, Op, int> cases[] = {
      {"mnufilesave", Op::CopyRange, 1},    {"mnufilesave", Op::CopyRange, 2},
      {"mnufilesave", Op::Sync, 1},         {"mnuitemextract", Op::CopyRange, 1},
      {"mnuitemextract", Op::CopyRange, 2}, {"mnuitemextract", Op::Sync, 1}};
  for (const auto& [command, op, nth] : cases) {
    SCOPED_TRACE(command + " " + std::to_string(nth));
    std::promise<void> cancelled;
    std::shared_future<void> pressed = cancelled.get_future().share();
    faulty.Before(op, nth, [pressed] { pressed.wait_for(std::chrono::seconds(20)); });
    QString shown;
    int paintsAtShow = -1;
    int boxes = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        ++boxes;
        box->reject();
      }
      auto* progress = qobject_cast<QtProgressWindow*>(QApplication::activeModalWidget());
      if (progress == nullptr || !progress->CancelButton()->isEnabled()) {
        return;
      }
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
    if (command == "mnuitemextract") {
      dialogs.PushChoice((dir / "x.art").string());
    }
    window->MenuAction(command)->trigger();
    watch.stop();

    EXPECT_TRUE(shown.contains(command == "mnufilesave" ? "a.grp" : "x.art")) << shown.toStdString();
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(Files(dir), before);
    EXPECT_TRUE(form.Archive->Changed());
    EXPECT_TRUE(form.HasFile);
    EXPECT_EQ(list->count(), 1);
  }
  window->MenuAction("mnufilesave")->trigger();  // not cancelled, it works
  EXPECT_FALSE(form.Archive->Changed());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace halvarin
