// One lookup on a bank of the shipped shape and on one a hundred times larger,
// next to the floor: a plain per-line memmem loop over the same lines that
// ignores the double-byte rule and builds no rows. Then the tolerant look,
// run as the result list runs it (the exact lookup first, finding nothing),
// on the shipped bank and on the hundredfold one; the index it reads, built
// and measured; and the highlights of a screenful of rows.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bank_shape.hpp"
#include "keyword_lookup.hpp"
#include "lookup.hpp"
#include "question_bank.hpp"

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

const kv::TextArray& ShippedBank() {
  static const kv::TextArray lines = [] {
    kv::Text text;
    kv::TextArray out;
    kv::LoadQuestionBank(kv::EmbeddedBankBlock(), text, out);
    return out;
  }();
  return lines;
}

// Bank 0 is the shipped bank, otherwise the shape bank of that many copies.
const kv::TextArray& AnyBank(int which) { return which == 0 ? ShippedBank() : Bank(which); }

const kv::TolerantIndex& Index(int which) {
  static const kv::TolerantIndex shipped(ShippedBank());
  static const kv::TolerantIndex large(Bank(100));
  return which == 0 ? shipped : large;
}

// Keywords that the exact lookup finds in neither bank.
const char* TolerantKeyword(int which) {
  switch (which) {
    case 0: return "cj";             // pinyin initials
    case 1: return "changjiang";     // pinyin syllables
    case 2: return "zhqxbt";         // pinyin, no hit
    case 3: return "長江";           // traditional
    case 4: return "长江 中国";       // two pieces
    default: return "長江無此詞";     // folded, no hit
  }
}

void BM_Tolerant(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const auto& bank = AnyBank(which);
  const auto& index = Index(which);
  const std::string_view keyword = TolerantKeyword(static_cast<int>(state.range(1)));
  kv::KeywordLookup lookup;
  for (auto _ : state) {
    lookup.Run(bank, index, keyword);
    benchmark::DoNotOptimize(lookup.Rows().data());
  }
  state.counters["rows"] = static_cast<double>(lookup.Rows().size());
  state.counters["close"] = lookup.Close();
}

void BM_BuildIndex(benchmark::State& state) {
  const auto& bank = AnyBank(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const kv::TolerantIndex index(bank);
    bytes = index.MemoryBytes();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// The first 30 rows' highlights, each found once, as one screenful is drawn.
void BM_Highlights(benchmark::State& state) {
  const auto& bank = ShippedBank();
  const auto& index = Index(0);
  const std::string_view keyword = state.range(0) == 0 ? "的" : "cj";
  std::size_t spans = 0;
  kv::KeywordLookup lookup;
  lookup.Run(bank, index, keyword);
  for (auto _ : state) {
    state.PauseTiming();
    lookup.Run(bank, index, keyword);
    state.ResumeTiming();
    spans = 0;
    for (std::size_t r = 0; r < 30 && r < lookup.Rows().size(); ++r) {
      const auto& h = lookup.Highlights(r);
      spans += h.question.size() + h.answer.size();
    }
    benchmark::DoNotOptimize(spans);
  }
  state.counters["spans"] = static_cast<double>(spans);
}

// Args: {bank: 0 = shipped, 100 = hundredfold shape; keyword as TolerantKeyword}
BENCHMARK(BM_Tolerant)->ArgsProduct({{0, 100}, {0, 1, 2, 3, 4, 5}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildIndex)->Arg(0)->Arg(100)->Unit(benchmark::kMicrosecond);
// Args: {0 = exact rows of 的, 1 = close rows of cj}
BENCHMARK(BM_Highlights)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
