#include "clsFileDialog.h"

#include <filesystem>
#include <limits>
#include <system_error>

#include "AppError.h"
#include "FileNames.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX  // std::numeric_limits<...>::max() below
#endif
#include <windows.h>
#endif

namespace halvarin {

namespace {

constexpr size_t kMaxFilename = 1024;
constexpr uint32_t kSingleBuffer = 1024;
constexpr uint32_t kMultipleBuffer = 8192;
// Positions in the filter encoding are 16-bit, so a filter must stay below.
constexpr size_t kFilterLimit = 32767;

const char kCancelDescription[] = "User selected cancel.";

std::string Source() {
  return ExecutableName() + ".clsFileDialog";
}

// The text followed by two NULs: the record's form of a single string.
std::string DoubleNulTerminated(const std::string& text) {
  return text + std::string(2, '\0');
}

}  // namespace

clsFileDialog::clsFileDialog(CommonDialogs& dialogs) : dialogs_(dialogs) {
  ofn_.nFilterIndex = 1;
}

void clsFileDialog::CancelError(bool bCancelError) {
  cancelError_ = bCancelError;
}
bool clsFileDialog::CancelError() const {
  return cancelError_;
}

std::string clsFileDialog::DefaultExt() const {
  return defaultExt_;
}
void clsFileDialog::DefaultExt(const std::string& sDefaultExt) {
  defaultExt_ = sDefaultExt;
  ofn_.lpstrDefExt = DoubleNulTerminated(sDefaultExt);
}

void clsFileDialog::DialogTitle(const std::string& vNewValue) {
  ofn_.lpstrTitle = vNewValue;
}
std::string clsFileDialog::DialogTitle() const {
  return ofn_.lpstrTitle.value_or(std::string());
}

std::string clsFileDialog::filename() const {
  return filename_;
}
void clsFileDialog::filename(const std::string& sFilename) {
  filename_ = sFilename;
  if (sFilename.size() > kMaxFilename) {
    throw AppError(errInvalidArgument, Source(),
                   "The file name is " + std::to_string(sFilename.size()) +
                       " bytes long; a file dialog takes at most " + std::to_string(kMaxFilename) +
                       ".");
  }
}

void clsFileDialog::FileTitle(const std::string& vNewValue) {
  fileTitle_ = vNewValue;
}
std::string clsFileDialog::FileTitle() const {
  return fileTitle_;
}

std::string clsFileDialog::Filter() const {
  return filter_;
}
void clsFileDialog::Filter(const std::string& sFilter) {
  filter_ = sFilter;
  if (sFilter.size() >= kFilterLimit) {
    throw AppError(errOverflow, Source(),
                   "The file filter is " + std::to_string(sFilter.size()) +
                       " bytes long; a file dialog takes at most " +
                       std::to_string(kFilterLimit - 1) + ".");
  }
  std::string encoded = sFilter;
  for (char& c : encoded) {
    if (c == '|' || c == ':') {
      c = '\0';
    }
  }
  ofn_.lpstrFilter = DoubleNulTerminated(encoded);
}

void clsFileDialog::FilterIndex(int32_t lFilterIndex) {
  ofn_.nFilterIndex = static_cast<uint32_t>(lFilterIndex);
}
int32_t clsFileDialog::FilterIndex() const {
  return static_cast<int32_t>(ofn_.nFilterIndex);
}

int32_t clsFileDialog::flags() const {
  return flags_;
}
void clsFileDialog::flags(int32_t vNewValue) {
  flags_ = vNewValue;
}

int32_t clsFileDialog::hWnd() const {
  return ofn_.hwndOwner;
}
void clsFileDialog::hWnd(int32_t vNewValue) {
  ofn_.hwndOwner = vNewValue;
}

std::string clsFileDialog::InitDir() const {
  return initDir_;
}
void clsFileDialog::InitDir(const std::string& vNewValue) {
  initDir_ = vNewValue;
  ofn_.lpstrInitialDir = DoubleNulTerminated(vNewValue);
}

void clsFileDialog::ParseMultiFileName(std::string& sDir, std::vector<std::string>& sFiles,
                                       int32_t& lFileCount) {
  const size_t end = filename_.find(std::string(2, '\0'));
  if (end == std::string::npos) {
    throw AppError(errInvalidArgument, Source(),
                   "The file name holds no answer of a multiple-selection open dialog.");
  }
  const std::string answer = filename_.substr(0, end);

  size_t nul = answer.find('\0');
  if (nul == std::string::npos) {
    const size_t nameStart = NameStart(answer);
    sDir = answer.substr(0, nameStart);
    sFiles.assign(1, answer.substr(nameStart));
    lFileCount = 1;
    return;
  }

  std::vector<std::string> names;
  for (size_t start = nul + 1;; start = nul + 1) {
    nul = answer.find('\0', start);
    names.push_back(answer.substr(start, nul == std::string::npos ? nul : nul - start));
    if (nul == std::string::npos) {
      break;
    }
  }
  // A count the list cannot hold would index before its start or past what
  // a 32-bit count can say; refuse it before anything changes.
  if (lFileCount < 0) {
    throw AppError(
        errInvalidArgument, Source(),
        "The count of file names already held is negative (" + std::to_string(lFileCount) + ").");
  }
  if (names.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() - lFileCount)) {
    throw AppError(errOverflow, Source(), "Too many file names for one list.");
  }
  sDir = answer.substr(0, answer.find('\0'));
  for (std::string& name : names) {
    ++lFileCount;
    sFiles.resize(static_cast<size_t>(lFileCount));
    sFiles[static_cast<size_t>(lFileCount) - 1] = std::move(name);
  }
}

void clsFileDialog::PrepareBuffers(uint32_t n, std::string_view operation) {
  for (const std::string* text : {&filename_, &fileTitle_}) {
    if (text->size() > n) {
      throw AppError(errInvalidArgument, Source(),
                     std::string(operation) + ": the " +
                         (text == &filename_ ? "file name" : "file title") + " is " +
                         std::to_string(text->size()) + " bytes long; the dialog takes at most " +
                         std::to_string(n) + ".");
    }
  }
  ofn_.lpstrFile = filename_ + std::string(n - filename_.size(), '\0');
  ofn_.nMaxFile = n;
  ofn_.lpstrFileTitle = fileTitle_ + std::string(n - fileTitle_.size(), '\0');
  ofn_.nMaxFileTitle = n;
}

void clsFileDialog::ShowOpen() {
  ofn_.Flags = static_cast<uint32_t>(flags_);
  uint32_t n = kSingleBuffer;
  if (ofn_.Flags & OFN_ALLOWMULTISELECT) {
    ofn_.Flags |= OFN_EXPLORER;
    n = kMultipleBuffer;
  }
  PrepareBuffers(n, "ShowOpen");
  if (dialogs_.ShowOpenDialog(ofn_) != 0) {
    const std::string buffer = ofn_.lpstrFile.value_or(std::string());
    filename_ = (ofn_.Flags & OFN_ALLOWMULTISELECT) ? buffer : TrimAtNull(buffer);
  } else if (cancelError_) {
    throw AppError(errDialogCancelled, ExecutableName() + ".cFileDialog", kCancelDescription);
  }
}

void clsFileDialog::ShowSave() {
  ofn_.Flags = static_cast<uint32_t>(flags_);
  PrepareBuffers(kSingleBuffer, "ShowSave");
  if (dialogs_.ShowSaveDialog(ofn_) != 0) {
    filename_ = TrimAtNull(ofn_.lpstrFile.value_or(std::string()));
  } else if (cancelError_) {
    throw AppError(errDialogCancelled, ExecutableName() + ".cFilenDialog", kCancelDescription);
  }
}

std::string clsFileDialog::TrimAtNull(const std::string& text) {
  return text.substr(0, text.find('\0'));
}

std::string ExecutableBaseName(std::string_view path) {
  std::string_view name = path.substr(NameStart(path));
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) {
    name = name.substr(0, dot);
  }
  return std::string(name);
}

std::string ExecutableName() {
  std::string path;
#ifdef _WIN32
  if (path.empty()) {
    // A path cut short by too small a buffer could end inside the name:
    // the buffer grows until the whole path fits.
    std::wstring wide(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()));
      if (n == 0) {
        break;
      }
      if (n < wide.size()) {
        wide.resize(n);
        path = Utf8FromPath(wide);
        break;
      }
      wide.resize(wide.size() * 2);
    }
  }
#else
  if (path.empty()) {
    std::error_code error;
    path = std::filesystem::read_symlink("/proc/self/exe", error).string();
  }
#endif
  return ExecutableBaseName(path);
}

}  // namespace halvarin
