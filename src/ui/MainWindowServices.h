#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/CString.h"
#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"
#include "ui/CEntityEditorDlg.h"
#include "ui/MainWindowView.h"

namespace lw {

// What a main window works with, in every front end. The program takes the
// system's; a test or a benchmark may give its own.
struct MainWindowServices {
  SettingsStore* settings = nullptr;  // nullptr: the system's (the registry, the settings file)
  FileSystem* files = nullptr;        // nullptr: the system's files
  // The whole command line, read wherever "-d" is tested; empty: the process's.
  std::function<CString()> commandLine;
  // Where the entity dump goes at exit; empty: the program's own file.
  CString entityDumpPath;
  // Where messages and questions go; nullptr: message boxes over the window.
  MessageSink* messages = nullptr;
  // The folder picker; empty: the system's.
  std::function<std::optional<CString>(const CString& title)> pickFolder;

  [[nodiscard]] SettingsStore& Settings() const { return settings != nullptr ? *settings : SystemSettingsStore(); }
  [[nodiscard]] FileSystem& Files() const { return files != nullptr ? *files : SystemFileSystem(); }
  [[nodiscard]] CEntityEditorDlg::Options EditorOptions() const;
};

// What the process sets up before its window: the active code page (the
// system's) and the command line.
void InitProcessState(int argc, const char* const* argv);

// A main window of a front end, made from the services: `Window` is made
// from them and has `bool Open(bool show)` (the window made and its start-up
// run; false when it cannot be made) and `int RunModal()` (made, started, run
// until it closes; the program's exit code).
//
// CreateMainWindow gives a window for a program that drives it with its own
// loop (a test); null when it cannot be made.
template <typename Window>
std::unique_ptr<Window> CreateMainWindow(const MainWindowServices& services = {}, bool show = true) {
  auto window = std::make_unique<Window>(services);
  if (!window->Open(show)) return nullptr;
  return window;
}

// Runs a main window as the program does and returns once it has closed.
template <typename Window>
int RunMainWindow(const MainWindowServices& services = {}) {
  Window window(services);
  return window.RunModal();
}

}  // namespace lw
