// The real dialog layer, driven headless: the test finds the open file
// dialog, acts on it like a user and checks what comes back.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

// Types a name and presses Open / Save. Offscreen the focus may not be in
// the name box, so the list's selection is cleared as typing would.
void TypeAndAccept(QFileDialog* dialog, const QString& text) {
  dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"))->clearSelection();
  dialog->findChild<QLineEdit*>("fileNameEdit")->setText(text);
  static_cast<QDialog*>(dialog)->accept();
}

// The file dialog that opens gets the step set for it, and whatever the step
// leaves open is rejected; message boxes are recorded and answered.
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
  void TearDown() override { EXPECT_FALSE(step); }
  void Show(const std::function<void()>& show) {
    testing::WatchModals(show, [this](QWidget* shown) {
      if (auto* box = qobject_cast<QMessageBox*>(shown)) {
        messages.push_back(box->text());
        box->button(answer) ? box->button(answer)->click() : box->reject();
      } else if (auto* file = qobject_cast<QFileDialog*>(shown)) {
        ASSERT_TRUE(step) << "unexpected dialog";
        std::exchange(step, nullptr)(file);
      }
    });
  }
  void ShowOpen() { Show(std::bind(&clsFileDialog::ShowOpen, &dialog)); }
  void ShowSave() { Show(std::bind(&clsFileDialog::ShowSave, &dialog)); }
  std::string Path(const char* name) const { return Bytes(dir) + '/' + name; }
  void Typing(const char* name) {
    step = [name](QFileDialog* d) { TypeAndAccept(d, QString::fromUtf8(name)); };
  }

  QTemporaryDir temp;
  QString dir;
  clsFileDialog dialog;
  std::function<void(QFileDialog*)> step;  // for the next file dialog
  std::vector<QString> messages;
  QMessageBox::StandardButton answer = QMessageBox::Yes;
};

TEST_F(QtDialogTest, OpenShowsTheSettingsAndWritesTheChosenFilterBack) {
  dialog.Filter("Varn GRP Files|*.grp|Maps:*.map;*.mp|All Files|*.*|");  // ":" splits as "|" does
  dialog.DialogTitle("Open Archive");
  step = [&](QFileDialog* open) {
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
  };
  ShowOpen();
  EXPECT_EQ(dialog.filename(), Path("c.map"));
  EXPECT_EQ(dialog.FilterIndex(), 2);

  step = [&](QFileDialog* open) {
    EXPECT_EQ(open->selectedNameFilter(), "Maps");
    // Seeded with the last answer.
    EXPECT_EQ(open->findChild<QLineEdit*>("fileNameEdit")->text(), "c.map");
  };
  ShowOpen();
}

TEST_F(QtDialogTest, SaveAsksBeforeReplacingOnlyWithItsFlagAndAddsTheExtension) {
  dialog.DefaultExt("grp");
  step = [](QFileDialog* save) {
    EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(save->windowTitle(), "Save As");
    TypeAndAccept(save, QStringLiteral("a.grp"));
  };
  ShowSave();
  EXPECT_EQ(dialog.filename(), Path("a.grp"));  // replaced unasked: see the count below

  // With the flag: the name typed, the answer to the question, the name then held.
  dialog.flags(static_cast<int32_t>(OFN_OVERWRITEPROMPT));
  for (const auto& [typed, reply, held] : {std::tuple{"b.grp", QMessageBox::No, "a.grp"},
                                           {"b.grp", QMessageBox::Yes, "b.grp"},
                                           {"newname", QMessageBox::Yes, "newname.grp"},
                                           {"notes.txt", QMessageBox::Yes, "notes.txt"}}) {
    answer = reply;
    Typing(typed);
    ShowSave();
    EXPECT_EQ(dialog.filename(), Path(held));
  }
  EXPECT_EQ(messages.size(), 2u);  // only replacing b.grp with the flag was asked about
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

TEST_F(QtDialogTest, TheSeedAndOwnerReachTheDialogAndAnswersMustFitTheRecord) {
  // Several files come back in the platform's form, in the larger buffer.
  dialog.flags(static_cast<int32_t>(OFN_ALLOWMULTISELECT));
  step = [](QFileDialog* open) {
    EXPECT_EQ(open->fileMode(), QFileDialog::ExistingFiles);
    TypeAndAccept(open, QStringLiteral("\"a.grp\" \"k\u00e4rt\u00e4.grp\""));
  };
  ShowOpen();
  const std::string answer = Bytes(dir) + "\0a.grp\0k\xc3\xa4rt\xc3\xa4.grp"s;
  EXPECT_EQ(dialog.filename(), answer + std::string(8192 - answer.size(), '\0'));

  QWidget window;
  window.show();
  dialog.hWnd(WindowHandle(&window));
  dialog.filename(Path("sub/seed.grp"));  // its folder wins over InitDir
  step = [&](QFileDialog* open) {
    EXPECT_EQ(open->parentWidget(), &window);
    EXPECT_EQ(open->directory().absolutePath(), dir + "/sub");
    EXPECT_EQ(open->findChild<QLineEdit*>("fileNameEdit")->text(), "seed.grp");
  };
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
