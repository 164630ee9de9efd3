// The program's SMTP client: a small blocking client over a plain TCP socket
// that logs in and sends one plain-text message at a time. It never shows
// anything; every call gives a MailResult, a failure with its GBK text.
//
// Calling order: ConnectMailServer, any number of SendMail, then
// DisconnectMailServer. All calls block the calling thread; one connection
// must not be used from two threads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "mail_message.hpp"
#include "mail_reply.hpp"
#include "mail_result.hpp"
#include "mail_socket.hpp"
#include "text.hpp"

namespace kv {

inline constexpr int kDefaultMailPort = 25;
// The longest silence a reply wait accepts unless the connect says otherwise.
inline constexpr int kDefaultReplyTimeoutMs = 2000;
// The longest a reply wait, or the send of one command or block, takes in
// all, however steadily the bytes trickle (a longer reply time-out given to
// the connect lengthens it to that time-out).
inline constexpr int kReplyDeadlineMs = 10000;
// The longest single wait for the socket to become readable; the time-out is
// checked between two such waits.
inline constexpr int kReplyPollStepMs = 250;

// Where a connection takes its time from. The program uses the defaults;
// tests speed the clock up or shorten the step so that time-outs are reached
// without waiting seconds.
struct MailTiming {
  // A monotonic millisecond tick count; empty means the system's steady clock.
  std::function<std::uint64_t()> now_ms;
  int poll_step_ms = kReplyPollStepMs;
};

// One SMTP connection and the state of its last step.
struct MailConnection {
  MailConnection() = default;
  explicit MailConnection(MailTiming t) : timing(std::move(t)) {}
  // A dialogue still open is ended with QUIT.
  ~MailConnection();
  MailConnection(const MailConnection&) = delete;
  MailConnection& operator=(const MailConnection&) = delete;

  SocketHandle socket = kNoSocket;  // the TCP connection
  bool connected = false;           // set once the TCP connection is made, cleared by QUIT
  int reply_timeout_ms = kDefaultReplyTimeoutMs;
  int last_reply_code = -1;  // code of the last complete reply, -1 when the last wait had none
  std::vector<Text> reply_keywords, reply_values;  // one entry per line of the last reply
  Text last_error;       // why the last step failed
  MailMessage message;   // the message SendMail is sending
  ReplyBuffer received;  // what the last reply wait received

  MailTiming timing;
  // The moment the Date line shows; empty means the local clock and zone.
  std::function<HeaderTime()> header_time;
};

// The connection the program's question submission uses; it lives until the
// program ends and says QUIT then if it is still open.
MailConnection& ProgramMailConnection();

// Opens a TCP connection to `host` (a dotted IPv4 address or a host name),
// waits for the greeting and logs in: with a login name and a password it
// greets with EHLO and uses AUTH LOGIN (or AUTH PLAIN when that is all the
// server offers); without them, or when EHLO is refused, it greets with HELO
// and does not log in. A time-out below 1 becomes 1 ms. A connection still
// open is ended first. Ok when the connection is ready for SendMail;
// otherwise the connection is closed and the reason (also in last_error) is
// the result's error.
MailResult ConnectMailServer(MailConnection& conn, std::string_view host, int port = kDefaultMailPort,
                             std::string_view login = {}, std::string_view password = {},
                             std::optional<int> reply_timeout_ms = std::nullopt);

// Sends one message. `to`, `cc` and `bcc` are address lists, `sender` and
// `reply_to` single addresses ("addr" or "name <addr>"); reply-to defaults to
// the sender. Ok when the server accepted the message; otherwise the error
// (also in last_error). Addresses, and then the subject, are checked before
// the connection is: a value that holds a CR or LF once parsed and trimmed
// (name or address, subject) is refused, with the address-format text of its
// role or "邮件主题格式错误!", since it would write a line of its own.
// A failed transfer is reset with RSET and leaves the connection usable. The
// message is emptied before returning, whatever the outcome.
MailResult SendMail(MailConnection& conn, std::string_view subject, std::string_view body, std::string_view to,
                    std::string_view cc, std::string_view bcc, std::string_view sender,
                    std::optional<std::string_view> reply_to = std::nullopt);

// Says QUIT if connected and closes the socket. Reports nothing.
void DisconnectMailServer(MailConnection& conn);

// Reads one complete reply. Silence longer than the reply time-out (every
// chunk received restarts it) or a reply longer than kReplyDeadlineMs in all
// ends the wait with "接收数据超时!", a failed readability check or read with
// "网络出错!"; a peer that closes ends it at once as the time-out would, and so
// does a reply that passes ReplyBuffer::kKeepBytes. When some text was
// received, the error text is that text instead (the last line's keyword and
// value for a complete reply).
// Ok when the reply's code equals `expected_code` (0 accepts any reply);
// otherwise the error is last_error. The code itself is last_reply_code.
MailResult WaitReply(MailConnection& conn, int expected_code);

}  // namespace kv
