#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "entities/EntityCheck.h"

namespace lw {

// One text `check` went through: a map, a text file or standard input.
struct CheckedText {
  std::string path;      // as printed before each finding; "<stdin>" for standard input
  bool isMap = false;    // read from a map (its models lump counted)
  bool readable = true;  // false: nothing was checked, the reason went to standard error
  std::vector<CheckFinding> findings;
};

// Reads and checks every operand: a map, a folder (its maps, as the editor
// lists them), a text file or "-". Why an operand could not be read goes to
// `err`, a folder without maps included.
// `base` holds the limits the command line sets (--max-entities,
// --max-players); each text adds its own size, models and map name.
std::vector<CheckedText> CheckOperands(const std::vector<std::string>& operands, const EntityCheckOptions& base,
                                       std::istream& in, std::ostream& err);

// "PATH:LINE:COLUMN: error: ..." for each finding (only the errors with
// `errorsOnly`, as check -q prints them); the exit status: 1 when a text has
// an error or could not be read.
int PrintChecked(const std::vector<CheckedText>& checked, std::ostream& out, bool errorsOnly = false);

// The checks of a text about to be stored in a map whose models lump holds
// `modelCount` records, as an entity lump of `lumpBytes` bytes with its NUL.
// `text` is the editor's or the import's text; the findings' positions are
// in it. With errors and without `force`, prints
// them to `err` and returns false; `force` prints them as warnings. Warnings
// are printed and never stop the save.
bool MayStore(std::string_view text, size_t lumpBytes, size_t modelCount, const EntityCheckOptions& base,
              const std::string& mapPath, std::string_view sourceName, bool force, std::ostream& err);

// The models lump's record count of a loaded map.
class CBspFile;
size_t ModelCount(const CBspFile& map);

}  // namespace lw
