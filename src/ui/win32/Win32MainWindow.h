#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "entities/EntityOutline.h"
#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"
#include "ui/CEntityEditorDlg.h"
#include "ui/MainLayout.h"
#include "ui/MainWindowServices.h"
#include "ui/MainWindowView.h"
#include "ui/win32/Controls.h"
#include "ui/win32/Dialog.h"
#include "ui/win32/EntityEditControl.h"
#include "ui/win32/MessageBoxes.h"

namespace lw::win32 {

// The main window: the dialog built from IDD_MAIN, its controls as the view of
// the editor's logic (lw::CEntityEditorDlg), and its events routed to that
// logic through the message table.
class Win32MainWindow final : public Dialog, public MainWindowView {
 public:
  explicit Win32MainWindow(const MainWindowServices& services = {});
  ~Win32MainWindow() override;

  // The window made, shown and started, for a program that drives it with
  // its own message loop (a test): that loop hands every message to the
  // window's PreTranslateMessage before dispatching it, so that Esc, Enter
  // and F1 behave as in the program. Exit, Esc or the close box then destroy
  // the window at once (OnDestroy runs then). False when it cannot be made.
  bool Open(bool /*show*/) { return Create(); }
  // Runs the window modally, as the program does, until it is destroyed.
  int RunModal() { return DoModal() == -1 ? 1 : 0; }

  // The editor's state and handlers, for a test to look into.
  [[nodiscard]] lw::CEntityEditorDlg& Editor() { return editor_; }

  // MainWindowView.
  void SetFolderText(const CString& text) override { mapFolder_.SetText(text); }
  void ResetMapList() override { mapList_.ResetContent(); }
  void AddMap(const CString& name) override { mapList_.AddString(name); }
  [[nodiscard]] int MapListSelection() const override { return mapList_.GetCurSel(); }
  [[nodiscard]] CString MapListItem(int index) const override { return mapList_.GetText(index); }
  void SetMapFilterText(const CString& text) override;
  void SetMapListSelection(int index) override { mapList_.SetCurSel(index); }
  void SetStatusText(const CString& text) override { mapStatus_.SetText(text); }
  [[nodiscard]] bool HasFindFeedback() const override { return true; }
  void SetFindFeedback(const CString& text) override { findFeedback_.SetText(text); }
  [[nodiscard]] int SearchSelection() const override { return searchCombo_.GetCurSel(); }
  [[nodiscard]] CString SearchItem(int index) const override { return searchCombo_.GetLBText(index); }
  [[nodiscard]] CString SearchFieldText() const override { return searchCombo_.Text(); }
  void SelectSearchItem(int index) override { searchCombo_.SetCurSel(index); }
  void FocusSearch() override { ::SetFocus(searchCombo_.GetSafeHwnd()); }
  EntityEdit& Entities() override { return entityEdit_; }
  void SetDefaultButton(int controlId) override;
  void ShowWaitCursor(bool show) override;
  MessageSink& Messages() override { return messages_ != nullptr ? *messages_ : boxes_; }
  std::optional<CString> PickFolder(const CString& title) override;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange() override;
  // Exit, Esc and the close box: the window closes unless the user asked to
  // save the edits and the save failed.
  void OnOK() override;
  void OnCancel() override;
  bool RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // Ctrl+F, F3, Ctrl+S and F5.
  bool OnShortcutKey(WPARAM key) override;

 public:
  // The outline's rows as shown, for a test to look into.
  [[nodiscard]] const std::vector<OutlineRow>& OutlineRows() const { return outlineRows_; }
  [[nodiscard]] const std::vector<size_t>& OutlineShown() const { return outlineShown_; }
  [[nodiscard]] bool OutlineRefreshPending() const { return outlineRefreshPending_; }
  // The outline read again now, as its timer does once the text rests, and
  // the problems checked again unless `withProblems` is false.
  void RefreshOutline(bool withProblems = true);

 protected:
 private:
  void OnBrowse() { editor_.BrowseForMapFolder(); }
  void OnSave() { editor_.OnSave(); }
  void OnDelete() { editor_.OnDelete(); }
  void OnDeleteAll() { editor_.OnDeleteAll(); }
  void OnFind() { editor_.OnFind(); }
  void OnFindNext() { editor_.OnFindNext(); }
  void OnRefreshMapList() { editor_.OnRefreshMapList(); }
  // "*" before the caption while the text has unsaved changes.
  void UpdateCaption();
  // The outline: read again 50 ms after the text last changed; filtered,
  // counted; a row chosen selects its block; the caret marks its block's row.
  void ScheduleOutlineRefresh();
  void ApplyOutlineFilter();
  void MarkOutlineRow();
  LRESULT OnTimer(WPARAM timer, LPARAM);
  LRESULT OnNotify(WPARAM, LPARAM header);
  // The list and the text grow with the window; the outline moves with it.
  LRESULT OnSize(WPARAM kind, LPARAM size);
  LRESULT OnGetMinMaxInfo(WPARAM, LPARAM info);
  [[nodiscard]] PixelRect TemplatePixels(int x, int y, int width, int height) const;
  void ShowProblems();
  void OnMapFilterChanged();
  void OnProblemChosen();
  void OnSelchangeMapList() { editor_.OnSelchangeMapList(); }
  void OnDestroy() { editor_.OnDestroy(); }
  LRESULT OnSysCommand(WPARAM command, LPARAM parameter);
  LRESULT OnPaint(WPARAM, LPARAM);
  LRESULT OnQueryDragIcon(WPARAM, LPARAM);
  LRESULT OnSetCursor(WPARAM, LPARAM);

  Win32MessageBoxSink boxes_{*this};
  MessageSink* messages_ = nullptr;
  std::function<std::optional<CString>(const CString&)> pickFolder_;
  EntityEditControl entityEdit_;
  ComboBoxControl searchCombo_;
  StaticControl mapStatus_;
  StaticControl findFeedback_;
  StaticControl outlineCounts_;
  EditControl outlineFilter_;
  HWND outlineList_ = nullptr;
  ListBoxControl problems_;
  EditControl mapFilter_;
  bool settingMapFilter_ = false;
  StaticControl problemsLabel_;
  std::vector<size_t> problemOffsets_;
  std::vector<OutlineRow> outlineRows_;
  std::vector<size_t> outlineShown_;
  std::string outlineText_;  // the text the rows were read from
  std::string outlineCell_;  // the text of the cell the list asked for last
  bool outlineRefreshPending_ = false;
  bool markingOutline_ = false;
  int markedSelectionStart_ = -1;
  ListBoxControl mapList_;
  EditControl mapFolder_;
  HICON icon_ = nullptr;
  HFONT textFont_ = nullptr;
  bool waitCursorShown_ = false;
  HCURSOR cursorBeforeWait_ = nullptr;
  int routeDepth_ = 0;
  CString baseCaption_;
  PixelRect templateClient_;
  POINT minimumTrack_{};
  bool captionShowsModified_ = false;
  // Last: it is handed this window as its view.
  lw::CEntityEditorDlg editor_;
};

// The About box: the template and the dialog layer's defaults.
class Win32AboutBox : public Dialog {
 public:
  explicit Win32AboutBox(HWND owner);
};

}  // namespace lw::win32
