// The version decision on arbitrary page bodies, against a plain walk of our
// own: the body counts up to its first NUL; the latest version is the bytes
// between the first label that starts a character (a byte of 0x80 or above
// starts a two-byte character) and the first marker after it that starts a
// character; the page is current exactly when those bytes are "v1.9". At the
// end the target says how many inputs reached a value, so a seed corpus that
// never reaches it shows.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "version_check.hpp"

namespace {

// GBK "最新版本:", spelt out here so the oracle does not lean on the header.
constexpr std::string_view kLabel = "\xd7\xee\xd0\xc2\xb0\xe6\xb1\xbe:";
constexpr std::string_view kMarker = "!!!!!!";

std::size_t WalkFind(std::string_view s, std::string_view needle) {
  for (std::size_t i = 0; i < s.size(); i += static_cast<unsigned char>(s[i]) >= 0x80 ? 2 : 1) {
    if (s.substr(i, needle.size()) == needle) return i;
  }
  return std::string_view::npos;
}

std::string_view WalkValue(std::string_view page) {
  page = page.substr(0, page.find('\0'));
  const std::size_t p = WalkFind(page, kLabel);
  if (p == std::string_view::npos) return {};
  const std::string_view tail = page.substr(p + kLabel.size());
  const std::size_t q = WalkFind(tail, kMarker);
  if (q == std::string_view::npos || q == 0) return {};
  return tail.substr(0, q);
}

unsigned long inputs = 0, labelled = 0, valued = 0;

void Report() {
  std::fprintf(stderr, "fuzz_version_record: %lu inputs, %lu with the label, %lu with a value\n", inputs, labelled,
               valued);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The header's label must be the GBK bytes in every build.
  if (std::string_view(kv::kLatestVersionLabel) != kLabel) std::abort();
  std::atexit(Report);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  const kv::ByteBlock block(data, size);
  const std::string_view expected = WalkValue(page);
  ++inputs;
  if (WalkFind(page.substr(0, page.find('\0')), kLabel) != std::string_view::npos) ++labelled;
  if (!expected.empty()) ++valued;
  if (kv::LatestVersion(block) != expected) std::abort();
  if (kv::IsCurrentVersion(block) != (expected == "v1.9")) std::abort();
  return 0;
}
