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

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "FaultyFileSystem.h"
#include "QtFormWindow.h"
#include "QtProgressWindow.h"
#include "QtToolkit.h"
#include "SampleArchive.h"
#include "ScriptedCommonDialogs.h"
#include "clsVarnGRPTestAccess.h"
#include "frmMain.h"

namespace halvarin {
namespace {

namespace fs = std::filesystem;
using testing::Op;

std::map<std::string, std::string> Files(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::ifstream in(e.path(), std::ios::binary);
    files[e.path().filename().string()] =
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

TEST(QtProgressTest, CancelInTheWindowAtTheFirstMiddleAndLastReport) {
  const fs::path dir = fs::temp_directory_path() / ("halvarin-qt-progress-" +
                                                    std::to_string(QCoreApplication::applicationPid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  // Three pieces of copying, then the flush before the last report.
  WriteGroupArchive((dir / "a.grp").string(),
                    {{"BIG.ART", std::string((9 << 20) + 5, 'b')}, {"S.MAP", "map"}});
  std::ofstream(dir / "x.art") << "an older x";

  ScriptedCommonDialogs dialogs;
  ScopedCommonDialogs scope{dialogs};
  QtToolkit tk;
  frmMain form{tk};
  tk.RegisterWindow("frmMain", [&form](QtToolkit& toolkit) {
    return std::make_unique<QtFormWindow>(toolkit, frmMain::Definition(), &form);
  });
  tk.Show("frmMain");
  auto* window = qobject_cast<QtFormWindow*>(tk.Window("frmMain"));
  auto* list = qobject_cast<QtListView*>(window->Control("ListView1"));
  dialogs.PushChoice((dir / "a.grp").string());
  window->MenuAction("mnuFileOpen")->trigger();
  testing::FaultyFileSystem faulty;
  clsVarnGRPTestAccess::UseFileSystem(*form.Archive, faulty);
  list->setCurrentRow(1);
  window->MenuAction("mnuitemdelete")->trigger();  // an edit to lose
  const auto before = Files(dir);
  struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      count += event->type() == QEvent::Paint ? 1 : 0;
      return false;
    }
  } painted;
  list->viewport()->installEventFilter(&painted);

  struct Case {
    const char* command;
    Op heldBefore;  // the report after the next call of this is the one cancelled
    int nth;
  };
  const Case cases[] = {{"mnufilesave", Op::CopyRange, 1},    {"mnufilesave", Op::CopyRange, 2},
                        {"mnufilesave", Op::Sync, 1},         {"mnuitemextract", Op::CopyRange, 1},
                        {"mnuitemextract", Op::CopyRange, 2}, {"mnuitemextract", Op::Sync, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + std::to_string(c.nth));
    std::promise<void> cancelled;
    std::shared_future<void> pressed = cancelled.get_future().share();
    faulty.Before(c.heldBefore, c.nth, [pressed] {
      pressed.wait_for(std::chrono::seconds(20));
    });
    QString shown;
    int paintsAtShow = -1;
    int boxes = 0;
    QTimer watch;
    watch.setInterval(10);
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
        return;
      }
      if (painted.count == paintsAtShow) {
        return;
      }
      progress->CancelButton()->click();
      cancelled.set_value();
    });
    watch.start();
    list->setCurrentRow(0);
    if (c.command == std::string("mnuitemextract")) {
      dialogs.PushChoice((dir / "x.art").string());
    }
    window->MenuAction(c.command)->trigger();
    watch.stop();

    EXPECT_TRUE(shown.contains(c.command == std::string("mnufilesave") ? "a.grp" : "x.art"))
        << shown.toStdString();
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(Files(dir), before);
    EXPECT_TRUE(form.Archive->Changed());
    EXPECT_TRUE(form.HasFile);
    EXPECT_EQ(list->count(), 1);
  }
  // The same commands, not cancelled, still work.
  window->MenuAction("mnufilesave")->trigger();
  EXPECT_FALSE(form.Archive->Changed());
  EXPECT_EQ(Files(dir).size(), 2u);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace halvarin
