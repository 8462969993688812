#include "ui/qt/MessageBoxes.h"

#include <QMessageBox>

#include "ui/Resource.h"
#include "ui/qt/ScintillaEntityEdit.h"

namespace lw::qt {
namespace {

QMessageBox::StandardButton ShowBox(QWidget& owner, const CString& text, QMessageBox::StandardButtons buttons) {
  // A hidden owner (start-up, exit) still centres the box and keeps it modal.
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(LW_TEXT_MAIN_CAPTION), ToDisplayString(text), buttons,
                  &owner);
  box.setTextFormat(Qt::PlainText);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

QString ToDisplayString(const CString& text) {
  const std::string_view bytes = text.View();
  const auto size = static_cast<qsizetype>(bytes.size());
  return IsValidUtf8(bytes) ? QString::fromUtf8(bytes.data(), size) : QString::fromLatin1(bytes.data(), size);
}

void MessageBoxSink::ShowMessage(const CString& text) { ShowBox(owner_, text, QMessageBox::Ok); }

bool MessageBoxSink::AskYesNo(const CString& text) {
  return ShowBox(owner_, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace lw::qt
