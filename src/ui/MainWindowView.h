#pragma once

#include <optional>

#include "entities/EntityEdit.h"
#include "platform/CString.h"
#include "platform/Messages.h"
#include "ui/Resource.h"

namespace lw {

// Control IDs that the logic names.
inline constexpr int kIdFind = IDC_FIND;

// What the main window's logic asks of a window. Each front end implements it
// over its own controls; the command line and the tests use an in-memory one.
class MainWindowView {
 public:
  virtual ~MainWindowView() = default;

  // Folder display.
  virtual void SetFolderText(const CString& text) = 0;

  // Map list: kept in MapNameLess order.
  virtual void ResetMapList() = 0;
  virtual void AddMap(const CString& name) = 0;
  [[nodiscard]] virtual int MapListSelection() const = 0;  // -1 for none
  [[nodiscard]] virtual CString MapListItem(int index) const = 0;
  // Selects an item (-1: none) without a selection-change notification.
  virtual void SetMapListSelection(int index) = 0;
  // The map list's filter field, set without a change notification.
  virtual void SetMapFilterText(const CString& text) = 0;

  // Status label.
  virtual void SetStatusText(const CString& text) = 0;
  // The line under the text that says what Find and Find Next found, when
  // the window has one: counting the blocks takes a pass over the text,
  // which a run of Find Next over every block should not pay each step.
  [[nodiscard]] virtual bool HasFindFeedback() const = 0;
  virtual void SetFindFeedback(const CString& text) = 0;

  // Search combo box.
  [[nodiscard]] virtual int SearchSelection() const = 0;  // -1 for none
  [[nodiscard]] virtual CString SearchItem(int index) const = 0;
  [[nodiscard]] virtual CString SearchFieldText() const = 0;
  // Selects a list item without a selection-change notification.
  virtual void SelectSearchItem(int index) = 0;
  virtual void FocusSearch() = 0;

  // The entity edit.
  virtual EntityEdit& Entities() = 0;

  // Window.
  virtual void SetDefaultButton(int controlId) = 0;
  // Shows or hides the hourglass; the logic keeps the nesting count.
  virtual void ShowWaitCursor(bool show) = 0;
  virtual MessageSink& Messages() = 0;
  // The folder picker: the chosen folder's path (without a trailing
  // separator), or nothing when the user cancels or the picker cannot open.
  virtual std::optional<CString> PickFolder(const CString& title) = 0;
};

// The map list's order, the Windows list box's for file names: symbols, then
// digits, then letters without regard to case; apostrophes and hyphens count
// only between names otherwise equal.
bool MapNameLess(const CString& a, const CString& b);

}  // namespace lw
