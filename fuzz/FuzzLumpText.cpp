// Arbitrary editor text converted for the map file: the result always begins
// with the first block and ends with the last one and a line feed. The
// checker reads the same text and points every finding at its own place. The
// command line's block edits change only the blocks they select.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "entities/EntityBlocks.h"
#include "entities/EntityCheck.h"
#include "entities/EntityText.h"
#include "platform/CodePage.h"

namespace {

std::string_view BlockBytes(std::string_view text, const lw::EntityBlock& block) {
  return text.substr(block.open, block.close + 1 - block.open);
}

// The block's pairs as key and value texts, leaving out those with `key`.
std::vector<std::pair<std::string_view, std::string_view>> OtherPairs(std::string_view text,
                                                                      const lw::EntityBlock& block,
                                                                      std::string_view key) {
  std::vector<std::pair<std::string_view, std::string_view>> pairs;
  for (const lw::EntityPair& pair : block.pairs) {
    if (lw::SpanText(text, pair.key) != key) {
      pairs.emplace_back(lw::SpanText(text, pair.key), lw::SpanText(text, pair.value));
    }
  }
  return pairs;
}

// Sets `key` in the blocks `filter` selects: the other blocks, the bytes
// between blocks and the selected blocks' other pairs stay; every pair with the
// key holds the value. The edit never changes where blocks begin and end.
void CheckSet(std::string_view text, const std::vector<lw::EntityBlock>& blocks, size_t unclosed,
              const lw::BlockFilter& filter, std::string_view key, std::string_view value) {
  const lw::TextEdit edit = lw::SetKeyValue(text, filter, key, value);
  if ((edit.changed == 0) != (edit.text == text)) __builtin_trap();
  size_t unclosedAfter = 0;
  const std::vector<lw::EntityBlock> after = lw::ParseEntityBlocks(edit.text, &unclosedAfter);
  if (after.size() != blocks.size() || unclosedAfter != unclosed) __builtin_trap();
  const std::string_view out = edit.text;
  size_t matched = 0;
  size_t changed = 0;
  for (size_t i = 0; i < blocks.size(); ++i) {
    const size_t gapFrom = i == 0 ? 0 : blocks[i - 1].close + 1;
    const size_t gapFromAfter = i == 0 ? 0 : after[i - 1].close + 1;
    if (text.substr(gapFrom, blocks[i].open - gapFrom) != out.substr(gapFromAfter, after[i].open - gapFromAfter)) {
      __builtin_trap();
    }
    if (!filter.Matches(text, blocks[i])) {
      if (BlockBytes(text, blocks[i]) != BlockBytes(out, after[i])) __builtin_trap();
      continue;
    }
    ++matched;
    // Unchanged exactly when every pair with the key already holds the value.
    bool holds = false;
    for (const lw::EntityPair& pair : blocks[i].pairs) {
      if (lw::SpanText(text, pair.key) != key) continue;
      holds = true;
      if (lw::SpanText(text, pair.value) != value) {
        holds = false;
        break;
      }
    }
    bool has = false;
    for (const lw::EntityPair& pair : after[i].pairs) {
      if (lw::SpanText(out, pair.key) != key) continue;
      has = true;
      if (lw::SpanText(out, pair.value) != value) __builtin_trap();
    }
    if (!has || OtherPairs(text, blocks[i], key) != OtherPairs(out, after[i], key)) __builtin_trap();
    const auto dangling = [](std::string_view of, const lw::EntityBlock& block) {
      return block.keyWithoutValue ? lw::SpanText(of, *block.keyWithoutValue) : std::string_view("-");
    };
    if (dangling(text, blocks[i]) != dangling(out, after[i])) __builtin_trap();
    const bool same = BlockBytes(text, blocks[i]) == BlockBytes(out, after[i]);
    if (same != holds) __builtin_trap();
    changed += same ? 0 : 1;
  }
  if (text.substr(blocks.empty() ? 0 : blocks.back().close + 1) !=
      out.substr(after.empty() ? 0 : after.back().close + 1)) {
    __builtin_trap();
  }
  if (matched != edit.matched || changed != edit.changed) __builtin_trap();
}

void CheckBlockEdits(std::string_view text) {
  size_t unclosed = 0;
  const std::vector<lw::EntityBlock> blocks = lw::ParseEntityBlocks(text, &unclosed);
  // Reading block by block hands on the same blocks.
  size_t handed = 0;
  size_t unclosedHanded = 0;
  lw::ForEachEntityBlock(
      text,
      [&](const lw::EntityBlock& block) {
        if (handed >= blocks.size() || block.open != blocks[handed].open || block.close != blocks[handed].close ||
            block.pairs.size() != blocks[handed].pairs.size()) {
          __builtin_trap();
        }
        ++handed;
      },
      &unclosedHanded);
  if (handed != blocks.size() || unclosedHanded != unclosed) __builtin_trap();
  size_t previousEnd = 0;
  for (const lw::EntityBlock& block : blocks) {
    if (block.open < previousEnd || block.close <= block.open || text[block.open] != '{' || text[block.close] != '}') {
      __builtin_trap();
    }
    previousEnd = block.close + 1;
  }
  if (blocks.empty()) return;
  // The class and the first key of a block that the text's size picks.
  const lw::EntityBlock& picked = blocks[text.size() % blocks.size()];
  lw::BlockFilter byClass;
  byClass.classNames = {std::string(lw::ClassOf(text, picked).value_or("none"))};
  const std::string key =
      picked.pairs.empty() ? std::string("fuzz") : std::string(lw::SpanText(text, picked.pairs.front().key));
  const std::string had(lw::ValueOf(text, picked, key).value_or(""));

  // Removal: what is left holds the other blocks, in order, byte for byte.
  const lw::TextEdit removed = lw::RemoveBlocks(text, byClass);
  if (removed.matched == 0 && removed.text != text) __builtin_trap();
  if (removed.text.size() > text.size()) __builtin_trap();
  // In a text the save would store the blocks stand apart; with text outside
  // them, a removed block's neighbours can join into other tokens ("/" and
  // "/" into a comment), and the save refuses such a text anyway.
  if (unclosed == 0 && !lw::HasErrors(lw::CheckEntityText(text))) {
    const std::vector<lw::EntityBlock> left = lw::ParseEntityBlocks(removed.text);
    if (left.size() != blocks.size() - removed.matched) __builtin_trap();
    size_t next = 0;
    for (const lw::EntityBlock& block : blocks) {
      if (byClass.Matches(text, block)) continue;
      if (BlockBytes(text, block) != BlockBytes(removed.text, left[next++])) __builtin_trap();
    }
  }

  if (!lw::WhyNotStorable(key) && !lw::WhyNotStorable(had)) {
    CheckSet(text, blocks, unclosed, byClass, key, "fuzz } { value");
    lw::BlockFilter byValue;
    byValue.where.emplace_back(key, had);
    CheckSet(text, blocks, unclosed, byValue, key, had);
  }

  // Appending the text to itself doubles its blocks and keeps its own bytes
  // before and after the added ones.
  const lw::TextEdit doubled = lw::AppendBlocks(text, text);
  if (doubled.matched != blocks.size() || lw::ParseEntityBlocks(doubled.text).size() != 2 * blocks.size()) {
    __builtin_trap();
  }
  const std::string_view out = doubled.text;
  size_t prefix = 0;
  while (prefix < text.size() && text[prefix] == out[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < text.size() && text[text.size() - 1 - suffix] == out[out.size() - 1 - suffix]) ++suffix;
  if (prefix + suffix < text.size()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size == 0) return 0;
  lw::CodePage::SetActive(data[0] & 1 ? 932 : lw::CodePage::kSingleByte);
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  lw::CString text(input);
  lw::ToLumpText(text);
  const std::string& out = text.Str();
  if (out.empty() || out.back() != '\n') __builtin_trap();
  // The length the save's check works out without a copy is the same.
  if (lw::LumpTextLength(input) != out.size()) __builtin_trap();
  if (out.size() > input.size() + 1) __builtin_trap();
  if (out != "\n" && out[out.size() - 2] != '}') __builtin_trap();
  // With an opening brace anywhere, the text starts with it.
  if (lw::ScanFindChar(out, '{') != lw::kNotFound && out.front() != '{') __builtin_trap();
  // Widening for display is a plain replace of every line feed, done here
  // byte by byte (the input has no "\r\n", since the conversion removed them).
  if (out.find("\r\n") == std::string::npos && out.find('\0') == std::string::npos) {
    std::string wide;
    for (const char c : out) {
      if (c == '\n') wide += '\r';
      wide += c;
    }
    if (lw::ToDisplayText(out.c_str()).Str() != wide) __builtin_trap();
  }
  // Converting for display and back gives the same lump text.
  lw::CString again = lw::ToDisplayText(out.c_str());
  lw::ToLumpText(again);
  if (out.find('\0') == std::string::npos && out.find('\r') == std::string::npos && again.Str() != out) {
    __builtin_trap();
  }
  // Every finding lies in the text, at the line and column of its offset, in
  // the order of the text.
  lw::EntityCheckOptions options;
  options.maxEntities = data[0] >> 1U;
  options.modelCount = data[0] & 2U ? std::optional<size_t>(data[0] >> 3U) : std::nullopt;
  size_t previous = 0;
  for (const std::string_view checked : {std::string_view(input), std::string_view(out)}) {
    previous = 0;
    for (const lw::CheckFinding& finding : lw::CheckEntityText(checked, options)) {
      if (finding.offset > checked.size() || finding.offset < previous) __builtin_trap();
      previous = finding.offset;
      const std::string_view before = checked.substr(0, finding.offset);
      const size_t lineStart = before.rfind('\n') == std::string_view::npos ? 0 : before.rfind('\n') + 1;
      size_t line = 1;
      for (const char c : before) line += c == '\n' ? 1 : 0;
      if (finding.line != line || finding.column != finding.offset - lineStart + 1) __builtin_trap();
    }
  }
  CheckBlockEdits(input);
  lw::CodePage::SetActive(lw::CodePage::kSingleByte);
  return 0;
}
