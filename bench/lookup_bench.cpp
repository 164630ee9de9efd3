// One lookup on a bank of the shipped shape and on one a hundred times larger,
// next to the floor: a plain per-line search of the same lines that ignores
// the double-byte rule and builds no rows. Built for Linux and for Windows
// (tools/bench-windows.sh compares the two).
#include <string>
#include <string_view>
#include <vector>

#include "bank_shape.hpp"
#include "harness.hpp"
#include "lookup.hpp"

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
  return harness.Run(argc, argv);
}
