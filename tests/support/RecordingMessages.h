#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/Messages.h"

namespace lw::test {

// Records every message and question; answers questions from a script
// (no when the script runs out).
class RecordingMessages : public MessageSink {
 public:
  void ShowMessage(const CString& text) override;
  bool AskYesNo(const CString& text) override;
  Answer AskYesNoCancel(const CString& text) override;

  // Yes or No to the questions in turn; a Yes/No/Cancel question takes a
  // scripted yes or no too, or one of its own answers.
  void ScriptAnswers(std::initializer_list<bool> answers);
  void ScriptAnswers(std::initializer_list<Answer> answers);

  std::vector<std::string> shown;
  std::vector<std::string> asked;
  // Both kinds in the order they came, questions marked with "? ".
  std::vector<std::string> all;

 private:
  std::deque<Answer> answers_;
};

}  // namespace lw::test
