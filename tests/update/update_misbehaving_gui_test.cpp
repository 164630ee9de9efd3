// The Update window when the disk misbehaves: no folder that can be written,
// and a file that stops taking bytes half-way. The driver runs in a child
// process (optionally with a file size limit) against scripted peers.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "http_peer.hpp"
#include "test_files.hpp"

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

// Runs the driver, its files limited to `max_file_bytes` (0: no limit), for
// at most 20 s; its standard output, or "" when it did not end by itself.
std::string RunDriver(std::vector<std::string> args, rlim_t max_file_bytes = 0) {
  args.insert(args.begin(), KV_UPDATE_GUI_DRIVER);
  int out[2];
  if (::pipe(out) != 0) return {};
  const pid_t pid = ::fork();
  if (pid < 0) return {};
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::close(out[1]);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (max_file_bytes != 0) {
      // Ignored signals stay ignored across exec: a write past the limit fails
      // with EFBIG instead of ending the driver.
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{max_file_bytes, max_file_bytes};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  std::string said;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  char buf[4096];
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    said.append(buf, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline) ::usleep(10000);
  if (::waitpid(pid, &status, WNOHANG) == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return {};
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? said : std::string();
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

TEST_F(UpdateWindowOnABadDisk, NoWritableFolderSaysSoAndKeepsTheWindow) {
  HttpPeer server([](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, "RAR archive")); });
  // /proc/self takes no new files even from root; neither does a folder
  // below a regular file.
  std::ofstream(dir_ / "home", std::ios::binary) << "not a folder";
  const std::string out = RunDriver(
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
  const std::string out = RunDriver(
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
