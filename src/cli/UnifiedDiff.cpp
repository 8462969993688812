#include "cli/UnifiedDiff.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lw {
namespace {

// Signed, since the search walks diagonals x - y, which go below zero.
using Index = std::ptrdiff_t;

Index Size(const auto& container) { return static_cast<Index>(container.size()); }

// Each line with its '\n', if it has one: a last line without it differs
// from the same line with it, as it must for the "No newline" mark.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  lines.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  size_t start = 0;
  while (start < text.size()) {
    const size_t newline = text.find('\n', start);
    const size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

// Gives equal lines of both texts the same number, so that the search
// compares integers instead of strings.
class LineIds {
 public:
  std::vector<int> Of(const std::vector<std::string_view>& lines) {
    std::vector<int> ids;
    ids.reserve(lines.size());
    for (const std::string_view line : lines) ids.push_back(ids_.try_emplace(line, Count()).first->second);
    return ids;
  }
  [[nodiscard]] int Count() const { return static_cast<int>(ids_.size()); }

 private:
  std::unordered_map<std::string_view, int> ids_;
};

// Myers' O(ND) search in linear space: halve each box at the middle snake of
// its shortest edit script until one side is empty. Past `tooExpensive`
// edits in one box it splits at the furthest point reached instead, which
// gives up a little minimality to stay far from quadratic on texts that
// hardly match.
class MiddleSnakeDiff {
 public:
  MiddleSnakeDiff(const std::vector<int>& a, const std::vector<int>& b, Index tooExpensive, char* aChanged,
                  char* bChanged)
      : a_(a.data()),
        b_(b.data()),
        aCount_(Size(a)),
        bCount_(Size(b)),
        tooExpensive_(tooExpensive),
        aChanged_(aChanged),
        bChanged_(bChanged),
        forward_(a.size() + b.size() + 3),
        backward_(forward_.size()) {}

  void Run() {
    // A stack instead of recursion: the heuristic's splits need not halve.
    std::vector<Box> boxes{{0, aCount_, 0, bCount_, false}};
    while (!boxes.empty()) {
      Box box = boxes.back();
      boxes.pop_back();
      while (box.xOff < box.xLim && box.yOff < box.yLim && a_[box.xOff] == b_[box.yOff]) ++box.xOff, ++box.yOff;
      while (box.xOff < box.xLim && box.yOff < box.yLim && a_[box.xLim - 1] == b_[box.yLim - 1]) --box.xLim, --box.yLim;
      if (box.xOff == box.xLim) {
        std::fill(bChanged_ + box.yOff, bChanged_ + box.yLim, char{1});
      } else if (box.yOff == box.yLim) {
        std::fill(aChanged_ + box.xOff, aChanged_ + box.xLim, char{1});
      } else {
        const Split split = FindSplit(box);
        boxes.push_back({split.x, box.xLim, split.y, box.yLim, split.highMinimal});
        boxes.push_back({box.xOff, split.x, box.yOff, split.y, split.lowMinimal});
      }
    }
  }

 private:
  struct Box {
    Index xOff, xLim, yOff, yLim;
    bool minimal;
  };
  struct Split {
    Index x, y;
    bool lowMinimal, highMinimal;
  };
  static constexpr Index kFar = std::numeric_limits<Index>::max();

  // Furthest x reached on diagonal d, searching from the box's start or end.
  // Diagonals run from -bCount_ - 1 to aCount_ + 1, sentinels included.
  Index& Forward(Index d) { return forward_.data()[d + bCount_ + 1]; }
  Index& Backward(Index d) { return backward_.data()[d + bCount_ + 1]; }

  // Where to cut the box in two. Both parts are smaller than the box: its
  // first lines differ and so do its last, so no search from one end reaches
  // the other before the two meet.
  Split FindSplit(const Box& box) {
    const auto [xOff, xLim, yOff, yLim, minimal] = box;
    const Index dMin = xOff - yLim, dMax = xLim - yOff;
    const Index fMid = xOff - yOff, bMid = xLim - yLim;
    const bool odd = ((fMid - bMid) & 1) != 0;
    Index fMin = fMid, fMax = fMid, bMin = bMid, bMax = bMid;
    Forward(fMid) = xOff;
    Backward(bMid) = xLim;
    for (Index cost = 1;; ++cost) {
      // Widen the band of diagonals by one each way, or step back in at the
      // box's edge (each cost reaches every other diagonal); the sentinels
      // just outside the band make the neighbour inside it win.
      if (fMin > dMin)
        Forward(--fMin - 1) = -1;
      else
        ++fMin;
      if (fMax < dMax)
        Forward(++fMax + 1) = -1;
      else
        --fMax;
      for (Index d = fMax; d >= fMin; d -= 2) {
        const Index low = Forward(d - 1), high = Forward(d + 1);
        Index x = low < high ? high : low + 1;
        Index y = x - d;
        while (x < xLim && y < yLim && a_[x] == b_[y]) ++x, ++y;
        Forward(d) = x;
        if (odd && bMin <= d && d <= bMax && Backward(d) <= x) return {x, y, true, true};
      }
      if (bMin > dMin)
        Backward(--bMin - 1) = kFar;
      else
        ++bMin;
      if (bMax < dMax)
        Backward(++bMax + 1) = kFar;
      else
        --bMax;
      for (Index d = bMax; d >= bMin; d -= 2) {
        const Index low = Backward(d - 1), high = Backward(d + 1);
        Index x = low < high ? low : high - 1;
        Index y = x - d;
        while (x > xOff && y > yOff && a_[x - 1] == b_[y - 1]) --x, --y;
        Backward(d) = x;
        if (!odd && fMin <= d && d <= fMax && x <= Forward(d)) return {x, y, true, true};
      }
      if (minimal || cost < tooExpensive_) continue;

      // Too costly: split at whichever search got furthest along. The side it
      // covered costs at most `cost` edits, so that side is searched fully.
      Index fBestSum = -1, fBestX = xOff;
      for (Index d = fMax; d >= fMin; d -= 2) {
        Index x = std::min(Forward(d), xLim);
        Index y = x - d;
        if (y > yLim) x = yLim + d, y = yLim;
        if (x + y > fBestSum) fBestSum = x + y, fBestX = x;
      }
      Index bBestSum = kFar, bBestX = xLim;
      for (Index d = bMax; d >= bMin; d -= 2) {
        Index x = std::max(Backward(d), xOff);
        Index y = x - d;
        if (y < yOff) x = yOff + d, y = yOff;
        if (x + y < bBestSum) bBestSum = x + y, bBestX = x;
      }
      if ((xLim + yLim) - bBestSum < fBestSum - (xOff + yOff)) return {fBestX, fBestSum - fBestX, true, false};
      return {bBestX, bBestSum - bBestX, false, true};
    }
  }

  const int* a_;
  const int* b_;
  Index aCount_;
  Index bCount_;
  Index tooExpensive_;
  char* aChanged_;
  char* bChanged_;
  std::vector<Index> forward_;
  std::vector<Index> backward_;
};

// About the square root of the texts' size, but never small: below that the
// exact search is cheap enough.
Index TooExpensive(Index lineCount) {
  Index limit = 1;
  for (Index rest = lineCount + 3; rest != 0; rest >>= 2) limit <<= 1;
  return std::max<Index>(limit, 4096);
}

// Sets changed[i] for each line of `a` removed and each line of `b` added.
// The common head and tail are left out first, and so are lines found
// nowhere in the other text (they cannot be part of any match): that leaves
// the search only the lines that may pair up, without changing the result.
void MarkChanges(const std::vector<int>& aIds, const std::vector<int>& bIds, int idCount, Index tooExpensive,
                 char* aChanged, char* bChanged) {
  const int* a = aIds.data();
  const int* b = bIds.data();
  Index head = 0, aEnd = Size(aIds), bEnd = Size(bIds);
  while (head < aEnd && head < bEnd && a[head] == b[head]) ++head;
  while (aEnd > head && bEnd > head && a[aEnd - 1] == b[bEnd - 1]) --aEnd, --bEnd;

  std::vector<char> inA(static_cast<size_t>(idCount)), inB(static_cast<size_t>(idCount));
  for (Index i = head; i < aEnd; ++i) inA.data()[a[i]] = 1;
  for (Index j = head; j < bEnd; ++j) inB.data()[b[j]] = 1;
  const auto keep = [head](const int* ids, Index end, const std::vector<char>& inOther, char* changed,
                           std::vector<int>& kept, std::vector<Index>& at) {
    for (Index i = head; i < end; ++i) {
      if (inOther.data()[ids[i]]) {
        kept.push_back(ids[i]);
        at.push_back(i);
      } else {
        changed[i] = 1;
      }
    }
  };
  std::vector<int> keptA, keptB;
  std::vector<Index> atA, atB;
  keep(a, aEnd, inB, aChanged, keptA, atA);
  keep(b, bEnd, inA, bChanged, keptB, atB);

  std::vector<char> keptAChanged(keptA.size()), keptBChanged(keptB.size());
  MiddleSnakeDiff(keptA, keptB, tooExpensive, keptAChanged.data(), keptBChanged.data()).Run();
  for (size_t k = 0; k < keptA.size(); ++k) aChanged[atA[k]] = keptAChanged[k];
  for (size_t k = 0; k < keptB.size(); ++k) bChanged[atB[k]] = keptBChanged[k];
}

// Among equally short scripts, prefers the one `diff` prints: each run of
// changed lines slides over equal neighbours as far down as it goes (merging
// with the runs it meets), then back up to line up with a run of changes in
// the other text if it passed one. `changed` and `otherChanged` must be
// readable, and zero, one place before and after their lines.
void ShiftBoundaries(const std::vector<int>& lineIds, char* changed, const char* otherChanged) {
  const int* id = lineIds.data();
  const Index end = Size(lineIds);
  Index i = 0, j = 0;  // a line and its counterpart in the other text
  for (;;) {
    while (i < end && !changed[i]) {
      while (otherChanged[j++]) continue;
      ++i;
    }
    if (i == end) break;
    Index start = i;
    while (changed[++i]) continue;
    while (otherChanged[j]) ++j;

    Index runLength = 0, corresponding = end;
    do {
      runLength = i - start;
      while (start > 0 && id[start - 1] == id[i - 1]) {
        changed[--start] = 1;
        changed[--i] = 0;
        while (changed[start - 1]) --start;
        while (otherChanged[--j]) continue;
      }
      // The last end of the run that faces a change in the other text.
      corresponding = otherChanged[j - 1] ? i : end;
      while (i != end && id[start] == id[i]) {
        changed[start++] = 0;
        changed[i++] = 1;
        while (changed[i]) ++i;
        while (otherChanged[++j]) corresponding = i;
      }
    } while (runLength != i - start);

    while (corresponding < i) {
      changed[--start] = 1;
      changed[--i] = 0;
      while (otherChanged[--j]) continue;
    }
  }
}

// Old lines [a0, a1) replaced by new lines [b0, b1); either may be empty.
struct Change {
  Index a0, a1, b0, b1;
};

std::vector<Change> CollectChanges(const char* aChanged, Index aCount, const char* bChanged, Index bCount) {
  std::vector<Change> changes;
  Index i = 0, j = 0;
  while (i < aCount || j < bCount) {
    if (!aChanged[i] && !bChanged[j]) {
      ++i, ++j;
      continue;
    }
    Change change{i, i, j, j};
    while (aChanged[change.a1]) ++change.a1;
    while (bChanged[change.b1]) ++change.b1;
    changes.push_back(change);
    i = change.a1;
    j = change.b1;
  }
  return changes;
}

// "l,n" as `diff` writes it: no ",1", and the line before for an empty range.
void AppendRange(std::string& out, Index start, Index count) {
  out += std::to_string(count == 0 ? start : start + 1);
  if (count != 1) out += ',' + std::to_string(count);
}

void AppendLine(std::string& out, char mark, std::string_view line) {
  out += mark;
  out += line;
  if (line.empty() || line.back() != '\n') out += "\n\\ No newline at end of file\n";
}

}  // namespace

std::string UnifiedDiff(std::string_view oldText, std::string_view newText, std::string_view oldName,
                        std::string_view newName, size_t context) {
  if (oldText == newText) return {};
  const std::vector<std::string_view> oldLines = SplitLines(oldText), newLines = SplitLines(newText);
  LineIds lineIds;
  const std::vector<int> a = lineIds.Of(oldLines), b = lineIds.Of(newLines);
  const Index aCount = Size(a), bCount = Size(b);

  // One zero on each side of the lines, which the boundary shifts read.
  std::vector<char> aFlags(a.size() + 2), bFlags(b.size() + 2);
  char* aChanged = aFlags.data() + 1;
  char* bChanged = bFlags.data() + 1;
  MarkChanges(a, b, lineIds.Count(), TooExpensive(aCount + bCount), aChanged, bChanged);
  ShiftBoundaries(a, aChanged, bChanged);
  ShiftBoundaries(b, bChanged, aChanged);
  const std::vector<Change> changes = CollectChanges(aChanged, aCount, bChanged, bCount);
  if (changes.empty()) return {};

  const Index around = static_cast<Index>(std::min<size_t>(context, static_cast<size_t>(aCount + bCount)));
  std::string out;
  out.append("--- ").append(oldName).append("\n+++ ").append(newName).append("\n");
  for (size_t first = 0; first < changes.size();) {
    // Changes at most 2 * context equal lines apart share a hunk.
    size_t last = first;
    while (last + 1 < changes.size() && changes[last + 1].a0 - changes[last].a1 <= 2 * around) ++last;
    const Index aStart = std::max<Index>(changes[first].a0 - around, 0);
    const Index bStart = std::max<Index>(changes[first].b0 - around, 0);
    const Index aStop = std::min(changes[last].a1 + around, aCount);
    const Index bStop = std::min(changes[last].b1 + around, bCount);
    out += "@@ -";
    AppendRange(out, aStart, aStop - aStart);
    out += " +";
    AppendRange(out, bStart, bStop - bStart);
    out += " @@\n";

    Index i = aStart;
    for (size_t k = first; k <= last; ++k) {
      const Change& change = changes[k];
      for (; i < change.a0; ++i) AppendLine(out, ' ', oldLines.data()[i]);
      for (; i < change.a1; ++i) AppendLine(out, '-', oldLines.data()[i]);
      for (Index j = change.b0; j < change.b1; ++j) AppendLine(out, '+', newLines.data()[j]);
    }
    for (; i < aStop; ++i) AppendLine(out, ' ', oldLines.data()[i]);
    first = last + 1;
  }
  return out;
}

}  // namespace lw
