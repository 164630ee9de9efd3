// Downloads one URL and prints what it took:
//   seconds=<s> bytes=<n> mib_per_s=<r> reports=<handler calls> tail_ms=<t> cpu_s=<c> peak_rss_kib=<k>
// tail_ms is the time from the last byte's report to the end: for the archive
// step the flush, the rename and, when checked, what is left of the
// signature check (its last bytes, the signature file, the verdict); cpu_s
// is the process's user and system time, all threads.
// Usage:
//   download_bench <url> <output file>                          DownloadFile
//   download_bench --archive <url> <output file>                DownloadArchive, unchecked
//   download_bench --checked <public key file> <url> <output file>
//                                                               DownloadArchive checking <url>.sig
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "archive.hpp"
#include "downloader.hpp"

int main(int argc, char** argv) {
  enum class Mode { kFile, kArchive, kChecked } mode = Mode::kFile;
  kv::ReleaseCheck release = kv::ReleaseCheck::Unchecked();
  int at = 1;
  if (argc == 4 && std::strcmp(argv[1], "--archive") == 0) {
    mode = Mode::kArchive;
    at = 2;
  } else if (argc == 5 && std::strcmp(argv[1], "--checked") == 0) {
    mode = Mode::kChecked;
    std::ifstream in(argv[2], std::ios::binary);
    release = {true, std::string(std::istreambuf_iterator<char>(in), {})};
    at = 3;
  } else if (argc != 3) {
    std::fprintf(stderr, "usage: %s [--archive | --checked KEY_FILE] <url> <output file>\n", argv[0]);
    return 2;
  }
  const char* url = argv[at];
  const std::filesystem::path out = argv[at + 1];

  std::int64_t reports = 0;
  std::int32_t last = 0;
  std::chrono::steady_clock::time_point lastReport;
  const kv::DownloadHandler handler = [&](std::int32_t, std::int32_t position, std::int32_t, std::int32_t) {
    ++reports;
    last = position;
    lastReport = std::chrono::steady_clock::now();
  };
  const auto start = std::chrono::steady_clock::now();
  lastReport = start;
  kv::UpdateResult result = kv::UpdateResult::Done();
  if (mode == Mode::kFile) {
    result = kv::DownloadFile(url, out, handler, 0, false);
  } else {
    std::filesystem::path part = out;
    part += ".part";
    result = kv::DownloadArchive(url, {out, part}, handler, release);
  }
  const auto end = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(end - start).count();
  const double tailMs = std::chrono::duration<double, std::milli>(end - lastReport).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double bytes = static_cast<double>(static_cast<std::uint32_t>(last));
  const auto cpu = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  std::printf("seconds=%.3f bytes=%.0f mib_per_s=%.1f reports=%lld tail_ms=%.1f cpu_s=%.3f peak_rss_kib=%ld\n", seconds,
              bytes, bytes / seconds / (1 << 20), static_cast<long long>(reports), tailMs,
              cpu(usage.ru_utime) + cpu(usage.ru_stime), usage.ru_maxrss);
  if (result.failed()) std::fprintf(stderr, "message: %s\n", result.message().c_str());
  return result.complete() ? 0 : 1;
}
