// A small benchmark runner that builds the same with GCC on Linux and with
// mingw-w64 for Windows (Debian has no Google Benchmark for mingw), so one
// benchmark can be run natively and under Wine and the figures compared.
//
// Each case is timed in repetitions of a fixed number of iterations, chosen
// so that one repetition lasts at least --min-time seconds; the report gives
// the best and the median time of one iteration over --repetitions runs.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kv::bench {

// Keeps the compiler from dropping the computation of `value`.
template <typename T>
inline void KeepAlive(const T& value) {
  asm volatile("" : : "g"(&value) : "memory");
}

class Harness {
 public:
  // One iteration of a case; its result (a count such as rows found) is
  // reported beside the times.
  using Body = std::function<std::size_t()>;

  void Add(std::string name, Body body);
  // Runs every case whose name holds --filter=TEXT; options --min-time=SECONDS
  // (default 0.2) and --repetitions=N (default 5). Returns the exit code.
  int Run(int argc, char** argv) const;

 private:
  struct Case {
    std::string name;
    Body body;
  };
  std::vector<Case> cases_;
};

}  // namespace kv::bench
