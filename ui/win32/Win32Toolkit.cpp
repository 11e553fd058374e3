#include "Win32Toolkit.h"

#include <commctrl.h>
#include <ole2.h>

#include <utility>

#include "AppError.h"
#include "LengthyWork.h"
#include "PathNames.h"
#include "Win32FormWindow.h"
#include "Win32ListView.h"
#include "Win32ProgressWindow.h"
#include "Win32Text.h"

namespace halvarin {

namespace {

constexpr const char* kSource = "Toolkit";

// While a box or the progress window is up, every other window of the
// program takes no input (they still paint); afterwards each is enabled
// again. `keep` is left alone: the window that is up, or a box's owner,
// which the box disables and enables itself.
class ModalScope {
 public:
  explicit ModalScope(HWND keep) : keep_(keep) {
    ::EnumThreadWindows(::GetCurrentThreadId(), Disable, reinterpret_cast<LPARAM>(this));
  }
  ~ModalScope() {
    for (HWND window : disabled_) {
      if (::IsWindow(window)) {
        ::EnableWindow(window, TRUE);
      }
    }
  }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  static BOOL CALLBACK Disable(HWND window, LPARAM self) {
    auto* scope = reinterpret_cast<ModalScope*>(self);
    if (window != scope->keep_ && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
      ::EnableWindow(window, FALSE);
      scope->disabled_.push_back(window);
    }
    return TRUE;
  }

  HWND keep_;
  std::vector<HWND> disabled_;
};

struct HandleCloser {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

}  // namespace

Win32Toolkit::Win32Toolkit() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES |
                                                     ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  // Drags out of the list are OLE drags.
  oleStarted_ = SUCCEEDED(::OleInitialize(nullptr));
}

Win32Toolkit::~Win32Toolkit() {
  for (auto& [name, slot] : windows_) {
    if (slot.Window) {
      Bury(std::move(slot.Window));
    }
  }
  unloaded_.clear();
  if (oleStarted_) {
    ::OleUninitialize();
  }
}

void Win32Toolkit::RegisterWindow(const std::string& form, WindowFactory factory) {
  windows_[form].Factory = std::move(factory);
}

Win32FormWindow* Win32Toolkit::Window(const std::string& form) const {
  auto it = windows_.find(form);
  if (it == windows_.end() || !it->second.Window || it->second.Window->Handle() == nullptr) {
    return nullptr;  // never made, unloaded, or gone with the window that owned it
  }
  return it->second.Window.get();
}

Win32FormWindow& Win32Toolkit::RequireWindow(const std::string& form) const {
  Win32FormWindow* window = Window(form);
  if (window == nullptr) {
    throw AppError(errInvalidArgument, kSource, "The window " + form + " is not loaded");
  }
  return *window;
}

HWND Win32Toolkit::RequireControl(const std::string& form, const std::string& control) const {
  HWND handle = RequireWindow(form).Control(control);
  if (handle == nullptr) {
    throw AppError(errInvalidArgument, kSource,
                   "The window " + form + " has no control named " + control);
  }
  return handle;
}

Win32ListView& Win32Toolkit::RequireList(const std::string& form,
                                         const std::string& control) const {
  Win32ListView* list = RequireWindow(form).List(control);
  if (list == nullptr) {
    throw AppError(errInvalidArgument, kSource, "The control " + control + " is not a list view");
  }
  return *list;
}

void Win32Toolkit::Handle(MSG& message) {
  // Shortcut keys and dialog keys go to the form window they are meant for.
  HWND root = message.hwnd != nullptr ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (root != nullptr) {
    for (auto& [name, slot] : windows_) {
      if (slot.Window && slot.Window->Handle() == root && slot.Window->PreTranslate(message)) {
        return;
      }
    }
  }
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

int Win32Toolkit::Run() {
  MSG message{};
  for (;;) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      return static_cast<int>(message.wParam);
    }
    if (got == -1) {
      return 1;
    }
    Handle(message);
    unloaded_.clear();
  }
}

void Win32Toolkit::DoEvents() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message != WM_QUIT) {  // End has been called: Ending() says so
      Handle(message);
    }
  }
  unloaded_.clear();
}

void Win32Toolkit::Bury(std::unique_ptr<Win32FormWindow> window) {
  window->Destroy();
  unloaded_.push_back(std::move(window));
}

void Win32Toolkit::Show(const std::string& form) {
  auto it = windows_.find(form);
  if (it == windows_.end() || !it->second.Factory) {
    throw AppError(errInvalidArgument, kSource, "There is no window named " + form);
  }
  Slot& slot = it->second;
  if (Win32FormWindow* open = Window(form)) {
    ::ShowWindow(open->Handle(), ::IsIconic(open->Handle()) ? SW_RESTORE : SW_SHOW);
    ::SetForegroundWindow(open->Handle());
    return;
  }
  if (slot.Window) {
    Bury(std::move(slot.Window));  // destroyed with the window that owned it
  }
  slot.Window = slot.Factory(*this);
  Win32FormWindow* window = slot.Window.get();
  window->FireLoad();
  if (Window(form) != window) {
    return;  // unloaded while loading
  }
  if (!window->Definition().ShowInTaskbar) {
    // A window kept out of the task bar belongs to the program's main
    // window: it stays above it and is not listed on its own.
    for (auto& [name, other] : windows_) {
      if (other.Window && other.Window.get() != window && other.Window->Handle() != nullptr &&
          ::IsWindowVisible(other.Window->Handle())) {
        window->SetOwner(other.Window->Handle());
        break;
      }
    }
  }
  window->ShowFirstTime();
}

void Win32Toolkit::Unload(const std::string& form) {
  auto it = windows_.find(form);
  if (it == windows_.end() || Window(form) == nullptr || it->second.Unloading) {
    return;
  }
  Slot& slot = it->second;
  slot.Unloading = true;
  slot.Window->FireUnload();
  if (slot.Window) {  // End, run by the unload handler, buries it itself
    Bury(std::move(slot.Window));
  }
  slot.Unloading = false;
}

void Win32Toolkit::End() {
  ending_ = true;
  for (auto& [name, slot] : windows_) {
    if (slot.Window) {
      Bury(std::move(slot.Window));
    }
  }
  ::PostQuitMessage(0);
}

HWND Win32Toolkit::DialogOwner() const {
  HWND active = ::GetActiveWindow();
  if (active != nullptr) {
    return active;
  }
  for (const auto& [name, slot] : windows_) {
    HWND handle = slot.Window ? slot.Window->Handle() : nullptr;
    if (handle != nullptr && ::IsWindowVisible(handle) &&
        ::GetWindow(handle, GW_OWNER) == nullptr) {
      return handle;
    }
  }
  return nullptr;
}

int32_t Win32Toolkit::MsgBox(const std::string& prompt, int32_t buttons, const std::string& title) {
  // The style values are the system's own.
  const UINT type = static_cast<UINT>(buttons) & MB_TYPEMASK;
  const UINT style = static_cast<UINT>(buttons) & (MB_TYPEMASK | MB_ICONMASK | MB_DEFMASK);
  const std::wstring text = WideText(prompt);
  const std::wstring caption = WideText(title.empty() ? AppTitle() : title);
  HWND owner = DialogOwner();
  ModalScope modal(owner);
  for (;;) {
    const int answer =
        ::MessageBoxW(owner, text.c_str(), caption.c_str(), style | (owner ? 0 : MB_TASKMODAL));
    if (answer == 0) {
      throw AppError(errInvalidArgument, kSource,
                     "Cannot show a message box: " + SystemReason(::GetLastError()) + ".");
    }
    if (answer != IDCANCEL || type == MB_OKCANCEL || type == MB_YESNOCANCEL ||
        type == MB_RETRYCANCEL) {
      return answer;
    }
    // Esc on a box with OK alone is OK. Esc and the close box on a box with
    // neither do nothing: it must be answered with one of its buttons (Yes/No
    // taken as No would throw away what the question was protecting). Some
    // systems' boxes (wine's) answer Cancel all the same; they are asked
    // again.
    if (type == MB_OK) {
      return IDOK;
    }
  }
}

void Win32Toolkit::ListClear(const std::string& form, const std::string& control) {
  RequireList(form, control).Clear();
}

void Win32Toolkit::ListAdd(const std::string& form, const std::string& control,
                           const std::string& text, int16_t largeIcon, int16_t smallIcon) {
  RequireList(form, control).Add(text, largeIcon, smallIcon);
}

void Win32Toolkit::ListRemove(const std::string& form, const std::string& control,
                              int32_t position) {
  RequireList(form, control).Remove(position);
}

int32_t Win32Toolkit::ListCount(const std::string& form, const std::string& control) const {
  return RequireList(form, control).Count();
}

int32_t Win32Toolkit::SelectedIndex(const std::string& form, const std::string& control) const {
  return RequireList(form, control).Selected();
}

std::string Win32Toolkit::SelectedText(const std::string& form, const std::string& control) const {
  return RequireList(form, control).SelectedText();
}

void Win32Toolkit::PopupMenu(const std::string& form, const std::string& menu) {
  Win32FormWindow& window = RequireWindow(form);
  HMENU popup = window.Menu(menu);
  if (popup == nullptr) {
    throw AppError(errInvalidArgument, kSource, "The window " + form + " has no menu " + menu);
  }
  POINT at{};
  if (const std::optional<POINT> asked = window.PopupPosition()) {
    at = *asked;
  } else {
    ::GetCursorPos(&at);
  }
  HWND owner = window.Handle();
  // Without this the menu would not close when the user clicks elsewhere.
  ::SetForegroundWindow(owner);
  const UINT command =
      ::TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN,
                         at.x, at.y, owner, nullptr);
  ::PostMessageW(owner, WM_NULL, 0, 0);
  if (command != 0) {
    // As from the menu bar.
    ::SendMessageW(owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  }
}

float Win32Toolkit::ControlWidth(const std::string& form, const std::string& control) const {
  RECT box{};
  ::GetWindowRect(RequireControl(form, control), &box);
  return RequireWindow(form).Twips(box.right - box.left);
}

float Win32Toolkit::ControlHeight(const std::string& form, const std::string& control) const {
  RECT box{};
  ::GetWindowRect(RequireControl(form, control), &box);
  return RequireWindow(form).Twips(box.bottom - box.top);
}

void Win32Toolkit::SetControlSize(const std::string& form, const std::string& control, float twips,
                                  bool width) {
  HWND handle = RequireControl(form, control);
  if (!(twips >= 0)) {
    throw AppError(errInvalidArgument, kSource,
                   std::string("Invalid ") + (width ? "width " : "height ") +
                       std::to_string(twips) + " for " + control);
  }
  RECT box{};
  ::GetWindowRect(handle, &box);
  const int pixels = RequireWindow(form).Px(twips);
  ::SetWindowPos(handle, nullptr, 0, 0, width ? pixels : box.right - box.left,
                 width ? box.bottom - box.top : pixels, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Toolkit::SetControlWidth(const std::string& form, const std::string& control,
                                   float width) {
  SetControlSize(form, control, width, true);
}

void Win32Toolkit::SetControlHeight(const std::string& form, const std::string& control,
                                    float height) {
  SetControlSize(form, control, height, false);
}

std::string Win32Toolkit::Caption(const std::string& form, const std::string& control) const {
  HWND handle = RequireControl(form, control);
  const ControlDef* def = RequireWindow(form).ControlDefinition(control);
  if (def->Kind != ControlKind::Label && def->Kind != ControlKind::CommandButton) {
    throw AppError(errInvalidArgument, kSource, "The control " + control + " has no caption");
  }
  return Utf8Text(WindowText(handle));
}

void Win32Toolkit::SetCaption(const std::string& form, const std::string& control,
                              const std::string& text) {
  HWND handle = RequireControl(form, control);
  const ControlDef* def = RequireWindow(form).ControlDefinition(control);
  if (def->Kind != ControlKind::Label && def->Kind != ControlKind::CommandButton) {
    throw AppError(errInvalidArgument, kSource, "The control " + control + " has no caption");
  }
  ::SetWindowTextW(handle, WideText(text).c_str());
}

void Win32Toolkit::StartProgram(const std::string& path) {
  const std::wstring program = WideText(path);
  const DWORD attributes = ::GetFileAttributesW(program.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    throw AppError(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                       ? errFileNotFound
                       : errPathFileAccess,
                   kSource, "Cannot start " + path + ": " + SystemReason(error) + ".");
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    throw AppError(errPathFileAccess, kSource, "Cannot start " + path + ": not a program.");
  }
  std::wstring commandLine = L"\"" + program + L"\"";
  const std::wstring folder = WideText(FolderOf(path));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
    throw AppError(errPathFileAccess, kSource,
                   "Cannot start " + path + ": " + SystemReason(::GetLastError()) + ".");
  }
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
}

// The operation runs on a worker thread (LengthyWork) while this thread
// first waits quietly, then runs the progress window's loop: the window
// paints and takes Cancel however long a single write blocks.
void Win32Toolkit::RunWithProgress(const std::string& file,
                                   const std::function<void(const ProgressReport&)>& work) {
  // Declared first: the worker sets it as its last word.
  const UniqueHandle finished(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE wake = finished.get();
  LengthyWork job(work, [wake] { ::SetEvent(wake); });
  struct Current {
    LengthyWork*& running;
    ~Current() { running = nullptr; }
  } current{running_};
  running_ = &job;
  if (job.WaitQuietly()) {
    job.Finish();
    return;
  }
  bool quit = false;
  WPARAM exitCode = 0;
  {
    Win32ProgressWindow window(DialogOwner(), file, [&job] { return job.Cancel(); });
    // Destroyed before the window, so that its owner is enabled again to be
    // activated when the window goes.
    ModalScope modal(window.Handle());
    while (!job.Finished()) {
      window.SetProgress(job.Done(), job.Total(), job.Committed());
      ::MsgWaitForMultipleObjectsEx(1, &wake, 100, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      MSG message{};
      while (!quit && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
          quit = true;
          exitCode = message.wParam;
        } else if (!window.PreTranslate(message)) {
          Handle(message);
        }
      }
    }
  }
  if (quit) {
    ::PostQuitMessage(static_cast<int>(exitCode));  // for the loop that waits for it
  }
  job.Finish();
}

void Win32Toolkit::EndSession() {
  if (running_ != nullptr) {
    running_->Cancel();
    running_->Wait();
  }
  if (sessionEnd_) {
    sessionEnd_();
  }
}

std::string Win32Toolkit::AppPath() const {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      throw AppError(errPathFileAccess, kSource,
                     "Cannot find the program's folder: " + SystemReason(::GetLastError()) + ".");
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  std::string folder = FolderOf(Utf8Text(path));
  if (folder.size() == 2 && folder[1] == ':') {
    folder += '\\';  // "C:" alone would be the current folder of drive C
  }
  return folder;
}

}  // namespace halvarin
