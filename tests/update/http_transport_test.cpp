// The transport under the update library, on its own: how far it follows
// redirects and how a redirect's target reaches the wire.
#include <gtest/gtest.h>

#include <string>

#include "http_peer.hpp"
#include "http_transport.hpp"

namespace kv {
namespace {

struct Collect : HttpReceiver {
  HttpAnswer answer;
  std::string body;
  bool OnAnswer(const HttpAnswer& a) override {
    answer = a;
    return true;
  }
  bool OnBody(const char* data, std::size_t n) override {
    body.append(data, n);
    return true;
  }
};

TransferEnd Get(const std::string& url, Collect& into) {
  HttpGet get;
  get.url = url;
  get.limits.connect_timeout = std::chrono::milliseconds(2000);
  get.limits.stall_timeout = std::chrono::milliseconds(2000);
  return RunHttpGet(get, into);
}

TEST(HttpTransport, FollowsAtMostTenRedirects) {
  // /hop/N sends the client on to /hop/N-1; /hop/0 is the page.
  test::HttpPeer peer([](const test::HttpRequest& r, test::PeerConnection& c) {
    const int n = std::stoi(r.target.substr(5));
    c.Send(n == 0 ? test::Answer(200, "end") : test::Answer(302, "", {"Location: /hop/" + std::to_string(n - 1)}));
  });
  const std::pair<int, TransferEnd> cases[] = {{0, TransferEnd::kEnded}, {10, TransferEnd::kEnded},
                                               {11, TransferEnd::kNoAnswer}};
  for (const auto& [hops, end] : cases) {
    Collect c;
    EXPECT_EQ(Get(peer.Url("/hop/" + std::to_string(hops)), c), end) << hops;
    EXPECT_EQ(c.body, end == TransferEnd::kEnded ? "end" : "") << hops;
  }
}

TEST(HttpTransport, RedirectTargetGoesOutEncoded) {
  // A Location in GBK bytes and with a blank, as servers send them.
  test::HttpPeer peer([](const test::HttpRequest& r, test::PeerConnection& c) {
    if (r.target == "/start") {
      c.Send(test::Answer(301, "", {"Location: /Kelvaro\xb4\xf0 \xcc\xe2.rar?a=\xc6\xf7#frag"}));
    } else {
      c.Send(test::Answer(200, r.target));
    }
  });
  Collect c;
  ASSERT_EQ(Get(peer.Url("/start"), c), TransferEnd::kEnded);
  EXPECT_EQ(c.answer.status, 200);
  EXPECT_EQ(c.body, "/Kelvaro%b4%f0%20%cc%e2.rar?a=%c6%f7");
}

}  // namespace
}  // namespace kv
