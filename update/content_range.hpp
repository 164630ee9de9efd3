// The Content-Range header of a 206 answer: which bytes of the resource the
// body holds, and how long the resource is.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kv {

struct ContentRange {
  std::int64_t first = 0;               // first byte of the body in the resource
  std::int64_t last = 0;                // last byte, inclusive
  std::optional<std::int64_t> complete;  // the resource's size; nullopt for "*"

  std::int64_t length() const { return last - first + 1; }
  bool operator==(const ContentRange&) const = default;
};

// "bytes <first>-<last>/<size or *>" (the unit in any case, blanks after it);
// nullopt for anything else: another unit, the unsatisfied form "bytes */n",
// signs, blanks inside, numbers past 63 bits, a last byte before the first or
// not inside the size.
std::optional<ContentRange> ParseContentRange(std::string_view value);

}  // namespace kv
