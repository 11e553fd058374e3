#include "QtToolkit.h"

#include <utility>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include "AppError.h"
#include "LengthyWork.h"
#include "ProgramIdentity.h"
#include "QtCommonDialogs.h"
#include "QtFormWindow.h"
#include "QtProgressWindow.h"
#include "QtText.h"

namespace halvarin {

namespace {

constexpr const char* kSource = "Toolkit";

int32_t ToMsgBoxResult(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok:
      return vbOK;
    case QMessageBox::Cancel:
      return vbCancel;
    case QMessageBox::Abort:
      return vbAbort;
    case QMessageBox::Retry:
      return vbRetry;
    case QMessageBox::Ignore:
      return vbIgnore;
    case QMessageBox::Yes:
      return vbYes;
    case QMessageBox::No:
      return vbNo;
    default:
      return vbCancel;
  }
}

// A message box that Esc and the title bar's close button answer only as the
// platform's boxes do: with Cancel where there is a Cancel button, with OK
// where OK is the only one. A box without either (Yes/No, Abort/Retry/Ignore)
// must be answered with a button; Qt would otherwise take No or Abort for an
// Esc and throw away what the question was protecting.
class AnswerMessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

  void SetEscapable(QAbstractButton* escape) {
    escapable_ = escape != nullptr;
    if (escape != nullptr) {
      setEscapeButton(escape);
    }
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (!escapable_ && event->matches(QKeySequence::Cancel)) {
      event->accept();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override {
    if (!escapable_) {
      event->ignore();
      return;
    }
    QMessageBox::closeEvent(event);
  }

 private:
  bool escapable_ = true;
};

}  // namespace

QtToolkit::QtToolkit() = default;

QtToolkit::~QtToolkit() {
  for (auto& [name, slot] : windows_) {
    delete slot.Window.data();
  }
}

void QtToolkit::RegisterWindow(const std::string& form, WindowFactory factory) {
  windows_[form].Factory = std::move(factory);
}

QWidget* QtToolkit::Window(const std::string& form) const {
  auto it = windows_.find(form);
  return it == windows_.end() ? nullptr : it->second.Window.data();
}

QWidget* QtToolkit::RequireWindow(const std::string& form) const {
  QWidget* window = Window(form);
  if (window == nullptr) {
    throw AppError(errInvalidArgument, kSource, "The window " + form + " is not loaded");
  }
  return window;
}

QWidget* QtToolkit::RequireControl(const std::string& form, const std::string& control) const {
  QWidget* window = RequireWindow(form);
  QWidget* widget = nullptr;
  if (auto* formWindow = qobject_cast<QtFormWindow*>(window)) {
    widget = formWindow->Control(control);
  } else {
    widget = window->findChild<QWidget*>(ToQString(control));
  }
  if (widget == nullptr) {
    throw AppError(errInvalidArgument, kSource,
                   "The window " + form + " has no control named " + control);
  }
  return widget;
}

QtListView* QtToolkit::RequireList(const std::string& form, const std::string& control) const {
  const std::string key = form + "." + control;
  if (cachedList_ != nullptr && cachedListKey_ == key) {
    return cachedList_.data();
  }
  auto* list = qobject_cast<QtListView*>(RequireControl(form, control));
  if (list == nullptr) {
    throw AppError(errInvalidArgument, kSource, "The control " + control + " is not a list view");
  }
  cachedListKey_ = key;
  cachedList_ = list;
  return list;
}

double QtToolkit::DpiOf(const QWidget* window) const {
  if (const auto* formWindow = qobject_cast<const QtFormWindow*>(window)) {
    return formWindow->Dpi();
  }
  return window->logicalDpiY();
}

void QtToolkit::Show(const std::string& form) {
  auto it = windows_.find(form);
  if (it == windows_.end() || !it->second.Factory) {
    throw AppError(errInvalidArgument, kSource, "There is no window named " + form);
  }
  Slot& slot = it->second;
  if (slot.Window != nullptr) {
    if (slot.Window->isMinimized()) {
      slot.Window->showNormal();
    } else {
      slot.Window->show();
    }
    slot.Window->raise();
    slot.Window->activateWindow();
    return;
  }
  QWidget* window = slot.Factory(*this).release();
  slot.Window = window;
  if (auto* formWindow = qobject_cast<QtFormWindow*>(window)) {
    formWindow->FireLoad();
    if (slot.Window == nullptr) {
      return;  // unloaded while loading
    }
    formWindow->LayOutDocked();
    formWindow->FireResize();
    if (!formWindow->Definition().ShowInTaskbar) {
      // A window kept out of the task bar belongs to the program's main
      // window: it stays above it and is not listed on its own.
      for (auto& [name, other] : windows_) {
        if (other.Window != nullptr && other.Window != window && other.Window->isVisible()) {
          window->setParent(other.Window, window->windowFlags());
          break;
        }
      }
    }
  }
  window->show();
  window->raise();
  window->activateWindow();
}

void QtToolkit::Unload(const std::string& form) {
  auto it = windows_.find(form);
  if (it == windows_.end() || it->second.Window == nullptr || it->second.Unloading) {
    return;
  }
  Slot& slot = it->second;
  slot.Unloading = true;
  if (auto* formWindow = qobject_cast<QtFormWindow*>(slot.Window.data())) {
    formWindow->FireUnload();
  }
  if (QWidget* window = slot.Window.data()) {
    slot.Window = nullptr;
    window->hide();
    // The window may be deep in one of its own event handlers right now.
    window->deleteLater();
  }
  if (cachedList_ != nullptr && cachedListKey_.rfind(form + ".", 0) == 0) {
    cachedList_ = nullptr;
  }
  slot.Unloading = false;
}

void QtToolkit::End() {
  ending_ = true;
  for (auto& [name, slot] : windows_) {
    if (QWidget* window = slot.Window.data()) {
      slot.Window = nullptr;
      window->hide();
      window->deleteLater();
    }
  }
  cachedList_ = nullptr;
  // Leaves every running event loop, main loop included. Without a running
  // loop there is nothing to leave, and asking would make the next loop
  // return at once.
  if (QThread::currentThread()->loopLevel() > 0) {
    QCoreApplication::exit(0);
  }
}

int32_t QtToolkit::MsgBox(const std::string& prompt, int32_t buttons, const std::string& title) {
  AnswerMessageBox box(DefaultDialogOwner());
  QString text = ToQString(prompt);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  box.setText(text);
  box.setTextFormat(Qt::PlainText);
  box.setWindowTitle(title.empty() ? ToQString(std::string(ProgramIdentity::Title))
                                   : ToQString(title));
  switch (buttons & 0xF0) {
    case vbCritical:
      box.setIcon(QMessageBox::Critical);
      break;
    case vbQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case vbExclamation:
      box.setIcon(QMessageBox::Warning);
      break;
    case vbInformation:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      box.setIcon(QMessageBox::NoIcon);
      break;
  }
  std::vector<QMessageBox::StandardButton> set;
  switch (buttons & 0x0F) {
    case vbOKCancel:
      set = {QMessageBox::Ok, QMessageBox::Cancel};
      break;
    case vbAbortRetryIgnore:
      set = {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
      break;
    case vbYesNoCancel:
      set = {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
      break;
    case vbYesNo:
      set = {QMessageBox::Yes, QMessageBox::No};
      break;
    case vbRetryCancel:
      set = {QMessageBox::Retry, QMessageBox::Cancel};
      break;
    default:
      set = {QMessageBox::Ok};
      break;
  }
  QAbstractButton* escape = nullptr;
  for (QMessageBox::StandardButton button : set) {
    QAbstractButton* added = box.addButton(button);
    if (button == QMessageBox::Cancel || set.size() == 1) {
      escape = added;
    }
  }
  box.SetEscapable(escape);
  size_t defaultIndex = (buttons & vbDefaultButton3) ? 2 : (buttons & vbDefaultButton2) ? 1 : 0;
  if (defaultIndex >= set.size()) {
    defaultIndex = 0;
  }
  box.setDefaultButton(set[defaultIndex]);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  if (clicked == nullptr) {
    return set.size() == 1 ? vbOK : vbCancel;
  }
  return ToMsgBoxResult(box.standardButton(clicked));
}

void QtToolkit::ListClear(const std::string& form, const std::string& control) {
  RequireList(form, control)->clear();
}

void QtToolkit::ListAdd(const std::string& form, const std::string& control,
                        const std::string& text, int16_t largeIcon, int16_t smallIcon) {
  QtListView* list = RequireList(form, control);
  for (int16_t icon : {largeIcon, smallIcon}) {
    if (icon < 0 || icon > list->ImageCount()) {
      throw AppError(errSubscriptOutOfRange, kSource,
                     "Image index " + std::to_string(icon) + " is out of range");
    }
  }
  // Stored names are padded with NULs; what follows the first one is not
  // part of the name.
  const size_t end = text.find('\0');
  const QString shown = ToQString(std::string_view(text).substr(0, end));
  auto* item = new QListWidgetItem(shown);
  // The rare name too wide for its cell is elided; hovering shows it whole.
  item->setToolTip(shown);
  // Read out without the padding or control characters a stored name may have.
  QString spoken;
  for (const QChar c : shown) {
    if (c.category() != QChar::Other_Control) {
      spoken += c;
    }
  }
  item->setData(Qt::AccessibleTextRole, spoken.trimmed());
  if (largeIcon > 0) {
    item->setIcon(list->LargeIcon(largeIcon));
  }
  item->setData(Qt::UserRole, static_cast<int>(smallIcon));
  // With uniform item sizes the view measures only the last item and gives
  // every item that size; a short name added last would cut every longer
  // label. Each item takes the whole grid cell instead.
  if (list->gridSize().isValid()) {
    item->setSizeHint(list->gridSize());
  }
  list->addItem(item);
}

void QtToolkit::ListRemove(const std::string& form, const std::string& control, int32_t position) {
  QtListView* list = RequireList(form, control);
  if (position < 1 || position > list->count()) {
    throw AppError(errSubscriptOutOfRange, kSource,
                   "List item position " + std::to_string(position) + " is out of range");
  }
  delete list->takeItem(position - 1);
}

int32_t QtToolkit::ListCount(const std::string& form, const std::string& control) const {
  return RequireList(form, control)->count();
}

int32_t QtToolkit::SelectedIndex(const std::string& form, const std::string& control) const {
  QtListView* list = RequireList(form, control);
  const QModelIndexList selected = list->selectionModel()->selectedIndexes();
  return selected.isEmpty() ? 0 : selected.front().row() + 1;
}

std::string QtToolkit::SelectedText(const std::string& form, const std::string& control) const {
  QtListView* list = RequireList(form, control);
  const int32_t position = SelectedIndex(form, control);
  return position == 0 ? std::string() : ToUtf8(list->item(position - 1)->text());
}

void QtToolkit::PopupMenu(const std::string& form, const std::string& menu) {
  auto* window = qobject_cast<QtFormWindow*>(RequireWindow(form));
  QMenu* popup = window != nullptr ? window->Menu(menu) : nullptr;
  if (popup == nullptr) {
    throw AppError(errInvalidArgument, kSource, "The window " + form + " has no menu " + menu);
  }
  popup->exec(window->PopupPosition().value_or(QCursor::pos()));
}

float QtToolkit::ControlWidth(const std::string& form, const std::string& control) const {
  QWidget* widget = RequireControl(form, control);
  return PixelsToTwips(widget->width(), DpiOf(widget->window()));
}

float QtToolkit::ControlHeight(const std::string& form, const std::string& control) const {
  QWidget* widget = RequireControl(form, control);
  return PixelsToTwips(widget->height(), DpiOf(widget->window()));
}

void QtToolkit::SetControlWidth(const std::string& form, const std::string& control, float width) {
  QWidget* widget = RequireControl(form, control);
  if (!(width >= 0)) {
    throw AppError(errInvalidArgument, kSource,
                   "Invalid width " + std::to_string(width) + " for " + control);
  }
  widget->resize(TwipsToPixels(width, DpiOf(widget->window())), widget->height());
}

void QtToolkit::SetControlHeight(const std::string& form, const std::string& control,
                                 float height) {
  QWidget* widget = RequireControl(form, control);
  if (!(height >= 0)) {
    throw AppError(errInvalidArgument, kSource,
                   "Invalid height " + std::to_string(height) + " for " + control);
  }
  widget->resize(widget->width(), TwipsToPixels(height, DpiOf(widget->window())));
}

std::string QtToolkit::Caption(const std::string& form, const std::string& control) const {
  QWidget* widget = RequireControl(form, control);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    return ToUtf8(label->text());
  }
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    return ToUtf8(button->text());
  }
  throw AppError(errInvalidArgument, kSource, "The control " + control + " has no caption");
}

void QtToolkit::SetCaption(const std::string& form, const std::string& control,
                           const std::string& text) {
  QWidget* widget = RequireControl(form, control);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(ToQString(text));
    FitText(label);
    return;
  }
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(ToQString(text));
    FitText(button);
    return;
  }
  throw AppError(errInvalidArgument, kSource, "The control " + control + " has no caption");
}

void QtToolkit::StartProgram(const std::string& path) {
  const QString program = ToQString(path);
  const QFileInfo info(program);
  if (!info.exists()) {
    throw AppError(errFileNotFound, kSource, "Cannot start " + path + ": file not found");
  }
  if (!info.isFile() || !info.isExecutable()) {
    throw AppError(errPathFileAccess, kSource, "Cannot start " + path + ": not a program");
  }
  QProcess process;
  process.setProgram(program);
  process.setWorkingDirectory(info.absolutePath());
  if (!process.startDetached()) {
    throw AppError(errPathFileAccess, kSource,
                   "Cannot start " + path + ": " + ToUtf8(process.errorString()));
  }
}

// The operation runs on a worker thread (LengthyWork) while this thread
// waits, rather than on this thread feeding the event loop from its progress
// reports: a single write or flush can block for seconds on a slow disk, and
// between two reports the window could neither paint nor take the Cancel.
// This thread only waits, first without handling any event, then in the
// modal progress window, which keeps every other window from taking input
// while theirs still paint.
void QtToolkit::RunWithProgress(const std::string& file,
                                const std::function<void(const ProgressReport&)>& work) {
  // Both outlive the worker: it wakes the window through them as its last word.
  QObject waker;
  QtProgressWindow* window = nullptr;
  LengthyWork job(work, [&waker, &window] {
    QMetaObject::invokeMethod(
        &waker,
        [&window] {
          if (window != nullptr) {
            window->Finish();
          }
        },
        Qt::QueuedConnection);
  });
  struct Current {
    Running& running;
    ~Current() { running = {}; }
  } current{running_};
  running_.job = &job;

  if (!job.WaitQuietly()) {
    QtProgressWindow shown(DefaultDialogOwner(), ToQString(file), [&job] { return job.Cancel(); });
    window = running_.window = &shown;
    const auto update = [&] { shown.SetProgress(job.Done(), job.Total(), job.Committed()); };
    update();
    QTimer poll;
    poll.setInterval(250);
    QObject::connect(&poll, &QTimer::timeout, &shown, update);
    poll.start();
    shown.exec();
    window = running_.window = nullptr;
  }
  job.Wait();
  running_ = {};
  if (afterOperation_) {
    std::exchange(afterOperation_, {})();
  }
  job.Finish();
}

void QtToolkit::StopOperation(std::function<void()> then) {
  if (running_.job == nullptr) {
    then();
    return;
  }
  afterOperation_ = std::move(then);
  // Through the window when it shows, so that it says what happens.
  running_.window != nullptr ? running_.window->reject() : void(running_.job->Cancel());
}

void QtToolkit::StopOperationNow() {
  if (running_.job != nullptr) {
    running_.job->Cancel();
    running_.job->Wait();
  }
}

std::string QtToolkit::AppPath() const {
  return ToUtf8(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
}

}  // namespace halvarin
