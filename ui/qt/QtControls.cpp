#include "QtControls.h"

#include <algorithm>
#include <map>
#include <utility>

#include <QCoreApplication>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QUrl>

#include "QtFormWindow.h"
#include "QtText.h"

namespace halvarin {

namespace {

constexpr const char* kGivenFont = "halvarinGivenFont";

// Dropped data as the form sees it. A file manager offers the dragged files
// as text too (their paths or URLs); only a drag that carries no local files
// counts as plain text, so that dropping files is never mistaken for
// dropping a text selection.
class QtDataObject : public DataObject {
 public:
  explicit QtDataObject(const QMimeData& data) : data_(data) {}

  bool GetFormat(int16_t format) const override {
    if (format == vbCFText) {
      return data_.hasText() && Files().empty();
    }
    if (format == vbCFFiles) {
      return !Files().empty();
    }
    return false;
  }

  std::vector<std::string> Files() const override {
    std::vector<std::string> files;
    for (const QUrl& url : data_.urls()) {
      if (!url.isLocalFile()) {
        continue;
      }
#ifdef _WIN32
      files.push_back(ToUtf8(QDir::toNativeSeparators(url.toLocalFile())));
#else
      // A name is bytes here, and one that is not UTF-8 arrives
      // percent-encoded byte for byte: decoded as text, it would name no file.
      const QByteArray bytes =
          QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
      files.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
#endif
    }
    return files;
  }

 private:
  const QMimeData& data_;
};

// Marks a drag that started in one of this program's lists, by process: a
// drag back onto the list it came from must not add the entry again.
QString OwnDragFormat() {
  return QStringLiteral("application/x-halvarin-drag-%1").arg(QCoreApplication::applicationPid());
}

bool OffersDrop(const QMimeData* data) {
  return data != nullptr && (data->hasUrls() || data->hasText()) &&
         !data->hasFormat(OwnDragFormat());
}

int16_t ToMouseButton(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return vbLeftButton;
    case Qt::RightButton:
      return vbRightButton;
    case Qt::MiddleButton:
      return vbMiddleButton;
    default:
      return 0;
  }
}

int16_t ToShiftState(Qt::KeyboardModifiers modifiers) {
  int16_t shift = 0;
  if (modifiers & Qt::ShiftModifier) {
    shift |= vbShiftMask;
  }
  if (modifiers & Qt::ControlModifier) {
    shift |= vbCtrlMask;
  }
  if (modifiers & Qt::AltModifier) {
    shift |= vbAltMask;
  }
  return shift;
}

}  // namespace

QColor ToQColor(const Colour& colour) {
  return QColor(colour.Red, colour.Green, colour.Blue);
}

std::string ControlKey(const ControlDef& def) {
  return def.Index < 0 ? def.Name : def.Name + "(" + std::to_string(def.Index) + ")";
}

void ApplyFont(QWidget* widget, const FontDef& font) {
  QFont f = widget->font();
  if (!font.Name.empty()) {
    f.setFamily(ToQString(font.Name));
  }
  if (font.Size > 0) {
    f.setPointSizeF(font.Size);
  }
  f.setBold(font.Bold);
  widget->setFont(f);
  widget->setProperty(kGivenFont, f);
}

namespace {

constexpr double kSmallestReadable = 7.0;  // points
constexpr double kStep = 0.25;

// The largest size, from `font`'s own down in steps to the smallest readable,
// at which the text of a label or push button fits its box with a pixel to
// spare; 0 when none does, or the widget shows no text.
double FittingSize(QWidget* widget, QFont font) {
  auto* label = qobject_cast<QLabel*>(widget);
  auto* button = qobject_cast<QPushButton*>(widget);
  if (label == nullptr && button == nullptr) {
    return 0;
  }
  QRect room;
  int flags = 0;
  if (button != nullptr) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (button->isDefault()) {
      option.features |= QStyleOptionButton::DefaultButton;
    }
    if (button->autoDefault()) {
      option.features |= QStyleOptionButton::AutoDefaultButton;
    }
    room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    flags = Qt::AlignCenter | Qt::TextShowMnemonic;
  } else {
    room = label->contentsRect();
    flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
  }
  room.adjust(1, 1, -1, -1);
  const QString text = button != nullptr ? button->text() : label->text();
  for (double size = font.pointSizeF(); size >= kSmallestReadable; size -= kStep) {
    font.setPointSizeF(size);
    if (room.contains(QFontMetrics(font, widget).boundingRect(room, flags, text))) {
      return size;
    }
  }
  return 0;
}

}  // namespace

void FitText(QWidget* widget) {
  const QVariant given = widget->property(kGivenFont);
  if (!given.isValid()) {
    return;
  }
  QFont font = given.value<QFont>();
  const double size = FittingSize(widget, font);
  font.setPointSizeF(size > 0 ? size : kSmallestReadable);
  widget->setFont(font);
}

void FitTexts(const std::vector<QWidget*>& widgets) {
  // The families the definitions name, each with the widgets that ask for it.
  std::map<QString, std::vector<QWidget*>> named;
  for (QWidget* widget : widgets) {
    const QVariant given = widget->property(kGivenFont);
    if (given.isValid()) {
      named[given.value<QFont>().family()].push_back(widget);
    }
  }
  const QStringList installed = QFontDatabase::families();
  for (auto& [family, users] : named) {
    // The family itself where it is installed, its substitutes that are,
    // and what the system would show for it: the one whose texts all fit at
    // the largest size wins, the earlier on a tie.
    QStringList candidates;
    for (const QString& wanted : QStringList{family} + QFont::substitutes(family)) {
      // Installed names may carry their foundry: "Nimbus Sans [urw]".
      for (const QString& name : installed) {
        if ((name.compare(wanted, Qt::CaseInsensitive) == 0 ||
             name.startsWith(wanted + QStringLiteral(" ["), Qt::CaseInsensitive)) &&
            !candidates.contains(name)) {
          candidates << name;
          break;
        }
      }
    }
    candidates << QFontInfo(users.front()->property(kGivenFont).value<QFont>()).family();
    QString best = candidates.front();
    double bestSize = -1;
    for (const QString& candidate : candidates) {
      double smallest = 1e9;
      for (QWidget* widget : users) {
        QFont font = widget->property(kGivenFont).value<QFont>();
        font.setFamily(candidate);
        smallest = std::min(smallest, FittingSize(widget, font));
      }
      if (smallest > bestSize) {
        best = candidate;
        bestSize = smallest;
      }
    }
    for (QWidget* widget : users) {
      QFont font = widget->property(kGivenFont).value<QFont>();
      font.setFamily(best);
      widget->setProperty(kGivenFont, font);
      FitText(widget);
    }
  }
}

void ApplyColours(QWidget* widget, const ControlSettings& settings) {
  QPalette palette = widget->palette();
  if (settings.ForeColor) {
    palette.setColor(QPalette::WindowText, ToQColor(*settings.ForeColor));
    palette.setColor(QPalette::ButtonText, ToQColor(*settings.ForeColor));
    palette.setColor(QPalette::Text, ToQColor(*settings.ForeColor));
  }
  if (settings.BackColor) {
    palette.setColor(QPalette::Window, ToQColor(*settings.BackColor));
    widget->setAutoFillBackground(true);
  }
  widget->setPalette(palette);
}

Qt::Alignment ToQtAlignment(Alignment alignment) {
  switch (alignment) {
    case Alignment::Center:
      return Qt::AlignHCenter | Qt::AlignTop;
    case Alignment::Right:
      return Qt::AlignRight | Qt::AlignTop;
    case Alignment::Left:
      break;
  }
  return Qt::AlignLeft | Qt::AlignTop;
}

QtLineControl::QtLineControl(const QPoint& from, const QPoint& to, const QColor& colour, int width,
                             QWidget* parent)
    : QWidget(parent), colour_(colour), width_(std::max(1, width)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  // The widget covers the line's bounding box, grown by the pen width so
  // that thick lines are not clipped.
  QRect box = QRect(from, to).normalized().adjusted(0, 0, width_, width_);
  setGeometry(box);
  from_ = from - box.topLeft();
  to_ = to - box.topLeft();
}

void QtLineControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QPen pen(colour_, width_, Qt::SolidLine, Qt::FlatCap);
  painter.setPen(pen);
  // A pen wider than one pixel is centred on the line; keep its top edge on
  // the given point, as the line's first pixel row.
  QPointF shift(0, (width_ - 1) / 2.0 + (width_ > 1 ? 0.5 : 0.0));
  painter.drawLine(QPointF(from_) + shift, QPointF(to_) + shift);
}

QtListView::QtListView(QtFormWindow& form, const ControlDef& def, std::vector<QIcon> largeIcons,
                       std::vector<QIcon> smallIcons, QWidget* parent)
    : QListWidget(parent),
      form_(form),
      largeIcons_(std::move(largeIcons)),
      smallIcons_(std::move(smallIcons)),
      acceptDrops_(def.Settings.AcceptDrops) {
  const ControlSettings& s = def.Settings;
  setObjectName(ToQString(ControlKey(def)));
  const bool icons = s.View == ListViewStyle::Icon;
  setViewMode(icons ? QListView::IconMode : QListView::ListMode);
  setFlow(s.Arrange == Arrangement::LeftToRight ? QListView::LeftToRight : QListView::TopToBottom);
  setWrapping(true);
  setResizeMode(QListView::Adjust);
  setMovement(QListView::Static);
  // Every item has the same cell, so the view lays out tens of thousands of
  // entries without measuring each one.
  setUniformItemSizes(true);
  if (icons) {
    const int iconSide = form.Px(32 * 15);
    setIconSize(QSize(iconSide, iconSide));
    // Wide enough for a 12-character name in capitals, so that stored names
    // (which have no spaces to wrap at) show whole rather than elided; the
    // second line is for the longer names of files queued for adding.
    const QFontMetrics metrics = fontMetrics();
    const int nameWidth = metrics.horizontalAdvance(QStringLiteral("NNNNNNNN.NNN"));
    const int cellWidth = std::max(form.Px(88 * 15), nameWidth + metrics.averageCharWidth() * 2);
    setGridSize(QSize(cellWidth, iconSide + metrics.height() * 2 + form.Px(10 * 15)));
    setWordWrap(true);
    setTextElideMode(Qt::ElideMiddle);
  }
  setSelectionMode(s.MultiSelect ? QAbstractItemView::ExtendedSelection
                                 : QAbstractItemView::SingleSelection);
  setEditTriggers(s.LabelEdit
                      ? QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked
                      : QAbstractItemView::NoEditTriggers);
  setDragEnabled(true);
  setAcceptDrops(acceptDrops_);
  viewport()->setAcceptDrops(acceptDrops_);
  setDragDropMode(acceptDrops_ ? QAbstractItemView::DragDrop : QAbstractItemView::DragOnly);
  setDefaultDropAction(Qt::CopyAction);
  setDropIndicatorShown(false);
  // The form decides what a right click does (MouseDown); no context menu
  // of Qt's own, and none passed up to the window.
  setContextMenuPolicy(Qt::PreventContextMenu);
}

void QtListView::mousePressEvent(QMouseEvent* event) {
  // Let the view select the item under the mouse first, so that a pop-up
  // opened by the form acts on the item that was clicked.
  QListWidget::mousePressEvent(event);
  const int16_t button = ToMouseButton(event->button());
  if (button == 0) {
    return;
  }
  const QPointF at = event->position();
  form_.FireMouseDown(ToUtf8(objectName()), button, ToShiftState(event->modifiers()),
                      form_.Twips(at.x()), form_.Twips(at.y()));
}

void QtListView::keyPressEvent(QKeyEvent* event) {
  // The keyboard's ways to the pop-up menu, on the selected item, told to the
  // form as a right click there.
  if (event->key() == Qt::Key_Menu ||
      (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
    const QList<QListWidgetItem*> selected = selectedItems();
    const QPoint at = selected.isEmpty() ? QPoint(0, 0) : visualItemRect(selected.front()).center();
    form_.SetPopupPosition(viewport()->mapToGlobal(at));
    form_.FireMouseDown(ToUtf8(objectName()), vbRightButton, 0, form_.Twips(at.x()),
                        form_.Twips(at.y()));
    form_.SetPopupPosition(std::nullopt);
    event->accept();
    return;
  }
  QListWidget::keyPressEvent(event);
}

void QtListView::dragEnterEvent(QDragEnterEvent* event) {
  dragMoveEvent(event);  // entering is the first move, judged the same way
}

void QtListView::dragMoveEvent(QDragMoveEvent* event) {
  if (!acceptDrops_ || !OffersDrop(event->mimeData())) {
    event->ignore();
    return;
  }
  // Always a copy: a "move" would let the source delete the dragged files.
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void QtListView::dropEvent(QDropEvent* event) {
  if (!acceptDrops_ || event->mimeData() == nullptr ||
      event->mimeData()->hasFormat(OwnDragFormat())) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  QtDataObject data(*event->mimeData());
  form_.FireDragDrop(ToUtf8(objectName()), data);
}

std::unique_ptr<QMimeData> QtListView::DragData(int row) {
  const std::vector<std::string> files =
      form_.FireStartDrag(ToUtf8(objectName()), static_cast<int32_t>(row) + 1);
  // A large entry takes a while to write, and the button may have come up
  // meanwhile: a drag started now would stick to the pointer until the
  // next click, and drop the file wherever that lands.
  if (files.empty() || !(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
    return nullptr;
  }
  QList<QUrl> urls;
  for (const std::string& file : files) {
    urls.push_back(QUrl::fromLocalFile(QDir().absoluteFilePath(ToQString(file))));
  }
  auto data = std::make_unique<QMimeData>();
  data->setUrls(urls);
  data->setData(OwnDragFormat(), QByteArray());
  return data;
}

void QtListView::startDrag(Qt::DropActions /*supportedActions*/) {
  QListWidgetItem* dragged = currentItem();
  if (dragged == nullptr) {
    return;
  }
  std::unique_ptr<QMimeData> data = DragData(row(dragged));
  if (!data) {
    return;
  }
  auto* drag = new QDrag(this);
  drag->setMimeData(data.release());
  drag->setPixmap(dragged->icon().pixmap(iconSize()));
  // A copy only: a "move" would let the target ask us to delete the entry.
  drag->exec(Qt::CopyAction, Qt::CopyAction);
}

}  // namespace halvarin
