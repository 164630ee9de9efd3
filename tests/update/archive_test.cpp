// Where the archive goes, and the .part file that keeps the archive's own name
// free of partial or foreign content.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>

#include "archive.hpp"
#include "http_peer.hpp"
#include "result_print.hpp"
#include "test_files.hpp"
#include "test_platform.hpp"
#include "test_signer.hpp"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::MakeTempFolder("kv-archive");
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_F(ArchiveTest, NameInTheFileSystemEncoding) {
#ifdef _WIN32
  EXPECT_EQ(ArchiveFileName().native(), L"KelvaroOstrin\u7b54\u9898\u5668.rar");
#else
  EXPECT_EQ(ArchiveFileName().native(), "KelvaroOstrin\xe7\xad\x94\xe9\xa2\x98\xe5\x99\xa8.rar");
#endif
  const ArchiveTarget t = LocateArchive(dir_, dir_ / "downloads");
  EXPECT_EQ(t.archive, dir_ / ArchiveFileName());
  EXPECT_EQ(t.part.native(), t.archive.native() + fs::path(".part").native());
  EXPECT_FALSE(fs::exists(dir_ / "downloads"));
  // The probe leaves nothing behind.
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(ArchiveTest, UnwritableProgramFolderFallsBackToDownloads) {
  fs::path program = dir_ / "program";
  fs::create_directory(program);
  fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);
#ifdef _WIN32
  // A read-only folder takes new files on Windows: a folder that is not there does not.
  program = dir_ / "missing";
#else
  if (::geteuid() == 0) program = "/proc/self";  // root writes anywhere on a normal file system
#endif
  ASSERT_FALSE(FolderIsWritable(program));
  const fs::path downloads = dir_ / "home" / "Downloads";
  const ArchiveTarget t = LocateArchive(program, downloads);
  EXPECT_TRUE(fs::is_directory(downloads));
  EXPECT_EQ(t.archive, downloads / ArchiveFileName());

  // The whole way: download into the fallback, finish, the archive is there
  // (unchecked: the signature's part is archive_signature_test's).
  test::HttpPeer peer([](const test::HttpRequest&, test::PeerConnection& c) { c.Send(test::Answer(200, "RAR!")); });
  EXPECT_EQ(DownloadArchive(peer.Url("/a.rar"), t, {}, ReleaseCheck::Unchecked()), UpdateResult::Complete());
  EXPECT_EQ(ReadFile(t.archive), "RAR!");
}

#ifdef _WIN32
constexpr bool kOthersMayRemove = false;
#else
constexpr bool kOthersMayRemove = true;
#endif

// The run's own file moves over the archive only while its name still leads
// to it: a file someone else put at that name is never renamed in its place.
TEST_F(ArchiveTest, RenameMovesOnlyTheRunsOwnFile) {
  const ArchiveTarget t = LocateArchive(dir_, dir_);
  std::ofstream(t.archive, std::ios::binary) << "previous";
  for (const bool replaced : {true, false}) {
    SCOPED_TRACE(replaced ? "name taken over" : "own file");
    std::unique_ptr<ArchiveFile> own = ArchiveFile::CreateOwn(t.part);
    ASSERT_TRUE(own);
    ASSERT_TRUE(own->Write("new archive", 11));
    ASSERT_TRUE(own->Flush());
    bool taken = false;
    if (replaced) {
      // Windows lets nobody delete the run's own file while the run holds it.
      std::error_code ec;
      taken = fs::remove(t.part, ec);
      EXPECT_EQ(taken, kOthersMayRemove);
      if (taken) std::ofstream(t.part, std::ios::binary) << "foreign";
    }
    EXPECT_EQ(own->RenameOver(t.archive), !taken);
    EXPECT_TRUE(own->Close());
    EXPECT_EQ(ReadFile(t.archive), taken ? "previous" : "new archive");
    EXPECT_EQ(fs::exists(t.part), taken);
  }
}

TEST_F(ArchiveTest, IncompleteDownloadNeverReachesTheArchiveName) {
  const ArchiveTarget t = LocateArchive(dir_, dir_);
  std::ofstream(t.archive, std::ios::binary) << "previous";
  std::ofstream(t.part, std::ios::binary) << "stale bytes that must not be resumed";
  // No length: the end is never recognised, so nothing is put in place.
  test::HttpPeer peer([](const test::HttpRequest&, test::PeerConnection& c) {
    c.Send(test::Answer(200, "new body", {}, false));
  });
  int finishes = 0;
  const test::TestSigner signer;
  EXPECT_EQ(DownloadArchive(peer.Url("/a.rar"), t, [&](std::int32_t total, std::int32_t pos, std::int32_t, std::int32_t) {
    EXPECT_EQ(total, 0);
    if (total == pos) ++finishes;
  }, ReleaseCheck{true, signer.PublicKey()}), UpdateResult::Done());
  EXPECT_EQ(finishes, 0);
  EXPECT_EQ(ReadFile(t.archive), "previous");
  EXPECT_EQ(ReadFile(t.part), "new body");
  // The request asked for everything, from byte 0; an archive that never
  // completes has no signature to fetch.
  ASSERT_EQ(peer.Requests().size(), 1u);
  EXPECT_NE(peer.Requests()[0].head.find("\r\n" + test::AsSent("Range:bytes=0-") + "\r\n"), std::string::npos);
}

}  // namespace
}  // namespace kv
