#include "ui/qt/MessageBoxes.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

#include "ui/Resource.h"
#include "ui/qt/ScintillaEntityEdit.h"

namespace lw::qt {
namespace {

QMessageBox::StandardButton ShowBox(QWidget& owner, const CString& text, QMessageBox::StandardButtons buttons) {
  // A hidden owner (start-up, exit) still centres the box and keeps it modal.
  QMessageBox box(QMessageBox::Warning, ApplicationName(), ToDisplayString(text), buttons, &owner);
  box.setTextFormat(Qt::PlainText);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

QString ApplicationName() {
  // As the Windows program names its boxes: the program's file name without
  // its extension.
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString ToDisplayString(const CString& text) {
  const std::string_view bytes = text.View();
  const auto size = static_cast<qsizetype>(bytes.size());
  return IsValidUtf8(bytes) ? QString::fromUtf8(bytes.data(), size) : QString::fromLatin1(bytes.data(), size);
}

void QtMessageBoxSink::ShowMessage(const CString& text) { ShowBox(owner_, text, QMessageBox::Ok); }

bool QtMessageBoxSink::AskYesNo(const CString& text) {
  return ShowBox(owner_, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

MessageSink::Answer QtMessageBoxSink::AskYesNoCancel(const CString& text) {
  // The box has a Cancel button, so Esc and the close box give it.
  switch (ShowBox(owner_, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes: return Answer::kYes;
    case QMessageBox::No: return Answer::kNo;
    default: return Answer::kCancel;
  }
}

}  // namespace lw::qt
