// Times the release signature check of one file, and a plain read of the same
// file in the same chunks, so the hashing and the curve's share shows apart
// from the disk's; then the check taken in steps of 10240 bytes as a download
// could feed it, and what is left for the end (the verdict alone).
//   signature_bench FILE SIGNATURE_FILE PUBLIC_KEY_FILE [rounds]
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "signature_check.hpp"

namespace {

std::string Slurp(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s FILE SIGNATURE_FILE PUBLIC_KEY_FILE [rounds]\n", argv[0]);
    return 2;
  }
  const std::filesystem::path file = argv[1];
  const std::string sig = Slurp(argv[2]);
  const std::string key = Slurp(argv[3]);
  const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
  const double mib = static_cast<double>(std::filesystem::file_size(file)) / (1 << 20);

  std::vector<double> verify, read, cpu;
  for (int i = 0; i < rounds; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    const std::clock_t cpu0 = std::clock();
    const kv::SignatureCheck c = kv::CheckFileSignature(file, sig, key);
    const double v = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpuSeconds = static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
    if (!c.verified()) {
      std::fprintf(stderr, "not verified: %s\n", c.reason.c_str());
      return 1;
    }
    t0 = std::chrono::steady_clock::now();
    std::ifstream in(file, std::ios::binary);
    std::vector<char> buffer(kv::kSignatureCheckChunk);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
    }
    const double r = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("round %d: check %.3f s (%.0f MiB/s; %.3f s of CPU), plain read %.3f s (%.0f MiB/s)\n", i + 1, v,
                mib / v, cpuSeconds, r, mib / r);
    verify.push_back(v);
    cpu.push_back(cpuSeconds);
    read.push_back(r);
  }
  std::vector<double> steps, finish;
  for (int i = 0; i < rounds; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    kv::IncrementalSignatureCheck check(key);
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> buffer(10240);
    while (in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size())) ||
           in.gcount() > 0) {
      check.Add(std::span(buffer).first(static_cast<std::size_t>(in.gcount())));
    }
    const auto t1 = std::chrono::steady_clock::now();
    const kv::SignatureCheck c = check.Finish(sig);
    const auto t2 = std::chrono::steady_clock::now();
    if (!c.verified()) {
      std::fprintf(stderr, "not verified in steps: %s\n", c.reason.c_str());
      return 1;
    }
    steps.push_back(std::chrono::duration<double>(t1 - t0).count());
    finish.push_back(std::chrono::duration<double>(t2 - t1).count());
  }
  std::printf("in steps of 10240 bytes: %.3f s (%.0f MiB/s) for the bytes, then %.3f ms for the verdict (medians)\n",
              Median(steps), mib / Median(steps), 1000 * Median(finish));

  const double best = *std::min_element(verify.begin(), verify.end());
  const double median = Median(verify);
  std::printf("%.0f MiB: check best %.3f s (%.0f MiB/s), median %.3f s (%.0f MiB/s), CPU median %.3f s (%.0f MiB/s); "
              "plain read median %.3f s\n",
              mib, best, mib / best, median, mib / median, Median(cpu), mib / Median(cpu), Median(read));
  std::printf("check_mib_per_s=%.1f check_seconds=%.3f\n", mib / median, median);
  return 0;
}
