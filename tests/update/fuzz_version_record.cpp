// The version decision on arbitrary page bodies: the latest version is the
// bytes between the first label on a character boundary and the first marker
// after it, and the body is current exactly when those bytes are "v1.9".
#include <cstdint>
#include <cstdlib>
#include <string>

#include "version_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kv::ByteBlock page(data, size);
  const kv::Text text = kv::ToText(page);
  const kv::Text latest = kv::LatestVersion(page);
  const std::string label = kv::kLatestVersionLabel;
  const std::string marker = kv::kLatestVersionMarker;

  const int p = kv::FindText(text, label);
  if (!latest.empty()) {
    // The value stands right behind the first label and right before a marker
    // that begins on a character boundary of the rest, with no earlier one.
    const std::size_t from = static_cast<std::size_t>(p - 1) + label.size();
    if (p < 1 || text.compare(from, latest.size(), latest) != 0) std::abort();
    const std::string tail = text.substr(from);
    if (kv::FindText(tail, marker) != static_cast<int>(latest.size()) + 1) std::abort();
  } else if (p >= 1) {
    const std::string tail = text.substr(static_cast<std::size_t>(p - 1) + label.size());
    if (kv::FindText(tail, marker) > 1) std::abort();
  }
  if (kv::IsCurrentVersion(page) != (latest == "v1.9")) std::abort();
  return 0;
}
