#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/Messages.h"

namespace lw {

// The terminal's message sink. It holds the messages of one operation until
// the operation's outcome is known: a confirmation belongs on standard output,
// an error on standard error. Questions get the answer given at start-up
// (no, unless the user passed --yes), since nobody may be at the terminal.
class TerminalMessages : public MessageSink {
 public:
  explicit TerminalMessages(bool answerYes) : answerYes_(answerYes) {}

  void ShowMessage(const CString& text) override;
  bool AskYesNo(const CString& text) override;
  Answer AskYesNoCancel(const CString& text) override;

  // Prints the held messages, one per line, to `out` when the operation
  // succeeded and to `err` when it failed, then forgets them.
  void Flush(bool succeeded, std::ostream& out, std::ostream& err);
  [[nodiscard]] bool HasPending() const { return !pending_.empty(); }
  // Hands over the held messages and forgets them.
  std::vector<std::string> TakePending();

 private:
  bool answerYes_;
  std::vector<std::string> pending_;
};

}  // namespace lw
