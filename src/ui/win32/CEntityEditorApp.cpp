#include "ui/win32/CEntityEditorApp.h"

#include <windows.h>

#include "platform/CodePage.h"
#include "platform/CommandLine.h"

namespace lw::win32 {

void InitProcessState() {
  CodePage::SetActive(GetACP());
  SetCommandLineString(CString(GetCommandLineA()));
}

std::unique_ptr<CEntityEditorDlg> CreateMainWindow(const MainWindowServices& services) {
  auto window = std::make_unique<CEntityEditorDlg>(services);
  if (!window->Create()) return nullptr;
  return window;
}

void RunMainWindow(const MainWindowServices& services) {
  CEntityEditorDlg window(services);
  window.DoModal();
}

bool CEntityEditorApp::InitInstance() {
  InitProcessState();
  RunMainWindow();
  return false;
}

}  // namespace lw::win32
