// The real dialog layer, driven headless: the test finds the open file
// dialog, acts on it like a user and checks what comes back.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "QtCommonDialogs.h"
#include "QtWatch.h"
#include "clsFileDialog.h"

namespace halvarin {
namespace {

using namespace std::string_literals;

std::string Bytes(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// Enters a name as dictation or a screen reader does, through the name
// field's accessibility interface, over a file clicked in the list before;
// then presses Open / Save.
void TypeAndAccept(QFileDialog* dialog, const QString& text) {
  auto* list = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return list->model()->rowCount(list->rootIndex()) > 1; }));
  list->selectionModel()->select(list->model()->index(1, 0, list->rootIndex()),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
  name->clearFocus();  // a click on a file takes it away
  QAccessible::queryAccessibleInterface(name)->setText(QAccessible::Value, text);
  static_cast<QDialog*>(dialog)->accept();
}

// Each file dialog that opens gets the next step, or is cancelled when there
// is none; message boxes are recorded and answered.
class QtDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = QFileInfo(temp.path()).canonicalFilePath();
    for (const char* name : {"a.grp", "b.grp", "c.map", "k\xc3\xa4rt\xc3\xa4.grp"}) {
      ASSERT_TRUE(QFile(dir + u'/' + QString::fromUtf8(name)).open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(dir).mkdir(QStringLiteral("sub")));
    dialog.InitDir(Bytes(dir));
  }
  void TearDown() override { EXPECT_TRUE(steps.empty()); }
  void Show(const std::function<void()>& show) {
    testing::WatchModals(show, [this](QWidget* shown) {
      if (auto* box = qobject_cast<QMessageBox*>(shown)) {
        messages.push_back(box->text());
        box->button(answer) ? box->button(answer)->click() : box->reject();
      } else if (auto* file = qobject_cast<QFileDialog*>(shown)) {
        ++dialogs;
        if (!steps.empty()) {
          auto step = std::move(steps.front());
          steps.pop_front();
          step(file);
        }
      }
    });
  }
  void ShowOpen() { Show(std::bind(&clsFileDialog::ShowOpen, &dialog)); }
  void ShowSave() { Show(std::bind(&clsFileDialog::ShowSave, &dialog)); }
  std::string Path(const char* name) const { return Bytes(dir) + '/' + name; }
  void Typing(const char* name) {
    steps.push_back([name](QFileDialog* d) { TypeAndAccept(d, QString::fromUtf8(name)); });
  }

  QTemporaryDir temp;
  QString dir;
  clsFileDialog dialog;
  std::deque<std::function<void(QFileDialog*)>> steps;  // for the next file dialogs
  int dialogs = 0;                                      // file dialogs shown
  std::vector<QString> messages;
  QMessageBox::StandardButton answer = QMessageBox::Yes;
};

TEST_F(QtDialogTest, OpenShowsTheSettingsAndWritesTheChosenFilterBack) {
  dialog.Filter("Varn GRP Files|*.grp|Maps:*.map;*.mp|All Files|*.*|");  // ":" splits as "|" does
  dialog.DialogTitle("Open Archive");
  steps.push_back([&](QFileDialog* open) {
    EXPECT_EQ(open->windowTitle(), "Open Archive");
    EXPECT_EQ(open->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(open->fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(open->directory().absolutePath(), dir);
    EXPECT_EQ(open->nameFilters(),
              (QStringList{"Varn GRP Files (*.grp)", "Maps (*.map *.mp)", "All Files (*)"}));
    EXPECT_EQ(open->selectedNameFilter(), "Varn GRP Files");
    auto* types = open->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    EXPECT_EQ(types->itemText(1), "Maps");  // the description as given
    types->setCurrentIndex(1);
    emit types->activated(1);
    TypeAndAccept(open, QStringLiteral("c.map"));
  });
  ShowOpen();
  EXPECT_EQ(dialog.filename(), Path("c.map"));
  EXPECT_EQ(dialog.FilterIndex(), 2);

  steps.push_back([&](QFileDialog* open) {
    EXPECT_EQ(open->selectedNameFilter(), "Maps");
    // Seeded with the last answer.
    EXPECT_EQ(open->findChild<QLineEdit*>("fileNameEdit")->text(), "c.map");
  });
  ShowOpen();
}

// The desktop's own dialog where there is one; Qt's, as here, elsewhere.
TEST_F(QtDialogTest, SaveAsksBeforeReplacingOnlyWithItsFlagAndAddsTheExtension) {
  dialog.DefaultExt("grp");
  steps.push_back([](QFileDialog* save) {
    EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(save->windowTitle(), "Save As");
    EXPECT_FALSE(save->testOption(QFileDialog::DontUseNativeDialog));
    TypeAndAccept(save, QStringLiteral("a.grp"));
  });
  ShowSave();
  EXPECT_EQ(dialog.filename(), Path("a.grp"));  // replaced unasked: see the questions below

  // With the flag: the name typed, the answer to the question, the name then
  // held. No shows the dialog again (cancelled here).
  dialog.flags(static_cast<int32_t>(OFN_OVERWRITEPROMPT));
  for (const auto& [typed, reply, held] : {std::tuple{"b.grp", QMessageBox::No, "a.grp"},
                                           {"b", QMessageBox::Yes, "b.grp"},
                                           {"newname", QMessageBox::Yes, "newname.grp"},
                                           {"notes.txt", QMessageBox::Yes, "notes.txt"}}) {
    answer = reply;
    Typing(typed);
    ShowSave();
    EXPECT_EQ(dialog.filename(), Path(held));
  }
  EXPECT_EQ(dialogs, 6);
  // Only replacing b.grp with the flag was asked about, by the name written.
  EXPECT_EQ(messages, std::vector<QString>(2, "b.grp already exists.\nDo you want to replace it?"));
}

TEST_F(QtDialogTest, MustExistFlagsRefuseMissingFilesAndFolders) {
  for (const auto& [save, flag] :
       {std::pair{false, OFN_FILEMUSTEXIST}, {false, 0u}, {true, OFN_PATHMUSTEXIST}, {true, 0u}}) {
    const char* typed = save ? "nosuchdir/x.grp" : "missing.grp";
    dialog.flags(static_cast<int32_t>(flag));
    dialog.filename("");
    Typing(typed);
    save ? ShowSave() : ShowOpen();
    EXPECT_EQ(dialog.filename(), flag ? "" : Path(typed)) << typed;
  }
  EXPECT_EQ(messages.size(), 2u);  // each refusal says why
}

TEST_F(QtDialogTest, SeedOwnerAndAnswersInTheRecord) {
  // Several files come back in the platform's form, in the larger buffer.
  dialog.flags(static_cast<int32_t>(OFN_ALLOWMULTISELECT));
  steps.push_back([](QFileDialog* open) {
    EXPECT_EQ(open->fileMode(), QFileDialog::ExistingFiles);
    TypeAndAccept(open, QStringLiteral("\"a.grp\" \"k\u00e4rt\u00e4.grp\""));
  });
  ShowOpen();
  const std::string answer = Bytes(dir) + "\0a.grp\0k\xc3\xa4rt\xc3\xa4.grp"s;
  EXPECT_EQ(dialog.filename(), answer + std::string(8192 - answer.size(), '\0'));

  QWidget window;
  window.show();
  dialog.hWnd(WindowHandle(&window));
  dialog.filename(Path("sub/seed.grp"));  // its folder wins over InitDir
  steps.push_back([&](QFileDialog* open) {
    EXPECT_EQ(open->parentWidget(), &window);
    EXPECT_EQ(open->directory().absolutePath(), dir + "/sub");
    EXPECT_EQ(open->findChild<QLineEdit*>("fileNameEdit")->text(), "seed.grp");
  });
  ShowOpen();
  EXPECT_EQ(dialog.filename(), Path("sub/seed.grp"));

  // An answer without room for its NUL is refused in the dialog, not cut.
  for (const size_t room : {Path("a.grp").size(), Path("a.grp").size() + 1}) {
    const bool fits = room > Path("a.grp").size();
    OPENFILENAMEA ofn;
    ofn.lpstrInitialDir = Bytes(dir) + "\0\0"s;
    ofn.lpstrFile = std::string(room, '\0');
    ofn.nMaxFile = static_cast<uint32_t>(room);
    Typing("a.grp");
    Show([&] { EXPECT_EQ(QtCommonDialogs().ShowOpenDialog(ofn), fits ? 1 : 0); });
    EXPECT_EQ(messages.size(), 1u);  // the refusal of the first
    EXPECT_EQ(ofn.lpstrFile, fits ? Path("a.grp") + '\0' : std::string(room, '\0'));
  }
}

}  // namespace
}  // namespace halvarin
