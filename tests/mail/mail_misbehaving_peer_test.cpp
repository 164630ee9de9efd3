// The SMTP client against peers that do not speak SMTP the usual way: a reply
// of 10 MB without a line end, a reply trickling in one byte at a time, and
// the limits of every reply and send: replies that never end, a peer that
// stops reading, a reply past the cap.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <string>

#include "mail_client.hpp"
#include "scripted_peer.hpp"

namespace {

using kv::test::Say;
using kv::test::ScriptedPeer;
using kv::test::ServerScript;
using kv::test::StandardServer;

constexpr char kLogin[] = "135790";
constexpr char kPassword[] = "mintcloudsR7";

std::string Ehlo() { return "EHLO " + kv::LocalHostName(); }

// A reply written one byte per piece, `gap_ms` apart.
ScriptedPeer::Reply ByteByByte(const std::string& text, int gap_ms) {
  ScriptedPeer::Reply r;
  for (char c : text) r.pieces.emplace_back(1, c);
  r.gap_ms = gap_ms;
  return r;
}

std::chrono::milliseconds Since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
}

#ifndef _WIN32  // the child's peak memory is measured with fork and wait4
// Peak resident size in KiB of a child process that connects to a peer whose
// greeting is `greeting_bytes` of 'z' without a line end; the child reports the
// length of the error text it got through `error_size`.
long ChildPeakKiB(std::size_t greeting_bytes, long& error_size) {
  int to_child[2], from_child[2];
  if (::pipe(to_child) != 0 || ::pipe(from_child) != 0) return -1;
  // The child is forked before the peer and its 10 MB exist, so that none of
  // the peer's memory is counted as the child's.
  const pid_t pid = ::fork();
  if (pid == 0) {
    int port = 0;
    if (::read(to_child[0], &port, sizeof port) != sizeof port) ::_exit(2);
    kv::MailConnection conn;
    const bool ok = kv::ConnectMailServer(conn, "127.0.0.1", port, kLogin, kPassword, 300).ok();
    const long size = static_cast<long>(conn.last_error.size());
    if (::write(from_child[1], &size, sizeof size) != sizeof size) ::_exit(3);
    ::_exit(ok ? 1 : 0);
  }
  long peak = -1;
  {
    ScriptedPeer peer(ScriptedPeer::Reply{{std::string(greeting_bytes, 'z')}}, StandardServer({}), 3000);
    const int port = peer.port();
    if (::write(to_child[1], &port, sizeof port) != sizeof port) error_size = -1;
    if (::read(from_child[0], &error_size, sizeof error_size) != sizeof error_size) error_size = -1;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0)
      peak = usage.ru_maxrss;
    peer.Finish();
  }
  for (int fd : {to_child[0], to_child[1], from_child[0], from_child[1]}) ::close(fd);
  return peak;
}

TEST(MisbehavingSmtpPeer, TenMegabyteReplyWithoutLineEndKeepsMemoryBounded) {
  long small_error = 0, huge_error = 0;
  const long small = ChildPeakKiB(100, small_error);
  const long huge = ChildPeakKiB(10 << 20, huge_error);
  ASSERT_GT(small, 0);
  ASSERT_GT(huge, 0);
  EXPECT_EQ(small_error, 100);
  EXPECT_EQ(huge_error, static_cast<long>(kv::ReplyBuffer::kKeepBytes));
  // Holding the reply, even once, would add 10 MB; what is allowed is the
  // kept text and the read blocks.
  EXPECT_LT(huge - small, 4 * 1024) << "peak " << small << " KiB against " << huge << " KiB";
}
#endif

TEST(MisbehavingSmtpPeer, OneBytePerHundredMillisecondsIsReadWhole) {
  // Greeting and EHLO reply at 100 ms a byte: each takes longer than the
  // two-second time-out, but no single silence does.
  const std::string greeting = "220 slow.peer ready\r\n";
  const std::string ehlo = "250-slow\r\n250 AUTH LOGIN\r\n";
  ServerScript script;
  script.replies[Ehlo()] = ByteByByte(ehlo, 100);
  ScriptedPeer peer(ByteByByte(greeting, 100), StandardServer(script));
  kv::MailConnection conn;
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(kv::ConnectMailServer(conn, "127.0.0.1", peer.port(), kLogin, kPassword)) << conn.last_error;
  EXPECT_GE(Since(t0), std::chrono::milliseconds(100 * static_cast<int>(greeting.size() + ehlo.size()) - 200));
  EXPECT_EQ(conn.last_reply_code, 235);
  EXPECT_EQ(conn.reply_keywords.size(), 1u);
  kv::DisconnectMailServer(conn);
  const auto& lines = peer.Finish();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], Ehlo());
  EXPECT_EQ(lines[1], "AUTH LOGIN");
}

TEST(MisbehavingSmtpPeer, SilenceInTheMiddleOfASlowReplyTimesOut) {
  // Ten bytes at 100 ms, then nothing: the wait ends two seconds after the
  // last byte with what had arrived as the reason.
  ScriptedPeer peer(ByteByByte("220-half a", 100), [](const std::string&) { return ScriptedPeer::Reply{}; }, 4000);
  kv::MailConnection conn;
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(kv::ConnectMailServer(conn, "127.0.0.1", peer.port(), kLogin, kPassword));
  const auto took = Since(t0);
  EXPECT_EQ(conn.last_error, "220-half a");
  EXPECT_EQ(conn.socket, -1);
  // (and two more for the QUIT that gets no answer either)
  EXPECT_GE(took, std::chrono::milliseconds(900 + 2000));
  EXPECT_LT(took, std::chrono::milliseconds(900 + 2000 + 2000 + 1500));
  peer.Finish();
}

// The clock of these cases runs ten times fast: two seconds of silence are
// 200 ms of real time, the ten seconds a reply may take in all are one.
constexpr int kSpeed = 10;

std::uint64_t RealMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

struct DeadlineCase {
  std::string name;
  ScriptedPeer::Reply greeting;
  ServerScript script;
  std::size_t body_bytes;  // 0: the connect (without login) is the step that must end
  int reply_timeout_ms;    // on the fast clock
  std::string error;       // what the failed step reports begins with this
  int most_real_ms;        // the step ends within this much real time
};

void PrintTo(const DeadlineCase& c, std::ostream* os) { *os << c.name; }

// A reply of `count` pieces `piece`, written `gap_ms` apart: far shorter gaps
// than the silence the wait accepts, far longer in all than a reply may take.
ScriptedPeer::Reply Endless(const std::string& piece, int count, int gap_ms) {
  ScriptedPeer::Reply r;
  r.pieces.assign(static_cast<std::size_t>(count), piece);
  r.gap_ms = gap_ms;
  return r;
}

ServerScript EndlessHeloReply() {
  ServerScript s;
  s.replies["HELO " + Ehlo().substr(5)] = Endless("250-more\r\n", 400, 20);
  return s;
}

ServerScript StopsReadingAtData() {
  // After the 354 the peer reads nothing for four seconds.
  ServerScript s;
  s.replies["DATA"] = ScriptedPeer::Reply{{"354 go ahead\r\n", ""}, 4000};
  return s;
}

class MailDeadlines : public testing::TestWithParam<DeadlineCase> {};

TEST_P(MailDeadlines, EveryReplyAndSendEnds) {
  const DeadlineCase& c = GetParam();
  ScriptedPeer peer(c.greeting, StandardServer(c.script));
  kv::MailConnection conn(kv::MailTiming{[] { return RealMs() * kSpeed; }, 5});
  const std::uint64_t start = RealMs();
  std::string error;
  if (c.body_bytes == 0) {
    EXPECT_FALSE(kv::ConnectMailServer(conn, "127.0.0.1", peer.port(), "", "", c.reply_timeout_ms));
    error = conn.last_error;
  } else {
    ASSERT_TRUE(kv::ConnectMailServer(conn, "127.0.0.1", peer.port(), kLogin, kPassword, c.reply_timeout_ms))
        << conn.last_error;
    error = kv::SendMail(conn, "s", std::string(c.body_bytes, 'b'), "a@x.test", "", "", "me@x.test").error();
  }
  const std::uint64_t took = RealMs() - start;
  EXPECT_TRUE(error.starts_with(c.error)) << error.substr(0, 80);
  EXPECT_LE(error.size(), kv::ReplyBuffer::kKeepBytes);
  EXPECT_LT(took, static_cast<std::uint64_t>(c.most_real_ms));
  kv::DisconnectMailServer(conn);
  EXPECT_EQ(conn.socket, -1);
  peer.Finish();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MailDeadlines,
    testing::Values(
        // 400 bytes 20 ms apart never complete a greeting: the greeting wait
        // and the QUIT wait after it end at their deadlines (2 x 1 s real).
        DeadlineCase{"EndlessGreetingTrickleHeldTheConnectForever", ByteByByte("220-" + std::string(400, 'x'), 20),
                     {}, 0, 2000, "220-xxx", 5000},
        // Continuation lines without a last line, 8 s of them.
        DeadlineCase{"ReplyThatNeverEndsHeldTheConnectForever", Say("220 peer\r\n"), EndlessHeloReply(), 0, 2000,
                     "250-more\r\n250-more", 5000},
        // A 4 MB body into a peer that reads nothing: the send gives up after
        // the silence (200 ms real) instead of blocking until the peer reads.
        DeadlineCase{"PeerThatStopsReadingBlockedTheSendForever", Say("220 peer\r\n"), StopsReadingAtData(), 4 << 20,
                     2000, "发送邮件内容失败!", 2500},
        // 9000 bytes without a line end and then nothing: past the cap the
        // wait ends at once, not after the 5 s (real) of silence it allows.
        DeadlineCase{"ReplyPastTheCapWaitedForTheTimeout", Say(std::string(9000, 'z')), {}, 0, 50000,
                     std::string(kv::ReplyBuffer::kKeepBytes, 'z'), 2000}),
    [](const testing::TestParamInfo<DeadlineCase>& info) { return info.param.name; });

}  // namespace
