#include "entities/EntityBlocks.h"

#include "entities/EntityOutline.h"
#include "entities/NameLinks.h"

#include <algorithm>

#include <cstring>
#include <optional>
#include <utility>

namespace lw {
namespace {

constexpr std::string_view kClassnameKey = "classname";
constexpr size_t kNone = static_cast<size_t>(-1);

// As the checker: every byte up to the space is blank, except NUL, which the
// reading skips as well but which ends a bare token.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' ' && c != '\0'; }

bool IsBareTokenByte(char c) { return !IsBlank(c) && c != '\0' && c != '"' && c != '{' && c != '}'; }

// What a reading found besides the blocks themselves.
struct ReadSummary {
  size_t blocks = 0;
  size_t unclosed = 0;
  size_t firstOpen = kNone;  // the first '{' that opened a block, closed or not
  size_t lastClose = kNone;  // the '}' of the last block
};

// One pass of the checker's tokenizer, keeping the spans instead of checking.
// Each closed block is handed on as it ends, in one block object reused for
// all of them, so that an edit of a text with thousands of blocks holds one
// block at a time instead of all of them.
class BlockReader {
 public:
  explicit BlockReader(std::string_view text) : text_(text) {}

  // Calls `onBlock(const EntityBlock&)` for each closed block, in order.
  template <typename OnBlock>
  ReadSummary Run(OnBlock&& onBlock) {
    const size_t n = text_.size();
    size_t i = 0;
    while (i < n) {
      const char c = text_[i];
      if (IsBlank(c) || c == '\0') {
        ++i;
      } else if (c == '{') {
        Open(i++);
      } else if (c == '}') {
        if (inBlock_) {
          Close(i);
          onBlock(std::as_const(block_));
        }
        ++i;
      } else if (c == '"') {
        i = QuotedToken(i);
      } else if (IsCommentAt(text_, i)) {
        i = CommentEnd(text_, i);
      } else {
        size_t end = i + 1;
        while (end < n && IsBareTokenByte(text_[end])) ++end;
        Token({i, end}, {i, end});
        i = end;
      }
    }
    if (inBlock_) ++summary_.unclosed;
    return summary_;
  }

 private:
  void Open(size_t at) {
    if (inBlock_) ++summary_.unclosed;
    if (summary_.firstOpen == kNone) summary_.firstOpen = at;
    inBlock_ = true;
    block_.open = at;
    block_.pairs.clear();
    block_.keyWithoutValue.reset();
    pendingKey_.reset();
  }

  void Close(size_t at) {
    inBlock_ = false;
    block_.close = at;
    if (pendingKey_) block_.keyWithoutValue = pendingKey_->first;
    pendingKey_.reset();
    ++summary_.blocks;
    summary_.lastClose = at;
  }

  // From the '"' at `at` to the next '"' on its line; one not closed there
  // ends with the line, before its "\r".
  size_t QuotedToken(size_t at) {
    const size_t from = at + 1;
    size_t end = from;
    while (end < text_.size() && text_[end] != '"' && text_[end] != '\n') ++end;
    if (end < text_.size() && text_[end] == '"') {
      Token({at, end + 1}, {from, end});
      return end + 1;
    }
    size_t last = end;
    if (last > from && text_[last - 1] == '\r') --last;
    Token({at, last}, {from, last});
    return end;
  }

  void Token(TextSpan token, TextSpan content) {
    if (!inBlock_) return;
    if (!pendingKey_) {
      pendingKey_.emplace(token, content);
      return;
    }
    block_.pairs.push_back({pendingKey_->first, pendingKey_->second, token, content});
    pendingKey_.reset();
  }

  std::string_view text_;
  ReadSummary summary_;
  bool inBlock_ = false;
  EntityBlock block_;
  std::optional<std::pair<TextSpan, TextSpan>> pendingKey_;  // token, content
};

// The first line end in text[from, to): "\r\n", "\n", or empty when there is
// none.
std::string_view FirstLineEnd(std::string_view text, size_t from, size_t to) {
  const void* found = from < to ? std::memchr(text.data() + from, '\n', to - from) : nullptr;
  if (found == nullptr) return {};
  const size_t at = static_cast<size_t>(static_cast<const char*>(found) - text.data());
  return at > from && text[at - 1] == '\r' ? "\r\n" : "\n";
}

// The text's own line end: its first one, "\n" (the lump form's) when it has
// none.
std::string_view TextLineEnd(std::string_view text) {
  const std::string_view found = FirstLineEnd(text, 0, text.size());
  return found.empty() ? "\n" : found;
}

// One past the '}' at `close` and the "\n" or "\r\n" right after it.
size_t AfterLineEnd(std::string_view text, size_t close) {
  size_t end = close + 1;
  if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
  if (end < text.size() && text[end] == '\n') ++end;
  return end;
}

// Copies the text into the result piece by piece, in order, so that the
// result is built in one pass.
class Splicer {
 public:
  // `room`: the bytes to reserve for the result.
  Splicer(std::string_view text, std::string& out, size_t room) : text_(text), out_(out) { out_.reserve(room); }
  // Copies everything up to `pos` not yet copied.
  void CopyTo(size_t pos) {
    out_.append(text_.substr(copied_, pos - copied_));
    copied_ = pos;
  }
  void SkipTo(size_t pos) { copied_ = pos; }
  std::string& out() { return out_; }
  void Finish() { CopyTo(text_.size()); }

 private:
  std::string_view text_;
  std::string& out_;
  size_t copied_ = 0;
};

// The blanks before the block's last pair on its line, when the pair starts
// its line: the indentation that a new line copies.
std::string_view PairIndent(std::string_view text, const EntityBlock& block) {
  if (block.pairs.empty()) return {};
  const size_t key = block.pairs.back().keyToken.begin;
  size_t start = key;
  while (start > block.open + 1 && (text[start - 1] == ' ' || text[start - 1] == '\t')) --start;
  return text[start - 1] == '\n' ? text.substr(start, key - start) : std::string_view();
}

void AppendPairLine(std::string& out, std::string_view indent, std::string_view key, std::string_view value,
                    std::string_view lineEnd) {
  out.append(indent).append("\"").append(key).append("\" \"").append(value).append("\"").append(lineEnd);
}

// Puts a line "KEY" "VALUE" for each of `pairs` into the block, after its
// last pair.
void InsertPairLines(std::string_view text, const EntityBlock& block,
                     const std::vector<std::pair<std::string_view, std::string_view>>& pairs,
                     std::string_view textLineEnd, Splicer& splicer) {
  std::string_view lineEnd = FirstLineEnd(text, block.open, block.close);
  if (lineEnd.empty()) lineEnd = textLineEnd;
  // A key without a value stays last, so that it does not take the new key
  // for its value.
  const size_t anchor = block.keyWithoutValue ? block.keyWithoutValue->begin : block.close;
  size_t lineStart = anchor;
  while (text[lineStart - 1] != '\n' && IsBlank(text[lineStart - 1])) --lineStart;  // stops at the '{' at last
  if (text[lineStart - 1] == '\n') {
    splicer.CopyTo(lineStart);
  } else {
    // Other tokens share the line: the new line and the '}' start lines of
    // their own.
    splicer.CopyTo(anchor);
    splicer.out().append(lineEnd);
  }
  const std::string_view indent = PairIndent(text, block);
  for (const auto& [key, value] : pairs) AppendPairLine(splicer.out(), indent, key, value, lineEnd);
}

// `addition` with each line end made `lineEnd`: "\r\n" narrowed, or a lone
// "\n" widened. A lone "\r" stays.
void AppendWithLineEnds(std::string& out, std::string_view addition, std::string_view lineEnd) {
  size_t from = 0;
  size_t newline = 0;
  while ((newline = addition.find('\n', from)) != std::string_view::npos) {
    const size_t contentEnd = newline > from && addition[newline - 1] == '\r' ? newline - 1 : newline;
    out.append(addition.substr(from, contentEnd - from)).append(lineEnd);
    from = newline + 1;
  }
  out.append(addition.substr(from));
}

// Puts `content` where a token's content stood: between its quotes, or for a
// bare token in quotes of its own, so that blanks in it stay one token.
void ReplaceContent(std::string_view text, TextSpan token, TextSpan content, std::string_view replacement,
                    Splicer& splicer) {
  if (text[token.begin] == '"') {
    splicer.CopyTo(content.begin);
    splicer.out().append(replacement);
    splicer.SkipTo(content.end);
  } else {
    splicer.CopyTo(token.begin);
    splicer.out().append("\"").append(replacement).append("\"");
    splicer.SkipTo(token.end);
  }
}

}  // namespace

std::vector<EntityBlock> ParseEntityBlocks(std::string_view text, size_t* unclosedBlocks) {
  std::vector<EntityBlock> blocks;
  // Each block copied at its final size.
  const ReadSummary summary = BlockReader(text).Run([&](const EntityBlock& block) { blocks.push_back(block); });
  if (unclosedBlocks != nullptr) *unclosedBlocks = summary.unclosed;
  return blocks;
}

void ForEachEntityBlock(std::string_view text, const std::function<void(const EntityBlock&)>& onBlock,
                        size_t* unclosedBlocks) {
  const ReadSummary summary = BlockReader(text).Run(onBlock);
  if (unclosedBlocks != nullptr) *unclosedBlocks = summary.unclosed;
}

std::optional<std::string_view> ValueOf(std::string_view text, const EntityBlock& block, std::string_view key) {
  if (key == kClassnameKey) return ClassOf(text, block);
  for (auto pair = block.pairs.rbegin(); pair != block.pairs.rend(); ++pair) {
    if (SpanText(text, pair->key) == key) return SpanText(text, pair->value);
  }
  return std::nullopt;
}

std::optional<std::string_view> ClassOf(std::string_view text, const EntityBlock& block) {
  for (const EntityPair& pair : block.pairs) {
    if (SpanText(text, pair.key) == kClassnameKey) return SpanText(text, pair.value);
  }
  return std::nullopt;
}

bool IsCommentAt(std::string_view text, size_t at) {
  return at + 1 < text.size() && text[at] == '/' && text[at + 1] == '/';
}

size_t CommentEnd(std::string_view text, size_t at) {
  const size_t end = text.find('\n', at);
  return end == std::string_view::npos ? text.size() : end;
}

bool BlockFilter::Matches(std::string_view text, const EntityBlock& block) const {
  if (!classNames.empty()) {
    const std::optional<std::string_view> name = ClassOf(text, block);
    if (!name || std::find(classNames.begin(), classNames.end(), *name) == classNames.end()) return false;
  }
  for (const auto& [key, value] : where) {
    if (ValueOf(text, block, key) != std::string_view(value)) return false;
  }
  return true;
}

TextEdit SetKeyValue(std::string_view text, const BlockFilter& filter, std::string_view key, std::string_view value) {
  TextEdit edit;
  if (WhyNotStorable(key) || WhyNotStorable(value)) {
    edit.text.assign(text);
    return edit;
  }
  // Room for a line added to many small blocks: reserving more than is used
  // costs no page faults, while growing copies the whole result again.
  Splicer splicer(text, edit.text, text.size() + text.size() / 2 + 256);
  std::string_view textLineEnd;  // found at the first block that needs it
  BlockReader(text).Run([&](const EntityBlock& block) {
    if (!filter.Matches(text, block)) return;
    ++edit.matched;
    bool found = false;
    bool changed = false;
    for (const EntityPair& pair : block.pairs) {
      if (SpanText(text, pair.key) != key) continue;
      found = true;
      if (SpanText(text, pair.value) == value) continue;
      changed = true;
      if (text[pair.valueToken.begin] == '"') {
        splicer.CopyTo(pair.value.begin);
        splicer.out().append(value);
        splicer.SkipTo(pair.value.end);
      } else {
        splicer.CopyTo(pair.valueToken.begin);
        splicer.out().append("\"").append(value).append("\"");
        splicer.SkipTo(pair.valueToken.end);
      }
    }
    if (!found) {
      if (textLineEnd.empty()) textLineEnd = TextLineEnd(text);
      InsertPairLines(text, block, {{key, value}}, textLineEnd, splicer);
      changed = true;
    }
    if (changed) ++edit.changed;
  });
  splicer.Finish();
  return edit;
}

TextEdit RemoveBlocks(std::string_view text, const BlockFilter& filter) {
  TextEdit edit;
  Splicer splicer(text, edit.text, text.size());
  BlockReader(text).Run([&](const EntityBlock& block) {
    if (!filter.Matches(text, block)) return;
    splicer.CopyTo(block.open);
    splicer.SkipTo(AfterLineEnd(text, block.close));
    ++edit.matched;
  });
  splicer.Finish();
  edit.changed = edit.matched;
  return edit;
}

namespace {

// Where a pair stood, for its removal: its whole line, end included, when it
// has the line to itself; else the pair and the blanks after it.
TextSpan RemovedPairSpan(std::string_view text, const EntityPair& pair) {
  size_t begin = pair.keyToken.begin;
  while (text[begin - 1] == ' ' || text[begin - 1] == '\t') --begin;  // stops at the '{' at last
  size_t end = pair.valueToken.end;
  while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) ++end;
  if (text[begin - 1] == '\n') {
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    if (end < text.size() && text[end] == '\n') return {begin, end + 1};
  }
  return {pair.keyToken.begin, end};
}

}  // namespace

TextEdit ChangeBlocks(std::string_view text, const BlockChanger& change) {
  TextEdit edit;
  Splicer splicer(text, edit.text, text.size() + text.size() / 4 + 256);
  std::string_view textLineEnd;  // found at the first block that needs it
  BlockChange wanted;
  std::vector<std::pair<std::string_view, std::string_view>> inserted;
  BlockReader(text).Run([&](const EntityBlock& block) {
    wanted.remove = false;
    wanted.replacement.reset();
    wanted.values.assign(block.pairs.size(), std::nullopt);
    wanted.deleted.assign(block.pairs.size(), false);
    wanted.inserted.clear();
    if (!change(text, block, wanted)) return;
    ++edit.matched;
    if (wanted.remove) {
      splicer.CopyTo(block.open);
      splicer.SkipTo(AfterLineEnd(text, block.close));
      ++edit.changed;
      return;
    }
    if (wanted.replacement) {
      if (*wanted.replacement == text.substr(block.open, block.close + 1 - block.open)) return;
      splicer.CopyTo(block.open);
      splicer.out().append(*wanted.replacement);
      splicer.SkipTo(block.close + 1);
      ++edit.changed;
      return;
    }
    bool changed = false;
    for (size_t i = 0; i < block.pairs.size(); ++i) {
      const EntityPair& pair = block.pairs[i];
      if (wanted.deleted[i]) {
        const TextSpan removed = RemovedPairSpan(text, pair);
        splicer.CopyTo(removed.begin);
        splicer.SkipTo(removed.end);
        changed = true;
      } else if (wanted.values[i] && *wanted.values[i] != SpanText(text, pair.value)) {
        ReplaceContent(text, pair.valueToken, pair.value, *wanted.values[i], splicer);
        changed = true;
      }
    }
    if (!wanted.inserted.empty()) {
      if (textLineEnd.empty()) textLineEnd = TextLineEnd(text);
      inserted.assign(wanted.inserted.begin(), wanted.inserted.end());
      InsertPairLines(text, block, inserted, textLineEnd, splicer);
      changed = true;
    }
    if (changed) ++edit.changed;
  });
  splicer.Finish();
  return edit;
}

TextEdit AppendBlocks(std::string_view text, std::string_view addition) {
  TextEdit edit;
  const auto ignore = [](const EntityBlock&) {};
  const ReadSummary added = BlockReader(addition).Run(ignore);
  if (added.blocks == 0) {
    edit.text.assign(text);
    return edit;
  }
  const ReadSummary own = BlockReader(text).Run(ignore);
  const size_t at = own.blocks == 0 ? 0 : AfterLineEnd(text, own.lastClose);
  const std::string_view lineEnd = TextLineEnd(text);
  const std::string_view body = addition.substr(added.firstOpen, added.lastClose + 1 - added.firstOpen);

  edit.text.reserve(text.size() + body.size() + body.size() / 8 + 2 * lineEnd.size());
  edit.text.append(text.substr(0, at));
  if (at > 0 && text[at - 1] != '\n') edit.text.append(lineEnd);
  AppendWithLineEnds(edit.text, body, lineEnd);
  edit.text.append(lineEnd).append(text.substr(at));
  edit.matched = edit.changed = added.blocks;
  return edit;
}

TextEdit RenameEntityName(std::string_view text, std::string_view from, std::string_view to) {
  TextEdit edit;
  if (from.empty() || to.empty() || WhyNotStorable(from) || WhyNotStorable(to)) {
    edit.text.assign(text);
    return edit;
  }
  Splicer splicer(text, edit.text, text.size() + 256);
  BlockReader(text).Run([&](const EntityBlock& block) {
    const std::string_view className = ClassOf(text, block).value_or(std::string_view());
    bool changed = false;
    for (const EntityPair& pair : block.pairs) {
      const std::string_view key = SpanText(text, pair.key);
      const std::string_view value = SpanText(text, pair.value);
      if (key == kTargetnameKey) {
        if (value != from) continue;
        ReplaceContent(text, pair.valueToken, pair.value, to, splicer);
        changed = true;
        continue;
      }
      switch (LinkPlaceOf(className, key)) {
        case LinkPlace::kNone: break;
        case LinkPlace::kValue:
          if (value != from) break;
          ReplaceContent(text, pair.valueToken, pair.value, to, splicer);
          changed = true;
          break;
        case LinkPlace::kKey:
          if (MultiManagerTarget(key) != from) break;
          ReplaceContent(text, pair.keyToken, pair.key, std::string(to).append(key.substr(from.size())), splicer);
          changed = true;
          break;
      }
    }
    if (changed) ++edit.changed;
  });
  splicer.Finish();
  edit.matched = edit.changed;
  return edit;
}

size_t CountNamed(std::string_view text, std::string_view name) {
  size_t count = 0;
  BlockReader(text).Run([&](const EntityBlock& block) {
    for (const EntityPair& pair : block.pairs) {
      if (SpanText(text, pair.key) == kTargetnameKey && SpanText(text, pair.value) == name) {
        ++count;
        return;
      }
    }
  });
  return count;
}

// Here, beside the reading it shares with CountClasses, so that the outline
// reads blocks as fast as `count` does.
std::vector<OutlineRow> BuildOutline(std::string_view text) {
  std::vector<OutlineRow> rows;
  // A block takes some 80 bytes of text at least: room for all of them at once.
  rows.reserve(text.size() / 80 + 1);
  size_t line = 1;
  size_t counted = 0;  // the bytes whose line ends are in `line`
  BlockReader(text).Run([&](const EntityBlock& block) {
    // A counting pass the compiler vectorises: lines are short, so a search
    // for each line end would cost a call per line.
    line += static_cast<size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(counted),
                                           text.begin() + static_cast<std::ptrdiff_t>(block.open), '\n'));
    counted = block.open;
    OutlineRow row;
    row.block = rows.size();
    row.open = block.open;
    row.close = block.close;
    row.line = line;
    // One pass over the pairs: the first classname (the one the engine
    // takes), the last targetname and origin (the ones KeyValue keeps).
    std::optional<std::string_view> className;
    std::string_view targetname;
    std::string_view origin;
    for (const EntityPair& pair : block.pairs) {
      const std::string_view key = SpanText(text, pair.key);
      if (key.size() == 9 && key == "classname") {
        if (!className) className = SpanText(text, pair.value);
      } else if (key.size() == 10 && key == "targetname") {
        targetname = SpanText(text, pair.value);
      } else if (key.size() == 6 && key == "origin") {
        origin = SpanText(text, pair.value);
      }
    }
    row.className.assign(className.value_or(std::string_view()));
    row.targetname.assign(targetname);
    row.origin.assign(origin);
    rows.push_back(std::move(row));
  });
  return rows;
}

std::map<std::string, size_t, std::less<>> CountClasses(std::string_view text) {
  std::map<std::string, size_t, std::less<>> counts;
  BlockReader(text).Run([&](const EntityBlock& block) {
    const std::optional<std::string_view> name = ClassOf(text, block);
    if (!name) return;
    const auto found = counts.find(*name);
    if (found != counts.end()) {
      ++found->second;
    } else {
      counts.emplace(std::string(*name), 1);
    }
  });
  return counts;
}

std::optional<std::string> WhyNotStorable(std::string_view keyOrValue) {
  for (const char c : keyOrValue) {
    switch (c) {
      case '"': return "holds a '\"', which would end the quoted text there";
      case '\n': return "holds a line end, which a quoted text cannot span";
      case '\r': return "holds a carriage return, which is taken for a line end";
      case '\0': return "holds a NUL byte, at which the engine's entity text ends";
      default: break;
    }
  }
  return std::nullopt;
}

}  // namespace lw
