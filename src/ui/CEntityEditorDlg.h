#pragma once

#include <functional>
#include <memory>

#include "bsp/CBspFile.h"
#include "platform/CString.h"
#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"
#include "ui/MainWindowView.h"

namespace lw {

// The main window's state and behaviour, written against MainWindowView so
// that every front end shares it.
class CEntityEditorDlg {
 public:
  struct Options {
    // The whole command line, read afresh wherever "-d" is tested.
    std::function<CString()> commandLine;
    // Where the entity dump goes at exit.
    CString entityDumpPath;
  };

  CEntityEditorDlg(MainWindowView& view, SettingsStore& settings, FileSystem& files = SystemFileSystem());
  CEntityEditorDlg(MainWindowView& view, SettingsStore& settings, FileSystem& files, Options options);

  // Window life.
  bool OnInitDialog();
  // Exit, Esc or the close box asks the window to close: unsaved changes are
  // offered for saving first. False when that save failed; the window then
  // stays open with the edits.
  bool OnCloseRequest();
  void OnDestroy();

  // Maps.
  void OnSelchangeMapList();
  // True when the edits are settled (saved, discarded by a No, or none);
  // false when the user asked to save them and the save failed.
  bool AskSaveChanges();
  void OnSave();

  // Entity search and deletion.
  void OnFind();
  void OnFindNext();
  void OnDelete();
  void OnDeleteAll();

  // Map folder.
  bool ReadRegistryString(const CString& subkey, const CString& valueName, char (&buffer)[260]);
  void ResolveMapFolder();
  int FillMapList(const CString& pattern);
  void BrowseForMapFolder();
  void StoreMapFolder();

  // Writes the entity dump and says where; a failure is reported, not hidden.
  // True when the whole dump reached the file.
  bool WriteEntityDump();
  [[nodiscard]] bool IsEntityDumpOn() const;

  // The hourglass, nested by a count.
  void BeginWaitCursor();
  void EndWaitCursor();

  [[nodiscard]] const CString& GetMapFolder() const { return MapFolder; }
  void SetMapFolder(const CString& folder) { MapFolder = folder; }
  [[nodiscard]] const CString& GetMapName() const { return MapName; }
  [[nodiscard]] const CString& GetMapPath() const { return MapPath; }
  [[nodiscard]] const CString& GetEntityText() const { return EntityText; }
  [[nodiscard]] const CString& GetEntityDump() const { return EntityDump; }
  [[nodiscard]] int GetSearchPosition() const { return SearchPosition; }
  [[nodiscard]] CBspFile& MapFile() { return BspFile; }
  // The result of the last save: 0 saved, 1 failed, 2 nothing loaded.
  [[nodiscard]] int LastSaveResult() const { return lastSaveResult_; }

 private:
  // Reads the search box (its list item, or its field) into the scratch string.
  const CString& ReadSearchString();
  void FindStep();

  MainWindowView& view_;
  SettingsStore& settings_;
  FileSystem& files_;
  Options options_;

  CString MapFolder;
  CString MapName;
  CString MapPath;
  CString Scratch;
  CBspFile BspFile;
  CString EntityText;
  int SearchPosition = 0;
  CString EntityDump;

  int waitCursorCount_ = 0;
  int lastSaveResult_ = 2;
  // The map list item last chosen (MapName), while the list still holds it.
  int chosenIndex_ = -1;
  // The save question has been answered at exit.
  bool closeConfirmed_ = false;
};

}  // namespace lw
