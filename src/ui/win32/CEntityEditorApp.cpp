#include "ui/win32/CEntityEditorApp.h"

#include "ui/MainWindowServices.h"
#include "ui/win32/Win32MainWindow.h"

namespace lw::win32 {

bool CEntityEditorApp::InitInstance() {
  // The system's own command line is read: Windows keeps it whole.
  InitProcessState(0, nullptr);
  RunMainWindow<Win32MainWindow>();
  return false;
}

}  // namespace lw::win32
