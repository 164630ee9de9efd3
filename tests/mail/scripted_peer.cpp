#include "scripted_peer.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace kv::test {

namespace {

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool WriteAll(int fd, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    const ssize_t n = ::send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes the reply; false when the connection is to end.
bool Answer(int fd, const ScriptedPeer::Reply& reply) {
  for (std::size_t i = 0; i < reply.pieces.size(); ++i) {
    if (i && reply.gap_ms) Pause(reply.gap_ms);
    if (!WriteAll(fd, reply.pieces[i])) return false;
  }
  return !reply.close;
}

class LineReader {
 public:
  LineReader(int fd, int idle_ms) : fd_(fd), idle_ms_(idle_ms) {}
  // The next line without its CR LF; false on EOF, error or idleness.
  bool Next(std::string& line) {
    for (;;) {
      const std::size_t end = buffer_.find("\r\n", pos_);
      if (end != std::string::npos) {
        line = buffer_.substr(pos_, end - pos_);
        pos_ = end + 2;
        return true;
      }
      buffer_.erase(0, pos_);
      pos_ = 0;
      pollfd p{fd_, POLLIN, 0};
      const int ready = ::poll(&p, 1, idle_ms_);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return false;
      char chunk[65536];
      const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
  int idle_ms_;
  std::string buffer_;
  std::size_t pos_ = 0;  // where the unread part of buffer_ begins
};

}  // namespace

ScriptedPeer::Reply Say(std::string text) { return ScriptedPeer::Reply{{std::move(text)}}; }

ScriptedPeer::ScriptedPeer(Reply greeting, Handler handler, int idle_ms) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener_, 1) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    throw std::runtime_error("scripted peer: cannot listen on loopback");
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread(&ScriptedPeer::Run, this, std::move(greeting), std::move(handler), idle_ms);
}

ScriptedPeer::~ScriptedPeer() {
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) ::close(listener_);
}

const std::vector<std::string>& ScriptedPeer::Finish() {
  if (thread_.joinable()) thread_.join();
  return lines_;
}

void ScriptedPeer::Run(Reply greeting, Handler handler, int idle_ms) {
  pollfd p{listener_, POLLIN, 0};
  if (::poll(&p, 1, idle_ms) <= 0) return;
  const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  accepted_ = true;
  LineReader reader(fd, idle_ms);
  bool open = Answer(fd, greeting);
  std::string line;
  while (open && reader.Next(line)) {
    lines_.push_back(line);
    const Reply reply = handler(line);
    open = Answer(fd, reply);
    if (open && line == "DATA" && !reply.pieces.empty() && reply.pieces[0].starts_with("354")) {
      message_.clear();
      std::string data;
      bool ended = false;
      while (reader.Next(data)) {
        if (data == ".") {
          ended = true;
          break;
        }
        message_ += data + "\r\n";
      }
      if (!ended) break;
      lines_.push_back(".");
      open = Answer(fd, handler("."));
    }
  }
  ::close(fd);
}

ScriptedPeer::Handler StandardServer(ServerScript script) {
  int credentials_expected = 0;
  return [script = std::move(script), credentials_expected](const std::string& line) mutable -> ScriptedPeer::Reply {
    if (script.reply_delay_ms) Pause(script.reply_delay_ms);
    if (auto it = script.replies.find(line); it != script.replies.end()) return it->second;
    if (credentials_expected > 0) {
      --credentials_expected;
      return Say(credentials_expected ? "334 UGFzc3dvcmQ6\r\n" : script.auth_result);
    }
    if (line.starts_with("EHLO ")) return Say(script.ehlo);
    if (line.starts_with("HELO ")) return Say("250 peer.test\r\n");
    if (line == "AUTH LOGIN") {
      credentials_expected = 2;
      return Say("334 VXNlcm5hbWU6\r\n");
    }
    if (line == "AUTH PLAIN") {
      credentials_expected = 1;
      return Say("334 \r\n");
    }
    if (line.starts_with("MAIL FROM:") || line.starts_with("RCPT TO:")) return Say("250 2.1.0 Ok\r\n");
    if (line == "DATA") return Say("354 End data with <CR><LF>.<CR><LF>\r\n");
    if (line == ".") return Say("250 2.0.0 Ok: queued\r\n");
    if (line == "RSET") return Say("250 2.0.0 Ok\r\n");
    if (line == "QUIT") return ScriptedPeer::Reply{{"221 2.0.0 Bye\r\n"}, 0, true};
    return Say("502 5.5.2 Error: command not recognized\r\n");
  };
}

int UnusedPort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  ::close(s);
  if (port == 0) throw std::runtime_error("no free loopback port");
  return port;
}

}  // namespace kv::test
