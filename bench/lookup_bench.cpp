// One lookup on a bank of the shipped shape and on one a hundred times larger,
// next to the floor: a plain per-line memmem loop over the same lines that
// ignores the double-byte rule and builds no rows.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bank_shape.hpp"
#include "lookup.hpp"

namespace {

const kv::TextArray& Bank(int copies) {
  static const kv::TextArray small = kv::bench::MakeBankShape(1);
  static const kv::TextArray large = kv::bench::MakeBankShape(100);
  return copies == 1 ? small : large;
}

const char* Keyword(int which) {
  switch (which) {
    case 0: return "？";
    case 1: return "的";
    default: return "无此词";
  }
}

void BM_Lookup(benchmark::State& state) {
  const auto& bank = Bank(static_cast<int>(state.range(0)));
  const std::string_view keyword = Keyword(static_cast<int>(state.range(1)));
  std::vector<kv::LookupRow> rows;
  for (auto _ : state) {
    kv::RunLookup(bank, keyword, rows);
    benchmark::DoNotOptimize(rows.data());
  }
  state.counters["rows"] = static_cast<double>(rows.size());
}

void BM_MemmemFloor(benchmark::State& state) {
  const auto& bank = Bank(static_cast<int>(state.range(0)));
  const std::string_view keyword = Keyword(static_cast<int>(state.range(1)));
  std::size_t hits = 0;
  for (auto _ : state) {
    hits = 0;
    for (const auto& line : bank)
      hits += memmem(line.data(), line.size(), keyword.data(), keyword.size()) != nullptr;
    benchmark::DoNotOptimize(hits);
  }
  state.counters["rows"] = static_cast<double>(hits);
}

// Args: {bank copies, keyword: 0 = ？, 1 = 的, 2 = no hit}
BENCHMARK(BM_Lookup)->ArgsProduct({{1, 100}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemmemFloor)->ArgsProduct({{1, 100}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
