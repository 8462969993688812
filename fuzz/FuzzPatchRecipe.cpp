// A recipe read from any bytes and applied to any text: it is refused with a
// line inside the recipe, or applied; in a text the save would store, the
// blocks afterwards are those before less the ones removed plus the ones
// added.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "entities/EntityBlocks.h"
#include "entities/EntityCheck.h"
#include "entities/PatchRecipe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t split = (static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8) % (size - 1);
  const std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::string_view recipeText = input.substr(0, split);
  const std::string_view text = input.substr(split);

  lw::RecipeError error;
  const std::optional<lw::PatchRecipe> recipe = lw::ParsePatchRecipe(recipeText, error);
  if (!recipe) {
    size_t lines = 1;
    for (const char c : recipeText) lines += c == '\n' ? 1 : 0;
    if (error.line < 1 || error.line > lines || error.message.empty()) __builtin_trap();
    return 0;
  }
  size_t unclosed = 0;
  const size_t before = lw::ParseEntityBlocks(text, &unclosed).size();
  const lw::PatchResult result = lw::ApplyPatchRecipe(text, *recipe);
  if (result.removed > before) __builtin_trap();
  // In a text the save would store, the blocks stand apart; in one with
  // text outside them, a removed block's neighbours can join into other
  // tokens ("/" and "/" into a comment), which the save then refuses.
  if (unclosed != 0 || lw::HasErrors(lw::CheckEntityText(text))) return 0;
  const size_t after = lw::ParseEntityBlocks(result.text).size();
  if (after != before - result.removed + result.added) __builtin_trap();
  return 0;
}
