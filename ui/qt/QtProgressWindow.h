#pragma once

#include <cstdint>
#include <functional>

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace halvarin {

// The small window of a long save or extraction: the name of the file being
// written, a bar of bytes done against bytes in all, and Cancel. Cancel (or
// Esc, or closing it from its title bar) asks the operation to stop; the
// window stays until the operation has ended, so that nothing can start
// while it is still undoing its work. `onCancel` says whether the operation
// will stop; one past its last report will not, and the window then says
// nothing of a cancel.
class QtProgressWindow : public QDialog {
  Q_OBJECT

 public:
  QtProgressWindow(QWidget* owner, const QString& file, std::function<bool()> onCancel);

  // A negative total: waiting for another program. `final`: past the last
  // report, so Cancel is no longer offered.
  void SetProgress(int64_t done, int64_t total, bool final = false);
  // Closes the window: the operation is over.
  void Finish();

  QPushButton* CancelButton() const { return cancel_; }

 public slots:
  void reject() override;

 private:
  std::function<bool()> onCancel_;
  QString file_;
  bool cancelled_ = false;
  QLabel* label_;
  QProgressBar* bar_;
  QPushButton* cancel_;
};

}  // namespace halvarin
