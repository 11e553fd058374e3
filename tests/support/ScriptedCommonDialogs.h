#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "CommonDialogs.h"

namespace halvarin {

// A dialog layer for tests: every call takes the next scripted answer in
// turn and keeps a copy of the record exactly as it arrived. Hand it to a
// clsFileDialog or an frmMain. A call with nothing scripted is a cancel.
class ScriptedCommonDialogs : public CommonDialogs {
 public:
  enum class Kind { Open, Save };
  struct Call {
    Kind kind;
    OPENFILENAMEA record;  // as received, before the answer was written
  };
  // Writes whatever it likes into the record and returns the dialog's result.
  using Answer = std::function<int32_t(OPENFILENAMEA&)>;

  void Push(Answer answer) { answers_.push_back(std::move(answer)); }
  void PushCancel() {
    Push([](OPENFILENAMEA&) { return 0; });
  }
  // One chosen file, or several of one folder, written as the platform does.
  void PushChoice(std::string path) {
    Push([path](OPENFILENAMEA& ofn) { return StoreSingleAnswer(ofn, path) ? 1 : 0; });
  }
  void PushChoices(std::string folder, std::vector<std::string> names) {
    Push([folder, names](OPENFILENAMEA& ofn) {
      return StoreMultipleAnswer(ofn, folder, names) ? 1 : 0;
    });
  }

  const std::vector<Call>& Calls() const { return calls_; }

  int32_t ShowOpenDialog(OPENFILENAMEA& ofn) override { return Respond(Kind::Open, ofn); }
  int32_t ShowSaveDialog(OPENFILENAMEA& ofn) override { return Respond(Kind::Save, ofn); }

 private:
  int32_t Respond(Kind kind, OPENFILENAMEA& ofn) {
    calls_.push_back({kind, ofn});
    if (answers_.empty()) {
      return 0;
    }
    const Answer answer = std::move(answers_.front());
    answers_.pop_front();
    return answer(ofn);
  }

  std::deque<Answer> answers_;
  std::vector<Call> calls_;
};

}  // namespace halvarin
