// A scripted HTTP peer on a loopback socket: a thread that takes connections
// one after the other (or each on a thread of its own, when concurrent), reads
// each request head and lets the test's script answer it byte by byte. It
// stops on destruction and after its time limit.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "test_platform.hpp"

namespace kv::test {

struct HttpRequest {
  std::string head;    // everything up to and including the blank line
  std::string method;  // "GET"
  std::string target;  // as sent, e.g. "/a%b4%f0.rar?x=1"
  std::string version; // "HTTP/1.0"
  std::vector<std::string> header_lines;  // in order, without CR LF

  // The value of the first header `name` (case-insensitive), or "" when absent.
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

class PeerConnection {
 public:
  explicit PeerConnection(SocketId fd) : fd_(fd) {}
  void Send(std::string_view bytes);
  // One send call: the count it took, or 0 or less once the client has gone.
  long SendOnce(std::string_view bytes);
  // Ends the connection with a TCP reset instead of an orderly close.
  void Reset();
  // Waits until the client closes its side (or `limit` passes), reading and
  // dropping whatever it sends.
  void WaitForClose(std::chrono::milliseconds limit);
  SocketId fd() const { return fd_; }

 private:
  SocketId fd_;
};

class HttpPeer {
 public:
  using Script = std::function<void(const HttpRequest&, PeerConnection&)>;

  explicit HttpPeer(Script script, std::chrono::seconds limit = std::chrono::seconds(30), bool concurrent = false);
  ~HttpPeer();
  HttpPeer(const HttpPeer&) = delete;
  HttpPeer& operator=(const HttpPeer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(std::string_view path = "/") const;
  std::vector<HttpRequest> Requests() const;

 private:
  void Serve(std::chrono::steady_clock::time_point deadline);
  void Respond(SocketId fd, std::chrono::steady_clock::time_point deadline);

  Script script_;
  SocketId listen_fd_ = kNoSocketId;
  int port_ = 0;
  bool concurrent_ = false;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<HttpRequest> requests_;
  std::thread thread_;
  std::vector<std::thread> connections_;  // concurrent only; the serving thread's own
};

// A whole answer: status line, the given header lines, Content-Length unless
// `withLength` is false, "Connection: close", then the body.
std::string Answer(int status, std::string_view body, std::vector<std::string> headers = {}, bool withLength = true);

// The header line `line` as this platform's HTTP client writes it: WinINet
// puts one blank between the colon and the value, libcurl sends it as given.
std::string AsSent(std::string_view line);

// A port on 127.0.0.1 on which nothing listens (bound, then released).
int UnusedPort();

// The script of a CONNECT proxy: answers the CONNECT with `answer` and relays
// bytes between the client and 127.0.0.1:<port of the request's target>
// (whatever host it names: tests stay on loopback) until one side closes or
// `limit` passes.
void ConnectTunnel(const HttpRequest& request, PeerConnection& client,
                   std::string_view answer = "HTTP/1.1 200 Connection established\r\nProxy-Agent: test\r\n\r\n",
                   std::chrono::milliseconds limit = std::chrono::milliseconds(20000));

}  // namespace kv::test
