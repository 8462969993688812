#pragma once

#include "platform/CString.h"

namespace lw {

// Where the core's messages go: a message box captioned with the program's
// name, the terminal, or a recorder in tests. Only a Yes counts as yes.
class MessageSink {
 public:
  enum class Answer { kYes, kNo, kCancel };

  virtual ~MessageSink() = default;
  virtual void ShowMessage(const CString& text) = 0;
  virtual bool AskYesNo(const CString& text) = 0;
  // Yes, No and Cancel; Esc and the close box answer Cancel.
  virtual Answer AskYesNoCancel(const CString& text) = 0;
};

}  // namespace lw
