#include "ui/CEntityEditorDlg.h"

#include "bsp/EntityTextFile.h"
#include "entities/EntityText.h"
#include "platform/CommandLine.h"
#include "platform/DirectoryListing.h"
#include "platform/Paths.h"
#include "settings/MapFolderSettings.h"

namespace lw {
namespace {

constexpr const char* kNoMapLoaded = "No map loaded";
constexpr const char* kMapPattern = "*.bsp";
constexpr const char* kPickerTitle = "Select a folder that contains bsp files..";
constexpr const char* kFirstRunWarning =
    "WARNING!\n\nThis program makes PERMANENT changes to your map files.\n"
    "Back Up all of your .bsp files before making changes to them.";
constexpr unsigned kInitialTextLimit = 500000;
constexpr const char* kNothingSavedText = "The changes were not saved: no map is loaded.";

CEntityEditorDlg::Options DefaultOptions() {
  return {[] { return GetCommandLineString(); }, EntityDumpPath()};
}

}  // namespace

CEntityEditorDlg::CEntityEditorDlg(MainWindowView& view, SettingsStore& settings, FileSystem& files)
    : CEntityEditorDlg(view, settings, files, DefaultOptions()) {}

CEntityEditorDlg::CEntityEditorDlg(MainWindowView& view, SettingsStore& settings, FileSystem& files, Options options)
    : view_(view), settings_(settings), files_(files), options_(std::move(options)), BspFile(view.Messages(), files) {
  if (!options_.commandLine) options_.commandLine = [] { return GetCommandLineString(); };
}

bool CEntityEditorDlg::OnInitDialog() {
  // The front end has added the About entry and set the icons by now.
  ResolveMapFolder();
  EntityEdit& edit = view_.Entities();
  edit.SetLimitText(kInitialTextLimit);
  edit.SetModify(false);
  SearchPosition = 0;
  view_.SelectSearchItem(0);
  view_.FocusSearch();
  view_.SetDefaultButton(kIdFind);
  EntityDump.Empty();
  return false;
}

void CEntityEditorDlg::OnSelchangeMapList() {
  BeginWaitCursor();
  CString status = kNoMapLoaded;
  const int selection = view_.MapListSelection();
  if (selection != -1) {
    if (!AskSaveChanges()) {
      // The save failed: the map chosen before stays chosen and shown, with
      // the user's text and its modified flag, so that nothing is lost.
      view_.SetMapListSelection(chosenIndex_);
      EndWaitCursor();
      return;
    }
    chosenIndex_ = selection;
    MapName = view_.MapListItem(selection);
    MapPath = MapFolder + MapName;
    if (BspFile.LoadMap(MapPath) == 0) {
      EntityText = ToDisplayText(BspFile.GetEntityText());
      if (IsEntityDumpOn()) EntityDump += EntityText;
      EntityEdit& edit = view_.Entities();
      const auto doubled = 2u * static_cast<unsigned>(EntityText.Size());
      if (edit.GetLimitText() < doubled) edit.SetLimitText(doubled);
      edit.SetText(EntityText);
      status = FormatString("Entities for map %s", MapName.GetString());
    }
  }
  view_.SetStatusText(status);
  view_.Entities().SetModify(false);
  EndWaitCursor();
}

bool CEntityEditorDlg::AskSaveChanges() {
  if (!view_.Entities().GetModify()) return true;
  const CString question = FormatString("Do you want to save your changes to the map %s ?", MapName.GetString());
  if (!view_.Messages().AskYesNo(question)) return true;
  OnSave();
  return !view_.Entities().GetModify();
}

void CEntityEditorDlg::OnSave() {
  EntityText = view_.Entities().GetText();
  lastSaveResult_ = BspFile.SaveMap(MapPath, EntityText);
  // A failed save left the map file as it was: keep the user's text and its
  // modified flag so that nothing is lost and the save can be tried again.
  if (lastSaveResult_ == 1) return;
  // With no map loaded (after a failed load) nothing was written; the
  // reload below would put another text over the user's edits.
  if (lastSaveResult_ == 2 && view_.Entities().GetModify()) {
    view_.Messages().ShowMessage(kNothingSavedText);
    return;
  }
  view_.Entities().SetModify(false);
  OnSelchangeMapList();
}

bool CEntityEditorDlg::OnCloseRequest() {
  if (!AskSaveChanges()) return false;
  closeConfirmed_ = true;
  return true;
}

void CEntityEditorDlg::OnDestroy() {
  // A window closed without OnCloseRequest still offers to save, as late as
  // it can.
  if (!closeConfirmed_) AskSaveChanges();
  StoreMapFolder();
  if (IsEntityDumpOn()) WriteEntityDump();
}

bool CEntityEditorDlg::IsEntityDumpOn() const { return options_.commandLine().Find("-d") >= 0; }

bool CEntityEditorDlg::WriteEntityDump() {
  const CString& path = options_.entityDumpPath;
  switch (SaveEntityTextFile(files_, path, EntityDump.View())) {
    case TextFileResult::kWritten:
      view_.Messages().ShowMessage("A file of all entities read during this session was dumped to:\n" + path);
      return true;
    case TextFileResult::kNotOpened: return false;
    case TextFileResult::kIsAMap:
      view_.Messages().ShowMessage(FormatString("Error writing the file: %s.", path.GetString()) +
                                   "\nIt is a map, and the dump is never written over a map.");
      return false;
    case TextFileResult::kNotWritten: break;
  }
  view_.Messages().ShowMessage(FormatString("Error writing the file: %s.", path.GetString()));
  return false;
}

void CEntityEditorDlg::BeginWaitCursor() {
  if (waitCursorCount_++ == 0) view_.ShowWaitCursor(true);
}

void CEntityEditorDlg::EndWaitCursor() {
  if (waitCursorCount_ == 0) return;
  if (--waitCursorCount_ == 0) view_.ShowWaitCursor(false);
}

const CString& CEntityEditorDlg::ReadSearchString() {
  const int selection = view_.SearchSelection();
  Scratch = selection != -1 ? view_.SearchItem(selection) : view_.SearchFieldText();
  return Scratch;
}

void CEntityEditorDlg::FindStep() {
  const CString& needle = ReadSearchString();
  if (needle.IsEmpty()) return;
  SelectNextBlock(view_.Entities(), needle.View(), SearchPosition, true);
}

void CEntityEditorDlg::OnFind() {
  SearchPosition = 0;
  FindStep();
}

void CEntityEditorDlg::OnFindNext() { FindStep(); }

void CEntityEditorDlg::OnDelete() { DeleteSelection(view_.Entities(), SearchPosition); }

void CEntityEditorDlg::OnDeleteAll() {
  SearchPosition = 0;
  const CString needle = ReadSearchString();
  if (needle.IsEmpty()) return;
  const int count = view_.Entities().DeleteAllBlocks(needle.View(), SearchPosition);
  if (count >= 1) {
    view_.Messages().ShowMessage(
        FormatString("%d entities containing the string\n\"%s\"\nwere deleted.", count, needle.GetString()));
  }
}

bool CEntityEditorDlg::ReadRegistryString(const CString& subkey, const CString& valueName,
                                          char (&buffer)[kRegistryBufferSize]) {
  return lw::ReadRegistryString(settings_, subkey, valueName, buffer);
}

void CEntityEditorDlg::ResolveMapFolder() {
  MapFolder = DefaultMapFolder();
  char buffer[kRegistryBufferSize] = {};
  if (ReadRegistryString(kSettingsKey, kInstallPathValue, buffer)) {
    MapFolder = buffer;
  } else {
    view_.Messages().ShowMessage(kFirstRunWarning);
    if (ReadRegistryString(kCounterStrikeKey, kInstallPathValue, buffer) ||
        ReadRegistryString(kHalfLifeKey, kInstallPathValue, buffer)) {
      MapFolder = GameMapsFolder(buffer);
    }
  }
  if (FillMapList(MapFolder + kMapPattern) == 0) BrowseForMapFolder();
}

int CEntityEditorDlg::FillMapList(const CString& pattern) {
  view_.ResetMapList();
  chosenIndex_ = -1;
  int count = 0;
  for (const DirectoryEntry& entry : ListDirectory(pattern)) {
    if (entry.isDirectory) continue;
    view_.AddMap(entry.name);
    ++count;
  }
  view_.SetFolderText(MapFolder);
  view_.SetStatusText(kNoMapLoaded);
  return count;
}

void CEntityEditorDlg::BrowseForMapFolder() {
  const auto folder = view_.PickFolder(kPickerTitle);
  if (!folder) return;
  MapFolder = *folder + CString(std::string(1, kPathSeparator));
  view_.SetFolderText(MapFolder);
  FillMapList(MapFolder + kMapPattern);
}

void CEntityEditorDlg::StoreMapFolder() { StoreString(settings_, kSettingsKey, kInstallPathValue, MapFolder); }

}  // namespace lw
