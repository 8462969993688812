#include "ui/win32/Win32MainWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "ui/MainLayout.h"
#include "ui/Resource.h"
#include "ui/win32/FolderPicker.h"

namespace lw::win32 {
namespace {

// The outline's timers: the text read again after typing pauses, and the
// caret looked at (an edit control tells nothing of its caret moving).
constexpr UINT_PTR kOutlineRefreshTimer = 1;
constexpr UINT kOutlineRefreshDelayMs = 50;
constexpr UINT_PTR kCaretTimer = 2;
constexpr UINT kCaretCheckMs = 150;

enum OutlineColumn { kBlockColumn, kClassColumn, kTargetnameColumn, kOriginColumn };

}  // namespace

Win32MainWindow::Win32MainWindow(const MainWindowServices& services)
    : Dialog(IDD_MAIN, nullptr),
      messages_(services.messages),
      pickFolder_(services.pickFolder),
      icon_(LoadIconA(ResourceInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      editor_(*this, services.Settings(), services.Files(), services.EditorOptions()) {
  // The outline's list view is a common control.
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
}

Win32MainWindow::~Win32MainWindow() {
  entityEdit_.ReleaseLiveText();
  if (textFont_ != nullptr) DeleteObject(textFont_);
}

bool Win32MainWindow::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  static const MessageEntry<Win32MainWindow> kMessageMap[] = {
      CommandRow(BN_CLICKED, IDC_BROWSE, &Win32MainWindow::OnBrowse),
      CommandRow(BN_CLICKED, IDC_SAVE, &Win32MainWindow::OnSave),
      CommandRow(BN_CLICKED, IDC_DELETE, &Win32MainWindow::OnDelete),
      CommandRow(BN_CLICKED, IDC_DELETE_ALL, &Win32MainWindow::OnDeleteAll),
      CommandRow(BN_CLICKED, IDC_FIND, &Win32MainWindow::OnFind),
      CommandRow(BN_CLICKED, IDC_FIND_NEXT, &Win32MainWindow::OnFindNext),
      CommandRow(BN_CLICKED, IDC_REFRESH_MAPS, &Win32MainWindow::OnRefreshMapList),
      MessageRow(WM_DESTROY, &Win32MainWindow::OnDestroy),
      CommandRow(LBN_SELCHANGE, IDC_MAP_LIST, &Win32MainWindow::OnSelchangeMapList),
      CommandRow(CBN_SELCHANGE, IDC_ENTITY_COMBO, &Win32MainWindow::OnFind),
      MessageRow(WM_SYSCOMMAND, &Win32MainWindow::OnSysCommand),
      MessageRow(WM_PAINT, &Win32MainWindow::OnPaint),
      MessageRow(WM_QUERYDRAGICON, &Win32MainWindow::OnQueryDragIcon),
      MessageRow(WM_SETCURSOR, &Win32MainWindow::OnSetCursor),
      MessageRow(WM_TIMER, &Win32MainWindow::OnTimer),
      MessageRow(WM_NOTIFY, &Win32MainWindow::OnNotify),
      MessageRow(WM_SIZE, &Win32MainWindow::OnSize),
      MessageRow(WM_GETMINMAXINFO, &Win32MainWindow::OnGetMinMaxInfo),
      CommandRow(EN_CHANGE, IDC_ENTITY_TEXT, &Win32MainWindow::ScheduleOutlineRefresh),
      CommandRow(EN_CHANGE, IDC_OUTLINE_FILTER, &Win32MainWindow::ApplyOutlineFilter),
      CommandRow(LBN_SELCHANGE, IDC_PROBLEMS, &Win32MainWindow::OnProblemChosen),
      CommandRow(EN_CHANGE, IDC_MAP_FILTER, &Win32MainWindow::OnMapFilterChanged),
  };
  ++routeDepth_;
  const bool handled =
      Route(kMessageMap, message, wParam, lParam, result) || Dialog::RouteMessage(message, wParam, lParam, result);
  // A command may have replaced the text without a change notification (a
  // map loaded, Delete All): the outline reads it again.
  if (message == WM_COMMAND && routeDepth_ == 1) {
    const int id = LOWORD(wParam);
    if (id != IDC_OUTLINE_FILTER && id != IDC_ENTITY_TEXT && id != IDC_PROBLEMS) ScheduleOutlineRefresh();
  }
  // A command reads the edit's buffer in place; when the outermost message is
  // handled, the control has its buffer back.
  if (--routeDepth_ == 0) {
    entityEdit_.ReleaseLiveText();
    UpdateCaption();
  }
  return handled;
}

bool Win32MainWindow::OnShortcutKey(WPARAM key) {
  if (GetKeyState(VK_MENU) < 0) return false;
  const bool control = GetKeyState(VK_CONTROL) < 0;
  const HWND hwnd = GetSafeHwnd();
  // As a click of the button, so that the command goes the way every other does.
  const auto press = [hwnd](int id) {
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, id)));
    return true;
  };
  if (control && key == 'S') return press(IDC_SAVE);
  if (control && key == 'F') {
    // As Tab into it: the field's text selected, ready to be typed over.
    SendMessageA(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(searchCombo_.GetSafeHwnd()), TRUE);
    return true;
  }
  if (!control && key == VK_F3) return press(IDC_FIND_NEXT);
  if (!control && key == VK_F5) return press(IDC_REFRESH_MAPS);
  return false;
}

void Win32MainWindow::UpdateCaption() {
  if (entityEdit_.GetSafeHwnd() == nullptr) return;
  const bool modified = entityEdit_.GetModify();
  if (modified == captionShowsModified_) return;
  captionShowsModified_ = modified;
  SetWindowTextA(GetSafeHwnd(), ((modified ? "*" : "") + baseCaption_).GetString());
}

void Win32MainWindow::ScheduleOutlineRefresh() {
  if (GetSafeHwnd() == nullptr) return;
  outlineRefreshPending_ = true;
  SetTimer(GetSafeHwnd(), kOutlineRefreshTimer, kOutlineRefreshDelayMs, nullptr);
}

void Win32MainWindow::RefreshOutline(bool withProblems) {
  KillTimer(GetSafeHwnd(), kOutlineRefreshTimer);
  outlineRefreshPending_ = false;
  outlineText_.assign(entityEdit_.LiveText());
  entityEdit_.ReleaseLiveText();
  outlineRows_ = BuildOutline(outlineText_);
  ApplyOutlineFilter();
  if (withProblems) ShowProblems();
}

void Win32MainWindow::OnMapFilterChanged() {
  if (!settingMapFilter_) editor_.OnMapFilterChanged(mapFilter_.Text());
}

void Win32MainWindow::SetMapFilterText(const CString& text) {
  settingMapFilter_ = true;
  mapFilter_.SetText(text);
  settingMapFilter_ = false;
}

void Win32MainWindow::ShowProblems() {
  problems_.ResetContent();
  problemOffsets_.clear();
  const std::vector<CheckFinding> findings = editor_.CheckText(outlineText_);
  for (size_t i = 0; i < findings.size() && i < kListedProblems; ++i) {
    problems_.AddString(CString(DescribeProblem(findings[i])));
    problemOffsets_.push_back(findings[i].offset);
  }
  problemsLabel_.SetText(CString(ProblemsHeading(findings.size())));
}

void Win32MainWindow::OnProblemChosen() {
  const int chosen = problems_.GetCurSel();
  if (chosen < 0 || static_cast<size_t>(chosen) >= problemOffsets_.size()) return;
  editor_.OnProblemChosen(problemOffsets_[static_cast<size_t>(chosen)]);
}

void Win32MainWindow::ApplyOutlineFilter() {
  outlineShown_ = FilterOutline(outlineText_, outlineRows_, outlineFilter_.Text().View());
  markingOutline_ = true;
  SendMessageA(outlineList_, LVM_SETITEMCOUNT, outlineShown_.size(), LVSICF_NOSCROLL);
  InvalidateRect(outlineList_, nullptr, FALSE);
  markingOutline_ = false;
  outlineCounts_.SetText(CString(DescribeClassCounts(CountOutlineClasses(outlineRows_, outlineShown_))));
  markedSelectionStart_ = -1;
  MarkOutlineRow();
}

void Win32MainWindow::MarkOutlineRow() {
  if (outlineRefreshPending_ || entityEdit_.GetSafeHwnd() == nullptr) return;
  int start = 0;
  int end = 0;
  entityEdit_.GetSel(start, end);
  if (start == markedSelectionStart_) return;
  markedSelectionStart_ = start;
  // A selection marks the block it starts in (a block Find selected ends at
  // the next block's '{').
  const size_t row = OutlineRowAt(outlineRows_, static_cast<size_t>(start));
  const auto at = std::lower_bound(outlineShown_.begin(), outlineShown_.end(), row);
  markingOutline_ = true;
  LVITEMA state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(outlineList_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  if (at != outlineShown_.end() && *at == row) {
    const auto index = static_cast<WPARAM>(at - outlineShown_.begin());
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(outlineList_, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
    SendMessageA(outlineList_, LVM_ENSUREVISIBLE, index, FALSE);
  }
  markingOutline_ = false;
}

LRESULT Win32MainWindow::OnTimer(WPARAM timer, LPARAM) {
  if (timer == kOutlineRefreshTimer) RefreshOutline();
  if (timer == kCaretTimer) MarkOutlineRow();
  return 0;
}

LRESULT Win32MainWindow::OnNotify(WPARAM, LPARAM header) {
  const auto* notice = reinterpret_cast<const NMHDR*>(header);
  if (notice->idFrom != IDC_OUTLINE) {
    Default();
    return 0;
  }
  if (notice->code == LVN_GETDISPINFOA) {
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    if ((info->item.mask & LVIF_TEXT) == 0 || info->item.iItem < 0 ||
        static_cast<size_t>(info->item.iItem) >= outlineShown_.size()) {
      return 0;
    }
    const OutlineRow& row = outlineRows_[outlineShown_[static_cast<size_t>(info->item.iItem)]];
    switch (info->item.iSubItem) {
      case kBlockColumn: outlineCell_ = std::to_string(row.block); break;
      case kClassColumn: outlineCell_ = row.className; break;
      case kTargetnameColumn: outlineCell_ = row.targetname; break;
      default: outlineCell_ = row.origin; break;
    }
    info->item.pszText = outlineCell_.data();
    return 0;
  }
  if (notice->code == LVN_ITEMCHANGED && !markingOutline_) {
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
    if ((change->uNewState & LVIS_SELECTED) == 0 || (change->uOldState & LVIS_SELECTED) != 0 || change->iItem < 0 ||
        static_cast<size_t>(change->iItem) >= outlineShown_.size()) {
      return 0;
    }
    // Rows read before the last edit could point beside their block: the
    // text is read again and the same block number chosen.
    size_t block = outlineShown_[static_cast<size_t>(change->iItem)];
    if (outlineRefreshPending_) RefreshOutline();
    if (block >= outlineRows_.size()) return 0;
    const OutlineRow& row = outlineRows_[block];
    editor_.OnOutlineChosen(static_cast<int>(row.open), static_cast<int>(row.close));
    markedSelectionStart_ = static_cast<int>(row.open);
    return 0;
  }
  Default();
  return 0;
}

PixelRect Win32MainWindow::TemplatePixels(int x, int y, int width, int height) const {
  // The position and the size mapped each on its own, as the dialog manager
  // maps a template's controls (their ends may round the other way).
  RECT rect{x, y, width, height};
  MapDialogRect(GetSafeHwnd(), &rect);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

LRESULT Win32MainWindow::OnSize(WPARAM kind, LPARAM size) {
  Default();
  if (kind == SIZE_MINIMIZED || templateClient_.width == 0) return 0;
  const int textGrowth = std::max(0, static_cast<int>(LOWORD(size)) - templateClient_.width);
  const int heightGrowth = static_cast<int>(HIWORD(size)) - templateClient_.height;
  const HWND hwnd = GetSafeHwnd();
  HDWP moves = BeginDeferWindowPos(static_cast<int>(kMainGrowingControls.size()));
  for (const PlacedControl& control : kMainGrowingControls) {
    const ControlPlace& place = control.place;
    const PixelRect rect =
        Grown(TemplatePixels(place.x, place.y, place.width, place.height), place.grow, textGrowth, 0, heightGrowth);
    if (moves != nullptr) {
      moves = DeferWindowPos(moves, GetDlgItem(hwnd, control.id), nullptr, rect.x, rect.y, rect.width,
                             std::max(0, rect.height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  if (moves != nullptr) EndDeferWindowPos(moves);
  // The group boxes and the labels between the moved controls are drawn anew.
  InvalidateRect(hwnd, nullptr, TRUE);
  return 0;
}

LRESULT Win32MainWindow::OnGetMinMaxInfo(WPARAM, LPARAM info) {
  Default();
  if (minimumTrack_.x == 0) return 0;
  reinterpret_cast<MINMAXINFO*>(info)->ptMinTrackSize = minimumTrack_;
  return 0;
}

void Win32MainWindow::DoDataExchange() {
  BindControl(IDC_ENTITY_TEXT, entityEdit_);
  entityEdit_.KeepCaretOnFocus();
  BindControl(IDC_ENTITY_COMBO, searchCombo_);
  BindControl(IDC_MAP_STATUS, mapStatus_);
  BindControl(IDC_FIND_FEEDBACK, findFeedback_);
  BindControl(IDC_OUTLINE_COUNTS, outlineCounts_);
  BindControl(IDC_OUTLINE_FILTER, outlineFilter_);
  outlineList_ = GetDlgItem(GetSafeHwnd(), IDC_OUTLINE);
  BindControl(IDC_PROBLEMS, problems_);
  BindControl(IDC_MAP_FILTER, mapFilter_);
  BindControl(IDC_PROBLEMS_LABEL, problemsLabel_);
  BindControl(IDC_MAP_LIST, mapList_);
  BindControl(IDC_MAP_FOLDER, mapFolder_);
}

BOOL Win32MainWindow::OnInitDialog() {
  Dialog::OnInitDialog();

  const HWND hwnd = GetSafeHwnd();
  if (const HMENU systemMenu = GetSystemMenu(hwnd, FALSE)) {
    constexpr int kAboutTextSize = 256;
    char aboutText[kAboutTextSize] = {};
    if (LoadStringA(ResourceInstance(), IDS_ABOUTBOX, aboutText, kAboutTextSize) > 0) {
      AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
      AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText);
    }
  }
  SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  // Keys and values line up in a fixed-width font, the dialog's own size.
  const LOGFONTA dialogFont = [hwnd] {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
  }();
  textFont_ = CreateFontA(dialogFont.lfHeight != 0 ? dialogFont.lfHeight : -13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          FIXED_PITCH | FF_MODERN, "Courier New");
  if (textFont_ != nullptr) {
    SendMessageA(entityEdit_.GetSafeHwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(textFont_), TRUE);
  }
  // The outline's columns, and the caret looked at now and then.
  SendMessageA(outlineList_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  const struct {
    const char* title;
    int width;
  } columns[] = {{"#", 36}, {"classname", 130}, {"targetname", 80}, {"origin", 90}};
  for (int i = 0; i < static_cast<int>(std::size(columns)); ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(columns[i].title);
    column.cx = columns[i].width;
    column.iSubItem = i;
    SendMessageA(outlineList_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
  SetTimer(hwnd, kCaretTimer, kCaretCheckMs, nullptr);
  // The template's size is where the controls' growth counts from; the
  // window may be made lower by the shrinkable height, never narrower.
  templateClient_ = TemplatePixels(0, 0, LW_MAIN_WIDTH, LW_MAIN_HEIGHT);
  RECT smallest{0, 0, templateClient_.width,
                TemplatePixels(0, 0, LW_MAIN_WIDTH, LW_MAIN_HEIGHT - LW_MAIN_SHRINKABLE_HEIGHT).height};
  AdjustWindowRectEx(&smallest, static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE)));
  minimumTrack_ = {smallest.right - smallest.left, smallest.bottom - smallest.top};
  char caption[256] = {};
  GetWindowTextA(hwnd, caption, static_cast<int>(sizeof caption));
  baseCaption_ = caption;

  return editor_.OnInitDialog() ? TRUE : FALSE;
}

void Win32MainWindow::OnOK() {
  if (editor_.OnCloseRequest()) Dialog::OnOK();
}

void Win32MainWindow::OnCancel() {
  if (editor_.OnCloseRequest()) Dialog::OnCancel();
}

void Win32MainWindow::SetDefaultButton(int controlId) {
  SendMessageA(GetSafeHwnd(), DM_SETDEFID, static_cast<WPARAM>(controlId), 0);
}

void Win32MainWindow::ShowWaitCursor(bool show) {
  waitCursorShown_ = show;
  if (show) {
    cursorBeforeWait_ = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  } else {
    SetCursor(cursorBeforeWait_);
  }
}

LRESULT Win32MainWindow::OnSetCursor(WPARAM, LPARAM) {
  // The hourglass stays while the window works, wherever the mouse goes.
  if (waitCursorShown_) {
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    return TRUE;
  }
  Default();
  return 0;
}

std::optional<CString> Win32MainWindow::PickFolder(const CString& title) {
  if (pickFolder_) return pickFolder_(title);
  return lw::win32::PickFolder(GetSafeHwnd(), title, editor_.GetMapFolder());
}

LRESULT Win32MainWindow::OnSysCommand(WPARAM command, LPARAM) {
  if ((command & 0xFFF0) == IDM_ABOUTBOX) {
    Win32AboutBox about(GetSafeHwnd());
    about.DoModal();
    return 0;
  }
  Default();
  return 0;
}

LRESULT Win32MainWindow::OnPaint(WPARAM, LPARAM) {
  const HWND hwnd = GetSafeHwnd();
  if (!IsIconic(hwnd)) {
    Default();
    return 0;
  }
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(hwnd, &paint);
  SendMessageA(hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int iconWidth = GetSystemMetrics(SM_CXICON);
  const int iconHeight = GetSystemMetrics(SM_CYICON);
  RECT client{};
  GetClientRect(hwnd, &client);
  // Signed division, truncating toward zero: a client area narrower than the
  // icon puts it at a negative position.
  const int x = (static_cast<int>(client.right - client.left) - iconWidth + 1) / 2;
  const int y = (static_cast<int>(client.bottom - client.top) - iconHeight + 1) / 2;
  DrawIcon(dc, x, y, icon_);
  EndPaint(hwnd, &paint);
  return 0;
}

LRESULT Win32MainWindow::OnQueryDragIcon(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(icon_); }

Win32AboutBox::Win32AboutBox(HWND owner) : Dialog(IDD_ABOUTBOX, owner) {}

}  // namespace lw::win32
