#include "ui/CEntityEditorDlg.h"

#include <algorithm>

#include "bsp/EntityTextFile.h"
#include "entities/EntityBlockSearch.h"
#include "entities/EntityCheck.h"
#include "entities/EntityText.h"
#include "platform/AsciiCase.h"
#include "platform/CodePage.h"
#include "platform/CommandLine.h"
#include "platform/DirectoryListing.h"
#include "platform/Paths.h"
#include "platform/SteamLibraries.h"
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
constexpr const char* kChangedOnDiskText =
    "The map %s has changed on disk since it was loaded.\n\n"
    "Do you want to store your text into the map as it is on disk now? Its own geometry is kept.";
// The errors shown when Save asks about a text the game refuses.
constexpr size_t kErrorsShown = 3;

CEntityEditorDlg::Options DefaultOptions() {
  return {[] { return GetCommandLineString(); }, EntityDumpPath()};
}

}  // namespace

CEntityEditorDlg::CEntityEditorDlg(MainWindowView& view, SettingsStore& settings, FileSystem& files)
    : CEntityEditorDlg(view, settings, files, DefaultOptions()) {}

CEntityEditorDlg::CEntityEditorDlg(MainWindowView& view, SettingsStore& settings, FileSystem& files, Options options)
    : view_(view), settings_(settings), files_(files), options_(std::move(options)), BspFile(view.Messages(), files) {
  if (!options_.commandLine) options_.commandLine = [] { return GetCommandLineString(); };
  BspFile.SetExplainsFailures(options_.explainFailures);
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
  if (selection == -1 && chosenIndex_ != -1) {
    // The chosen map was un-chosen (a Ctrl+click): it stays chosen, with the
    // user's text and its modified flag.
    view_.SetMapListSelection(chosenIndex_);
    EndWaitCursor();
    return;
  }
  if (selection != -1) {
    const ChangesOutcome outcome = AskSaveChanges();
    if (outcome == ChangesOutcome::kCancelled || outcome == ChangesOutcome::kFailed) {
      // The map chosen before stays chosen and shown, with the user's text
      // and its modified flag, so that nothing is lost.
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
  view_.SetFindFeedback(CString());
  view_.Entities().SetModify(false);
  EndWaitCursor();
}

CEntityEditorDlg::ChangesOutcome CEntityEditorDlg::AskSaveChanges(bool canCancel) {
  if (!view_.Entities().GetModify()) return ChangesOutcome::kSaved;
  const CString question = FormatString("Do you want to save your changes to the map %s ?", MapName.GetString());
  MessageSink& messages = view_.Messages();
  const MessageSink::Answer answer = canCancel                     ? messages.AskYesNoCancel(question)
                                     : messages.AskYesNo(question) ? MessageSink::Answer::kYes
                                                                   : MessageSink::Answer::kNo;
  if (answer == MessageSink::Answer::kCancel) return ChangesOutcome::kCancelled;
  if (answer == MessageSink::Answer::kNo) return ChangesOutcome::kNotSaved;
  OnSave();
  return lastSaveResult_ == 0 ? ChangesOutcome::kSaved : ChangesOutcome::kFailed;
}

std::vector<CheckFinding> CEntityEditorDlg::CheckText(std::string_view text) const {
  // Without a map there is nothing to store the text into, so nothing to refuse.
  if (!BspFile.IsLoaded()) return {};
  // What the save stores: from the first block to the last, as the game
  // reads it (the line ends do not change the blocks).
  const size_t last = ScanFindLastChar(text, '}');
  const size_t open = last == kNotFound ? kNotFound : ScanFindChar(text.substr(0, last + 1), '{');
  const size_t first = open == kNotFound ? 0 : open;
  const std::string_view stored = last == kNotFound ? std::string_view() : text.substr(first, last + 1 - first);
  EntityCheckOptions options;
  if (BspFile.IsLoaded()) {
    const std::int32_t models = BspFile.Lump(kModelsLump).length;
    options.modelCount = models > 0 ? static_cast<size_t>(models) / kModelRecordBytes : 0;
    // The name's prefix promises the map's mode, as `check` reads it.
    const std::string_view name = MapName.View();
    options.mapName = std::string(name.substr(0, name.rfind('.')));
  }
  options.lumpBytes = LumpTextLength(text) + 1;
  std::vector<CheckFinding> findings = CheckEntityText(stored, options);
  // Places in `text` itself.
  size_t line = 1;
  size_t counted = 0;
  for (CheckFinding& finding : findings) {
    finding.offset += first;
    for (; counted < finding.offset && counted < text.size(); ++counted) line += text[counted] == '\n' ? 1 : 0;
    finding.line = line;
    const size_t lineStart = finding.offset == 0 ? 0 : text.rfind('\n', finding.offset - 1);
    finding.column =
        finding.offset - (lineStart == std::string_view::npos || finding.offset == 0 ? 0 : lineStart + 1) + 1;
  }
  return findings;
}

bool CEntityEditorDlg::MayStoreText() {
  const std::string_view text = EntityText.View();
  std::vector<CheckFinding> errors = CheckText(text);
  std::erase_if(errors, [](const CheckFinding& finding) { return finding.severity != CheckSeverity::kError; });
  if (errors.empty()) return true;

  CString question = errors.size() == 1 ? CString("The text has 1 error the game will refuse:")
                                        : FormatString("The text has %d errors the game will refuse:",
                                                       static_cast<int>(errors.size()));
  for (size_t i = 0; i < std::min(errors.size(), kErrorsShown); ++i) {
    question += FormatString("\nline %d: ", static_cast<int>(errors[i].line)) + CString(errors[i].message);
  }
  question += "\n\nSave anyway?";
  if (view_.Messages().AskYesNo(question)) return true;
  EntityEdit& edit = view_.Entities();
  const auto caret = static_cast<int>(errors.front().offset);
  edit.SetSel(caret, caret);
  edit.ScrollCaret();
  edit.SetFocus();
  return false;
}

int CEntityEditorDlg::SaveIntoChangedMap() {
  if (!view_.Messages().AskYesNo(FormatString(kChangedOnDiskText, MapName.GetString()))) return 1;
  // The map as it is now, its geometry with the user's text. A failed load
  // has said why and keeps the text.
  if (BspFile.LoadMap(MapPath) != 0) return 1;
  EntityText = view_.Entities().GetText();
  const int result = BspFile.SaveMap(MapPath, EntityText);
  // Changed once more in between: nothing written, the edits kept.
  return result == CBspFile::kChangedOnDisk ? 1 : result;
}

void CEntityEditorDlg::OnSave() {
  EntityEdit& edit = view_.Entities();
  EntityText = edit.GetText();
  if (options_.checkBeforeSave && edit.GetModify() && BspFile.IsLoaded() && !MayStoreText()) {
    lastSaveResult_ = 1;
    return;
  }
  lastSaveResult_ = BspFile.SaveMap(MapPath, EntityText);
  if (lastSaveResult_ == CBspFile::kChangedOnDisk) lastSaveResult_ = SaveIntoChangedMap();
  // A failed save left the map file as it was: keep the user's text and its
  // modified flag so that nothing is lost and the save can be tried again.
  if (lastSaveResult_ == 1) return;
  // With no map loaded (after a failed load) nothing was written; the
  // reload below would put another text over the user's edits.
  if (lastSaveResult_ == 2 && edit.GetModify()) {
    view_.Messages().ShowMessage(kNothingSavedText);
    return;
  }
  // The reload shows the text as stored, at the place the user was.
  int start = 0;
  int end = 0;
  edit.GetSel(start, end);
  const int firstLine = edit.GetFirstVisibleLine();
  edit.SetModify(false);
  OnSelchangeMapList();
  if (lastSaveResult_ == 0 && BspFile.IsLoaded()) {
    edit.SetSel(start, end);
    edit.SetFirstVisibleLine(firstLine);
  }
}

bool CEntityEditorDlg::OnCloseRequest() {
  const ChangesOutcome outcome = AskSaveChanges();
  if (outcome == ChangesOutcome::kCancelled || outcome == ChangesOutcome::kFailed) return false;
  closeConfirmed_ = true;
  return true;
}

void CEntityEditorDlg::OnDestroy() {
  // A window closed without OnCloseRequest still offers to save, as late as
  // it can; it cannot stay open, so there is no Cancel.
  if (!closeConfirmed_) AskSaveChanges(false);
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
  EntityEdit& edit = view_.Entities();
  std::optional<int> found;
  if (SelectNextBlock(edit, needle.View(), SearchPosition, true)) {
    int end = 0;
    found.emplace();
    edit.GetSel(*found, end);
  }
  if (view_.HasFindFeedback()) view_.SetFindFeedback(DescribeFind(edit.LiveText(), needle.View(), found));
}

CString DescribeFind(std::string_view text, std::string_view needle, std::optional<int> foundStart) {
  // The blocks Find and Find Next step through from the top, up to the end
  // (past it they start again at the top).
  int count = 0;
  int number = 0;
  for (int position = 0; position <= static_cast<int>(text.size());) {
    const std::optional<EntityBlockSpan> span = FindEntityBlock(needle, text, position);
    if (!span) break;
    ++count;
    if (foundStart && span->start == *foundStart) number = count;
    position = BlockSelectionEnd(text, span->end) + 1;
  }
  const std::string quoted = "\"" + std::string(needle) + "\"";
  if (foundStart && number > 0) {
    return CString("Block " + std::to_string(number) + " of " + std::to_string(count) + " containing " + quoted);
  }
  if (count == 0) return CString("No block contains " + quoted);
  return CString("No more blocks contain " + quoted + " after the caret");
}

void CEntityEditorDlg::OnFind() {
  SearchPosition = 0;
  FindStep();
}

void CEntityEditorDlg::OnFindNext() { FindStep(); }

void CEntityEditorDlg::OnFocusSearch() { view_.FocusSearch(); }

void CEntityEditorDlg::OnProblemChosen(size_t offset) {
  EntityEdit& edit = view_.Entities();
  const auto caret = static_cast<int>(std::min(offset, edit.LiveText().size()));
  edit.SetSel(caret, caret);
  edit.ScrollCaret();
  edit.SetFocus();
}

void CEntityEditorDlg::OnOutlineChosen(int open, int close) {
  EntityEdit& edit = view_.Entities();
  const std::string_view text = edit.LiveText();
  if (open < 0 || close < open || static_cast<size_t>(close) >= text.size()) return;
  const int selectionEnd = BlockSelectionEnd(text, close);
  edit.SetSel(open, selectionEnd);
  edit.ScrollCaret();
  SearchPosition = selectionEnd + 1;
}

void CEntityEditorDlg::OnMapFilterChanged(const CString& filter) {
  mapFilter_ = filter;
  OnRefreshMapList();
}

namespace {

// Whether `name` holds `filter`, ASCII letters in either case, as the list's
// own pattern reads names.
bool NameHolds(std::string_view name, std::string_view filter) {
  return std::search(name.begin(), name.end(), filter.begin(), filter.end(),
                     [](char a, char b) { return FoldAsciiCase(a) == FoldAsciiCase(b); }) != name.end();
}

}  // namespace

void CEntityEditorDlg::OnRefreshMapList() {
  view_.ResetMapList();
  chosenIndex_ = -1;
  for (const DirectoryEntry& entry : ListDirectory(MapFolder + kMapPattern)) {
    if (!entry.isDirectory && NameHolds(entry.name.View(), mapFilter_.View())) view_.AddMap(entry.name);
  }
  if (MapName.IsEmpty()) return;
  for (int i = 0;; ++i) {
    const CString item = view_.MapListItem(i);
    if (item.IsEmpty()) break;
    if (item == MapName) {
      chosenIndex_ = i;
      view_.SetMapListSelection(i);
      break;
    }
  }
}

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
    } else if (ReadRegistryString(kSteamKey, kSteamPathValue, buffer)) {
      // A Steam install writes neither of the old keys: the game is looked
      // for in Steam's libraries instead.
      if (const std::optional<std::string> game = FindSteamGameFolder({std::string(buffer)}, true)) {
        MapFolder = GameMapsFolder(CString(*game));
      }
    }
  }
  if (FillMapList(MapFolder + kMapPattern) == 0) BrowseForMapFolder();
}

int CEntityEditorDlg::FillMapList(const CString& pattern) {
  // Another folder's maps are all listed: a filter typed for the last one
  // could hide every map of the new one.
  if (!mapFilter_.IsEmpty()) {
    mapFilter_.Empty();
    view_.SetMapFilterText(CString());
  }
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
  // The map shown goes with the old folder: its changes are settled first.
  const ChangesOutcome outcome = AskSaveChanges();
  if (outcome == ChangesOutcome::kCancelled || outcome == ChangesOutcome::kFailed) return;
  const auto folder = view_.PickFolder(kPickerTitle);
  if (!folder) return;
  MapFolder = *folder + CString(std::string(1, kPathSeparator));
  view_.SetFolderText(MapFolder);
  FillMapList(MapFolder + kMapPattern);
  ForgetMap();
}

void CEntityEditorDlg::ForgetMap() {
  BspFile.Unload();
  MapName.Empty();
  MapPath.Empty();
  EntityText.Empty();
  EntityEdit& edit = view_.Entities();
  edit.SetText(CString());
  edit.SetModify(false);
  view_.SetStatusText(kNoMapLoaded);
  view_.SetFindFeedback(CString());
}

void CEntityEditorDlg::StoreMapFolder() { StoreString(settings_, kSettingsKey, kInstallPathValue, MapFolder); }

}  // namespace lw
