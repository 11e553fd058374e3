#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "AppError.h"
#include "CommonDialogs.h"
#include "DragFolder.h"
#include "FileSystem.h"
#include "FormDefinition.h"
#include "Toolkit.h"
#include "clsVarnGRP.h"

namespace halvarin {

// The main window: one group archive shown as a list of icons, one item per
// entry. List position i (1-based) is archive entry i. All of the window's
// own code goes through the Toolkit, so it runs in tests against a double.
//
// Every event from the toolkit runs as one command inside RunCommand: an
// error anywhere in it ends the command and is shown to the user, and the
// document is left as the failed operation left it, which the archive
// guarantees to be as before. The handlers themselves let errors through;
// the save-changes question runs its save as a command of its own and
// tells the command that asked it how it went.
class frmMain : public FormEvents {
 public:
  static constexpr const char* FormName = "frmMain";

  // File dialogs are shown through `dialogs`, and every archive the form
  // makes works on `fs`; both must outlive the form.
  explicit frmMain(Toolkit& toolkit, CommonDialogs& dialogs = PlatformCommonDialogs(),
                   io::FileSystem& fs = io::FileSystem::Native());
  ~frmMain() override;
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;

  // The window as data: controls, menus, title, size.
  static const FormDefinition& Definition();
  // The ImageList1 picture for an entry name (1 to 5), from its extension.
  static int16_t IconIndex(std::string_view name);

  // Events from the toolkit, handed to the handlers below.
  void Click(const std::string& name) override;
  void Resize(float clientWidth, float clientHeight, bool minimized) override;
  void QueryUnload(bool& Cancel) override;
  void Unload() override;
  void MouseDown(const std::string& control, int16_t button, int16_t shift, float x,
                 float y) override;
  void DragDrop(const std::string& control, const DataObject& data) override;
  std::vector<std::string> StartDrag(const std::string& control, int32_t position) override;

  // File menu.
  void mnuFileNew_Click();
  void mnuFileOpen_Click();
  // Opens the archive at `path` as File > Open does once its dialog has
  // given a name: the list shows it and Save writes back to it, or a file
  // that is not an archive is refused and the window keeps what it had.
  // Start-up opens a file named on the command line through it.
  // A damaged archive's box also offers to open the entries it still holds
  // whole as a new, untitled archive.
  void OpenArchive(const std::string& path);
  void mnufilesave_Click();
  void mnufilesaveas_Click();
  void mnufileexit_Click();
  // Item menu, also the list's pop-up menu.
  void mnuitemadd_Click();
  void mnuitemextract_Click();
  void mnuitemdelete_Click();
  // Help menu.
  void mnuHelpAbout_Click();

  void ListView1_MouseDown(int16_t Button, int16_t Shift, float x, float y);
  // A file dropped from the drag folder of another copy of this program
  // goes when that program ends: the copy queued is one of our own, made now.
  void ListView1_OLEDragDrop(const DataObject& Data);
  // Dragging an item out offers a file: a loaded entry written to a folder
  // of its own under the name Extract Item offers, a queued file as itself.
  // The archive and the document do not change.
  std::vector<std::string> ListView1_OLEStartDrag(int32_t position);
  void Form_Resize(float ScaleWidth, float ScaleHeight, bool Minimized);
  // Closing the window asks the save-changes question here, once; only a
  // save that fails keeps the window open.
  void Form_QueryUnload(bool& Cancel);
  // The window goes, after Exit or a close the question let through: the
  // archive is released and the program ends, without asking again.
  void Form_Unload();

  // Appends one item for the entry name (raw Windows-1252 bytes, padding
  // included) at the end of the list.
  void AddListItem(const std::string& name);
  // Refills the list with the archive's loaded entries, in directory order.
  void RefreshList();

  // Runs one command; an error is shown in a message box (caption the
  // program title, OK, warning icon) with its description, except for an
  // operation the user cancelled in its progress window. Returns whether the
  // command ran to its end.
  bool RunCommand(const std::function<void()>& command);

  // Removes the files drags have offered; for an end that skips the
  // window's own (a signal), once no operation runs any more.
  void RemoveDragCopies() noexcept { Drags.Remove(); }

 private:
  // What became of unsaved edits when a command that drops the document
  // asked about them. Only Failed stops that command.
  enum class SaveOutcome {
    Unchanged,  // nothing to save: nothing was asked
    Saved,
    Declined,   // No
    Cancelled,  // Yes, then Save As cancelled in its dialog: goes on as after No
    Failed,     // Yes, and the save failed (shown) or was stopped in its
                // progress window: the edits stay
  };

  clsVarnGRP& CurrentArchive();
  // Asks whether to save unsaved edits and saves on Yes.
  SaveOutcome SaveChangesQuestion();
  // Save and Save As; false when the Save As dialog was cancelled.
  bool Save();
  bool SaveAs();
  // Exit: the question, then the window unloads as a close unloads it.
  void ExitProgram();
  // Asks whether to open what the damaged archive at `path` still holds,
  // showing `why` it cannot be opened; false, with nothing shown, when no
  // entry can be had.
  bool OfferRecovery(const std::string& path, const AppError& why);
  // Queues one file and appends its item, keeping list and archive in step.
  void AddItem(const std::string& path);
  // Runs an operation that may take long under the toolkit's progress
  // window, naming `file`; a cancel there throws errDialogCancelled.
  void Lengthy(const std::string& file,
               const std::function<void(const Toolkit::ProgressReport&)>& work);
  // The same for an operation of the archive.
  void Lengthy(const std::string& file, const std::function<void(clsVarnGRP&)>& operation);

  Toolkit& Tk;
  CommonDialogs& Dialogs;
  io::FileSystem& Fs;
  // The document: the archive being edited (created on first use), and
  // whether Save can write back to the archive's own file.
  std::unique_ptr<clsVarnGRP> Archive;
  bool HasFile = false;
  DragFolder Drags;
  // While Lengthy runs: the progress window is modal, but no command may
  // start even if an event slipped past it.
  bool Busy = false;
};

}  // namespace halvarin
