#include "harness.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kv::bench {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsFor(const std::function<std::size_t()>& body, std::size_t iterations, std::size_t& result) {
  const auto start = Clock::now();
  for (std::size_t i = 0; i < iterations; ++i) {
    result = body();
    KeepAlive(result);
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool Option(std::string_view arg, std::string_view name, std::string_view& value) {
  if (!arg.starts_with(name) || arg.size() <= name.size() || arg[name.size()] != '=') return false;
  value = arg.substr(name.size() + 1);
  return true;
}

}  // namespace

void Harness::Add(std::string name, Body body) { cases_.push_back({std::move(name), std::move(body)}); }

int Harness::Run(int argc, char** argv) const {
  double minTime = 0.2;
  int repetitions = 5;
  std::string filter;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i], value;
    char* end = nullptr;
    if (Option(arg, "--min-time", value)) {
      minTime = std::strtod(std::string(value).c_str(), &end);
      if (*end != '\0' || !(minTime > 0 && minTime <= 60)) {
        std::fprintf(stderr, "--min-time takes seconds, more than 0 and at most 60\n");
        return 2;
      }
    } else if (Option(arg, "--repetitions", value)) {
      const long n = std::strtol(std::string(value).c_str(), &end, 10);
      if (*end != '\0' || n < 1 || n > 1000) {
        std::fprintf(stderr, "--repetitions takes a number from 1 to 1000\n");
        return 2;
      }
      repetitions = static_cast<int>(n);
    } else if (Option(arg, "--filter", value)) {
      filter = value;
    } else {
      std::fprintf(stderr, "usage: %s [--filter=TEXT] [--min-time=SECONDS] [--repetitions=N]\n", argv[0]);
      return 2;
    }
  }

  std::printf("%-32s %12s %12s %12s %10s\n", "case", "iterations", "best_us", "median_us", "result");
  int ran = 0;
  for (const Case& c : cases_) {
    if (c.name.find(filter) == std::string::npos) continue;
    // Double the iterations until a run lasts a tenth of the minimum, then
    // scale up to the minimum.
    std::size_t result = 0, iterations = 1;
    SecondsFor(c.body, 1, result);  // first touches and allocations
    double seconds = SecondsFor(c.body, iterations, result);
    while (seconds < minTime / 10 && iterations < (std::size_t{1} << 40)) {
      iterations *= 2;
      seconds = SecondsFor(c.body, iterations, result);
    }
    if (seconds < minTime)
      iterations = static_cast<std::size_t>(static_cast<double>(iterations) * minTime / std::max(seconds, 1e-9)) + 1;
    std::vector<double> perIteration;
    for (int r = 0; r < repetitions; ++r)
      perIteration.push_back(SecondsFor(c.body, iterations, result) / static_cast<double>(iterations) * 1e6);
    std::sort(perIteration.begin(), perIteration.end());
    const double median = repetitions % 2 ? perIteration[repetitions / 2]
                                          : (perIteration[repetitions / 2 - 1] + perIteration[repetitions / 2]) / 2;
    std::printf("%-32s %12zu %12.3f %12.3f %10zu\n", c.name.c_str(), iterations, perIteration.front(), median, result);
    std::fflush(stdout);
    ++ran;
  }
  if (ran == 0) {
    std::fprintf(stderr, "no case matches --filter=%s\n", filter.c_str());
    return 1;
  }
  return 0;
}

}  // namespace kv::bench
