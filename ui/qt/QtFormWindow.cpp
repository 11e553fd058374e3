#include "QtFormWindow.h"

#include <algorithm>
#include <exception>
#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>

#include "AppError.h"
#include "QtText.h"
#include "QtToolkit.h"

namespace halvarin {

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
  std::vector<QWidget*> texts;
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
    widget->setObjectName(ToQString(ControlKey(def)));
    if (!s.AccessibleName.empty()) {
      widget->setAccessibleName(ToQString(s.AccessibleName));
    }
    controls_[ControlKey(def)] = widget;
    texts.push_back(widget);
  }
  FitTexts(texts);
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
    const QString name = ToQString(def.Name);
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
  RunReportingErrors(toolkit_, handler);
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

std::vector<std::string> QtFormWindow::FireStartDrag(const std::string& control, int32_t position) {
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
