// Loading a 2 MiB map of 20,000 blocks into the Windows window with the
// outline shown, against the same load with the outline's refresh left out,
// in the same run. With the outline, the load counts until the list view
// shows the new rows (the refresh its timer runs once the text rests), then
// also the problems; each step followed by the repaint it causes.
//
// Windows only (run under Wine here); the program times itself.
#include <windows.h>

#include "WindowLoadBench.h"
#include "ui/MainWindowServices.h"
#include "ui/Resource.h"
#include "ui/win32/Win32MainWindow.h"

namespace {

// The program's loop until nothing waits, the outline's timer left for the
// caller, then the window painted.
void Settle(lw::win32::Win32MainWindow& window) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_TIMER) continue;
    if (window.PreTranslateMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  RedrawWindow(window.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

}  // namespace

int main() {
  lw::InitProcessState(0, nullptr);
  lw::bench::WindowSetting setting;
  const auto window = lw::CreateMainWindow<lw::win32::Win32MainWindow>(setting.Services());
  if (window == nullptr) return 1;
  Settle(*window);
  const HWND hwnd = window->GetSafeHwnd();
  const HWND list = GetDlgItem(hwnd, IDC_MAP_LIST);
  const auto choose = [&](const char* name) {
    const LRESULT index =
        SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDC_MAP_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  };

  std::vector<double> ms[lw::bench::kLoads];
  for (int i = 0; i < lw::bench::kRepetitions; ++i) {
    for (int load = 0; load < lw::bench::kLoads; ++load) {
      choose("small.bsp");
      Settle(*window);
      window->RefreshOutline();
      Settle(*window);
      ms[load].push_back(lw::bench::TimeMs([&] {
        choose("big.bsp");
        Settle(*window);
        if (load != lw::bench::kTextOnly) {
          window->RefreshOutline(load == lw::bench::kWithProblems);
          Settle(*window);
        }
      }));
    }
  }
  window->RefreshOutline();
  const size_t rows = window->OutlineRows().size();
  if (setting.messages.Failed() || rows < 20000) {
    std::fprintf(stderr, "the big map did not load into the outline (%zu rows)\n", rows);
    return 1;
  }
  return lw::bench::Report("Windows", ms, rows);
}
