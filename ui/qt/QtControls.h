#pragma once

// The controls a form window is built from, and how a control's settings
// become Qt's.

#include <memory>
#include <string>
#include <vector>

#include <QColor>
#include <QIcon>
#include <QListWidget>
#include <QPoint>
#include <QWidget>

#include "FormDefinition.h"
#include "Toolkit.h"

class QMimeData;

namespace halvarin {

class QtFormWindow;

// The key a control is found by: its name, with its index for a control array.
std::string ControlKey(const ControlDef& def);
QColor ToQColor(const Colour& colour);
Qt::Alignment ToQtAlignment(Alignment alignment);
// Sets the font a definition names; FitText starts from it.
void ApplyFont(QWidget* widget, const FontDef& font);
// Boxes are sized for the fonts the definitions name, and the font the
// system puts in their place may be larger: steps the font of a label or a
// push button down from the one it was given, a quarter point at a time,
// until its text, word-wrapped as shown, fits its box (with a pixel to
// spare), but never below a readable size.
void FitText(QWidget* widget);
// FitText for the labels and buttons of a window, after choosing, for each
// font family their definitions name, the stand-in by its metrics: of the
// family itself, its substitutes and the system's own choice, those that
// are installed, the one in which all their texts fit at the largest size.
// (Fonts of the same width may differ much in line spacing.)
void FitTexts(const std::vector<QWidget*>& widgets);
void ApplyColours(QWidget* widget, const ControlSettings& settings);

// A straight line between two points of the client area.
class QtLineControl : public QWidget {
 public:
  QtLineControl(const QPoint& from, const QPoint& to, const QColor& colour, int width,
                QWidget* parent);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QColor colour_;
  int width_;
  QPoint from_;
  QPoint to_;
};

// A list view control: icons in a grid, items appended at the end, mouse
// presses and drops passed on to the form. An item dragged out of it offers
// what the form's StartDrag gives; dropped back on the list it does nothing.
// The Menu key and Shift+F10 come to the form as a right click on the
// selected item.
class QtListView : public QListWidget {
  Q_OBJECT

 public:
  QtListView(QtFormWindow& form, const ControlDef& def, std::vector<QIcon> largeIcons,
             std::vector<QIcon> smallIcons, QWidget* parent);

  int16_t ImageCount() const { return static_cast<int16_t>(largeIcons_.size()); }
  const QIcon& LargeIcon(int16_t index) const { return largeIcons_[index - 1]; }
  const QIcon& SmallIcon(int16_t index) const { return smallIcons_[index - 1]; }

  // What a drag of the item in `row` (0-based) offers: the form's files as
  // URLs, marked as our own drag; nullptr when the form offers none.
  std::unique_ptr<QMimeData> DragData(int row);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QtFormWindow& form_;
  std::vector<QIcon> largeIcons_;
  std::vector<QIcon> smallIcons_;
  bool acceptDrops_;
};

}  // namespace halvarin
