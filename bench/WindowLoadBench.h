// What the two windows' load benchmarks share: a folder with a 2 MiB map of
// 20,000 blocks and a small one, a settings store that points the window at
// it, messages that no one has to answer, and the timing.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "mapwriter/MapWriter.h"
#include "platform/GameKeys.h"
#include "platform/Messages.h"
#include "platform/SettingsStore.h"
#include "settings/MapFolderSettings.h"
#include "ui/MainWindowServices.h"

namespace lw::bench {

inline constexpr int kRepetitions = 15;
// The outline may make a load at most this much slower.
inline constexpr double kAllowedRatio = 1.3;

// 20,000 blocks grown to 2 MiB with blocks of the same kinds.
inline std::string BigEntityText() {
  std::string made = mapwriter::MakeEntityText(20000, 5);
  for (std::uint32_t seed = 6; made.size() < (size_t{2} << 20U); ++seed) {
    const std::string more = mapwriter::MakeEntityText(500, seed);
    made += more.substr(more.find("}\n") + 2);  // without a second world
  }
  return made;
}

// A folder of two maps: "big.bsp" with the 2 MiB text and "small.bsp",
// which each repetition loads first so that the big one is loaded anew.
class MapFolder {
 public:
  MapFolder() : path_(std::filesystem::temp_directory_path() / "lumpwright-window-load-bench") {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    Write("big.bsp", mapwriter::WriteMap(mapwriter::MakeMapContents(BigEntityText(), 3)));
    Write("small.bsp", mapwriter::WriteMap(mapwriter::MakeMapContents(mapwriter::MakeEntityText(20, 4), 4)));
  }
  ~MapFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  MapFolder(const MapFolder&) = delete;
  MapFolder& operator=(const MapFolder&) = delete;

  // With the separator at the end, as the program stores its map folder.
  [[nodiscard]] std::string Path() const { return (path_ / "").string(); }

 private:
  void Write(const char* name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
  }

  std::filesystem::path path_;
};

// The program's settings with the map folder stored: no first-run warning.
class FolderSettings : public SettingsStore {
 public:
  explicit FolderSettings(const std::string& folder) { values_[{kSettingsKey, kInstallPathValue}] = folder; }
  bool OpenKey(const CString&) override { return true; }
  bool QueryValue(const CString& key, const CString& name, size_t maxBytes, std::string& bytes) override {
    const auto found = values_.find({key.Str(), name.Str()});
    if (found == values_.end() || found->second.size() > maxBytes) return false;
    bytes = found->second;
    return true;
  }
  bool SetStringValue(const CString& key, const CString& name, const CString& value) override {
    values_[{key.Str(), name.Str()}] = value.Str();
    return true;
  }

 private:
  std::map<std::pair<std::string, std::string>, std::string> values_;
};

// Any message fails the run: a load that asks or warns is not the load measured.
class NoMessages : public MessageSink {
 public:
  void ShowMessage(const CString& text) override { Fail(text); }
  bool AskYesNo(const CString& text) override { return Fail(text), false; }
  Answer AskYesNoCancel(const CString& text) override { return Fail(text), Answer::kNo; }
  [[nodiscard]] bool Failed() const { return failed_; }

 private:
  void Fail(const CString& text) {
    std::fprintf(stderr, "unexpected message: %s\n", text.GetString());
    failed_ = true;
  }
  bool failed_ = false;
};

// The folder of maps, the settings that name it and the messages no one
// answers, as one window's services.
struct WindowSetting {
  MapFolder folder;
  FolderSettings settings{folder.Path()};
  NoMessages messages;

  [[nodiscard]] MainWindowServices Services() {
    MainWindowServices services;
    services.settings = &settings;
    services.messages = &messages;
    services.commandLine = [] { return CString("lumpwright"); };  // no "-d"
    return services;
  }
};

template <typename Operation>
double TimeMs(Operation operation) {
  const auto start = std::chrono::steady_clock::now();
  operation();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The three loads measured: the text alone, with the outline's rows, and
// with the rows and the problems (the check) as the window refreshes them.
enum Load { kTextOnly, kWithOutline, kWithProblems, kLoads };

// Prints the figures; 0 when the outline stays within its share.
inline int Report(const char* window, const std::vector<double> (&ms)[kLoads], size_t rows) {
  const double text = Median(ms[kTextOnly]);
  const double outline = Median(ms[kWithOutline]);
  const double problems = Median(ms[kWithProblems]);
  std::printf("%s window, 2 MiB map of %zu blocks (medians of %d):\n", window, rows, kRepetitions);
  std::printf("  load without the outline:              %8.1f ms\n", text);
  std::printf("  load with the outline:                 %8.1f ms  %5.2f x (at most %.1f)\n", outline, outline / text,
              kAllowedRatio);
  std::printf("  load with the outline and the problems: %7.1f ms  %5.2f x\n", problems, problems / text);
  return outline / text <= kAllowedRatio ? 0 : 2;
}

}  // namespace lw::bench
