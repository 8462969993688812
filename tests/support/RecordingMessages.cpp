#include "support/RecordingMessages.h"

namespace lw::test {

void RecordingMessages::ShowMessage(const CString& text) {
  shown.push_back(text.Str());
  all.push_back(text.Str());
}

bool RecordingMessages::AskYesNo(const CString& text) {
  asked.push_back(text.Str());
  all.push_back("? " + text.Str());
  if (answers_.empty()) return false;
  const bool answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void RecordingMessages::ScriptAnswers(std::initializer_list<bool> answers) {
  answers_.insert(answers_.end(), answers.begin(), answers.end());
}

}  // namespace lw::test
