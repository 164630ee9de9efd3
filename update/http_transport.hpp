// One HTTP GET as the update library needs it, behind a small seam with one
// implementation per platform (http_transport_posix.cpp on libcurl,
// http_transport_win.cpp on WinINet). The transport follows redirects itself
// (http and https only, at most 10), goes through the proxy the environment
// names (on Windows: the system's, as Internet Options set it), and hands
// its caller only the final answer: its head, then its body bytes as they
// arrive. Interim answers, the redirects it follows and a proxy's answer to
// CONNECT never reach the caller. What to make of the answer (which status is
// good, how the body is stored) is the caller's business.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text.hpp"

namespace kv {

struct TransferLimits {
  // Longest wait for a connection to be set up.
  std::chrono::milliseconds connect_timeout{60000};
  // Longest time a transfer may go on without receiving anything.
  std::chrono::milliseconds stall_timeout{60000};
  // When set, the longest the whole transfer may take, redirects included.
  std::optional<std::chrono::milliseconds> total;
  // When set and true, the transfer ends within a tenth of a second.
  const std::atomic<bool>* cancel = nullptr;
};

enum class HttpVersion { k10, k11 };

struct HttpGet {
  Text url;                          // GBK bytes; high bytes go out percent-encoded, a fragment never
  std::vector<std::string> headers;  // whole header lines, without CR LF
  HttpVersion version = HttpVersion::k11;
  TransferLimits limits;
};

// The head of the final answer. Header values are as sent, without the
// blanks around them; "" when the header is absent.
struct HttpAnswer {
  int status = 0;
  std::optional<std::int64_t> content_length;  // nullopt when absent or not a number
  std::string content_range;
  std::string content_type;
  std::string content_encoding;
  std::string transfer_encoding;
};

class HttpReceiver {
 public:
  virtual ~HttpReceiver() = default;
  // The final answer's head, once. False ends the transfer; no body follows.
  virtual bool OnAnswer(const HttpAnswer& answer) = 0;
  // Body bytes as received (not decoded), in blocks of any size. False ends
  // the transfer.
  virtual bool OnBody(const char* data, std::size_t n) = 0;
};

enum class TransferEnd {
  kEnded,      // the final answer's body ended as announced
  kNoClient,   // the HTTP client could not be started
  kNoAnswer,   // no final answer: no connection, no usable URL, a refused or
               // endless redirect, silence or the deadline before the answer
  kBroken,     // the body broke off: a failed read, a body shorter than its
               // length, silence or the deadline after the answer
  kStopped,    // the receiver asked to stop
  kCancelled,  // the cancel flag was set
};

// Runs `request`, handing the final answer to `receiver` on the calling thread.
TransferEnd RunHttpGet(const HttpGet& request, HttpReceiver& receiver);

// For tests: while set, TLS peers are checked against the certificates of this
// PEM file instead of the system's store. Empty goes back to the system's.
void SetTrustedCertificatesForTesting(std::string pemFile);

}  // namespace kv
