// The TCP socket under the mail client, one implementation per platform
// (mail_socket_posix.cpp, mail_socket_win.cpp). Nothing here waits longer
// than it is told to: the dialogue keeps its own time-outs and only asks the
// socket what it can do now, or within a few milliseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text.hpp"

namespace kv {

// A connected socket, or kNoSocket. Wide enough for every platform's handle.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// Prepares the platform's socket layer; called before the first socket of
// the process, and again harmlessly. False when sockets cannot be used.
bool StartSockets();

enum class SocketOpen { kOk, kNoSocket, kNotConnected };

// Creates an IPv4 TCP socket, finds `host` (a dotted IPv4 address, or else
// the first address a name lookup gives) and connects to `port`; the lookup
// and the connect take as long as the system takes. The socket sends small
// writes at once and, once connected, never blocks in SendSome or RecvSome.
// kNoSocket: no socket could be made; kNotConnected: the lookup found nothing
// or the connect failed. `out` is set only on kOk.
SocketOpen OpenSocket(std::string_view host, int port, SocketHandle& out);

enum class SocketWait { kReady, kNotYet, kFailed };

// Waits at most `ms` milliseconds (0: does not wait) until the socket has
// something to read, or the peer has closed it (kReady in both cases), or
// until it takes more bytes to send. A signal that cuts the wait short gives
// kNotYet, as does the end of the time.
SocketWait WaitReadable(SocketHandle socket, int ms);
SocketWait WaitWritable(SocketHandle socket, int ms);

struct SocketIo {
  enum Status { kMoved, kNotYet, kClosed, kFailed } status;
  std::size_t bytes = 0;  // with kMoved, how many
};

// Sends as much of `data` as the socket takes now; kNotYet when it takes
// nothing at the moment. A peer that has gone gives kFailed, never a signal.
SocketIo SendSome(SocketHandle socket, std::string_view data);
// Reads what has arrived, at most `size` bytes; kClosed when the peer has
// closed and everything it sent was read.
SocketIo RecvSome(SocketHandle socket, char* buffer, std::size_t size);

// Closes the socket and sets it to kNoSocket; nothing happens with kNoSocket.
void CloseSocket(SocketHandle& socket);

// This machine's name (at most 100 bytes), empty when the system gives none.
Text LocalHostName();

}  // namespace kv
