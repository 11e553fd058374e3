#include "frmMain.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <exception>
#include <new>
#include <system_error>
#include <utility>

#include "AppError.h"
#include "Cp1252.h"
#include "ErrorMessages.h"
#include "FileNames.h"
#include "GrpFormat.h"
#include "PathNames.h"
#include "ProgramIdentity.h"
#include "clsFileDialog.h"

namespace halvarin {

namespace {

constexpr const char* kListView = "ListView1";
constexpr const char* kStatusBar = "StatusBar1";
constexpr const char* kSource = "frmMain";
constexpr const char* kArchiveFilter = "Varn GRP Files|*.grp|All Files|*.*";
constexpr const char* kAllFilesFilter = "All Files|*.*";
using grp::kMaxEntries;

// 1204 as "1,204".
std::string Thousands(int64_t n) {
  std::string digits = std::to_string(n);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), ",");
  }
  return digits;
}

// What a save could not read is refused when it is added, not at every
// later save.
void RequireOrdinaryFile(io::FileSystem& fs, const std::string& path) {
  const io::FileInfo info = fs.Stat(path);
  std::string reason;
  if (!info.Exists) {
    throw CannotError(errFileNotFound, kSource, "add", path,
                      std::generic_category().message(ENOENT));
  }
  if (info.IsFolder) {
    reason = "it is a folder";
  } else if (!info.IsOrdinary) {
    reason = "it is not an ordinary file (a device, pipe or socket)";
  } else if (info.Stamp.Size == 0) {
    // The system's own status files say they are empty and are not: a save
    // could not know how much of such a file to take.
    char first = 0;
    if (fs.OpenRead(path)->ReadAt(0, &first, 1) == 0) {
      return;
    }
    reason = "its length cannot be known before it is read (the system says 0 bytes)";
  } else {
    return;
  }
  throw CannotError(errPathFileAccess, kSource, "add", path, reason);
}

FormDefinition MakeDefinition() {
  FormDefinition form;
  form.Name = frmMain::FormName;
  form.Caption = std::string(ProgramIdentity::Title);
  form.Border = BorderStyle::Sizable;
  form.ClientWidth = 6210;
  form.ClientHeight = 4155;
  form.Icon = ":/images/halvarin.png";

  ControlDef list = Control(kListView, ControlKind::ListView, 0, 0, 4455, 2295, 0);
  list.Settings.View = ListViewStyle::Icon;
  list.Settings.Icons = "ImageList1";
  list.Settings.SmallIcons = "ImageList1";
  list.Settings.Arrange = Arrangement::LeftToRight;
  list.Settings.LabelEdit = false;
  list.Settings.MultiSelect = false;
  list.Settings.AcceptDrops = true;
  list.Settings.AccessibleName = "Entries";
  form.Controls.push_back(list);

  ControlDef status = Control(kStatusBar, ControlKind::StatusBar, 0, 3900, 6210, 255, 1);
  status.Settings.Align = Dock::Bottom;
  status.Settings.Panels = {StatusPanel{1440, ""}};
  status.Settings.AccessibleName = "Status";
  form.Controls.push_back(status);

  ControlDef images;
  images.Name = "ImageList1";
  images.Kind = ControlKind::ImageList;
  images.Settings.ImageWidth = 32;
  images.Settings.ImageHeight = 32;
  images.Settings.MaskColor = Colour{192, 192, 192};
  images.Settings.Images = {":/images/entry1.png", ":/images/entry2.png", ":/images/entry3.png",
                            ":/images/entry4.png", ":/images/entry5.png"};
  form.Controls.push_back(images);

  form.Menus = {
      {"mnufile", "&File", "", ""},
      {"mnuFileNew", "&New", "mnufile", "Ctrl+N"},
      {"mnuFileOpen", "&Open", "mnufile", "Ctrl+O"},
      {"mnufilesave", "&Save", "mnufile", "Ctrl+S"},
      {"mnufilesaveas", "Save &As", "mnufile", ""},
      {"mnufiledash", "-", "mnufile", ""},
      {"mnufileexit", "E&xit", "mnufile", ""},
      {"mnuitem", "&Item", "", ""},
      {"mnuitemadd", "&Add Item", "mnuitem", ""},
      {"mnuitemextract", "&Extract Item", "mnuitem", ""},
      {"mnuitemdelete", "&Delete Item", "mnuitem", "Del"},
      {"mnuHelp", "&Help", "", ""},
      {"mnuHelpAbout", "&About", "mnuHelp", ""},
  };
  return form;
}

}  // namespace

frmMain::frmMain(Toolkit& toolkit, CommonDialogs& dialogs, io::FileSystem& fs)
    : Tk(toolkit), Dialogs(dialogs), Fs(fs) {}

frmMain::~frmMain() = default;

const FormDefinition& frmMain::Definition() {
  static const FormDefinition definition = MakeDefinition();
  return definition;
}

int16_t frmMain::IconIndex(std::string_view name) {
  // The extension is at most three characters after the last "."; a name
  // without one is judged by its first three characters.
  const size_t dot = name.rfind('.');
  const size_t start = dot == std::string_view::npos ? 0 : dot + 1;
  std::string extension(name.substr(std::min(start, name.size()), 3));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  static constexpr std::array<std::pair<std::string_view, int16_t>, 6> kIcons = {{
      {"voc", 3},
      {"mid", 3},
      {"anm", 2},
      {"dmo", 2},
      {"art", 4},
      {"map", 5},
  }};
  for (const auto& [known, index] : kIcons) {
    if (extension == known) {
      return index;
    }
  }
  return 1;
}

void frmMain::Click(const std::string& name) {
  if (Busy) {
    return;
  }
  using Handler = void (frmMain::*)();
  static constexpr std::array<std::pair<std::string_view, Handler>, 9> kHandlers = {{
      {"mnuFileNew", &frmMain::mnuFileNew_Click},
      {"mnuFileOpen", &frmMain::mnuFileOpen_Click},
      {"mnufilesave", &frmMain::mnufilesave_Click},
      {"mnufilesaveas", &frmMain::mnufilesaveas_Click},
      {"mnufileexit", &frmMain::mnufileexit_Click},
      {"mnuitemadd", &frmMain::mnuitemadd_Click},
      {"mnuitemextract", &frmMain::mnuitemextract_Click},
      {"mnuitemdelete", &frmMain::mnuitemdelete_Click},
      {"mnuHelpAbout", &frmMain::mnuHelpAbout_Click},
  }};
  for (const auto& [item, handler] : kHandlers) {
    if (item == name) {
      RunCommand([this, handler] { (this->*handler)(); });
      return;
    }
  }
}

void frmMain::Resize(float clientWidth, float clientHeight, bool minimized) {
  RunCommand([&] { Form_Resize(clientWidth, clientHeight, minimized); });
}

void frmMain::QueryUnload(bool& Cancel) {
  Form_QueryUnload(Cancel);
}

void frmMain::Unload() {
  RunCommand([this] { Form_Unload(); });
}

void frmMain::MouseDown(const std::string& control, int16_t button, int16_t shift, float x,
                        float y) {
  if (control == kListView) {
    RunCommand([&] { ListView1_MouseDown(button, shift, x, y); });
  }
}

void frmMain::DragDrop(const std::string& control, const DataObject& data) {
  if (control == kListView && !Busy) {
    RunCommand([&] { ListView1_OLEDragDrop(data); });
  }
}

std::vector<std::string> frmMain::StartDrag(const std::string& control, int32_t position) {
  std::vector<std::string> files;
  if (control == kListView && !Busy) {
    RunCommand([&] { files = ListView1_OLEStartDrag(position); });
  }
  return files;
}

bool frmMain::RunCommand(const std::function<void()>& command) {
  std::string description;
  try {
    command();
    return true;
  } catch (const AppError& error) {
    // The user stopped it; everything is as before and there is nothing to
    // tell them.
    if (error.Number() == errDialogCancelled) {
      return false;
    }
    description = error.Description();
  } catch (const std::bad_alloc&) {
    description = "There is not enough memory to complete the command.";
  } catch (const std::exception& error) {
    description = error.what();
  }
  if (description.empty()) {
    description = "The command could not be completed.";
  }
  Tk.MsgBox(description, vbOKOnly | vbExclamation, std::string(ProgramIdentity::Title));
  return false;
}

clsVarnGRP& frmMain::CurrentArchive() {
  if (!Archive) {
    Archive = std::make_unique<clsVarnGRP>(Fs);
  }
  return *Archive;
}

frmMain::SaveOutcome frmMain::SaveChangesQuestion() {
  if (!CurrentArchive().Changed()) {
    return SaveOutcome::Unchanged;
  }
  if (Tk.MsgBox("File has changed.\r\nSave now?", vbYesNo | vbQuestion, "Save Changes?") != vbYes) {
    return SaveOutcome::Declined;
  }
  // A command of its own: a failure is shown here, as any command's is, and
  // the command that asked then stops with the edits kept.
  bool written = false;
  if (!RunCommand([&] { written = Save(); })) {
    return SaveOutcome::Failed;
  }
  return written ? SaveOutcome::Saved : SaveOutcome::Cancelled;
}

void frmMain::ExitProgram() {
  if (SaveChangesQuestion() != SaveOutcome::Failed) {
    Tk.Unload(FormName);  // Form_Unload ends the program
  }
}

void frmMain::mnuFileNew_Click() {
  if (SaveChangesQuestion() == SaveOutcome::Failed) {
    return;
  }
  HasFile = false;
  Archive = std::make_unique<clsVarnGRP>(Fs);
  RefreshList();
}

void frmMain::mnuFileOpen_Click() {
  if (SaveChangesQuestion() == SaveOutcome::Failed) {
    return;
  }
  clsFileDialog dialog(Dialogs);
  dialog.Filter(kArchiveFilter);
  dialog.InitDir(Tk.AppPath());
  dialog.ShowOpen();
  const std::string path = dialog.filename();
  if (path.empty()) {
    return;
  }
  OpenArchive(path);
}

void frmMain::OpenArchive(const std::string& path) {
  bool loaded = false;
  try {
    loaded = CurrentArchive().LoadFile(path);
  } catch (const AppError& error) {
    if (!OfferRecovery(path, error)) {
      throw;
    }
    return;
  }
  if (!loaded) {
    // The archive keeps what it held, tied to the file it was tied to.
    Tk.MsgBox(LastPathComponent(path) + " is not a Varn GRP archive.", vbOKOnly,
              std::string(ProgramIdentity::Title));
    return;
  }
  RefreshList();
  HasFile = true;
}

bool frmMain::OfferRecovery(const std::string& path, const AppError& why) {
  auto recovered = std::make_unique<clsVarnGRP>(Fs);
  grp::Salvage found;
  try {
    if (!recovered->LoadRecoverable(path, &found)) {
      return false;
    }
  } catch (const AppError&) {
    return false;  // unreadable: the reason it could not be opened stands
  }
  if (found.Check.Sound() || found.Whole == 0) {
    return false;
  }
  // The reason it cannot be opened, as any failed command shows it, then
  // the offer.
  const std::string question =
      why.Description() + "\r\n\r\n" + LastPathComponent(path) + " is damaged: " +
      (found.CountKnown
           ? Thousands(found.Whole) + " of " + Thousands(found.Check.Count) + " entries"
           : Thousands(found.Whole) + (found.Whole == 1 ? " entry" : " entries")) +
      " can be recovered. Open them as a new archive?";
  if (Tk.MsgBox(question, vbYesNo | vbExclamation, std::string(ProgramIdentity::Title)) == vbYes) {
    // Untitled: Save asks for a name, and the archive refuses the damaged file.
    Archive = std::move(recovered);
    HasFile = false;
    RefreshList();
  }
  return true;
}

void frmMain::Lengthy(const std::string& file,
                      const std::function<void(const Toolkit::ProgressReport&)>& work) {
  Busy = true;
  struct Done {
    bool& busy;
    ~Done() { busy = false; }
  } done{Busy};
  Tk.RunWithProgress(LastPathComponent(file), work);
}

void frmMain::Lengthy(const std::string& file, const std::function<void(clsVarnGRP&)>& operation) {
  clsVarnGRP& archive = CurrentArchive();
  struct Done {
    clsVarnGRP& archive;
    ~Done() { archive.SetProgressHandler(nullptr); }
  } done{archive};
  Lengthy(file, [&](const Toolkit::ProgressReport& report) {
    archive.SetProgressHandler(report);
    operation(archive);
  });
}

void frmMain::mnufilesave_Click() {
  Save();
}

void frmMain::mnufilesaveas_Click() {
  SaveAs();
}

bool frmMain::Save() {
  if (!HasFile) {
    return SaveAs();
  }
  Lengthy(CurrentArchive().ArchivePath(), [](clsVarnGRP& archive) { archive.saveFile(""); });
  // The saved archive holds the names as stored, cut to 12 bytes.
  RefreshList();
  return true;
}

bool frmMain::SaveAs() {
  clsFileDialog dialog(Dialogs);
  dialog.Filter(kArchiveFilter);
  // The dialog adds ".grp" itself, so that it asks about replacing the file
  // that will really be written.
  dialog.DefaultExt("grp");
  dialog.flags(OFN_OVERWRITEPROMPT);
  dialog.ShowSave();
  const std::string path = dialog.filename();
  if (path.empty()) {
    return false;
  }
  Lengthy(clsVarnGRP::SavedPath(path), [&path](clsVarnGRP& archive) { archive.saveFile(path); });
  HasFile = true;
  RefreshList();
  return true;
}

void frmMain::mnufileexit_Click() {
  ExitProgram();
}

void frmMain::AddItem(const std::string& path) {
  // Past this many items the positions no longer fit an entry index, and
  // list and archive would fall out of step.
  if (Tk.ListCount(FormName, kListView) >= kMaxEntries) {
    throw AppError(errOverflow, kSource,
                   "Cannot add \"" + path + "\": the archive already holds " +
                       std::to_string(kMaxEntries) +
                       " entries, the most a group archive can hold.");
  }
  AddListItem(CurrentArchive().addFile(path));
}

void frmMain::mnuitemadd_Click() {
  clsFileDialog dialog(Dialogs);
  dialog.Filter(kAllFilesFilter);
  dialog.ShowOpen();
  const std::string path = dialog.filename();
  if (path.empty()) {
    return;
  }
  RequireOrdinaryFile(Fs, path);
  AddItem(path);
}

void frmMain::mnuitemextract_Click() {
  const int32_t index = Tk.SelectedIndex(FormName, kListView);
  if (index < 1) {
    return;
  }
  clsVarnGRP& archive = CurrentArchive();
  const bool loaded = index <= archive.NumberOfFiles();
  // A queued file has no stored name yet; its item shows the name it will get.
  const std::string name = loaded ? Cp1252ToUtf8(archive.filename(static_cast<int16_t>(index)))
                                  : Tk.SelectedText(FormName, kListView);
  clsFileDialog dialog(Dialogs);
  dialog.Filter(kAllFilesFilter);
  dialog.filename(SafeFileName(name));
  dialog.flags(OFN_OVERWRITEPROMPT);
  // The preset name survives a cancel, so only the dialog's own result
  // tells a cancel from a confirmed choice.
  dialog.CancelError(true);
  try {
    dialog.ShowSave();
  } catch (const AppError& error) {
    if (error.Number() == errDialogCancelled) {
      return;
    }
    throw;
  }
  const std::string path = dialog.filename();
  if (path.empty() || !loaded) {
    return;  // a queued file is not in the archive file yet: nothing to write
  }
  Lengthy(path, [&](clsVarnGRP& a) { a.extractFile(static_cast<int16_t>(index), path); });
}

void frmMain::mnuitemdelete_Click() {
  const int32_t index = Tk.SelectedIndex(FormName, kListView);
  if (index < 1) {
    return;
  }
  CurrentArchive().deleteFile(static_cast<int16_t>(index));
  Tk.ListRemove(FormName, kListView, index);
}

void frmMain::mnuHelpAbout_Click() {
  Tk.Show("frmAbout");
}

void frmMain::ListView1_MouseDown(int16_t Button, int16_t /*Shift*/, float /*x*/, float /*y*/) {
  if (Button == vbRightButton) {
    Tk.PopupMenu(FormName, "mnuitem");
  }
}

void frmMain::ListView1_OLEDragDrop(const DataObject& Data) {
  if (Data.GetFormat(vbCFText)) {
    return;
  }
  for (const std::string& path : Data.Files()) {
    // Folders are not entered; hidden and missing paths are skipped quietly.
    if (!IsOrdinaryFile(path)) {
      continue;
    }
    if (DragFolder::IsDragCopy(path) && !Drags.Holds(path)) {
      const std::string copy = Drags.Next() + "/" + LastPathComponent(path);
      Lengthy(copy,
              [&](const Toolkit::ProgressReport& report) { DragFolder::Copy(path, copy, report); });
      AddItem(copy);
    } else {
      AddItem(path);
    }
  }
}

std::vector<std::string> frmMain::ListView1_OLEStartDrag(int32_t position) {
  clsVarnGRP& archive = CurrentArchive();
  if (position < 1 || position > Tk.ListCount(FormName, kListView)) {
    return {};
  }
  const auto index = static_cast<int16_t>(position);
  if (index > archive.NumberOfFiles()) {
    return {archive.AddedFile(index)};
  }
  const std::string path = Drags.Next() + "/" + SafeFileName(Cp1252ToUtf8(archive.filename(index)));
  // Written before the drag starts: a drop target takes the file as it is.
  // Only a large entry takes long enough for the progress window to show.
  Lengthy(path, [&](clsVarnGRP& a) { a.extractFiles({{index, path}}); });
  return {path};
}

void frmMain::Form_Resize(float ScaleWidth, float ScaleHeight, bool Minimized) {
  if (Minimized) {
    return;
  }
  Tk.SetControlWidth(FormName, kListView, std::max(0.0f, ScaleWidth));
  const float statusHeight = Tk.ControlHeight(FormName, kStatusBar);
  // A client area lower than the status bar leaves no room for the list,
  // which then keeps a height of 0.
  Tk.SetControlHeight(FormName, kListView, std::max(0.0f, ScaleHeight - statusHeight));
}

void frmMain::Form_QueryUnload(bool& Cancel) {
  if (Busy) {
    Cancel = true;  // the window stays until the operation has ended
    return;
  }
  // The question is asked here, where a failed save can still keep the
  // window open; the unload that follows ends the program.
  SaveOutcome outcome = SaveOutcome::Failed;
  RunCommand([&] { outcome = SaveChangesQuestion(); });
  Cancel = outcome == SaveOutcome::Failed;
}

void frmMain::Form_Unload() {
  Archive.reset();
  Tk.End();
}

void frmMain::AddListItem(const std::string& name) {
  // The list shows the name up to its first NUL, converted for display; the
  // icon is chosen from the name as stored, padding included.
  const std::string_view shown = std::string_view(name).substr(0, name.find('\0'));
  const int16_t icon = IconIndex(name);
  Tk.ListAdd(FormName, kListView, Cp1252ToUtf8(shown), icon, icon);
}

void frmMain::RefreshList() {
  Tk.ListClear(FormName, kListView);
  clsVarnGRP& archive = CurrentArchive();
  const int16_t count = archive.NumberOfFiles();
  for (int16_t i = 1; i <= count; ++i) {
    AddListItem(archive.filename(i));
  }
}

}  // namespace halvarin
