// The archive's signature check in the download: the signature file fetched
// from the archive's address with ".sig" added, the bytes on the disk checked
// against it with the key given, and only a verified archive put in place.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "archive.hpp"
#include "bad_signatures.hpp"
#include "http_peer.hpp"
#include "result_print.hpp"
#include "signature_fetch.hpp"
#include "test_files.hpp"
#include "test_platform.hpp"
#include "test_signer.hpp"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::Answer;
using test::HttpPeer;
using test::HttpRequest;
using test::PeerConnection;
using test::RandomBytes;
using test::ReadFile;
using test::TestSigner;

class ArchiveSignature : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::MakeTempFolder("kv-archive-sig");
    target_ = LocateArchive(dir_, dir_ / "downloads");
    limits_.connect_timeout = std::chrono::milliseconds(2000);
    limits_.stall_timeout = std::chrono::milliseconds(3000);
  }
  void TearDown() override { fs::remove_all(dir_); }

  ReleaseCheck Check() const { return {true, signer_.PublicKey()}; }

  // A peer that serves `archive` and answers the .sig with `status` and `signature`.
  static HttpPeer::Script Serving(const std::string& archive, int status, const std::string& signature) {
    return [&archive, status, &signature](const HttpRequest& r, PeerConnection& c) {
      c.Send(test::AsksForSignature(r.target) ? Answer(status, signature) : Answer(200, archive));
    };
  }

  TestSigner signer_;
  fs::path dir_;
  ArchiveTarget target_;
  TransferLimits limits_;
};

TEST_F(ArchiveSignature, GoodSignatureCompletesAtEverySize) {
  // Sizes around the reader's and the writer's chunks, so the last bytes
  // arrive in every position relative to what the reader has caught up with.
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{10240}, std::size_t{262145},
                                 std::size_t{3 << 20}}) {
    SCOPED_TRACE(size);
    const std::string archive = RandomBytes(size, static_cast<unsigned>(size) + 1);
    const std::string signature = signer_.Sign(archive);
    HttpPeer peer(Serving(archive, 200, signature));
    EXPECT_EQ(DownloadArchive(peer.Url("/KelvaroOstrin\xb4\xf0\xcc\xe2\xc6\xf7.rar"), target_, {}, Check(), limits_),
              UpdateResult::Complete());
    EXPECT_TRUE(ReadFile(target_.archive) == archive);
    EXPECT_FALSE(fs::exists(target_.part));
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].target, "/KelvaroOstrin%b4%f0%cc%e2%c6%f7.rar.sig");
    EXPECT_EQ(requests[1].Header("Accept-Encoding"), "identity");
    fs::remove(target_.archive);
  }
}

TEST_F(ArchiveSignature, BadSignaturesAreRefusedAndLeaveNothing) {
  const std::string archive = RandomBytes(300000, 5);
  std::vector<test::ServedRelease> cases = test::BadSignatures(archive, signer_);
  // No answer at all for the signature, and an empty one.
  cases.push_back({"connection closed without an answer", archive, 0, ""});
  cases.push_back({"empty signature file", archive, 200, ""});
  for (const test::ServedRelease& c : cases) {
    SCOPED_TRACE(c.name);
    HttpPeer peer([&](const HttpRequest& r, PeerConnection& conn) {
      if (!test::AsksForSignature(r.target)) return conn.Send(Answer(200, c.archive));
      if (c.signatureStatus != 0) conn.Send(Answer(c.signatureStatus, c.signature));
    });
    EXPECT_EQ(DownloadArchive(peer.Url("/a.rar"), target_, {}, Check(), limits_),
              UpdateResult::Failed(kMsgVerifyFailed));
    EXPECT_FALSE(fs::exists(target_.archive));
    EXPECT_FALSE(fs::exists(target_.part));
    EXPECT_EQ(peer.Requests().size(), 2u);
  }
}

// A refused archive does not take the place of the one already there.
TEST_F(ArchiveSignature, RefusedArchiveLeavesTheOldOneStanding) {
  const std::string archive = RandomBytes(50000, 6);
  test::WriteFile(target_.archive, "the old archive");
  TestSigner stranger;
  const std::string signature = stranger.Sign(archive);
  HttpPeer peer(Serving(archive, 200, signature));
  EXPECT_EQ(DownloadArchive(peer.Url("/a.rar"), target_, {}, Check(), limits_), UpdateResult::Failed(kMsgVerifyFailed));
  EXPECT_EQ(ReadFile(target_.archive), "the old archive");
  EXPECT_FALSE(fs::exists(target_.part));
}

// A build for unsigned releases asks for no signature and takes the archive
// as it comes; a key that is no key refuses every archive.
TEST_F(ArchiveSignature, UncheckedBuildAndUnusableKey) {
  const std::string archive = RandomBytes(20000, 7);
  const std::string none;
  HttpPeer peer(Serving(archive, 404, none), std::chrono::seconds(30), true);
  EXPECT_EQ(DownloadArchive(peer.Url("/a.rar"), target_, {}, ReleaseCheck::Unchecked(), limits_),
            UpdateResult::Complete());
  EXPECT_TRUE(ReadFile(target_.archive) == archive);
  EXPECT_EQ(peer.Requests().size(), 1u);

  fs::remove(target_.archive);
  const std::string signature = signer_.Sign(archive);
  HttpPeer signedPeer(Serving(archive, 200, signature));
  for (const char* key : {"", "not base64 at all"}) {
    SCOPED_TRACE(key);
    EXPECT_EQ(DownloadArchive(signedPeer.Url("/a.rar"), target_, {}, ReleaseCheck{true, key}, limits_),
              UpdateResult::Failed(kMsgVerifyFailed));
    EXPECT_FALSE(fs::exists(target_.archive));
    EXPECT_FALSE(fs::exists(target_.part));
  }
}

// The program ending while the signature is fetched ends the download as
// cancelled, with nothing to show and nothing put in place.
TEST_F(ArchiveSignature, CancelDuringTheSignatureFetch) {
  const std::string archive = RandomBytes(40000, 8);
  std::atomic<bool> cancel{false};
  HttpPeer peer([&](const HttpRequest& r, PeerConnection& c) {
    if (!test::AsksForSignature(r.target)) return c.Send(Answer(200, archive));
    cancel = true;
    c.WaitForClose(std::chrono::milliseconds(10000));
  });
  limits_.cancel = &cancel;
  limits_.stall_timeout = std::chrono::milliseconds(8000);
  EXPECT_EQ(DownloadArchive(peer.Url("/a.rar"), target_, {}, Check(), limits_), UpdateResult::Cancelled());
  EXPECT_FALSE(fs::exists(target_.archive));
}

// A signature file that never ends is not read past its largest size: the
// fetch hangs up, long before the peer runs out of bytes.
TEST_F(ArchiveSignature, EndlessSignatureFileIsCutOff) {
  constexpr std::size_t kPeerBytes = 256u << 20;
  std::atomic<std::size_t> sent{0};
  std::atomic<bool> hungUp{false};
  HttpPeer peer([&](const HttpRequest&, PeerConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
    const std::string block(65536, ' ');
    while (sent < kPeerBytes) {
      const long n = c.SendOnce(block);
      if (n <= 0) {
        hungUp = true;
        return;
      }
      sent += static_cast<std::size_t>(n);
    }
  });
  limits_.stall_timeout = std::chrono::milliseconds(20000);
  const SignatureFetch fetch = FetchSignatureFile(peer.Url("/a.rar.sig"), limits_);
  EXPECT_EQ(fetch.result, UpdateResult::Failed(kMsgVerifyFailed));
  EXPECT_TRUE(fetch.body.empty());
  // Let the peer see the hang-up.
  for (int i = 0; i < 200 && !hungUp; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(hungUp);
  EXPECT_LT(sent.load(), kPeerBytes / 4);
}

}  // namespace
}  // namespace kv
