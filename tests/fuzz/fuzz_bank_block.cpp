// The bank block loader on arbitrary blocks, and a lookup over what it made.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "lookup.hpp"
#include "question_bank.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kv::Text text;
  kv::TextArray lines;
  kv::LoadQuestionBank(kv::ByteBlock(data, size), text, lines);
  std::size_t total = 0;
  for (const auto& l : lines) total += l.size();
  if (total > text.size()) std::abort();
  std::vector<kv::LookupRow> rows;
  const std::string_view keyword = text.size() >= 2 ? std::string_view(text).substr(text.size() / 2, 2) : "|";
  kv::RunLookup(lines, keyword, rows);
  if (rows.size() > lines.size()) std::abort();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].ordinal != i + 1) std::abort();
  return 0;
}
