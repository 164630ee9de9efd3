// The downloader and the archive against peers and disks that misbehave: a
// body longer or shorter than its Content-Length, no folder that can be
// written, and a file that stops taking bytes half-way.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <thread>

#include "archive.hpp"
#include "downloader.hpp"
#include "http_peer.hpp"
#include "result_print.hpp"
#include "bad_signatures.hpp"
#include "test_files.hpp"
#include "test_platform.hpp"
#include "test_signer.hpp"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::RandomBytes;
using test::ReadFile;
using test::Answer;
using test::HttpPeer;
using test::HttpRequest;
using test::PeerConnection;

class MisbehavingDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::MakeTempFolder("kv-misbehave");
    limits_.connect_timeout = std::chrono::milliseconds(2000);
    limits_.stall_timeout = std::chrono::milliseconds(3000);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Downloads into `target`, as the Update window does, but unchecked (the
  // signature's part is archive_signature_test's; the peers here serve no
  // signature). A failure's message is also kept in messages_.
  UpdateResult Download(const std::string& url, const ArchiveTarget& target) {
    const UpdateResult result =
        DownloadArchive(url, target, [&](std::int32_t, std::int32_t pos, std::int32_t, std::int32_t) {
          last_position_ = pos;
        }, ReleaseCheck::Unchecked(), limits_);
    finished_ = result.complete();
    if (result.failed()) messages_.push_back(result.message());
    return result;
  }

  fs::path dir_;
  TransferLimits limits_;
  std::vector<Text> messages_;
  std::int32_t last_position_ = -1;
  bool finished_ = false;
};

TEST_F(MisbehavingDownload, BodyLongerThanItsLengthStopsAtTheLength) {
  const std::string body = RandomBytes(30000, 7);
  HttpPeer peer([&](const HttpRequest&, PeerConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 25000\r\nConnection: close\r\n\r\n" + body);
  });
  const ArchiveTarget t = LocateArchive(dir_, dir_);
  EXPECT_TRUE(Download(peer.Url("/a.rar"), t).ended());
  EXPECT_TRUE(messages_.empty());
  EXPECT_TRUE(finished_);
  EXPECT_EQ(last_position_, 25000);
  EXPECT_TRUE(ReadFile(t.archive) == body.substr(0, 25000));
  EXPECT_FALSE(fs::exists(t.part));
}

TEST_F(MisbehavingDownload, BodyShorterThanItsLengthIsAFailedRead) {
  const std::string body = RandomBytes(30000, 8);
  HttpPeer peer([&](const HttpRequest&, PeerConnection& c) {
    // An orderly close after 12000 of the 30000 bytes announced.
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 30000\r\nConnection: close\r\n\r\n" + body.substr(0, 12000));
  });
  const ArchiveTarget t = LocateArchive(dir_, dir_);
  std::ofstream(t.archive, std::ios::binary) << "previous";
  EXPECT_TRUE(Download(peer.Url("/a.rar"), t).failed());
  EXPECT_EQ(messages_, std::vector<Text>{kMsgReadError});
  EXPECT_FALSE(finished_);
  // The old archive is untouched; what arrived is in the .part file.
  EXPECT_EQ(ReadFile(t.archive), "previous");
  EXPECT_TRUE(ReadFile(t.part) == body.substr(0, 12000));
  EXPECT_EQ(last_position_, 12000);
}

TEST_F(MisbehavingDownload, LengthPast32BitsIsNotCompleteAfterItsLow32Bits) {
  // 2^32 + 1000 announced, 1000 sent: the reports carry the low 32 bits
  // (1000 of 1000), the download itself knows better.
  const std::string body = RandomBytes(1000, 10);
  HttpPeer peer([&](const HttpRequest&, PeerConnection& c) {
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 4294968296\r\n\r\n" + body);
  });
  const ArchiveTarget t = LocateArchive(dir_, dir_);
  std::vector<std::pair<std::int32_t, std::int32_t>> reports;
  const UpdateResult result = DownloadArchive(peer.Url("/a.rar"), t, [&](std::int32_t total, std::int32_t pos, std::int32_t, std::int32_t) {
    reports.emplace_back(total, pos);
  }, ReleaseCheck::Unchecked(), limits_);
  EXPECT_EQ(result, UpdateResult::Failed(kMsgReadError));
  EXPECT_EQ(reports, (std::vector<std::pair<std::int32_t, std::int32_t>>{{1000, 1000}}));
  EXPECT_FALSE(fs::exists(t.archive));
  EXPECT_TRUE(ReadFile(t.part) == body);
}

// A second run (a second copy of the program) into the same folder used to
// remove the first run's .part and have its own half-written file renamed
// over the archive by the first. Now the second run says it cannot open the
// local file and asks the server for nothing, the first one's archive is
// whole; and a run that was killed blocks nobody.
TEST_F(MisbehavingDownload, TwoRunsNeverShareThePart) {
  const std::string body = RandomBytes(200000, 12);
  const test::TestSigner signer;
  const std::string signature = signer.Sign(body);
  const ReleaseCheck check{true, signer.PublicKey()};
  std::atomic<bool> secondDone{false};
  std::atomic<int> served{0};
  HttpPeer peer(
      [&](const HttpRequest& r, PeerConnection& c) {
        if (test::AsksForSignature(r.target)) return c.Send(Answer(200, signature));
        const std::string all = Answer(200, body);
        c.Send(all.substr(0, 100000));
        const bool first = served++ == 0;
        for (int i = 0; first && i < 250 && !secondDone; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        c.Send(all.substr(100000));
      },
      std::chrono::seconds(30), true);
  const ArchiveTarget t = LocateArchive(dir_, dir_);
  auto first = std::async(std::launch::async, [&] { return DownloadArchive(peer.Url("/a.rar"), t, {}, check, limits_); });
  while (served == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(DownloadArchive(peer.Url("/a.rar"), t, {}, check, limits_), UpdateResult::Failed(kMsgCannotOpenFile));
  secondDone = true;
  EXPECT_EQ(first.get(), UpdateResult::Complete());
  EXPECT_EQ(served.load(), 1);
  EXPECT_TRUE(ReadFile(t.archive) == body);
  EXPECT_FALSE(fs::exists(t.part));

#ifndef _WIN32
  // A run in another process holds the folder, then is killed.
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    const auto lock = FolderLock::TryTake(dir_);
    const char said = lock ? 'y' : 'n';
    if (::write(ready[1], &said, 1) != 1) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  char said = 0;
  ASSERT_EQ(::read(ready[0], &said, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_EQ(said, 'y');
  EXPECT_EQ(DownloadArchive(peer.Url("/a.rar"), t, {}, check, limits_), UpdateResult::Failed(kMsgCannotOpenFile));
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
#else
  // A run in another process (tests/update/folder_lock_holder.cpp) holds the
  // folder, then is ended by its handle.
  const fs::path ready = dir_ / "holder-ready";
  std::wstring command = L"\"" + fs::path(KV_FOLDER_LOCK_HOLDER).make_preferred().native() + L"\" \"" +
                         dir_.native() + L"\" \"" + ready.native() + L"\"";
  if (command[1] == L'\\') command.insert(1, L"Z:");  // a path of the build machine
  STARTUPINFOW start{};
  start.cb = sizeof start;
  PROCESS_INFORMATION holder{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &holder))
      << GetLastError();
  for (int i = 0; i < 1000 && !fs::exists(ready); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ReadFile(ready), "y");
  EXPECT_EQ(DownloadArchive(peer.Url("/a.rar"), t, {}, check, limits_), UpdateResult::Failed(kMsgCannotOpenFile));
  TerminateProcess(holder.hProcess, 9);
  WaitForSingleObject(holder.hProcess, 10000);
  CloseHandle(holder.hThread);
  CloseHandle(holder.hProcess);
  fs::remove(ready);
#endif
  fs::remove(t.archive);
  EXPECT_EQ(DownloadArchive(peer.Url("/a.rar"), t, {}, check, limits_), UpdateResult::Complete());
  EXPECT_TRUE(ReadFile(t.archive) == body);
}

// A link planted at the .part name is removed, never written through, and a
// file left there by an earlier run does not stop the download.
TEST_F(MisbehavingDownload, PlantedLinkAtThePartIsNeverFollowed) {
  HttpPeer peer([](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, "RAR archive")); });
  const ArchiveTarget t = LocateArchive(dir_, dir_);
  const fs::path victim = dir_ / "victim";
  std::ofstream(victim, std::ios::binary) << "not yours";
  for (const bool dangling : {false, true}) {
    SCOPED_TRACE(dangling ? "dangling link" : "link to a file");
    fs::remove(t.archive);
#ifdef _WIN32
    // Wine makes no links; a link of the file system under it is the same threat.
    ASSERT_TRUE(test::RunNative({"/bin/ln", "-s", test::NativePath(dangling ? dir_ / "nowhere" : victim),
                                 test::NativePath(t.part)}));
#else
    fs::create_symlink(dangling ? dir_ / "nowhere" : victim, t.part);
#endif
    EXPECT_EQ(Download(peer.Url("/a.rar"), t), UpdateResult::Complete());
    EXPECT_EQ(ReadFile(t.archive), "RAR archive");
    EXPECT_FALSE(fs::is_symlink(t.archive));
    EXPECT_EQ(ReadFile(victim), "not yours");
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
  }
}

TEST_F(MisbehavingDownload, NeitherFolderWritableCannotOpenTheLocalFile) {
  // Root writes into any folder whatever its mode, so the folders are ones
  // nobody can create files in: /proc/self for the program, and a download
  // folder below a regular file (ENOTDIR).
#ifdef _WIN32
  const fs::path program = dir_ / "missing";  // no mode keeps files out of a folder there
#else
  const fs::path program = "/proc/self";
#endif
  ASSERT_FALSE(FolderIsWritable(program));
  std::ofstream(dir_ / "home", std::ios::binary) << "a file, not a folder";
  const fs::path downloads = dir_ / "home" / "Downloads";
  const ArchiveTarget t = LocateArchive(program, downloads);
  EXPECT_EQ(t.archive, downloads / ArchiveFileName());

  HttpPeer peer([](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, "RAR!")); });
  EXPECT_TRUE(Download(peer.Url("/a.rar"), t).failed());
  EXPECT_EQ(messages_, std::vector<Text>{kMsgCannotOpenFile});
  EXPECT_FALSE(finished_);
  EXPECT_EQ(last_position_, -1);
  EXPECT_EQ(ReadFile(dir_ / "home"), "a file, not a folder");
}

#ifndef _WIN32  // a file size limit per process (RLIMIT_FSIZE) is POSIX's
TEST_F(MisbehavingDownload, FileThatStopsGrowingHalfWayIsAWriteError) {
  // A child process whose files may not grow past 25000 bytes (SIGXFSZ
  // ignored, so the write fails with EFBIG instead of ending the process).
  const std::string body = RandomBytes(100000, 9);
  HttpPeer peer([&](const HttpRequest&, PeerConnection& c) { c.Send(Answer(200, body)); });
  const ArchiveTarget t = LocateArchive(dir_, dir_);
  std::ofstream(t.archive, std::ios::binary) << "previous";
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{25000, 25000};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
    const UpdateResult result = Download(peer.Url("/a.rar"), t);
    std::string said = std::to_string(last_position_) + (finished_ ? " finished" : " open");
    for (const Text& m : messages_) said += "\n" + m;
    if (::write(out[1], said.data(), said.size()) != static_cast<ssize_t>(said.size())) ::_exit(4);
    ::_exit(result.failed() ? 0 : 1);
  }
  ::close(out[1]);
  std::string said;
  char buf[512];
  for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) said.append(buf, static_cast<std::size_t>(n));
  ::close(out[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0) << said;

  const std::size_t line = said.find('\n');
  ASSERT_NE(line, std::string::npos) << said;
  EXPECT_EQ(said.substr(line + 1), kMsgWriteError);
  const std::string kept = ReadFile(t.part);
  EXPECT_LE(kept.size(), 25000u);
  EXPECT_GE(kept.size(), 20000u);
  EXPECT_TRUE(kept == body.substr(0, kept.size()));
  // Reports never claim more than the file holds, and nothing was finished.
  EXPECT_LE(std::stol(said.substr(0, line)), static_cast<long>(kept.size())) << said;
  EXPECT_NE(said.find(" open"), std::string::npos) << said;
  EXPECT_EQ(ReadFile(t.archive), "previous");
}
#endif

}  // namespace
}  // namespace kv
