#include "scripted_peer.hpp"

#include <chrono>
#include <stdexcept>

#include "test_platform.hpp"

namespace kv::test {

namespace {

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool WriteAll(SocketId fd, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    const long n = SocketSend(fd, s.data() + done, s.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes the reply; false when the connection is to end.
bool Answer(SocketId fd, const ScriptedPeer::Reply& reply) {
  for (std::size_t i = 0; i < reply.pieces.size(); ++i) {
    if (i && reply.gap_ms) Pause(reply.gap_ms);
    if (!WriteAll(fd, reply.pieces[i])) return false;
  }
  return !reply.close;
}

class LineReader {
 public:
  LineReader(SocketId fd, int idle_ms) : fd_(fd), idle_ms_(idle_ms) {}
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
      if (SocketReadable(fd_, idle_ms_) <= 0) return false;
      char chunk[65536];
      const long n = SocketRecv(fd_, chunk, sizeof chunk);
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  SocketId fd_;
  int idle_ms_;
  std::string buffer_;
  std::size_t pos_ = 0;  // where the unread part of buffer_ begins
};

}  // namespace

ScriptedPeer::Reply Say(std::string text) { return ScriptedPeer::Reply{{std::move(text)}}; }

ScriptedPeer::ScriptedPeer(Reply greeting, Handler handler, int idle_ms) {
  listener_ = LoopbackListen(1, port_);
  if (listener_ == kNoSocketId) throw std::runtime_error("scripted peer: cannot listen on loopback");
  thread_ = std::thread(&ScriptedPeer::Run, this, std::move(greeting), std::move(handler), idle_ms);
}

ScriptedPeer::~ScriptedPeer() {
  if (thread_.joinable()) thread_.join();
  if (listener_ != kNoSocketId) SocketClose(listener_);
}

const std::vector<std::string>& ScriptedPeer::Finish() {
  if (thread_.joinable()) thread_.join();
  return lines_;
}

void ScriptedPeer::Run(Reply greeting, Handler handler, int idle_ms) {
  const SocketId fd = LoopbackAccept(listener_, idle_ms);
  if (fd == kNoSocketId) return;
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
  SocketClose(fd);
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
  int port = 0;
  const SocketId s = LoopbackListen(1, port);
  if (s == kNoSocketId || port == 0) throw std::runtime_error("no free loopback port");
  SocketClose(s);
  return port;
}

}  // namespace kv::test
