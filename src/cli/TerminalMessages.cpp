#include "cli/TerminalMessages.h"

#include <ostream>

namespace lw {

void TerminalMessages::ShowMessage(const CString& text) { pending_.push_back(text.Str()); }

bool TerminalMessages::AskYesNo(const CString& text) {
  // The question and the answer it got both go into the record, so a log of
  // the run shows what was decided for the user.
  pending_.push_back(text.Str() + (answerYes_ ? " [yes]" : " [no: pass --yes to answer yes]"));
  return answerYes_;
}

MessageSink::Answer TerminalMessages::AskYesNoCancel(const CString& text) {
  // Without --yes nothing is decided for the user, and nothing is lost.
  pending_.push_back(text.Str() + (answerYes_ ? " [yes]" : " [cancel: pass --yes to answer yes]"));
  return answerYes_ ? Answer::kYes : Answer::kCancel;
}

std::vector<std::string> TerminalMessages::TakePending() {
  std::vector<std::string> taken;
  taken.swap(pending_);
  return taken;
}

void TerminalMessages::Flush(bool succeeded, std::ostream& out, std::ostream& err) {
  std::ostream& target = succeeded ? out : err;
  for (const std::string& message : pending_) target << message << '\n';
  target.flush();
  pending_.clear();
}

}  // namespace lw
