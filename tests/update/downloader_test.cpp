// The downloader against scripted peers: the request it sends, the chunks and
// reports, resuming, and each way a download can fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "downloader.hpp"
#include "http_peer.hpp"
#include "result_print.hpp"
#include "test_files.hpp"
#include "test_platform.hpp"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::RandomBytes;
using test::ReadFile;
using test::WriteFile;
using test::Answer;
using test::HttpPeer;
using test::HttpRequest;
using test::PeerConnection;

struct Report {
  std::int32_t total, position, elapsed, received;
};

using test::HeldOpen;

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::MakeTempFolder("kv-download");
    file_ = dir_ / "out.bin";
    limits_.connect_timeout = std::chrono::milliseconds(2000);
    limits_.stall_timeout = std::chrono::milliseconds(3000);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // One download; a failure's message is also kept in messages_.
  UpdateResult Run(const std::string& url, std::int32_t start = 0, bool resume = false) {
    return Keep(DownloadFile(url, file_, [this](std::int32_t t, std::int32_t p, std::int32_t e, std::int32_t r) {
      reports_.push_back({t, p, e, r});
    }, start, resume, limits_));
  }
  UpdateResult Keep(UpdateResult result) {
    if (result.failed()) messages_.push_back(result.message());
    return result;
  }

  fs::path dir_;
  fs::path file_;
  TransferLimits limits_;
  std::vector<Text> messages_;
  std::vector<Report> reports_;
};

TEST_F(DownloadTest, RequestHeadersAndEncodedPath) {
  HttpPeer peer([](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, "x")); });
  file_ = dir_ / "a.rar";
  // The archive's path as GBK bytes: "/KelvaroOstrin答题器.rar".
  ASSERT_TRUE(Run(peer.Url("/KelvaroOstrin\xb4\xf0\xcc\xe2\xc6\xf7.rar"), 0, true).ended());
  ASSERT_EQ(peer.Requests().size(), 1u);
  const HttpRequest r = peer.Requests()[0];
  EXPECT_EQ(r.method, "GET");
  EXPECT_EQ(r.target, "/KelvaroOstrin%b4%f0%cc%e2%c6%f7.rar");
  std::vector<std::string> ours;
  for (const std::string& line : r.header_lines) {
    if (line.rfind("Host:", 0) != 0) ours.push_back(line);
  }
  const std::vector<std::string> expected = {
      "Accept: */*", "Accept-Language: zh-cn", "Accept-Encoding: identity",
      "User-Agent: Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)",
      "Pragma: no-cache", test::AsSent("Range:bytes=0-")};
  EXPECT_EQ(ours, expected);
  // Without resume there is no Range line.
  Run(peer.Url("/x"), 77, false);
  EXPECT_FALSE(peer.Requests().back().HasHeader("Range"));
}

TEST_F(DownloadTest, ChunksReportsAndFileClosedWhenComplete) {
  const std::string body = RandomBytes(25000, 1);
  HttpPeer peer([&](const HttpRequest&, PeerConnection& c) {
    // Sent in uneven pieces, some smaller than a chunk.
    const std::string all = Answer(200, body);
    c.Send(all.substr(0, 300));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    c.Send(all.substr(300));
  });
  std::int64_t size_at_last = 0;
  const UpdateResult result = DownloadFile(peer.Url("/a"), file_, [&](std::int32_t t, std::int32_t p, std::int32_t e, std::int32_t r) {
    reports_.push_back({t, p, e, r});
    // Each report comes once its chunk is in the file.
    size_at_last = static_cast<std::int64_t>(fs::file_size(file_));
  }, 0, false, limits_);
  EXPECT_EQ(result, UpdateResult::Complete());
  EXPECT_FALSE(HeldOpen(file_));
  EXPECT_TRUE(ReadFile(file_) == body);
  ASSERT_GE(reports_.size(), 3u);
  std::int32_t last = 0;
  for (const Report& rep : reports_) {
    EXPECT_EQ(rep.total, 25000);
    EXPECT_GT(rep.position, last);
    EXPECT_LE(rep.position - last, 10240);
    EXPECT_EQ(rep.received, rep.position);
    EXPECT_GT(rep.elapsed, 0);
    last = rep.position;
  }
  EXPECT_EQ(last, 25000);
  EXPECT_EQ(size_at_last, 25000);
}

TEST_F(DownloadTest, NoContentLengthReportsTotalZero) {
  const std::string body = RandomBytes(30000, 2);
  HttpPeer peer([&](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, body, {}, false)); });
  EXPECT_TRUE(Run(peer.Url("/a")).ended());
  EXPECT_TRUE(ReadFile(file_) == body);
  ASSERT_FALSE(reports_.empty());
  for (const Report& rep : reports_) EXPECT_EQ(rep.total, 0);
  EXPECT_EQ(reports_.back().position, 30000);
}

// A resource of zero bytes is a complete resource: the file ends up empty,
// also when it held bytes and the range asked for was ignored.
TEST_F(DownloadTest, ZeroByteResource) {
  HttpPeer peer([](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, "")); });
  WriteFile(file_, "old");
  EXPECT_EQ(Run(peer.Url("/a")), UpdateResult::Complete());
  EXPECT_TRUE(fs::exists(file_));
  EXPECT_EQ(fs::file_size(file_), 0u);
  for (const std::int32_t start : {0, 4}) {
    WriteFile(file_, "kept");
    EXPECT_EQ(Run(peer.Url("/a"), start, true), UpdateResult::Complete()) << start;
    EXPECT_EQ(ReadFile(file_), "") << start;
  }
  EXPECT_TRUE(reports_.empty());
}

TEST_F(DownloadTest, ResumeAppendsTheRange) {
  const std::string whole = RandomBytes(1000 + 15000, 3);
  HttpPeer peer([&](const HttpRequest& r, PeerConnection& c) {
    const std::string range = r.Header("Range");
    const std::size_t from = std::stoul(range.substr(range.find('=') + 1));
    c.Send(Answer(206, whole.substr(from), {"Content-Range: bytes " + std::to_string(from) + "-15999/16000"}));
  });
  WriteFile(file_, whole.substr(0, 1000));
  EXPECT_TRUE(Run(peer.Url("/a"), 1000, true).ended());
  EXPECT_NE(peer.Requests()[0].head.find("\r\n" + test::AsSent("Range:bytes=1000-") + "\r\n"), std::string::npos);
  EXPECT_TRUE(ReadFile(file_) == whole);
  ASSERT_FALSE(reports_.empty());
  EXPECT_EQ(reports_[0].total, 15000);
  EXPECT_EQ(reports_[0].position, 1000 + reports_[0].received);
  EXPECT_GT(reports_[0].received, 0);
  EXPECT_EQ(reports_.back().position, 16000);
  EXPECT_EQ(reports_.back().received, 15000);
}

// What a 206 holds decides what is written and whether the resource is
// complete: its first byte must be the one asked for, and the length after
// the slash is the resource's size.
TEST_F(DownloadTest, ContentRangeDecidesWhatIsWrittenAndWhenItIsComplete) {
  const std::string whole = RandomBytes(5000, 11);
  const std::string multipart = "--b\r\nContent-Range: bytes 0-9/5000\r\n\r\n0123456789\r\n--b--\r\n";
  struct Case {
    const char* name;
    std::int32_t start;         // resumed from here (the file holds the bytes before it)
    std::string answer;         // the whole answer
    UpdateResult result;
    std::string file;           // what the file holds afterwards
    bool written;               // false: the file is untouched (absent when start is 0)
  };
  const auto range = [&](const std::string& value, std::size_t from, std::size_t to) {
    return Answer(206, whole.substr(from, to - from), {"Content-Range: " + value});
  };
  const UpdateResult kRefused = UpdateResult::Failed(kMsgCannotOpenUrl);
  const std::vector<Case> cases = {
      {"whole resource", 0, range("bytes 0-4999/5000", 0, 5000), UpdateResult::Complete(), whole, true},
      {"first part only", 0, range("bytes 0-999/5000", 0, 1000), UpdateResult::Failed(kMsgReadError),
       whole.substr(0, 1000), true},
      {"later part", 0, range("bytes 2000-4999/5000", 2000, 5000), kRefused, "", false},
      {"multipart", 0, Answer(206, multipart, {"Content-Type: multipart/byteranges; boundary=b"}), kRefused, "", false},
      {"no Content-Range", 0, Answer(206, whole), kRefused, "", false},
      {"unsatisfied form", 0, range("bytes */5000", 0, 5000), kRefused, "", false},
      {"not a number", 0, range("bytes 0-4x99/5000", 0, 5000), kRefused, "", false},
      {"last byte past the size", 0, range("bytes 0-5000/5000", 0, 5000), kRefused, "", false},
      {"other unit", 0, range("items 0-4999/5000", 0, 5000), kRefused, "", false},
      {"length disagrees", 0, range("bytes 0-4999/5000", 0, 4000), kRefused, "", false},
      {"size unknown", 0, range("bytes 0-4999/*", 0, 5000), UpdateResult::Done(), whole, true},
      {"resumed", 1000, range("bytes 1000-4999/5000", 1000, 5000), UpdateResult::Complete(), whole, true},
      {"resumed, answered from 0", 1000, range("bytes 0-4999/5000", 0, 5000), kRefused, whole.substr(0, 1000), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpPeer peer([&](const HttpRequest&, PeerConnection& conn) { conn.Send(c.answer); });
    fs::remove(file_);
    if (c.start > 0) WriteFile(file_, whole.substr(0, static_cast<std::size_t>(c.start)));
    EXPECT_EQ(Run(peer.Url("/a"), c.start, true), c.result);
    if (c.written || c.start > 0) {
      EXPECT_TRUE(ReadFile(file_) == c.file) << ReadFile(file_).size();
    } else {
      EXPECT_FALSE(fs::exists(file_));
    }
  }
}

// A 200 to a range request is the whole resource: it starts the file anew,
// whatever the file held and wherever the range started.
TEST_F(DownloadTest, RangeIgnoredReplacesTheFile) {
  const std::string whole = RandomBytes(12000, 6);
  HttpPeer peer([&](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, whole)); });
  for (const std::int32_t start : {1000, 0}) {
    WriteFile(file_, whole.substr(0, 1000));
    reports_.clear();
    EXPECT_EQ(Run(peer.Url("/a"), start, true), UpdateResult::Complete()) << start;
    EXPECT_TRUE(ReadFile(file_) == whole) << start;
    EXPECT_EQ(reports_.back().position, 12000) << start;
    EXPECT_EQ(reports_.back().received, 12000) << start;
  }
}

TEST_F(DownloadTest, RedirectedArchive) {
  HttpPeer peer([](const HttpRequest& r, PeerConnection& c) {
    if (r.target == "/old") c.Send(Answer(301, "moved", {"Location: /mid"}));
    if (r.target == "/mid") c.Send(Answer(307, "", {"Location: new archive?v=2#part"}));
    if (r.target == "/new%20archive?v=2") c.Send(Answer(200, "archive"));
    if (r.target == "/loop") c.Send(Answer(302, "", {"Location: /loop"}));
    if (r.target == "/ftp") c.Send(Answer(302, "", {"Location: ftp://127.0.0.1/a"}));
  });
  // A relative Location with a blank is resolved and encoded, its fragment dropped.
  EXPECT_EQ(Run(peer.Url("/old"), 0, true), UpdateResult::Complete());
  EXPECT_EQ(ReadFile(file_), "archive");
  // The redirected request still asks for the range.
  EXPECT_NE(peer.Requests().back().head.find("\r\n" + test::AsSent("Range:bytes=0-") + "\r\n"), std::string::npos);
  fs::remove(file_);
  EXPECT_TRUE(Run(peer.Url("/loop")).failed());
  EXPECT_TRUE(Run(peer.Url("/ftp")).failed());
  EXPECT_EQ(messages_, (std::vector<Text>{kMsgCannotOpenUrl, kMsgCannotOpenUrl}));
  EXPECT_FALSE(fs::exists(file_));
}

// Every final answer outside 2xx is refused, redirects that cannot be
// followed included, and so is a body in a content coding.
TEST_F(DownloadTest, RefusedAnswersWriteNothing) {
  const std::map<std::string, std::string> answers = {
      {"/404", Answer(404, "<html>not found</html>")},
      {"/500", Answer(500, "")},
      {"/gzip", Answer(200, "\x1f\x8b compressed", {"Content-Encoding: gzip"})},
      // A Location that is no URL: the 302 is the final answer.
      {"/vertical-tab", Answer(302, "", {"Location: \v"})},
      {"/no-location", Answer(303, "see nothing")},
      {"/not-modified", Answer(304, "")},
  };
  HttpPeer peer([&](const HttpRequest& r, PeerConnection& c) {
    c.Send(r.target == "/identity" ? Answer(200, "plain", {"Content-Encoding: identity"}) : answers.at(r.target));
  });
  for (const auto& [path, answer] : answers) {
    EXPECT_EQ(Run(peer.Url(path), 0, true), UpdateResult::Failed(kMsgCannotOpenUrl)) << path;
    EXPECT_FALSE(fs::exists(file_)) << path;
  }
  EXPECT_TRUE(reports_.empty());
  EXPECT_EQ(Run(peer.Url("/identity")), UpdateResult::Complete());
  EXPECT_EQ(ReadFile(file_), "plain");
}

TEST_F(DownloadTest, ResetInTheMiddleOfTheBody) {
  const std::string body = RandomBytes(20000, 4);
  HttpPeer peer([&](const HttpRequest&, PeerConnection& c) {
    c.Send(Answer(200, body).substr(0, 200 + 12000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    c.Reset();
  });
  EXPECT_TRUE(Run(peer.Url("/a")).failed());
  EXPECT_EQ(messages_, std::vector<Text>{kMsgReadError});
  // What arrived stays in the file, and the file is closed.
  const std::string kept = ReadFile(file_);
  ASSERT_FALSE(kept.empty());
  EXPECT_TRUE(kept == body.substr(0, kept.size()));
  EXPECT_EQ(reports_.back().position, static_cast<std::int32_t>(kept.size()));
  EXPECT_FALSE(HeldOpen(file_));
}

TEST_F(DownloadTest, UnreachableHost) {
  EXPECT_TRUE(Run("http://127.0.0.1:" + std::to_string(test::UnusedPort()) + "/a").failed());
  EXPECT_TRUE(Run("no url at all").failed());
  EXPECT_EQ(messages_, (std::vector<Text>{kMsgCannotOpenUrl, kMsgCannotOpenUrl}));
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(DownloadTest, LocalFileFailures) {
  HttpPeer peer([](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, RandomBytes(30000, 5))); });
  file_ = dir_ / "no-such-folder" / "a.rar";
  EXPECT_TRUE(Run(peer.Url("/a")).failed());
#ifndef _WIN32  // Windows has no device that is always full
  // A full disk: every write fails.
  file_ = "/dev/full";
  EXPECT_TRUE(Run(peer.Url("/a")).failed());
  EXPECT_EQ(messages_, (std::vector<Text>{kMsgCannotOpenFile, kMsgWriteError}));
  EXPECT_FALSE(HeldOpen("/dev/full"));
#else
  EXPECT_EQ(messages_, (std::vector<Text>{kMsgCannotOpenFile}));
#endif
  EXPECT_TRUE(reports_.empty());
}

TEST_F(DownloadTest, StalledTransferFailsLikeAFailedRead) {
  HttpPeer peer([](const HttpRequest& r, PeerConnection& c) {
    if (r.target == "/body") c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst");
    c.WaitForClose(std::chrono::milliseconds(3000));
  });
  limits_.stall_timeout = std::chrono::milliseconds(300);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(Run(peer.Url("/body")).failed());
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2500));
  EXPECT_EQ(ReadFile(file_), "first");
  // Silence before any answer: the URL was never opened.
  EXPECT_TRUE(Run(peer.Url("/silent")).failed());
  EXPECT_EQ(messages_, (std::vector<Text>{kMsgReadError, kMsgCannotOpenUrl}));
}

TEST_F(DownloadTest, CancelEndsPromptlyWithoutMessage) {
  HttpPeer peer([](const HttpRequest&, PeerConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nfirst");
    c.WaitForClose(std::chrono::milliseconds(4000));
  });
  std::atomic<bool> cancel{false};
  limits_.cancel = &cancel;
  limits_.stall_timeout = std::chrono::milliseconds(60000);
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    cancel = true;
  });
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(Run(peer.Url("/a")).cancelled());
  canceller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1800));
  EXPECT_TRUE(messages_.empty());
  EXPECT_FALSE(HeldOpen(file_));
}

}  // namespace
}  // namespace kv
