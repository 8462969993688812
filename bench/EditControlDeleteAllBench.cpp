// Delete All in the window's own edit control against its floor: one
// WM_SETTEXT of the same text in the same control, measured in the same run.
// The edit control rebuilds its lines and repaints on every change, so the
// floor is what putting the text in costs; Delete All hands the control one
// replacement and should cost about as much.
//
// Windows only (run under Wine here); Google Benchmark is not built for MinGW,
// so the program times itself: median of the repetitions, each operation
// followed by the repaint it causes.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "entities/EntityEdit.h"
#include "entities/EntityText.h"
#include "entities/InMemoryEntityEdit.h"
#include "mapwriter/MapWriter.h"
#include "ui/Resource.h"
#include "ui/win32/EntityEditControl.h"

namespace {

constexpr std::string_view kNeedle = "info_player_deathmatch";
constexpr size_t kTextBytes = 500 * 1000;
constexpr int kMatchingBlocks = 2000;
constexpr int kRepetitions = 5;
constexpr double kAllowedRatio = 2.5;

// 2,000 spawn points spread evenly among the blocks of a made map, 500 KB in
// all: every block between the first and the last spawn point changes place.
std::string MakeDisplayText() {
  const std::string spawn =
      "{\r\n\"classname\" \"info_player_deathmatch\"\r\n\"angles\" \"0 270 0\"\r\n\"origin\" \"-1024 512 36\"\r\n}\r\n";
  std::string others = lw::ToDisplayText(lw::mapwriter::MakeEntityText(6000, 5).c_str()).Str();
  for (size_t at = 0; (at = others.find(kNeedle, at)) != std::string::npos;) {
    others.replace(at, kNeedle.size(), "info_player_start");
  }
  std::string text;
  text.reserve(kTextBytes + 1024);
  size_t from = 0;
  for (int i = 0; i < kMatchingBlocks; ++i) {
    // Whole blocks of the others until this spawn point's share is filled.
    const size_t share = kTextBytes / kMatchingBlocks * static_cast<size_t>(i + 1);
    while (text.size() < share) {
      const size_t next = others.find("}\r\n", from) + 3;
      text.append(others, from, next - from);
      from = next;
    }
    text += spawn;
  }
  return text;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG ? TRUE : FALSE; }

// Lets the control repaint what the operation changed, and handles whatever
// else the operation left in the queue.
void Settle(HWND window) {
  UpdateWindow(window);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

template <typename Operation>
double TimeMs(HWND window, Operation operation) {
  const auto start = std::chrono::steady_clock::now();
  operation();
  Settle(window);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const bool stepByStep = argc > 1 && std::strcmp(argv[1], "--step-by-step") == 0;
  const std::string text = MakeDisplayText();
  const lw::CString original(text);

  // What the edit must hold afterwards: the in-memory edit's result.
  lw::InMemoryEntityEdit expected;
  expected.SetText(original);
  int expectedPosition = 0;
  const int expectedCount = expected.DeleteAllBlocks(kNeedle, expectedPosition);

  // The main window's template, with its own edit control, font and size.
  const HWND dialog =
      CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, &PlainDialogProc, 0);
  if (dialog == nullptr) {
    std::fprintf(stderr, "the main window's template could not be made into a window\n");
    return 1;
  }
  lw::win32::EntityEditControl edit;
  edit.Attach(GetDlgItem(dialog, IDC_ENTITY_TEXT));
  edit.SetLimitText(2 * static_cast<unsigned>(text.size()));
  Settle(dialog);

  std::printf("entity text: %zu bytes, %d blocks containing \"%.*s\"\n", text.size(), expectedCount,
              static_cast<int>(kNeedle.size()), kNeedle.data());
  std::vector<double> setTextMs;
  std::vector<double> deleteAllMs;
  for (int i = 0; i < kRepetitions; ++i) {
    edit.SetText("");
    Settle(dialog);
    setTextMs.push_back(TimeMs(dialog, [&] { edit.SetText(original); }));

    int position = 0;
    int count = 0;
    deleteAllMs.push_back(TimeMs(dialog, [&] {
      count = edit.DeleteAllBlocks(kNeedle, position);
      edit.ReleaseLiveText();
    }));
    int start = 0;
    int end = 0;
    edit.GetSel(start, end);
    int expectedStart = 0;
    int expectedEnd = 0;
    expected.GetSel(expectedStart, expectedEnd);
    if (count != expectedCount || position != expectedPosition || edit.GetText() != expected.GetText() ||
        start != expectedStart || end != expectedEnd) {
      std::fprintf(stderr, "Delete All left another result than the block-at-a-time rule\n");
      return 1;
    }
    // One Undo brings every removed block back.
    SendMessageA(edit.GetSafeHwnd(), EM_UNDO, 0, 0);
    if (edit.GetText() != original) {
      std::fprintf(stderr, "Undo did not bring back the text as it was\n");
      return 1;
    }
  }
  const double setText = Median(setTextMs);
  const double deleteAll = Median(deleteAllMs);
  std::printf("WM_SETTEXT of the text:           %8.1f ms (median of %d)\n", setText, kRepetitions);
  std::printf("Delete All, one replacement:      %8.1f ms (median of %d)\n", deleteAll, kRepetitions);
  std::printf("ratio:                            %8.2f (at most %.1f)\n", deleteAll / setText, kAllowedRatio);

  if (stepByStep) {
    // The rule as written, one replace-selection per block: the cost that
    // the single replacement avoids. Once; it takes long.
    edit.SetText(original);
    Settle(dialog);
    int position = 0;
    const double steps = TimeMs(dialog, [&] {
      lw::DeleteBlocksOneAtATime(edit, kNeedle, position);
      edit.ReleaseLiveText();
    });
    std::printf("Delete All, block at a time:      %8.1f ms (once)\n", steps);
  }

  // Find near the end of the text: one find step over the live text.
  edit.SetText(original);
  Settle(dialog);
  int position = static_cast<int>(text.size() * 9 / 10);
  const double find = TimeMs(dialog, [&] {
    lw::SelectNextBlock(edit, kNeedle, position, true);
    edit.ReleaseLiveText();
  });
  std::printf("Find from 90 %% of the text:       %8.1f ms\n", find);

  DestroyWindow(dialog);
  return deleteAll / setText <= kAllowedRatio ? 0 : 2;
}
