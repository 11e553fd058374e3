// The real dialog layer, driven headless: the test finds the open file
// dialog, acts on it like a user and checks what comes back.

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "AppError.h"
#include "QtCommonDialogs.h"
#include "clsFileDialog.h"

namespace halvarin {
namespace {

using namespace std::string_literals;

// Acts on the modal widgets that appear while a dialog runs. File dialogs
// get the queued steps in turn; whatever a step leaves open is rejected, so
// a failing check never leaves the test waiting on a dialog. Message boxes
// are recorded and answered. Two timers, because a timer does not fire again
// while its own slot runs a nested event loop.
class Driver {
 public:
  using Step = std::function<void(QFileDialog*)>;

  Driver() {
    dialogTimer_.setInterval(10);
    QObject::connect(&dialogTimer_, &QTimer::timeout, [this] { PollDialog(); });
    dialogTimer_.start();
    boxTimer_.setInterval(10);
    QObject::connect(&boxTimer_, &QTimer::timeout, [this] { PollBox(); });
    boxTimer_.start();
  }

  void OnDialog(Step step) { steps_.push_back(std::move(step)); }
  void AnswerQuestionsWith(QMessageBox::StandardButton answer) { answer_ = answer; }

  std::vector<QString> messages;  // texts of the message boxes that appeared
  int unexpectedDialogs = 0;

 private:
  void PollDialog() {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) {
      return;
    }
    if (steps_.empty()) {
      ++unexpectedDialogs;
    } else {
      Step step = std::move(steps_.front());
      steps_.pop_front();
      step(dialog);
    }
    if (dialog->isVisible()) {
      dialog->reject();
    }
  }

  void PollBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) {
      return;
    }
    messages.push_back(box->text());
    for (QMessageBox::StandardButton choice : {answer_, QMessageBox::No, QMessageBox::Ok}) {
      if (QAbstractButton* button = box->button(choice)) {
        button->click();
        return;
      }
    }
    box->reject();
  }

  std::deque<Step> steps_;
  QMessageBox::StandardButton answer_ = QMessageBox::No;
  QTimer dialogTimer_;
  QTimer boxTimer_;
};

std::string Bytes(const QString& path) {
  const QByteArray bytes = QFile::encodeName(path);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QLineEdit* NameEdit(QFileDialog* dialog) {
  return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

// Types into the file name box and presses the accept button. A user who
// types has the focus in the box, which makes the typed name replace the
// list's selection; offscreen the focus may be elsewhere, so the selection
// is cleared as the typing would.
void TypeAndAccept(QFileDialog* dialog, const QString& text) {
  QLineEdit* edit = NameEdit(dialog);
  ASSERT_NE(edit, nullptr);
  if (auto* list = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"))) {
    list->clearSelection();
  }
  edit->setText(text);
  static_cast<QDialog*>(dialog)->accept();  // what the Open / Save button does
}

class QtDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.isValid());
    dir_ = QFileInfo(temp_.path()).canonicalFilePath();
    for (const char* name : {"a.grp", "b.grp", "c.map", "k\xc3\xa4rt\xc3\xa4.grp"}) {
      QFile file(dir_ + u'/' + QString::fromUtf8(name));
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write("GRP");
    }
    ASSERT_TRUE(QDir(dir_).mkdir(QStringLiteral("sub")));
  }

  std::string Path(const char* name) const { return Bytes(dir_) + '/' + name; }

  QTemporaryDir temp_;
  QString dir_;
  Driver driver_;
};

TEST_F(QtDialogTest, OpenShowsTheSettingsAndAnswersWithOnePath) {
  clsFileDialog dialog;
  dialog.Filter("Varn GRP Files|*.grp|All Files|*.*");
  dialog.InitDir(Bytes(dir_));
  dialog.DialogTitle("Open Archive");
  driver_.OnDialog([&](QFileDialog* open) {
    EXPECT_EQ(open->windowTitle(), QStringLiteral("Open Archive"));
    EXPECT_EQ(open->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(open->fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(open->directory().absolutePath(), dir_);
    EXPECT_EQ(open->nameFilters(), (QStringList{QStringLiteral("Varn GRP Files (*.grp)"),
                                                QStringLiteral("All Files (*)")}));
    EXPECT_EQ(open->selectedNameFilter(), QStringLiteral("Varn GRP Files"));
    TypeAndAccept(open, QStringLiteral("b.grp"));
  });
  dialog.ShowOpen();
  EXPECT_EQ(dialog.filename(), Path("b.grp"));
  EXPECT_EQ(dialog.FilterIndex(), 1);
  EXPECT_EQ(driver_.unexpectedDialogs, 0);
}

TEST_F(QtDialogTest, SelectedFilterIsWrittenBackAndShownNextTime) {
  clsFileDialog dialog;
  dialog.Filter("Varn GRP Files|*.grp|Maps|*.map;*.mp|All Files|*.*");
  dialog.InitDir(Bytes(dir_));
  driver_.OnDialog([&](QFileDialog* open) {
    auto* types = open->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 3);
    EXPECT_EQ(types->itemText(1), QStringLiteral("Maps"));  // the description as given
    types->setCurrentIndex(1);
    emit types->activated(1);
    TypeAndAccept(open, QStringLiteral("c.map"));
  });
  dialog.ShowOpen();
  EXPECT_EQ(dialog.filename(), Path("c.map"));
  EXPECT_EQ(dialog.FilterIndex(), 2);

  dialog.CancelError(true);
  driver_.OnDialog([&](QFileDialog* open) {
    EXPECT_EQ(open->selectedNameFilter(), QStringLiteral("Maps"));
    EXPECT_EQ(NameEdit(open)->text(), QStringLiteral("c.map"));  // seeded with the last answer
    open->reject();
  });
  try {
    dialog.ShowOpen();
    FAIL() << "no cancel error";
  } catch (const AppError& error) {
    EXPECT_EQ(error.Number(), 32755);
    EXPECT_EQ(error.Source(), ExecutableName() + ".cFileDialog");
  }
  EXPECT_EQ(dialog.filename(), Path("c.map"));
  EXPECT_EQ(dialog.FilterIndex(), 2);
}

TEST_F(QtDialogTest, MultipleSelectionAnswersInThePlatformForm) {
  clsFileDialog dialog;
  dialog.flags(static_cast<int32_t>(OFN_ALLOWMULTISELECT));
  dialog.InitDir(Bytes(dir_));
  driver_.OnDialog([&](QFileDialog* open) {
    EXPECT_EQ(open->fileMode(), QFileDialog::ExistingFiles);
    TypeAndAccept(open, QStringLiteral("\"a.grp\" \"k\u00e4rt\u00e4.grp\""));
  });
  dialog.ShowOpen();
  const std::string answer = Bytes(dir_) + "\0a.grp\0k\xc3\xa4rt\xc3\xa4.grp\0\0"s;
  ASSERT_EQ(dialog.filename().size(), 8192u);
  EXPECT_EQ(dialog.filename().substr(0, answer.size()), answer);
  EXPECT_EQ(dialog.filename().find_first_not_of('\0', answer.size()), std::string::npos);

  std::string sDir;
  std::vector<std::string> sFiles;
  int32_t lFileCount = 0;
  dialog.ParseMultiFileName(sDir, sFiles, lFileCount);
  EXPECT_EQ(sDir, Bytes(dir_));
  EXPECT_EQ(sFiles, (std::vector<std::string>{"a.grp", "k\xc3\xa4rt\xc3\xa4.grp"}));

  // One file of a multiple selection is its full path, ended by two NULs.
  driver_.OnDialog([&](QFileDialog* open) { TypeAndAccept(open, QStringLiteral("\"b.grp\"")); });
  dialog.ShowOpen();
  EXPECT_EQ(dialog.filename().substr(0, Path("b.grp").size() + 2), Path("b.grp") + "\0\0"s);
  lFileCount = 0;
  dialog.ParseMultiFileName(sDir, sFiles, lFileCount);
  EXPECT_EQ(sDir, Bytes(dir_) + "/");
  EXPECT_EQ(sFiles, std::vector<std::string>{"b.grp"});
}

TEST_F(QtDialogTest, OverwriteIsAskedOnlyWithItsFlag) {
  clsFileDialog dialog;
  dialog.InitDir(Bytes(dir_));
  driver_.OnDialog([&](QFileDialog* save) {
    EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(save->windowTitle(), QStringLiteral("Save As"));
    TypeAndAccept(save, QStringLiteral("a.grp"));
  });
  dialog.ShowSave();
  EXPECT_EQ(dialog.filename(), Path("a.grp"));
  EXPECT_TRUE(driver_.messages.empty());

  dialog.flags(static_cast<int32_t>(OFN_OVERWRITEPROMPT));
  driver_.AnswerQuestionsWith(QMessageBox::No);
  driver_.OnDialog([&](QFileDialog* save) {
    TypeAndAccept(save, QStringLiteral("b.grp"));
    EXPECT_TRUE(save->isVisible());  // "No" keeps the dialog open
  });
  dialog.ShowSave();
  ASSERT_EQ(driver_.messages.size(), 1u);
  EXPECT_TRUE(driver_.messages[0].contains(QStringLiteral("b.grp")));
  EXPECT_EQ(dialog.filename(), Path("a.grp"));

  driver_.AnswerQuestionsWith(QMessageBox::Yes);
  driver_.OnDialog([&](QFileDialog* save) { TypeAndAccept(save, QStringLiteral("b.grp")); });
  dialog.ShowSave();
  EXPECT_EQ(driver_.messages.size(), 2u);
  EXPECT_EQ(dialog.filename(), Path("b.grp"));

  // A new name is not asked about.
  driver_.OnDialog([&](QFileDialog* save) { TypeAndAccept(save, QStringLiteral("new.grp")); });
  dialog.ShowSave();
  EXPECT_EQ(driver_.messages.size(), 2u);
  EXPECT_EQ(dialog.filename(), Path("new.grp"));
}

TEST_F(QtDialogTest, DefaultExtensionIsAddedOnlyToANameWithoutOne) {
  clsFileDialog dialog;
  dialog.InitDir(Bytes(dir_));
  dialog.DefaultExt("grp");
  driver_.OnDialog([&](QFileDialog* save) { TypeAndAccept(save, QStringLiteral("newname")); });
  dialog.ShowSave();
  EXPECT_EQ(dialog.filename(), Path("newname.grp"));
  driver_.OnDialog([&](QFileDialog* save) { TypeAndAccept(save, QStringLiteral("notes.txt")); });
  dialog.ShowSave();
  EXPECT_EQ(dialog.filename(), Path("notes.txt"));
}

TEST_F(QtDialogTest, MustExistFlagsRefuseMissingFilesAndFolders) {
  struct Case {
    bool save;
    uint32_t flag;
    QString typed;
    std::string accepted;
  };
  const std::vector<Case> cases = {
      {false, OFN_FILEMUSTEXIST, QStringLiteral("missing.grp"), Path("missing.grp")},
      {true, OFN_PATHMUSTEXIST, QStringLiteral("nosuchdir/x.grp"), Path("nosuchdir/x.grp")},
  };
  for (const Case& c : cases) {
    for (const bool withFlag : {true, false}) {
      SCOPED_TRACE(c.typed.toStdString() + (withFlag ? " with flag" : " without flag"));
      clsFileDialog dialog;
      dialog.InitDir(Bytes(dir_));
      dialog.flags(withFlag ? static_cast<int32_t>(c.flag) : 0);
      driver_.messages.clear();
      driver_.OnDialog([&](QFileDialog* shown) { TypeAndAccept(shown, c.typed); });
      c.save ? dialog.ShowSave() : dialog.ShowOpen();
      EXPECT_EQ(driver_.messages.size(), withFlag ? 1u : 0u);
      EXPECT_EQ(dialog.filename(), withFlag ? "" : c.accepted);
    }
  }
}

TEST_F(QtDialogTest, SeedOwnerAndBufferLimits) {
  QWidget window;
  window.show();
  clsFileDialog dialog;
  dialog.hWnd(WindowHandle(&window));
  dialog.InitDir(Bytes(dir_));
  dialog.filename(Path("sub/seed.grp"));  // its folder wins over InitDir
  driver_.OnDialog([&](QFileDialog* open) {
    EXPECT_EQ(open->parentWidget(), &window);
    EXPECT_EQ(open->directory().absolutePath(), dir_ + QStringLiteral("/sub"));
    EXPECT_EQ(NameEdit(open)->text(), QStringLiteral("seed.grp"));
  });
  dialog.ShowOpen();
  EXPECT_EQ(dialog.filename(), Path("sub/seed.grp"));

  // An answer longer than the buffer fails instead of being cut.
  OPENFILENAMEA ofn;
  ofn.lpstrInitialDir = Bytes(dir_) + "\0\0"s;
  ofn.lpstrFilter = "All Files\0*.*\0Maps\0*.map\0\0"s;
  ofn.nFilterIndex = 1;
  const size_t tight = Path("a.grp").size();  // no room for the NUL
  ofn.lpstrFile = std::string(tight, '\0');
  ofn.nMaxFile = static_cast<uint32_t>(tight);
  driver_.OnDialog([&](QFileDialog* open) {
    open->selectNameFilter(open->nameFilters().at(1));
    TypeAndAccept(open, QStringLiteral("a.grp"));
  });
  EXPECT_EQ(QtCommonDialogs().ShowOpenDialog(ofn), 0);
  EXPECT_EQ(ofn.lpstrFile, std::string(tight, '\0'));
  EXPECT_EQ(ofn.nFilterIndex, 1u);

  ofn.nMaxFile = static_cast<uint32_t>(tight + 1);
  ofn.lpstrFile = std::string(tight + 1, '\0');
  driver_.OnDialog([&](QFileDialog* open) { TypeAndAccept(open, QStringLiteral("a.grp")); });
  EXPECT_NE(QtCommonDialogs().ShowOpenDialog(ofn), 0);
  EXPECT_EQ(ofn.lpstrFile, Path("a.grp") + '\0');
  EXPECT_EQ(ofn.nFileOffset, Bytes(dir_).size() + 1);
  EXPECT_EQ(driver_.unexpectedDialogs, 0);
}

}  // namespace
}  // namespace halvarin
