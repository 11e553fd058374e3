#include "QtProgressWindow.h"

#include <algorithm>
#include <string>
#include <utility>

#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ProgramIdentity.h"
#include "QtText.h"

namespace halvarin {

namespace {

// The bar counts in thousandths: byte counts do not fit its int range.
constexpr int kSteps = 1000;

}  // namespace

QtProgressWindow::QtProgressWindow(QWidget* owner, const QString& file,
                                   std::function<bool()> onCancel)
    : QDialog(owner), onCancel_(std::move(onCancel)), file_(file) {
  setObjectName(QStringLiteral("ProgressWindow"));
  setWindowTitle(ToQString(ProgramIdentity::Title));
  auto* layout = new QVBoxLayout(this);
  label_ = new QLabel(this);
  label_->setTextFormat(Qt::PlainText);
  label_->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
  layout->addWidget(label_);
  bar_ = new QProgressBar(this);
  bar_->setAccessibleName(tr("Progress"));
  layout->addWidget(bar_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  cancel_ = buttons->button(QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::rejected, this, &QtProgressWindow::reject);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  SetProgress(0, 0);
}

void QtProgressWindow::SetProgress(int64_t done, int64_t total, bool final) {
  if (final) {
    cancel_->setEnabled(false);
  }
  if (!cancelled_) {
    label_->setText(total < 0 ? tr("Waiting for another program to finish writing %1").arg(file_)
                              : tr("Writing %1").arg(file_));
  }
  // Waiting, the bar only shows that something goes on; before anything is
  // counted it shows no figures.
  bar_->setRange(0, total < 0 ? 0 : kSteps);
  bar_->setValue(total > 0 ? static_cast<int>(std::min(done, total) * kSteps / total) : 0);
  bar_->setTextVisible(total > 0);
  const QLocale locale;
  bar_->setFormat(
      tr("%1 of %2").arg(locale.formattedDataSize(done, 1), locale.formattedDataSize(total, 1)));
}

void QtProgressWindow::Finish() {
  done(QDialog::Accepted);
}

void QtProgressWindow::reject() {
  if (!cancel_->isEnabled()) {
    return;
  }
  cancel_->setEnabled(false);
  if (onCancel_ && onCancel_()) {
    cancelled_ = true;
    label_->setText(tr("Cancelling; every file stays as it was."));
  }
}

}  // namespace halvarin
