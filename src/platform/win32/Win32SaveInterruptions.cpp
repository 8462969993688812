#include <windows.h>

#include <atomic>

#include "platform/SaveInterruptions.h"

namespace lw {
namespace {

// The exit status of a console program ended by Ctrl+C, as the system's own
// handler sets it.
constexpr UINT kControlCExitStatus = 0xC000013AU;

std::atomic<DWORD> gHeldEvent{0};
std::atomic<bool> gHeld{false};
// Signalled when the save is over, so that a console being closed waits for it.
HANDLE gSaveOver = nullptr;

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI HoldControlEvent(DWORD event) {
  DWORD none = 0;
  gHeldEvent.compare_exchange_strong(none, event + 1);
  gHeld = true;
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  // Closing the console, logging off or shutting down ends the process as
  // soon as this returns: wait until the file is whole or put back (the
  // system allows a few seconds), then let the default handler end it.
  if (gSaveOver != nullptr) WaitForSingleObject(gSaveOver, INFINITE);
  return FALSE;
}

}  // namespace

SaveInterruptions::SaveInterruptions() {
  gHeldEvent = 0;
  gHeld = false;
  gSaveOver = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(HoldControlEvent, TRUE);
}

SaveInterruptions::~SaveInterruptions() {
  if (gSaveOver != nullptr) SetEvent(gSaveOver);
  SetConsoleCtrlHandler(HoldControlEvent, FALSE);
  const DWORD held = gHeldEvent.exchange(0);
  gHeld = false;
  if (gSaveOver != nullptr) {
    CloseHandle(gSaveOver);
    gSaveOver = nullptr;
  }
  // Ctrl+C and Ctrl+Break end the program as they would have without the
  // save in the way.
  if (held == CTRL_C_EVENT + 1 || held == CTRL_BREAK_EVENT + 1) ExitProcess(kControlCExitStatus);
}

bool SaveInterruptions::Requested() const { return gHeld; }

}  // namespace lw
