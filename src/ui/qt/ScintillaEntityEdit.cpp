#include "ui/qt/ScintillaEntityEdit.h"

#include <algorithm>

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <string>

#include "entities/EntityBlockSearch.h"

namespace lw::qt {
namespace {

// Room for five digits of line numbers at least; more as the text grows.
constexpr int kLineNumberDigits = 5;

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

ScintillaEntityEdit::ScintillaEntityEdit(QWidget* parent) : QsciScintilla(parent) {
  // Enter puts "\r\n" into the text, as the map's own lines have; loaded text
  // keeps whatever line ends it has.
  setEolMode(EolWindows);
  setUtf8(false);
  setWrapMode(WrapNone);
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  setFont(font);
  setMarginsFont(font);
  setMarginLineNumbers(0, true);
  UpdateLineNumberWidth();
  connect(this, &QsciScintilla::linesChanged, this, &ScintillaEntityEdit::UpdateLineNumberWidth);
  // Scintilla's own matching takes the brace of "{TARGET2" for a block's:
  // the braces are paired as Find reads blocks instead.
  setBraceMatching(NoBraceMatch);
  connect(this, &QsciScintilla::cursorPositionChanged, this, &ScintillaEntityEdit::UpdateBraceHighlight);
  // Long values (a wad list) scroll across; the bar grows with the widest
  // line shown so far.
  SendScintilla(SCI_SETHSCROLLBAR, 1UL);
  SendScintilla(SCI_SETSCROLLWIDTH, 1UL);
  SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1UL);
}

void ScintillaEntityEdit::UpdateLineNumberWidth() {
  int digits = 1;
  for (long lines = SendScintilla(SCI_GETLINECOUNT); lines >= 10; lines /= 10) ++digits;
  digits = std::max(digits, kLineNumberDigits);
  if (digits == lineNumberDigits_) return;
  lineNumberDigits_ = digits;
  setMarginWidth(0, QString(digits + 1, QLatin1Char('0')));
}

void ScintillaEntityEdit::UpdateBraceHighlight() {
  const std::string_view text = LiveText();
  const auto caret = static_cast<int>(SendScintilla(SCI_GETCURRENTPOS));
  // The brace after the caret, else the one before it.
  for (const int at : {caret, caret - 1}) {
    const std::optional<int> match = MatchingBlockBrace(text, at);
    if (!match) continue;
    if (*match < 0) {
      SendScintilla(SCI_BRACEBADLIGHT, static_cast<unsigned long>(at));
    } else {
      SendScintilla(SCI_BRACEHIGHLIGHT, static_cast<unsigned long>(at), static_cast<long>(*match));
    }
    return;
  }
  SendScintilla(SCI_BRACEHIGHLIGHT, static_cast<unsigned long>(-1), -1L);
}

long ScintillaEntityEdit::Length() const { return SendScintilla(SCI_GETLENGTH); }

CString ScintillaEntityEdit::GetText() const {
  const long length = Length();
  std::string bytes(static_cast<size_t>(length) + 1, '\0');
  SendScintilla(SCI_GETTEXT, static_cast<unsigned long>(length) + 1, static_cast<void*>(bytes.data()));
  bytes.resize(static_cast<size_t>(length));
  return CString(std::move(bytes));
}

void ScintillaEntityEdit::SetText(const CString& text) {
  // A new text is a new document: nothing to undo back into the old map.
  SendScintilla(SCI_SETUNDOCOLLECTION, 0UL);
  SendScintilla(SCI_CLEARALL);
  const bool utf8 = IsValidUtf8(text.View());
  if (utf8 != utf8_) {
    setUtf8(utf8);
    utf8_ = utf8;
  }
  SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(text.Size()), text.GetString());
  SendScintilla(SCI_SETUNDOCOLLECTION, 1UL);
  SendScintilla(SCI_EMPTYUNDOBUFFER);
  SendScintilla(SCI_SETSAVEPOINT);
  forcedModified_ = false;
  SendScintilla(SCI_GOTOPOS, 0UL);
}

std::string_view ScintillaEntityEdit::LiveText() {
  const auto* chars = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
  if (chars == nullptr) return {};
  return {chars, static_cast<size_t>(Length())};
}

void ScintillaEntityEdit::GetSel(int& start, int& end) const {
  start = static_cast<int>(SendScintilla(SCI_GETSELECTIONSTART));
  end = static_cast<int>(SendScintilla(SCI_GETSELECTIONEND));
}

void ScintillaEntityEdit::SetSel(int start, int end) {
  const long length = Length();
  if (start == -1) {
    // No selection: the caret stays where it is.
    SendScintilla(SCI_SETEMPTYSELECTION, static_cast<unsigned long>(SendScintilla(SCI_GETCURRENTPOS)));
    return;
  }
  const auto clamp = [length](int position) {
    return position < 0 || position > length ? static_cast<unsigned long>(length)
                                             : static_cast<unsigned long>(position);
  };
  // A caret in one step: setting the anchor first would select, for a moment,
  // the text up to the old caret, and X11 would take it as the primary
  // selection.
  if (clamp(start) == clamp(end)) {
    SendScintilla(SCI_SETEMPTYSELECTION, clamp(end));
    return;
  }
  // The anchor at `start` and the caret at `end`, without scrolling: the
  // caller scrolls when it wants to.
  SendScintilla(SCI_SETANCHOR, clamp(start));
  SendScintilla(SCI_SETCURRENTPOS, clamp(end));
}

void ScintillaEntityEdit::ReplaceTarget(long start, long end, std::string_view text) {
  SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(start), end);
  SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(text.size()), text.data());
}

void ScintillaEntityEdit::ReplaceRange(int start, int end, std::string_view text) {
  // One undo step, whatever Scintilla makes of a target replacement.
  SendScintilla(SCI_BEGINUNDOACTION);
  ReplaceTarget(start, end, text);
  SendScintilla(SCI_ENDUNDOACTION);
  SendScintilla(SCI_SETEMPTYSELECTION, static_cast<unsigned long>(start) + text.size());
}

void ScintillaEntityEdit::ReplaceSel(const CString& text) {
  const long start = SendScintilla(SCI_GETSELECTIONSTART);
  const long end = SendScintilla(SCI_GETSELECTIONEND);
  // What does not fit under the limit is cut off, at a character's start.
  const long room = static_cast<long>(limit_) - (Length() - (end - start));
  std::string_view inserted = text.View();
  if (room < static_cast<long>(inserted.size())) {
    size_t kept = room > 0 ? static_cast<size_t>(room) : 0;
    if (utf8_) {
      while (kept > 0 && kept < inserted.size() && IsContinuationByte(static_cast<unsigned char>(inserted[kept]))) {
        --kept;
      }
    }
    inserted = inserted.substr(0, kept);
  }
  ReplaceTarget(start, end, inserted);
  SendScintilla(SCI_SETEMPTYSELECTION, static_cast<unsigned long>(start) + inserted.size());
  ScrollCaret();
}

int ScintillaEntityEdit::GetFirstVisibleLine() const {
  return static_cast<int>(SendScintilla(SCI_GETFIRSTVISIBLELINE));
}

void ScintillaEntityEdit::SetFirstVisibleLine(int line) {
  SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(std::max(line, 0)));
}

void ScintillaEntityEdit::ScrollCaret() {
  // The caret comes into view, and with it as much of the selection as fits:
  // a block found above the view shows whole, not just its last line.
  SendScintilla(SCI_SCROLLRANGE, static_cast<unsigned long>(SendScintilla(SCI_GETANCHOR)),
                SendScintilla(SCI_GETCURRENTPOS));
}

bool ScintillaEntityEdit::GetModify() const { return forcedModified_ || SendScintilla(SCI_GETMODIFY) != 0; }

void ScintillaEntityEdit::SetModify(bool modified) {
  if (modified) {
    forcedModified_ = true;
    return;
  }
  SendScintilla(SCI_SETSAVEPOINT);
  forcedModified_ = false;
}

void ScintillaEntityEdit::keyPressEvent(QKeyEvent* event) {
  const bool plain = (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
  // Esc belongs to the window: it closes it from here too.
  if (event->key() == Qt::Key_Escape && plain) {
    event->ignore();
    return;
  }
  // Typing stops at the text limit.
  if (plain) {
    long typed = 0;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      typed = 2;
    } else if (!event->text().isEmpty() && event->text().at(0).isPrint()) {
      typed = utf8_ ? event->text().toUtf8().size() : event->text().toLatin1().size();
    }
    const long selected = SendScintilla(SCI_GETSELECTIONEND) - SendScintilla(SCI_GETSELECTIONSTART);
    if (typed > 0 && Length() - selected + typed > static_cast<long>(limit_)) {
      QApplication::beep();
      event->accept();
      return;
    }
  }
  QsciScintilla::keyPressEvent(event);
}

bool ScintillaEntityEdit::focusNextPrevChild(bool next) { return QWidget::focusNextPrevChild(next); }

}  // namespace lw::qt
