#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// What the engine and the compile tools accept of an entity text. Each figure
// names where it was read.

// Xash3D FWGS, mod_bmodel.c: the lump table's `mincount` for the entities.
inline constexpr size_t kMinEntityLumpBytes = 32;  // the NUL included
// Xash3D FWGS, bspfile.h: MAX_MAP_ENTSTRING; SDHLT the same (ZHLT: 512 KiB).
inline constexpr size_t kMaxEntityLumpBytes = 0x200000;
// Xash3D FWGS, defaults.h: DEFAULT_MAX_EDICTS, since the 2023 Half-Life update.
inline constexpr size_t kDefaultMaxEdicts = 1200;
// The edict limit before the 2023 Half-Life update.
inline constexpr size_t kOldMaxEdicts = 900;
// SDHLT, bspfile.h: MAX_KEY 128 with its NUL (32 in older compilers).
inline constexpr size_t kMaxKeyBytes = 127;
inline constexpr size_t kOldMaxKeyBytes = 31;
// SDHLT, bspfile.h: MAX_VAL 4096 with its NUL (1024 in older compilers).
inline constexpr size_t kMaxValueBytes = 4095;
inline constexpr size_t kOldMaxValueBytes = 1023;
// Xash3D FWGS: MAX_TOKEN 2048 with its NUL, the engine parser's longest token.
inline constexpr size_t kMaxTokenBytes = 2047;
// SDHLT, bspfile.h: MAX_MAP_ENTITIES (2048 in older compilers).
inline constexpr size_t kCompilerMaxEntities = 16384;
inline constexpr size_t kOldCompilerMaxEntities = 2048;
// The size of one record of the models lump (lump 14): bounds, origin, four
// hull heads, the leaf count, the first face and the face count.
inline constexpr size_t kModelRecordBytes = 64;
inline constexpr int kModelsLump = 14;

enum class CheckSeverity {
  kError,    // the engine refuses the map or loads it broken
  kWarning,  // the engine or the compile tools quietly cut or ignore something
};

// One problem of an entity text. `offset` is a byte offset into the checked
// text; `line` and `column` count from 1, the column in bytes.
struct CheckFinding {
  CheckSeverity severity = CheckSeverity::kError;
  size_t offset = 0;
  size_t line = 1;
  size_t column = 1;
  std::string message;
};

struct EntityCheckOptions {
  // More entity blocks than this is an error.
  size_t maxEntities = kDefaultMaxEdicts;
  // The models lump's record count (the world's "*0" included) of the map the
  // text is in or goes into; nothing for a text checked on its own.
  std::optional<size_t> modelCount;
  // The bytes of the entity lump the text is or becomes, its NUL included;
  // nothing for the text's own size plus its NUL.
  std::optional<size_t> lumpBytes;
  // The map's name (its file's, without the extension): its prefix promises
  // a mode ("de_" bomb ...) whose entities must be there.
  std::optional<std::string> mapName;
  // The players the server takes: each team needs half as many spawns.
  std::optional<size_t> maxPlayers;
};

// HLDS and ReHLDS allow the liblist.gam "edicts" (900 by default) and 15 more
// for each player slot after the first (COM_EntsForPlayerSlots).
inline constexpr size_t kServerBaseEdicts = 900;
inline constexpr size_t kEdictsPerPlayerSlot = 15;
constexpr size_t EdictsForPlayers(size_t maxPlayers) {
  return kServerBaseEdicts + kEdictsPerPlayerSlot * (maxPlayers > 0 ? maxPlayers - 1 : 0);
}

// Checks an entity text in the lump form (as `export` prints it) in one pass.
// The findings come in the order of their positions in the text.
std::vector<CheckFinding> CheckEntityText(std::string_view text, const EntityCheckOptions& options = {});

[[nodiscard]] bool HasErrors(const std::vector<CheckFinding>& findings);

// "PATH:LINE:COLUMN: error: MESSAGE"; `asWarning` prints an error as a warning.
std::string FormatFinding(std::string_view path, const CheckFinding& finding, bool asWarning = false);

// A window's problems list: the findings it lists (a text broken all over
// would give thousands; the first ones lead to the rest), each as "error
// LINE:COLUMN MESSAGE", under "Problems: COUNT" or "Problems: none".
inline constexpr size_t kListedProblems = 500;
std::string DescribeProblem(const CheckFinding& finding);
std::string ProblemsHeading(size_t count);

}  // namespace lw
