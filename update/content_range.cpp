#include "content_range.hpp"

#include <charconv>

namespace kv {
namespace {

// Leading decimal digits of `s` as a number, consumed from `s`.
std::optional<std::int64_t> TakeNumber(std::string_view& s) {
  std::size_t n = 0;
  while (n < s.size() && s[n] >= '0' && s[n] <= '9') ++n;
  std::int64_t value = 0;
  if (n == 0 || std::from_chars(s.data(), s.data() + n, value).ec != std::errc()) return std::nullopt;
  s.remove_prefix(n);
  return value;
}

bool TakeChar(std::string_view& s, char c) {
  if (s.empty() || s.front() != c) return false;
  s.remove_prefix(1);
  return true;
}

}  // namespace

std::optional<ContentRange> ParseContentRange(std::string_view value) {
  constexpr std::string_view kUnit = "bytes";
  if (value.size() < kUnit.size()) return std::nullopt;
  for (std::size_t i = 0; i < kUnit.size(); ++i) {
    const char c = value[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kUnit[i]) return std::nullopt;
  }
  std::string_view rest = value.substr(kUnit.size());
  if (rest.empty() || (rest.front() != ' ' && rest.front() != '\t')) return std::nullopt;
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);

  ContentRange range;
  const auto first = TakeNumber(rest);
  if (!first || !TakeChar(rest, '-')) return std::nullopt;
  const auto last = TakeNumber(rest);
  if (!last || !TakeChar(rest, '/')) return std::nullopt;
  range.first = *first;
  range.last = *last;
  if (rest == "*") {
    rest.remove_prefix(1);
  } else {
    range.complete = TakeNumber(rest);
    if (!range.complete) return std::nullopt;
  }
  if (!rest.empty() || range.last < range.first) return std::nullopt;
  if (range.complete && range.last >= *range.complete) return std::nullopt;
  return range;
}

}  // namespace kv
