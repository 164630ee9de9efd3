// Where the result list draws a row's hits: byte ranges of its question and
// answer cells.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "tolerant_lookup.hpp"

namespace kv {

// Bytes [begin, end) of a cell, both on character boundaries of the cell.
struct CellSpan {
  std::uint32_t begin, end;
  bool operator==(const CellSpan&) const = default;
};

// The hits in a row's cells, sorted, merged where they overlap.
// A hit that spans the bar is split into its parts in the two cells; a line
// without exactly two cells has no spans.
struct RowHighlights {
  std::vector<CellSpan> question, answer;
  bool operator==(const RowHighlights&) const = default;
};

// Every occurrence of `keyword` in `line` on a character boundary, as the
// exact lookup finds them (overlapping occurrences included).
RowHighlights ExactHighlights(std::string_view line, std::string_view keyword);

// Every occurrence of every piece of `query` in line `lineIndex` of `index`,
// which is `line`: the folded matches and the pinyin runs, mapped back to the
// line's own bytes.
RowHighlights CloseHighlights(std::string_view line, const TolerantIndex& index, std::size_t lineIndex,
                              const TolerantQuery& query);

}  // namespace kv
