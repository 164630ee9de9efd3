// The signature check that reads a file back while it is written: it hashes
// what is on the disk up to the end the writer published, all of it, and
// stops when told.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "archive_file.hpp"
#include "streaming_check.hpp"
#include "test_files.hpp"
#include "test_platform.hpp"
#include "test_signer.hpp"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::RandomBytes;
using test::TestSigner;

class StreamingCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::MakeTempFolder("kv-streaming");
    path_ = dir_ / "a.rar.part";
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Writes `bytes` through `file` in steps of `step`, pausing now and then so
  // that the reader catches up and waits.
  static void WriteInSteps(ArchiveFile& file, const std::string& bytes, std::size_t step) {
    for (std::size_t at = 0; at < bytes.size(); at += step) {
      ASSERT_TRUE(file.Write(bytes.data() + at, std::min(step, bytes.size() - at)));
      if ((at / step) % 64 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  TestSigner signer_;
  fs::path dir_;
  fs::path path_;
};

TEST_F(StreamingCheck, HashesEverythingTheWriterWrote) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{7}, std::size_t{10240 * 3 + 7},
                                 std::size_t{kSignatureCheckChunk}, std::size_t{5u << 20}}) {
    SCOPED_TRACE(size);
    const std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
    std::unique_ptr<ArchiveFile> file = ArchiveFile::CreateOwn(path_);
    ASSERT_TRUE(file);
    StreamingSignatureCheck check(signer_.PublicKey());
    check.Start(*file);
    ASSERT_TRUE(file->Resize(0));
    std::thread writer([&] { WriteInSteps(*file, bytes, 10240); });
    writer.join();
    const SignatureCheck verdict = check.Finish(signer_.Sign(bytes));
    EXPECT_TRUE(verdict.verified()) << verdict.reason;
    EXPECT_EQ(check.hashed(), static_cast<std::int64_t>(size));
  }
}

// Whether another handle may write the file the run writes: on Windows the
// run's own file shares reading only.
#ifdef _WIN32
constexpr bool kOthersMayWrite = false;
#else
constexpr bool kOthersMayWrite = true;
#endif

// What is checked is the file on the disk, read back, never past the end the
// writer published: bytes changed under the writer count, bytes someone else
// appended do not, and a file cut short is unreadable. Where nobody else may
// write the file, every such change is refused and the written bytes pass.
TEST_F(StreamingCheck, ChecksTheBytesOnTheDisk) {
  const std::string written = RandomBytes(100000, 3);
  std::string changed = written;
  changed[500] = static_cast<char>(changed[500] ^ 0x20);
  struct Case {
    const char* name;
    std::function<bool(const fs::path&)> meddle;  // after the writer is done, before the check reads; false: refused
    std::string signedBytes;
    bool verified;
  };
  const std::vector<Case> cases = {
      {"untouched", [](const fs::path&) { return true; }, written, true},
      {"a byte changed on the disk: the written bytes fail",
       [&written](const fs::path& p) {
         std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
         f.seekp(500);
         f.put(static_cast<char>(written[500] ^ 0x20));
         return f.is_open() && f.flush().good();
       },
       written, false},
      {"a byte changed on the disk: the disk's bytes pass",
       [&written](const fs::path& p) {
         std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
         f.seekp(500);
         f.put(static_cast<char>(written[500] ^ 0x20));
         return f.is_open() && f.flush().good();
       },
       changed, true},
      {"bytes appended by someone else are not read",
       [](const fs::path& p) {
         std::ofstream f(p, std::ios::binary | std::ios::app);
         return (f << "appended").flush().good();
       },
       written, true},
      {"a file cut short cannot be checked",
       [](const fs::path& p) {
         std::error_code ec;
         fs::resize_file(p, 60000, ec);
         return !ec;
       },
       written, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(path_);
    std::unique_ptr<ArchiveFile> file = ArchiveFile::CreateOwn(path_);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Write(written.data(), written.size()));
    const bool meddled = c.meddle(path_);
    EXPECT_EQ(meddled, kOthersMayWrite || std::string(c.name) == "untouched");
    // Started late, the reader has everything before it: nothing is read early.
    StreamingSignatureCheck check(signer_.PublicKey());
    check.Start(*file);
    const SignatureCheck verdict = check.Finish(signer_.Sign(c.signedBytes));
    EXPECT_EQ(verdict.verified(), meddled ? c.verified : c.signedBytes == written) << verdict.reason;
  }
}

// The program ending stops the reading: the check then verifies nothing, and
// a check torn down in the middle of a download returns at once.
TEST_F(StreamingCheck, CancelStopsTheReading) {
  const std::string bytes = RandomBytes(2u << 20, 4);
  std::atomic<bool> cancel{false};
  {
    std::unique_ptr<ArchiveFile> file = ArchiveFile::CreateOwn(path_);
    ASSERT_TRUE(file);
    StreamingSignatureCheck check(signer_.PublicKey(), &cancel);
    check.Start(*file);
    ASSERT_TRUE(file->Write(bytes.data(), bytes.size() / 2));
    cancel = true;
    ASSERT_TRUE(file->Write(bytes.data() + bytes.size() / 2, bytes.size() - bytes.size() / 2));
    const SignatureCheck verdict = check.Finish(signer_.Sign(bytes));
    EXPECT_EQ(verdict.verdict, SignatureVerdict::kUnreadable) << verdict.reason;
    EXPECT_LT(check.hashed(), static_cast<std::int64_t>(bytes.size()));
  }
  std::unique_ptr<ArchiveFile> file = ArchiveFile::CreateOwn(path_);
  ASSERT_TRUE(file);
  StreamingSignatureCheck abandoned(signer_.PublicKey());
  abandoned.Start(*file);
  ASSERT_TRUE(file->Write(bytes.data(), 1000));
  // Leaving the scope joins the reader, which waits for more bytes that never
  // come: it must not wait for WritingEnded.
}

}  // namespace
}  // namespace kv
