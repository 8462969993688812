#pragma once

// The blocks of an entity text in the lump form, read the way the engine's
// tokenizer reads them (as the checker does), and the command line's edits of
// them: each edit builds its result in one pass and leaves every byte it does
// not change as it was.
//
// The text is read as bytes, without a code page, as the engine reads it. A
// quote and a line end are below every trail byte of the double-byte code
// pages; a brace byte inside quotes is part of the value, and outside quotes
// the engine itself takes it for a brace.

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lw {

// Byte offsets into a text; `end` is one past the last byte.
struct TextSpan {
  size_t begin = 0;
  size_t end = 0;
};

[[nodiscard]] inline std::string_view SpanText(std::string_view text, TextSpan span) {
  return text.substr(span.begin, span.end - span.begin);
}

// A key and its value. The token spans hold the quotes; the key and value
// spans only what lies between them. A bare (unquoted) token's spans are
// equal. A quote not closed on its line ends at the line end, before a "\r"
// that ends the line, and its token has no closing quote.
struct EntityPair {
  TextSpan keyToken;
  TextSpan key;
  TextSpan valueToken;
  TextSpan value;
};

struct EntityBlock {
  size_t open = 0;   // offset of the '{'
  size_t close = 0;  // offset of the '}'
  std::vector<EntityPair> pairs;
  // A last key that the '}' left without a value (the checker's error); its
  // token span.
  std::optional<TextSpan> keyWithoutValue;
};

// The closed blocks of a text, in order. A block that another '{' or the end
// of the text cuts off before its '}' is left out (the save's check refuses
// such texts anyway); `unclosedBlocks`, when given, receives their number.
// Tokens outside blocks and a '}' that closes nothing are skipped.
std::vector<EntityBlock> ParseEntityBlocks(std::string_view text, size_t* unclosedBlocks = nullptr);

// The same blocks handed to `onBlock` one at a time, as the reading reaches
// each '}', in one block object reused for all of them: a pass over a large
// text holds one block instead of thousands. The edits below read this way.
void ForEachEntityBlock(std::string_view text, const std::function<void(const EntityBlock&)>& onBlock,
                        size_t* unclosedBlocks = nullptr);

// The value the engine keeps for `key`: that of the last pair with the key,
// which the game's KeyValue takes last (Half-Life SDK dlls/cbase.cpp,
// DispatchKeyValue), but for "classname": nothing when the block lacks it.
std::optional<std::string_view> ValueOf(std::string_view text, const EntityBlock& block, std::string_view key);
// The block's class: its first "classname", the one the engine creates the
// entity by (Xash3D FWGS engine/server/sv_game.c, SV_ParseEdict: a later one
// is passed over); nothing without one.
std::optional<std::string_view> ClassOf(std::string_view text, const EntityBlock& block);

// A "//" where a token would start begins a comment, which the engine's
// tokenizer skips up to the line end (Xash3D FWGS, COM_ParseFile; GoldSrc
// COM_Parse). CommentEnd gives the offset of that line end (or the text's).
bool IsCommentAt(std::string_view text, size_t at);
size_t CommentEnd(std::string_view text, size_t at);

// The blocks that --class NAME (any of those given) and --where KEY=VALUE
// select: every condition must hold, each compared byte for byte and
// case-sensitively against the value the engine keeps. A block without the
// key fails the condition. An empty filter selects every block.
struct BlockFilter {
  std::vector<std::string> classNames;
  std::vector<std::pair<std::string, std::string>> where;

  [[nodiscard]] bool Matches(std::string_view text, const EntityBlock& block) const;
};

// The result of an edit: the new text, the blocks the edit applied to, and
// those of them whose bytes changed.
struct TextEdit {
  std::string text;
  size_t matched = 0;
  size_t changed = 0;
};

// Sets `key` to `value` in every block the filter selects. Every pair with the
// key gets the value (a key given twice gets it twice): only the bytes between
// the value's quotes change (a quote not closed on its line stays so, for the
// check to report), and a bare value becomes a quoted one. A value
// already there stays as it is. A block without the key gets the line
// "KEY" "VALUE" before its '}' (before a last key without a value, if it has
// one), ending with the block's own line end ("\r\n" when the block's lines
// end so, else the text's first line end), indented like the block's last
// pair. When only blanks stand before the '}' on its line, the line goes in
// above it; when other tokens share the '}''s line, the new line is put
// between them and the '}', which then starts a line of its own.
// `key` and `value` must pass WhyNotStorable(); when one does not, the text
// comes back unchanged with nothing matched.
TextEdit SetKeyValue(std::string_view text, const BlockFilter& filter, std::string_view key, std::string_view value);

// Removes every block the filter selects: from its '{' through its '}' and
// the "\n" or "\r\n" right after it, so that no empty line is left where the
// block stood. Blanks before the '{' on its line stay.
TextEdit RemoveBlocks(std::string_view text, const BlockFilter& filter);

// What an edit does to one block: removes it whole, puts other bytes in its
// place, or gives pairs new values
// (`values`, per pair, nothing to keep one), deletes pairs (`deleted`, per
// pair: the pair's line when it has the line to itself, else the pair) and
// adds "KEY" "VALUE" lines after the last pair, as SetKeyValue adds one.
// Keys and values given must pass WhyNotStorable().
struct BlockChange {
  bool remove = false;
  // The block's bytes from its '{' through its '}' in place of the pair
  // changes, when set.
  std::optional<std::string> replacement;
  std::vector<std::optional<std::string>> values;
  std::vector<bool> deleted;
  std::vector<std::pair<std::string, std::string>> inserted;
};

// Asked of every block, with `change` sized to its pairs and empty: fills in
// what to change and says whether the block is one the edit applies to
// (counted in `matched`).
using BlockChanger = std::function<bool(std::string_view text, const EntityBlock& block, BlockChange& change)>;

// Makes the changes `change` asks for, leaving every other byte as it was;
// `changed` counts the blocks whose bytes changed.
TextEdit ChangeBlocks(std::string_view text, const BlockChanger& change);

// Adds the blocks of `addition` after the text's last block and the line end
// right after it: `addition` from the first '{' that opens a block (closed or
// not) through the '}' that closes its last block, its line ends turned into
// the text's own (its first line end, "\n" when it has none), followed by that
// line end. When the last block's
// '}' has no line end right after it, a line end goes before the addition.
// Whatever follows the last block's line end (blank lines, stray text, a block
// not closed) stays, after the added blocks. A text without blocks gets them
// at its start. `matched` and `changed` count the added blocks; an addition
// without blocks leaves the text as it is.
TextEdit AppendBlocks(std::string_view text, std::string_view addition);

// Renames the entity name `from` to `to`: every "targetname" value `from`,
// every value of a link key (NameLinks.h) that is `from`, and every
// multi_manager key that fires `from`, its "#N" kept. Nothing else changes: a
// name inside another value or key is not a link. `matched` and `changed`
// count the blocks changed. `from` and `to` must pass WhyNotStorable() and not
// be empty; when one does not, the text comes back unchanged.
TextEdit RenameEntityName(std::string_view text, std::string_view from, std::string_view to);

// The blocks that have "targetname" `name`.
size_t CountNamed(std::string_view text, std::string_view name);

// Class name -> number of blocks of that class (the value the engine keeps),
// sorted by name. Blocks without "classname" are not counted.
std::map<std::string, size_t, std::less<>> CountClasses(std::string_view text);

// Why a key or value cannot stand in a text between quotes (it holds a quote,
// a line end, a carriage return or a NUL), or nothing when it can. The reason
// reads on after the thing named: "holds a line end, which ...".
std::optional<std::string> WhyNotStorable(std::string_view keyOrValue);

}  // namespace lw
