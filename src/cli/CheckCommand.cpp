#include "cli/CheckCommand.h"

#include <cctype>
#include <filesystem>
#include <iostream>

#include "bsp/BspHeader.h"
#include "bsp/CBspFile.h"
#include "bsp/EntityTextFile.h"
#include "cli/BatchEditor.h"
#include "cli/Cli.h"
#include "cli/CliSupport.h"
#include "cli/TerminalMessages.h"
#include "entities/EntityText.h"
#include "platform/CString.h"

namespace lw {
namespace {

constexpr std::string_view kStdinName = "<stdin>";

// The bytes of the entity lump `text` becomes when stored as the editor's
// Save stores it, its NUL included.
size_t StoredLumpBytes(std::string_view text) { return LumpTextLength(text) + 1; }

// A map's name, or that of the map a .ent file goes with: the file's name
// without its extension.
std::string MapNameOf(const std::string& path) { return std::filesystem::path(path).stem().string(); }

CheckedText CheckText(std::string path, std::string text, const EntityCheckOptions& base) {
  // ripent ends its .ent files with the lump's own NUL: that one is the
  // terminator, not text.
  if (!text.empty() && text.back() == '\0') text.pop_back();
  EntityCheckOptions options = base;
  options.lumpBytes = StoredLumpBytes(text);
  if (path != kStdinName) options.mapName = MapNameOf(path);
  return {std::move(path), false, true, CheckEntityText(text, options)};
}

CheckedText CheckMap(const std::string& path, const EntityCheckOptions& base, std::ostream& err) {
  TerminalMessages messages(false);
  CBspFile map(messages);
  // Only the header and the entity lump: the models lump's size is in the header.
  map.SetReadOnly(true);
  if (map.LoadMap(CString(path)) != 0) {
    err << FailureLine(path, messages.TakePending());
    return {path, true, false, {}};
  }
  EntityCheckOptions options = base;
  options.modelCount = ModelCount(map);
  options.mapName = MapNameOf(path);
  const CBspFile::LumpInfo lump = map.Lump(map.EntityLumpIndex());
  if (lump.length > 0) options.lumpBytes = static_cast<size_t>(lump.length);
  CheckedText checked{path, true, true, CheckEntityText(map.GetEntityText(), options)};

  // Some engines load maps/NAME.ent in place of the map's own entities.
  std::filesystem::path beside(path);
  beside.replace_extension(".ent");
  std::error_code error;
  if (std::filesystem::is_regular_file(beside, error)) {
    checked.findings.insert(
        checked.findings.begin(),
        {CheckSeverity::kWarning, 0, 1, 1,
         beside.filename().string() + " beside the map: some engines load its entities in place of the map's own"});
  }
  return checked;
}

// A ".bsp" is read as a map even when it is not one, so that the loader says why.
bool IsMapName(const std::string& operand) {
  std::string extension = std::filesystem::path(operand).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".bsp";
}

}  // namespace

size_t ModelCount(const CBspFile& map) {
  const std::int32_t length = map.Lump(kModelsLump).length;
  return length > 0 ? static_cast<size_t>(length) / kModelRecordBytes : 0;
}

std::vector<CheckedText> CheckOperands(const std::vector<std::string>& operands, const EntityCheckOptions& base,
                                       std::istream& in, std::ostream& err) {
  std::vector<CheckedText> checked;
  BatchEditor editor(false, false);
  for (const std::string& operand : operands) {
    if (operand == "-") {
      checked.push_back(CheckText(std::string(kStdinName), ReadSource("-", in).value_or(std::string()), base));
      continue;
    }
    std::error_code error;
    if (std::filesystem::is_directory(operand, error)) {
      std::vector<std::string> emptyFolders;
      for (const BatchMap& map : ExpandMapOperands(editor, {operand}, emptyFolders)) {
        checked.push_back(CheckMap(map.Path().Str(), base, err));
      }
      if (!emptyFolders.empty()) {
        err << "lumpwright-cli: no maps in " << operand << '\n';
        checked.push_back({operand, false, false, {}});
      }
      continue;
    }
    if (IsMapName(operand) || StartsLikeAMap(SystemFileSystem(), CString(operand))) {
      checked.push_back(CheckMap(operand, base, err));
      continue;
    }
    std::optional<std::string> bytes = ReadSource(operand, in);
    if (!bytes) {
      err << "Error reading the file: " << operand << ".\n";
      checked.push_back({operand, false, false, {}});
      continue;
    }
    checked.push_back(CheckText(operand, std::move(*bytes), base));
  }
  return checked;
}

int PrintChecked(const std::vector<CheckedText>& checked, std::ostream& out, bool errorsOnly) {
  bool failed = false;
  for (const CheckedText& text : checked) {
    failed = failed || !text.readable || HasErrors(text.findings);
    for (const CheckFinding& finding : text.findings) {
      if (errorsOnly && finding.severity != CheckSeverity::kError) continue;
      out << FormatFinding(text.path, finding) << '\n';
    }
  }
  return failed ? kExitFailure : kExitSuccess;
}

bool MayStore(std::string_view text, size_t lumpBytes, size_t modelCount, const EntityCheckOptions& base,
              const std::string& mapPath, std::string_view sourceName, bool force, std::ostream& err) {
  EntityCheckOptions options = base;
  options.modelCount = modelCount;
  options.mapName = MapNameOf(mapPath);
  options.lumpBytes = lumpBytes;
  const std::vector<CheckFinding> findings = CheckEntityText(text, options);
  const bool refused = HasErrors(findings) && !force;
  for (const CheckFinding& finding : findings) err << FormatFinding(sourceName, finding, !refused) << '\n';
  return !refused;
}

}  // namespace lw
