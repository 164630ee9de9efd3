// The keyword lookup: which bank lines the result list shows for a keyword.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "text.hpp"

namespace kv {

// One row of the result list. The cells point into the bank's lines, so the
// rows are valid while the bank is unchanged.
struct LookupRow {
  std::uint32_t ordinal;     // place in the list, from 1
  std::uint32_t line;        // index of the bank line, from 0
  std::string_view question;  // empty unless the line splits at "|" into exactly two pieces
  std::string_view answer;
};

// The row's number as the list shows it ("1", "2", ...).
Text OrdinalText(const LookupRow& row);

// Splits a line at "|" for the result list: true with both cells set when the
// line splits into exactly two pieces, false (cells empty) otherwise.
bool SplitLookupCells(std::string_view line, std::string_view& question, std::string_view& answer);

// Every line of `bank` holding `keyword` (case-sensitive, on character
// boundaries), in bank order, numbered from 1. An empty keyword lists nothing.
// `rows` is cleared first; its capacity is reused.
void RunLookup(const TextArray& bank, std::string_view keyword, std::vector<LookupRow>& rows);

}  // namespace kv
