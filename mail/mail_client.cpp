#include "mail_client.hpp"

#include <algorithm>
#include <chrono>

#include "mail_socket.hpp"

namespace kv {

namespace {

constexpr char kErrCreateSocket[] = "创建SOCKET网络组件失败!";
constexpr char kErrSendData[] = "发送数据失败!";
constexpr char kErrTimeout[] = "接收数据超时!";
constexpr char kErrNetwork[] = "网络出错!";
constexpr char kErrNotConnected[] = "未连接到SMTP服务器!";
constexpr char kErrNoRecipient[] = "未指定发送地址!";
constexpr char kErrSendHeader[] = "发送邮件头失败!";
constexpr char kErrSendBody[] = "发送邮件内容失败!";
constexpr char kErrRecipientFormat[] = "目的邮件地址格式错误!";
constexpr char kErrSenderFormat[] = "发信人邮件地址格式错误!";
constexpr char kErrReplyToFormat[] = "回复邮件地址格式错误!";
constexpr char kErrSubjectFormat[] = "邮件主题格式错误!";

Text ConnectFailedText(std::string_view host) { return "连接指定SMTP邮件服务器“" + Text(host) + "”失败!"; }
Text LoginFailedText(std::string_view host) { return "登录指定SMTP邮件服务器“" + Text(host) + "”失败!"; }

std::uint64_t NowMs(const MailConnection& conn) {
  if (conn.timing.now_ms) return conn.timing.now_ms();
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The two limits of one reply wait or one send: no byte moved for longer
// than the reply time-out, or longer than kReplyDeadlineMs in all (or than
// the time-out, when that is the longer). Both comparisons are strict.
class Limits {
 public:
  Limits(const MailConnection& conn, std::uint64_t now)
      : silence_(static_cast<std::uint64_t>(std::max(conn.reply_timeout_ms, 1))),
        total_(std::max<std::uint64_t>(kReplyDeadlineMs, silence_)),
        start_(now),
        last_(now) {}

  void Moved(std::uint64_t now) { last_ = now; }
  bool Over(std::uint64_t now) const { return now - last_ > silence_ || now - start_ > total_; }
  // How long to wait on the socket before looking at the clock again: one
  // step, and never long past the point where a limit runs out. Only while
  // not Over(now).
  int WaitMs(std::uint64_t now, int step) const {
    const std::uint64_t left = std::min(silence_ - (now - last_), total_ - (now - start_));
    return static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(step), left + 1));
  }

 private:
  std::uint64_t silence_, total_, start_, last_;
};

// Writes every byte or fails: what the socket does not take at once goes out
// as room appears, within the limits of a reply wait, so a peer that stops
// reading cannot hold the client. A peer that has gone away gives an error.
bool SendAll(MailConnection& conn, std::string_view data) {
  if (conn.socket == kNoSocket) return false;
  const int step = std::max(conn.timing.poll_step_ms, 1);
  std::optional<Limits> limits;  // from the first time the socket takes nothing
  while (!data.empty()) {
    const SocketIo sent = SendSome(conn.socket, data);
    if (sent.status == SocketIo::kMoved) {
      data.remove_prefix(sent.bytes);
      if (limits) limits->Moved(NowMs(conn));
      continue;
    }
    if (sent.status != SocketIo::kNotYet) return false;
    const std::uint64_t now = NowMs(conn);
    if (!limits)
      limits.emplace(conn, now);
    else if (limits->Over(now))
      return false;
    if (WaitWritable(conn.socket, limits->WaitMs(now, step)) == SocketWait::kFailed) return false;
  }
  return true;
}

void QuitStep(MailConnection& conn) {
  if (conn.connected) {
    SendAll(conn, "QUIT\r\n");
    WaitReply(conn, 221);
    conn.connected = false;
  }
  CloseSocket(conn.socket);
}

// Ends a connect that failed; the reason recorded for the failure stays.
void EndFailedConnect(MailConnection& conn) {
  Text reason = std::move(conn.last_error);
  QuitStep(conn);
  conn.last_error = std::move(reason);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

bool HasToken(std::string_view value, std::string_view token) {
  std::size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && static_cast<unsigned char>(value[i]) <= 32) ++i;
    std::size_t j = i;
    while (j < value.size() && static_cast<unsigned char>(value[j]) > 32) ++j;
    if (j > i && EqualsNoCase(value.substr(i, j - i), token)) return true;
    i = j;
  }
  return false;
}

enum class Mechanism { kNone, kLogin, kPlain };

// The login offered by the EHLO reply now in the connection's reply lists.
Mechanism OfferedMechanism(const MailConnection& conn) {
  const auto& keys = conn.reply_keywords;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (!EqualsNoCase(keys[i], "AUTH")) continue;
    const std::string_view value = conn.reply_values[i];
    if (HasToken(value, "LOGIN")) return Mechanism::kLogin;
    if (HasToken(value, "PLAIN")) return Mechanism::kPlain;
    return Mechanism::kNone;
  }
  for (const auto& k : keys)
    if (EqualsNoCase(k, "AUTH=LOGIN")) return Mechanism::kLogin;
  return Mechanism::kNone;
}

// True when the server took the credentials (final code 235).
bool LogIn(MailConnection& conn, Mechanism mechanism, std::string_view login, std::string_view password) {
  if (mechanism == Mechanism::kLogin) {
    if (!SendAll(conn, "AUTH LOGIN\r\n")) return false;
    if (WaitReply(conn, 334)) {
      if (!SendAll(conn, EncodeBase64(login, true))) return false;
      if (WaitReply(conn, 334)) {
        if (!SendAll(conn, EncodeBase64(password, true))) return false;
        WaitReply(conn, 0);
      }
    }
  } else {
    if (!SendAll(conn, "AUTH PLAIN\r\n")) return false;
    if (WaitReply(conn, 334)) {
      Text credentials;
      credentials += '\0';
      credentials += login;
      credentials += '\0';
      credentials += password;
      if (!SendAll(conn, EncodeBase64(credentials, true))) return false;
      WaitReply(conn, 0);
    }
  }
  return conn.last_reply_code == 235;
}

// Cancels the failed transaction. The result keeps describing the step that
// failed, not the RSET exchange.
void Reset(MailConnection& conn) {
  const int code = conn.last_reply_code;
  Text error = conn.last_error;
  if (SendAll(conn, "RSET\r\n")) WaitReply(conn, 0);
  conn.last_reply_code = code;
  conn.last_error = std::move(error);
}

// One command and its reply inside a transaction; false after the reset.
bool Step(MailConnection& conn, std::string_view command, int expected_code) {
  if (!SendAll(conn, command)) {
    conn.last_error = kErrSendData;
    Reset(conn);
    return false;
  }
  if (!WaitReply(conn, expected_code)) {
    Reset(conn);
    return false;
  }
  return true;
}

bool SendBlock(MailConnection& conn, std::string_view block, const char* error) {
  if (SendAll(conn, block)) return true;
  conn.last_error = error;
  Reset(conn);
  return false;
}

bool Transfer(MailConnection& conn) {
  const MailMessage& m = conn.message;
  if (!conn.connected) {
    conn.last_error = kErrNotConnected;
    return false;
  }
  if (m.to.empty() && m.cc.empty() && m.bcc.empty()) {
    conn.last_error = kErrNoRecipient;
    return false;
  }
  if (!SendAll(conn, "MAIL FROM:<" + m.sender.address + ">\r\n")) {
    conn.last_error = kErrSendData;
    return false;
  }
  if (!WaitReply(conn, 250)) {
    Reset(conn);
    return false;
  }
  for (const MailAddressList* list : {&m.to, &m.cc, &m.bcc})
    for (const MailAddress& a : *list)
      if (!Step(conn, "RCPT TO:<" + a.address + ">\r\n", 250)) return false;
  if (!Step(conn, "DATA\r\n", 354)) return false;
  const HeaderTime time = conn.header_time ? conn.header_time() : LocalHeaderTime();
  if (!SendBlock(conn, BuildHeader(m, time), kErrSendHeader)) return false;
  if (!SendBlock(conn, EncodeBase64(m.body, true), kErrSendBody)) return false;
  if (!SendBlock(conn, "\r\n.\r\n", kErrSendData)) return false;
  if (WaitReply(conn, 250)) return true;
  Reset(conn);
  return false;
}

// A CR or LF in a value would end its header line, or its command, early
// and let the rest stand as a line of its own.
bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }
bool HasLineBreak(const MailAddress& a) { return HasLineBreak(a.name) || HasLineBreak(a.address); }
bool HasLineBreak(const MailAddressList& list) {
  return std::any_of(list.begin(), list.end(), [](const MailAddress& a) { return HasLineBreak(a); });
}

MailResult ComposeAndTransfer(MailConnection& conn, std::string_view to, std::string_view cc, std::string_view bcc,
                              std::string_view sender, std::string_view reply_to) {
  MailMessage& m = conn.message;
  auto to_list = ParseAddressList(to);
  auto cc_list = to_list ? ParseAddressList(cc) : std::nullopt;
  auto bcc_list = cc_list ? ParseAddressList(bcc) : std::nullopt;
  if (!bcc_list || HasLineBreak(*to_list) || HasLineBreak(*cc_list) || HasLineBreak(*bcc_list))
    return MailResult::Failed(kErrRecipientFormat);
  m.to = std::move(*to_list);
  m.cc = std::move(*cc_list);
  m.bcc = std::move(*bcc_list);
  auto from = ParseAddress(sender);
  if (!from || HasLineBreak(*from)) return MailResult::Failed(kErrSenderFormat);
  if (!from->address.empty()) m.sender = std::move(*from);
  auto reply = ParseAddress(reply_to);
  if (!reply || HasLineBreak(*reply)) return MailResult::Failed(kErrReplyToFormat);
  if (!reply->address.empty()) m.reply_to = std::move(*reply);
  if (HasLineBreak(m.subject)) return MailResult::Failed(kErrSubjectFormat);
  return Transfer(conn) ? MailResult::Ok() : MailResult::Failed(conn.last_error);
}

// ConnectMailServer; the reason of a failure is in last_error.
bool Connect(MailConnection& conn, std::string_view host, int port, std::string_view login,
             std::string_view password, std::optional<int> reply_timeout_ms) {
  QuitStep(conn);
  conn.last_error.clear();
  if (host.empty()) {
    conn.last_error = ConnectFailedText(host);
    return false;
  }
  conn.reply_timeout_ms = reply_timeout_ms ? std::max(*reply_timeout_ms, 1) : kDefaultReplyTimeoutMs;

  const SocketOpen opened = StartSockets() ? OpenSocket(host, port, conn.socket) : SocketOpen::kNoSocket;
  if (opened != SocketOpen::kOk) {
    conn.last_error = opened == SocketOpen::kNoSocket ? Text(kErrCreateSocket) : ConnectFailedText(host);
    return false;
  }
  conn.connected = true;
  if (!WaitReply(conn, 220)) {
    EndFailedConnect(conn);
    return false;
  }
  const Text local_name = LocalHostName();

  bool helo_needed = true;
  if (!login.empty() && !password.empty()) {
    bool ehlo_refused = false;
    if (SendAll(conn, "EHLO " + local_name + "\r\n")) {
      if (WaitReply(conn, 250)) {
        helo_needed = false;
        const Mechanism mechanism = OfferedMechanism(conn);
        if (mechanism == Mechanism::kNone) return true;  // the server asks for no login
        if (LogIn(conn, mechanism, login, password)) return true;
      } else {
        ehlo_refused = true;  // greet with HELO below and send no credentials
      }
    }
    if (!ehlo_refused) {
      conn.last_error = LoginFailedText(host);
      EndFailedConnect(conn);
      return false;
    }
  }
  if (helo_needed) {
    if (!SendAll(conn, "HELO " + local_name + "\r\n")) {
      conn.last_error = kErrSendData;
      EndFailedConnect(conn);
      return false;
    }
    if (!WaitReply(conn, 250)) {
      EndFailedConnect(conn);
      return false;
    }
  }
  return true;
}

}  // namespace

MailConnection::~MailConnection() { QuitStep(*this); }

MailConnection& ProgramMailConnection() {
  static MailConnection connection;
  return connection;
}

MailResult WaitReply(MailConnection& conn, int expected_code) {
  conn.last_reply_code = -1;
  conn.reply_keywords.clear();
  conn.reply_values.clear();
  conn.last_error.clear();
  conn.received.Clear();
  const int step = std::max(conn.timing.poll_step_ms, 1);
  Limits limits(conn, NowMs(conn));
  std::optional<int> code;
  char chunk[4096];
  while (!code) {
    const std::uint64_t now = NowMs(conn);
    if (limits.Over(now)) {
      conn.last_error = kErrTimeout;
      break;
    }
    if (conn.socket == kNoSocket) {
      conn.last_error = kErrNetwork;
      break;
    }
    // Sleep only until the socket has something to read, and never long past
    // the point where a limit runs out.
    const SocketWait ready = WaitReadable(conn.socket, limits.WaitMs(now, step));
    if (ready == SocketWait::kFailed) {
      conn.last_error = kErrNetwork;
      break;
    }
    if (ready == SocketWait::kNotYet) continue;
    const SocketIo got = RecvSome(conn.socket, chunk, sizeof chunk);
    if (got.status == SocketIo::kNotYet) continue;
    if (got.status == SocketIo::kFailed) {
      conn.last_error = kErrNetwork;
      break;
    }
    if (got.status == SocketIo::kClosed) {
      // The server has closed: nothing more will come, so the wait ends now
      // with what the time-out would have given.
      conn.last_error = kErrTimeout;
      break;
    }
    conn.received.Append(std::string_view(chunk, got.bytes));
    limits.Moved(NowMs(conn));
    if (conn.received.overflowed()) {
      // Past the cap the reply can no longer be read whole: no use waiting
      // for the rest. The kept text becomes the reason below.
      conn.last_error = kErrTimeout;
      break;
    }
    code = conn.received.Code();
  }
  if (code) {
    conn.last_reply_code = *code;
    SplitReplyLines(conn.received.text(), conn.reply_keywords, conn.reply_values);
  }
  if (!conn.reply_keywords.empty()) {
    conn.last_error = conn.reply_keywords.back();
    if (!conn.reply_values.back().empty()) conn.last_error += " " + conn.reply_values.back();
  } else if (!conn.received.text().empty()) {
    conn.last_error = Text(conn.received.text());
  }
  if (code && (expected_code == 0 || *code == expected_code)) return MailResult::Ok();
  return MailResult::Failed(conn.last_error);
}

MailResult ConnectMailServer(MailConnection& conn, std::string_view host, int port, std::string_view login,
                             std::string_view password, std::optional<int> reply_timeout_ms) {
  if (Connect(conn, host, port, login, password, reply_timeout_ms)) return MailResult::Ok();
  return MailResult::Failed(conn.last_error);
}

MailResult SendMail(MailConnection& conn, std::string_view subject, std::string_view body, std::string_view to,
                    std::string_view cc, std::string_view bcc, std::string_view sender,
                    std::optional<std::string_view> reply_to) {
  conn.message = MailMessage{};
  conn.message.subject = Text(subject);
  conn.message.body = Text(body);
  MailResult result = ComposeAndTransfer(conn, to, cc, bcc, sender, reply_to.value_or(sender));
  if (!result) conn.last_error = result.error();
  conn.message = MailMessage{};
  return result;
}

void DisconnectMailServer(MailConnection& conn) { QuitStep(conn); }

}  // namespace kv
