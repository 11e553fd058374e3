// Entries dragged out of the real main window's list, headless: what the
// drag offers is a file with the name Extract Item offers, holding exactly
// the entry's bytes, also for hostile names; a queued item offers its own
// file; nothing is left once the program has ended.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "QtFormWindow.h"
#include "QtToolkit.h"
#include "SampleArchive.h"
#include "ScriptedCommonDialogs.h"
#include "frmMain.h"

namespace halvarin {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Drop(QtListView* list, QMimeData& data) {
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(list->viewport(), &enter);
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(list->viewport(), &drop);
}

TEST(QtDragOutTest, ADragOffersTheEntryAsAFileUnderItsSafeName) {
  const fs::path dir = fs::temp_directory_path() /
                       ("halvarin-drag-test-" + std::to_string(QCoreApplication::applicationPid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::vector<ArchiveEntry> entries = {
      {"../../x.map", "up"},   {"CON", "device"},   {"a/b\\c.art", "slashes"},
      {"\x01" "bad.dat", "ctl"}, {"end...", "dots"}, {"caf\xE9.mid", std::string(70000, 'm')}};
  WriteGroupArchive((dir / "a.grp").string(), entries);
  const std::string archiveBytes = ReadFile(dir / "a.grp");
  std::ofstream(dir / "queued.voc") << "queued";

  ScriptedCommonDialogs dialogs;
  QtToolkit tk;
  auto form = std::make_unique<frmMain>(tk, dialogs);
  tk.RegisterWindow("frmMain", [&form](QtToolkit& toolkit) {
    return std::make_unique<QtFormWindow>(toolkit, frmMain::Definition(), form.get());
  });
  tk.Show("frmMain");
  auto* window = qobject_cast<QtFormWindow*>(tk.Window("frmMain"));
  auto* list = qobject_cast<QtListView*>(window->Control("ListView1"));
  dialogs.PushChoice((dir / "a.grp").string());
  window->MenuAction("mnuFileOpen")->trigger();
  QMimeData queued;
  queued.setUrls({QUrl::fromLocalFile(QString::fromStdString((dir / "queued.voc").string()))});
  Drop(list, queued);
  ASSERT_EQ(list->count(), 7);

  fs::path root;
  for (int row = 0; row < list->count(); ++row) {
    SCOPED_TRACE(row);
    // The name Extract Item offers in its dialog, cancelled.
    list->setCurrentRow(row);
    dialogs.PushCancel();
    window->MenuAction("mnuitemextract")->trigger();
    const std::string offered = dialogs.Calls().back().record.lpstrFile->c_str();

    const std::unique_ptr<QMimeData> data = list->DragData(row);
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->urls().size(), 1);
    const fs::path file = data->urls()[0].toLocalFile().toStdString();
    if (row == 6) {
      EXPECT_EQ(file, dir / "queued.voc");
      EXPECT_EQ(offered, "queued.voc");
      continue;
    }
    EXPECT_EQ(file.filename().string(), offered);
    EXPECT_EQ(ReadFile(file), entries[static_cast<size_t>(row)].Data);
    // Every copy in a folder of its own inside one private folder.
    if (root.empty()) {
      root = file.parent_path().parent_path();
      EXPECT_EQ(fs::status(root).permissions(), fs::perms::owner_all);
    }
    EXPECT_EQ(file.parent_path().parent_path(), root);

    // Dropped back on the list, it adds nothing.
    Drop(list, *data);
    EXPECT_EQ(list->count(), 7);
  }
  EXPECT_EQ(ReadFile(dir / "a.grp"), archiveBytes);
  EXPECT_EQ(form->Archive->NumberOfFiles(), 6);

  delete window;
  form.reset();
  EXPECT_FALSE(fs::exists(root));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace halvarin
