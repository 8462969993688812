#pragma once

namespace lw::win32 {

// The application: sets up the process, runs the main window modally, and
// has nothing more to do when it closes.
class CEntityEditorApp {
 public:
  // False: the program ends once the main window has closed.
  bool InitInstance();
};

}  // namespace lw::win32
