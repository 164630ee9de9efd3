// Absolute http and https URLs taken apart for an HTTP client that wants host,
// port and request target separately, and redirect targets resolved against
// the URL they came from (RFC 3986, section 5). Used by transports whose
// client does not do this itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv {

struct ParsedUrl {
  std::string scheme;  // lower case
  bool web = false;    // http or https
  bool secure = false; // https
  std::string host;    // as written, without brackets around an IPv6 address
  int port = 0;        // the scheme's default when none is written
  std::string path;    // from the first "/", encoded; "/" when empty
  std::string query;   // from the "?", encoded; "" when absent
  std::string target() const { return path + query; }
};

// `url` without its fragment; blanks and bytes from 0x80 up in path and
// query go out percent-encoded. Nullopt for no absolute URL, a control
// character anywhere, or an http(s) URL without a host or with a bad port.
std::optional<ParsedUrl> ParseUrl(std::string_view url);

// Where `reference` (a Location value: absolute, or relative to `base`)
// leads, encoded as ParseUrl encodes.
std::optional<ParsedUrl> ResolveUrl(const ParsedUrl& base, std::string_view reference);

}  // namespace kv
