// URLs taken apart for WinINet, and redirect targets resolved against them:
// what reaches the wire as host, port and request target.
#include <gtest/gtest.h>

#include "http_url.hpp"

namespace kv {
namespace {

// "host port target", or "-" for no URL, or "other" for a scheme that is not http(s).
std::string Show(const std::optional<ParsedUrl>& u) {
  if (!u) return "-";
  if (!u->web) return "other";
  return u->host + " " + std::to_string(u->port) + " " + u->target() + (u->secure ? " tls" : "");
}

TEST(HttpUrl, Parse) {
  const std::pair<std::string, std::string> cases[] = {
      {"http://127.0.0.1:8080/a.rar", "127.0.0.1 8080 /a.rar"},
      {"HTTP://Example.test", "Example.test 80 /"},
      {"https://example.test/v.htm?x=1#top", "example.test 443 /v.htm?x=1 tls"},
      {"http://u:p@example.test:81/x", "example.test 81 /x"},
      {"http://[::1]:8080/x", "::1 8080 /x"},
      {"http://h/?q", "h 80 /?q"},
      // GBK bytes and blanks go out encoded, a percent sign as it is.
      {"http://h/Kelvaro\xb4\xf0 x.rar?n=\xcc\xe2%41", "h 80 /Kelvaro%b4%f0%20x.rar?n=%cc%e2%41"},
      {"ftp://h/a", "other"},
      {"no url at all", "-"},
      {"http:/h/a", "-"},
      {"http://:80/a", "-"},
      {"http://h:0/a", "-"},
      {"http://h:65536/a", "-"},
      {"http://h:8x/a", "-"},
      {"http://h/a\vb", "-"},
      {std::string("http://h/a\0b", 12), "-"},
  };
  for (const auto& [url, shown] : cases) EXPECT_EQ(Show(ParseUrl(url)), shown) << url;
}

TEST(HttpUrl, ResolveRedirect) {
  const ParsedUrl base = *ParseUrl("http://h:8000/dir/sub/page.htm?old=1");
  const std::pair<std::string, std::string> cases[] = {
      {"new archive?v=2#part", "h 8000 /dir/sub/new%20archive?v=2"},
      {"/top", "h 8000 /top"},
      {"../up/./x", "h 8000 /dir/up/x"},
      {"../../../../x", "h 8000 /x"},
      {"?only=query", "h 8000 /dir/sub/page.htm?only=query"},
      {"#fragment", "h 8000 /dir/sub/page.htm?old=1"},
      {"//other.test/p", "other.test 80 /p"},
      {"https://secure.test/s", "secure.test 443 /s tls"},
      {"ftp://127.0.0.1/a", "other"},
      {"\v", "-"},
  };
  for (const auto& [location, shown] : cases) EXPECT_EQ(Show(ResolveUrl(base, location)), shown) << location;
}

}  // namespace
}  // namespace kv
