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
    const bool stored = StoreSingleAnswer(ofn, path);
    ofn.nFilterIndex = stored && filterIndex != 0 ? filterIndex : ofn.nFilterIndex;
    return stored ? 1 : 0;
  });
}

void ScriptedCommonDialogs::PushChoices(std::string folder, std::vector<std::string> names,
                                        uint32_t filterIndex) {
  Push([folder = std::move(folder), names = std::move(names), filterIndex](OPENFILENAMEA& ofn) {
    const bool stored = StoreMultipleAnswer(ofn, folder, names);
    ofn.nFilterIndex = stored && filterIndex != 0 ? filterIndex : ofn.nFilterIndex;
    return stored ? 1 : 0;
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
  const Answer answer = answers_.empty() ? Answer([](OPENFILENAMEA&) { return 0; }) : answers_.front();
  answers_.empty() ? void() : answers_.pop_front();
  return answer(ofn);
}

}  // namespace halvarin
