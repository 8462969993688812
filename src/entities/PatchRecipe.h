#pragma once

// Patch recipes in the form server operators keep them per map and for all
// maps (<map>.cfg, global_filters.cfg):
//
//   ; a comment (also "//")
//   filter:                      (also "remove:") removes every block that
//   { "classname" "/^weapon_/" } has all of the pairs given
//   add:                         adds the block, unless one with the same
//   { "classname" "info_target" "origin" "0 0 0" }   pairs is there already
//   modify:                      changes every block that has all of the
//   {                            match: pairs: replace: sets keys it has,
//     match:   { "classname" "worldspawn" }          delete: removes pairs
//     replace: { "skyname" "cx" }                    (an empty value: any),
//     delete:  { "MaxRange" "" }                     insert: adds pairs it
//     insert:  { "_note" "patched" }                 lacks
//   }
//
// A section header applies to every block after it, up to the next one.
// Keys and values match exactly and case-sensitively, a key's value being
// the one the engine keeps (EntityBlocks.h, ValueOf); a value between
// slashes in filter:, match: and delete: is a pattern searched for in the
// value (ValuePattern.h). A recipe runs its filters, then its adds, then its
// modifies, each modify over the text the ones before it left. Applied twice
// it changes nothing the second time: an add is skipped when its block is
// there already (also as the modifies would change it), an insert when the
// pair is there, and what a filter or a delete took is gone.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "entities/ValuePattern.h"

namespace lw {

// A "key" "value" line of a recipe block.
struct RecipePair {
  std::string key;
  std::string value;
  std::optional<ValuePattern> pattern;  // a "/.../" value where patterns may stand

  // Whether `found` is a value the pair matches: the pattern's, else equal.
  [[nodiscard]] bool Matches(std::string_view found) const;
};

using RecipeBlock = std::vector<RecipePair>;

struct RecipeModify {
  RecipeBlock match;
  RecipeBlock replace;
  RecipeBlock remove;  // delete:
  RecipeBlock insert;
};

struct PatchRecipe {
  std::vector<RecipeBlock> filters;
  std::vector<RecipeBlock> adds;
  std::vector<RecipeModify> modifies;

  // `other`'s rules after this one's, each in its section.
  void Append(const PatchRecipe& other);
  [[nodiscard]] bool Empty() const { return filters.empty() && adds.empty() && modifies.empty(); }
};

// Where a recipe cannot be read, and why ("a key without a value").
struct RecipeError {
  size_t line = 0;
  std::string message;
};

std::optional<PatchRecipe> ParsePatchRecipe(std::string_view recipe, RecipeError& error);

struct PatchResult {
  std::string text;
  size_t removed = 0;
  size_t added = 0;
  size_t modified = 0;  // blocks whose bytes the modifies changed
};

// The text with the recipe applied; every byte it does not change stays.
PatchResult ApplyPatchRecipe(std::string_view text, const PatchRecipe& recipe);

}  // namespace lw
