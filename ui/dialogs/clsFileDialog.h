#pragma once

// A small reusable object around the common open and save dialogs: assign
// the settings, call ShowOpen or ShowSave, read the answer from filename.
//
// Properties follow one C++ form throughout: the getter is the property's
// name without arguments and const, the setter ("let") is the same name with
// one argument and returns nothing, e.g.
//   std::string filename() const;            // get
//   void filename(const std::string& sFilename);  // let
//
// Texts are bytes; paths in the file system's encoding (UTF-8 on Linux), and
// every length limit below counts bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "CommonDialogs.h"

namespace halvarin {

class clsFileDialog {
 public:
  // The dialogs are shown through `dialogs`, which must outlive the object.
  explicit clsFileDialog(CommonDialogs& dialogs = PlatformCommonDialogs());

  // Whether a cancelled dialog raises AppError 32755 (false: it returns
  // quietly and leaves filename unchanged).
  void CancelError(bool bCancelError);
  bool CancelError() const;

  // Extension added to a typed name without one; no dot.
  std::string DefaultExt() const;
  void DefaultExt(const std::string& sDefaultExt);

  // The dialog's caption; kept in the record only.
  void DialogTitle(const std::string& vNewValue);
  std::string DialogTitle() const;

  // The path seeded into the dialog and its answer. A let of more than 1024
  // bytes stores the text and then throws AppError 5.
  std::string filename() const;
  void filename(const std::string& sFilename);

  // Seeds the dialog's title buffer; not updated by a dialog.
  void FileTitle(const std::string& vNewValue);
  std::string FileTitle() const;

  // Description/pattern pairs separated by "|" (or ":"), patterns by ";":
  // "Varn GRP Files|*.grp|All Files|*.*". A let of 32767 bytes or more stores
  // the text, keeps the previous record filter and throws AppError 6.
  std::string Filter() const;
  void Filter(const std::string& sFilter);

  // The 1-based filter shown first; after a confirmed dialog, the one the
  // user ended on.
  void FilterIndex(int32_t lFilterIndex);
  int32_t FilterIndex() const;

  // The OFN_* flag bits for the dialog, stored unchecked.
  int32_t flags() const;
  void flags(int32_t vNewValue);

  // The owner window's 32-bit handle (see WindowHandle); 0 = none.
  int32_t hWnd() const;
  void hWnd(int32_t vNewValue);

  // The folder the dialog starts in, unless filename names one.
  std::string InitDir() const;
  void InitDir(const std::string& vNewValue);

  // Splits the answer of a multiple-selection ShowOpen (filename, up to its
  // first two consecutive NULs) into the folder and the names. One file
  // chosen: sDir is its folder with the trailing separator, sFiles holds
  // just its name and lFileCount is 1. Several: sDir is the folder as the
  // dialog gave it and the names are appended to sFiles after the lFileCount
  // names already there. Throws AppError 5, changing nothing, when filename
  // holds no two consecutive NULs or lFileCount is negative.
  void ParseMultiFileName(std::string& sDir, std::vector<std::string>& sFiles, int32_t& lFileCount);

  // Show the dialog modally. On a confirmed choice filename holds it: one
  // path, or after a multiple-selection open the whole 8192-byte answer
  // buffer (see ParseMultiFileName). Throws AppError 5 before showing when
  // filename or FileTitle does not fit the buffer (1024 bytes; 8192 for a
  // multiple-selection open), and AppError 32755 on cancel when CancelError.
  void ShowOpen();
  void ShowSave();

 private:
  static std::string TrimAtNull(const std::string& text);
  void PrepareBuffers(uint32_t n, std::string_view operation);

  CommonDialogs& dialogs_;
  OPENFILENAMEA ofn_;
  bool cancelError_ = false;
  std::string filename_;
  std::string fileTitle_;
  std::string filter_;
  std::string defaultExt_;
  std::string initDir_;
  int32_t flags_ = 0;
};

// The program's executable name without folder and extension ("halvarin"),
// the first part of the dialog errors' source.
std::string ExecutableName();

// The file name of `path` without folder and without its last extension.
std::string ExecutableBaseName(std::string_view path);

}  // namespace halvarin
