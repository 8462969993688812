#include "entities/ValuePattern.h"

#include <cctype>
#include <utility>

namespace lw {
namespace {

using Op = ValuePattern::Op;
using Step = ValuePattern::Step;
using ByteSet = ValuePattern::ByteSet;

// A piece of the program whose jump targets count from its own first step; a
// target equal to its size means "the step after it".
using Code = std::vector<Step>;

bool Jumps(Op op) { return op == Op::kSplit || op == Op::kJump; }

void Append(Code& to, const Code& piece) {
  const auto base = static_cast<std::uint32_t>(to.size());
  for (Step step : piece) {
    if (Jumps(step.op)) {
      step.x += base;
      step.y += base;
    }
    to.push_back(step);
  }
}

bool IsWordByte(unsigned char c) { return std::isalnum(c) != 0 || c == '_'; }

ByteSet SetOf(bool (*member)(unsigned char)) {
  ByteSet set;
  for (unsigned c = 0; c < 256; ++c) set[c] = member(static_cast<unsigned char>(c));
  return set;
}

bool IsDigitByte(unsigned char c) { return c >= '0' && c <= '9'; }
// As RE2 and PCRE: space, \t, \n, \v, \f, \r.
bool IsSpaceByte(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

class Parser {
 public:
  Parser(std::string_view pattern, std::vector<ByteSet>& sets) : pattern_(pattern), sets_(sets) {}

  std::optional<Code> Run(std::string* error) {
    if (pattern_.substr(0, 4) == "(?i)") {
      caseless_ = true;
      at_ = 4;
    }
    Code code;
    if (Alternation(code, 0)) {
      if (at_ < pattern_.size()) Fail("unmatched ')'");  // Alternation stops only at ')' or the end
    }
    if (!error_.empty()) {
      if (error != nullptr) *error = error_;
      return std::nullopt;
    }
    code.push_back({Op::kMatch});
    return code;
  }

 private:
  bool Fail(std::string what) {
    if (error_.empty()) error_ = std::move(what) + " at " + std::to_string(at_ + 1);
    return false;
  }

  bool Fits(const Code& code, size_t more) {
    if (code.size() + more <= ValuePattern::kMaxSteps) return true;
    return Fail("the pattern is too large (more than " + std::to_string(ValuePattern::kMaxSteps) + " steps)");
  }

  [[nodiscard]] bool AtEnd() const { return at_ >= pattern_.size(); }
  [[nodiscard]] char Peek() const { return pattern_[at_]; }

  // alternatives separated by '|', up to a ')' or the end
  bool Alternation(Code& out, int depth) {
    if (depth > ValuePattern::kMaxNesting) return Fail("groups nested too deeply");
    Code first;
    if (!Sequence(first, depth)) return false;
    if (AtEnd() || Peek() != '|') {
      out = std::move(first);
      return true;
    }
    ++at_;
    Code rest;
    if (!Alternation(rest, depth + 1)) return false;
    // split a, b; a: first; jump end; b: rest
    if (!Fits(first, rest.size() + 2)) return false;
    const auto firstSize = static_cast<std::uint32_t>(first.size());
    const auto restSize = static_cast<std::uint32_t>(rest.size());
    out.clear();
    out.push_back({Op::kSplit, 1, firstSize + 2});
    Append(out, first);
    out.push_back({Op::kJump, firstSize + 2 + restSize, 0});
    Append(out, rest);
    return true;
  }

  bool Sequence(Code& out, int depth) {
    while (!AtEnd() && Peek() != '|' && Peek() != ')') {
      Code atom;
      if (!Atom(atom, depth)) return false;
      if (!Quantified(atom)) return false;
      if (!Fits(out, atom.size())) return false;
      Append(out, atom);
    }
    return true;
  }

  bool Atom(Code& out, int depth) {
    const char c = Peek();
    switch (c) {
      case '*':
      case '+':
      case '?': return Fail("nothing to repeat");
      case '(': return Group(out, depth);
      case '[': return Set(out);
      case '.': {
        ++at_;
        ByteSet any;
        any.set();
        any[static_cast<unsigned char>('\n')] = false;
        out.push_back(SetStep(any));
        return true;
      }
      case '^':
        ++at_;
        out.push_back({Op::kStart});
        return true;
      case '$':
        ++at_;
        out.push_back({Op::kEnd});
        return true;
      case '\\': return Escape(out);
      default:
        ++at_;
        out.push_back(ByteStep(static_cast<unsigned char>(c)));
        return true;
    }
  }

  bool Group(Code& out, int depth) {
    ++at_;  // '('
    if (!AtEnd() && Peek() == '?') {
      if (pattern_.substr(at_, 2) != "?:") {
        return Fail("only (?: ) groups and a leading (?i) are supported, not look-arounds or flags");
      }
      at_ += 2;
    }
    if (!Alternation(out, depth + 1)) return false;
    if (AtEnd()) return Fail("missing ')'");
    ++at_;
    return true;
  }

  // [...] with ranges and escapes; a ']' first is a member.
  bool Set(Code& out) {
    ++at_;  // '['
    bool negated = false;
    if (!AtEnd() && Peek() == '^') {
      negated = true;
      ++at_;
    }
    ByteSet set;
    bool first = true;
    while (true) {
      if (AtEnd()) return Fail("missing ']'");
      if (Peek() == ']' && !first) break;
      first = false;
      int low = 0;
      if (!SetMember(set, low)) return false;
      if (low < 0) continue;  // a class such as \d
      if (at_ + 1 < pattern_.size() && Peek() == '-' && pattern_[at_ + 1] != ']') {
        ++at_;
        int high = 0;
        ByteSet ignored;
        if (!SetMember(ignored, high)) return false;
        if (high < 0) return Fail("a range cannot end in a class");
        if (high < low) return Fail("a range out of order");
        for (int b = low; b <= high; ++b) set[static_cast<unsigned>(b)] = true;
        continue;
      }
      set[static_cast<unsigned>(low)] = true;
    }
    ++at_;  // ']'
    if (caseless_) Fold(set);
    if (negated) set.flip();
    out.push_back({Op::kSet, AddSet(set)});
    return true;
  }

  // One member of a set: a byte (`byte` set to it) or a class escape added to
  // `set` (`byte` set to -1).
  bool SetMember(ByteSet& set, int& byte) {
    const auto c = static_cast<unsigned char>(Peek());
    // RE2 and PCRE read "[:digit:]" inside a set as a class, std::regex also
    // "[.a.]" and "[=a=]": refused rather than taken for their bytes.
    if (c == '[' && at_ + 1 < pattern_.size() &&
        (pattern_[at_ + 1] == ':' || pattern_[at_ + 1] == '.' || pattern_[at_ + 1] == '=')) {
      return Fail("POSIX classes such as [:digit:] are not supported (\\d, \\w and \\s are)");
    }
    ++at_;
    if (c != '\\') {
      byte = c;
      return true;
    }
    if (AtEnd()) return Fail("a '\\' at the end");
    const char e = Peek();
    if (e == 'b') {  // a backspace inside a set, as in PCRE
      ++at_;
      byte = '\b';
      return true;
    }
    if (const std::optional<ByteSet> cls = ClassEscape(e)) {
      ++at_;
      set |= *cls;
      byte = -1;
      return true;
    }
    return EscapedByte(byte);
  }

  bool Escape(Code& out) {
    ++at_;  // '\'
    if (AtEnd()) return Fail("a '\\' at the end");
    const char e = Peek();
    if (e == 'b' || e == 'B') {
      ++at_;
      out.push_back({e == 'b' ? Op::kWordEdge : Op::kNotWordEdge});
      return true;
    }
    if (const std::optional<ByteSet> cls = ClassEscape(e)) {
      ++at_;
      out.push_back({Op::kSet, AddSet(*cls)});
      return true;
    }
    int byte = 0;
    if (!EscapedByte(byte)) return false;
    out.push_back(ByteStep(static_cast<unsigned char>(byte)));
    return true;
  }

  static std::optional<ByteSet> ClassEscape(char e) {
    switch (e) {
      case 'd': return SetOf(IsDigitByte);
      case 'D': return ~SetOf(IsDigitByte);
      case 'w': return SetOf(IsWordByte);
      case 'W': return ~SetOf(IsWordByte);
      case 's': return SetOf(IsSpaceByte);
      case 'S': return ~SetOf(IsSpaceByte);
      default: return std::nullopt;
    }
  }

  // The byte an escape after its '\' stands for: a control escape, \xHH, or
  // any punctuation as itself. Letters and digits with other meanings
  // elsewhere (back-references, \p, \A ...) are refused.
  bool EscapedByte(int& byte) {
    const auto e = static_cast<unsigned char>(Peek());
    ++at_;
    switch (e) {
      case 't': byte = '\t'; return true;
      case 'n': byte = '\n'; return true;
      case 'r': byte = '\r'; return true;
      case 'f': byte = '\f'; return true;
      case 'v': byte = '\v'; return true;
      case 'x': {
        if (at_ + 2 > pattern_.size() || std::isxdigit(static_cast<unsigned char>(pattern_[at_])) == 0 ||
            std::isxdigit(static_cast<unsigned char>(pattern_[at_ + 1])) == 0) {
          return Fail("\\x needs two hex digits");
        }
        byte = std::stoi(std::string(pattern_.substr(at_, 2)), nullptr, 16);
        at_ += 2;
        return true;
      }
      default: break;
    }
    if (std::isalnum(e) != 0) {
      at_ -= 2;  // at the '\'
      return Fail(std::string("the escape \\") + static_cast<char>(e) + " is not supported");
    }
    byte = e;
    return true;
  }

  // A '*', '+', '?' or {n,m} after the atom, with an optional lazy '?'.
  bool Quantified(Code& atom) {
    if (AtEnd()) return true;
    size_t low = 0;
    size_t high = 0;
    bool unbounded = false;
    const char q = Peek();
    if (q == '*' || q == '+' || q == '?') {
      ++at_;
      low = q == '+' ? 1 : 0;
      high = q == '?' ? 1 : 0;
      unbounded = q != '?';
    } else if (q == '{') {
      if (!Counts(low, high, unbounded)) return error_.empty();  // not a count: a literal '{' follows
    } else {
      return true;
    }
    // Matching is a yes or no, so a lazy quantifier matches as a greedy one.
    if (!AtEnd() && Peek() == '?') ++at_;
    if (!AtEnd() && Peek() == '+') return Fail("possessive quantifiers are not supported");
    if (!AtEnd() && (Peek() == '*' || Peek() == '?' || (Peek() == '{' && LooksLikeCount()))) {
      return Fail("nothing to repeat");
    }
    return Repeat(atom, low, high, unbounded);
  }

  [[nodiscard]] bool LooksLikeCount() const {
    size_t i = at_ + 1;
    if (i >= pattern_.size() || std::isdigit(static_cast<unsigned char>(pattern_[i])) == 0) return false;
    while (i < pattern_.size() && (std::isdigit(static_cast<unsigned char>(pattern_[i])) != 0 || pattern_[i] == ','))
      ++i;
    return i < pattern_.size() && pattern_[i] == '}';
  }

  // {n}, {n,} or {n,m}; false without an error when the '{' starts no count
  // (it is then a literal, as in RE2 and PCRE).
  bool Counts(size_t& low, size_t& high, bool& unbounded) {
    if (!LooksLikeCount()) return false;
    size_t i = at_ + 1;
    const auto number = [&](size_t& value) {
      value = 0;
      const size_t from = i;
      while (i < pattern_.size() && std::isdigit(static_cast<unsigned char>(pattern_[i])) != 0) {
        value = value * 10 + static_cast<size_t>(pattern_[i] - '0');
        if (value > ValuePattern::kMaxSteps) value = ValuePattern::kMaxSteps + 1;
        ++i;
      }
      return i > from;
    };
    if (!number(low)) return false;
    high = low;
    unbounded = false;
    if (pattern_[i] == ',') {
      ++i;
      if (!number(high)) unbounded = true;
    }
    if (pattern_[i] != '}') return false;  // "{2,3,4}" is no count either
    if (!unbounded && high < low) {
      return Fail("a count out of order");
    }
    at_ = i + 1;
    return true;
  }

  bool Repeat(Code& atom, size_t low, size_t high, bool unbounded) {
    const Code one = atom;
    const size_t n = one.size();
    const size_t optional = unbounded ? 1 : high - low;
    // Each optional copy takes a split besides its steps; an unbounded one a jump as well.
    if (low > ValuePattern::kMaxSteps || optional > ValuePattern::kMaxSteps ||
        (low + optional) * (n + 2) > ValuePattern::kMaxSteps) {
      return Fits(atom, ValuePattern::kMaxSteps + 1);
    }
    Code out;
    for (size_t i = 0; i < low; ++i) Append(out, one);
    const auto size = static_cast<std::uint32_t>(n);
    if (unbounded) {
      // loop: split body, end; body; jump loop
      Code loop;
      loop.push_back({Op::kSplit, 1, size + 2});
      Append(loop, one);
      loop.push_back({Op::kJump, 0, 0});
      Append(out, loop);
    } else {
      for (size_t i = 0; i < optional; ++i) {
        Code maybe;
        maybe.push_back({Op::kSplit, 1, size + 1});
        Append(maybe, one);
        Append(out, maybe);
      }
    }
    atom = std::move(out);
    return true;
  }

  Step ByteStep(unsigned char c) {
    if (caseless_ && std::isalpha(c) != 0) {
      ByteSet set;
      set[static_cast<unsigned char>(std::tolower(c))] = true;
      set[static_cast<unsigned char>(std::toupper(c))] = true;
      return {Op::kSet, AddSet(set)};
    }
    return {Op::kByte, c};
  }

  Step SetStep(const ByteSet& set) { return {Op::kSet, AddSet(set)}; }

  static void Fold(ByteSet& set) {
    for (unsigned c = 'A'; c <= 'Z'; ++c) {
      const bool either = set[c] || set[c + 32];
      set[c] = set[c + 32] = either;
    }
  }

  std::uint32_t AddSet(const ByteSet& set) {
    for (size_t i = 0; i < sets_.size(); ++i) {
      if (sets_[i] == set) return static_cast<std::uint32_t>(i);
    }
    sets_.push_back(set);
    return static_cast<std::uint32_t>(sets_.size() - 1);
  }

  std::string_view pattern_;
  std::vector<ByteSet>& sets_;
  size_t at_ = 0;
  bool caseless_ = false;
  std::string error_;
};

// The steps a search is at: each at most once, in the order added.
class StepList {
 public:
  explicit StepList(size_t steps) : index_(steps), dense_(steps) {}
  [[nodiscard]] bool Has(std::uint32_t step) const {
    const std::uint32_t i = index_[step];
    return i < size_ && dense_[i] == step;
  }
  void Add(std::uint32_t step) {
    index_[step] = static_cast<std::uint32_t>(size_);
    dense_[size_++] = step;
  }
  void Clear() { size_ = 0; }
  [[nodiscard]] size_t Size() const { return size_; }
  [[nodiscard]] std::uint32_t operator[](size_t i) const { return dense_[i]; }

 private:
  std::vector<std::uint32_t> index_;
  std::vector<std::uint32_t> dense_;
  size_t size_ = 0;
};

}  // namespace

std::optional<ValuePattern> ValuePattern::Compile(std::string_view pattern, std::string* error) {
  ValuePattern compiled;
  std::optional<Code> code = Parser(pattern, compiled.sets_).Run(error);
  if (!code) return std::nullopt;
  compiled.steps_ = std::move(*code);
  compiled.anchored_ = compiled.steps_.front().op == Op::kStart;
  return compiled;
}

bool ValuePattern::Search(std::string_view value) const {
  const size_t n = value.size();
  StepList current(steps_.size());
  StepList next(steps_.size());
  std::vector<std::uint32_t> pending;  // the explicit stack of the jumps followed
  pending.reserve(steps_.size());

  const auto at = [&](size_t pos) -> unsigned char { return pos < n ? static_cast<unsigned char>(value[pos]) : 0; };
  const auto wordEdge = [&](size_t pos) {
    const bool before = pos > 0 && IsWordByte(at(pos - 1));
    const bool after = pos < n && IsWordByte(at(pos));
    return before != after;
  };
  // Follows jumps, splits and assertions from `from` at `pos`, adding the
  // steps that read a byte to `list`; true when a match is reached.
  const auto add = [&](StepList& list, std::uint32_t from, size_t pos) {
    pending.clear();
    pending.push_back(from);
    while (!pending.empty()) {
      const std::uint32_t s = pending.back();
      pending.pop_back();
      if (list.Has(s)) continue;
      list.Add(s);
      const Step& step = steps_[s];
      switch (step.op) {
        case Op::kMatch: return true;
        case Op::kJump: pending.push_back(step.x); break;
        case Op::kSplit:
          pending.push_back(step.y);
          pending.push_back(step.x);
          break;
        case Op::kStart:
          if (pos == 0) pending.push_back(s + 1);
          break;
        case Op::kEnd:
          if (pos == n) pending.push_back(s + 1);
          break;
        case Op::kWordEdge:
          if (wordEdge(pos)) pending.push_back(s + 1);
          break;
        case Op::kNotWordEdge:
          if (!wordEdge(pos)) pending.push_back(s + 1);
          break;
        case Op::kByte:
        case Op::kSet:
        case Op::kAny: break;
      }
    }
    return false;
  };

  for (size_t pos = 0;; ++pos) {
    if ((!anchored_ || pos == 0) && add(current, 0, pos)) return true;
    if (pos == n || (anchored_ && current.Size() == 0)) return false;
    const unsigned char c = at(pos);
    next.Clear();
    for (size_t i = 0; i < current.Size(); ++i) {
      const Step& step = steps_[current[i]];
      bool moves = false;
      switch (step.op) {
        case Op::kByte: moves = step.x == c; break;
        case Op::kSet: moves = sets_[step.x][c]; break;
        case Op::kAny: moves = true; break;
        default: break;
      }
      if (moves && add(next, current[i] + 1, pos + 1)) return true;
    }
    std::swap(current, next);
  }
}

}  // namespace lw
