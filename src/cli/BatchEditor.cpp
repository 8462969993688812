#include "cli/BatchEditor.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "platform/FilePattern.h"
#include "platform/Paths.h"

namespace lw {
namespace {

constexpr const char* kMapPattern = "*.bsp";
// Wider lines would wrap on a narrow terminal, and "\r" only returns to the
// start of the last row.
constexpr size_t kProgressWidth = 79;

bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && (path.back() == kPathSeparator || path.back() == '/');
}

}  // namespace

BatchEditor::BatchEditor(bool answerYes, bool entityDump, const CString& dumpPath)
    : messages_(answerYes),
      view_(messages_),
      dlg_(view_, settings_, SystemFileSystem(),
           CEntityEditorDlg::Options{[entityDump] { return CString(entityDump ? "-d" : ""); }, dumpPath,
                                     /*checkBeforeSave=*/false, /*explainFailures=*/false}) {}

const std::vector<CString>& BatchEditor::ListMaps(const CString& folder) {
  dlg_.SetMapFolder(folder);
  dlg_.FillMapList(folder + kMapPattern);
  listed_ = true;
  listedFolder_ = folder;
  return view_.maps;
}

bool BatchEditor::Load(const BatchMap& map) {
  // Each map's command has settled its edits (saved, or left unsaved on
  // purpose), so the editor has nothing to ask about before the next load.
  view_.Entities().SetModify(false);
  // The list is read once per folder: a batch of a thousand maps would
  // otherwise read the folder a thousand times.
  if (!listed_ || !(listedFolder_ == map.folder)) ListMaps(map.folder);
  if (!view_.SelectMap(map.name)) {
    std::error_code error;
    const bool exists = std::filesystem::exists(map.Path().Str(), error);
    messages_.ShowMessage(exists ? "Not a map: the editor lists only *.bsp files." : "No such file.");
    return false;
  }
  dlg_.OnSelchangeMapList();
  return dlg_.MapFile().IsLoaded();
}

CString AsMapFolder(const std::string& operand) {
  CString folder(operand);
  if (!EndsWithSeparator(operand)) folder += kPathSeparator;
  return folder;
}

std::vector<BatchMap> ExpandMapOperands(BatchEditor& editor, const std::vector<std::string>& operands,
                                        std::vector<std::string>& emptyFolders,
                                        const std::vector<std::string>& excluded) {
  std::vector<BatchMap> maps;
  for (const std::string& operand : operands) {
    std::error_code error;
    if (!std::filesystem::is_directory(operand, error)) {
      maps.push_back(SplitMapPath(operand));
      continue;
    }
    const CString folder = AsMapFolder(operand);
    const size_t before = maps.size();
    for (const CString& name : editor.ListMaps(folder)) {
      const auto matches = [&](const std::string& pattern) { return MatchesFilePattern(name.View(), pattern); };
      if (std::none_of(excluded.begin(), excluded.end(), matches)) maps.push_back({folder, name});
    }
    if (maps.size() == before) emptyFolders.push_back(operand);
  }
  return maps;
}

BatchMap SplitMapPath(const std::string& operand) {
  const CString path(operand);
  const CString name = FileNameOf(path);
  return {path.Left(path.GetLength() - name.GetLength()), name};
}

BatchProgress::BatchProgress(std::ostream& err, bool shown, size_t total)
    : err_(err), shown_(shown && total > 1), total_(total) {}

BatchProgress::~BatchProgress() { Clear(); }

void BatchProgress::Show(size_t number, const CString& name) {
  if (!shown_) return;
  // Counted by hand: the C runtime of older Windows knows no %zu.
  std::string line = "[" + std::to_string(number) + "/" + std::to_string(total_) + "] " + name.Str();
  if (line.size() > kProgressWidth) line.resize(kProgressWidth);
  const size_t padding = width_ > line.size() ? width_ - line.size() : 0;
  err_ << '\r' << line << std::string(padding, ' ');
  if (padding > 0) err_ << '\r' << line;
  err_.flush();
  width_ = line.size();
}

void BatchProgress::Clear() {
  if (!shown_ || width_ == 0) return;
  err_ << '\r' << std::string(width_, ' ') << '\r';
  err_.flush();
  width_ = 0;
}

}  // namespace lw
