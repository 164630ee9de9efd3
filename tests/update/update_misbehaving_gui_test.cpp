// The Update window when peers and disks misbehave: answers whose numbers look
// complete when the archive is not, two copies of the program updating into
// one folder, no folder that can be written, and a file that stops taking
// bytes half-way. The driver runs in a child process (optionally with a file
// size limit) against scripted peers.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "bad_signatures.hpp"
#include "driver_child.hpp"
#include "http_peer.hpp"
#include "test_files.hpp"
#include "test_signer.hpp"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::Answer;
using test::HttpPeer;
using test::HttpRequest;
using test::PeerConnection;

// The driver speaks UTF-8; narrow literals here are GBK.
std::string U(std::u8string_view s) { return std::string(s.begin(), s.end()); }

// The driver's output when it ended by itself with code 0, else "".
std::string RunToEnd(std::vector<std::string> args, rlim_t maxFileBytes = 0) {
  const test::Child child = test::RunDriver(std::move(args), std::chrono::seconds(20), maxFileBytes);
  return child.exitCode == 0 ? child.out : std::string();
}

const std::string kNewerPage = "<p>\xd7\xee\xd0\xc2\xb0\xe6\xb1\xbe:v2.0!!!!!!</p>";  // 最新版本:v2.0!!!!!!
const std::string kArchiveUtf8 = U(u8"KelvaroOstrin答题器.rar");

class UpdateWindowOnABadDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kv-baddisk-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir_); }

  HttpPeer pages_{[](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, kNewerPage)); }};
  fs::path dir_;
};

// The window finishes only when the downloader says the archive is complete,
// not when the reported position reaches the reported total.
TEST_F(UpdateWindowOnABadDisk, ReportsThatLookCompleteDoNotFinishTheUpdate) {
  const std::string part = test::RandomBytes(1000, 21);
  struct Case {
    const char* name;
    std::string head;  // the answer's head; `part` follows, then the connection closes
    std::string state;  // the window when the failure is shown
  };
  const std::vector<Case> cases = {
      // A range of 1000 bytes out of 5000: the reports say 1000 of 1000.
      {"first range only", "HTTP/1.1 206 Partial\r\nContent-Range: bytes 0-999/5000\r\nContent-Length: 1000\r\n\r\n",
       U(u8"state size=1000字节 done=1000字节 bar=0/0 button=0 visible=1")},
      // 2^32 + 1000 bytes: the low 32 bits of the length are 1000.
      {"length past 32 bits", "HTTP/1.1 200 OK\r\nContent-Length: 4294968296\r\n\r\n",
       U(u8"state size=1000字节 done=1000字节 bar=0/0 button=0 visible=1")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpPeer server([&](const HttpRequest&, PeerConnection& conn) {
      conn.Send(c.head + part);
      std::this_thread::sleep_for(std::chrono::milliseconds(800));
    });
    const fs::path program = dir_ / "bin";
    fs::create_directories(program);
    const std::string out = RunToEnd(
        {"yes-fail", pages_.Url("/version.htm"), server.Url("/a.rar"), program.string(), (dir_ / "Downloads").string()});
    ASSERT_FALSE(out.empty()) << "the driver did not end by itself";
    EXPECT_EQ(out.find(U(u8"下载完成!")), std::string::npos) << out;
    EXPECT_NE(out.find(U(u8"message 信息： | 读文件出错! modal=0\n") + c.state + "\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("\nopen "), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(program / kArchiveUtf8));
    EXPECT_TRUE(ReadFile(program / (kArchiveUtf8 + ".part")) == part);
    fs::remove_all(program);
  }
}

// Two copies of the program update into one folder at the same time: one
// downloads and opens the archive, the other says it cannot and opens nothing.
TEST_F(UpdateWindowOnABadDisk, TwoCopiesUpdatingOneFolder) {
  const std::string archive = test::RandomBytes(300000, 22);
  const test::TestSigner signer;
  const std::string signature = signer.Sign(archive);
  std::atomic<bool> secondEnded{false};
  std::atomic<int> served{0};
  HttpPeer server(
      [&](const HttpRequest& r, PeerConnection& c) {
        if (test::AsksForSignature(r.target)) return c.Send(Answer(200, signature));
        const std::string all = Answer(200, archive);
        c.Send(all.substr(0, 100000));
        // The first download waits half-way until the second copy has ended.
        const bool firstRequest = served++ == 0;
        for (int i = 0; firstRequest && i < 400 && !secondEnded; ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        c.Send(all.substr(100000));
      },
      std::chrono::seconds(30), true);
  const fs::path program = dir_ / "bin";
  fs::create_directory(program);
  const std::vector<std::string> args = {"yes-download", pages_.Url("/version.htm"), server.Url("/a.rar"),
                                         program.string(), (dir_ / "Downloads").string(), signer.PublicKey()};
  auto first = std::async(std::launch::async, [&] { return test::RunDriver(args); });
  for (int i = 0; i < 500 && server.Requests().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(server.Requests().size(), 1u);
  const test::Child second = test::RunDriver(args);
  secondEnded = true;
  const test::Child one = first.get();

  EXPECT_EQ(one.exitCode, 0) << one.out;
  EXPECT_EQ(second.exitCode, 0) << second.out;
  const std::string opened = "open " + (program / kArchiveUtf8).string();
  EXPECT_TRUE(one.Has(U(u8"message 信息： | 下载完成! modal=0"))) << one.out;
  EXPECT_TRUE(one.Has(opened)) << one.out;
  EXPECT_TRUE(second.Has(U(u8"message 信息： | 不能打开本地的文件! modal=0"))) << second.out;
  EXPECT_EQ(second.out.find("\nopen "), std::string::npos) << second.out;
  EXPECT_EQ(served.load(), 1);  // the archive once, then its signature
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_TRUE(ReadFile(program / kArchiveUtf8) == archive);
  EXPECT_FALSE(fs::exists(program / (kArchiveUtf8 + ".part")));
}

TEST_F(UpdateWindowOnABadDisk, NoWritableFolderSaysSoAndKeepsTheWindow) {
  HttpPeer server([](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, "RAR archive")); });
  // /proc/self takes no new files even from root; neither does a folder
  // below a regular file.
  std::ofstream(dir_ / "home", std::ios::binary) << "not a folder";
  const std::string out = RunToEnd(
      {"yes-fail", pages_.Url("/version.htm"), server.Url("/a.rar"), "/proc/self", (dir_ / "home" / "Downloads").string()});
  ASSERT_FALSE(out.empty()) << "the driver did not end by itself";
  EXPECT_NE(out.find(U(u8"message 信息： | 不能打开本地的文件! modal=0\n")), std::string::npos) << out;
  EXPECT_NE(out.find("visible=1\n", out.find("after ok")), std::string::npos) << out;
  EXPECT_EQ(out.find("\nopen "), std::string::npos) << out;
  EXPECT_EQ(ReadFile(dir_ / "home"), "not a folder");
}

TEST_F(UpdateWindowOnABadDisk, FileFullHalfWaySaysSoAndNeverOpensTheArchive) {
  std::string body(100000, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 + i / 251);
  HttpPeer server([&](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, body)); });
  const fs::path program = dir_ / "bin";
  fs::create_directory(program);
  std::ofstream(program / kArchiveUtf8, std::ios::binary) << "previous";
  const std::string out = RunToEnd(
      {"yes-fail", pages_.Url("/version.htm"), server.Url("/a.rar"), program.string(), (dir_ / "Downloads").string()},
      25000);
  ASSERT_FALSE(out.empty()) << "the driver did not end by itself";
  EXPECT_NE(out.find(U(u8"message 信息： | 写文件出错! modal=0\n")), std::string::npos) << out;
  EXPECT_NE(out.find("visible=1\n", out.find("after ok")), std::string::npos) << out;
  EXPECT_EQ(out.find("\nopen "), std::string::npos) << out;
  // The old archive stands; the .part holds a true beginning of the body.
  EXPECT_EQ(ReadFile(program / kArchiveUtf8), "previous");
  const std::string kept = ReadFile(program / (kArchiveUtf8 + ".part"));
  EXPECT_LE(kept.size(), 25000u);
  EXPECT_TRUE(kept == body.substr(0, kept.size()));
}

}  // namespace
}  // namespace kv
