#include "ui/InMemoryMainWindowView.h"

#include <algorithm>
#include <cctype>

#include "ui/EntityClasses.h"

namespace lw {

InMemoryMainWindowView::InMemoryMainWindowView(MessageSink& messages) : messages_(&messages) {
  for (const auto name : kEntityClassNames) searchItems.emplace_back(name);
}

void InMemoryMainWindowView::ResetMapList() {
  maps.clear();
  mapSelection = -1;
}

void InMemoryMainWindowView::AddMap(const CString& name) {
  // After the equal names already there, as a sorted list box inserts.
  const auto at = std::upper_bound(maps.begin(), maps.end(), name, MapNameLess);
  maps.insert(at, name);
}

CString InMemoryMainWindowView::MapListItem(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= maps.size()) return {};
  return maps[static_cast<size_t>(index)];
}

CString InMemoryMainWindowView::SearchItem(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= searchItems.size()) return {};
  return searchItems[static_cast<size_t>(index)];
}

void InMemoryMainWindowView::SelectSearchItem(int index) {
  if (index < 0 || static_cast<size_t>(index) >= searchItems.size()) {
    searchSelection = -1;
    return;
  }
  searchSelection = index;
  searchField = searchItems[static_cast<size_t>(index)];
}

void InMemoryMainWindowView::ShowWaitCursor(bool show) {
  waitCursorShown = show;
  if (show) ++waitCursorShows;
}

std::optional<CString> InMemoryMainWindowView::PickFolder(const CString& title) {
  pickerTitles.push_back(title.Str());
  if (pickerAnswers.empty()) return std::nullopt;
  auto answer = pickerAnswers.front();
  pickerAnswers.pop_front();
  return answer;
}

bool InMemoryMainWindowView::SelectMap(const CString& name) {
  const auto it = std::find(maps.begin(), maps.end(), name);
  if (it == maps.end()) return false;
  mapSelection = static_cast<int>(it - maps.begin());
  return true;
}

void InMemoryMainWindowView::TypeSearch(const CString& text) {
  searchSelection = -1;
  searchField = text;
}

}  // namespace lw
