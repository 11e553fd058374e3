#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include <QPointer>
#include <QWidget>

#include "Toolkit.h"

namespace halvarin {

class LengthyWork;
class QtFormWindow;
class QtListView;
class QtProgressWindow;

// The toolkit on Qt Widgets. Windows are made by factories registered under
// their form names; Show creates a window on first use, Unload destroys it,
// and the next Show makes a fresh one. A factory usually returns a
// QtFormWindow built from a FormDefinition:
//
//   toolkit.RegisterWindow("frmAbout", [](QtToolkit& tk) {
//     auto form = std::make_unique<frmAbout>(tk);
//     auto window = std::make_unique<QtFormWindow>(tk, frmAbout::Definition(), form.get());
//     window->AdoptEvents(std::move(form));
//     return window;
//   });
class QtToolkit : public Toolkit {
 public:
  using WindowFactory = std::function<std::unique_ptr<QWidget>(QtToolkit&)>;

  QtToolkit();
  ~QtToolkit() override;
  QtToolkit(const QtToolkit&) = delete;
  QtToolkit& operator=(const QtToolkit&) = delete;

  void RegisterWindow(const std::string& form, WindowFactory factory);
  // The window of a loaded form, nullptr when it is not loaded.
  QWidget* Window(const std::string& form) const;
  bool Ending() const { return ending_; }

  void Show(const std::string& form) override;
  void Unload(const std::string& form) override;
  void End() override;
  int32_t MsgBox(const std::string& prompt, int32_t buttons = vbOKOnly,
                 const std::string& title = {}) override;

  void ListClear(const std::string& form, const std::string& control) override;
  void ListAdd(const std::string& form, const std::string& control, const std::string& text,
               int16_t largeIcon, int16_t smallIcon) override;
  void ListRemove(const std::string& form, const std::string& control, int32_t position) override;
  int32_t ListCount(const std::string& form, const std::string& control) const override;
  int32_t SelectedIndex(const std::string& form, const std::string& control) const override;
  std::string SelectedText(const std::string& form, const std::string& control) const override;

  void PopupMenu(const std::string& form, const std::string& menu) override;

  float ControlWidth(const std::string& form, const std::string& control) const override;
  float ControlHeight(const std::string& form, const std::string& control) const override;
  void SetControlWidth(const std::string& form, const std::string& control, float width) override;
  void SetControlHeight(const std::string& form, const std::string& control, float height) override;

  std::string Caption(const std::string& form, const std::string& control) const override;
  void SetCaption(const std::string& form, const std::string& control,
                  const std::string& text) override;

  void StartProgram(const std::string& path) override;

  void RunWithProgress(const std::string& file,
                       const std::function<void(const ProgressReport&)>& work) override;
  // Stops the operation RunWithProgress runs, as Cancel does (one past its
  // last report goes through), and calls `then` once it has ended and
  // removed what it would have left behind; at once when none runs.
  void StopOperation(std::function<void()> then);
  // The same without the event loop: waits here until the operation ends.
  void StopOperationNow();

  std::string AppPath() const override;

 private:
  struct Slot {
    WindowFactory Factory;
    QPointer<QWidget> Window;
    bool Unloading = false;
  };

  QWidget* RequireWindow(const std::string& form) const;
  QWidget* RequireControl(const std::string& form, const std::string& control) const;
  QtListView* RequireList(const std::string& form, const std::string& control) const;
  double DpiOf(const QWidget* window) const;

  // The operation RunWithProgress runs, and its window once it shows.
  struct Running {
    LengthyWork* job = nullptr;
    QtProgressWindow* window = nullptr;
  };

  std::map<std::string, Slot> windows_;
  bool ending_ = false;
  Running running_;
  std::function<void()> afterOperation_;
  // ListAdd runs once per entry when a large archive is listed: remember
  // the list found last instead of searching the window each time.
  mutable std::string cachedListKey_;
  mutable QPointer<QtListView> cachedList_;
};

}  // namespace halvarin
