#include "QtFormWindow.h"

#include <algorithm>
#include <exception>
#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QUrl>

#include "AppError.h"
#include "QtToolkit.h"

namespace halvarin {

namespace {

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QColor ToQColor(const Colour& colour) {
  return QColor(colour.Red, colour.Green, colour.Blue);
}

std::string ControlKey(const ControlDef& def) {
  return def.Index < 0 ? def.Name : def.Name + "(" + std::to_string(def.Index) + ")";
}

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
      if (url.isLocalFile()) {
        files.push_back(QDir::toNativeSeparators(url.toLocalFile()).toUtf8().toStdString());
      }
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

// A straight line between two points of the client area.
class QtLineControl : public QWidget {
 public:
  QtLineControl(const QPoint& from, const QPoint& to, const QColor& colour, int width,
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

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QPen pen(colour_, width_, Qt::SolidLine, Qt::FlatCap);
    painter.setPen(pen);
    // A pen wider than one pixel is centred on the line; keep its top edge on
    // the given point, as the line's first pixel row.
    QPointF shift(0, (width_ - 1) / 2.0 + (width_ > 1 ? 0.5 : 0.0));
    painter.drawLine(QPointF(from_) + shift, QPointF(to_) + shift);
  }

 private:
  QColor colour_;
  int width_;
  QPoint from_;
  QPoint to_;
};

void ApplyFont(QWidget* widget, const FontDef& font) {
  if (font.Name.empty() && font.Size <= 0 && !font.Bold) {
    return;
  }
  QFont f = widget->font();
  if (!font.Name.empty()) {
    f.setFamily(ToQString(font.Name));
  }
  if (font.Size > 0) {
    f.setPointSizeF(font.Size);
  }
  f.setBold(font.Bold);
  widget->setFont(f);
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

// --- QtListView ---

QtListView::QtListView(QtFormWindow& form, const ControlDef& def, std::vector<QIcon> largeIcons,
                       std::vector<QIcon> smallIcons, QWidget* parent)
    : QListWidget(parent),
      form_(form),
      largeIcons_(std::move(largeIcons)),
      smallIcons_(std::move(smallIcons)),
      acceptDrops_(def.Settings.AcceptDrops) {
  const ControlSettings& s = def.Settings;
  setObjectName(QString::fromStdString(ControlKey(def)));
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
  form_.FireMouseDown(objectName().toStdString(), button, ToShiftState(event->modifiers()),
                      form_.Twips(at.x()), form_.Twips(at.y()));
}

void QtListView::dragEnterEvent(QDragEnterEvent* event) {
  if (!acceptDrops_ || !OffersDrop(event->mimeData())) {
    event->ignore();
    return;
  }
  // Always a copy: a "move" would let the source delete the dragged files.
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void QtListView::dragMoveEvent(QDragMoveEvent* event) {
  if (!acceptDrops_ || !OffersDrop(event->mimeData())) {
    event->ignore();
    return;
  }
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
  form_.FireDragDrop(objectName().toStdString(), data);
}

std::unique_ptr<QMimeData> QtListView::DragData(int row) {
  const std::vector<std::string> files =
      form_.FireStartDrag(objectName().toStdString(), static_cast<int32_t>(row) + 1);
  if (files.empty()) {
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

// --- QtFormWindow ---

QtFormWindow::QtFormWindow(QtToolkit& toolkit, const FormDefinition& definition, FormEvents* events)
    : toolkit_(toolkit), definition_(definition), events_(events) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    dpi_ = screen->logicalDotsPerInch();
  }
  setObjectName(ToQString(definition_.Name));
  setWindowTitle(ToQString(definition_.Caption));
  if (!definition_.Icon.empty()) {
    QIcon icon(ToQString(definition_.Icon));
    if (!icon.isNull()) {
      setWindowIcon(icon);
    }
  }

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("ClientArea"));
  setCentralWidget(client_);
  client_->installEventFilter(this);

  BuildControls();
  BuildMenus();
  SetUpTabOrder();

  const int clientWidth = Px(definition_.ClientWidth);
  const int clientHeight = Px(definition_.ClientHeight);
  const int menuHeight = definition_.Menus.empty() ? 0 : menuBar()->sizeHint().height();
  client_->resize(clientWidth, clientHeight);
  if (definition_.Border == BorderStyle::FixedDialog) {
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(clientWidth, clientHeight + menuHeight);
  } else {
    resize(clientWidth, clientHeight + menuHeight);
  }
  if (definition_.ClientLeft && definition_.ClientTop) {
    setGeometry(Px(*definition_.ClientLeft), Px(*definition_.ClientTop) - menuHeight, clientWidth,
                clientHeight + menuHeight);
  }
  LayOutDocked();
}

QtFormWindow::~QtFormWindow() = default;

void QtFormWindow::AdoptEvents(std::unique_ptr<FormEvents> events) {
  events_ = events.get();
  ownedEvents_ = std::move(events);
}

QWidget* QtFormWindow::Control(const std::string& name) const {
  auto it = controls_.find(name);
  return it == controls_.end() ? nullptr : it->second;
}

QMenu* QtFormWindow::Menu(const std::string& name) const {
  auto it = menus_.find(name);
  return it == menus_.end() ? nullptr : it->second;
}

QAction* QtFormWindow::MenuAction(const std::string& name) const {
  auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

std::vector<QIcon> QtFormWindow::LoadImageList(const std::string& name) const {
  std::vector<QIcon> icons;
  const ControlDef* list = definition_.FindControl(name);
  if (list == nullptr || list->Kind != ControlKind::ImageList) {
    return icons;
  }
  const ControlSettings& s = list->Settings;
  for (const std::string& path : s.Images) {
    QImage image(ToQString(path));
    if (image.isNull()) {
      // A missing picture leaves its index valid, without an icon.
      icons.emplace_back();
      continue;
    }
    if (s.MaskColor && !image.hasAlphaChannel()) {
      image = image.convertToFormat(QImage::Format_ARGB32);
      const QRgb mask = qRgb(s.MaskColor->Red, s.MaskColor->Green, s.MaskColor->Blue);
      for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
          if ((line[x] & 0x00ffffff) == (mask & 0x00ffffff)) {
            line[x] = 0;
          }
        }
      }
    }
    const QSize cell(s.ImageWidth, s.ImageHeight);
    if (image.width() > cell.width() || image.height() > cell.height()) {
      image = image.scaled(cell, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    icons.emplace_back(QPixmap::fromImage(image));
  }
  return icons;
}

void QtFormWindow::BuildControls() {
  QPushButton* defaultButton = nullptr;
  QPushButton* cancelButton = nullptr;
  for (const ControlDef& def : definition_.Controls) {
    const ControlSettings& s = def.Settings;
    const QRect box(Px(def.Left), Px(def.Top), Px(def.Width), Px(def.Height));
    QWidget* widget = nullptr;
    switch (def.Kind) {
      case ControlKind::ImageList:
        // Invisible: its pictures live on in the list views that use them.
        continue;
      case ControlKind::ListView: {
        widget = new QtListView(*this, def, LoadImageList(s.Icons), LoadImageList(s.SmallIcons),
                                client_);
        widget->setGeometry(box);
        break;
      }
      case ControlKind::StatusBar: {
        auto* bar = new QStatusBar(client_);
        bar->setSizeGripEnabled(definition_.Border == BorderStyle::Sizable);
        for (const StatusPanel& panel : s.Panels) {
          auto* label = new QLabel(ToQString(panel.Text), bar);
          label->setFixedWidth(Px(panel.Width));
          label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
          bar->addWidget(label);
        }
        bar->setFixedHeight(box.height());
        widget = bar;
        widget->setGeometry(box);
        break;
      }
      case ControlKind::CommandButton: {
        auto* button = new QPushButton(ToQString(s.Caption), client_);
        const std::string name = def.Name;
        QObject::connect(button, &QPushButton::clicked, this, [this, name] { FireClick(name); });
        button->setAutoDefault(false);
        if (s.Default) {
          button->setDefault(true);
          defaultButton = button;
        }
        if (s.Cancel) {
          cancelButton = button;
        }
        ApplyFont(button, s.Font);
        widget = button;
        widget->setGeometry(box);
        break;
      }
      case ControlKind::Label: {
        auto* label = new QLabel(ToQString(s.Caption), client_);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(s.WordWrap);
        label->setAlignment(ToQtAlignment(s.TextAlign));
        ApplyFont(label, s.Font);
        ApplyColours(label, s);
        widget = label;
        widget->setGeometry(box);
        break;
      }
      case ControlKind::PictureBox: {
        auto* picture = new QLabel(client_);
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (s.Border == FrameStyle::Sunken) {
          picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
          picture->setLineWidth(2);
        }
        QPixmap pixmap(ToQString(s.Picture));
        if (!pixmap.isNull()) {
          picture->setPixmap(pixmap);
        }
        QRect pictureBox = box;
        if (s.AutoSize && !pixmap.isNull()) {
          const int frame = picture->frameWidth() * 2;
          pictureBox.setSize(pixmap.deviceIndependentSize().toSize() + QSize(frame, frame));
        }
        ApplyColours(picture, s);
        widget = picture;
        widget->setGeometry(pictureBox);
        break;
      }
      case ControlKind::Line: {
        widget = new QtLineControl(QPoint(Px(s.X1), Px(s.Y1)), QPoint(Px(s.X2), Px(s.Y2)),
                                   ToQColor(s.BorderColor), s.BorderWidth, client_);
        break;
      }
    }
    widget->setObjectName(QString::fromStdString(ControlKey(def)));
    controls_[ControlKey(def)] = widget;
  }
  // Enter and Esc anywhere in the window choose the default and the cancel
  // button, as in a dialog.
  if (defaultButton != nullptr) {
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
      auto* shortcut = new QShortcut(QKeySequence(key), this);
      QObject::connect(shortcut, &QShortcut::activated, defaultButton, &QPushButton::click);
    }
  }
  if (cancelButton != nullptr) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    QObject::connect(shortcut, &QShortcut::activated, cancelButton, &QPushButton::click);
  }
}

void QtFormWindow::BuildMenus() {
  if (definition_.Menus.empty()) {
    return;
  }
  auto hasChildren = [this](const std::string& name) {
    return std::any_of(definition_.Menus.begin(), definition_.Menus.end(),
                       [&name](const MenuDef& m) { return m.Parent == name; });
  };
  QMenuBar* bar = menuBar();
  for (const MenuDef& def : definition_.Menus) {
    const QString caption = ToQString(def.Caption);
    const QString name = QString::fromStdString(def.Name);
    QMenu* parentMenu = def.Parent.empty() ? nullptr : Menu(def.Parent);
    if (!def.Parent.empty() && parentMenu == nullptr) {
      throw AppError(errInvalidArgument, "QtFormWindow",
                     "Menu " + def.Name + " names an unknown parent menu " + def.Parent);
    }
    QAction* action = nullptr;
    if (hasChildren(def.Name)) {
      QMenu* menu = parentMenu != nullptr ? parentMenu->addMenu(caption) : bar->addMenu(caption);
      menu->setObjectName(name);
      menus_[def.Name] = menu;
      action = menu->menuAction();
    } else if (def.Caption == "-") {
      action = parentMenu != nullptr ? parentMenu->addSeparator() : bar->addSeparator();
    } else {
      action = parentMenu != nullptr ? parentMenu->addAction(caption) : bar->addAction(caption);
      const std::string itemName = def.Name;
      QObject::connect(action, &QAction::triggered, this,
                       [this, itemName] { FireClick(itemName); });
    }
    action->setObjectName(name);
    if (!def.Shortcut.empty()) {
      action->setShortcut(QKeySequence(ToQString(def.Shortcut), QKeySequence::PortableText));
      // Menu shortcuts work whenever the window is active, whichever
      // control has the focus.
      action->setShortcutContext(Qt::WindowShortcut);
    }
    actions_[def.Name] = action;
  }
}

void QtFormWindow::SetUpTabOrder() {
  std::vector<const ControlDef*> order;
  for (const ControlDef& def : definition_.Controls) {
    QWidget* widget = Control(ControlKey(def));
    if (def.TabIndex >= 0 && widget != nullptr && widget->focusPolicy() != Qt::NoFocus) {
      order.push_back(&def);
    }
  }
  std::stable_sort(order.begin(), order.end(), [](const ControlDef* a, const ControlDef* b) {
    return a->TabIndex < b->TabIndex;
  });
  for (size_t i = 1; i < order.size(); ++i) {
    QWidget::setTabOrder(Control(ControlKey(*order[i - 1])), Control(ControlKey(*order[i])));
  }
  if (!order.empty()) {
    // The first control in the tab order has the focus when the window opens.
    Control(ControlKey(*order.front()))->setFocus();
  }
}

void QtFormWindow::LayOutDocked() {
  const QSize area = client_->size();
  for (const ControlDef& def : definition_.Controls) {
    if (def.Settings.Align == Dock::None) {
      continue;
    }
    QWidget* widget = Control(ControlKey(def));
    if (widget == nullptr) {
      continue;
    }
    const int height = widget->height();
    const int top = def.Settings.Align == Dock::Bottom ? area.height() - height : 0;
    widget->setGeometry(0, top, area.width(), height);
  }
}

void QtFormWindow::Dispatch(const std::function<void()>& handler) {
  if (events_ == nullptr) {
    return;
  }
  // Qt's event loop must not see an exception. The forms show no message of
  // their own for a failed command, so the user at least learns what failed.
  try {
    handler();
  } catch (const AppError& error) {
    toolkit_.MsgBox(error.Description(), vbCritical);
  } catch (const std::exception& error) {
    toolkit_.MsgBox(error.what(), vbCritical);
  }
}

void QtFormWindow::FireLoad() {
  Dispatch([this] { events_->Load(); });
}

void QtFormWindow::FireUnload() {
  Dispatch([this] { events_->Unload(); });
}

void QtFormWindow::FireResize() {
  const float width = Twips(client_->width());
  const float height = Twips(client_->height());
  const bool minimized = isMinimized();
  Dispatch([&] { events_->Resize(width, height, minimized); });
}

void QtFormWindow::FireClick(const std::string& name) {
  Dispatch([&] { events_->Click(name); });
}

void QtFormWindow::FireMouseDown(const std::string& control, int16_t button, int16_t shift, float x,
                                 float y) {
  Dispatch([&] { events_->MouseDown(control, button, shift, x, y); });
}

void QtFormWindow::FireDragDrop(const std::string& control, const DataObject& data) {
  Dispatch([&] { events_->DragDrop(control, data); });
}

std::vector<std::string> QtFormWindow::FireStartDrag(const std::string& control,
                                                     int32_t position) {
  std::vector<std::string> files;
  Dispatch([&] { files = events_->StartDrag(control, position); });
  return files;
}

void QtFormWindow::closeEvent(QCloseEvent* event) {
  // Closing from the title bar unloads the form, unless the form keeps the
  // window open (for instance because saving the user's edits failed).
  if (!toolkit_.Ending()) {
    bool cancel = false;
    Dispatch([&] { events_->QueryUnload(cancel); });
    if (cancel) {
      event->ignore();
      return;
    }
  }
  event->accept();
  if (!toolkit_.Ending()) {
    toolkit_.Unload(FormName());
  }
}

void QtFormWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) {
    // Minimising and restoring need not change the client area's size, so
    // no resize event would tell the form about them.
    FireResize();
  }
}

bool QtFormWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize) {
    LayOutDocked();
    FireResize();
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace halvarin
