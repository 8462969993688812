#include <signal.h>

#include <array>
#include <csignal>

#include "platform/SaveInterruptions.h"

namespace lw {
namespace {

// The signals that ask the program to end and that a save holds back.
constexpr std::array<int, 4> kEndingSignals = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t gHeldSignal = 0;
std::array<struct sigaction, kEndingSignals.size()> gSavedActions{};
struct sigaction gSavedFileSizeAction {};

extern "C" void HoldSignal(int signal) {
  if (gHeldSignal == 0) gHeldSignal = signal;
}

}  // namespace

SaveInterruptions::SaveInterruptions() {
  gHeldSignal = 0;
  struct sigaction hold {};
  hold.sa_handler = HoldSignal;
  sigemptyset(&hold.sa_mask);
  hold.sa_flags = SA_RESTART;
  for (size_t i = 0; i < kEndingSignals.size(); ++i) {
    sigaction(kEndingSignals[i], nullptr, &gSavedActions[i]);
    // A signal the program was started to ignore (nohup, a background job)
    // stays ignored.
    if (gSavedActions[i].sa_handler != SIG_IGN) sigaction(kEndingSignals[i], &hold, nullptr);
  }
  // Past a file size limit (ulimit -f) a write then fails with EFBIG.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, &gSavedFileSizeAction);
}

SaveInterruptions::~SaveInterruptions() {
  for (size_t i = 0; i < kEndingSignals.size(); ++i) sigaction(kEndingSignals[i], &gSavedActions[i], nullptr);
  sigaction(SIGXFSZ, &gSavedFileSizeAction, nullptr);
  const int held = gHeldSignal;
  gHeldSignal = 0;
  // Delivered with the program's own disposition again: by default that
  // ends the program, as the user asked.
  if (held != 0) raise(held);
}

bool SaveInterruptions::Requested() const { return gHeldSignal != 0; }

}  // namespace lw
