#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "AppError.h"
#include "ProgramIdentity.h"
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
  using Form = const std::string&;
  using Control = const std::string&;

  void Attach(Form form, FormEvents* events) { Forms[form] = events; }
  bool IsLoaded(Form form) const { return Loaded.count(form) != 0; }
  std::vector<Item>& Items(Form form, Control control) { return Lists[Key(form, control)]; }
  void Select(Form form, Control control, int32_t position) {
    Selection[Key(form, control)] = position;
  }
  // Next answers of MsgBox, in order; vbOK once the script is used up.
  std::deque<int32_t> MsgBoxAnswers;
  std::vector<std::string> Calls;
  std::map<std::string, float> Widths, Heights;  // by "form.control"
  std::map<std::string, std::string> Captions;
  // RunWithProgress runs the work at once; report number CancelAtReport
  // (1-based; 0: none) answers as a press on Cancel would. DuringProgress
  // runs at every report: what a user might try then.
  int CancelAtReport = 0;
  std::function<void()> DuringProgress;
  bool StartProgramFails = false;
  bool Ended = false;

  static std::string Key(Form form, Control control) { return form + "." + control; }

  void Show(Form form) override {
    Calls.push_back("Show(" + form + ")");
    if (Loaded.insert(form).second && Forms.count(form) != 0) {
      Forms[form]->Load();
    }
  }
  void Unload(Form form) override {
    Calls.push_back("Unload(" + form + ")");
    if (Loaded.count(form) != 0 && Unloading.insert(form).second) {
      if (Forms.count(form) != 0) {
        Forms[form]->Unload();
      }
      Unloading.erase(form);
      Loaded.erase(form);
    }
  }
  // The user closes the window from its title bar: the form may keep it
  // open (QueryUnload); otherwise it is unloaded.
  void Close(Form form) {
    bool cancel = Loaded.count(form) == 0;
    if (!cancel && Forms.count(form) != 0) {
      Forms[form]->QueryUnload(cancel);
    }
    if (!cancel && !Ended) {
      Unload(form);
    }
  }
  void End() override {
    Calls.push_back("End()");
    Ended = true;
  }
  int32_t MsgBox(const std::string& prompt, int32_t buttons, const std::string& title) override {
    Calls.push_back("MsgBox(" + prompt + "|" + std::to_string(buttons) + "|" + title + ")");
    if (MsgBoxAnswers.empty()) {
      return vbOK;
    }
    const int32_t answer = MsgBoxAnswers.front();
    MsgBoxAnswers.pop_front();
    return answer;
  }
  void ListClear(Form form, Control control) override {
    Lists[Key(form, control)].clear();
    Selection[Key(form, control)] = 0;
  }
  void ListAdd(Form form, Control control, const std::string& text, int16_t large,
               int16_t small) override {
    Lists[Key(form, control)].push_back(Item{text, large, small});
  }
  void ListRemove(Form form, Control control, int32_t position) override {
    auto& items = Lists[Key(form, control)];
    if (position < 1 || position > static_cast<int32_t>(items.size())) {
      throw AppError(errSubscriptOutOfRange, "ListItems", "List item position out of range");
    }
    items.erase(items.begin() + (position - 1));
    int32_t& selected = Selection[Key(form, control)];
    selected = selected == position ? 0 : selected > position ? selected - 1 : selected;
  }
  int32_t ListCount(Form form, Control control) const override {
    return static_cast<int32_t>(Get(Lists, Key(form, control), {}).size());
  }
  int32_t SelectedIndex(Form form, Control control) const override {
    return Get(Selection, Key(form, control), 0);
  }
  std::string SelectedText(Form form, Control control) const override {
    const int32_t selected = SelectedIndex(form, control);
    return selected < 1 || selected > ListCount(form, control)
               ? std::string()
               : Lists.at(Key(form, control))[selected - 1].Text;
  }
  void PopupMenu(Form form, const std::string& menu) override {
    Calls.push_back("PopupMenu(" + form + "|" + menu + ")");
  }
  float ControlWidth(Form form, Control control) const override {
    return Get(Widths, Key(form, control), 0.0f);
  }
  float ControlHeight(Form form, Control control) const override {
    return Get(Heights, Key(form, control), 0.0f);
  }
  void SetControlWidth(Form form, Control control, float width) override {
    Widths[Key(form, control)] = Positive(width, "width");
  }
  void SetControlHeight(Form form, Control control, float height) override {
    Heights[Key(form, control)] = Positive(height, "height");
  }
  std::string Caption(Form form, Control control) const override {
    return Get(Captions, Key(form, control), {});
  }
  void SetCaption(Form form, Control control, const std::string& text) override {
    Captions[Key(form, control)] = text;
  }
  void StartProgram(const std::string& path) override {
    Calls.push_back("StartProgram(" + path + ")");
    if (StartProgramFails) {
      throw AppError(errFileNotFound, "Toolkit", "File not found: " + path);
    }
  }
  void RunWithProgress(const std::string& file,
                       const std::function<void(const ProgressReport&)>& work) override {
    Calls.push_back("RunWithProgress(" + file + ")");
    int reports = 0;
    work([&](int64_t, int64_t) {
      if (DuringProgress) {
        DuringProgress();
      }
      return ++reports != CancelAtReport;
    });
  }
  std::string AppPath() const override { return "/opt/halvarin"; }
  std::string AppTitle() const override { return std::string(ProgramIdentity::Title); }
  int32_t AppMajor() const override { return ProgramIdentity::Major; }
  int32_t AppMinor() const override { return ProgramIdentity::Minor; }
  int32_t AppRevision() const override { return ProgramIdentity::Revision; }

 private:
  template <typename V>
  static V Get(const std::map<std::string, V>& from, const std::string& key, V otherwise) {
    const auto it = from.find(key);
    return it == from.end() ? otherwise : it->second;
  }
  static float Positive(float size, const char* what) {
    if (size < 0) {
      throw AppError(errInvalidArgument, "Toolkit",
                     std::string("Invalid property value: negative ") + what);
    }
    return size;
  }

  std::map<std::string, FormEvents*> Forms;
  std::set<std::string> Loaded, Unloading;
  std::map<std::string, std::vector<Item>> Lists;
  std::map<std::string, int32_t> Selection;
};

// Dropped data for tests.
struct FakeDataObject : DataObject {
  FakeDataObject(bool text, std::vector<std::string> files) : text(text), files(std::move(files)) {}
  bool GetFormat(int16_t format) const override {
    return format == vbCFText ? text : (format == vbCFFiles && !files.empty());
  }
  std::vector<std::string> Files() const override { return files; }
  bool text;
  std::vector<std::string> files;
};

}  // namespace halvarin
