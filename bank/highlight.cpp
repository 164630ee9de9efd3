#include "highlight.hpp"

#include <algorithm>

#include "text.hpp"

namespace kv {

namespace {

struct Range {
  std::size_t begin, end;
};

// The parts of the line ranges that fall into [cellBegin, cellEnd), relative
// to the cell, sorted and merged.
std::vector<CellSpan> Clip(const std::vector<Range>& ranges, std::size_t cellBegin, std::size_t cellEnd) {
  std::vector<CellSpan> spans;
  for (const Range& r : ranges) {
    const std::size_t b = std::max(r.begin, cellBegin), e = std::min(r.end, cellEnd);
    if (b < e) spans.push_back({static_cast<std::uint32_t>(b - cellBegin), static_cast<std::uint32_t>(e - cellBegin)});
  }
  std::sort(spans.begin(), spans.end(), [](const CellSpan& a, const CellSpan& b) { return a.begin < b.begin; });
  std::vector<CellSpan> merged;
  for (const CellSpan& s : spans) {
    if (!merged.empty() && s.begin < merged.back().end) merged.back().end = std::max(merged.back().end, s.end);
    else merged.push_back(s);
  }
  return merged;
}

RowHighlights ToCells(std::string_view line, const std::vector<Range>& ranges) {
  RowHighlights h;
  std::string_view q, a;
  if (ranges.empty() || !SplitLookupCells(line, q, a)) return h;
  const std::size_t answerBegin = static_cast<std::size_t>(a.data() - line.data());
  h.question = Clip(ranges, 0, q.size());
  h.answer = Clip(ranges, answerBegin, answerBegin + a.size());
  return h;
}

// The byte offset of every character of `text`, and the end.
std::vector<std::size_t> CharacterStarts(std::string_view text) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size(); i = NextCharacter(text, i)) starts.push_back(i);
  starts.push_back(text.size());
  return starts;
}

}  // namespace

RowHighlights ExactHighlights(std::string_view line, std::string_view keyword) {
  std::vector<Range> ranges;
  if (!keyword.empty()) {
    for (std::size_t q = FindOnBoundary(line, keyword, 0); q != std::string_view::npos;
         q = FindOnBoundary(line, keyword, NextCharacter(line, q))) {
      // A keyword that ends in a lone lead byte covers half a character of
      // the line: the span takes the whole character.
      std::size_t end = q;
      while (end < q + keyword.size()) end = NextCharacter(line, end);
      ranges.push_back({q, end});
    }
  }
  return ToCells(line, ranges);
}

RowHighlights CloseHighlights(std::string_view line, const TolerantIndex& index, std::size_t lineIndex,
                              const TolerantQuery& query) {
  if (lineIndex >= index.LineCount()) return {};
  const std::string_view folded = index.Folded(lineIndex);
  const auto sets = index.ReadingSets(lineIndex);
  const std::vector<std::size_t> own = CharacterStarts(line);
  const std::vector<std::size_t> fold = CharacterStarts(folded);
  // Character c of the folded line is character c of the line; the clamp
  // keeps an index that no longer matches its line inside the line.
  auto ownStart = [&](std::size_t c) { return own[std::min(c, own.size() - 1)]; };

  std::vector<Range> ranges;
  std::vector<std::pair<std::size_t, std::size_t>> runs;
  for (const TolerantQuery::Piece& piece : query.Pieces()) {
    for (std::size_t q = FindOnBoundary(folded, piece.folded, 0); q != std::string_view::npos;
         q = FindOnBoundary(folded, piece.folded, NextCharacter(folded, q))) {
      const auto first = static_cast<std::size_t>(std::lower_bound(fold.begin(), fold.end(), q) - fold.begin());
      const auto last = static_cast<std::size_t>(
          std::lower_bound(fold.begin(), fold.end(), q + piece.folded.size()) - fold.begin());
      ranges.push_back({ownStart(first), ownStart(last)});
    }
    if (piece.pinyin) {
      runs.clear();
      piece.pinyin->Runs(sets, runs);
      for (const auto& [first, last] : runs) ranges.push_back({ownStart(first), ownStart(last + 1)});
    }
  }
  return ToCells(line, ranges);
}

}  // namespace kv
