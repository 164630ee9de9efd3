#include "http_url.hpp"

#include <charconv>

namespace kv {
namespace {

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool HasControl(std::string_view s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7f) return true;
  return false;
}

std::string Encode(std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    if (c == ' ' || c >= 0x80) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string_view WithoutFragment(std::string_view s) { return s.substr(0, s.find('#')); }

// The scheme of `s` ("" when it has none) and where the rest begins.
std::string SchemeOf(std::string_view s, std::size_t& rest) {
  if (s.empty() || !IsAlpha(s[0])) return {};
  std::size_t i = 1;
  while (i < s.size() && (IsAlpha(s[i]) || IsDigit(s[i]) || s[i] == '+' || s[i] == '-' || s[i] == '.')) ++i;
  if (i >= s.size() || s[i] != ':') return {};
  std::string scheme;
  for (char c : s.substr(0, i)) scheme += Lower(c);
  rest = i + 1;
  return scheme;
}

// Removes "." and ".." segments (RFC 3986, 5.2.4).
std::string RemoveDots(std::string_view in) {
  std::string out;
  while (!in.empty()) {
    if (in.starts_with("../")) {
      in.remove_prefix(3);
    } else if (in.starts_with("./")) {
      in.remove_prefix(2);
    } else if (in.starts_with("/./")) {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.starts_with("/../") || in == "/..") {
      in = in.size() == 3 ? std::string_view("/") : in.substr(3);
      const std::size_t cut = out.rfind('/');
      out.erase(cut == std::string::npos ? 0 : cut);
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      const std::size_t next = in.find('/', 1);
      out += in.substr(0, next);
      in = next == std::string_view::npos ? std::string_view() : in.substr(next);
    }
  }
  return out;
}

void SplitPathQuery(std::string_view s, ParsedUrl& url) {
  const std::size_t q = s.find('?');
  const std::string_view path = s.substr(0, q);
  url.path = Encode(path.empty() ? std::string_view("/") : path);
  url.query = q == std::string_view::npos ? "" : Encode(s.substr(q));
}

}  // namespace

std::optional<ParsedUrl> ParseUrl(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  const std::string_view s = WithoutFragment(text);
  if (HasControl(s)) return std::nullopt;
  std::size_t at = 0;
  ParsedUrl url;
  url.scheme = SchemeOf(s, at);
  if (url.scheme.empty()) return std::nullopt;
  url.web = url.scheme == "http" || url.scheme == "https";
  url.secure = url.scheme == "https";
  if (!url.web) return url;
  if (s.substr(at, 2) != "//") return std::nullopt;
  at += 2;
  const std::size_t end = s.find_first_of("/?", at);
  std::string_view authority = s.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
  if (const std::size_t user = authority.rfind('@'); user != std::string_view::npos) authority.remove_prefix(user + 1);
  std::string_view port;
  if (authority.starts_with("[")) {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    url.host = std::string(authority.substr(1, close - 1));
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty() && after[0] != ':') return std::nullopt;
    if (!after.empty()) port = after.substr(1);
  } else {
    const std::size_t colon = authority.rfind(':');
    url.host = std::string(authority.substr(0, colon));
    if (colon != std::string_view::npos) port = authority.substr(colon + 1);
  }
  if (url.host.empty() || url.host.find(' ') != std::string::npos) return std::nullopt;
  url.port = url.secure ? 443 : 80;
  if (!port.empty()) {
    int value = 0;
    const auto [p, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (ec != std::errc() || p != port.data() + port.size() || value < 1 || value > 65535) return std::nullopt;
    url.port = value;
  }
  SplitPathQuery(end == std::string_view::npos ? std::string_view() : s.substr(end), url);
  return url;
}

std::optional<ParsedUrl> ResolveUrl(const ParsedUrl& base, std::string_view reference) {
  const std::string_view ref = WithoutFragment(reference);
  if (HasControl(ref) || ref.find('\0') != std::string_view::npos) return std::nullopt;
  std::size_t at = 0;
  if (!SchemeOf(ref, at).empty()) return ParseUrl(ref);
  if (ref.starts_with("//")) return ParseUrl(base.scheme + ":" + std::string(ref));
  ParsedUrl url = base;
  if (ref.empty()) return url;
  if (ref.starts_with("?")) {
    url.query = Encode(ref);
    return url;
  }
  const std::size_t q = ref.find('?');
  std::string path(ref.substr(0, q));
  if (!path.starts_with("/")) {
    // Relative: beside the last segment of the base's path.
    const std::size_t slash = base.path.rfind('/');
    path = base.path.substr(0, slash + 1) + path;
  }
  url.path = Encode(RemoveDots(path));
  if (url.path.empty()) url.path = "/";
  url.query = q == std::string_view::npos ? "" : Encode(ref.substr(q));
  return url;
}

}  // namespace kv
