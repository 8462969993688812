#include "entities/PatchRecipe.h"

#include <algorithm>
#include <set>
#include <utility>

#include "entities/EntityBlocks.h"

namespace lw {
namespace {

struct Token {
  enum class Kind { kOpen, kClose, kString, kWord, kEnd };
  Kind kind = Kind::kEnd;
  std::string_view text;
  size_t line = 0;
};

bool IsRecipeBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// Splits a recipe into tokens: braces, quoted strings (closed on their
// line), and words such as "filter:". ';' and "//" outside quotes start a
// comment up to the line end.
class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}

  // The tokens, ending with kEnd; nothing, with `error` set, when a quote is
  // not closed.
  std::optional<std::vector<Token>> Run(RecipeError& error) {
    std::vector<Token> tokens;
    size_t line = 1;
    size_t i = 0;
    while (i < text_.size()) {
      const char c = text_[i];
      if (c == '\n') {
        ++line;
        ++i;
      } else if (IsRecipeBlank(c)) {
        ++i;
      } else if (c == ';' || text_.substr(i, 2) == "//") {
        while (i < text_.size() && text_[i] != '\n') ++i;
      } else if (c == '{' || c == '}') {
        tokens.push_back({c == '{' ? Token::Kind::kOpen : Token::Kind::kClose, text_.substr(i, 1), line});
        ++i;
      } else if (c == '"') {
        size_t end = i + 1;
        while (end < text_.size() && text_[end] != '"' && text_[end] != '\n') ++end;
        if (end >= text_.size() || text_[end] != '"') {
          error = {line, "a '\"' not closed on its line"};
          return std::nullopt;
        }
        tokens.push_back({Token::Kind::kString, text_.substr(i + 1, end - i - 1), line});
        i = end + 1;
      } else {
        size_t end = i;
        while (end < text_.size() && !IsRecipeBlank(text_[end]) && text_[end] != '\n' && text_[end] != '{' &&
               text_[end] != '}' && text_[end] != '"') {
          ++end;
        }
        tokens.push_back({Token::Kind::kWord, text_.substr(i, end - i), line});
        i = end;
      }
    }
    tokens.push_back({Token::Kind::kEnd, {}, line});
    return tokens;
  }

 private:
  std::string_view text_;
};

enum class Section { kNone, kFilter, kAdd, kModify };

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

class RecipeParser {
 public:
  RecipeParser(const std::vector<Token>& tokens, RecipeError& error) : tokens_(tokens), error_(error) {}

  std::optional<PatchRecipe> Run() {
    PatchRecipe recipe;
    Section section = Section::kNone;
    while (Peek().kind != Token::Kind::kEnd) {
      const Token& token = Next();
      if (token.kind == Token::Kind::kWord) {
        if (token.text == "filter:" || token.text == "remove:") {
          section = Section::kFilter;
        } else if (token.text == "add:") {
          section = Section::kAdd;
        } else if (token.text == "modify:") {
          section = Section::kModify;
        } else if (IsModifyPart(token.text)) {
          return Fail(token, Quoted(token.text) + " stands outside a modify: block");
        } else {
          return Fail(token, "unknown section " + Quoted(token.text) + " (filter:, remove:, add: or modify:)");
        }
        continue;
      }
      if (token.kind != Token::Kind::kOpen) {
        return Fail(token, "expected a section header or '{', not " + Describe(token));
      }
      switch (section) {
        case Section::kNone: return Fail(token, "a block before any section header (filter:, add: or modify:)");
        case Section::kFilter: {
          std::optional<RecipeBlock> block = Block(token, true);
          if (!block) return std::nullopt;
          if (block->empty()) return Fail(token, "an empty filter block would remove every block");
          recipe.filters.push_back(std::move(*block));
          break;
        }
        case Section::kAdd: {
          std::optional<RecipeBlock> block = Block(token, false);
          if (!block) return std::nullopt;
          if (block->empty()) return Fail(token, "an empty add block");
          recipe.adds.push_back(std::move(*block));
          break;
        }
        case Section::kModify: {
          std::optional<RecipeModify> modify = Modify(token);
          if (!modify) return std::nullopt;
          recipe.modifies.push_back(std::move(*modify));
          break;
        }
      }
    }
    return recipe;
  }

 private:
  static bool IsModifyPart(std::string_view word) {
    return word == "match:" || word == "replace:" || word == "delete:" || word == "insert:";
  }

  static std::string Describe(const Token& token) {
    switch (token.kind) {
      case Token::Kind::kOpen: return "'{'";
      case Token::Kind::kClose: return "'}'";
      case Token::Kind::kString: return "\"" + std::string(token.text) + "\"";
      case Token::Kind::kWord: return Quoted(token.text);
      case Token::Kind::kEnd: return "the end of the file";
    }
    return {};
  }

  [[nodiscard]] const Token& Peek() const { return tokens_[at_]; }
  const Token& Next() {
    const Token& token = tokens_[at_];
    if (token.kind != Token::Kind::kEnd) ++at_;
    return token;
  }

  std::nullopt_t Fail(const Token& token, std::string message) {
    error_ = {token.line, std::move(message)};
    return std::nullopt;
  }

  // The pairs of a block whose '{' is `open`, through its '}'. With
  // `patterns`, "/.../" values are patterns.
  std::optional<RecipeBlock> Block(const Token& open, bool patterns) {
    RecipeBlock block;
    while (true) {
      const Token& token = Next();
      if (token.kind == Token::Kind::kClose) return block;
      if (token.kind == Token::Kind::kEnd) {
        return Fail(token, "the block opened on line " + std::to_string(open.line) + " is not closed");
      }
      if (token.kind != Token::Kind::kString) {
        return Fail(token, "expected a quoted key or '}', not " + Describe(token));
      }
      const Token& value = Next();
      if (value.kind != Token::Kind::kString) {
        return Fail(value, "the key \"" + std::string(token.text) + "\" has no value");
      }
      if (token.text.empty()) return Fail(token, "an empty key");
      if (const std::optional<std::string> why = WhyNotStorable(token.text)) return Fail(token, "the key " + *why);
      if (const std::optional<std::string> why = WhyNotStorable(value.text)) return Fail(value, "the value " + *why);
      RecipePair pair{std::string(token.text), std::string(value.text), std::nullopt};
      if (patterns && value.text.size() >= 2 && value.text.front() == '/' && value.text.back() == '/') {
        std::string why;
        pair.pattern = ValuePattern::Compile(value.text.substr(1, value.text.size() - 2), &why);
        if (!pair.pattern) return Fail(value, "the pattern " + std::string(value.text) + ": " + why);
      }
      block.push_back(std::move(pair));
    }
  }

  std::optional<RecipeModify> Modify(const Token& open) {
    RecipeModify modify;
    bool matched = false;
    while (true) {
      const Token& token = Next();
      if (token.kind == Token::Kind::kClose) break;
      if (token.kind == Token::Kind::kEnd) {
        return Fail(token, "the modify block opened on line " + std::to_string(open.line) + " is not closed");
      }
      if (token.kind != Token::Kind::kWord || !IsModifyPart(token.text)) {
        return Fail(token, "expected match:, replace:, delete:, insert: or '}', not " + Describe(token));
      }
      const Token& brace = Next();
      if (brace.kind != Token::Kind::kOpen) {
        return Fail(brace, "expected '{' after " + std::string(token.text) + ", not " + Describe(brace));
      }
      const bool patterns = token.text == "match:" || token.text == "delete:";
      std::optional<RecipeBlock> block = Block(brace, patterns);
      if (!block) return std::nullopt;
      RecipeBlock& part = token.text == "match:"     ? modify.match
                          : token.text == "replace:" ? modify.replace
                          : token.text == "delete:"  ? modify.remove
                                                     : modify.insert;
      matched = matched || token.text == "match:";
      std::move(block->begin(), block->end(), std::back_inserter(part));
    }
    if (!matched) return Fail(open, "a modify block without match:");
    return modify;
  }

  const std::vector<Token>& tokens_;
  RecipeError& error_;
  size_t at_ = 0;
};

// Whether the block has every pair of `wanted`, each key's value being the one
// the engine keeps.
bool HasAll(std::string_view text, const EntityBlock& block, const RecipeBlock& wanted) {
  return std::all_of(wanted.begin(), wanted.end(), [&](const RecipePair& pair) {
    const std::optional<std::string_view> value = ValueOf(text, block, pair.key);
    return value && pair.Matches(*value);
  });
}

// The modify's change of a block that has its match: pairs: replace:, then
// delete: of what that left, then insert: of what is still missing.
bool ModifyBlock(const RecipeModify& modify, std::string_view text, const EntityBlock& block, BlockChange& change) {
  if (!HasAll(text, block, modify.match)) return false;
  const std::vector<EntityPair>& pairs = block.pairs;
  const auto current = [&](size_t i) -> std::string_view {
    return change.values[i] ? std::string_view(*change.values[i]) : SpanText(text, pairs[i].value);
  };
  for (size_t i = 0; i < pairs.size(); ++i) {
    const std::string_view key = SpanText(text, pairs[i].key);
    for (const RecipePair& replace : modify.replace) {
      if (replace.key == key) change.values[i] = replace.value;
    }
    for (const RecipePair& remove : modify.remove) {
      if (remove.key != key) continue;
      // A value left empty deletes the key whatever its value.
      if ((remove.value.empty() && !remove.pattern) || remove.Matches(current(i))) change.deleted[i] = true;
    }
  }
  for (const RecipePair& insert : modify.insert) {
    bool there = false;
    for (size_t i = 0; i < pairs.size() && !there; ++i) {
      there = !change.deleted[i] && SpanText(text, pairs[i].key) == insert.key && current(i) == insert.value;
    }
    for (const auto& [key, value] : change.inserted) there = there || (key == insert.key && value == insert.value);
    if (!there) change.inserted.emplace_back(insert.key, insert.value);
  }
  return true;
}

// A block's pairs in an order of their own, to tell blocks with the same
// pairs in any order.
using PairSet = std::vector<std::pair<std::string_view, std::string_view>>;

PairSet PairsOf(std::string_view text, const EntityBlock& block) {
  PairSet pairs;
  pairs.reserve(block.pairs.size());
  for (const EntityPair& pair : block.pairs) pairs.emplace_back(SpanText(text, pair.key), SpanText(text, pair.value));
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

std::string BlockText(const RecipeBlock& block) {
  std::string text = "{\n";
  for (const RecipePair& pair : block)
    text.append("\"").append(pair.key).append("\" \"").append(pair.value).append("\"\n");
  return text.append("}\n");
}

// The modifies in their order, each over what the ones before it left. Each
// changes blocks one at a time, so the text is read once: a block that the
// first modify to match changes goes through the rest on its own.
std::string ApplyModifies(std::string text, const std::vector<RecipeModify>& modifies, size_t* modified) {
  if (modifies.empty()) return text;
  TextEdit edit = ChangeBlocks(text, [&](std::string_view t, const EntityBlock& block, BlockChange& change) {
    size_t first = 0;
    while (first < modifies.size() && !HasAll(t, block, modifies[first].match)) ++first;
    if (first == modifies.size()) return false;
    std::string own(t.substr(block.open, block.close + 1 - block.open));
    for (size_t i = first; i < modifies.size(); ++i) {
      TextEdit step = ChangeBlocks(own, [&](std::string_view b, const EntityBlock& inner, BlockChange& innerChange) {
        return ModifyBlock(modifies[i], b, inner, innerChange);
      });
      if (step.changed > 0) own = std::move(step.text);
    }
    change.replacement = std::move(own);
    return true;
  });
  if (modified != nullptr) *modified += edit.changed;
  return edit.changed > 0 ? std::move(edit.text) : text;
}

// The add blocks that are not in `text` yet, nor would be once the modifies
// changed them, as one text.
std::string MissingAdds(std::string_view text, const PatchRecipe& recipe, size_t& added) {
  // Each add as written and as the modifies would leave it.
  std::vector<std::string> written;
  std::vector<std::string> modified;
  std::set<size_t> sizes;
  for (const RecipeBlock& add : recipe.adds) {
    written.push_back(BlockText(add));
    modified.push_back(ApplyModifies(written.back(), recipe.modifies, nullptr));
    sizes.insert(add.size());
    for (const std::string& form : {written.back(), modified.back()}) {
      ForEachEntityBlock(form, [&](const EntityBlock& block) { sizes.insert(block.pairs.size()); });
    }
  }
  // The pairs of the blocks there already; only blocks of a size an add has
  // can be one.
  std::set<std::vector<std::pair<std::string, std::string>>> present;
  const auto keep = [&](std::string_view from, const EntityBlock& block) {
    if (sizes.count(block.pairs.size()) == 0) return;
    std::vector<std::pair<std::string, std::string>> owned;
    for (const auto& [key, value] : PairsOf(from, block)) owned.emplace_back(key, value);
    present.insert(std::move(owned));
  };
  ForEachEntityBlock(text, [&](const EntityBlock& block) { keep(text, block); });

  std::string addition;
  for (size_t i = 0; i < written.size(); ++i) {
    bool there = false;
    for (const std::string* form : {&written[i], &modified[i]}) {
      ForEachEntityBlock(*form, [&](const EntityBlock& block) {
        std::vector<std::pair<std::string, std::string>> owned;
        for (const auto& [key, value] : PairsOf(*form, block)) owned.emplace_back(key, value);
        there = there || present.count(owned) > 0;
      });
    }
    if (there) continue;
    addition += written[i];
    ++added;
    // An add given twice goes in once.
    ForEachEntityBlock(written[i], [&](const EntityBlock& block) { keep(written[i], block); });
  }
  return addition;
}

}  // namespace

bool RecipePair::Matches(std::string_view found) const { return pattern ? pattern->Search(found) : found == value; }

void PatchRecipe::Append(const PatchRecipe& other) {
  filters.insert(filters.end(), other.filters.begin(), other.filters.end());
  adds.insert(adds.end(), other.adds.begin(), other.adds.end());
  modifies.insert(modifies.end(), other.modifies.begin(), other.modifies.end());
}

std::optional<PatchRecipe> ParsePatchRecipe(std::string_view recipe, RecipeError& error) {
  const std::optional<std::vector<Token>> tokens = Tokenizer(recipe).Run(error);
  if (!tokens) return std::nullopt;
  return RecipeParser(*tokens, error).Run();
}

PatchResult ApplyPatchRecipe(std::string_view text, const PatchRecipe& recipe) {
  PatchResult result;
  std::string patched(text);
  if (!recipe.filters.empty()) {
    TextEdit edit = ChangeBlocks(patched, [&](std::string_view t, const EntityBlock& block, BlockChange& change) {
      const bool drop = std::any_of(recipe.filters.begin(), recipe.filters.end(),
                                    [&](const RecipeBlock& filter) { return HasAll(t, block, filter); });
      change.remove = drop;
      return drop;
    });
    result.removed = edit.changed;
    if (edit.changed > 0) patched = std::move(edit.text);
  }
  if (!recipe.adds.empty()) {
    const std::string addition = MissingAdds(patched, recipe, result.added);
    if (!addition.empty()) patched = AppendBlocks(patched, addition).text;
  }
  result.text = ApplyModifies(std::move(patched), recipe.modifies, &result.modified);
  return result;
}

}  // namespace lw
