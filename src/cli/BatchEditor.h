#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/TerminalMessages.h"
#include "platform/CString.h"
#include "platform/SettingsStore.h"
#include "ui/CEntityEditorDlg.h"
#include "ui/InMemoryMainWindowView.h"

namespace lw {

// One map of a batch: the folder the editor lists it in (ending with a
// separator; empty for the current folder) and its name in that list.
struct BatchMap {
  CString folder;
  CString name;

  [[nodiscard]] CString Path() const { return folder + name; }
};

// A batch never reads or stores the editor's settings: its folders come from
// the command line, and the user's stored folder stays as it was.
class NoSettingsStore : public SettingsStore {
 public:
  bool OpenKey(const CString& /*subkey*/) override { return false; }
  bool QueryValue(const CString& /*subkey*/, const CString& /*valueName*/, size_t /*maxBytes*/,
                  std::string& /*bytes*/) override {
    return false;
  }
  bool SetStringValue(const CString& /*subkey*/, const CString& /*valueName*/, const CString& /*value*/) override {
    return false;
  }
};

// The editor and its window without a screen, for one batch of maps. The
// commands act through the editor's own handlers on maps loaded the way a
// selection in the map list loads them, so they give the editor's results.
class BatchEditor {
 public:
  // `entityDump`: whether "-d" is in force; `dumpPath`: where the dump goes.
  BatchEditor(bool answerYes, bool entityDump, const CString& dumpPath = CString());

  // The maps the editor lists in `folder` (which ends with a separator), in
  // the map list's order.
  const std::vector<CString>& ListMaps(const CString& folder);
  // Chooses the map in the map list. False when it did not load; the reason
  // is among the pending messages, which need not name the map.
  bool Load(const BatchMap& map);

  CEntityEditorDlg& Editor() { return dlg_; }
  InMemoryMainWindowView& View() { return view_; }
  TerminalMessages& Messages() { return messages_; }

 private:
  TerminalMessages messages_;
  NoSettingsStore settings_;
  InMemoryMainWindowView view_;
  CEntityEditorDlg dlg_;
  bool listed_ = false;
  CString listedFolder_;
};

// A folder operand as the editor's map folder: with its trailing separator.
CString AsMapFolder(const std::string& operand);

// The maps the operands name, in order. A folder stands for every map the
// editor lists there but those whose names match a pattern of `excluded`
// (MatchesFilePattern);
// folders that list none are added to `emptyFolders`.
std::vector<BatchMap> ExpandMapOperands(BatchEditor& editor, const std::vector<std::string>& operands,
                                        std::vector<std::string>& emptyFolders,
                                        const std::vector<std::string>& excluded = {});

// A map operand as the folder and the name the editor would list it under.
BatchMap SplitMapPath(const std::string& operand);

// "[12/1000] de_dust.bsp" on standard error, redrawn in place, while a batch
// of more than one map runs on a terminal. Elsewhere it prints nothing.
class BatchProgress {
 public:
  BatchProgress(std::ostream& err, bool shown, size_t total);
  ~BatchProgress();
  BatchProgress(const BatchProgress&) = delete;
  BatchProgress& operator=(const BatchProgress&) = delete;

  void Show(size_t number, const CString& name);
  // Blanks the line, so that other output starts on a clean one.
  void Clear();

 private:
  std::ostream& err_;
  bool shown_;
  size_t total_;
  size_t width_ = 0;  // of the line now on the screen
};

}  // namespace lw
