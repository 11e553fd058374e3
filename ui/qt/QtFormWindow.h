#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QIcon>
#include <QListWidget>
#include <QMainWindow>

#include "FormDefinition.h"
#include "QtControls.h"
#include "Toolkit.h"

class QMenu;
class QMimeData;

namespace halvarin {

class QtToolkit;
class QtFormWindow;

// A window built from a FormDefinition. Controls sit at their twip positions
// in the client area (converted with the screen's logical DPI); controls
// docked to an edge are kept there at full width; menus come from the menu
// table. Events go to a FormEvents object; an exception escaping one of its
// handlers is shown in a message box instead of reaching Qt's event loop.
class QtFormWindow : public QMainWindow {
  Q_OBJECT

 public:
  QtFormWindow(QtToolkit& toolkit, const FormDefinition& definition, FormEvents* events);
  ~QtFormWindow() override;

  // The window owns its events object from now on (for forms that live and
  // die with their window).
  void AdoptEvents(std::unique_ptr<FormEvents> events);

  const FormDefinition& Definition() const { return definition_; }
  const std::string& FormName() const { return definition_.Name; }
  double Dpi() const { return dpi_; }
  int Px(double twips) const { return TwipsToPixels(twips, dpi_); }
  float Twips(double pixels) const { return PixelsToTwips(pixels, dpi_); }

  // The client area (below the menu bar) holding the controls.
  QWidget* ClientArea() const { return client_; }
  QWidget* Control(const std::string& name) const;
  QMenu* Menu(const std::string& name) const;
  QAction* MenuAction(const std::string& name) const;

  // Event delivery; each catches what the handler throws.
  void FireLoad();
  void FireUnload();
  void FireResize();
  void FireClick(const std::string& name);
  void FireMouseDown(const std::string& control, int16_t button, int16_t shift, float x, float y);
  void FireDragDrop(const std::string& control, const DataObject& data);
  std::vector<std::string> FireStartDrag(const std::string& control, int32_t position);

  // Puts docked controls at their edge; run whenever the client area resizes.
  void LayOutDocked();

  // Where a pop-up menu opened now is to show (screen coordinates), when not
  // at the mouse: set while a keyboard request for one is handled.
  void SetPopupPosition(std::optional<QPoint> at) { popupAt_ = at; }
  std::optional<QPoint> PopupPosition() const { return popupAt_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  void SetUpTabOrder();
  std::vector<QIcon> LoadImageList(const std::string& name) const;
  void Dispatch(const std::function<void()>& handler);

  QtToolkit& toolkit_;
  FormDefinition definition_;
  FormEvents* events_;
  std::unique_ptr<FormEvents> ownedEvents_;
  double dpi_ = 96.0;
  QWidget* client_ = nullptr;
  std::map<std::string, QWidget*> controls_;
  std::map<std::string, QMenu*> menus_;
  std::map<std::string, QAction*> actions_;
  std::optional<QPoint> popupAt_;
};

}  // namespace halvarin
