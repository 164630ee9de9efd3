// One lookup on a bank of the shipped shape and on one a hundred times larger,
// next to the floor: a plain per-line search of the same lines that ignores
// the double-byte rule and builds no rows. Then the tolerant look, run as the
// result list runs it (the exact lookup first, finding nothing), on the
// shipped bank and on the hundredfold one; the index it reads, built and
// measured (its result is its size in bytes); and a run followed by the
// highlights of a screenful of rows. Built for Linux and for Windows
// (tools/bench-windows.sh compares the two).
#include <string>
#include <string_view>
#include <vector>

#include "bank_shape.hpp"
#include "harness.hpp"
#include "keyword_lookup.hpp"
#include "lookup.hpp"
#include "question_bank.hpp"

int main(int argc, char** argv) {
  const kv::TextArray small = kv::bench::MakeBankShape(1);
  const kv::TextArray large = kv::bench::MakeBankShape(100);
  // keyword 0 = ？ (in most lines), 1 = 的 (in two thirds), 2 = no hit
  const std::string_view keywords[] = {"？", "的", "无此词"};
  std::vector<kv::LookupRow> rows;

  kv::bench::Harness harness;
  for (const int copies : {1, 100}) {
    const kv::TextArray& bank = copies == 1 ? small : large;
    for (int k = 0; k < 3; ++k) {
      const std::string suffix = "/bank=" + std::to_string(copies) + "/keyword=" + std::to_string(k);
      const std::string_view keyword = keywords[k];
      harness.Add("Lookup" + suffix, [&bank, keyword, &rows] {
        kv::RunLookup(bank, keyword, rows);
        return rows.size();
      });
      harness.Add("FindFloor" + suffix, [&bank, keyword] {
        std::size_t hits = 0;
        for (const auto& line : bank) hits += std::string_view(line).find(keyword) != std::string_view::npos;
        return hits;
      });
    }
  }

  kv::Text shippedText;
  kv::TextArray shipped;
  kv::LoadQuestionBank(kv::EmbeddedBankBlock(), shippedText, shipped);
  const kv::TolerantIndex shippedIndex(shipped);
  const kv::TolerantIndex largeIndex(large);
  // Keywords that the exact lookup finds in neither bank.
  const std::string_view tolerant[] = {
      "cj",          // 0: pinyin initials
      "changjiang",  // 1: pinyin syllables
      "zhqxbt",      // 2: pinyin, no hit
      "長江",        // 3: traditional
      "长江 中国",   // 4: two pieces
      "長江無此詞",  // 5: folded, no hit
  };
  kv::KeywordLookup lookup;
  for (const int which : {0, 100}) {
    const kv::TextArray& bank = which == 0 ? shipped : large;
    const kv::TolerantIndex& index = which == 0 ? shippedIndex : largeIndex;
    for (int k = 0; k < 6; ++k) {
      const std::string_view keyword = tolerant[k];
      harness.Add("Tolerant/bank=" + std::to_string(which) + "/keyword=" + std::to_string(k),
                  [&lookup, &bank, &index, keyword] {
                    lookup.Run(bank, index, keyword);
                    return lookup.Rows().size();
                  });
    }
    harness.Add("BuildIndex/bank=" + std::to_string(which), [&bank] {
      const kv::TolerantIndex index(bank);
      return index.MemoryBytes();
    });
  }
  // 0 = the exact rows of 的, 1 = the close rows of cj.
  for (const std::string_view keyword : {std::string_view("的"), std::string_view("cj")}) {
    harness.Add("RunAndHighlights/keyword=" + std::string(keyword == "cj" ? "1" : "0"),
                [&lookup, &shipped, &shippedIndex, keyword] {
                  lookup.Run(shipped, shippedIndex, keyword);
                  std::size_t spans = 0;
                  for (std::size_t r = 0; r < 30 && r < lookup.Rows().size(); ++r) {
                    const auto& h = lookup.Highlights(r);
                    spans += h.question.size() + h.answer.size();
                  }
                  return spans;
                });
  }
  return harness.Run(argc, argv);
}
