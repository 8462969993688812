#pragma once

#include <deque>
#include <string>
#include <vector>

#include "entities/InMemoryEntityEdit.h"
#include "ui/MainWindowView.h"

namespace lw {

// A window without a screen: the command line drives the editor's logic
// through it, and the tests look into it.
class InMemoryMainWindowView : public MainWindowView {
 public:
  // The search box holds the entity class names, as the window's does.
  explicit InMemoryMainWindowView(MessageSink& messages);

  void SetFolderText(const CString& text) override { folderText = text; }
  void ResetMapList() override;
  void AddMap(const CString& name) override;
  [[nodiscard]] int MapListSelection() const override { return mapSelection; }
  [[nodiscard]] CString MapListItem(int index) const override;
  void SetMapListSelection(int index) override { mapSelection = index; }
  void SetMapFilterText(const CString& text) override { mapFilter = text; }
  void SetStatusText(const CString& text) override { statusText = text; }
  [[nodiscard]] bool HasFindFeedback() const override { return hasFindFeedback; }
  void SetFindFeedback(const CString& text) override { findFeedback = text; }

  [[nodiscard]] int SearchSelection() const override { return searchSelection; }
  [[nodiscard]] CString SearchItem(int index) const override;
  [[nodiscard]] CString SearchFieldText() const override { return searchField; }
  void SelectSearchItem(int index) override;
  void FocusSearch() override { ++searchFocusCount; }

  EntityEdit& Entities() override { return edit; }

  void SetDefaultButton(int controlId) override { defaultButton = controlId; }
  void ShowWaitCursor(bool show) override;
  MessageSink& Messages() override { return *messages_; }
  std::optional<CString> PickFolder(const CString& title) override;

  // Selects the map list item with this name; false when it is not listed.
  bool SelectMap(const CString& name);
  // Types into the search box's field, leaving no list item selected.
  void TypeSearch(const CString& text);

  CString folderText;
  std::vector<CString> maps;
  int mapSelection = -1;
  CString mapFilter;
  CString statusText = "No Map Loaded";
  // The command line's find steps through every block without the line.
  bool hasFindFeedback = false;
  CString findFeedback;
  std::vector<CString> searchItems;
  int searchSelection = -1;
  CString searchField;
  int searchFocusCount = 0;
  InMemoryEntityEdit edit;
  int defaultButton = 0;
  bool waitCursorShown = false;
  int waitCursorShows = 0;
  // Answers for the folder picker, in order; none left means cancel.
  std::deque<std::optional<CString>> pickerAnswers;
  std::vector<std::string> pickerTitles;

 private:
  MessageSink* messages_;
};

}  // namespace lw
