#include "tolerant_lookup.hpp"

#include "fold.hpp"

namespace kv {

TolerantQuery::TolerantQuery(std::string_view keyword) {
  const Text folded = FoldText(keyword);
  std::size_t start = 0;
  for (std::size_t i = 0;; i = NextCharacter(folded, i)) {
    if (i == folded.size() || folded[i] == ' ') {
      if (i > start) {
        Piece piece{folded.substr(start, i - start), std::nullopt};
        if (PinyinPattern::Applies(piece.folded)) piece.pinyin.emplace(piece.folded);
        pieces_.push_back(std::move(piece));
      }
      if (i == folded.size()) break;
      start = i + 1;
    }
  }
}

bool TolerantQuery::Matches(const TolerantIndex& index, std::size_t line) const {
  if (pieces_.empty()) return false;
  const std::string_view folded = index.Folded(line);
  for (const Piece& piece : pieces_) {
    if (piece.pinyin) {
      if (index.HasLetters(line) && FindOnBoundary(folded, piece.folded) != std::string_view::npos) continue;
      if (piece.pinyin->Matches(index.ReadingSets(line))) continue;
    } else if (FindOnBoundary(folded, piece.folded) != std::string_view::npos) {
      continue;
    }
    return false;
  }
  return true;
}

void RunTolerantLookup(const TextArray& bank, const TolerantIndex& index, const TolerantQuery& query,
                       std::vector<LookupRow>& rows) {
  rows.clear();
  if (query.Empty()) return;
  const std::size_t n = bank.size() < index.LineCount() ? bank.size() : index.LineCount();
  std::uint32_t ordinal = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!query.Matches(index, i)) continue;
    LookupRow row{++ordinal, static_cast<std::uint32_t>(i), {}, {}};
    SplitLookupCells(bank[i], row.question, row.answer);
    rows.push_back(row);
  }
}

}  // namespace kv
