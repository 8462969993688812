#pragma once

#include <memory>

#include "ui/win32/CEntityEditorDlg.h"

namespace lw::win32 {

// What the process sets up before its window: the active code page (from
// the system's ANSI code page) and the command line.
void InitProcessState();

// Creates the main window without running it, for a program that drives it
// with its own message loop (a test): that loop hands every message to the
// window's PreTranslateMessage before dispatching it, so that Esc, Enter and
// F1 behave as in the program. Exit, Esc or the close box then destroy the
// window at once (OnDestroy runs then). Null when the window cannot be made.
std::unique_ptr<CEntityEditorDlg> CreateMainWindow(const MainWindowServices& services = {});

// Runs the main window modally, as the program does, and returns once it has
// been destroyed.
void RunMainWindow(const MainWindowServices& services = {});

// The application: sets up the process, runs the main window modally, and
// has nothing more to do when it closes.
class CEntityEditorApp {
 public:
  // False: the program ends once the main window has closed.
  bool InitInstance();
};

}  // namespace lw::win32
