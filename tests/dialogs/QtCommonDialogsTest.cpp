// The Qt dialogs, driven headless through the cases every platform runs.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

#include "CommonDialogsCases.h"
#include "QtCommonDialogs.h"
#include "QtWatch.h"

namespace halvarin::testing {
namespace {

std::string Bytes(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

class QtShownDialog : public ShownDialog {
 public:
  explicit QtShownDialog(QFileDialog* dialog) : dialog_(dialog) {}
  std::string Title() override { return dialog_->windowTitle().toStdString(); }
  std::string Folder() override { return Bytes(dialog_->directory().absolutePath()); }
  std::vector<std::string> Filters() override {
    std::vector<std::string> filters;
    for (int i = 0; i < Types()->count(); ++i) {
      filters.push_back(Types()->itemText(i).toStdString());
    }
    return filters;
  }
  int SelectedFilter() override { return Types()->currentIndex(); }
  std::string Name() override { return NameBox()->text().toStdString(); }
  int32_t Owner() override { return WindowHandle(dialog_->parentWidget()); }
  void ChooseFilter(int index) override {
    Types()->setCurrentIndex(index);
    emit Types()->activated(index);
  }
  // Offscreen the focus may not be in the name box, so the list's selection
  // is cleared as typing would.
  void TypeAndAccept(const std::string& text) override {
    dialog_->findChild<QAbstractItemView*>(QStringLiteral("listView"))->clearSelection();
    NameBox()->setText(QString::fromStdString(text));
    static_cast<QDialog*>(dialog_)->accept();
  }

 private:
  QComboBox* Types() { return dialog_->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")); }
  QLineEdit* NameBox() { return dialog_->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }
  QFileDialog* dialog_;
};

class QtPlatform : public DialogPlatform {
 public:
  CommonDialogs& Dialogs() override { return dialogs_; }
  void Watch(const std::function<void()>& action, const std::function<void(ShownDialog&)>& dialog,
             const std::function<bool(const std::string&)>& box) override {
    WatchModals(action, [&](QWidget* shown) {
      if (auto* question = qobject_cast<QMessageBox*>(shown)) {
        QAbstractButton* answer = question->button(
            box(question->text().toStdString()) ? QMessageBox::Yes : QMessageBox::No);
        answer ? answer->click() : question->reject();
      } else if (auto* file = qobject_cast<QFileDialog*>(shown)) {
        QtShownDialog view(file);
        dialog(view);
      }
    });
  }
  int32_t OwnerWindow() override {
    windows_.push_back(std::make_unique<QWidget>());
    windows_.back()->show();
    return WindowHandle(windows_.back().get());
  }

 private:
  QtCommonDialogs dialogs_;
  std::vector<std::unique_ptr<QWidget>> windows_;
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

}  // namespace

std::unique_ptr<DialogPlatform> MakeDialogPlatform() {
  return std::make_unique<QtPlatform>();
}

}  // namespace halvarin::testing
