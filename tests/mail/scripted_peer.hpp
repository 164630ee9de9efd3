// An SMTP peer for tests: a thread on a loopback socket (port 0) that answers
// each command line through a handler and records everything it receives.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "test_platform.hpp"

namespace kv::test {

class ScriptedPeer {
 public:
  struct Reply {
    std::vector<std::string> pieces;  // written one by one, gap_ms apart
    int gap_ms = 0;
    bool close = false;  // close the connection after writing the pieces
  };
  // Called with each command line (without CR LF), and with "." once the
  // message data after a 354 reply has ended.
  using Handler = std::function<Reply(const std::string& line)>;

  // Listens at once; the thread accepts one connection, writes the greeting
  // and answers until the client closes or `idle_ms` pass without a byte.
  ScriptedPeer(Reply greeting, Handler handler, int idle_ms = 5000);
  ~ScriptedPeer();
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  int port() const { return port_; }
  // Whether a client connected (meaningful after Finish).
  bool accepted() const { return accepted_; }
  // Waits for the peer to end; the command lines it received, in order.
  const std::vector<std::string>& Finish();
  // The message data of the last DATA command, lines joined with CR LF.
  const std::string& message() const { return message_; }

 private:
  void Run(Reply greeting, Handler handler, int idle_ms);

  SocketId listener_ = kNoSocketId;
  int port_ = 0;
  std::thread thread_;
  std::vector<std::string> lines_;
  std::string message_;
  bool accepted_ = false;
};

// A well-behaved server for most tests; `replies` overrides the answer to an
// exact command line.
struct ServerScript {
  std::string ehlo = "250-peer.test\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n";
  std::string auth_result = "235 2.7.0 Authentication successful\r\n";
  std::map<std::string, ScriptedPeer::Reply> replies;
  int reply_delay_ms = 0;  // a pause before every answer
};
ScriptedPeer::Handler StandardServer(ServerScript script);

ScriptedPeer::Reply Say(std::string text);

// A loopback port that nobody listens on (it was free a moment ago).
int UnusedPort();

}  // namespace kv::test
