#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "AppError.h"
#include "Toolkit.h"

namespace halvarin {

// A toolkit without windows for tests of form logic. It keeps the state the
// forms can read back (list items, selection, control sizes, captions),
// answers message boxes from a script, and records the calls a user would
// see (windows, boxes, pop-ups, programs started, progress windows) in
// `Calls`, one readable line each, e.g.
// "MsgBox(File has changed.\r\nSave now?|36|Save Changes?)".
// Forms attached with Attach() receive Load on their first Show and Unload on
// Unload, as in the real toolkit, so exit sequences can be followed.
class RecordingToolkit : public Toolkit {
 public:
  struct Item {
    std::string Text;
    int16_t LargeIcon = 0, SmallIcon = 0;
    friend bool operator==(const Item&, const Item&) = default;
  };
  using Str = const std::string&;

  void Attach(Str form, FormEvents* events) { Forms[form] = events; }
  bool IsLoaded(Str form) const { return Loaded.count(form) != 0; }
  std::vector<Item>& Items(Str form, Str control) { return Lists[Key(form, control)]; }
  void Select(Str form, Str control, int32_t position) { Selection[Key(form, control)] = position; }
  // Next answers of MsgBox, in order; vbOK once the script is used up.
  std::deque<int32_t> MsgBoxAnswers;
  std::vector<std::string> Calls, Boxes;         // Boxes: the MsgBox calls alone
  std::map<std::string, float> Widths, Heights;  // by "form.control"
  std::map<std::string, std::string> Captions;
  // RunWithProgress runs the work at once; report number CancelAtReport
  // (1-based; 0: none) answers as a press on Cancel would. DuringProgress
  // runs at every report: what a user might try then.
  int CancelAtReport = 0;
  std::function<void()> DuringProgress = [] {};
  bool StartProgramFails = false;

  static std::string Key(Str form, Str control) { return form + "." + control; }

  void Show(Str form) override {
    Calls.push_back("Show(" + form + ")");
    if (Loaded.insert(form).second && Forms[form] != nullptr) {
      Forms[form]->Load();
    }
  }
  // No longer loaded while its Unload runs, so the exit sequence that
  // unloads the form again ends there.
  void Unload(Str form) override {
    Calls.push_back("Unload(" + form + ")");
    if (Loaded.erase(form) != 0 && Forms[form] != nullptr) {
      Forms[form]->Unload();
    }
  }
  // The title bar's close button: the form may keep the window (QueryUnload).
  void Close(Str form) {
    bool cancel = false;
    Forms[form]->QueryUnload(cancel);
    if (!cancel) {
      Unload(form);
    }
  }
  void End() override { Calls.push_back("End()"); }
  int32_t MsgBox(Str prompt, int32_t buttons, Str title) override {
    Calls.push_back("MsgBox(" + prompt + "|" + std::to_string(buttons) + "|" + title + ")");
    Boxes.push_back(Calls.back());
    if (MsgBoxAnswers.empty()) {
      return vbOK;
    }
    const int32_t answer = MsgBoxAnswers.front();
    MsgBoxAnswers.pop_front();
    return answer;
  }
  void ListClear(Str f, Str c) override {
    Lists[Key(f, c)].clear();
    Selection[Key(f, c)] = 0;
  }
  void ListAdd(Str f, Str c, Str text, int16_t large, int16_t small) override {
    Lists[Key(f, c)].push_back(Item{text, large, small});
  }
  void ListRemove(Str f, Str c, int32_t position) override {
    auto& items = Lists[Key(f, c)];
    if (position < 1 || position > static_cast<int32_t>(items.size())) {
      throw AppError(errSubscriptOutOfRange, "ListItems", "List item position out of range");
    }
    items.erase(items.begin() + (position - 1));
    int32_t& selected = Selection[Key(f, c)];
    selected = selected == position ? 0 : selected > position ? selected - 1 : selected;
  }
  int32_t ListCount(Str f, Str c) const override { return int32_t(Get(Lists, f, c).size()); }
  int32_t SelectedIndex(Str f, Str c) const override { return Get(Selection, f, c); }
  std::string SelectedText(Str f, Str c) const override {
    const int32_t i = SelectedIndex(f, c);
    return i < 1 || i > ListCount(f, c) ? std::string() : Lists.at(Key(f, c))[i - 1].Text;
  }
  void PopupMenu(Str f, Str menu) override { Calls.push_back("PopupMenu(" + f + "|" + menu + ")"); }
  float ControlWidth(Str f, Str c) const override { return Get(Widths, f, c); }
  float ControlHeight(Str f, Str c) const override { return Get(Heights, f, c); }
  void SetControlWidth(Str f, Str c, float width) override { Widths[Key(f, c)] = Positive(width); }
  void SetControlHeight(Str f, Str c, float height) override {
    Heights[Key(f, c)] = Positive(height);
  }
  std::string Caption(Str f, Str c) const override { return Get(Captions, f, c); }
  void SetCaption(Str f, Str c, Str text) override { Captions[Key(f, c)] = text; }
  void StartProgram(Str path) override {
    Calls.push_back("StartProgram(" + path + ")");
    if (StartProgramFails) {
      throw AppError(errFileNotFound, "Toolkit", "File not found: " + path);
    }
  }
  void RunWithProgress(Str file, const std::function<void(const ProgressReport&)>& work) override {
    Calls.push_back("RunWithProgress(" + file + ")");
    int reports = 0;
    work([&](int64_t, int64_t) {
      DuringProgress();
      return ++reports != CancelAtReport;
    });
  }
  std::string AppPath() const override { return "/opt/halvarin"; }

 private:
  // What a form reads of a control never set: 0 or "", as a fresh control has.
  template <typename V>
  static V Get(const std::map<std::string, V>& from, Str f, Str c) {
    const auto it = from.find(Key(f, c));
    return it == from.end() ? V{} : it->second;
  }
  static float Positive(float size) {
    return size >= 0 ? size
                     : throw AppError(errInvalidArgument, "Toolkit",
                                      "Invalid property value: negative size");
  }

  std::map<std::string, FormEvents*> Forms;
  std::set<std::string> Loaded;
  std::map<std::string, std::vector<Item>> Lists;
  std::map<std::string, int32_t> Selection;
};

}  // namespace halvarin
