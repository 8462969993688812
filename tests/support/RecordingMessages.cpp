#include "support/RecordingMessages.h"

namespace lw::test {

void RecordingMessages::ShowMessage(const CString& text) {
  shown.push_back(text.Str());
  all.push_back(text.Str());
}

bool RecordingMessages::AskYesNo(const CString& text) { return AskYesNoCancel(text) == Answer::kYes; }

MessageSink::Answer RecordingMessages::AskYesNoCancel(const CString& text) {
  asked.push_back(text.Str());
  all.push_back("? " + text.Str());
  // Unscripted, as a user who clicks No.
  if (answers_.empty()) return Answer::kNo;
  const Answer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void RecordingMessages::ScriptAnswers(std::initializer_list<bool> answers) {
  for (const bool yes : answers) answers_.push_back(yes ? Answer::kYes : Answer::kNo);
}

void RecordingMessages::ScriptAnswers(std::initializer_list<Answer> answers) {
  answers_.insert(answers_.end(), answers.begin(), answers.end());
}

}  // namespace lw::test
