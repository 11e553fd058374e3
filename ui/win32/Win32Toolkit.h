#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "Toolkit.h"

namespace halvarin {

class LengthyWork;
class Win32FormWindow;
class Win32ListView;

// The toolkit on the system's own windows and common controls. Windows are
// made by factories registered under their form names; Show creates a window
// on first use, Unload destroys it, and the next Show makes a fresh one:
//
//   toolkit.RegisterWindow("frmAbout", [](Win32Toolkit& tk) {
//     auto form = std::make_unique<frmAbout>(tk);
//     auto window = std::make_unique<Win32FormWindow>(tk, frmAbout::Definition(), form.get());
//     window->AdoptEvents(std::move(form));
//     return window;
//   });
//
// Everything runs on the thread that made the toolkit, which runs the message
// loop (Run).
class Win32Toolkit : public Toolkit {
 public:
  using WindowFactory = std::function<std::unique_ptr<Win32FormWindow>(Win32Toolkit&)>;

  Win32Toolkit();
  ~Win32Toolkit() override;
  Win32Toolkit(const Win32Toolkit&) = delete;
  Win32Toolkit& operator=(const Win32Toolkit&) = delete;

  void RegisterWindow(const std::string& form, WindowFactory factory);
  // The window of a loaded form, nullptr when it is not loaded.
  Win32FormWindow* Window(const std::string& form) const;
  bool Ending() const { return ending_; }

  // The program's message loop: runs until End, returns the exit code.
  int Run();
  // Handles every message waiting, as the loop does, and returns; for tests
  // that drive the windows. Never from inside a window's own handler.
  void DoEvents();

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
  // What the program removes when the user's session ends (log-off,
  // shutdown) and the system is about to end the process: the drag folder.
  void OnSessionEnd(std::function<void()> cleanUp) { sessionEnd_ = std::move(cleanUp); }
  // The session ends: the operation that runs stops as Cancel stops it
  // (removing its temporary and lock files; one past its last report
  // finishes), then the clean-up runs. No question is asked: nobody may be
  // there to answer it.
  void EndSession();

  std::string AppPath() const override;

 private:
  struct Slot {
    WindowFactory Factory;
    std::unique_ptr<Win32FormWindow> Window;
    bool Unloading = false;
  };

  void Handle(MSG& message);
  void Bury(std::unique_ptr<Win32FormWindow> window);
  Win32FormWindow& RequireWindow(const std::string& form) const;
  HWND RequireControl(const std::string& form, const std::string& control) const;
  Win32ListView& RequireList(const std::string& form, const std::string& control) const;
  void SetControlSize(const std::string& form, const std::string& control, float twips, bool width);
  // The window a box or the progress window belongs to: the active one of
  // ours, else the first one shown.
  HWND DialogOwner() const;

  std::map<std::string, Slot> windows_;
  // Unloaded windows, deleted once none of their handlers can still be
  // running (the loop's next turn): a window may unload itself from one.
  std::vector<std::unique_ptr<Win32FormWindow>> unloaded_;
  bool ending_ = false;
  bool oleStarted_ = false;
  LengthyWork* running_ = nullptr;  // the operation RunWithProgress runs
  std::function<void()> sessionEnd_;
};

}  // namespace halvarin
