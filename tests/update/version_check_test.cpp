// The version page: what the fetch sends, what it returns, and how the Version
// record in a served page decides whether this copy is current.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <thread>

#include "gbk_bytes.hpp"
#include "http_peer.hpp"
#include "result_print.hpp"
#include "version_check.hpp"

namespace kv {
namespace {

using test::Answer;
using test::HttpPeer;
using test::HttpRequest;
using test::PeerConnection;

ByteBlock View(const std::vector<unsigned char>& v) { return ByteBlock(v.data(), v.size()); }

TransferLimits Quick() {
  TransferLimits limits;
  limits.connect_timeout = std::chrono::milliseconds(2000);
  limits.stall_timeout = std::chrono::milliseconds(2000);
  return limits;
}

TEST(VersionPage, RecordInServedPages) {
  // Latest version per page, as the check reads it from the served body.
  const std::map<std::string, std::pair<std::string, std::string>> pages = {
      {"/found", {"<p>文件名:a.rar$$$$$$ 最新版本:v1.9!!!!!! 下载地址:http://x/@@@@@@</p>", "v1.9"}},
      {"/alone", {"最新版本:v1.9!!!!!!", "v1.9"}},
      {"/missing", {"<html>nothing here</html>", ""}},
      {"/no-marker", {"最新版本:v1.9", ""}},
      {"/empty-value", {"最新版本:!!!!!!", ""}},
      {"/space", {"最新版本: v1.9!!!!!!", " v1.9"}},
      {"/capital", {"最新版本:V1.9!!!!!!", "V1.9"}},
      {"/older", {"最新版本:v1.8!!!!!!", "v1.8"}},
      // Only the first label counts; its value runs to the first marker after it.
      {"/twice", {"最新版本:v2.0 最新版本:v1.9!!!!!!", "v2.0 最新版本:v1.9"}},
      {"/twice-closed", {"最新版本:v1.9!!!!!!最新版本:v2.0!!!!!!", "v1.9"}},
      // The other fields' markers end nothing here.
      {"/markers", {"最新版本:v1$$$$$$.9@@@@@@!!!!!!", "v1$$$$$$.9@@@@@@"}},
      {"/line-break", {"最新版本:\r\nv1.9!!!!!!", "\r\nv1.9"}},
      // A full-width colon is not the label.
      {"/full-width", {"最新版本：v1.9!!!!!!", ""}},
      {"/after-nul", {test::Bytes("<p>\0最新版本:v1.9!!!!!!"), ""}},
      {"/before-nul", {test::Bytes("最新版本:v1.9!!!!!!\0junk"), "v1.9"}},
  };
  HttpPeer peer([&](const HttpRequest& r, PeerConnection& c) {
    const auto it = pages.find(r.target);
    c.Send(it == pages.end() ? Answer(404, "") : Answer(200, it->second.first));
  });
  for (const auto& [path, page] : pages) {
    const std::vector<unsigned char> body = FetchUrl(peer.Url(path), Quick()).body;
    EXPECT_EQ(std::string(body.begin(), body.end()), page.first) << path;
    EXPECT_EQ(LatestVersion(View(body)), page.second) << path;
    EXPECT_EQ(IsCurrentVersion(View(body)), page.second == "v1.9") << path;
  }
}

TEST(VersionPage, DoubleByteAwareLabelSearch) {
  // After the lead byte 0xB0 the label's first byte is a trail byte: no label there.
  const std::string shifted = "\xb0" + std::string(kLatestVersionLabel) + "v1.9!!!!!!";
  EXPECT_EQ(ExtractField(shifted, kLatestVersionLabel, kLatestVersionMarker), "");
  EXPECT_EQ(ExtractField("a" + std::string(kLatestVersionLabel) + "v1.9!!!!!!", kLatestVersionLabel,
                         kLatestVersionMarker),
            "v1.9");
  EXPECT_EQ(ExtractField(kLatestVersionLabel, kLatestVersionLabel, kLatestVersionMarker), "");
  EXPECT_EQ(ExtractField("文件名:x.rar$$$$$$", kFileNameLabel, kFileNameMarker), "x.rar");
  EXPECT_EQ(std::string(kLatestVersionLabel).size(), 9u);
  EXPECT_EQ(std::string(kFileNameLabel).size(), 7u);
}

TEST(VersionPage, RequestShape) {
  HttpPeer peer([](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, "最新版本:v1.9!!!!!!")); });
  FetchUrl(peer.Url("/v.htm?id=7#section"), Quick());
  const auto requests = peer.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const HttpRequest& r = requests[0];
  EXPECT_EQ(r.method, "GET");
  EXPECT_EQ(r.target, "/v.htm?id=7");
  EXPECT_EQ(r.version, "HTTP/1.0");
  EXPECT_EQ(r.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  EXPECT_EQ(r.Header("Accept"), "*/*");
  EXPECT_EQ(r.Header("Pragma"), "no-cache");
  EXPECT_FALSE(r.HasHeader("Referer"));
}

TEST(VersionPage, StatusRedirectsAndFailures) {
  HttpPeer peer([](const HttpRequest& r, PeerConnection& c) {
    if (r.target == "/moved") {
      c.Send(Answer(302, "", {"Location: /final"}));
    } else if (r.target == "/final") {
      c.Send(Answer(200, "最新版本:v1.9!!!!!!"));
    } else if (r.target == "/error") {
      c.Send(Answer(500, "最新版本:v1.9!!!!!!"));
    } else if (r.target == "/loop") {
      c.Send(Answer(302, "", {"Location: /loop"}));
    } else if (r.target == "/ftp") {
      c.Send(Answer(302, "", {"Location: ftp://127.0.0.1/x"}));
    } else if (r.target == "/reset") {
      c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nfirst bytes");
      c.Reset();
    }
  });
  // The redirect is followed and the final answer is the page.
  EXPECT_TRUE(IsCurrentVersion(View(FetchUrl(peer.Url("/moved"), Quick()).body)));
  // The status is not examined: an error page is read like any page.
  EXPECT_TRUE(IsCurrentVersion(View(FetchUrl(peer.Url("/error"), Quick()).body)));
  // Endless redirects and other schemes give nothing usable.
  EXPECT_FALSE(IsCurrentVersion(View(FetchUrl(peer.Url("/loop"), Quick()).body)));
  EXPECT_EQ(peer.Requests().size(), 2u + 1u + 11u);
  const FetchResult ftp = FetchUrl(peer.Url("/ftp"), Quick());
  EXPECT_TRUE(ftp.body.empty());
  EXPECT_EQ(ftp.result, UpdateResult::Failed(kMsgCannotOpenUrl));
  // A broken transfer keeps what arrived.
  const FetchResult partial = FetchUrl(peer.Url("/reset"), Quick());
  EXPECT_EQ(std::string(partial.body.begin(), partial.body.end()), "first bytes");
  EXPECT_EQ(partial.result, UpdateResult::Failed(kMsgReadError));
  // Nothing listening, and an address that is no URL.
  for (const std::string& url : {"http://127.0.0.1:" + std::to_string(test::UnusedPort()) + "/v.htm", std::string("not a url")}) {
    const FetchResult none = FetchUrl(url, Quick());
    EXPECT_TRUE(none.body.empty()) << url;
    EXPECT_EQ(none.result, UpdateResult::Failed(kMsgCannotOpenUrl)) << url;
  }
  EXPECT_FALSE(IsCurrentVersion({}));
}

TEST(VersionPage, SilentServerTimesOut) {
  HttpPeer peer([](const HttpRequest&, PeerConnection& c) {
    c.Send("HTTP/1.0 200 OK\r\n\r\n最新版本:v1.9");
    c.WaitForClose(std::chrono::milliseconds(2500));
  });
  TransferLimits limits = Quick();
  limits.stall_timeout = std::chrono::milliseconds(300);
  const auto start = std::chrono::steady_clock::now();
  const auto body = FetchUrl(peer.Url("/v.htm"), limits).body;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2400));
  EXPECT_FALSE(IsCurrentVersion(View(body)));
}

// A page that never ends, or ends far too late, must not hold start-up: the
// fetch stops at its deadline, and a body is cut at 1 MiB (the record sits
// near the start of a small page).
TEST(VersionPage, FetchIsBoundedInTimeAndSize) {
  const std::string record = "最新版本:v1.9!!!!!!";
  const std::string filler(1u << 20, 'x');
  HttpPeer peer(
      [&](const HttpRequest& r, PeerConnection& c) {
        if (r.target == "/trickle") {
          c.Send("HTTP/1.0 200 OK\r\n\r\n" + record.substr(0, 4));
          const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(8);
          while (std::chrono::steady_clock::now() < end && c.SendOnce("x") == 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } else if (r.target == "/record-late") {
          c.Send(Answer(200, filler + record + filler));
        } else {
          c.Send(Answer(200, record + filler + filler));
        }
      },
      std::chrono::seconds(30), true);
  TransferLimits limits = Quick();
  limits.total = std::chrono::milliseconds(700);
  const auto start = std::chrono::steady_clock::now();
  const FetchResult trickle = FetchUrl(peer.Url("/trickle"), limits);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
  EXPECT_EQ(trickle.result, UpdateResult::Failed(kMsgReadError));
  EXPECT_FALSE(IsCurrentVersion(View(trickle.body)));

  const FetchResult late = FetchUrl(peer.Url("/record-late"), Quick());
  EXPECT_EQ(late.body.size(), std::size_t{1} << 20);
  EXPECT_FALSE(IsCurrentVersion(View(late.body)));
  const FetchResult early = FetchUrl(peer.Url("/record-early"), Quick());
  EXPECT_EQ(early.body.size(), std::size_t{1} << 20);
  EXPECT_TRUE(IsCurrentVersion(View(early.body)));
}

TEST(VersionPage, ProxyFromEnvironment) {
  // The page's own host does not exist; the proxy named by http_proxy answers.
  HttpPeer proxy([](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, "最新版本:v1.9!!!!!!")); });
  test::SetEnvironment("http_proxy", proxy.Url("").c_str());
  const auto body = FetchUrl("http://version.kelvaro.invalid/v.htm#top", Quick()).body;
  test::SetEnvironment("http_proxy", nullptr);
  EXPECT_TRUE(IsCurrentVersion(View(body)));
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 1u);
  std::string target = requests[0].target;
#ifdef _WIN32
  // WinINet writes the default port out; libcurl leaves it away.
  if (const std::size_t port = target.find(":80/"); port != std::string::npos) target.erase(port, 3);
#endif
  EXPECT_EQ(target, "http://version.kelvaro.invalid/v.htm");
}

}  // namespace
}  // namespace kv
