#include "entities/EntityCheck.h"

#include "entities/EntityBlocks.h"
#include "entities/MapModes.h"
#include "entities/NameLinks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define LUMPWRIGHT_CHECK_SSE2 1
#endif

namespace lw {
namespace {

constexpr char kClassnameKey[] = "classname";
constexpr char kWorldspawn[] = "worldspawn";
constexpr char kModelKey[] = "model";

// The engine's parser skips every byte up to the space as blank; it reads
// bytes, not characters of any code page.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' ' && c != '\0'; }

// A comparison the compiler turns into a few word compares.
template <size_t N>
bool Is(std::string_view text, const char (&word)[N]) {
  return text.size() == N - 1 && std::memcmp(text.data(), word, N - 1) == 0;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// The first '"' or line feed at or after `from`, or the end. Most values are
// a few dozen bytes, so sixteen are looked at a time.
size_t FindQuoteOrLineEnd(std::string_view text, size_t from) {
  const char* const data = text.data();
  size_t at = from;
#if defined(LUMPWRIGHT_CHECK_SSE2)
  const __m128i quotes = _mm_set1_epi8('"');
  const __m128i lineFeeds = _mm_set1_epi8('\n');
  for (; at + 16 <= text.size(); at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, quotes), _mm_cmpeq_epi8(bytes, lineFeeds)));
    if (hits != 0) return at + static_cast<size_t>(std::countr_zero(static_cast<unsigned>(hits)));
  }
#endif
  while (at < text.size() && data[at] != '"' && data[at] != '\n') ++at;
  return at;
}

// One pass over the text: the blocks, their keys and values, as the engine's
// tokenizer sees them, with a quote pairing only within its line.
class Checker {
 public:
  Checker(std::string_view text, const EntityCheckOptions& options) : text_(text), options_(options) {}

  std::vector<CheckFinding> Run() {
    if (const size_t nul = text_.find('\0'); nul != std::string_view::npos) {
      Add(CheckSeverity::kError, nul, "a NUL byte: the engine's entity text ends here");
    }
    size_t i = 0;
    while (i < text_.size()) {
      const char c = text_[i];
      if (IsBlank(c) || c == '\0') {
        ++i;
      } else if (c == '{') {
        OpenBlock(i);
        ++i;
      } else if (c == '}') {
        CloseBlock(i);
        ++i;
      } else if (c == '"') {
        const size_t pairEnd = inBlock_ && !pendingKey_ ? KeyValuePair(i) : 0;
        i = pairEnd != 0 ? pairEnd : QuotedToken(i);
      } else if (IsCommentAt(text_, i)) {
        // Xash3D FWGS COM_ParseFile and GoldSrc COM_Parse skip it; compile
        // tools and other editors may read it as text.
        Add(CheckSeverity::kWarning, i, "a // comment: the engine skips it to the line end, other tools may not");
        i = CommentEnd(text_, i);
      } else {
        i = BareToken(i);
      }
    }
    if (inBlock_) {
      Add(CheckSeverity::kError, blockStart_, "block not closed: no '}' before the end of the text");
      EndBlock();
    }
    CheckWholeText();
    Locate();
    return std::move(findings_);
  }

 private:
  struct KeyValue {
    std::string_view key;
    std::string_view value;
    size_t at;
  };
  struct Link {
    std::string_view key;
    std::string_view name;
    size_t at;
    bool inKey;  // a multi_manager's key
  };

  void Add(CheckSeverity severity, size_t offset, std::string message) {
    findings_.push_back({severity, offset, 1, 1, std::move(message)});
  }

  void OpenBlock(size_t at) {
    if (inBlock_) {
      Add(CheckSeverity::kError, at, "'{' inside a block: the block before it has no '}'");
      EndBlock();
    }
    inBlock_ = true;
    strayReported_ = false;
    blockStart_ = at;
    classname_.reset();
    keys_.clear();
    keyBits_ = {};
    mayRepeat_ = false;
    pendingKey_.reset();
    if (blockOffsets_.empty()) firstBlock_ = at;
    blockOffsets_.push_back(at);
  }

  void CloseBlock(size_t at) {
    strayReported_ = false;
    if (!inBlock_) {
      Add(CheckSeverity::kError, at, "'}' closes no block");
      return;
    }
    EndBlock();
  }

  // The checks of a block that need all of it.
  void EndBlock() {
    inBlock_ = false;
    if (pendingKey_) {
      Add(CheckSeverity::kError, pendingKey_->second,
          "key " + Quoted(pendingKey_->first) + " has no value: the engine finds '}' where the value belongs");
    }
    if (classname_) modes_.Count(*classname_);
    if (!classname_) {
      Add(CheckSeverity::kError, blockStart_, "block without \"classname\"");
    } else if (Is(*classname_, kWorldspawn)) {
      if (worldspawns_ == 0 && blockOffsets_.size() != 1) {
        Add(CheckSeverity::kError, blockStart_,
            "worldspawn is not the first block: the engine takes the first block for the world");
      } else if (worldspawns_ > 0) {
        Add(CheckSeverity::kError, blockStart_,
            "a second worldspawn: the engine keeps the first world and \"can't delete world\"");
      }
      ++worldspawns_;
    }
    // A key given again with another value than it had just before. The
    // compile tools write worldspawn's "classname" and "mapversion" twice
    // with one value, which changes nothing.
    if (mayRepeat_) FindKeysGivenTwice();
    CollectLinks();
  }

  // The block's "targetname"s and the names its link keys give, for the
  // check of the whole text.
  void CollectLinks() {
    const std::string_view className = classname_.value_or(std::string_view());
    size_t multiTargets = 0;
    for (const KeyValue& pair : keys_) {
      if (pair.key == kTargetnameKey) {
        if (!pair.value.empty()) targetnames_.push_back(pair.value);
        continue;
      }
      switch (LinkPlaceOf(className, pair.key)) {
        case LinkPlace::kNone: break;
        case LinkPlace::kValue:
          if (!pair.value.empty()) links_.push_back({pair.key, pair.value, pair.at, false});
          break;
        case LinkPlace::kKey:
          if (++multiTargets == kMaxMultiTargets + 1) {
            Add(CheckSeverity::kWarning, pair.at,
                "a multi_manager with more than " + std::to_string(kMaxMultiTargets) +
                    " targets: the game fires the first " + std::to_string(kMaxMultiTargets));
          }
          if (const std::string_view name = MultiManagerTarget(pair.key); !name.empty()) {
            links_.push_back({pair.key, name, pair.at, true});
          }
          break;
      }
    }
  }

  // A link that names no "targetname" fires, follows or asks nothing.
  void CheckLinks() {
    if (links_.empty()) return;
    std::sort(targetnames_.begin(), targetnames_.end());
    for (const Link& link : links_) {
      if (std::binary_search(targetnames_.begin(), targetnames_.end(), link.name)) continue;
      Add(CheckSeverity::kWarning, link.at,
          (link.inKey ? "multi_manager key " + Quoted(link.key) : Quoted(link.key) + " " + Quoted(link.name)) +
              " names no entity: no block has \"targetname\" " + Quoted(link.name));
    }
  }

  void WarnGivenTwice(const KeyValue& again) {
    if (Is(again.key, kClassnameKey)) {
      Add(CheckSeverity::kWarning, again.at,
          "key \"classname\" given twice in this block with different values: the engine takes the first, " +
              Quoted(classname_.value_or(std::string_view())));
      return;
    }
    Add(CheckSeverity::kWarning, again.at,
        "key " + Quoted(again.key) + " given twice in this block with different values: most entities keep the last");
  }

  void FindKeysGivenTwice() {
    // A block has a handful of keys: comparing each with those before it
    // costs less than sorting them.
    constexpr size_t kFewKeys = 32;
    if (keys_.size() <= kFewKeys) {
      for (size_t k = 1; k < keys_.size(); ++k) {
        for (size_t before = k; before-- > 0;) {
          if (keys_[before].key != keys_[k].key) continue;
          if (keys_[before].value != keys_[k].value) WarnGivenTwice(keys_[k]);
          break;
        }
      }
      return;
    }
    // Sorted by key, equal keys in text order.
    std::stable_sort(keys_.begin(), keys_.end(), [](const KeyValue& a, const KeyValue& b) { return a.key < b.key; });
    for (size_t k = 1; k < keys_.size(); ++k) {
      if (keys_[k].key == keys_[k - 1].key && keys_[k].value != keys_[k - 1].value) WarnGivenTwice(keys_[k]);
    }
  }

  // The line most of a text is made of, `"key" "value"`, from its first
  // quote at `at` in one go: what its two quoted tokens give, read faster.
  // 0 when the bytes take another shape, to be read token by token.
  size_t KeyValuePair(size_t at) {
    const size_t keyEnd = FindQuoteOrLineEnd(text_, at + 1);
    if (keyEnd + 2 >= text_.size() || text_[keyEnd] != '"' || text_[keyEnd + 1] != ' ' || text_[keyEnd + 2] != '"') {
      return 0;
    }
    const size_t valueAt = keyEnd + 2;
    const size_t valueEnd = FindQuoteOrLineEnd(text_, valueAt + 1);
    if (valueEnd >= text_.size() || text_[valueEnd] != '"') return 0;
    const std::string_view key(text_.data() + at + 1, keyEnd - at - 1);
    CheckKey(key, at);
    Pair(key, at, std::string_view(text_.data() + valueAt + 1, valueEnd - valueAt - 1), valueAt);
    return valueEnd + 1;
  }

  // A token from `at` on, which is a '"': up to the next '"' on the line.
  size_t QuotedToken(size_t at) {
    const size_t from = at + 1;
    const size_t end = FindQuoteOrLineEnd(text_, from);
    if (end < text_.size() && text_[end] == '"') {
      Token(text_.substr(from, end - from), at);
      return end + 1;
    }
    Add(CheckSeverity::kError, at,
        "the quotes on this line do not pair up: the engine runs this string on into the next line");
    // Taken as ending with the line, so that one missing quote is one error.
    size_t last = end;
    if (last > from && text_[last - 1] == '\r') --last;
    Token(text_.substr(from, last - from), at);
    return end;
  }

  size_t BareToken(size_t at) {
    size_t end = at;
    while (end < text_.size() && !IsBlank(text_[end]) && text_[end] != '\0' && text_[end] != '"' && text_[end] != '{' &&
           text_[end] != '}') {
      ++end;
    }
    Token(text_.substr(at, end - at), at);
    return end;
  }

  void Token(std::string_view token, size_t at) {
    if (!inBlock_) {
      // One error for each stretch between blocks, not one for each word.
      if (!strayReported_) {
        Add(CheckSeverity::kError, at, "text outside a block: only blank space may stand between blocks");
        strayReported_ = true;
      }
      return;
    }
    if (!pendingKey_) {
      pendingKey_.emplace(token, at);
      CheckKey(token, at);
      return;
    }
    const auto [key, keyAt] = *pendingKey_;
    pendingKey_.reset();
    Pair(key, keyAt, token, at);
  }

  void CheckKey(std::string_view key, size_t at) {
    if (key.size() <= kOldMaxKeyBytes) [[likely]]
      return;
    if (key.size() > kMaxKeyBytes) {
      Add(CheckSeverity::kWarning, at,
          "key of " + std::to_string(key.size()) + " bytes: the compile tools keep " + std::to_string(kMaxKeyBytes));
    } else {
      Add(CheckSeverity::kWarning, at,
          "key of " + std::to_string(key.size()) + " bytes: older compilers keep " + std::to_string(kOldMaxKeyBytes));
    }
  }

  // A key and its value, inside a block.
  void Pair(std::string_view key, size_t keyAt, std::string_view value, size_t valueAt) {
    // One bit of a small mask per key: a key given twice is looked for only
    // when its bit was set already.
    const unsigned hash = key.empty()
                              ? 0U
                              : static_cast<unsigned>(key.size()) * 37U + static_cast<unsigned char>(key.front()) * 7U +
                                    static_cast<unsigned char>(key.back());
    const std::uint64_t bit = std::uint64_t{1} << (hash & 63U);
    std::uint64_t& bits = keyBits_[(hash >> 6U) & 3U];
    if ((bits & bit) != 0) mayRepeat_ = true;
    bits |= bit;
    keys_.push_back({key, value, keyAt});
    if (value.size() > kOldMaxValueBytes) [[unlikely]]
      CheckValueLength(value, valueAt);
    // Xash3D FWGS COM_ParseFile takes \" for a quote inside a string, so a
    // value that ends in a backslash runs on into the next line there.
    if (!value.empty() && value.back() == '\\') [[unlikely]] {
      Add(CheckSeverity::kWarning, valueAt,
          "value ends in a backslash: Xash3D FWGS reads \\\" as a quote inside it and runs it on into the next "
          "line");
    }
    // The engine makes the entity of its first class (SV_ParseEdict).
    if (Is(key, kClassnameKey)) {
      if (!classname_) classname_ = value;
    } else if (Is(key, kModelKey) && options_.modelCount) {
      CheckBrushModel(value, valueAt);
    }
  }

  void CheckValueLength(std::string_view value, size_t at) {
    const std::string size = "value of " + std::to_string(value.size()) + " bytes: ";
    if (value.size() > kMaxValueBytes) {
      Add(CheckSeverity::kWarning, at,
          size + "the compile tools keep " + std::to_string(kMaxValueBytes) + " and the engine reads " +
              std::to_string(kMaxTokenBytes));
    } else if (value.size() > kMaxTokenBytes) {
      Add(CheckSeverity::kWarning, at, size + "the engine reads " + std::to_string(kMaxTokenBytes));
    } else if (value.size() > kOldMaxValueBytes) {
      Add(CheckSeverity::kWarning, at, size + "older compilers keep " + std::to_string(kOldMaxValueBytes));
    }
  }

  // "*N" names the map's brush model N; "*0" is the world itself.
  void CheckBrushModel(std::string_view value, size_t at) {
    if (value.size() < 2 || value[0] != '*') return;
    size_t number = 0;
    const char* const end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data() + 1, end, number);
    if (stop != end) return;
    const size_t count = *options_.modelCount;
    if (error == std::errc() && number < count) return;
    std::string has = count > 1 ? "*1 to *" + std::to_string(count - 1) : "none";
    Add(CheckSeverity::kError, at,
        "\"model\" " + Quoted(value) + " names a brush model the map does not have (it has " + has + ")");
  }

  // The checks of the whole: its size, its world, its number of entities.
  // The teams' spawns and the mode the map's name promises (ReGameDLL
  // TeamFull: a team is full at as many players as it has spawns;
  // CheckMapConditions: the mode comes from the entities).
  void CheckTeamsAndMode() {
    const std::optional<MapMode> promised =
        options_.mapName ? PromisedMode(*options_.mapName) : std::optional<MapMode>();
    // A Half-Life map is no Counter-Strike map: only a map whose name or
    // entities say so is held to the teams' spawns.
    if (!promised && !modes_.IsCounterStrike()) return;
    const struct {
      const char* team;
      std::string_view spawn;
      size_t count;
    } teams[] = {{"Terrorist", kTerroristSpawn, modes_.terroristSpawns},
                 {"Counter-Terrorist", kCounterTerroristSpawn, modes_.counterTerroristSpawns}};
    for (const auto& team : teams) {
      if (team.count == 0) {
        Add(CheckSeverity::kWarning, firstBlock_,
            std::string("no ") + team.team + " spawn (" + std::string(team.spawn) +
                "): the team counts as full and no one can join it");
      } else if (options_.maxPlayers && team.count < (*options_.maxPlayers + 1) / 2) {
        Add(CheckSeverity::kWarning, firstBlock_,
            std::to_string(team.count) + " " + team.team + " spawns (" + std::string(team.spawn) + ") for " +
                std::to_string(*options_.maxPlayers) + " players: the team is full at " + std::to_string(team.count));
      }
    }
    if (!promised || !options_.mapName) return;
    const MapMode mode = promised.value_or(MapMode::kBomb);
    if (!modes_.Has(mode)) {
      Add(CheckSeverity::kWarning, firstBlock_,
          "a " + std::string(ModePrefix(mode)) + " map without " + ModeClasses(mode) + ": the game plays no " +
              std::string(ModeName(mode)) + " mode on it");
    }
  }

  void CheckWholeText() {
    CheckTeamsAndMode();
    CheckLinks();
    const size_t lumpBytes = options_.lumpBytes.value_or(text_.size() + 1);
    if (lumpBytes < kMinEntityLumpBytes) {
      Add(CheckSeverity::kError, 0,
          "entity text too short: " + std::to_string(lumpBytes) +
              " bytes with its NUL, the engine loads no fewer than " + std::to_string(kMinEntityLumpBytes));
    } else if (lumpBytes > kMaxEntityLumpBytes) {
      Add(CheckSeverity::kWarning, std::min(kMaxEntityLumpBytes, text_.size()),
          "entity text of " + std::to_string(lumpBytes) + " bytes with its NUL, more than the engines' " +
              std::to_string(kMaxEntityLumpBytes) + " (2 MiB)");
    }
    if (worldspawns_ == 0) {
      Add(CheckSeverity::kError, firstBlock_, "no worldspawn: the first block must be the world's");
    }

    const size_t count = blockOffsets_.size();
    const std::string entities = std::to_string(count) + " entities";
    if (count > options_.maxEntities) {
      Add(CheckSeverity::kError, blockOffsets_[options_.maxEntities],
          entities + ", more than the " + std::to_string(options_.maxEntities) +
              " the engine holds with the world and the players (--max-entities N for another limit)");
    } else if (count > kCompilerMaxEntities) {
      Add(CheckSeverity::kWarning, blockOffsets_[kCompilerMaxEntities],
          entities + ": the compile tools hold " + std::to_string(kCompilerMaxEntities));
    } else if (count > kOldCompilerMaxEntities) {
      Add(CheckSeverity::kWarning, blockOffsets_[kOldCompilerMaxEntities],
          entities + ": older compilers hold " + std::to_string(kOldCompilerMaxEntities));
    } else if (count > kOldMaxEdicts) {
      Add(CheckSeverity::kWarning, blockOffsets_[kOldMaxEdicts],
          entities + ": servers before the 2023 Half-Life update hold " + std::to_string(kOldMaxEdicts) +
              " with the world and the players");
    }
  }

  // Puts the findings in text order and gives each its line and column.
  void Locate() {
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const CheckFinding& a, const CheckFinding& b) { return a.offset < b.offset; });
    size_t line = 1;
    size_t lineStart = 0;
    size_t scanned = 0;
    for (CheckFinding& finding : findings_) {
      const size_t offset = std::min(finding.offset, text_.size());
      while (scanned < offset) {
        const void* found = std::memchr(text_.data() + scanned, '\n', offset - scanned);
        if (found == nullptr) {
          scanned = offset;
          break;
        }
        scanned = static_cast<size_t>(static_cast<const char*>(found) - text_.data()) + 1;
        ++line;
        lineStart = scanned;
      }
      finding.line = line;
      finding.column = offset - lineStart + 1;
    }
  }

  std::string_view text_;
  const EntityCheckOptions& options_;
  std::vector<CheckFinding> findings_;

  bool inBlock_ = false;
  bool strayReported_ = false;
  size_t blockStart_ = 0;
  size_t firstBlock_ = 0;
  std::vector<size_t> blockOffsets_;
  size_t worldspawns_ = 0;
  std::optional<std::string_view> classname_;
  std::optional<std::pair<std::string_view, size_t>> pendingKey_;
  std::vector<KeyValue> keys_;
  std::array<std::uint64_t, 4> keyBits_{};
  MapModes modes_;
  std::vector<std::string_view> targetnames_;
  std::vector<Link> links_;
  bool mayRepeat_ = false;
};

}  // namespace

std::vector<CheckFinding> CheckEntityText(std::string_view text, const EntityCheckOptions& options) {
  return Checker(text, options).Run();
}

bool HasErrors(const std::vector<CheckFinding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const CheckFinding& finding) { return finding.severity == CheckSeverity::kError; });
}

std::string FormatFinding(std::string_view path, const CheckFinding& finding, bool asWarning) {
  const bool error = finding.severity == CheckSeverity::kError && !asWarning;
  return std::string(path) + ":" + std::to_string(finding.line) + ":" + std::to_string(finding.column) +
         (error ? ": error: " : ": warning: ") + finding.message;
}

std::string DescribeProblem(const CheckFinding& finding) {
  return std::string(finding.severity == CheckSeverity::kError ? "error " : "warning ") + std::to_string(finding.line) +
         ":" + std::to_string(finding.column) + " " + finding.message;
}

std::string ProblemsHeading(size_t count) {
  return count == 0 ? std::string("Problems: none") : "Problems: " + std::to_string(count);
}

}  // namespace lw
