// The version check and the downloader against a real web server: Debian's
// nginx serving a version page and a 3 MB archive under its GBK file name,
// with its signature beside it, and releases whose signature is wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "archive.hpp"
#include "bad_signatures.hpp"
#include "http_peer.hpp"
#include "nginx_server.hpp"
#include "result_print.hpp"
#include "version_check.hpp"
#include "test_files.hpp"
#include "test_platform.hpp"
#include "test_signer.hpp"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

// "/KelvaroOstrin答题器.rar" as GBK bytes, as the program holds it.
constexpr char kArchivePath[] = "/KelvaroOstrin\xb4\xf0\xcc\xe2\xc6\xf7.rar";

// Puts `bytes` in `dir` under the archive's GBK name (plus `suffix`) as the
// file system's own bytes, the way nginx finds it. Made by the system's own
// mv: a Windows program under Wine can only name files in Unicode.
void WriteUnderGbkName(const fs::path& dir, const std::string& bytes, const std::string& suffix = "") {
  std::ofstream(dir / "incoming.tmp", std::ios::binary) << bytes;
  ASSERT_TRUE(test::RunNative({"/bin/sh", "-c",
                               "cd \"$1\" && mv incoming.tmp \"$(printf 'KelvaroOstrin\\264\\360\\314\\342\\306\\367.rar')$2\"",
                               "sh", test::NativePath(dir), suffix}))
      << "mv failed in " << test::NativePath(dir);
}

class NginxInterop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = new fs::path(test::MakeTempFolder("kv-www"));
    std::mt19937 gen(7);
    archive_ = new std::string(3u << 20, '\0');
    for (char& c : *archive_) c = static_cast<char>(gen());
    // nginx maps the decoded request path to these very bytes.
    WriteUnderGbkName(*root_, *archive_);
    signer_ = new test::TestSigner;
    WriteUnderGbkName(*root_, signer_->Sign(*archive_), ".sig");
    // Each bad release in a folder of its own; one without a .sig (404).
    const std::vector<test::ServedRelease> bad = test::BadSignatures(*archive_, *signer_);
    for (std::size_t i = 0; i < bad.size(); ++i) {
      const fs::path dir = *root_ / ("bad" + std::to_string(i));
      fs::create_directory(dir);
      WriteUnderGbkName(dir, bad[i].archive);
      if (bad[i].signatureStatus == 200) WriteUnderGbkName(dir, bad[i].signature, ".sig");
    }
    std::ofstream(*root_ / "version.htm", std::ios::binary) << "<html><p>最新版本:v1.9!!!!!!</p></html>";
    server_ = new test::NginxServer(*root_);
  }
  static void TearDownTestSuite() {
    delete server_;
    fs::remove_all(*root_);
    delete root_;
    delete archive_;
    delete signer_;
  }
  void SetUp() override {
    ASSERT_TRUE(server_->Running()) << server_->ErrorLog();
    out_ = test::MakeTempFolder("kv-dl");
  }
  void TearDown() override { fs::remove_all(out_); }

  static fs::path* root_;
  static std::string* archive_;
  static test::TestSigner* signer_;
  static test::NginxServer* server_;
  fs::path out_;
};

fs::path* NginxInterop::root_ = nullptr;
std::string* NginxInterop::archive_ = nullptr;
test::TestSigner* NginxInterop::signer_ = nullptr;
test::NginxServer* NginxInterop::server_ = nullptr;

TEST_F(NginxInterop, VersionPagePassesTheCheck) {
  const auto body = FetchUrl(server_->Url("/version.htm#latest")).body;
  EXPECT_TRUE(IsCurrentVersion(ByteBlock(body.data(), body.size())));
  const auto missing = FetchUrl(server_->Url("/nothing.htm")).body;
  EXPECT_FALSE(IsCurrentVersion(ByteBlock(missing.data(), missing.size())));
}

TEST_F(NginxInterop, ArchiveArrivesByteIdentical) {
  std::int32_t last_total = -1, last_position = -1, reports = 0;
  const fs::path file = out_ / ArchiveFileName();
  const UpdateResult result = DownloadFile(server_->Url(kArchivePath), file, [&](std::int32_t t, std::int32_t p, std::int32_t, std::int32_t) {
    last_total = t;
    last_position = p;
    ++reports;
  }, 0, true);
  EXPECT_TRUE(result.complete()) << result.message();
  EXPECT_TRUE(ReadFile(file) == *archive_);
  EXPECT_EQ(last_total, 3 << 20);
  EXPECT_EQ(last_position, 3 << 20);
  EXPECT_GE(reports, (3 << 20) / 10240);
}

TEST_F(NginxInterop, ResumeFromTheMiddle) {
  const fs::path file = out_ / "a.rar";
  std::ofstream(file, std::ios::binary) << archive_->substr(0, 1000000);
  std::int32_t first_position = -1, total = -1;
  const UpdateResult result = DownloadFile(server_->Url(kArchivePath), file, [&](std::int32_t t, std::int32_t p, std::int32_t, std::int32_t) {
    if (first_position < 0) first_position = p;
    total = t;
  }, 1000000, true);
  EXPECT_TRUE(result.complete()) << result.message();
  EXPECT_EQ(total, (3 << 20) - 1000000);  // nginx answered the range itself
  EXPECT_GT(first_position, 1000000);
  EXPECT_TRUE(ReadFile(file) == *archive_);
}

TEST_F(NginxInterop, SignedArchiveReplacesAnOldFileOnlyWhenVerified) {
  const ArchiveTarget target = LocateArchive(out_, out_ / "downloads");
  const ReleaseCheck check{true, signer_->PublicKey()};
  std::ofstream(target.archive, std::ios::binary) << "an old archive";
  std::ofstream(target.part, std::ios::binary) << "left over from a failed run";
  bool old_archive_stood = true;
  const UpdateResult result = DownloadArchive(server_->Url(kArchivePath), target, [&](std::int32_t, std::int32_t, std::int32_t, std::int32_t) {
    old_archive_stood = old_archive_stood && ReadFile(target.archive) == "an old archive";
  }, check);
  EXPECT_TRUE(result.complete()) << result.message();
  EXPECT_TRUE(old_archive_stood);
  EXPECT_FALSE(fs::exists(target.part));
  EXPECT_TRUE(ReadFile(target.archive) == *archive_);

  const std::vector<test::ServedRelease> bad = test::BadSignatures(*archive_, *signer_);
  for (std::size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(bad[i].name);
    fs::remove(target.archive);
    const std::string url = server_->Url("/bad" + std::to_string(i) + kArchivePath);
    EXPECT_EQ(DownloadArchive(url, target, {}, check), UpdateResult::Failed(kMsgVerifyFailed));
    EXPECT_FALSE(fs::exists(target.archive));
    EXPECT_FALSE(fs::exists(target.part));
  }
}

// HTTPS through a proxy: the proxy's answer to CONNECT is not the server's
// answer (it used to be judged as one, and refused).
TEST_F(NginxInterop, HttpsThroughAProxy) {
#ifdef _WIN32
  GTEST_SKIP() << "WinINet trusts only the system's certificate store; the test's own certificate cannot be added";
#endif
  const std::optional<test::TlsFiles> tls = test::MakeSelfSignedCertificate(out_, "archive.kelvaro.test");
  ASSERT_TRUE(tls) << "openssl could not make a certificate";
  test::NginxServer https(*root_, std::chrono::seconds(120), tls);
  ASSERT_TRUE(https.Running()) << https.ErrorLog();
  test::HttpPeer proxy([](const test::HttpRequest& r, test::PeerConnection& c) {
    if (r.target.rfind("refused.", 0) == 0) {
      c.Send("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n");
    } else {
      test::ConnectTunnel(r, c);
    }
  }, std::chrono::seconds(60), true);
  SetTrustedCertificatesForTesting(tls->certificate.string());
  test::SetEnvironment("https_proxy", proxy.Url("").c_str());
  const std::string origin = "https://archive.kelvaro.test:" + std::to_string(https.port());
  const fs::path file = out_ / "a.rar";
  const UpdateResult result = DownloadFile(origin + kArchivePath, file, {}, 0, true);
  const auto page = FetchUrl(origin + "/version.htm").body;
  const UpdateResult refused =
      DownloadFile("https://refused.kelvaro.test:" + std::to_string(https.port()) + kArchivePath, out_ / "b.rar", {}, 0, true);
  test::SetEnvironment("https_proxy", nullptr);
  SetTrustedCertificatesForTesting("");

  EXPECT_EQ(result, UpdateResult::Complete());
  EXPECT_TRUE(ReadFile(file) == *archive_);
  EXPECT_TRUE(IsCurrentVersion(ByteBlock(page.data(), page.size())));
  EXPECT_EQ(refused, UpdateResult::Failed(kMsgCannotOpenUrl));
  EXPECT_FALSE(fs::exists(out_ / "b.rar"));
  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].method, "CONNECT");
  EXPECT_EQ(requests[0].target, "archive.kelvaro.test:" + std::to_string(https.port()));
}

TEST_F(NginxInterop, MissingArchiveIsRefused) {
  const fs::path file = out_ / "a.rar";
  EXPECT_EQ(DownloadFile(server_->Url("/KelvaroOstrin.rar"), file, {}, 0, true), UpdateResult::Failed(kMsgCannotOpenUrl));
  EXPECT_FALSE(fs::exists(file));
}

}  // namespace
}  // namespace kv
