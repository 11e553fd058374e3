#include "Win32CommonDialogs.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "WindowsText.h"

namespace halvarin {

namespace {

// What the dialog may write: the longest path the system knows, or a
// multiple answer of that size. An answer that needs more is too long for
// any record, which holds at most one byte of UTF-8 per UTF-16 unit.
constexpr DWORD kAnswerRoom = 0x8000;
// wine writes a multiple answer typed into the name box whole, whatever
// nMaxFile says; the box takes 30,000 characters and a folder comes with
// them. The buffer has room for that behind kAnswerRoom.
constexpr size_t kAnswerBuffer = 2 * size_t{kAnswerRoom};

// A folder as the dialog can take it: wine's dialogs fail on a folder of
// MAX_PATH characters or more, and on one that is that long in full when
// given in short form, so such a folder is left out and the dialog opens
// where it would without it.
std::wstring DialogFolder(const std::wstring& folder) {
  return folder.size() < MAX_PATH ? folder : std::wstring();
}

// The seeded name, with its folder only where the dialog can open that:
// one that does not exist (the dialog would open anywhere) or is too long,
// as above, is left out.
std::wstring DialogSeed(const std::wstring& seed) {
  const size_t slash = seed.find_last_of(L"\\/");
  if (slash != std::wstring::npos && seed.size() < MAX_PATH) {
    const DWORD attributes = GetFileAttributesW(seed.substr(0, slash).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return seed;
    }
  }
  const std::wstring name = seed.substr(slash + 1);  // all of it without a folder
  return name.size() < MAX_PATH ? name : std::wstring();
}

// The seeded file name: the file buffer up to its first NUL, never reading
// past the buffer even when the seed fills it without a terminator.
std::string Seed(const OPENFILENAMEA& ofn) {
  if (!ofn.lpstrFile) {
    return {};
  }
  const size_t capacity = std::min<size_t>(ofn.nMaxFile, ofn.lpstrFile->size());
  return ofn.lpstrFile->substr(0, std::min(capacity, ofn.lpstrFile->find('\0')));
}

// The owner: the record's window, else the thread's active one, else its
// main window (right after a dialog closes none may be active). A dialog
// without an owner would leave the program's window open to input.
HWND Owner(int32_t handle) {
  // Window handles are 32-bit values, sign-extended on 64-bit Windows.
  const HWND given = reinterpret_cast<HWND>(static_cast<intptr_t>(handle));
  if (handle != 0 && IsWindow(given)) {
    return GetAncestor(given, GA_ROOT);
  }
  if (HWND active = GetActiveWindow()) {
    return active;
  }
  HWND main = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM found) -> BOOL {
        if (IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr) {
          *reinterpret_cast<HWND*>(found) = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&main));
  return main;
}

// The answer the dialog wrote: one full path, or a folder and names.
std::vector<std::wstring> AnswerPieces(const std::vector<wchar_t>& buffer) {
  std::vector<std::wstring> pieces;
  auto start = buffer.begin();
  while (start != buffer.end() && *start != L'\0') {
    const auto end = std::find(start, buffer.end(), L'\0');
    pieces.emplace_back(start, end);
    start = end == buffer.end() ? end : end + 1;
  }
  return pieces;
}

int32_t ShowDialog(OPENFILENAMEA& ofn, bool save) {
  const bool multiple = !save && (ofn.Flags & OFN_ALLOWMULTISELECT);
  const size_t capacity = ofn.lpstrFile ? std::min<size_t>(ofn.nMaxFile, ofn.lpstrFile->size()) : 0;
  const size_t terminators = multiple ? 2 : 1;

  const auto pairs = FilterPairs(ofn);
  std::wstring filter;
  for (const auto& [description, patterns] : pairs) {
    filter += WideText(description) + L'\0' + WideText(patterns) + L'\0';
  }
  filter += L'\0';
  DWORD filterIndex =
      (ofn.nFilterIndex >= 1 && ofn.nFilterIndex <= pairs.size()) ? ofn.nFilterIndex : 1;

  const std::wstring title = WideText(TextBeforeNul(ofn.lpstrTitle));
  const std::wstring caption = title.empty() ? (save ? L"Save As" : L"Open") : title;
  const std::wstring defaultExt = WideText(TextBeforeNul(ofn.lpstrDefExt));
  std::wstring initialDir = DialogFolder(WideText(TextBeforeNul(ofn.lpstrInitialDir)));
  std::wstring seed = DialogSeed(WideText(Seed(ofn)));

  DWORD flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
                (ofn.Flags & (OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST));
  if (save && (ofn.Flags & OFN_OVERWRITEPROMPT)) {
    flags |= OFN_OVERWRITEPROMPT;
  }
  if (multiple) {
    flags |= OFN_ALLOWMULTISELECT;
  }

  const HWND owner = Owner(ofn.hwndOwner);
  const auto refuse = [&](const std::string& message) {
    MessageBoxW(owner, WideText(message).c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
  };
  const std::string tooLong = "\nThe dialog takes at most " +
                              std::to_string(capacity > terminators ? capacity - terminators : 0) +
                              " bytes; choose a shorter name or folder.";

  std::vector<wchar_t> buffer(kAnswerBuffer);
  for (;;) {
    std::fill(std::copy(seed.begin(), seed.end(), buffer.begin()), buffer.end(), L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = pairs.empty() ? nullptr : filter.c_str();
    dialog.nFilterIndex = filterIndex;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = kAnswerRoom;
    dialog.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.Flags = flags;
    dialog.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog))) {
      const DWORD error = CommDlgExtendedError();
      if (error == FNERR_BUFFERTOOSMALL) {
        // The dialog has forgotten the choice: it is shown again as it was.
        refuse("The path is too long: the choice takes more than " + std::to_string(kAnswerRoom) +
               " characters." + tooLong);
        continue;
      }
      if (error == FNERR_INVALIDFILENAME && !seed.empty()) {
        seed.clear();  // a seed the dialog will not take: shown without it
        continue;
      }
      return 0;
    }
    filterIndex = dialog.nFilterIndex;

    const std::vector<std::wstring> pieces = AnswerPieces(buffer);
    if (pieces.empty()) {
      return 0;
    }
    std::vector<std::string> answer;
    std::string shown;  // the chosen files, one full path a line
    for (size_t i = 0; i < pieces.size(); ++i) {
      const std::wstring full =
          pieces.size() == 1 || i == 0 ? pieces[i] : pieces[0] + L'\\' + pieces[i];
      if (pieces.size() == 1 || i > 0) {
        shown += (shown.empty() ? "" : "\n") + Utf8Text(full);
      }
      if (auto utf8 = ExactUtf8Text(pieces[i])) {
        answer.push_back(std::move(*utf8));
      }
    }
    // The refused choice's folder is where the dialog opens again.
    seed = pieces.size() == 1 ? DialogSeed(pieces[0]) : std::wstring();
    initialDir = pieces.size() == 1 ? initialDir : DialogFolder(pieces[0]);
    if (answer.size() != pieces.size()) {
      refuse(shown +
             "\nThe name holds a character that is not valid Unicode; choose another name.");
      continue;
    }
    size_t size = terminators - 1;
    for (const std::string& piece : answer) {
      size += piece.size() + 1;
    }
    if (size > capacity) {
      refuse("The path is too long: " + shown + tooLong);
      continue;
    }
    const bool stored =
        answer.size() == 1
            ? StoreSingleAnswer(ofn, answer[0])
            : StoreMultipleAnswer(ofn, answer[0], {answer.begin() + 1, answer.end()});
    if (!stored) {
      return 0;
    }
    if (!pairs.empty()) {
      ofn.nFilterIndex = filterIndex;
    }
    return 1;
  }
}

}  // namespace

CommonDialogs& PlatformCommonDialogs() {
  static Win32CommonDialogs dialogs;
  return dialogs;
}

int32_t Win32CommonDialogs::ShowOpenDialog(OPENFILENAMEA& ofn) {
  return ShowDialog(ofn, false);
}

int32_t Win32CommonDialogs::ShowSaveDialog(OPENFILENAMEA& ofn) {
  return ShowDialog(ofn, true);
}

}  // namespace halvarin
