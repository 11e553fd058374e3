// The Qt dialogs, driven headless through the cases every platform runs.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

#include <utility>

#include "CommonDialogsCases.h"
#include "QtCommonDialogs.h"
#include "QtWatch.h"

namespace halvarin::testing {
namespace {

class QtShownDialog : public ShownDialog {
 public:
  explicit QtShownDialog(QFileDialog* dialog) : dialog_(dialog) {}
  Look Seen() override {
    std::vector<std::string> filters;
    for (int i = 0; i < Types()->count(); ++i) {
      filters.push_back(Types()->itemText(i).toStdString());
    }
    return {dialog_->windowTitle().toStdString(),
            QFile::encodeName(dialog_->directory().absolutePath()).toStdString(),
            NameBox()->text().toStdString(),
            filters,
            Types()->currentIndex(),
            WindowHandle(dialog_->parentWidget()),
            dialog_->fileMode() == QFileDialog::ExistingFiles};
  }
  QFileDialog* Dialog() const { return dialog_; }
  void ChooseFilter(int index) override {
    Types()->setCurrentIndex(index);
    emit Types()->activated(index);
  }
  // Enters the name as dictation or a screen reader does, through the name
  // box's accessibility interface, over a file clicked in the list before:
  // the name box must win.
  void TypeAndAccept(const std::string& text) override {
    auto* list = dialog_->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->model()->rowCount(list->rootIndex()) > 1; }));
    list->selectionModel()->select(list->model()->index(1, 0, list->rootIndex()),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    NameBox()->clearFocus();  // a click on a file takes it away
    QAccessible::queryAccessibleInterface(NameBox())->setText(QAccessible::Value,
                                                              QString::fromStdString(text));
    static_cast<QDialog*>(dialog_)->accept();
  }

 private:
  QComboBox* Types() { return dialog_->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")); }
  QLineEdit* NameBox() { return dialog_->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }
  QFileDialog* dialog_;
};

// The platform's patterns in the form Qt reads; "*.*" is every file.
TEST(QtCommonDialogs, FiltersInQtsForm) {
  clsFileDialog dialog;
  dialog.Filter("Varn GRP Files|*.grp|Maps:*.map;*.mp|All Files|*.*|");
  QStringList filters;
  WatchModals([&] { dialog.ShowOpen(); },
              [&](QWidget* shown) { filters = static_cast<QFileDialog*>(shown)->nameFilters(); });
  EXPECT_EQ(filters, (QStringList{"Varn GRP Files (*.grp)", "Maps (*.map *.mp)", "All Files (*)"}));
}

// The desktop's own dialog is not ruled out (headless, Qt's stands in), so
// the question is asked once the dialog has closed, about the file that will
// really be written.
TEST_F(CommonDialogsTest, TheReplaceQuestionNamesTheFileWritten) {
  dialog.DefaultExt("grp");
  dialog.flags(static_cast<int32_t>(OFN_OVERWRITEPROMPT));
  Show(true, [](ShownDialog& save) {
    auto& qt = static_cast<QtShownDialog&>(save);
    EXPECT_FALSE(qt.Dialog()->testOption(QFileDialog::DontUseNativeDialog));
    save.TypeAndAccept("b");
  });
  EXPECT_EQ(messages,
            std::vector<std::string>{"b.grp already exists.\nDo you want to replace it?"});
  EXPECT_EQ(dialog.filename(), Path("b.grp"));
}

}  // namespace

void WatchDialogs(const std::function<void()>& action,
                  const std::function<void(ShownDialog&)>& step, bool yes,
                  std::vector<std::string>& messages) {
  bool stepped = false;
  WatchModals(action, [&](QWidget* shown) {
    if (auto* box = qobject_cast<QMessageBox*>(shown)) {
      messages.push_back(box->text().toStdString());
      QAbstractButton* answer = box->button(yes ? QMessageBox::Yes : QMessageBox::No);
      answer ? answer->click() : box->reject();
    } else if (auto* file = qobject_cast<QFileDialog*>(shown);
               file && !std::exchange(stepped, true)) {
      QtShownDialog view(file);
      step(view);
    }
  });
}

std::shared_ptr<void> ShownWindow(int32_t& handle) {
  auto window = std::make_shared<QWidget>();
  window->show();
  handle = WindowHandle(window.get());
  return window;
}

}  // namespace halvarin::testing
