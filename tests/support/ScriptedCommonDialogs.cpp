#include "ScriptedCommonDialogs.h"

#include <utility>

namespace halvarin {

void ScriptedCommonDialogs::Push(Answer answer) {
  answers_.push_back(std::move(answer));
}

void ScriptedCommonDialogs::PushCancel() {
  Push([](OPENFILENAMEA&) { return 0; });
}

void ScriptedCommonDialogs::PushChoice(std::string path, uint32_t filterIndex) {
  Push([path = std::move(path), filterIndex](OPENFILENAMEA& ofn) {
    if (!StoreSingleAnswer(ofn, path)) {
      return 0;
    }
    if (filterIndex != 0) {
      ofn.nFilterIndex = filterIndex;
    }
    return 1;
  });
}

void ScriptedCommonDialogs::PushChoices(std::string folder, std::vector<std::string> names,
                                        uint32_t filterIndex) {
  Push([folder = std::move(folder), names = std::move(names), filterIndex](OPENFILENAMEA& ofn) {
    if (!StoreMultipleAnswer(ofn, folder, names)) {
      return 0;
    }
    if (filterIndex != 0) {
      ofn.nFilterIndex = filterIndex;
    }
    return 1;
  });
}

int32_t ScriptedCommonDialogs::ShowOpenDialog(OPENFILENAMEA& ofn) {
  return Respond(Kind::Open, ofn);
}

int32_t ScriptedCommonDialogs::ShowSaveDialog(OPENFILENAMEA& ofn) {
  return Respond(Kind::Save, ofn);
}

int32_t ScriptedCommonDialogs::Respond(Kind kind, OPENFILENAMEA& ofn) {
  calls_.push_back({kind, ofn});
  if (answers_.empty()) {
    return 0;
  }
  Answer answer = std::move(answers_.front());
  answers_.pop_front();
  return answer(ofn);
}

}  // namespace halvarin
