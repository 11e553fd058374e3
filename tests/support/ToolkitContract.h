#pragma once

// One script of toolkit calls that the recording double and every real
// toolkit must answer alike, so that the double cannot drift from them:
// appending, selecting, removing around the selection, a refused size and
// clearing, on frmMain's list.

#include <functional>
#include <string>

#include "AppError.h"
#include "Toolkit.h"

namespace halvarin::testing {

// Runs the script on `t`, whose frmMain is shown; `selectThird` selects the
// third item the way that toolkit's user would. Returns what it saw.
inline std::string ToolkitContract(Toolkit& t, const std::function<void()>& selectThird) {
  const std::string f = "frmMain", l = "ListView1";
  std::string seen;
  const auto call = [&](const std::function<void()>& what) {
    try {
      what();
    } catch (const AppError& e) {
      seen += "E" + std::to_string(e.Number());
    }
    seen += " " + std::to_string(t.ListCount(f, l)) + std::to_string(t.SelectedIndex(f, l)) +
            t.SelectedText(f, l);
  };
  for (const char* text : {"A.MAP", "B.ART", "C.VOC"}) {
    call([&] { t.ListAdd(f, l, text, 1, 1); });
  }
  call(selectThird);
  // Not the selected item: removing that leaves no selection in the double,
  // while Qt selects the next item.
  for (const int32_t position : {1, 1, 2, 0}) {
    call([&] { t.ListRemove(f, l, position); });
  }
  call([&] { t.SetControlHeight(f, l, -1); });
  t.SetControlWidth(f, l, 1500);
  call([&] { t.ListClear(f, l); });
  return seen + std::to_string(t.ControlWidth(f, l));
}

}  // namespace halvarin::testing
