// The prompt and the Update window, driven in a child process (the program
// ends itself with exit codes) against scripted peers on loopback.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

#include "bad_signatures.hpp"
#include "driver_child.hpp"
#include "http_peer.hpp"
#include "test_files.hpp"
#include "test_signer.hpp"


namespace kv {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::Child;
using test::RunDriver;
using test::Answer;
using test::HttpPeer;
using test::HttpRequest;
using test::PeerConnection;

// The driver speaks UTF-8; narrow literals here are GBK.
std::string U(std::u8string_view s) { return std::string(s.begin(), s.end()); }

const std::string kNewerPage = "<p>\xd7\xee\xd0\xc2\xb0\xe6\xb1\xbe:v2.0!!!!!!</p>";  // 最新版本:v2.0!!!!!!
const std::string kCurrentPage = "<p>\xd7\xee\xd0\xc2\xb0\xe6\xb1\xbe:v1.9!!!!!!</p>";
const std::string kPromptLine =
    U(u8"prompt 提示 | 发现最新版本！\\n当前版本已停用!\\n是否需要更新？\\n官方群号:2468024");
const std::string kArchiveUtf8 = U(u8"KelvaroOstrin答题器.rar");

class UpdateGui : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kv-gui-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    program_ = dir_ / "bin";
    fs::create_directory(program_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The driver's arguments; the archive must be signed by signer_.
  std::vector<std::string> Args(const std::string& scenario, const std::string& archiveUrl) {
    return {scenario, pages_.Url("/version.htm"), archiveUrl, program_.string(), (dir_ / "Downloads").string(),
            signer_.PublicKey()};
  }

  // A peer's script: `archive` and, for its .sig, signer_'s signature.
  HttpPeer::Script SignedRelease(const std::string& archive) {
    return [this, &archive, signature = signer_.Sign(archive)](const HttpRequest& r, PeerConnection& c) {
      c.Send(Answer(200, test::AsksForSignature(r.target) ? signature : archive));
    };
  }

  test::TestSigner signer_;

  HttpPeer pages_{[](const HttpRequest& r, PeerConnection& c) {
    c.Send(Answer(200, r.target == "/version.htm" ? kNewerPage : kCurrentPage));
  }};
  fs::path dir_;
  fs::path program_;
};

TEST_F(UpdateGui, CurrentVersionGoesOnWithoutPrompt) {
  const Child child = RunDriver({"yes-close", pages_.Url("/current.htm"), "http://127.0.0.1:1/a.rar",
                                 program_.string(), (dir_ / "Downloads").string()});
  EXPECT_EQ(child.exitCode, 0) << child.out;
  EXPECT_EQ(child.out.find("prompt"), std::string::npos) << child.out;
  EXPECT_TRUE(child.Has("bank loaded")) << child.out;
  EXPECT_TRUE(child.Has("no update window")) << child.out;
}

TEST_F(UpdateGui, PromptNoEndsAtOnceWithZero) {
  const Child child = RunDriver(Args("no", "http://127.0.0.1:1/a.rar"));
  EXPECT_EQ(child.exitCode, 0) << child.out;
  EXPECT_TRUE(child.Has(kPromptLine)) << child.out;
  EXPECT_TRUE(child.Has("prompt open after esc")) << child.out;  // Esc answers nothing
  EXPECT_FALSE(child.Has("bank loaded")) << child.out;
}

TEST_F(UpdateGui, FailedFetchPromptsAndYesOpensTheUpdateWindow) {
  const Child child = RunDriver({"yes-close", "http://127.0.0.1:" + std::to_string(test::UnusedPort()) + "/v.htm",
                                 "http://127.0.0.1:1/a.rar", program_.string(), (dir_ / "Downloads").string()});
  EXPECT_EQ(child.exitCode, 0) << child.out;
  EXPECT_TRUE(child.Has(kPromptLine)) << child.out;
  EXPECT_TRUE(child.Has("prompt open after esc")) << child.out;
  // The check closes the main window; the created handler goes on after it.
  EXPECT_TRUE(child.Has("bank loaded")) << child.out;
  EXPECT_TRUE(child.Has(U(u8"update window 自动更新 374x97 visible=1 modal=0 owner=0"))) << child.out;
  EXPECT_TRUE(child.Has("main window closed")) << child.out;
  EXPECT_LT(child.out.find("main window closed"), child.out.find("bank loaded")) << child.out;
}

TEST_F(UpdateGui, CompletedDownloadOpensTheArchiveAndEnds) {
  for (const std::size_t size : {std::size_t{25000}, std::size_t{5000}}) {
    std::mt19937 gen(static_cast<unsigned>(size));
    std::string archive(size, '\0');
    for (char& c : archive) c = static_cast<char>(gen());
    HttpPeer server(SignedRelease(archive));
    const Child child = RunDriver(Args("yes-download", server.Url("/KelvaroOstrin\xb4\xf0\xcc\xe2\xc6\xf7.rar")));
    EXPECT_EQ(child.exitCode, 0) << child.out;
    EXPECT_TRUE(child.Has(U(u8"message 信息： | 下载完成! modal=0"))) << child.out;
    const std::string n = std::to_string(size);
    const std::string units = std::to_string(size / 10000);
    EXPECT_TRUE(child.Has("state size=" + n + U(u8"字节 done=") + n + U(u8"字节 bar=") + units + "/" + units +
                          " button=0 visible=1"))
        << child.out;
    const fs::path path = program_ / kArchiveUtf8;
    EXPECT_TRUE(child.Has("open " + path.string())) << child.out;
    EXPECT_FALSE(child.Has("after ok")) << child.out;  // the program ended at once
    EXPECT_TRUE(ReadFile(path) == archive);
    EXPECT_FALSE(fs::exists(path.string() + ".part"));
  }
}

TEST_F(UpdateGui, UnwritableProgramFolderUsesDownloads) {
  const std::string archive = "RAR archive";
  HttpPeer server(SignedRelease(archive));
  fs::permissions(program_, fs::perms::owner_read | fs::perms::owner_exec);
  std::vector<std::string> args = Args("yes-download", server.Url("/a.rar"));
  if (::geteuid() == 0) args[3] = "/proc/self";  // root writes to any normal folder
  const Child child = RunDriver(args);
  fs::permissions(program_, fs::perms::owner_all);
  const fs::path path = dir_ / "Downloads" / kArchiveUtf8;
  EXPECT_EQ(child.exitCode, 0) << child.out;
  EXPECT_TRUE(child.Has("open " + path.string())) << child.out;
  EXPECT_EQ(ReadFile(path), "RAR archive");
}

TEST_F(UpdateGui, FailureLeavesTheWindowOpenWithTheButtonDisabled) {
  HttpPeer server([](const HttpRequest&, PeerConnection& c) { c.Send(Answer(404, "<html>gone</html>")); });
  const Child child = RunDriver(Args("yes-fail", server.Url("/a.rar")));
  EXPECT_EQ(child.exitCode, 0) << child.out;
  EXPECT_TRUE(child.Has(U(u8"message 信息： | 不能打开该URL! modal=0"))) << child.out;
  EXPECT_TRUE(child.Has("after ok state size= done= bar=0/100 button=0 visible=1")) << child.out;
  EXPECT_FALSE(fs::exists(program_ / kArchiveUtf8));
}

// An archive whose signature does not verify is never opened: the failure is
// shown, the window stays as after any failed download, and neither the
// archive nor its .part is left.
TEST_F(UpdateGui, BadSignatureIsRefusedAndNothingOpens) {
  const std::string archive = test::RandomBytes(25000, 31);
  std::vector<test::ServedRelease> cases = test::BadSignatures(archive, signer_);
  // Signed by a key made here, but checked with the key compiled in.
  cases.push_back({"key of the program", archive, 200, signer_.Sign(archive)});
  for (const test::ServedRelease& c : cases) {
    SCOPED_TRACE(c.name);
    HttpPeer server([&](const HttpRequest& r, PeerConnection& conn) {
      conn.Send(test::AsksForSignature(r.target) ? Answer(c.signatureStatus, c.signature) : Answer(200, c.archive));
    });
    std::vector<std::string> args = Args("yes-fail", server.Url("/a.rar"));
    if (std::string_view(c.name) == "key of the program") args.pop_back();
    const Child child = RunDriver(args);
    EXPECT_EQ(child.exitCode, 0) << child.out;
    EXPECT_TRUE(child.Has(U(u8"message 信息： | 文件校验失败! modal=0"))) << child.out;
    EXPECT_TRUE(child.Has(U(u8"after ok state size=25000字节 done=25000字节 bar=2/2 button=0 visible=1"))) << child.out;
    EXPECT_FALSE(child.Has(U(u8"message 信息： | 下载完成! modal=0"))) << child.out;
    EXPECT_EQ(child.out.find("\nopen "), std::string::npos) << child.out;
    EXPECT_FALSE(fs::exists(program_ / kArchiveUtf8));
    EXPECT_FALSE(fs::exists(program_ / (kArchiveUtf8 + ".part")));
    EXPECT_EQ(server.Requests().size(), 2u);
  }
}

TEST_F(UpdateGui, NoLengthNeverCompletes) {
  HttpPeer server([](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, std::string(30000, 'x'), {}, false)); });
  const Child child = RunDriver(Args("yes-nolength", server.Url("/a.rar")));
  EXPECT_EQ(child.exitCode, 0) << child.out;
  EXPECT_TRUE(child.Has(U(u8"state size=0字节 done=30000字节 bar=3/0 button=0 visible=1"))) << child.out;
  EXPECT_EQ(child.out.find("message"), std::string::npos) << child.out;
  EXPECT_FALSE(fs::exists(program_ / kArchiveUtf8));
  EXPECT_EQ(fs::file_size(program_ / (kArchiveUtf8 + ".part")), 30000u);
}

TEST_F(UpdateGui, ClosingDuringTheDownloadEndsPromptly) {
  HttpPeer server([](const HttpRequest&, PeerConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n" + std::string(20000, 'x'));
    c.WaitForClose(std::chrono::milliseconds(15000));
  });
  const Child child = RunDriver(Args("yes-close-midway", server.Url("/a.rar")));
  EXPECT_EQ(child.exitCode, 0) << child.out;
  EXPECT_TRUE(child.Has(U(u8"closing during download state size=1000000字节 done=20000字节 bar=2/100 button=0 visible=1")))
      << child.out;
  EXPECT_LT(child.took, std::chrono::milliseconds(8000));
  EXPECT_FALSE(fs::exists(program_ / kArchiveUtf8));
}

}  // namespace
}  // namespace kv
