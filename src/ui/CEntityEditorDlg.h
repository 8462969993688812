#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "bsp/CBspFile.h"
#include "entities/EntityCheck.h"
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
    // Save checks a changed text as the game reads it, and asks before it
    // stores one with errors. The command line checks on its own.
    bool checkBeforeSave = true;
    // Failed loads and saves say why, in the system's words, in their own
    // message. The command line prints the reason itself.
    bool explainFailures = true;
  };

  // What became of the unsaved changes when the user was asked about them:
  // saved (or there were none), left unsaved by a No, kept by a Cancel, or
  // kept because the save failed.
  enum class ChangesOutcome { kSaved, kNotSaved, kCancelled, kFailed };

  CEntityEditorDlg(MainWindowView& view, SettingsStore& settings, FileSystem& files = SystemFileSystem());
  CEntityEditorDlg(MainWindowView& view, SettingsStore& settings, FileSystem& files, Options options);

  // Window life.
  bool OnInitDialog();
  // Exit, Esc or the close box asks the window to close: unsaved changes are
  // offered for saving first. False when the user cancelled or that save
  // failed; the window then stays open with the edits.
  bool OnCloseRequest();
  void OnDestroy();

  // Maps.
  void OnSelchangeMapList();
  // Asks whether to save unsaved changes, with Yes, No and Cancel (or only
  // Yes and No where the window cannot stay, as it is destroyed).
  ChangesOutcome AskSaveChanges(bool canCancel = true);
  void OnSave();

  // F5: the folder listed again (a map added or removed meanwhile); the map
  // shown stays chosen while it is listed, with its text and edits.
  void OnRefreshMapList();
  // The map list's filter field changed: only the maps whose names hold the
  // text (letters in either case) are listed; another folder empties it.
  void OnMapFilterChanged(const CString& filter);

  // Entity search and deletion.
  // Ctrl+F: the search box gets the keyboard focus.
  void OnFocusSearch();
  // A row of the outline chosen: its block (the '{' at `open`, the '}' at
  // `close` of the live text) is selected and shown as Find shows the block
  // it finds, and Find Next goes on after it.
  void OnOutlineChosen(int open, int close);
  // What the save's check finds in `text` (the live text): errors and
  // warnings with their places in it, in the words of `lumpwright-cli check`;
  // nothing while no map is loaded.
  [[nodiscard]] std::vector<CheckFinding> CheckText(std::string_view text) const;
  // A problem chosen: the caret goes to its place.
  void OnProblemChosen(size_t offset);
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
  // The result of the last save: 0 saved, 1 not saved (it failed, or the
  // user said No to storing a text with errors or into a map changed on
  // disk), 2 nothing loaded.
  [[nodiscard]] int LastSaveResult() const { return lastSaveResult_; }

 private:
  // Reads the search box (its list item, or its field) into the scratch string.
  const CString& ReadSearchString();
  void FindStep();
  // Whether a changed text may be stored: it has no errors the game
  // refuses, or the user said Yes to storing it all the same. A No puts the
  // caret on the first error.
  bool MayStoreText();
  // Saves into the map as it is on disk now, when the user says so after a
  // save found it changed since it was loaded. 0 saved, 1 not saved.
  int SaveIntoChangedMap();
  // Lets go of the map shown: an empty text, nothing loaded, "No map loaded".
  void ForgetMap();

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
  CString mapFilter_;
  CString EntityDump;

  int waitCursorCount_ = 0;
  int lastSaveResult_ = 2;
  // The map list item last chosen (MapName), while the list still holds it.
  int chosenIndex_ = -1;
  // The save question has been answered at exit.
  bool closeConfirmed_ = false;
};

// What the line under the text says after Find or Find Next: "Block 3 of 14
// containing "X"" for the block found at `foundStart` (its '{'), counting the
// blocks Find and Find Next step through; else "No block contains "X"", or
// "No more blocks contain "X" after the caret" when some lie before it.
CString DescribeFind(std::string_view text, std::string_view needle, std::optional<int> foundStart);

}  // namespace lw
