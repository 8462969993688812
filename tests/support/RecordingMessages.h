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

  void ScriptAnswers(std::initializer_list<bool> answers);

  std::vector<std::string> shown;
  std::vector<std::string> asked;
  // Both kinds in the order they came, questions marked with "? ".
  std::vector<std::string> all;

 private:
  std::deque<bool> answers_;
};

}  // namespace lw::test
