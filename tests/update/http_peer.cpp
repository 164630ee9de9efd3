#include "http_peer.hpp"

#include <cstdlib>
#include <stdexcept>

namespace kv::test {
namespace {

SocketId Listen(int& port) {
  const SocketId fd = LoopbackListen(16, port);
  if (fd == kNoSocketId) throw std::runtime_error("cannot listen on loopback");
  return fd;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

HttpRequest Parse(std::string head) {
  HttpRequest r;
  r.head = head;
  std::string_view rest(r.head);
  bool first = true;
  while (!rest.empty()) {
    const std::size_t cut = rest.find("\r\n");
    const std::string_view line = rest.substr(0, cut);
    rest.remove_prefix(cut == std::string_view::npos ? rest.size() : cut + 2);
    if (line.empty()) break;
    if (first) {
      const std::size_t a = line.find(' ');
      const std::size_t b = line.rfind(' ');
      r.method = std::string(line.substr(0, a));
      r.target = std::string(line.substr(a + 1, b - a - 1));
      r.version = std::string(line.substr(b + 1));
      first = false;
    } else {
      r.header_lines.emplace_back(line);
    }
  }
  return r;
}

// Loopback peers are reached directly even when the environment names a proxy.
[[maybe_unused]] const bool kDirectLoopback = [] {
  SetEnvironment("no_proxy", "127.0.0.1,localhost");
  return true;
}();

}  // namespace

std::string HttpRequest::Header(std::string_view name) const {
  for (const std::string& line : header_lines) {
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && EqualNoCase(std::string_view(line).substr(0, colon), name)) {
      std::string_view v = std::string_view(line).substr(colon + 1);
      while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
      return std::string(v);
    }
  }
  return {};
}

bool HttpRequest::HasHeader(std::string_view name) const {
  for (const std::string& line : header_lines) {
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && EqualNoCase(std::string_view(line).substr(0, colon), name)) return true;
  }
  return false;
}

void PeerConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const long n = SocketSend(fd_, bytes.data(), bytes.size());
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

long PeerConnection::SendOnce(std::string_view bytes) { return SocketSend(fd_, bytes.data(), bytes.size()); }

void PeerConnection::Reset() {
  SocketReset(fd_);
  fd_ = kNoSocketId;
}

void PeerConnection::WaitForClose(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char buf[4096];
  while (std::chrono::steady_clock::now() < deadline) {
    const int ready = SocketReadable(fd_, 20);
    if (ready < 0) return;
    if (ready == 0) continue;
    if (SocketRecv(fd_, buf, sizeof buf) <= 0) return;
  }
}

HttpPeer::HttpPeer(Script script, std::chrono::seconds limit, bool concurrent)
    : script_(std::move(script)), concurrent_(concurrent) {
  listen_fd_ = Listen(port_);
  thread_ = std::thread([this, deadline = std::chrono::steady_clock::now() + limit] { Serve(deadline); });
}

HttpPeer::~HttpPeer() {
  stop_ = true;
  thread_.join();
  SocketClose(listen_fd_);
}

std::string HttpPeer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<HttpRequest> HttpPeer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void HttpPeer::Serve(std::chrono::steady_clock::time_point deadline) {
  while (!stop_ && std::chrono::steady_clock::now() < deadline) {
    const SocketId fd = LoopbackAccept(listen_fd_, 50);
    if (fd == kNoSocketId) continue;
    if (concurrent_) {
      connections_.emplace_back([this, fd, deadline] { Respond(fd, deadline); });
    } else {
      Respond(fd, deadline);
    }
  }
  for (std::thread& t : connections_) t.join();
}

void HttpPeer::Respond(SocketId fd, std::chrono::steady_clock::time_point deadline) {
  std::string head;
  char buf[4096];
  while (head.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    const int ready = SocketReadable(fd, 50);
    if (ready < 0) break;
    if (ready == 0) {
      if (stop_) break;
      continue;
    }
    const long n = SocketRecv(fd, buf, sizeof buf);
    if (n <= 0) break;
    head.append(buf, static_cast<std::size_t>(n));
  }
  const std::size_t end = head.find("\r\n\r\n");
  if (end == std::string::npos) {
    SocketClose(fd);
    return;
  }
  HttpRequest request = Parse(head.substr(0, end + 4));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  PeerConnection connection(fd);
  script_(request, connection);
  if (connection.fd() != kNoSocketId) {
    SocketShutdownSend(connection.fd());
    SocketClose(connection.fd());
  }
}

std::string Answer(int status, std::string_view body, std::vector<std::string> headers, bool withLength) {
  std::string out = "HTTP/1.1 " + std::to_string(status) + " X\r\n";
  for (const std::string& h : headers) out += h + "\r\n";
  if (withLength) out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  out += "Connection: close\r\n\r\n";
  out += body;
  return out;
}

void ConnectTunnel(const HttpRequest& request, PeerConnection& client, std::string_view answer,
                   std::chrono::milliseconds limit) {
  const std::size_t colon = request.target.rfind(':');
  if (request.method != "CONNECT" || colon == std::string::npos) return;
  const SocketId server = LoopbackConnect(std::atoi(request.target.c_str() + colon + 1));
  if (server == kNoSocketId) {
    client.Send("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
    return;
  }
  client.Send(answer);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char buf[16384];
  while (std::chrono::steady_clock::now() < deadline) {
    bool ready[2] = {false, false};
    const int n_ready = SocketsReadable(client.fd(), server, 50, ready);
    if (n_ready < 0) break;
    if (n_ready == 0) continue;
    bool closed = false;
    for (int i = 0; i < 2 && !closed; ++i) {
      if (!ready[i]) continue;
      const long n = SocketRecv(i == 0 ? client.fd() : server, buf, sizeof buf);
      if (n <= 0) {
        closed = true;
        break;
      }
      PeerConnection to(i == 0 ? server : client.fd());
      to.Send(std::string_view(buf, static_cast<std::size_t>(n)));
    }
    if (closed) break;
  }
  SocketClose(server);
}

std::string AsSent(std::string_view line) {
#ifdef _WIN32
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return std::string(line);
  std::string_view value = line.substr(colon + 1);
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  return std::string(line.substr(0, colon)) + ": " + std::string(value);
#else
  return std::string(line);
#endif
}

int UnusedPort() {
  int port = 0;
  SocketClose(Listen(port));
  return port;
}

}  // namespace kv::test
