// Downloads one URL with DownloadFile and prints what it took:
//   seconds=<s> bytes=<n> mib_per_s=<r> reports=<handler calls> peak_rss_kib=<k>
// Usage: download_bench <url> <output file>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "downloader.hpp"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <url> <output file>\n", argv[0]);
    return 2;
  }
  std::int64_t reports = 0;
  std::int32_t last = 0;
  const auto start = std::chrono::steady_clock::now();
  const kv::UpdateResult result =
      kv::DownloadFile(argv[1], argv[2], [&](std::int32_t, std::int32_t position, std::int32_t, std::int32_t) {
        ++reports;
        last = position;
      }, 0, false);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double bytes = static_cast<double>(static_cast<std::uint32_t>(last));
  std::printf("seconds=%.3f bytes=%.0f mib_per_s=%.1f reports=%lld peak_rss_kib=%ld\n", seconds, bytes,
              bytes / seconds / (1 << 20), static_cast<long long>(reports), usage.ru_maxrss);
  if (result.failed()) std::fprintf(stderr, "message: %s\n", result.message().c_str());
  return result.complete() ? 0 : 1;
}
