#pragma once

// The common open and save dialogs as the rest of the program sees them: one
// record in the platform's shape and an interface with the two calls that
// take it (the Qt dialogs in the program, a scripted double in tests).

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "PathNames.h"

namespace halvarin {

// Flag bits of OPENFILENAMEA::Flags, with the platform's values.
inline constexpr uint32_t OFN_READONLY = 0x1;
inline constexpr uint32_t OFN_OVERWRITEPROMPT = 0x2;
inline constexpr uint32_t OFN_HIDEREADONLY = 0x4;
inline constexpr uint32_t OFN_NOCHANGEDIR = 0x8;
inline constexpr uint32_t OFN_ALLOWMULTISELECT = 0x200;
inline constexpr uint32_t OFN_EXTENSIONDIFFERENT = 0x400;
inline constexpr uint32_t OFN_PATHMUSTEXIST = 0x800;
inline constexpr uint32_t OFN_FILEMUSTEXIST = 0x1000;
inline constexpr uint32_t OFN_EXPLORER = 0x80000;

// The dialog record, field for field as the platform declares it (76 bytes
// there, with 32-bit pointers and handles). A string field that is
// std::nullopt stands for the null pointer; a present string may hold NUL
// characters, and they count in its length. The file and title buffers are
// strings of exactly their buffer size in bytes; a dialog writes into them
// but never grows or shrinks them. Paths are bytes in the file system's
// encoding (UTF-8 on Linux), so a size always counts bytes.
struct OPENFILENAMEA {
  uint32_t lStructSize = 76;
  int32_t hwndOwner = 0;  // 32-bit window handle; 0 = no owner
  int32_t hInstance = 0;
  std::optional<std::string> lpstrFilter;  // "desc\0pattern\0...\0\0"
  std::optional<std::string> lpstrCustomFilter;
  uint32_t nMaxCustFilter = 0;
  uint32_t nFilterIndex = 0;             // 1-based; written back with the user's filter
  std::optional<std::string> lpstrFile;  // seed in, answer out
  uint32_t nMaxFile = 0;
  std::optional<std::string> lpstrFileTitle;  // file name of the answer, no folder
  uint32_t nMaxFileTitle = 0;
  std::optional<std::string> lpstrInitialDir;
  std::optional<std::string> lpstrTitle;
  uint32_t Flags = 0;
  uint16_t nFileOffset = 0;     // where the (first) file name starts in lpstrFile
  uint16_t nFileExtension = 0;  // where its extension starts, after the dot; 0 if none
  std::optional<std::string> lpstrDefExt;
  int32_t lCustData = 0;
  void* lpfnHook = nullptr;  // dialog hooks are not supported by any implementation
  std::optional<std::string> lpTemplateName;
};

// What stands behind GetOpenFileNameA / GetSaveFileNameA. Each call is modal
// and returns nonzero when the user confirmed a choice, zero on cancel or on
// any failure (including an answer that would not fit the file buffer).
class CommonDialogs {
 public:
  virtual ~CommonDialogs() = default;
  virtual int32_t ShowOpenDialog(OPENFILENAMEA& ofn) = 0;
  virtual int32_t ShowSaveDialog(OPENFILENAMEA& ofn) = 0;
};

// The dialogs of the platform the program is built for. A file dialog object
// takes these unless it is given others (a scripted double in tests).
CommonDialogs& PlatformCommonDialogs();

// Helpers for implementations: reading the record and writing the answer in
// the platform's form, so that every implementation agrees on both.

// A record string up to its first NUL; the empty text when it is absent.
std::string TextBeforeNul(const std::optional<std::string>& text);

// The filter list as (description, patterns) pairs. The list ends at the
// first empty piece (the double NUL) or at the end of the string; a
// description without a pattern is dropped.
std::vector<std::pair<std::string, std::string>> FilterPairs(const OPENFILENAMEA& ofn);

// Writes one chosen file as its full path, followed by NULs to the end of the
// file buffer (the platform's single answer; a multiple-selection record gets
// at least two). Also sets nFileOffset, nFileExtension and the title buffer.
// Returns false, changing nothing, when the answer does not fit.
bool StoreSingleAnswer(OPENFILENAMEA& ofn, const std::string& path);

// Writes several chosen files of one folder: the folder, then each name, all
// separated by single NULs and ended by two, then NULs to the end of the
// buffer. Returns false, changing nothing, when the answer does not fit.
bool StoreMultipleAnswer(OPENFILENAMEA& ofn, const std::string& folder,
                         const std::vector<std::string>& names);

}  // namespace halvarin
