#include "QtCommonDialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>

#include "QtText.h"

#include <algorithm>
#include <string>
#include <vector>

namespace halvarin {

namespace {

// Paths travel as the file system's own bytes, so that whatever the dialog
// can show can be opened again with the same bytes.
QString PathFromBytes(const std::string& bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string PathToBytes(const QString& path) {
  const QByteArray bytes = QFile::encodeName(path);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// "Varn GRP Files" + "*.grp;*.map" -> "Varn GRP Files (*.grp *.map)", the form
// Qt reads its patterns from. The platform's "*.*" means every file, also one
// without a dot, which is "*" for Qt.
QString NameFilter(const std::string& description, const std::string& patterns) {
  QStringList qtPatterns;
  for (QString pattern : ToQString(patterns).split(u';', Qt::SkipEmptyParts)) {
    pattern = pattern.trimmed();
    if (pattern == QStringLiteral("*.*")) {
      pattern = QStringLiteral("*");
    }
    if (!pattern.isEmpty()) {
      qtPatterns << pattern;
    }
  }
  if (qtPatterns.isEmpty()) {
    qtPatterns << QStringLiteral("*");
  }
  return ToQString(description) + QStringLiteral(" (") + qtPatterns.join(u' ') +
         QStringLiteral(")");
}

// The seeded file name: the file buffer up to its first NUL, never reading
// past the buffer even when the seed fills it without a terminator.
std::string Seed(const OPENFILENAMEA& ofn) {
  if (!ofn.lpstrFile) {
    return {};
  }
  const std::string& buffer = *ofn.lpstrFile;
  const size_t capacity = std::min<size_t>(ofn.nMaxFile, buffer.size());
  const size_t end = std::min(capacity, buffer.find('\0'));
  return buffer.substr(0, end);
}

QWidget* Owner(int32_t hwndOwner) {
  QWidget* owner = nullptr;
  if (hwndOwner != 0) {
    owner = QWidget::find(static_cast<WId>(static_cast<uint32_t>(hwndOwner)));
  }
  if (!owner) {
    owner = DefaultDialogOwner();
  }
  return owner ? owner->window() : nullptr;
}

// The bytes the answer for `files` takes in the file buffer, terminating
// NULs included, as ShowDialog stores it.
size_t AnswerSize(const QStringList& files, bool multiple) {
  if (files.size() == 1) {
    return PathToBytes(QFileInfo(files.first()).absoluteFilePath()).size() + (multiple ? 2 : 1);
  }
  const QDir folder = QFileInfo(files.first()).absoluteDir();
  size_t size = PathToBytes(folder.absolutePath()).size() + 2;
  for (const QString& file : files) {
    size += PathToBytes(folder.relativeFilePath(file)).size() + 1;
  }
  return size;
}

// Qt's dialog, where the name field decides. Qt's widget dialog takes the
// files selected in its list over a name typed since, unless the typing went
// through the name field with the keyboard focus in it: a name dictated or
// set through the accessibility interface would lose to an earlier click,
// or be added to it (the field then names both). Here, when the name field
// was changed after the list, however that happened, its text is the answer.
// (The desktop's own dialog, where there is one, has no such field of Qt's
// and answers for itself.)
class RecordFileDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;

  void accept() override {
    auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* list = findChild<QAbstractItemView*>(QStringLiteral("listView"));
    if (nameLast_ && name != nullptr && list != nullptr) {
      // Qt selects what the field names as it is set; only the field counts.
      list->selectionModel()->clearSelection();
      name->setText(named_);
      list->selectionModel()->clearSelection();
    }
    QFileDialog::accept();
  }

 protected:
  void showEvent(QShowEvent* event) override {
    QFileDialog::showEvent(event);
    auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* list = findChild<QAbstractItemView*>(QStringLiteral("listView"));
    if (name == nullptr || list == nullptr || watching_) {
      return;
    }
    watching_ = true;
    // Qt's own handlers of both signals run before these: when the field is
    // set from outside, the last call here carries the text as it was set,
    // after any rewriting of the field from the selection it caused.
    connect(name, &QLineEdit::textChanged, this, [this](const QString& text) {
      named_ = text;
      nameLast_ = true;
    });
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { nameLast_ = false; });
  }

 private:
  bool watching_ = false;
  bool nameLast_ = false;
  QString named_;
};

// The 0-based filter the user ended on, -1 if unknown. The filter list's
// position tells filters with equal descriptions apart; its text alone (the
// description, as the list shows it) is the fallback.
qsizetype SelectedFilter(const QFileDialog& dialog, const QStringList& nameFilters,
                         const QStringList& descriptions) {
  if (const auto* list = dialog.findChild<const QComboBox*>(QStringLiteral("fileTypeCombo"));
      list && list->count() == nameFilters.size()) {
    return list->currentIndex();
  }
  const QString selected = dialog.selectedNameFilter();
  const qsizetype index = nameFilters.indexOf(selected);
  return index >= 0 ? index : descriptions.indexOf(selected.trimmed());
}

// What is wrong with an answer that the record cannot take or its flags
// refuse; empty when nothing is.
QString Refusal(const OPENFILENAMEA& ofn, const QStringList& files, bool multiple) {
  const size_t capacity = ofn.lpstrFile ? std::min<size_t>(ofn.nMaxFile, ofn.lpstrFile->size()) : 0;
  if (AnswerSize(files, multiple) > capacity) {
    const size_t terminators = multiple ? 2 : 1;
    return QFileDialog::tr(
               "The path is too long: %1\nThe dialog takes at most %2 bytes; choose a "
               "shorter name or folder.")
        .arg(files.join(u'\n'))
        .arg(capacity > terminators ? capacity - terminators : 0);
  }
  for (const QString& file : files) {
    const QFileInfo info(file);
    if ((ofn.Flags & OFN_FILEMUSTEXIST) && !info.exists()) {
      return QFileDialog::tr("%1\nFile not found.\nCheck the file name and try again.").arg(file);
    }
    if ((ofn.Flags & OFN_PATHMUSTEXIST) && !info.absoluteDir().exists()) {
      return QFileDialog::tr("%1\nPath does not exist.\nCheck the path and try again.").arg(file);
    }
  }
  return {};
}

// Shows the dialog until it gives an answer the record can take and the
// user wants, or is cancelled. The checks and the question about replacing
// a file come after it closes, so that they hold the same for the desktop's
// own dialog, which Qt uses where the desktop offers one, as for Qt's
// widget dialog: a refused answer shows the dialog again, with the refused
// name in it, and the question names the file that would really be written
// (the default extension added).
int32_t ShowDialog(OPENFILENAMEA& ofn, bool save) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    return 0;
  }
  const bool multiple = !save && (ofn.Flags & OFN_ALLOWMULTISELECT);
  QWidget* owner = Owner(ofn.hwndOwner);
  std::string seed = Seed(ofn);
  uint32_t filterIndex = ofn.nFilterIndex;
  for (;;) {
    RecordFileDialog dialog(owner);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (multiple) {
      dialog.setFileMode(QFileDialog::ExistingFiles);
    } else if (!save && (ofn.Flags & OFN_FILEMUSTEXIST)) {
      dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
      dialog.setFileMode(QFileDialog::AnyFile);
    }
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // The list shows each description exactly as given, not Qt's pattern part.
    dialog.setOption(QFileDialog::HideNameFilterDetails);

    const std::string title = TextBeforeNul(ofn.lpstrTitle);
    if (!title.empty()) {
      dialog.setWindowTitle(ToQString(title));
    } else {
      dialog.setWindowTitle(save ? QStringLiteral("Save As") : QStringLiteral("Open"));
    }

    QStringList nameFilters;
    QStringList descriptions;
    for (const auto& [description, patterns] : FilterPairs(ofn)) {
      nameFilters << NameFilter(description, patterns);
      descriptions << ToQString(description);
    }
    if (!nameFilters.isEmpty()) {
      dialog.setNameFilters(nameFilters);
      const uint32_t index =
          (filterIndex >= 1 && filterIndex <= static_cast<uint32_t>(nameFilters.size()))
              ? filterIndex
              : 1;
      dialog.selectNameFilter(nameFilters.at(static_cast<qsizetype>(index - 1)));
    }

    const std::string defaultExt = TextBeforeNul(ofn.lpstrDefExt);
    if (!defaultExt.empty()) {
      dialog.setDefaultSuffix(ToQString(defaultExt));
    }

    const std::string initialDir = TextBeforeNul(ofn.lpstrInitialDir);
    if (!initialDir.empty() && QFileInfo(PathFromBytes(initialDir)).isDir()) {
      dialog.setDirectory(PathFromBytes(initialDir));
    }

    if (!seed.empty()) {
      const QString seedPath = PathFromBytes(seed);
      const QFileInfo info(QDir(dialog.directory()).absoluteFilePath(seedPath));
      if (info.isDir()) {
        dialog.setDirectory(info.absoluteFilePath());
      } else {
        if (info.absoluteDir().exists()) {
          dialog.setDirectory(info.absolutePath());
        }
        dialog.selectFile(info.fileName());
      }
    }

    // The files as the dialog accepted them; asking the dialog after it has
    // closed can give a different answer once its list selection is reset.
    QStringList files;
    QObject::connect(&dialog, &QFileDialog::filesSelected,
                     [&files](const QStringList& selected) { files = selected; });
    if (dialog.exec() != QDialog::Accepted || files.isEmpty()) {
      return 0;
    }
    if (!nameFilters.isEmpty()) {
      const qsizetype selected = SelectedFilter(dialog, nameFilters, descriptions);
      filterIndex = selected >= 0 ? static_cast<uint32_t>(selected + 1) : filterIndex;
    }
    seed = PathToBytes(QFileInfo(files.first()).absoluteFilePath());

    const QString refusal = Refusal(ofn, files, multiple);
    if (!refusal.isEmpty()) {
      QMessageBox::warning(owner, dialog.windowTitle(), refusal);
      continue;
    }
    const QFileInfo chosen(files.first());
    if (save && (ofn.Flags & OFN_OVERWRITEPROMPT) && chosen.exists() &&
        QMessageBox::warning(owner, dialog.windowTitle(),
                             QFileDialog::tr("%1 already exists.\nDo you want to replace it?")
                                 .arg(chosen.fileName()),
                             QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::No) != QMessageBox::Yes) {
      continue;
    }

    bool stored = false;
    if (files.size() == 1) {
      stored = StoreSingleAnswer(ofn, PathToBytes(chosen.absoluteFilePath()));
    } else {
      // Qt's list holds full paths; the platform's answer is one folder and
      // names relative to it.
      const QDir folder = chosen.absoluteDir();
      std::vector<std::string> names;
      for (const QString& file : files) {
        names.push_back(PathToBytes(folder.relativeFilePath(file)));
      }
      stored = StoreMultipleAnswer(ofn, PathToBytes(folder.absolutePath()), names);
    }
    if (!stored) {
      return 0;
    }
    if (!nameFilters.isEmpty()) {
      ofn.nFilterIndex = filterIndex;
    }
    return 1;
  }
}

}  // namespace

CommonDialogs& PlatformCommonDialogs() {
  static QtCommonDialogs dialogs;
  return dialogs;
}

int32_t QtCommonDialogs::ShowOpenDialog(OPENFILENAMEA& ofn) {
  return ShowDialog(ofn, false);
}

int32_t QtCommonDialogs::ShowSaveDialog(OPENFILENAMEA& ofn) {
  return ShowDialog(ofn, true);
}

int32_t WindowHandle(QWidget* widget) {
  if (!widget) {
    return 0;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(widget->window()->winId()));
}

QWidget* DefaultDialogOwner() {
  if (QWidget* active = QApplication::activeWindow()) {
    return active;
  }
  // Right after a dialog closes, until the window manager activates the
  // window beneath it, no window is active. The main window (a visible
  // top-level window that nothing owns) is then the right owner, so that the
  // next box appears over it instead of in the middle of the screen.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && !widget->parentWidget() && widget->windowType() == Qt::Window) {
      return widget;
    }
  }
  return nullptr;
}

}  // namespace halvarin
