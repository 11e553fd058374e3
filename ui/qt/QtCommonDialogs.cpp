#include "QtCommonDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
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

// Qt's dialog with the must-exist checks that it lacks for typed names, and
// a refusal of an answer too long for the record, which would otherwise
// reach the caller as a silent cancel.
class RecordFileDialog : public QFileDialog {
 public:
  RecordFileDialog(QWidget* parent, const OPENFILENAMEA& ofn, bool multiple)
      : QFileDialog(parent),
        flags_(ofn.Flags),
        capacity_(ofn.lpstrFile ? std::min<size_t>(ofn.nMaxFile, ofn.lpstrFile->size()) : 0),
        multiple_(multiple) {}

  void accept() override {
    const QStringList files = selectedFiles();
    const bool intoFolder = files.size() == 1 && QFileInfo(files.first()).isDir();
    if (!files.isEmpty() && !intoFolder && AnswerSize(files, multiple_) > capacity_) {
      const size_t terminators = multiple_ ? 2 : 1;
      Refuse(tr("The path is too long: %1\nThe dialog takes at most %2 bytes; choose a "
                "shorter name or folder.")
                 .arg(files.join(u'\n'))
                 .arg(capacity_ > terminators ? capacity_ - terminators : 0));
      return;
    }
    for (const QString& file : files) {
      const QFileInfo info(file);
      if (info.isDir()) {
        continue;  // the dialog itself changes into a typed folder
      }
      if ((flags_ & OFN_FILEMUSTEXIST) && !info.exists()) {
        Refuse(tr("%1\nFile not found.\nCheck the file name and try again.").arg(file));
        return;
      }
      if ((flags_ & OFN_PATHMUSTEXIST) && !info.absoluteDir().exists()) {
        Refuse(tr("%1\nPath does not exist.\nCheck the path and try again.").arg(file));
        return;
      }
    }
    QFileDialog::accept();
  }

 private:
  void Refuse(const QString& message) { QMessageBox::warning(this, windowTitle(), message); }

  uint32_t flags_;
  size_t capacity_;
  bool multiple_;
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

int32_t ShowDialog(OPENFILENAMEA& ofn, bool save) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    return 0;
  }
  const bool multiple = !save && (ofn.Flags & OFN_ALLOWMULTISELECT);

  RecordFileDialog dialog(Owner(ofn.hwndOwner), ofn, multiple);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (multiple) {
    dialog.setFileMode(QFileDialog::ExistingFiles);
  } else if (!save && (ofn.Flags & OFN_FILEMUSTEXIST)) {
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setFileMode(QFileDialog::AnyFile);
  }
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !(save && (ofn.Flags & OFN_OVERWRITEPROMPT)));
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
        (ofn.nFilterIndex >= 1 && ofn.nFilterIndex <= static_cast<uint32_t>(nameFilters.size()))
            ? ofn.nFilterIndex
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

  const std::string seed = Seed(ofn);
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

  bool stored = false;
  if (files.size() == 1) {
    stored = StoreSingleAnswer(ofn, PathToBytes(QFileInfo(files.first()).absoluteFilePath()));
  } else {
    // Qt's list holds full paths; the platform's answer is one folder and
    // names relative to it.
    const QDir folder = QFileInfo(files.first()).absoluteDir();
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
    const qsizetype selected = SelectedFilter(dialog, nameFilters, descriptions);
    if (selected >= 0) {
      ofn.nFilterIndex = static_cast<uint32_t>(selected + 1);
    }
  }
  return 1;
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
