#include "lookup.hpp"

#include <cstring>

namespace kv {

Text OrdinalText(const LookupRow& row) { return ToText(static_cast<double>(row.ordinal)); }

namespace {

// The first bar at or after walk position `from`; `known` is a further walk
// position of the line (0 when none is known) that shortens the boundary test.
std::size_t FindBar(std::string_view line, std::size_t from, std::size_t known) {
  std::size_t at = from;
  while (at < line.size()) {
    const void* hit = std::memchr(line.data() + at, '|', line.size() - at);
    if (!hit) return std::string_view::npos;
    const std::size_t b = static_cast<std::size_t>(static_cast<const char*>(hit) - line.data());
    const std::size_t base = known <= b && known >= from ? known : from;
    if (IsWalkPosition(line, base, b)) return b;
    from = at = b + 1;  // b was a trail byte
  }
  return std::string_view::npos;
}

bool SplitCells(std::string_view line, std::size_t known, std::string_view& question, std::string_view& answer) {
  // Same pieces as SplitText(line, "|"), without building them: exactly two
  // pieces means one bar with text after it, or two bars with the second one
  // ending the line.
  question = answer = {};
  const std::size_t first = FindBar(line, 0, known);
  if (first == std::string_view::npos || first + 1 == line.size()) return false;
  const std::size_t second = FindBar(line, first + 1, 0);
  std::size_t end = line.size();
  if (second != std::string_view::npos) {
    if (second + 1 != line.size()) return false;
    end = second;
  }
  question = line.substr(0, first);
  answer = line.substr(first + 1, end - first - 1);
  return true;
}

}  // namespace

bool SplitLookupCells(std::string_view line, std::string_view& question, std::string_view& answer) {
  return SplitCells(line, 0, question, answer);
}

void RunLookup(const TextArray& bank, std::string_view keyword, std::vector<LookupRow>& rows) {
  rows.clear();
  if (CompareText(keyword, "") == 0) return;
  std::uint32_t ordinal = 0;
  for (std::size_t i = 0; i < bank.size(); ++i) {
    const Text& line = bank[i];
    const std::size_t at = FindOnBoundary(line, keyword, 0);
    if (at == std::string_view::npos) continue;
    LookupRow row{++ordinal, static_cast<std::uint32_t>(i), {}, {}};
    SplitCells(line, at, row.question, row.answer);
    rows.push_back(row);
  }
}

}  // namespace kv
