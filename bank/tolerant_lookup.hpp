// The tolerant look: the second try of the lookup, for a keyword that the
// bank holds only in another form.
//
// The keyword is folded (fold.hpp) and cut at its spaces, half- or
// full-width, into pieces; a line is listed when every piece occurs in it, in
// any order (pieces may overlap). A piece occurs when it is found in the
// folded line on a character boundary, or, for a piece of 1 to 63 letters,
// when a run of the line's characters spells it in pinyin (pinyin.hpp).
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "lookup.hpp"
#include "pinyin.hpp"
#include "tolerant_index.hpp"

namespace kv {

class TolerantQuery {
 public:
  struct Piece {
    Text folded;
    std::optional<PinyinPattern> pinyin;  // for a piece of letters only
  };

  explicit TolerantQuery(std::string_view keyword);

  // No pieces: the keyword was empty or only spaces. Such a query lists nothing.
  bool Empty() const { return pieces_.empty(); }
  const std::vector<Piece>& Pieces() const { return pieces_; }

  // Whether every piece occurs in line `line` of `index`.
  bool Matches(const TolerantIndex& index, std::size_t line) const;

 private:
  std::vector<Piece> pieces_;
};

// Every line of `bank` that `query` matches, in bank order, numbered from 1,
// with its cells as RunLookup sets them. `index` must describe `bank`.
// `rows` is cleared first.
void RunTolerantLookup(const TextArray& bank, const TolerantIndex& index, const TolerantQuery& query,
                       std::vector<LookupRow>& rows);

}  // namespace kv
