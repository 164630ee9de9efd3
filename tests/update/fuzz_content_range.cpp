// The Content-Range parser on arbitrary header values, against a regular
// expression of the form it accepts and the order of its numbers; whatever it
// accepts reads back the same once written out again.
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>

#include "content_range.hpp"

namespace {

// Whether `value` is "bytes F-L/N" or "bytes F-L/*" with numbers that fit in
// 63 bits, F <= L and L < N; the numbers come back in the out parameters.
bool Acceptable(const std::string& value, kv::ContentRange& range) {
  static const std::regex form("bytes[ \\t]+([0-9]+)-([0-9]+)/([0-9]+|\\*)", std::regex::icase);
  std::smatch m;
  if (!std::regex_match(value, m, form)) return false;
  try {
    range.first = std::stoll(m[1].str());
    range.last = std::stoll(m[2].str());
    if (m[3].str() != "*") range.complete = std::stoll(m[3].str());
  } catch (const std::out_of_range&) {
    return false;
  }
  return range.first <= range.last && (!range.complete || range.last < *range.complete);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string value(reinterpret_cast<const char*>(data), size);
  const std::optional<kv::ContentRange> parsed = kv::ParseContentRange(value);
  kv::ContentRange expected;
  const bool acceptable = Acceptable(value, expected);
  if (parsed.has_value() != acceptable) std::abort();
  if (!parsed) return 0;
  if (!(*parsed == expected) || parsed->length() < 1) std::abort();
  const std::string again = "bytes " + std::to_string(parsed->first) + "-" + std::to_string(parsed->last) + "/" +
                            (parsed->complete ? std::to_string(*parsed->complete) : std::string("*"));
  if (kv::ParseContentRange(again) != parsed) std::abort();
  return 0;
}
