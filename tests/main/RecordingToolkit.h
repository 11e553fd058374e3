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
// answers message boxes from a script, and records every call in `Calls` as
// one readable line, e.g. "MsgBox(File has changed.\r\nSave now?|36|Save Changes?)".
//
// Forms attached with Attach() receive Load on their first Show and Unload on
// Unload, as in the real toolkit, so exit sequences can be followed.
class RecordingToolkit : public Toolkit {
 public:
  struct Item {
    std::string Text;
    int16_t LargeIcon = 0;
    int16_t SmallIcon = 0;
    friend bool operator==(const Item&, const Item&) = default;
  };

  // --- set-up and inspection for tests ---
  void Attach(const std::string& form, FormEvents* events) { Forms[form] = events; }
  bool IsLoaded(const std::string& form) const { return Loaded.count(form) != 0; }
  std::vector<Item>& Items(const std::string& form, const std::string& control) {
    return Lists[Key(form, control)];
  }
  void Select(const std::string& form, const std::string& control, int32_t position) {
    Selection[Key(form, control)] = position;
  }
  // Next answers of MsgBox, in order; vbOK once the script is used up.
  std::deque<int32_t> MsgBoxAnswers;
  std::vector<std::string> Calls;
  std::map<std::string, float> Widths;   // by "form.control"
  std::map<std::string, float> Heights;  // by "form.control"
  std::map<std::string, std::string> Captions;
  // RunWithProgress runs the work at once and keeps its reports; report
  // number CancelAtReport (1-based; 0: none) answers as a press on Cancel
  // would. DuringProgress runs at every report: what a user might try then.
  int CancelAtReport = 0;
  std::vector<std::pair<int64_t, int64_t>> Reports;
  std::function<void()> DuringProgress;
  std::vector<std::string> StartedPrograms;
  bool StartProgramFails = false;
  bool Ended = false;
  std::string Path = "/opt/halvarin";

  static std::string Key(const std::string& form, const std::string& control) {
    return form + "." + control;
  }

  // --- Toolkit ---
  void Show(const std::string& form) override {
    Calls.push_back("Show(" + form + ")");
    if (Loaded.insert(form).second) {
      if (FormEvents* events = FormsOf(form)) {
        events->Load();
      }
    }
  }
  void Unload(const std::string& form) override {
    Calls.push_back("Unload(" + form + ")");
    if (Loaded.count(form) == 0 || Unloading.count(form) != 0) {
      return;
    }
    Unloading.insert(form);
    if (FormEvents* events = FormsOf(form)) {
      events->Unload();
    }
    Unloading.erase(form);
    Loaded.erase(form);
  }
  // The user closes the window from its title bar: the form may keep it
  // open (QueryUnload); otherwise it is unloaded.
  void Close(const std::string& form) {
    Calls.push_back("Close(" + form + ")");
    if (Loaded.count(form) == 0) {
      return;
    }
    bool cancel = false;
    if (FormEvents* events = FormsOf(form)) {
      events->QueryUnload(cancel);
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
    int32_t answer = MsgBoxAnswers.front();
    MsgBoxAnswers.pop_front();
    return answer;
  }
  void ListClear(const std::string& form, const std::string& control) override {
    Calls.push_back("ListClear(" + Key(form, control) + ")");
    Lists[Key(form, control)].clear();
    Selection[Key(form, control)] = 0;
  }
  void ListAdd(const std::string& form, const std::string& control, const std::string& text,
               int16_t largeIcon, int16_t smallIcon) override {
    Lists[Key(form, control)].push_back(Item{text, largeIcon, smallIcon});
  }
  void ListRemove(const std::string& form, const std::string& control, int32_t position) override {
    Calls.push_back("ListRemove(" + Key(form, control) + "|" + std::to_string(position) + ")");
    auto& items = Lists[Key(form, control)];
    if (position < 1 || position > static_cast<int32_t>(items.size())) {
      throw AppError(errSubscriptOutOfRange, "ListItems", "List item position out of range");
    }
    items.erase(items.begin() + (position - 1));
    int32_t& selected = Selection[Key(form, control)];
    if (selected == position) {
      selected = 0;
    } else if (selected > position) {
      --selected;
    }
  }
  int32_t ListCount(const std::string& form, const std::string& control) const override {
    auto it = Lists.find(Key(form, control));
    return it == Lists.end() ? 0 : static_cast<int32_t>(it->second.size());
  }
  int32_t SelectedIndex(const std::string& form, const std::string& control) const override {
    auto it = Selection.find(Key(form, control));
    return it == Selection.end() ? 0 : it->second;
  }
  std::string SelectedText(const std::string& form, const std::string& control) const override {
    int32_t selected = SelectedIndex(form, control);
    auto it = Lists.find(Key(form, control));
    if (selected < 1 || it == Lists.end() || selected > static_cast<int32_t>(it->second.size())) {
      return {};
    }
    return it->second[selected - 1].Text;
  }
  void PopupMenu(const std::string& form, const std::string& menu) override {
    Calls.push_back("PopupMenu(" + form + "|" + menu + ")");
  }
  float ControlWidth(const std::string& form, const std::string& control) const override {
    auto it = Widths.find(Key(form, control));
    return it == Widths.end() ? 0.0f : it->second;
  }
  float ControlHeight(const std::string& form, const std::string& control) const override {
    auto it = Heights.find(Key(form, control));
    return it == Heights.end() ? 0.0f : it->second;
  }
  void SetControlWidth(const std::string& form, const std::string& control, float width) override {
    if (width < 0) {
      throw AppError(errInvalidArgument, "Toolkit", "Invalid property value: negative width");
    }
    Widths[Key(form, control)] = width;
  }
  void SetControlHeight(const std::string& form, const std::string& control,
                        float height) override {
    if (height < 0) {
      throw AppError(errInvalidArgument, "Toolkit", "Invalid property value: negative height");
    }
    Heights[Key(form, control)] = height;
  }
  std::string Caption(const std::string& form, const std::string& control) const override {
    auto it = Captions.find(Key(form, control));
    return it == Captions.end() ? std::string() : it->second;
  }
  void SetCaption(const std::string& form, const std::string& control,
                  const std::string& text) override {
    Captions[Key(form, control)] = text;
  }
  void StartProgram(const std::string& path) override {
    Calls.push_back("StartProgram(" + path + ")");
    if (StartProgramFails) {
      throw AppError(errFileNotFound, "Toolkit", "File not found: " + path);
    }
    StartedPrograms.push_back(path);
  }
  void RunWithProgress(const std::string& file,
                       const std::function<void(const ProgressReport&)>& work) override {
    Calls.push_back("RunWithProgress(" + file + ")");
    Reports.clear();
    work([this](int64_t done, int64_t total) {
      Reports.emplace_back(done, total);
      if (DuringProgress) {
        DuringProgress();
      }
      return static_cast<int>(Reports.size()) != CancelAtReport;
    });
  }
  std::string AppPath() const override { return Path; }
  std::string AppTitle() const override { return std::string(ProgramIdentity::Title); }
  int32_t AppMajor() const override { return ProgramIdentity::Major; }
  int32_t AppMinor() const override { return ProgramIdentity::Minor; }
  int32_t AppRevision() const override { return ProgramIdentity::Revision; }

 private:
  FormEvents* FormsOf(const std::string& form) const {
    auto it = Forms.find(form);
    return it == Forms.end() ? nullptr : it->second;
  }

  std::map<std::string, FormEvents*> Forms;
  std::set<std::string> Loaded;
  std::set<std::string> Unloading;
  std::map<std::string, std::vector<Item>> Lists;
  std::map<std::string, int32_t> Selection;
};

// Dropped data for tests.
class FakeDataObject : public DataObject {
 public:
  FakeDataObject(bool text, std::vector<std::string> files)
      : text_(text), files_(std::move(files)) {}
  bool GetFormat(int16_t format) const override {
    return format == vbCFText ? text_ : (format == vbCFFiles && !files_.empty());
  }
  std::vector<std::string> Files() const override { return files_; }

 private:
  bool text_;
  std::vector<std::string> files_;
};

}  // namespace halvarin
