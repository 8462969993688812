#pragma once

#include <QString>

#include "platform/CString.h"
#include "platform/Messages.h"

class QWidget;

namespace lw::qt {

// The core's messages as message boxes with the exclamation icon, captioned
// with the program's name, over `owner`.
class QtMessageBoxSink : public MessageSink {
 public:
  explicit QtMessageBoxSink(QWidget& owner) : owner_(owner) {}

  void ShowMessage(const CString& text) override;
  bool AskYesNo(const CString& text) override;
  Answer AskYesNoCancel(const CString& text) override;

 private:
  QWidget& owner_;
};

// The boxes' caption: the program's file name without its extension.
QString ApplicationName();

// Text for display: UTF-8 when it is valid UTF-8 (file names, as the desktop
// writes them), else one character per byte.
QString ToDisplayString(const CString& text);

}  // namespace lw::qt
