// The lookup as the result list runs it: the exact lookup, and only when that
// lists nothing the tolerant look; and the hits to draw in each row, worked
// out when the row is first asked for and kept until the next run.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "highlight.hpp"
#include "lookup.hpp"
#include "tolerant_index.hpp"
#include "tolerant_lookup.hpp"

namespace kv {

class KeywordLookup {
 public:
  // Lists the rows for `keyword`: RunLookup's rows when it finds any, else
  // the tolerant look's rows (Close() is then true). `index` should be the
  // index of `bank` (QuestionBankIndex for QuestionBank); when it does not
  // describe `bank`, the lookup builds and keeps one of its own. The bank
  // must stay unchanged while the rows are shown.
  void Run(const TextArray& bank, const TolerantIndex& index, std::string_view keyword);
  // The same with QuestionBankIndex.
  void Run(const TextArray& bank, std::string_view keyword);
  // The rows and their highlights point into the bank and the index, so
  // neither may be a temporary.
  void Run(const TextArray& bank, TolerantIndex&& index, std::string_view keyword) = delete;
  void Run(TextArray&& bank, const TolerantIndex& index, std::string_view keyword) = delete;
  void Run(TextArray&& bank, std::string_view keyword) = delete;
  // Deletes every row.
  void Clear();

  const std::vector<LookupRow>& Rows() const { return rows_; }
  // Whether the rows are close matches: all rows of one run are exact or all
  // are close.
  bool Close() const { return close_; }

  // The hits to draw in row `row` (an index into Rows()), found the first
  // time they are asked for. The reference stays valid until the next Run or
  // Clear; a row out of range has none.
  const RowHighlights& Highlights(std::size_t row) const;

 private:
  const TextArray* bank_ = nullptr;
  const TolerantIndex* index_ = nullptr;
  TolerantIndex own_;
  Text keyword_;
  std::optional<TolerantQuery> query_;
  std::vector<LookupRow> rows_;
  bool close_ = false;
  mutable std::vector<std::unique_ptr<RowHighlights>> highlights_;
};

}  // namespace kv
