// The lookup as the result list runs it, on an arbitrary keyword over
// arbitrary lines: the exact rows whenever there are any, otherwise exactly
// the lines a plain reading of the tolerant rule lists, and highlights that
// stay inside their cells on character boundaries.
//
// Input: one byte giving the keyword's length (mod 24), the keyword, then the
// bank, lines cut at '\n'.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fold.hpp"
#include "keyword_lookup.hpp"
#include "question_bank.hpp"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool IsBoundary(std::string_view s, std::size_t pos) {
  std::size_t i = 0;
  while (i < pos) i = kv::NextCharacter(s, i);
  return i == pos;
}

// A piece found by a character walk, byte for byte.
bool WalkFinds(std::string_view text, std::string_view piece) {
  for (std::size_t i = 0; i + piece.size() <= text.size(); i = kv::NextCharacter(text, i))
    if (text.substr(i, piece.size()) == piece) return true;
  return false;
}

bool Listed(std::string_view line, std::string_view keyword) {
  const kv::Text folded = kv::FoldText(line);
  const kv::Text key = kv::FoldText(keyword);
  std::vector<std::uint16_t> sets;
  kv::AppendReadingSets(line, sets);
  bool any = false;
  std::size_t start = 0;
  for (std::size_t i = 0;; i = kv::NextCharacter(key, i)) {
    if (i == key.size() || key[i] == ' ') {
      if (i > start) {
        any = true;
        const std::string_view piece = std::string_view(key).substr(start, i - start);
        const bool found = WalkFinds(folded, piece) ||
                           (kv::PinyinPattern::Applies(piece) && kv::PinyinPattern(piece).Matches(sets));
        if (!found) return false;
      }
      if (i == key.size()) break;
      start = i + 1;
    }
  }
  return any;
}

void CheckSpans(const std::vector<kv::CellSpan>& spans, std::string_view cell) {
  std::uint32_t after = 0;
  for (const auto& s : spans) {
    Check(s.begin < s.end && s.end <= cell.size() && s.begin >= after);
    Check(IsBoundary(cell, s.begin) && (s.end == cell.size() || IsBoundary(cell, s.end)));
    after = s.end;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t klen = data[0] % 24;
  if (size - 1 < klen) return 0;
  const std::string keyword(reinterpret_cast<const char*>(data + 1), klen);
  const std::string text(reinterpret_cast<const char*>(data + 1 + klen), size - 1 - klen);
  kv::TextArray bank;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t nl = text.find('\n', at);
    const std::size_t end = nl == std::string::npos ? text.size() : nl;
    bank.push_back(text.substr(at, end - at));
    at = end + 1;
  }

  const kv::TolerantIndex index(bank);
  Check(index.Describes(bank));
  kv::KeywordLookup lookup;
  lookup.Run(bank, index, keyword);
  std::vector<kv::LookupRow> exact;
  kv::RunLookup(bank, keyword, exact);

  const auto& rows = lookup.Rows();
  if (!exact.empty()) {
    Check(!lookup.Close() && rows.size() == exact.size());
    for (std::size_t i = 0; i < rows.size(); ++i) Check(rows[i].line == exact[i].line);
  } else {
    Check(lookup.Close() == !rows.empty());
    std::size_t r = 0;
    for (std::size_t line = 0; line < bank.size(); ++line) {
      const bool listed = r < rows.size() && rows[r].line == line;
      Check(listed == Listed(bank[line], keyword));
      if (listed) {
        ++r;
        Check(rows[r - 1].ordinal == r);
      }
    }
    Check(r == rows.size());
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::string_view q, a;
    kv::SplitLookupCells(bank[rows[i].line], q, a);
    Check(q == rows[i].question && a == rows[i].answer);
    const auto& h = lookup.Highlights(i);
    CheckSpans(h.question, q);
    CheckSpans(h.answer, a);
  }
  // Another bank's index is not trusted.
  kv::KeywordLookup other;
  other.Run(bank, kv::QuestionBankIndex, keyword);
  Check(other.Rows().size() == rows.size());
  return 0;
}
