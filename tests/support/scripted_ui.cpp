#include "tests/support/scripted_ui.h"

#include <algorithm>

namespace pt::test {

MsgAnswer ScriptedUi::ShowMessage(MsgKind kind, const std::string& text,
                                  MsgButtons buttons) {
  if (buttons == MsgButtons::YesNo) {
    replaceQuestions.push_back(text);
  } else {
    messages.push_back({kind, text, buttons});
  }
  if (!answers.empty()) {
    MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  switch (buttons) {
    case MsgButtons::OkAbort: return MsgAnswer::Abort;
    case MsgButtons::YesNoCancel: return MsgAnswer::Cancel;
    case MsgButtons::YesNo: return replaceAnswer;
    case MsgButtons::Ok: break;
  }
  return MsgAnswer::Ok;
}

KeyReply ScriptedUi::RequestKey(const KeyRequest& request) {
  keyRequests.push_back(request);
  if (keys.empty()) return KeyReply{};
  KeyReply k = std::move(keys.front());
  keys.pop_front();
  return k;
}

std::vector<std::string> ScriptedUi::MessageTexts() const {
  std::vector<std::string> out;
  for (const auto& m : messages) out.push_back(m.text);
  return out;
}

bool ScriptedUi::LogContains(const std::string& line) const {
  return std::find(log.begin(), log.end(), line) != log.end();
}

KeyReply AsciiKey(const std::string& text) { return KeyReply{true, false, KeyText(text)}; }
KeyReply HexKey(const std::string& text) { return KeyReply{true, true, KeyText(text)}; }

}  // namespace pt::test
