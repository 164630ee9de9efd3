// The SMTP client against scripted peers on loopback.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#endif

#include <atomic>
#include <chrono>
#include <memory>

#include "mail_client.hpp"
#include "mail_socket.hpp"
#include "scripted_peer.hpp"

namespace {

using kv::test::Say;
using kv::test::ScriptedPeer;
using kv::test::ServerScript;
using kv::test::StandardServer;
using Lines = std::vector<std::string>;

constexpr char kLogin[] = "135790";
constexpr char kPassword[] = "mintcloudsR7";
const ScriptedPeer::Reply kGreeting = Say("220 peer.test ESMTP\r\n");

std::string Ehlo() { return "EHLO " + kv::LocalHostName(); }
std::string Helo() { return "HELO " + Ehlo().substr(5); }

std::uint64_t RealMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool Connect(kv::MailConnection& conn, const ScriptedPeer& peer, std::string_view login = kLogin,
             std::string_view password = kPassword, std::optional<int> timeout = 1000) {
  return kv::ConnectMailServer(conn, "127.0.0.1", peer.port(), login, password, timeout).ok();
}

// The commands one whole login with `mechanism` sends.
Lines LoginLines(const std::string& mechanism) {
  if (mechanism == "LOGIN") return {Ehlo(), "AUTH LOGIN", "MTM1Nzkw", "bWludGNsb3Vkc1I3"};
  return {Ehlo(), "AUTH PLAIN", "ADEzNTc5MABtaW50Y2xvdWRzUjc="};
}

Lines Concat(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct MechanismCase {
  std::string name;
  std::string ehlo;
  std::string chosen;  // "LOGIN", "PLAIN" or "" for no login
};

void PrintTo(const MechanismCase& c, std::ostream* os) { *os << c.name; }

class LoginChoice : public testing::TestWithParam<MechanismCase> {};

TEST_P(LoginChoice, FollowsTheEhloReply) {
  ServerScript script;
  script.ehlo = GetParam().ehlo;
  ScriptedPeer peer(kGreeting, StandardServer(script));
  kv::MailConnection conn;
  ASSERT_TRUE(Connect(conn, peer)) << conn.last_error;
  EXPECT_TRUE(conn.connected);
  kv::DisconnectMailServer(conn);
  EXPECT_EQ(conn.socket, -1);
  const Lines expected = GetParam().chosen.empty() ? Lines{Ehlo()} : LoginLines(GetParam().chosen);
  EXPECT_EQ(peer.Finish(), Concat(expected, {"QUIT"}));
}

INSTANTIATE_TEST_SUITE_P(
    Mechanisms, LoginChoice,
    testing::Values(
        MechanismCase{"LoginBeforePlain", "250-peer\r\n250-AUTH PLAIN LOGIN\r\n250 HELP\r\n", "LOGIN"},
        MechanismCase{"PlainOnlyAnyCase", "250-peer\r\n250-auth cram-md5 plain\r\n250 HELP\r\n", "PLAIN"},
        MechanismCase{"AuthEqualsLogin", "250-peer\r\n250-AUTH=LOGIN\r\n250 HELP\r\n", "LOGIN"},
        // Only the first AUTH line counts, and AUTH=LOGIN only without one.
        MechanismCase{"FirstAuthLineCounts", "250-peer\r\n250-AUTH PLAIN\r\n250-AUTH LOGIN\r\n250 HELP\r\n", "PLAIN"},
        MechanismCase{"AuthLineBeforeAuthEquals", "250-peer\r\n250-AUTH XOAUTH2\r\n250-AUTH=LOGIN\r\n250 HELP\r\n", ""},
        MechanismCase{"NoAuthLine", "250-peer\r\n250-SIZE 1000\r\n250 HELP\r\n", ""},
        MechanismCase{"OtherMechanismsOnly", "250-peer\r\n250-AUTH CRAM-MD5 DIGEST-MD5\r\n250 HELP\r\n", ""},
        MechanismCase{"SingleLineReply", "250 peer\r\n", ""}),
    [](const testing::TestParamInfo<MechanismCase>& info) { return info.param.name; });

TEST(Connect, SocketSendsSmallWritesAtOnce) {
  ScriptedPeer peer(kGreeting, StandardServer({}));
  kv::MailConnection conn;
  ASSERT_TRUE(Connect(conn, peer));
  EXPECT_TRUE(kv::test::SocketNoDelay(conn.socket));
}

TEST(Connect, HeloWithoutLogin) {
  // EHLO refused: greeted again with HELO, no credentials.
  ServerScript refuses;
  refuses.ehlo = "500 5.5.1 unknown command\r\n";
  ScriptedPeer peer1(kGreeting, StandardServer(refuses));
  kv::MailConnection conn;
  EXPECT_TRUE(Connect(conn, peer1));
  kv::DisconnectMailServer(conn);
  EXPECT_EQ(peer1.Finish(), (Lines{Ehlo(), Helo(), "QUIT"}));

  // An empty password, or no account at all, greets with HELO.
  ScriptedPeer peer2(kGreeting, StandardServer({}));
  EXPECT_TRUE(Connect(conn, peer2, kLogin, ""));
  kv::DisconnectMailServer(conn);
  EXPECT_EQ(peer2.Finish(), (Lines{Helo(), "QUIT"}));

  ScriptedPeer peer3(kGreeting, StandardServer({}));
  EXPECT_TRUE(kv::ConnectMailServer(conn, "localhost", peer3.port()));  // by name, default time-out
  EXPECT_EQ(conn.reply_timeout_ms, 2000);
  kv::DisconnectMailServer(conn);
  EXPECT_EQ(peer3.Finish(), (Lines{Helo(), "QUIT"}));
}

TEST(Connect, RefusedLoginFailsAndQuits) {
  ServerScript script;
  script.auth_result = "535 5.7.8 Authentication credentials invalid\r\n";
  ScriptedPeer peer(kGreeting, StandardServer(script));
  kv::MailConnection conn;
  EXPECT_FALSE(Connect(conn, peer));
  // The QUIT exchange does not replace the reason.
  EXPECT_EQ(conn.last_error, "登录指定SMTP邮件服务器“127.0.0.1”失败!");
  EXPECT_FALSE(conn.connected);
  EXPECT_EQ(conn.socket, -1);
  EXPECT_EQ(peer.Finish(), Concat(LoginLines("LOGIN"), {"QUIT"}));

  // A refused AUTH command (no 334) fails the login the same way.
  script.auth_result = "235 ok\r\n";
  script.replies["AUTH LOGIN"] = Say("504 5.5.4 not now\r\n");
  ScriptedPeer peer2(kGreeting, StandardServer(script));
  EXPECT_FALSE(Connect(conn, peer2));
  EXPECT_EQ(conn.last_error, "登录指定SMTP邮件服务器“127.0.0.1”失败!");
  EXPECT_EQ(peer2.Finish(), (Lines{Ehlo(), "AUTH LOGIN", "QUIT"}));
}

TEST(Connect, NobodyListening) {
  const int port = kv::test::UnusedPort();
  kv::MailConnection conn;
  EXPECT_FALSE(kv::ConnectMailServer(conn, "127.0.0.1", port, kLogin, kPassword));
  EXPECT_EQ(conn.last_error, "连接指定SMTP邮件服务器“127.0.0.1”失败!");
  EXPECT_FALSE(conn.connected);
  // No host: a failure like any other, with its reason.
  const kv::MailResult no_host = kv::ConnectMailServer(conn, "");
  EXPECT_FALSE(no_host.ok());
  EXPECT_EQ(no_host.error(), "连接指定SMTP邮件服务器“”失败!");
  EXPECT_EQ(kv::SendMail(conn, "s", "b", "a@x.test", "", "", "a@x.test").error(), "未连接到SMTP服务器!");
}

TEST(WaitReply, RepliesInPiecesAndTricklingReplies) {
  ServerScript script;
  // The EHLO reply in three reads; each pause is shorter than the time-out
  // but all together they are longer: silence is what counts.
  script.ehlo.clear();
  script.replies[Ehlo()] = ScriptedPeer::Reply{{"250-peer\r\n250-AUTH LOG", "IN PLAIN\r\n", "250 HELP\r\n"}, 600};
  ScriptedPeer peer(ScriptedPeer::Reply{{"220-peer", " ready\r\n220", " go\r\n"}, 20}, StandardServer(script));
  kv::MailConnection conn;
  ASSERT_TRUE(Connect(conn, peer, kLogin, kPassword, 1000)) << conn.last_error;
  kv::DisconnectMailServer(conn);
  EXPECT_EQ(peer.Finish(), Concat(LoginLines("LOGIN"), {"QUIT"}));
}

TEST(WaitReply, SilenceEndsAfterTheDefaultTwoSeconds) {
  // A clock that moves 10 ms at every reading, whatever the real time: the
  // waits end after the same number of readings on any machine.
  auto ticks = std::make_shared<std::uint64_t>(0);
  kv::MailTiming counted{[ticks] { return *ticks += 10; }, 1};
  ScriptedPeer peer(ScriptedPeer::Reply{}, [](const std::string&) { return ScriptedPeer::Reply{}; });
  kv::MailConnection conn(counted);
  const std::uint64_t before = counted.now_ms();
  EXPECT_FALSE(kv::ConnectMailServer(conn, "127.0.0.1", peer.port(), kLogin, kPassword));
  const std::uint64_t waited = counted.now_ms() - before;
  EXPECT_EQ(conn.last_error, "接收数据超时!");
  EXPECT_EQ(conn.last_reply_code, -1);
  // The greeting wait and the QUIT wait, each one reading to note its start
  // and ending on the first reading past 2000 ms of silence (the comparison
  // is strict: exactly 2000 ms is not yet too much), and this test's own
  // last reading: 2 * (10 + 2010) + 10.
  EXPECT_GE(waited, 4050u);
  EXPECT_LE(waited, 4100u);
  EXPECT_EQ(peer.Finish(), (Lines{"QUIT"}));
}

TEST(WaitReply, ClosedConnectionEndsTheWaitAtOnce) {
  // Closing instead of greeting: the same result as the time-out, without
  // waiting for it.
  ScriptedPeer closes(ScriptedPeer::Reply{{}, 0, true}, StandardServer({}));
  kv::MailConnection conn;
  const auto start = RealMs();
  EXPECT_FALSE(Connect(conn, closes, kLogin, kPassword, 10000));
  EXPECT_LT(RealMs() - start, 5000u);
  EXPECT_EQ(conn.last_error, "接收数据超时!");
  EXPECT_EQ(conn.socket, -1);

  // What did arrive before the close is the error text.
  ScriptedPeer partial(ScriptedPeer::Reply{{"220-peer.test says"}, 0, true}, StandardServer({}));
  EXPECT_FALSE(Connect(conn, partial, kLogin, kPassword, 10000));
  EXPECT_EQ(conn.last_error, "220-peer.test says");

  // A server that hangs up on EHLO: taken as a refused EHLO, and the HELO
  // that follows finds the connection gone.
  ServerScript hangs;
  hangs.replies[Ehlo()] = ScriptedPeer::Reply{{}, 0, true};
  ScriptedPeer peer3(kGreeting, StandardServer(hangs));
  EXPECT_FALSE(Connect(conn, peer3, kLogin, kPassword, 10000));
  EXPECT_TRUE(conn.last_error == "接收数据超时!" || conn.last_error == "网络出错!" ||
              conn.last_error == "发送数据失败!")
      << conn.last_error;
  EXPECT_LT(RealMs() - start, 5000u);
}

TEST(WaitReply, HugeReplyKeepsBoundedText) {
  // 10 MB without a line end, then silence.
  ScriptedPeer peer(ScriptedPeer::Reply{{std::string(10 << 20, 'z')}}, StandardServer({}));
  kv::MailConnection conn;
  EXPECT_FALSE(Connect(conn, peer, kLogin, kPassword, 300));
  EXPECT_EQ(conn.last_error.size(), kv::ReplyBuffer::kKeepBytes);
  EXPECT_EQ(conn.last_error, std::string(kv::ReplyBuffer::kKeepBytes, 'z'));
}

TEST(WaitReply, RepliesAreTakenAsSoonAsTheyArrive) {
  // Ten replies, each 5 ms after its command: with 250 ms blind sleeps
  // between polls this took at least 2.5 s.
  ServerScript script;
  script.reply_delay_ms = 5;
  ScriptedPeer peer(kGreeting, StandardServer(script));
  kv::MailConnection conn;
  const auto start = RealMs();
  ASSERT_TRUE(Connect(conn, peer, kLogin, kPassword, std::nullopt));
  EXPECT_EQ(kv::SendMail(conn, "s", "body", "a@x.test", "", "", "a@x.test").error(), "");
  kv::DisconnectMailServer(conn);
  EXPECT_LT(RealMs() - start, 2000u);
  EXPECT_EQ(peer.Finish().size(), 4u + 4u + 1u);
}

TEST(WaitReply, BareCodeLastLineWasNeverComplete) {
  // Every reply's last line is the code alone, which the standard allows.
  ServerScript script;
  script.ehlo = "250-peer.test\r\n250-AUTH LOGIN\r\n250\r\n";
  script.auth_result = "235\r\n";
  for (const char* line : {"MAIL FROM:<me@x.test>", "RCPT TO:<a@x.test>", "."}) script.replies[line] = Say("250\r\n");
  script.replies["DATA"] = Say("354\r\n");
  script.replies["QUIT"] = ScriptedPeer::Reply{{"221\r\n"}, 0, true};
  ScriptedPeer peer(Say("220\r\n"), StandardServer(script));
  kv::MailConnection conn;
  ASSERT_TRUE(Connect(conn, peer, kLogin, kPassword, 500)) << conn.last_error;
  EXPECT_EQ(kv::SendMail(conn, "s", "b", "a@x.test", "", "", "me@x.test").error(), "");
  EXPECT_EQ(conn.last_reply_code, 250);
  kv::DisconnectMailServer(conn);
  EXPECT_EQ(conn.last_reply_code, 221);
  EXPECT_EQ(peer.Finish(), Concat(LoginLines("LOGIN"), {"MAIL FROM:<me@x.test>", "RCPT TO:<a@x.test>", "DATA", ".",
                                                        "QUIT"}));
}

class Transfer : public testing::Test {
 protected:
  void Start(ServerScript script = {}) {
    peer_ = std::make_unique<ScriptedPeer>(kGreeting, StandardServer(std::move(script)));
    conn_.header_time = [] {
      kv::HeaderTime t;
      t.local.tm_year = 126;
      t.local.tm_mon = 11;
      t.local.tm_mday = 7;
      t.local.tm_wday = 1;
      t.local.tm_hour = 14;
      t.local.tm_min = 30;
      t.utc_offset_minutes = 480;
      return t;
    };
    ASSERT_TRUE(Connect(conn_, *peer_)) << conn_.last_error;
  }
  // The commands after the login.
  Lines Commands() {
    kv::DisconnectMailServer(conn_);
    Lines lines = peer_->Finish();
    lines.erase(lines.begin(), lines.begin() + 4);
    return lines;
  }

  std::unique_ptr<ScriptedPeer> peer_;
  kv::MailConnection conn_;
};

TEST_F(Transfer, OneSubmissionLineByLine) {
  Start();
  const std::string question = "王者之剑的主人是谁？";
  EXPECT_EQ(kv::SendMail(conn_, "添加的题目", question, "box@x.test", "", "", "box@x.test").error(), "");
  EXPECT_EQ(Commands(), (Lines{"MAIL FROM:<box@x.test>", "RCPT TO:<box@x.test>", "DATA", ".", "QUIT"}));
  EXPECT_EQ(peer_->message(),
            "From: box@x.test\r\n"
            "To: box@x.test\r\n"
            "Subject: =?gb2312?B?zO2807XEzOLEvw==?=\r\n"
            "Date: Mon, 07 Dec 2026 14:30:00 +0800\r\n"
            "Reply-To: box@x.test\r\n"
            "MIME-Version: 1.0\r\n"
            "Content-type: text/plain; charset=\"gb2312\"\r\n"
            "Content-Transfer-Encoding: base64\r\n"
            "\r\n" +
                kv::EncodeBase64(question, true) + "\r\n");
  EXPECT_TRUE(conn_.message.body.empty());
  EXPECT_TRUE(conn_.message.to.empty());
}

TEST_F(Transfer, ShortBodyAndRecipientOrder) {
  Start();
  EXPECT_EQ(kv::SendMail(conn_, "Hi", "abc", "a@x.test; ;b@x.test,", "Cc <c@x.test>", "d@x.test", "Me <me@x.test>",
                         "<reply@x.test>").error(),
            "");
  EXPECT_EQ(Commands(), (Lines{"MAIL FROM:<me@x.test>", "RCPT TO:<a@x.test>", "RCPT TO:<b@x.test>",
                               "RCPT TO:<c@x.test>", "RCPT TO:<d@x.test>", "DATA", ".", "QUIT"}));
  const std::string& m = peer_->message();
  EXPECT_TRUE(m.ends_with("charset=\"us-ascii\"\r\nContent-Transfer-Encoding: base64\r\n\r\nYWJj\r\n\r\n")) << m;
  EXPECT_NE(m.find("To: a@x.test,b@x.test\r\nCc: Cc <c@x.test>\r\n"), std::string::npos);
  EXPECT_NE(m.find("Reply-To: reply@x.test\r\n"), std::string::npos);
  EXPECT_EQ(m.find("d@x.test"), std::string::npos);  // BCC stays out of the header
}

TEST_F(Transfer, NothingSentWithoutRecipientsOrWithBadAddresses) {
  Start();
  EXPECT_EQ(kv::SendMail(conn_, "s", "b", " ; ", ",", "", "me@x.test").error(), "未指定发送地址!");
  EXPECT_EQ(kv::SendMail(conn_, "s", "b", "a@x.test", "Bob <bob", "", "me@x.test").error(), "目的邮件地址格式错误!");
  EXPECT_EQ(kv::SendMail(conn_, "s", "b", "a@x.test", "", "", "me> <me@x.test").error(), "发信人邮件地址格式错误!");
  EXPECT_EQ(kv::SendMail(conn_, "s", "b", "a@x.test", "", "", "me@x.test", "<r@x.test").error(), "回复邮件地址格式错误!");
  EXPECT_EQ(Commands(), (Lines{"QUIT"}));
}

TEST_F(Transfer, LineBreakInAHeaderOrEnvelopeValueWasWrittenAsIs) {
  // Each value would add a header line or an SMTP command of its own.
  struct Case {
    const char *subject, *to, *cc, *bcc, *sender, *reply_to, *error;
  };
  const Case cases[] = {
      {"s\r\nBcc: e@evil.test", "a@x.test", "", "", "me@x.test", "me@x.test", "邮件主题格式错误!"},
      {"题目\n", "a@x.test", "", "", "me@x.test", "me@x.test", "邮件主题格式错误!"},
      {"s", "Ann\r\nBcc: e@evil.test <a@x.test>", "", "", "me@x.test", "me@x.test", "目的邮件地址格式错误!"},
      {"s", "<a@x.test\r\nRCPT TO:<e@evil.test>", "", "", "me@x.test", "me@x.test", "目的邮件地址格式错误!"},
      {"s", "a@x.test", "张\r三 <c@x.test>", "", "me@x.test", "me@x.test", "目的邮件地址格式错误!"},
      {"s", "a@x.test", "", "<b@x.test\nDATA>", "me@x.test", "me@x.test", "目的邮件地址格式错误!"},
      {"s", "a@x.test", "", "", "M\re <me@x.test>", "me@x.test", "发信人邮件地址格式错误!"},
      {"s", "a@x.test", "", "", "<me@x.test\r\nRCPT TO:<e@evil.test>", "me@x.test", "发信人邮件地址格式错误!"},
      {"s", "a@x.test", "", "", "me@x.test", "R\ne <r@x.test>", "回复邮件地址格式错误!"},
      {"s", "a@x.test", "", "", "me@x.test", "<r@x\n.test>", "回复邮件地址格式错误!"},
  };
  Start();
  for (const Case& c : cases)
    EXPECT_EQ(kv::SendMail(conn_, c.subject, "b", c.to, c.cc, c.bcc, c.sender, c.reply_to).error(), c.error) << c.subject
                                                                                                       << c.to;
  // Line ends around a value are white space and trimmed away.
  EXPECT_EQ(kv::SendMail(conn_, "s", "b", "a@x.test\r\n", "", "", "\r\nme@x.test", "me@x.test\n").error(), "");
  EXPECT_EQ(Commands(), (Lines{"MAIL FROM:<me@x.test>", "RCPT TO:<a@x.test>", "DATA", ".", "QUIT"}));
}

TEST_F(Transfer, CharactersOutsideGb2312WereLabelledGb2312) {
  // 們, 題 and 張 are GBK characters that GB2312 lacks: such texts say "GBK"
  // (texts that GB2312 holds whole keep "gb2312", as in OneSubmission...).
  Start();
  EXPECT_EQ(kv::SendMail(conn_, "題目", "我們", "a@x.test", "", "", "張三 <me@x.test>").error(), "");
  EXPECT_EQ(Commands(), (Lines{"MAIL FROM:<me@x.test>", "RCPT TO:<a@x.test>", "DATA", ".", "QUIT"}));
  const std::string& m = peer_->message();
  EXPECT_NE(m.find("From: =?GBK?B?" + kv::EncodeBase64("張三", false) + "?= <me@x.test>\r\n"), std::string::npos)
      << m;
  EXPECT_NE(m.find("Subject: =?GBK?B?" + kv::EncodeBase64("題目", false) + "?=\r\n"), std::string::npos);
  EXPECT_NE(m.find("charset=\"GBK\""), std::string::npos);
}

TEST_F(Transfer, RejectedRecipientResetsAndReportsTheServersText) {
  ServerScript script;
  script.replies["RCPT TO:<b@x.test>"] = Say("550 5.1.1 <b@x.test>: Recipient address rejected\r\n");
  script.replies["RSET"] = Say("250 2.0.0 Flushed\r\n");
  Start(script);
  const kv::MailResult rejected = kv::SendMail(conn_, "s", "b", "a@x.test;b@x.test", "", "", "me@x.test");
  EXPECT_FALSE(rejected.ok());
  EXPECT_EQ(rejected.error(), "5.1.1 <b@x.test>: Recipient address rejected");
  EXPECT_EQ(conn_.last_error, rejected.error());
  EXPECT_EQ(conn_.last_reply_code, 550);
  // The connection stays usable.
  EXPECT_TRUE(conn_.connected);
  EXPECT_EQ(kv::SendMail(conn_, "s", "b", "a@x.test", "", "", "me@x.test").error(), "");
  EXPECT_EQ(Commands(), (Lines{"MAIL FROM:<me@x.test>", "RCPT TO:<a@x.test>", "RCPT TO:<b@x.test>", "RSET",
                               "MAIL FROM:<me@x.test>", "RCPT TO:<a@x.test>", "DATA", ".", "QUIT"}));
}

TEST_F(Transfer, RejectedMessageResets) {
  ServerScript script;
  script.replies["."] = Say("554 5.7.1 Message rejected as spam\r\n");
  Start(script);
  EXPECT_EQ(kv::SendMail(conn_, "s", "b", "a@x.test", "", "", "me@x.test").error(), "5.7.1 Message rejected as spam");
  EXPECT_EQ(Commands(), (Lines{"MAIL FROM:<me@x.test>", "RCPT TO:<a@x.test>", "DATA", ".", "RSET", "QUIT"}));
}

#ifndef _WIN32  // Windows has no signals that interrupt a send
void IgnoreSignal(int) {}

TEST_F(Transfer, InterruptedWritesStillSendEveryByte) {
  // A signal that lands while send() blocks cuts the write short; the rest
  // must still go out. The peer answers slowly, the client thread is
  // interrupted every 200 microseconds while it sends a 1 MB body.
  struct sigaction action{}, saved{};
  action.sa_handler = IgnoreSignal;  // no SA_RESTART
  sigaction(SIGUSR1, &action, &saved);
  Start();
  std::string body;
  for (int i = 0; body.size() < (1 << 20); ++i) body += "题目" + std::to_string(i) + " ";
  std::atomic<bool> sending{true};
  const pthread_t client = pthread_self();
  std::thread interrupter([&] {
    while (sending) {
      pthread_kill(client, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  const kv::Text result = kv::SendMail(conn_, "s", body, "a@x.test", "", "", "me@x.test").error();
  sending = false;
  interrupter.join();
  sigaction(SIGUSR1, &saved, nullptr);
  EXPECT_EQ(result, "");
  const std::string& m = peer_->message();
  const std::size_t header_end = m.find("\r\n\r\n");
  ASSERT_NE(header_end, std::string::npos);
  EXPECT_TRUE(m.substr(header_end + 4) == kv::EncodeBase64(body, true) + "\r\n");
}
#endif

TEST_F(Transfer, PeerGoneMidwayFailsWithoutKillingTheProgram) {
  // The server hangs up at DATA: the header can no longer be written and the
  // client gets an error rather than SIGPIPE.
  ServerScript script;
  script.replies["DATA"] = ScriptedPeer::Reply{{"354 go ahead\r\n"}, 0, true};
  Start(script);
  const kv::Text big(1 << 20, 'q');
  const kv::Text result = kv::SendMail(conn_, "s", big, "a@x.test", "", "", "me@x.test").error();
  EXPECT_TRUE(result == "发送邮件头失败!" || result == "发送邮件内容失败!") << result;
}

}  // namespace
